#include "data/OperatorRights.h"

#include "data/dm_unit.h"
#include "platform/Errors.h"

#include <QSqlQuery>
#include <QStringList>

namespace qv {

namespace {

// The yes/no columns of the Operator table.
const QStringList& rightColumns() {
    static const QStringList columns{
        QStringLiteral("CheckIn"),        QStringLiteral("CheckOut"),
        QStringLiteral("PassageCard"),    QStringLiteral("ClearCard"),
        QStringLiteral("TimeCard"),       QStringLiteral("LostCard"),
        QStringLiteral("EmergentCard"),   QStringLiteral("MasterCard"),
        QStringLiteral("BuildingCard"),   QStringLiteral("FloorCard"),
        QStringLiteral("DistrictCard"),   QStringLiteral("SystemInfo"),
        QStringLiteral("OperatorManage"), QStringLiteral("DataCard"),
        QStringLiteral("RoomType"),       QStringLiteral("RoomInfo"),
        QStringLiteral("DistrictInfo"),   QStringLiteral("SpareRight")};
    return columns;
}

}  // namespace

std::optional<bool> OperatorRight(const QString& staffer, const QString& right) {
    if (!rightColumns().contains(right)) {
        throw Error(QStringLiteral("操作员没有名为 %1 的权限。").arg(right));
    }
    QSqlQuery q = dm->conn.run(
        QStringLiteral("Select %1 From Operator Where Staffer = :staffer order by ID").arg(right),
        {{QStringLiteral(":staffer"), staffer}});
    if (!q.next()) {
        return std::nullopt;
    }
    return q.value(0).toInt() != 0;
}

}  // namespace qv
