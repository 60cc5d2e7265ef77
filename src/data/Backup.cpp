#include "data/Backup.h"

#include "data/Connection.h"
#include "data/Dialect.h"
#include "data/OperationLog.h"
#include "data/SchemaInfo.h"
#include "platform/AppPaths.h"
#include "platform/CrashPoint.h"
#include "platform/Errors.h"
#include "platform/PrivateFiles.h"

#include "data/SchemaScript.h"
#include "platform/ProgramText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

namespace qv {

namespace {

constexpr int kPagesPerStep = 256;

// The sqlite3 handle under an open SQLite connection.
sqlite3* handleOf(const Connection& conn) {
    const QVariant v = conn.database().driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0) {
        throw DbError(qv::programText(QStringLiteral("数据库连接未打开。")));
    }
    sqlite3* h = *static_cast<sqlite3* const*>(v.data());
    if (!h) {
        throw DbError(qv::programText(QStringLiteral("数据库连接未打开。")));
    }
    return h;
}

// An sqlite3 handle of our own, closed on scope exit.
class OwnDb {
public:
    OwnDb(const QString& path, int flags) {
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, flags, nullptr);
        if (rc != SQLITE_OK) {
            const QString why = db_ ? QString::fromUtf8(sqlite3_errmsg(db_))
                                    : QString::fromUtf8(sqlite3_errstr(rc));
            sqlite3_close(db_);
            db_ = nullptr;
            throw DbError(qv::programText(QStringLiteral("无法打开 %1：%2")).arg(path, why));
        }
        sqlite3_busy_timeout(db_, 10000);
    }
    ~OwnDb() { sqlite3_close(db_); }
    OwnDb(const OwnDb&) = delete;
    OwnDb& operator=(const OwnDb&) = delete;
    sqlite3* get() const { return db_; }

    // The first column of the first row of `sql` as text (errors thrown).
    QString scalar(const char* sql) const {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) != SQLITE_OK) {
            throw DbError(QString::fromUtf8(sqlite3_errmsg(db_)));
        }
        const int rc = sqlite3_step(st);
        QString out;
        if (rc == SQLITE_ROW) {
            out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        }
        const QString err = QString::fromUtf8(sqlite3_errmsg(db_));
        sqlite3_finalize(st);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            throw DbError(err);
        }
        return out;
    }

private:
    sqlite3* db_ = nullptr;
};

// Copies the whole database `from` into `to` with the online backup, a few
// pages a step. The destination is written in one transaction: all of it, or
// nothing when a step fails.
void onlineBackup(sqlite3* to, sqlite3* from, const BackupProgress& progress) {
    sqlite3_backup* b = sqlite3_backup_init(to, "main", from, "main");
    if (!b) {
        throw DbError(QString::fromUtf8(sqlite3_errmsg(to)));
    }
    int rc = SQLITE_OK;
    do {
        rc = sqlite3_backup_step(b, kPagesPerStep);
        if (progress) {
            const int total = sqlite3_backup_pagecount(b);
            progress(total - sqlite3_backup_remaining(b), total);
        }
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            sqlite3_sleep(20);
        }
    } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE) {
        const int code = sqlite3_errcode(to) != SQLITE_OK ? sqlite3_errcode(to) : rc;
        throw DbError(QString::fromUtf8(sqlite3_errstr(code)));
    }
}

void syncFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        throw Error(qv::programText(QStringLiteral("无法写入 %1。")).arg(path));
    }
    ::close(fd);
}

void syncFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// A private, empty work file beside `target` (see PrivateFiles.h), after
// the leftovers of an earlier operation in that folder are removed.
QString makeWorkFile(const QString& target) {
    removeLeftoverWorkFiles(QFileInfo(target).absolutePath());
    const QString path = workFileBeside(target);
    QString why;
    if (!createPrivateFile(path, &why)) {
        throw Error(qv::programText(QStringLiteral("无法建立临时文件 %1：%2")).arg(path, why));
    }
    return path;
}

// Removes a temporary file (and its journals) on scope exit unless kept.
struct TempFile {
    QString path;
    bool keep = false;
    ~TempFile() {
        if (!keep && !path.isEmpty()) {
            for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
                QFile::remove(path + QLatin1String(suffix));
            }
        }
    }
};

// On the server: keys that the server makes for `table` continue after the
// rows it holds.
void resetKeySequence(Connection& conn, const QString& table) {
    if (conn.kind() != DbKind::PostgreSQL) {
        return;
    }
    const QStringList keys = schema::keyColumns(table);
    if (keys.size() != 1) {
        return;
    }
    const QVariant seq = conn.scalar(
        QStringLiteral("select pg_get_serial_sequence(:t, :c)"),
        {{QStringLiteral(":t"), table.toLower()}, {QStringLiteral(":c"), keys[0].toLower()}});
    if (!seq.isNull() && !seq.toString().isEmpty()) {
        conn.run(QStringLiteral("select setval(:s, coalesce((select max(%1) from %2), 0) + 1, "
                                "false)")
                     .arg(keys[0], table),
                 {{QStringLiteral(":s"), seq}});
    }
}

// Every row of every lock table from `from` into `to`, whose lock tables are
// emptied first; on `to`'s current transaction. Date-times keep their meaning
// across the two kinds.
void copyTables(Connection& from, Connection& to, const BackupProgress& progress,
                const QStringList& tables = lockTables()) {
    qint64 total = 0;
    QHash<QString, qint64> counts;
    for (const QString& t : tables) {
        counts[t] = from.scalar(QStringLiteral("select count(*) from %1").arg(t)).toLongLong();
        total += counts[t];
    }
    qint64 done = 0;
    for (const QString& table : tables) {
        to.execute(QStringLiteral("delete from %1").arg(table));
        const QStringList columns = schema::columns(table);
        QStringList params;
        for (int i = 0; i < columns.size(); ++i) {
            params << QStringLiteral(":c%1").arg(i);
        }
        const QString insert =
            QStringLiteral("insert into %1 (%2) values (%3)")
                .arg(table, columns.join(QStringLiteral(", ")), params.join(QStringLiteral(", ")));
        QSqlQuery rows = from.run(
            QStringLiteral("select %1 from %2").arg(columns.join(QStringLiteral(", ")), table));
        QSqlQuery out(to.database());
        if (!out.prepare(insert)) {
            throw DbError(out.lastError().text());
        }
        QVector<bool> dateTime(columns.size());
        for (int i = 0; i < columns.size(); ++i) {
            dateTime[i] = schema::isDateTimeColumn(columns[i]);
        }
        while (rows.next()) {
            for (int i = 0; i < columns.size(); ++i) {
                out.bindValue(params[i],
                              Dialect::toDb(Dialect::fromDb(rows.value(i), dateTime[i])));
            }
            if (!out.exec()) {
                throw DbError(QStringLiteral("%1: %2").arg(table, out.lastError().databaseText()));
            }
            if (progress && (++done % 500 == 0)) {
                progress(done, total);
            }
        }
        resetKeySequence(to, table);
    }
    if (progress) {
        progress(total, total);
    }
}

struct Counters {
    QList<QPair<QVariant, qint64>> rooms;  // Room key, CardSn
    QList<QPair<QVariant, qint64>> kinds;  // CardType, CardSn
};

Counters readCounters(Connection& conn) {
    Counters c;
    QSqlQuery q = conn.run(QStringLiteral("select Room, CardSn from RoomInfo"));
    while (q.next()) {
        c.rooms.append({q.value(0), q.value(1).toLongLong()});
    }
    q = conn.run(QStringLiteral("select CardType, CardSn from AllCardSn"));
    while (q.next()) {
        c.kinds.append({q.value(0), q.value(1).toLongLong()});
    }
    return c;
}

// Counters that were ahead before the restore stay ahead.
void keepCountersAhead(Connection& conn, const Counters& before) {
    Transaction t(conn);
    for (const auto& [room, sn] : before.rooms) {
        conn.execute(QStringLiteral("update RoomInfo set CardSn = :sn where Room = :r and "
                                    "(CardSn is null or CardSn < :sn)"),
                     {{QStringLiteral(":sn"), sn}, {QStringLiteral(":r"), room}});
    }
    for (const auto& [kind, sn] : before.kinds) {
        if (conn.execute(QStringLiteral("update AllCardSn set CardSn = :sn where CardType = :k and "
                                        "(CardSn is null or CardSn < :sn)"),
                         {{QStringLiteral(":sn"), sn}, {QStringLiteral(":k"), kind}}) == 0 &&
            conn.scalar(QStringLiteral("select count(*) from AllCardSn where CardType = :k"),
                        {{QStringLiteral(":k"), kind}})
                    .toInt() == 0) {
            conn.execute(
                QStringLiteral("insert into AllCardSn (CardType, CardSn) values (:k, :sn)"),
                {{QStringLiteral(":sn"), sn}, {QStringLiteral(":k"), kind}});
        }
    }
    t.commit();
}

// The card issue log rows whose card may open a door although its issue
// never completed (CardState 1 and 2: the clerk is to cancel those cards).
// A restore must not forget one: those made after the backup are put back,
// and a row the backup holds as unconfirmed takes the state the live
// database has learnt since.
struct CardRows {
    QStringList columns;              // of MakeCardRecord, ID first
    QList<QVariantList> unconfirmed;  // live rows with CardState 1 or 2
    QList<QVariantList> settled;      // ID, CardType, Rom, CardState
};

const QString& cardStateFilter() {
    static const QString where = QStringLiteral("CardState IN (1, 2)");
    return where;
}

// Reads on `live` before its rows are replaced; `restoredUnconfirmed` are the
// IDs the restored rows hold as unconfirmed.
CardRows readCardRows(Connection& live, const QList<QVariant>& restoredUnconfirmed) {
    CardRows out;
    out.columns = schema::columns(QStringLiteral("MakeCardRecord"));
    QSqlQuery q = live.run(QStringLiteral("select %1 from MakeCardRecord where %2")
                               .arg(out.columns.join(QStringLiteral(", ")), cardStateFilter()));
    while (q.next()) {
        QVariantList row;
        for (int i = 0; i < out.columns.size(); ++i) {
            row << q.value(i);
        }
        out.unconfirmed << row;
    }
    for (const QVariant& id : restoredUnconfirmed) {
        QSqlQuery r = live.run(QStringLiteral("select ID, CardType, Rom, CardState from "
                                              "MakeCardRecord where ID = :id and not (%1)")
                                   .arg(cardStateFilter()),
                               {{QStringLiteral(":id"), id}});
        if (r.next()) {
            out.settled << QVariantList{r.value(0), r.value(1), r.value(2), r.value(3)};
        }
    }
    return out;
}

bool sameCard(const QVariant& a, const QVariant& b) {
    return a.isNull() ? b.isNull() : (!b.isNull() && a.toString() == b.toString());
}

// After the restored rows are in, on the same transaction.
void keepCardRows(Connection& conn, const CardRows& rows) {
    const int cardType = static_cast<int>(rows.columns.indexOf(QStringLiteral("CardType")));
    const int rom = static_cast<int>(rows.columns.indexOf(QStringLiteral("Rom")));
    const int state = static_cast<int>(rows.columns.indexOf(QStringLiteral("CardState")));
    const auto sameRow = [&](const QVariant& id, const QVariant& type, const QVariant& number,
                             QVariant* restoredState) {
        QSqlQuery q = conn.run(
            QStringLiteral("select CardType, Rom, CardState from MakeCardRecord where ID = :id"),
            {{QStringLiteral(":id"), id}});
        if (!q.next()) {
            return -1;  // no row with this key
        }
        if (restoredState) {
            *restoredState = q.value(2);
        }
        return sameCard(q.value(0), type) && sameCard(q.value(1), number) ? 1 : 0;
    };
    for (const QVariantList& s : rows.settled) {
        if (sameRow(s[0], s[1], s[2], nullptr) == 1) {
            conn.execute(QStringLiteral("update MakeCardRecord set CardState = :s where ID = :id"),
                         {{QStringLiteral(":s"), s[3]}, {QStringLiteral(":id"), s[0]}});
        }
    }
    const QString all = rows.columns.join(QStringLiteral(", "));
    const QStringList noKey = rows.columns.mid(1);
    for (const QVariantList& row : rows.unconfirmed) {
        const int found = sameRow(row[0], row[cardType], row[rom], nullptr);
        if (found == 1) {
            conn.execute(QStringLiteral("update MakeCardRecord set CardState = :s where ID = :id"),
                         {{QStringLiteral(":s"), row[state]}, {QStringLiteral(":id"), row[0]}});
            continue;
        }
        // Made after the backup: back with its key, or with a new one when
        // the restored log uses that key for another card.
        const QStringList& columns = found == -1 ? rows.columns : noKey;
        const QVariantList values = found == -1 ? row : row.mid(1);
        QStringList params;
        Binds binds;
        for (int i = 0; i < columns.size(); ++i) {
            params << QStringLiteral(":c%1").arg(i);
            binds.insert(params.last(), values[i]);
        }
        conn.execute(QStringLiteral("insert into MakeCardRecord (%1) values (%2)")
                         .arg(found == -1 ? all : noKey.join(QStringLiteral(", ")),
                              params.join(QStringLiteral(", "))),
                     binds);
    }
    resetKeySequence(conn, QStringLiteral("MakeCardRecord"));
}

// The progress of an operation that the fault tests may end at each step.
BackupProgress withCrashPoint(const char* point, const BackupProgress& progress) {
    return [point, progress](qint64 done, qint64 total) {
        crashPoint(point);
        if (progress) {
            progress(done, total);
        }
    };
}

}  // namespace

namespace {
// The tables a restore replaces: all but the failed logons and the
// operations log, which go on from the live database, so that what was done
// since the backup (and the restore itself) stays in the chain. A live
// database whose log is empty (a new one the hotel moves into) takes the
// backup's log instead, chain and all.
QStringList restoredTables(Connection& live) {
    QStringList tables = lockTables();
    tables.removeAll(QStringLiteral("LogonFailure"));
    if (!live.run(QStringLiteral("select ID from OperationLog limit 1")).next()) {
        return tables;
    }
    tables.removeAll(QStringLiteral("OperationLog"));
    return tables;
}

// The restore's row, after the restored rows, in their transaction.
void logRestore(Connection& conn, const QString& file, qint64 backupLogRows, bool taken) {
    oplog::appendOperation(
        conn, {QLatin1String(oplog::Actions::Restored), file,
               (taken ? programText(QStringLiteral("备份的操作日志 %1 行已恢复"))
                      : programText(QStringLiteral("备份的操作日志 %1 行未恢复，本库的日志继续")))
                   .arg(backupLogRows)});
}
}  // namespace

QStringList lockTables() {
    static const QStringList tables = [] {
        QStringList out;
        static const QRegularExpression create(QStringLiteral("^\\s*CREATE\\s+TABLE\\s+(\\w+)"),
                                               QRegularExpression::CaseInsensitiveOption);
        for (const QString& s : schema::statements(QString::fromUtf8(kSchemaScript))) {
            const auto m = create.match(s);
            if (m.hasMatch()) {
                out << schema::canonicalName(m.captured(1));
            }
        }
        return out;
    }();
    return tables;
}

void backupDatabase(Connection& conn, const QString& target, const BackupProgress& progress) {
    if (QFileInfo::exists(target)) {
        throw Error(qv::programText(QStringLiteral("%1 已存在。")).arg(target));
    }
    TempFile temp{makeWorkFile(target)};
    const BackupProgress step = withCrashPoint("backup-step", progress);
    if (conn.kind() == DbKind::SQLite) {
        OwnDb out(temp.path, SQLITE_OPEN_READWRITE);
        onlineBackup(out.get(), handleOf(conn), step);
        // A backup stands alone: no journal file beside it.
        out.scalar("PRAGMA journal_mode=DELETE");
    } else {
        Connection out;
        out.openSQLite(temp.path, true);  // the empty private file becomes the database
        out.createSchema();
        Transaction t(out);
        copyTables(conn, out, step);
        t.commit();
        out.run(QStringLiteral("PRAGMA journal_mode=DELETE"));
        out.close();
    }
    {
        OwnDb check(temp.path, SQLITE_OPEN_READONLY);
        if (check.scalar("PRAGMA integrity_check") != QLatin1String("ok")) {
            throw Error(qv::programText(QStringLiteral("备份文件没有通过检查，备份未完成。")));
        }
    }
    syncFile(temp.path);
    crashPoint("backup-before-link");
    // rename() would replace a file made meanwhile; link() never does.
    if (::link(QFile::encodeName(temp.path).constData(), QFile::encodeName(target).constData()) !=
        0) {
        throw Error(qv::programText(QStringLiteral("无法建立备份文件 %1。")).arg(target));
    }
    crashPoint("backup-after-link");
    syncFolder(QFileInfo(target).absolutePath());
    oplog::appendOperation(conn, {QLatin1String(oplog::Actions::BackupTaken), target, QString()});
}

void restoreDatabase(Connection& conn, const QString& file, const BackupProgress& progress) {
    if (!QFileInfo(file).isFile()) {
        throw Error(qv::programText(QStringLiteral("文件不存在！")));
    }
    const QString notLock =
        qv::programText(QStringLiteral("%1 不是门锁数据库的备份，数据库未作改动。")).arg(file);
    // A copy of the chosen file, so that the file itself is never written to
    // (an older backup is brought up to the current schema in the copy).
    // Beside the live file; for the server in the program's db folder.
    const QString folder = conn.kind() == DbKind::SQLite
                               ? QFileInfo(conn.database().databaseName()).absolutePath()
                               : QFileInfo(AppPaths::lockDatabase()).absolutePath();
    QDir().mkpath(folder);
    TempFile temp{makeWorkFile(QDir(folder).filePath(QFileInfo(file).fileName()))};
    try {
        OwnDb source(file, SQLITE_OPEN_READONLY);
        if (source.scalar("PRAGMA application_id").toInt() != Connection::kApplicationId) {
            throw Error(notLock);
        }
        const int version = source.scalar("PRAGMA user_version").toInt();
        if (version > Connection::kSchemaVersion) {
            throw Error(
                qv::programText(
                    QStringLiteral("%1 由较新版本的程序建立（结构版本 %2），数据库未作改动。"))
                    .arg(file)
                    .arg(version));
        }
        if (version < 1) {
            throw Error(notLock);
        }
        if (source.scalar("PRAGMA integrity_check") != QLatin1String("ok")) {
            throw Error(qv::programText(QStringLiteral("%1 已损坏，数据库未作改动。")).arg(file));
        }
        {
            OwnDb copy(temp.path, SQLITE_OPEN_READWRITE);
            onlineBackup(copy.get(), source.get(), withCrashPoint("restore-copy", {}));
            copy.scalar("PRAGMA journal_mode=DELETE");
        }
        // An older backup is brought up to date in the copy; one that lacks
        // a table or column is refused here.
        Connection restored;
        restored.openSQLite(temp.path);
        restored.checkLockDatabase();
        restored.close();
    } catch (const Abort&) {
        throw;
    } catch (const Error& e) {
        if (e.text().contains(file)) {
            throw;
        }
        throw Error(notLock + QStringLiteral("\n") + e.text());
    }
    crashPoint("restore-before-replace");
    // The restored rows, the counters kept ahead of the live ones and the
    // unconfirmed cards commit together, under the write lock: killed at any
    // moment, the database is the old one whole or the restored one whole.
    const BackupProgress step = withCrashPoint("restore-step", progress);
    if (conn.kind() == DbKind::SQLite) {
        conn.run(QStringLiteral("ATTACH DATABASE :f AS restored"),
                 {{QStringLiteral(":f"), temp.path}});
        struct Detach {
            Connection& conn;
            ~Detach() {
                try {
                    conn.run(QStringLiteral("DETACH DATABASE restored"));
                } catch (const Error&) {
                }
            }
        } detach{conn};
        Transaction t(conn);
        const Counters before = readCounters(conn);
        QList<QVariant> restoredUnconfirmed;
        QSqlQuery ids = conn.run(QStringLiteral("select ID from restored.MakeCardRecord where %1")
                                     .arg(cardStateFilter()));
        while (ids.next()) {
            restoredUnconfirmed << ids.value(0);
        }
        const CardRows cards = readCardRows(conn, restoredUnconfirmed);
        const QStringList tables = restoredTables(conn);
        const qint64 backupLogRows =
            conn.scalar(QStringLiteral("select count(*) from restored.OperationLog")).toLongLong();
        qint64 total = 0;
        for (const QString& table : tables) {
            total += conn.scalar(QStringLiteral("select count(*) from restored.%1").arg(table))
                         .toLongLong();
        }
        qint64 done = 0;
        for (const QString& table : tables) {
            const QString columns = schema::columns(table).join(QStringLiteral(", "));
            conn.execute(QStringLiteral("delete from main.%1").arg(table));
            done += conn.execute(QStringLiteral("insert into main.%1 (%2) select %2 from "
                                                "restored.%1")
                                     .arg(table, columns));
            step(done, total);
        }
        keepCountersAhead(conn, before);
        keepCardRows(conn, cards);
        logRestore(conn, file, backupLogRows, tables.contains(QStringLiteral("OperationLog")));
        crashPoint("restore-before-commit");
        t.commit();
    } else {
        Connection source;
        source.openSQLite(temp.path);
        QList<QVariant> restoredUnconfirmed;
        QSqlQuery ids = source.run(
            QStringLiteral("select ID from MakeCardRecord where %1").arg(cardStateFilter()));
        while (ids.next()) {
            restoredUnconfirmed << ids.value(0);
        }
        Transaction t(conn);
        // Other desks may read on meanwhile but issue no card until it is done.
        conn.execute(QStringLiteral("LOCK TABLE %1 IN EXCLUSIVE MODE")
                         .arg(lockTables().join(QStringLiteral(", "))));
        const Counters before = readCounters(conn);
        const CardRows cards = readCardRows(conn, restoredUnconfirmed);
        const QStringList tables = restoredTables(conn);
        copyTables(source, conn, step, tables);
        keepCountersAhead(conn, before);
        keepCardRows(conn, cards);
        logRestore(
            conn, file,
            source.scalar(QStringLiteral("select count(*) from OperationLog")).toLongLong(),
            tables.contains(QStringLiteral("OperationLog")));
        crashPoint("restore-before-commit");
        t.commit();
    }
    crashPoint("restore-after-commit");
}

}  // namespace qv
