#include "data/OperationLog.h"

#include "data/Connection.h"
#include "data/Session.h"
#include "data/TextColumns.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/ProgramText.h"

#include <sodium.h>
#include <QSqlQuery>
#include <QSysInfo>
#include <QVariant>
#include <algorithm>

namespace qv::oplog {

namespace {

// The key of the log's advisory lock on the server ("QVOP").
constexpr qint64 kLogLockKey = 0x51564F50;

QString column(const QVariant& value) {
    return value.isNull() ? QString() : value.toString();
}

// Adds `text` to the hash as its length and its UTF-8 bytes, so that no two
// different rows give the same input.
void addField(crypto_generichash_state& state, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    const quint32 size = static_cast<quint32>(bytes.size());
    const unsigned char length[4] = {
        static_cast<unsigned char>(size >> 24), static_cast<unsigned char>(size >> 16),
        static_cast<unsigned char>(size >> 8), static_cast<unsigned char>(size)};
    crypto_generichash_update(&state, length, sizeof length);
    crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(bytes.constData()),
                              static_cast<unsigned long long>(bytes.size()));
}

// Text as stored: never null, so that the NOT NULL columns take an empty one.
QString stored(const QString& text) {
    return text.isNull() ? QStringLiteral("") : text;
}

QString lookUp(const QList<QPair<QString, QString>>& table, const QString& code) {
    for (const auto& [key, text] : table) {
        if (key == code) {
            return programText(text);
        }
    }
    return code;
}

}  // namespace

Actor sessionActor() {
    return {session().login, session().name};
}

QString workstation() {
    static const QString name = QSysInfo::machineHostName();
    return name;
}

const QList<QPair<QString, QString>>& actions() {
    static const QList<QPair<QString, QString>> table{
        {Actions::LogOn, programTextKey(QStringLiteral("登录"))},
        {Actions::LogOnFailed, programTextKey(QStringLiteral("登录失败"))},
        {Actions::LogOnLocked, programTextKey(QStringLiteral("登录名被锁定"))},
        {Actions::LogOnRefused, programTextKey(QStringLiteral("锁定期间登录"))},
        {Actions::LogOff, programTextKey(QStringLiteral("退出系统"))},
        {Actions::FirstOperator, programTextKey(QStringLiteral("设定系统管理员"))},
        {Actions::CheckIn, programTextKey(QStringLiteral("开房"))},
        {Actions::CopyCard, programTextKey(QStringLiteral("复制客人卡"))},
        {Actions::ContinueStay, programTextKey(QStringLiteral("续房"))},
        {Actions::CheckOut, programTextKey(QStringLiteral("退房"))},
        {Actions::CardIssued, programTextKey(QStringLiteral("发卡"))},
        {Actions::CardFailed, programTextKey(QStringLiteral("卡已写好，记录未保存"))},
        {Actions::CardCancelled, programTextKey(QStringLiteral("注销卡"))},
        {Actions::CardMarkedWritten, programTextKey(QStringLiteral("确认卡已写好"))},
        {Actions::CardMarkedLost, programTextKey(QStringLiteral("卡已丢失或损坏"))},
        {Actions::DataCardRead, programTextKey(QStringLiteral("读采集卡"))},
        {Actions::RecordsDeleted, programTextKey(QStringLiteral("删除记录"))},
        {Actions::RoomAdded, programTextKey(QStringLiteral("添加房间"))},
        {Actions::RoomChanged, programTextKey(QStringLiteral("修改房间"))},
        {Actions::RoomDeleted, programTextKey(QStringLiteral("删除房间"))},
        {Actions::RoomTypeAdded, programTextKey(QStringLiteral("添加客房类型"))},
        {Actions::RoomTypeChanged, programTextKey(QStringLiteral("修改客房类型"))},
        {Actions::RoomTypeDeleted, programTextKey(QStringLiteral("删除客房类型"))},
        {Actions::DistrictAdded, programTextKey(QStringLiteral("添加区域"))},
        {Actions::DistrictChanged, programTextKey(QStringLiteral("修改区域"))},
        {Actions::DistrictDeleted, programTextKey(QStringLiteral("删除区域"))},
        {Actions::OperatorAdded, programTextKey(QStringLiteral("添加操作员"))},
        {Actions::OperatorDeleted, programTextKey(QStringLiteral("删除操作员"))},
        {Actions::RightsChanged, programTextKey(QStringLiteral("修改权限"))},
        {Actions::FirstPasswordSet, programTextKey(QStringLiteral("设定初始口令"))},
        {Actions::PasswordChanged, programTextKey(QStringLiteral("修改口令"))},
        {Actions::SettingsSaved, programTextKey(QStringLiteral("保存系统设置"))},
        {Actions::ConnectionChanged, programTextKey(QStringLiteral("修改数据库连接"))},
        {Actions::BackupTaken, programTextKey(QStringLiteral("数据备份"))},
        {Actions::Restored, programTextKey(QStringLiteral("数据恢复"))},
        {Actions::KeyRequest, programTextKey(QStringLiteral("接口发卡请求"))},
        {Actions::CaptureMode, programTextKey(QStringLiteral("语言采集模式"))},
    };
    return table;
}

const QList<QPair<QString, QString>>& results() {
    static const QList<QPair<QString, QString>> table{
        {Results::Done, programTextKey(QStringLiteral("成功"))},
        {Results::Failed, programTextKey(QStringLiteral("失败"))},
        {Results::Refused, programTextKey(QStringLiteral("拒绝"))},
    };
    return table;
}

namespace {
QHash<QString, QString> texts(const QList<QPair<QString, QString>>& table) {
    QHash<QString, QString> out;
    for (const auto& [code, text] : table) {
        out.insert(code, programText(text));
    }
    return out;
}
}  // namespace

QHash<QString, QString> actionTexts() {
    return texts(actions());
}

QHash<QString, QString> resultTexts() {
    return texts(results());
}

QString actionText(const QString& action) {
    return lookUp(actions(), action);
}

QString resultText(const QString& result) {
    return lookUp(results(), result);
}

QString rowHash(const RowContent& row) {
    static const bool ready = sodium_init() >= 0;
    if (!ready) {
        throw Error(programText(QStringLiteral("加密库无法初始化。")));
    }
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, crypto_generichash_BYTES);
    addField(state, QStringLiteral("QVOPLOG1"));
    addField(state, QString::number(row.id));
    addField(state, Dialect::dateTimeText(row.logTime));
    addField(state, row.staffer);
    addField(state, row.stafferName);
    addField(state, row.workstation);
    addField(state, row.action);
    addField(state, row.object);
    addField(state, row.detail);
    addField(state, row.result);
    addField(state, row.cardLogId == 0 ? QString() : QString::number(row.cardLogId));
    addField(state, row.prevHash);
    unsigned char out[crypto_generichash_BYTES];
    crypto_generichash_final(&state, out, sizeof out);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(out), sizeof out).toHex());
}

QDateTime databaseNow(Connection& conn) {
    // A test that sets the program's clock moves the log's clock with it.
    if (conn.kind() == DbKind::PostgreSQL && !Clock::isTestTime()) {
        // The server's clock in the session's time zone (the desk's).
        return Dialect::fromDb(
                   conn.scalar(QStringLiteral("select cast(clock_timestamp() as timestamp(0))")),
                   true)
            .toDateTime();
    }
    const QDateTime now = Clock::now();
    return QDateTime(now.date(),
                     QTime(now.time().hour(), now.time().minute(), now.time().second()));
}

void appendOperation(Connection& conn, const Entry& entry) {
    appendOperation(conn, entry, sessionActor());
}

namespace {
thread_local int g_withoutLog = 0;
}  // namespace

BenchmarkWithoutLog::BenchmarkWithoutLog() {
    ++g_withoutLog;
}

BenchmarkWithoutLog::~BenchmarkWithoutLog() {
    --g_withoutLog;
}

void appendOperation(Connection& conn, const Entry& entry, const Actor& actor) {
    if (g_withoutLog > 0) {
        return;
    }
    Transaction t(conn);
    RowContent row;
    if (conn.kind() == DbKind::PostgreSQL && !Clock::isTestTime()) {
        // Held to the end of the transaction: the next desk reads this row
        // as its previous one once it is committed. The time is read once the
        // lock is held, so that times follow the chain.
        CachedQuery lock = conn.cached(QStringLiteral("select pg_advisory_xact_lock(:k), "
                                                      "cast(clock_timestamp() as timestamp(0))"),
                                       {QVariant(kLogLockKey)});
        lock.next();
        row.logTime = Dialect::fromDb(lock.value(1), true).toDateTime();
    } else {
        if (conn.kind() == DbKind::PostgreSQL) {
            conn.cached(QStringLiteral("select pg_advisory_xact_lock(:k)"), {QVariant(kLogLockKey)})
                .next();
        }
        row.logTime = databaseNow(conn);
    }
    {
        CachedQuery last = conn.cached(
            QStringLiteral("select ID, RowHash from OperationLog order by ID desc limit 1"),
            QVariantList{});
        if (last.next()) {
            row.id = last.value(0).toLongLong() + 1;
            row.prevHash = column(last.value(1));
        } else {
            row.id = 1;
        }
    }
    row.staffer = columns::storedText(actor.login, columns::kLoginNameLength);
    row.stafferName = columns::storedText(actor.name, columns::kFullNameLength);
    row.workstation = workstation();
    row.action = entry.action;
    row.object = entry.object;
    row.detail = entry.detail;
    row.result = entry.result;
    row.cardLogId = entry.cardLogId;
    const QString hash = rowHash(row);
    conn.cached(QStringLiteral("insert into OperationLog (ID, LogTime, Staffer, StafferName, "
                               "Workstation, Action, Object, Detail, Result, CardLogId, "
                               "PrevHash, RowHash) values (:id, :t, :s, :n, :w, :a, :o, :d, :r, "
                               ":c, :p, :h)"),
                QVariantList{row.id, row.logTime, stored(row.staffer), stored(row.stafferName),
                             stored(row.workstation), stored(row.action), stored(row.object),
                             stored(row.detail), stored(row.result),
                             row.cardLogId == 0 ? QVariant(QMetaType(QMetaType::LongLong))
                                                : QVariant(row.cardLogId),
                             stored(row.prevHash), hash})
        .rowsChanged();
    t.commit();
}

QString ChainProblem::text() const {
    if (kind == Changed) {
        return programText(QStringLiteral("第 %1 行已被修改。")).arg(firstId);
    }
    if (firstId == lastId) {
        return programText(QStringLiteral("第 %1 行已被删除。")).arg(firstId);
    }
    return programText(QStringLiteral("第 %1 至 %2 行已被删除。")).arg(firstId).arg(lastId);
}

ChainReport verifyOperationLog(Connection& conn) {
    ChainReport report;
    const auto problem = [&report](ChainProblem::Kind kind, qint64 first, qint64 last) {
        if (report.problems.size() < ChainReport::kMaxProblems) {
            report.problems.append({kind, first, last});
        }
    };
    QSqlQuery q = conn.run(QStringLiteral(
        "select ID, LogTime, Staffer, StafferName, Workstation, Action, Object, "
        "Detail, Result, CardLogId, PrevHash, RowHash from OperationLog order by ID"));
    qint64 previousId = 0;
    QString previousHash;          // the previous row's stored hash
    bool previousChanged = false;  // the previous row was already named as changed
    while (q.next()) {
        RowContent row;
        row.id = q.value(0).toLongLong();
        row.logTime = Dialect::fromDb(q.value(1), true).toDateTime();
        row.staffer = column(q.value(2));
        row.stafferName = column(q.value(3));
        row.workstation = column(q.value(4));
        row.action = column(q.value(5));
        row.object = column(q.value(6));
        row.detail = column(q.value(7));
        row.result = column(q.value(8));
        row.cardLogId = q.value(9).toLongLong();
        row.prevHash = column(q.value(10));
        const QString stored = column(q.value(11));
        ++report.rows;

        const bool gap = row.id > previousId + 1;
        if (gap) {
            problem(ChainProblem::Removed, previousId + 1, row.id - 1);
        } else if (row.prevHash != previousHash && !previousChanged) {
            // The row before was replaced as a whole, its hash made again:
            // this row still names the hash it had.
            problem(ChainProblem::Changed, previousId, previousId);
        }
        const bool changed = rowHash(row) != stored;
        if (changed) {
            problem(ChainProblem::Changed, row.id, row.id);
        }
        previousId = row.id;
        previousHash = stored;
        previousChanged = changed;
    }
    report.lastId = previousId;
    report.lastHash = previousHash;
    return report;
}

std::optional<QDateTime> lockedUntil(Connection& conn, const QString& login) {
    const QDateTime now = databaseNow(conn);
    const QVariant locked =
        conn.scalar(QStringLiteral("select max(FailTime) from LogonFailure where Staffer = :s and "
                                   "Lockout <> 0 and FailTime > :since"),
                    {{QStringLiteral(":s"), login.trimmed()},
                     {QStringLiteral(":since"), now.addSecs(-kLockoutMinutes * 60)}});
    if (locked.isNull()) {
        return std::nullopt;
    }
    return Dialect::fromDb(locked, true).toDateTime().addSecs(kLockoutMinutes * 60);
}

bool recordFailedLogOn(Connection& conn, const QString& typed) {
    const QString login = columns::storedText(typed, columns::kLoginNameLength);
    Transaction t(conn);
    const QDateTime now = databaseNow(conn);
    conn.run(QStringLiteral("insert into LogonFailure (Staffer, FailTime, Workstation) values "
                            "(:s, :t, :w)"),
             {{QStringLiteral(":s"), login},
              {QStringLiteral(":t"), now},
              {QStringLiteral(":w"), workstation()}});
    const int failures =
        conn.scalar(QStringLiteral("select count(*) from LogonFailure where Staffer = :s and "
                                   "FailTime > :since"),
                    {{QStringLiteral(":s"), login},
                     {QStringLiteral(":since"), now.addSecs(-kLockoutMinutes * 60)}})
            .toInt();
    const bool locks = failures >= kLockoutFailures;
    if (locks) {
        conn.run(QStringLiteral("update LogonFailure set Lockout = 1 where ID = (select max(ID) "
                                "from LogonFailure where Staffer = :s)"),
                 {{QStringLiteral(":s"), login}});
    }
    appendOperation(
        conn,
        {QLatin1String(locks ? Actions::LogOnLocked : Actions::LogOnFailed), login,
         programText(QStringLiteral("%1 分钟内第 %2 次")).arg(kLockoutMinutes).arg(failures),
         QLatin1String(Results::Refused)},
        {login, QString()});
    t.commit();
    return locks;
}

void clearFailedLogOns(Connection& conn, const QString& login) {
    conn.run(QStringLiteral("delete from LogonFailure where Staffer = :s"),
             {{QStringLiteral(":s"), login.trimmed()}});
}

QString lockedText(const QString& login, const QDateTime& until, const QDateTime& now) {
    const qint64 minutes = std::max<qint64>(1, (now.secsTo(until) + 59) / 60);
    return programText(QStringLiteral("登录名“%1”的密码连续输错 %2 次，已被锁定 %3 分钟。"
                                      "请在 %4 分钟后再试，或请系统管理员协助。"))
        .arg(login.trimmed())
        .arg(kLockoutFailures)
        .arg(kLockoutMinutes)
        .arg(minutes);
}

}  // namespace qv::oplog
