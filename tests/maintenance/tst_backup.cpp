// Backup and restore of the lock database: consistent while others write,
// bad files refused with the live database untouched, SQLite and PostgreSQL
// round trips, counters that never go back.

#include "LockDatabase.h"
#include "TestSupport.h"

#include "data/Backup.h"
#include "data/Connection.h"
#include "data/DemoHotel.h"
#include "data/dm_unit.h"
#include "platform/Errors.h"
#include "settings/Settings.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

#include <sys/stat.h>

namespace {

QByteArray fileHash(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// Every row of every lock table as text, ordered, for comparing databases.
// Every lock table but the operations log, which a backup and a restore
// write their rows to.
QStringList dump(qv::Connection& conn) {
    QStringList out;
    for (const QString& table : qv::lockTables()) {
        if (table == QLatin1String("OperationLog")) {
            continue;
        }
        QSqlQuery q = conn.run(QStringLiteral("select * from %1").arg(table));
        QStringList rows;
        while (q.next()) {
            QStringList cells;
            const QSqlRecord r = q.record();
            for (int i = 0; i < r.count(); ++i) {
                QVariant v = qv::Dialect::fromDb(q.value(i), true);
                if (v.typeId() != QMetaType::QDateTime) {
                    v = q.value(i);
                }
                cells << r.fieldName(i).toLower() + '=' +
                             (v.typeId() == QMetaType::QDateTime
                                  ? qv::Dialect::dateTimeText(v.toDateTime())
                              : v.isNull() ? QStringLiteral("NULL")
                              : QString::number(v.toDouble()) == v.toString() ||
                                      v.typeId() == QMetaType::Double
                                  ? QString::number(v.toDouble())
                                  : v.toString());
            }
            rows << cells.join('|');
        }
        rows.sort();
        out << table + ':' + QString::number(rows.size()) << rows;
    }
    return out;
}

}  // namespace

class BackupTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void backupWhileOthersWrite();
    void backupNeverReplacesAFile();
    void restoreRefusesBadFiles_data();
    void restoreRefusesBadFiles();
    void restoreKeepsCountersAhead();
    void roundTripThroughServer();
    void filesArePrivateAndBesideTheirTarget_data();
    void filesArePrivateAndBesideTheirTarget();
    void restoreKeepsUnconfirmedCards_data() { addDatabaseKinds(); }
    void restoreKeepsUnconfirmedCards();

private:
    // The database of the current row: the SQLite file of init(), or a fresh
    // server database.
    qv::Connection& database();
    std::unique_ptr<qv::Connection> server_;
    QString livePath() const { return app_->file(QStringLiteral("db/lock.db")); }
    std::unique_ptr<TempAppDir> app_;
    std::unique_ptr<Tdm> dm_;
};

void BackupTest::init() {
    app_ = std::make_unique<TempAppDir>();
    dm_ = std::make_unique<Tdm>();
    dm = dm_.get();
    dm->conn.openSQLite(livePath(), true);
    dm->conn.createSchema();
    qv::createDemoHotel(dm->conn);
}

void BackupTest::cleanup() {
    server_.reset();
    dm_.reset();
    dm = nullptr;
    app_.reset();
}

void BackupTest::backupWhileOthersWrite() {
    // Enough rows for the online backup to take many steps.
    qv::inTransaction(dm->conn, [] {
        for (int i = 0; i < 4000; ++i) {
            dm->conn.execute(
                QStringLiteral("insert into OpenDoorRecord (RoomStr, Rom) values (:r, :m)"),
                {{QStringLiteral(":r"), QStringLiteral("W%1").arg(i)},
                 {QStringLiteral(":m"), QString(400, QChar('x'))}});
        }
    });
    // Another desk writes pairs of rows, one transaction each, during the first steps.
    qv::Connection other;
    other.openSQLite(livePath());
    int steps = 0;
    const QString target = app_->file(QStringLiteral("db/b1.db"));
    qv::backupDatabase(dm->conn, target, [&](qint64, qint64) {
        if (++steps <= 3) {
            qv::inTransaction(other, [&] {
                for (int k = 0; k < 2; ++k) {
                    other.execute(
                        QStringLiteral("insert into GuestInRecord (Room, RoomStr) "
                                       "values (1, 'pair')"));
                }
            });
        }
    });
    QVERIFY(steps > 3);
    qv::Connection copy;
    copy.openSQLite(target);
    QCOMPARE(copy.scalar(QStringLiteral("PRAGMA integrity_check")).toString(),
             QStringLiteral("ok"));
    copy.checkLockDatabase();
    const int pairs =
        copy.scalar(QStringLiteral("select count(*) from GuestInRecord where RoomStr = 'pair'"))
            .toInt();
    QCOMPARE(pairs % 2, 0);  // never half a transaction
    QCOMPARE(copy.scalar(QStringLiteral("select count(*) from OpenDoorRecord")).toInt(), 4000);
    // No temporary file is left beside it.
    QCOMPARE(QDir(app_->file(QStringLiteral("db")))
                 .entryList(QStringList{QStringLiteral(".*part*")}, QDir::Files | QDir::Hidden),
             QStringList());
}

void BackupTest::backupNeverReplacesAFile() {
    const QByteArray before = fileHash(livePath());
    // The live file itself as the target is refused like any existing file.
    QVERIFY_THROWS_EXCEPTION(qv::Error, qv::backupDatabase(dm->conn, livePath()));
    app_->write(QStringLiteral("db/old.db"), "keep me");
    QVERIFY_THROWS_EXCEPTION(qv::Error,
                             qv::backupDatabase(dm->conn, app_->file(QStringLiteral("db/old.db"))));
    QCOMPARE(app_->read(QStringLiteral("db/old.db")), QByteArray("keep me"));
    QCOMPARE(fileHash(livePath()), before);
}

void BackupTest::restoreRefusesBadFiles_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("empty file") << "empty";
    QTest::newRow("truncated backup") << "truncated";
    QTest::newRow("random bytes") << "random";
    QTest::newRow("another program's SQLite file") << "foreign";
    QTest::newRow("newer version") << "newer";
    QTest::newRow("missing") << "missing";
}

void BackupTest::restoreRefusesBadFiles() {
    QFETCH(QString, kind);
    const QString bad = app_->file(QStringLiteral("bad.db"));
    if (kind == QLatin1String("empty")) {
        app_->write(QStringLiteral("bad.db"), QByteArray());
    } else if (kind == QLatin1String("truncated")) {
        const QString good = app_->file(QStringLiteral("good.db"));
        qv::backupDatabase(dm->conn, good);
        QFile f(good);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        app_->write(QStringLiteral("bad.db"), bytes.left(bytes.size() / 2));
    } else if (kind == QLatin1String("random")) {
        QByteArray bytes(64 * 1024, '\0');
        QRandomGenerator gen(7);
        for (char& c : bytes) {
            c = static_cast<char>(gen.generate());
        }
        app_->write(QStringLiteral("bad.db"), bytes);
    } else if (kind == QLatin1String("foreign") || kind == QLatin1String("newer")) {
        qv::Connection other;
        other.openSQLite(bad, true);
        if (kind == QLatin1String("foreign")) {
            other.run(QStringLiteral("create table notes (t text)"));
        } else {
            other.createSchema();
            other.run(
                QStringLiteral("PRAGMA user_version=%1").arg(qv::Connection::kSchemaVersion + 1));
        }
        other.close();
    }
    dm->conn.run(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    const QByteArray before = fileHash(livePath());
    const QStringList rows = dump(dm->conn);
    try {
        qv::restoreDatabase(dm->conn, bad);
        QFAIL("a bad file was restored");
    } catch (const qv::Error& e) {
        QVERIFY(!e.text().isEmpty());
    }
    dm->conn.run(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    QCOMPARE(fileHash(livePath()), before);
    QCOMPARE(dump(dm->conn), rows);
}

void BackupTest::restoreKeepsCountersAhead() {
    const QString backup = app_->file(QStringLiteral("db/before.db"));
    dm->conn.execute(QStringLiteral("update RoomInfo set CardSn = 5 where RoomStr = '1203'"));
    dm->conn.execute(QStringLiteral("update AllCardSn set CardSn = 3 where CardType = 10"));
    qv::backupDatabase(dm->conn, backup);
    // Cards issued after the backup; a room added after it.
    dm->conn.execute(QStringLiteral("update RoomInfo set CardSn = 9 where RoomStr = '1203'"));
    dm->conn.execute(QStringLiteral("update AllCardSn set CardSn = 8 where CardType = 10"));
    dm->conn.execute(QStringLiteral("update RoomInfo set CardSn = 1 where RoomStr = '1101'"));
    dm->conn.execute(
        QStringLiteral("insert into GuestInRecord (Room, RoomStr, GuestName) "
                       "values (1, '1101', 'after backup')"));
    qv::restoreDatabase(dm->conn, backup);
    QCOMPARE(dm->conn
                 .scalar(QStringLiteral("select count(*) from GuestInRecord where GuestName = "
                                        "'after backup'"))
                 .toInt(),
             0);  // the backup's rows came back
    QCOMPARE(dm->conn.scalar(QStringLiteral("select CardSn from RoomInfo where RoomStr = '1203'"))
                 .toInt(),
             9);
    QCOMPARE(dm->conn.scalar(QStringLiteral("select CardSn from RoomInfo where RoomStr = '1101'"))
                 .toInt(),
             1);
    QCOMPARE(
        dm->conn.scalar(QStringLiteral("select CardSn from AllCardSn where CardType = 10")).toInt(),
        8);
}

void BackupTest::roundTripThroughServer() {
    const PgServer pg = PgServer::fromEnvironment();
    QV_REQUIRE_PG(pg);
    dm->conn.execute(
        QStringLiteral("insert into GuestInRecord (Room, RoomStr, GuestName, GuestInTime, "
                       "GuestLeaveTime, enOverride) values (1, '1101', '王 ''五''', "
                       ":a, :b, 0)"),
        {{QStringLiteral(":a"), QDateTime(QDate(2024, 1, 31), QTime(9, 30, 15))},
         {QStringLiteral(":b"), QDateTime(QDate(2024, 2, 2), QTime(12, 0))}});
    const QStringList original = dump(dm->conn);
    const QString first = app_->file(QStringLiteral("db/first.db"));
    qv::backupDatabase(dm->conn, first);

    pg.recreateDatabase(QStringLiteral("qvtest_backup"));
    qv::Connection server;
    server.openPostgreSQL(
        {pg.hostAndPort(), pg.user, pg.password, QStringLiteral("qvtest_backup")});
    server.createSchema();
    qv::restoreDatabase(server, first);
    QCOMPARE(dump(server), original);
    // New keys on the server continue after the restored ones.
    server.execute(QStringLiteral("insert into GuestInRecord (Room, RoomStr) values (1, 'next')"));

    const QString second = app_->file(QStringLiteral("db/second.db"));
    qv::backupDatabase(server, second);
    server.execute(QStringLiteral("delete from GuestInRecord where RoomStr = 'next'"));
    dm->conn.execute(QStringLiteral("delete from RoomInfo"));
    qv::restoreDatabase(dm->conn, second);
    dm->conn.execute(QStringLiteral("delete from GuestInRecord where RoomStr = 'next'"));
    QCOMPARE(dump(dm->conn), original);
}

qv::Connection& BackupTest::database() {
    if (!onServerRow()) {
        return dm->conn;
    }
    server_ = std::make_unique<qv::Connection>();
    QString why;
    if (!openFreshLockDatabase(*server_, *app_, QStringLiteral("qvtest_backup"), true, &why)) {
        qFatal("%s", qPrintable(why));
    }
    return *server_;
}

void BackupTest::filesArePrivateAndBesideTheirTarget_data() {
    QTest::addColumn<int>("mask");
    QTest::newRow("sqlite umask 022") << 022;
    QTest::newRow("sqlite umask 000") << 0;
    QTest::newRow("umask 002 on postgres") << 02;
}

void BackupTest::filesArePrivateAndBesideTheirTarget() {
    QFETCH(int, mask);
    qv::Connection& conn = database();
    const mode_t previous = ::umask(static_cast<mode_t>(mask));
    struct Umask {
        mode_t mode;
        ~Umask() { ::umask(mode); }
    } keep{previous};
    const QString db = app_->file(QStringLiteral("db"));
    const QStringList tmpBefore =
        QDir(QDir::tempPath())
            .entryList(QStringList{QStringLiteral("*.qvpart*")}, QDir::Files | QDir::Hidden);
    const QFileDevice::Permissions stray = QFileDevice::ReadOther | QFileDevice::WriteOther |
                                           QFileDevice::ExeOther | QFileDevice::WriteGroup |
                                           QFileDevice::ExeGroup | QFileDevice::ExeOwner;
    // Each work file seen while the copy runs: where it is and its mode.
    QStringList seen;
    const auto look = [&](qint64, qint64) {
        for (const QFileInfo& f : QDir(db).entryInfoList(QStringList{QStringLiteral("*.qvpart")},
                                                         QDir::Files | QDir::Hidden)) {
            seen << f.fileName() + ' ' + QString::number(int(f.permissions()), 16);
            QCOMPARE(f.permissions() & stray, QFileDevice::Permissions());
        }
    };
    const QString target = app_->file(QStringLiteral("db/b.db"));
    qv::backupDatabase(conn, target, look);
    QVERIFY(!seen.isEmpty());
    QCOMPARE(QFileInfo(target).permissions() & stray, QFileDevice::Permissions());
    seen.clear();
    qv::restoreDatabase(conn, target, look);
    QVERIFY(!seen.isEmpty());
    // Nothing went to the shared temporary folder, nothing is left.
    QCOMPARE(QDir(QDir::tempPath())
                 .entryList(QStringList{QStringLiteral("*.qvpart*")}, QDir::Files | QDir::Hidden),
             tmpBefore);
    QCOMPARE(
        QDir(db).entryList(QStringList{QStringLiteral("*.qvpart*")}, QDir::Files | QDir::Hidden),
        QStringList());
}

void BackupTest::restoreKeepsUnconfirmedCards() {
    qv::Connection& conn = database();
    const auto card = [&](int id, const QString& rom, int state) {
        conn.execute(QStringLiteral("insert into MakeCardRecord (ID, CardType, Rom, RoomStr, "
                                    "CardState) values (:i, 4, :r, '1101', :s)"),
                     {{QStringLiteral(":i"), id},
                      {QStringLiteral(":r"), rom},
                      {QStringLiteral(":s"), state}});
    };
    const auto stateOf = [&](const QString& rom) {
        const QVariant v =
            conn.scalar(QStringLiteral("select CardState from MakeCardRecord where Rom = :r"),
                        {{QStringLiteral(":r"), rom}});
        return v.isNull() ? -1 : v.toInt();
    };
    card(1, QStringLiteral("PENDING-THEN-CANCELLED"), 1);
    card(2, QStringLiteral("WRITTEN"), 0);
    card(3, QStringLiteral("ONLY-IN-BACKUP"), 0);
    const QString backup = app_->file(QStringLiteral("db/cards.db"));
    qv::backupDatabase(conn, backup);
    // Since the backup: the first card was cancelled; two cards whose issue
    // never completed, one of them under a key the backup gives another card.
    conn.execute(QStringLiteral("update MakeCardRecord set CardState = 3 where ID = 1"));
    conn.execute(QStringLiteral("delete from MakeCardRecord where ID = 3"));
    card(3, QStringLiteral("AFTER-ON-A-TAKEN-KEY"), 1);
    card(4, QStringLiteral("AFTER"), 2);
    qv::restoreDatabase(conn, backup);
    QCOMPARE(stateOf(QStringLiteral("PENDING-THEN-CANCELLED")), 3);
    QCOMPARE(stateOf(QStringLiteral("WRITTEN")), 0);
    QCOMPARE(stateOf(QStringLiteral("ONLY-IN-BACKUP")), 0);
    QCOMPARE(stateOf(QStringLiteral("AFTER-ON-A-TAKEN-KEY")), 1);
    QCOMPARE(stateOf(QStringLiteral("AFTER")), 2);
    QCOMPARE(conn.scalar(QStringLiteral("select count(*) from MakeCardRecord")).toInt(), 5);
    // Keys made after the restore follow the kept rows.
    conn.execute(QStringLiteral("insert into MakeCardRecord (CardType, Rom) values (4, 'NEXT')"));
    QCOMPARE(conn.scalar(QStringLiteral("select count(distinct ID) from MakeCardRecord")).toInt(),
             6);
}

QTEST_MAIN(BackupTest)
#include "tst_backup.moc"
