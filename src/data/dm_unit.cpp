#include "data/dm_unit.h"

#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/ProgramText.h"
#include "settings/Settings.h"

Tdm* dm = nullptr;

Tdm::Tdm(QObject* parent)
    : QObject(parent), Operator_ado(conn), RoomType_ado(conn), RoomInfo_ado(conn) {
    setObjectName(QStringLiteral("dm"));
    const struct {
        qv::DataSet* set;
        const char* name;
        const char* table;
    } tables[] = {
        {&Operator_ado, "Operator_ado", "Operator"},
        {&RoomType_ado, "RoomType_ado", "RoomType"},
        {&RoomInfo_ado, "RoomInfo_ado", "RoomInfo"},
    };
    for (const auto& t : tables) {
        t.set->setObjectName(QLatin1String(t.name));
        t.set->setTableName(QLatin1String(t.table));
    }
    RoomType_ado.beforePost = [this](qv::DataSet& d) { RoomType_adoBeforePost(d); };
    RoomInfo_ado.beforePost = [this](qv::DataSet& d) { RoomInfo_adoBeforePost(d); };
}

Tdm::~Tdm() {
    closeTables();
    if (dm == this) {
        dm = nullptr;
    }
}

void Tdm::closeTables() {
    for (qv::DataSet* d : {&Operator_ado, &RoomType_ado, &RoomInfo_ado}) {
        d->close();
    }
}

void Tdm::CreateMDB(const QString& path) {
    qv::Connection fresh;
    fresh.openSQLite(path, true);
    fresh.createSchema();
}

int Tdm::GetDataTypeItems(int kind, QStringList& items, const QString& find) {
    static const char* const sql[] = {
        "select ID from Operator",
        "select Title from RoomType",
        "select C_Title from CardType",
        "select C_Title from CardType",
        // The filter lists are shown sorted, whatever order the server keeps.
        "select DISTINCT Buiding from RoomInfo order by Buiding",
        "select DISTINCT Floor from RoomInfo order by Floor",
        "select DISTINCT DistrictNumber from District order by DistrictNumber",
    };
    if (kind < 0 || kind > 6) {
        return -1;
    }
    qv::DataSet q(conn);
    q.setSql(QLatin1String(sql[kind]));
    q.open();
    int result = -1;
    QStringList values;
    for (q.first(); !q.eof(); q.next()) {
        const QString text = q.text(q.fieldName(0));
        values.append(text);
        if (text == find) {
            result = q.recNo();
        }
    }
    items = values;
    return result;
}

void Tdm::RoomType_adoBeforePost(qv::DataSet& dataSet) {
    if (dataSet.text(QStringLiteral("Title")).trimmed().isEmpty()) {  // blanks are no title
        qv::messageBox(QString(), qv::programText(QStringLiteral("请输入房号！")), qv::Icon::Error);
        qv::abortSilently();
    }
}

void Tdm::RoomInfo_adoBeforePost(qv::DataSet& dataSet) {
    if (dataSet.isNull(QStringLiteral("Room")) || dataSet.asInteger(QStringLiteral("Room")) == 0) {
        qv::messageBox(QString(), qv::programText(QStringLiteral("请注意输入房号！")),
                       qv::Icon::Error);
        qv::abortSilently();
    }
}
