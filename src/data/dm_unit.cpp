#include "data/dm_unit.h"

#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/ProgramText.h"
#include "settings/Settings.h"

Tdm* dm = nullptr;

Tdm::Tdm(QObject* parent)
    : QObject(parent),
      other_adoq(conn),
      Operator_ado(conn),
      RoomType_ado(conn),
      RoomState_ado(conn),
      Groups_ado(conn),
      MakeCardRecord_ado(conn),
      RoomInfo_ado(conn),
      GuestInRecord_ado(conn),
      OpenDoorRecord_ado(conn),
      SystemInfo_ado(conn),
      Mifare_ado(conn),
      TeamInRecord_ado(conn),
      Operator_Ds(&Operator_ado),
      RoomType_Ds(&RoomType_ado),
      RoomState_Ds(&RoomState_ado),
      Groups_Ds(&Groups_ado),
      MakeCardRecord_Ds(&MakeCardRecord_ado),
      RoomInfo_Ds(&RoomInfo_ado),
      GuestInRecord_Ds(&GuestInRecord_ado),
      OpenDoorRecord_Ds(&OpenDoorRecord_ado),
      SystemInfo_Ds(&SystemInfo_ado),
      Mifare_Ds(&Mifare_ado),
      TeamInRecord_Ds(&TeamInRecord_ado) {
    setObjectName(QStringLiteral("dm"));
    other_adoq.setObjectName(QStringLiteral("other_adoq"));
    const struct {
        qv::DataSet* set;
        const char* name;
        const char* table;
    } tables[] = {
        {&Operator_ado, "Operator_ado", "Operator"},
        {&RoomType_ado, "RoomType_ado", "RoomType"},
        {&RoomState_ado, "RoomState_ado", "RoomStateType"},
        {&Groups_ado, "Groups_ado", "Groups"},
        {&MakeCardRecord_ado, "MakeCardRecord_ado", "MakeCardRecord"},
        {&RoomInfo_ado, "RoomInfo_ado", "RoomInfo"},
        {&GuestInRecord_ado, "GuestInRecord_ado", "GuestInRecord"},
        {&OpenDoorRecord_ado, "OpenDoorRecord_ado", "OpenDoorRecord"},
        {&SystemInfo_ado, "SystemInfo_ado", "SystemInfo"},
        {&Mifare_ado, "Mifare_ado", "Mifare"},
        {&TeamInRecord_ado, "TeamInRecord_ado", "TeamInRecord"},
    };
    for (const auto& t : tables) {
        t.set->setObjectName(QLatin1String(t.name));
        t.set->setTableName(QLatin1String(t.table));
    }
    RoomState_ado.setOrderBy(QStringLiteral("ID"));
    Groups_ado.setOrderBy(QStringLiteral("ID"));
    RoomType_ado.beforePost = [this](qv::DataSet& d) { RoomType_adoBeforePost(d); };
    RoomInfo_ado.beforePost = [this](qv::DataSet& d) { RoomInfo_adoBeforePost(d); };
    conn.linkChanged = [this](bool up) {
        if (!up) {
            brokeSinceCheck_ = true;
        }
    };
}

bool Tdm::CheckConnection() {
    QString why;
    const bool up = conn.checkLink(&why);
    if (!up) {
        if (!reportedDown_) {
            reportedDown_ = true;
            emit connectionLost(why);
        }
        return false;
    }
    if (reportedDown_ || brokeSinceCheck_) {
        // Back after an outage (noticed here or by an operation in between):
        // what the board shows may be stale.
        reportedDown_ = false;
        brokeSinceCheck_ = false;
        RoomBoardChanged = true;
        emit connectionRestored();
    }
    return true;
}

Tdm::~Tdm() {
    closeTables();
    if (dm == this) {
        dm = nullptr;
    }
}

void Tdm::closeTables() {
    for (qv::DataSet* d : {&other_adoq, &Operator_ado, &RoomType_ado, &RoomState_ado, &Groups_ado,
                           &MakeCardRecord_ado, &RoomInfo_ado, &GuestInRecord_ado,
                           &OpenDoorRecord_ado, &SystemInfo_ado, &Mifare_ado, &TeamInRecord_ado}) {
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
