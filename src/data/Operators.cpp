#include "data/Operators.h"

#include "data/OperationLog.h"
#include "data/Passwords.h"
#include "data/Session.h"
#include "data/TextColumns.h"
#include "data/dm_unit.h"
#include "platform/Errors.h"
#include "platform/ProgramText.h"

#include <QStringList>

namespace qv {

namespace {

Connection& conn() {
    return dm->conn;
}

// The login name of the operator with key `operatorId` (empty when gone).
QString stafferOf(const QVariant& operatorId) {
    return conn()
        .scalar(QStringLiteral("select Staffer from Operator where ID = :id"),
                {{QStringLiteral(":id"), operatorId}})
        .toString();
}

// The rights among `values` that are set, by their captions.
QString rightsText(const OperatorRightValues& values);

}  // namespace

const std::array<OperatorRight, kOperatorRightCount>& operatorRights() {
    static const std::array<OperatorRight, kOperatorRightCount> rights{{
        {"CheckIn", "CheckIn_CB", "开房"},
        {"CheckOut", "CheckOut_CB", "退房"},
        {"PassageCard", "PassageCard_CB", "发行通道卡"},
        {"ClearCard", "ClearCard_CB", "发行清除卡"},
        {"TimeCard", "TimeCard_CB", "发行校时卡"},
        {"LostCard", "LostCard_CB", "发行挂失卡"},
        {"EmergentCard", "EmergentCard_CB", "发行应急卡"},
        {"MasterCard", "MasterCard_CB", "发行总卡"},
        {"BuildingCard", "BuildingCard_CB", "发行楼号卡"},
        {"FloorCard", "FloorCard_CB", "发行楼层卡"},
        {"DistrictCard", "DistrictCard_CB", "发行区域卡"},
        {"SystemInfo", "SystemInfo_CB", "基本参数设置"},
        {"OperatorManage", "Operator_CB", "操作员权限"},
        {"DataCard", "DataCard_CB", "发行采集启动卡"},
        {"RoomType", "RoomType_CB", "房间类型"},
        {"RoomInfo", "RoomInfo_CB", "房间设置"},
        {"DistrictInfo", "DistrictInfo_CB", "区域设置"},
    }};
    return rights;
}

namespace {
QString rightsText(const OperatorRightValues& values) {
    QStringList names;
    for (int i = 0; i < kOperatorRightCount; ++i) {
        if (values[i]) {
            names << QLatin1String(operatorRights()[i].column);
        }
    }
    return names.join(QStringLiteral(", "));
}
}  // namespace

bool rightValue(const OperatorRightValues& values, const char* column) {
    for (int i = 0; i < kOperatorRightCount; ++i) {
        if (qstrcmp(operatorRights()[i].column, column) == 0) {
            return values[i];
        }
    }
    return false;
}

bool addOperator(const QString& typedStaffer, const QString& typedStafferName,
                 const OperatorRightValues& rights) {
    const QString staffer = columns::storedText(typedStaffer, columns::kLoginNameLength);
    const QString stafferName = columns::storedText(typedStafferName, columns::kFullNameLength);
    if (staffer.isEmpty()) {
        throw Error(programText(QStringLiteral("登陆名不能为空。")));
    }
    QStringList columns{QStringLiteral("Staffer")};
    Binds binds{{QStringLiteral(":Staffer"), staffer}};
    for (int i = 0; i < kOperatorRightCount; ++i) {
        const QString column = QLatin1String(operatorRights()[i].column);
        columns << column;
        binds.insert(':' + column, rights[i] ? 1 : 0);
    }
    columns << QStringLiteral("StafferName");
    binds.insert(QStringLiteral(":StafferName"), stafferName);
    QStringList params;
    for (const QString& c : columns) {
        params << ':' + c;
    }
    Transaction t(conn());
    // The unique index refuses a repeated name too; asking first gives the
    // operator the message instead of a database error. Names are compared
    // as the clerk sees them: "desk1 " kept from before is "desk1".
    QSqlQuery names = conn().run(QStringLiteral("select Staffer from Operator"));
    while (names.next()) {
        if (columns::sameName(names.value(0).toString(), staffer)) {
            return false;
        }
    }
    conn().execute(QStringLiteral("insert into Operator (%1) values (%2)")
                       .arg(columns.join(QStringLiteral(", ")), params.join(QStringLiteral(", "))),
                   binds);
    oplog::appendOperation(conn(), {QLatin1String(oplog::Actions::OperatorAdded), staffer,
                                    stafferName + QStringLiteral(": ") + rightsText(rights)});
    t.commit();
    return true;
}

bool setFirstPassword(const QVariant& operatorId, const QString& password) {
    const QString hash = hashPassword(password);  // before the write lock: it takes a while
    Transaction t(conn());
    if (conn().execute(QStringLiteral("update Operator set Pass = :p, Branch = :mark "
                                      "where ID = :id and (Branch is null or Branch <> :mark)"),
                       {{QStringLiteral(":p"), hash},
                        {QStringLiteral(":mark"), kPasswordMark},
                        {QStringLiteral(":id"), operatorId}}) == 0) {
        return false;
    }
    oplog::appendOperation(conn(), {QLatin1String(oplog::Actions::FirstPasswordSet),
                                    stafferOf(operatorId), QString()});
    t.commit();
    return true;
}

DeleteOperatorResult deleteOperator(const QVariant& operatorId) {
    Transaction t(conn());
    if (conn().kind() == DbKind::PostgreSQL) {
        // Two desks deleting two super administrators at once take turns
        // (on SQLite the write transaction already does).
        conn().execute(QStringLiteral("lock table Operator in share row exclusive mode"));
    }
    const QString staffer = stafferOf(operatorId);
    const QVariant manage =
        conn().scalar(QStringLiteral("select OperatorManage from Operator where ID = :id"),
                      {{QStringLiteral(":id"), operatorId}});
    if (manage.isNull()) {
        return DeleteOperatorResult::Missing;
    }
    if (manage.toInt() != 0 &&
        conn().scalar(QStringLiteral("select count(*) from Operator where OperatorManage <> 0"))
                .toInt() < 2) {
        return DeleteOperatorResult::LastSuperAdministrator;
    }
    conn().execute(QStringLiteral("delete from Operator where ID = :id"),
                   {{QStringLiteral(":id"), operatorId}});
    oplog::appendOperation(conn(),
                           {QLatin1String(oplog::Actions::OperatorDeleted), staffer, QString()});
    t.commit();
    return DeleteOperatorResult::Deleted;
}

bool verifyOperatorPassword(const QString& staffer, const QString& password, QString* stored) {
    QSqlQuery q = conn().run(QStringLiteral("select Pass from Operator where Staffer = :s"),
                             {{QStringLiteral(":s"), staffer}});
    if (!q.next()) {
        return false;
    }
    const QString value = q.value(0).toString();
    if (value.isEmpty() || password.isEmpty() || !verifyPassword(password, value)) {
        return false;
    }
    if (stored) {
        *stored = value;
    }
    return true;
}

bool changeOperatorPassword(const QString& staffer, const QString& verifiedStored,
                            const QString& newPassword) {
    const QString hash = hashPassword(newPassword);
    Transaction t(conn());
    if (conn().execute(QStringLiteral("update Operator set Pass = :new, Branch = :mark "
                                      "where Staffer = :s and Pass = :old"),
                       {{QStringLiteral(":new"), hash},
                        {QStringLiteral(":mark"), kPasswordMark},
                        {QStringLiteral(":s"), staffer},
                        {QStringLiteral(":old"), verifiedStored}}) == 0) {
        return false;
    }
    oplog::appendOperation(conn(),
                           {QLatin1String(oplog::Actions::PasswordChanged), staffer, QString()});
    t.commit();
    return true;
}

bool noOperators() {
    return !conn().run(QStringLiteral("select ID from Operator")).next();
}

std::optional<Session> logOn(const QString& login, const QString& password, LogOnKind kind,
                             QString* refused) {
    Session session;
    session.login = login;
    if (kind == LogOnKind::FirstOperator) {
        // The first operator has every yes/no column of Operator set, the
        // spare one after the rights included.
        QStringList columns{QStringLiteral("Staffer"), QStringLiteral("StafferName"),
                            QStringLiteral("Pass"), QStringLiteral("Branch")};
        for (const OperatorRight& r : operatorRights()) {
            columns << QLatin1String(r.column);
        }
        columns << QStringLiteral("SpareRight");
        QStringList values{QStringLiteral(":s"), QStringLiteral(":n"), QStringLiteral(":p"),
                           QStringLiteral(":b")};
        while (values.size() < columns.size()) {
            values << QStringLiteral("1");
        }
        session.name = programText(QStringLiteral("系统管理员"));
        const QString hash = hashPassword(password);
        Transaction t(conn());
        if (conn().kind() == DbKind::PostgreSQL) {
            // Two desks at their first run take turns (SQLite's write
            // transaction already does).
            conn().execute(QStringLiteral("lock table Operator in share row exclusive mode"));
        }
        if (!noOperators()) {
            // Another desk set up the administrator meanwhile: this one is
            // not added beside it.
            throw Error(programText(
                QStringLiteral("另一个工作站已经设定了系统管理员，请用它的登录名和口令登录。")));
        }
        conn().execute(
            QStringLiteral("insert into Operator (%1) values (%2)")
                .arg(columns.join(QStringLiteral(", ")), values.join(QStringLiteral(", "))),
            {{QStringLiteral(":s"), login},
             {QStringLiteral(":n"), session.name},
             {QStringLiteral(":p"), hash},
             {QStringLiteral(":b"), kPasswordMark}});
        oplog::appendOperation(conn(), {QLatin1String(oplog::Actions::FirstOperator), login, {}},
                               {login, session.name});
        oplog::appendOperation(conn(), {QLatin1String(oplog::Actions::LogOn), login, {}},
                               {login, session.name});
        t.commit();
        return session;
    }
    const QString key = columns::storedText(login, columns::kLoginNameLength);
    if (const auto until = oplog::lockedUntil(conn(), key)) {
        const QDateTime now = oplog::databaseNow(conn());
        oplog::appendOperation(conn(),
                               {QLatin1String(oplog::Actions::LogOnRefused),
                                key,
                                {},
                                QLatin1String(oplog::Results::Refused)},
                               {key, QString()});
        if (refused) {
            *refused = oplog::lockedText(key, *until, now);
        }
        return std::nullopt;
    }
    QString stored;
    if (!verifyOperatorPassword(login, password, &stored)) {
        if (oplog::recordFailedLogOn(conn(), login) && refused) {
            if (const auto until = oplog::lockedUntil(conn(), key)) {
                *refused = oplog::lockedText(key, *until, oplog::databaseNow(conn()));
            }
        }
        return std::nullopt;
    }
    const QString rehashed = isPasswordHash(stored) ? QString() : hashPassword(password);
    Transaction t(conn());
    if (!rehashed.isEmpty()) {
        conn().execute(
            QStringLiteral("update Operator set Pass = :new where Staffer = :s and Pass = :old"),
            {{QStringLiteral(":new"), rehashed},
             {QStringLiteral(":s"), login},
             {QStringLiteral(":old"), stored}});
    }
    QSqlQuery q =
        conn().run(QStringLiteral("select StafferName, GroupID from Operator where Staffer = :s"),
                   {{QStringLiteral(":s"), login}});
    if (!q.next()) {
        return std::nullopt;  // deleted at another desk meanwhile
    }
    session.name = q.value(0).toString();
    session.group = q.value(1).toInt();
    oplog::clearFailedLogOns(conn(), key);
    oplog::appendOperation(conn(), {QLatin1String(oplog::Actions::LogOn), login, {}},
                           {login, session.name});
    t.commit();
    return session;
}

void logOff() {
    if (session().login.isEmpty()) {
        return;
    }
    oplog::appendOperation(conn(),
                           {QLatin1String(oplog::Actions::LogOff), session().login, QString()});
}

}  // namespace qv
