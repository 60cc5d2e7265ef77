#include "data/Session.h"

#include "data/dm_unit.h"
#include "platform/Errors.h"
#include "platform/ProgramText.h"

#include <QStringList>
#include <algorithm>

namespace qv {

std::optional<bool> Session::right(const QString& column) const {
    const auto& all = operatorRights();
    const bool known = std::any_of(all.begin(), all.end(), [&](const OperatorRight& r) {
        return column == QLatin1String(r.column);
    });
    if (!known) {
        throw Error(qv::programText(QStringLiteral("操作员没有名为 %1 的权限。")).arg(column));
    }
    QSqlQuery q = dm->conn.run(
        QStringLiteral("select %1 from Operator where Staffer = :s order by ID").arg(column),
        {{QStringLiteral(":s"), login}});
    if (!q.next()) {
        return std::nullopt;
    }
    return q.value(0).toInt() != 0;
}

bool Session::hasRight(const QString& column) const {
    return !column.isEmpty() && right(column).value_or(false);
}

std::optional<OperatorRightValues> Session::rights() const {
    QStringList columns;
    for (const OperatorRight& r : operatorRights()) {
        columns << QLatin1String(r.column);
    }
    QSqlQuery q =
        dm->conn.run(QStringLiteral("select %1 from Operator where Staffer = :s order by ID")
                         .arg(columns.join(QStringLiteral(", "))),
                     {{QStringLiteral(":s"), login}});
    if (!q.next()) {
        return std::nullopt;
    }
    OperatorRightValues values{};
    for (int i = 0; i < kOperatorRightCount; ++i) {
        values[i] = q.value(i).toInt() != 0;
    }
    return values;
}

Session& session() {
    static Session current;
    return current;
}

}  // namespace qv
