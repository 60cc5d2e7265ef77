// Backup and restore killed with SIGKILL at chosen points and at random
// moments, on SQLite and on the server. Afterwards the database is the old
// one or the restored one, whole; serial counters are never behind the ones
// the desk had before; the card whose issue never completed is still in the
// log; the next start leaves no work file behind; a backup is complete or
// absent.

#include "LockDatabase.h"
#include "TestSupport.h"

#include "data/Backup.h"
#include "data/Connection.h"
#include "data/OpenLockDatabase.h"
#include "platform/PrivateFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>
#include <memory>

namespace {

const QString kServerDb = QStringLiteral("qvtest_faults");
const QString kServerTemplate = QStringLiteral("qvtest_faults_tpl");
constexpr int kBackupRows = 12000;  // enough for several steps of every copy
constexpr int kLaterRows = 100;     // door openings stored after the backup

struct Outcome {
    bool restored = false;  // the backup's contents, else the old ones
};

}  // namespace

class FaultTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void restoreKilled_data();
    void restoreKilled();
    void backupKilled_data();
    void backupKilled();

private:
    bool server() const { return onServerRow(); }
    QString live() const { return app_->file(QStringLiteral("db/lock.db")); }
    void freshLive();
    // Runs the child; kills it at `point` (QV_CRASH_AT) or after `killAfterMs`.
    // True when it was killed.
    bool runChild(const QStringList& args, const QString& point, int killAfterMs);
    QStringList childArgs(const QString& op, const QString& file) const;
    // The next start: the database opened as start-up opens it.
    void openAsAtStart(qv::Connection& conn);
    Outcome checkLive();
    QStringList leftovers() const;

    QTemporaryDir templates_;
    QString templateLive_;
    QString backup_;
    std::unique_ptr<TempAppDir> app_;
    PgServer pg_;
};

void FaultTest::initTestCase() {
    pg_ = PgServer::fromEnvironment();
    TempAppDir app;
    templateLive_ = templates_.filePath(QStringLiteral("live.db"));
    backup_ = templates_.filePath(QStringLiteral("backup.db"));
    qv::Connection conn;
    conn.openSQLite(templateLive_, true);
    conn.createSchema();
    qv::createDemoHotel(conn);
    qv::inTransaction(conn, [&] {
        for (int i = 0; i < kBackupRows; ++i) {
            conn.execute(
                QStringLiteral("insert into OpenDoorRecord (RoomStr, Rom) values (:r, :m)"),
                {{QStringLiteral(":r"), QStringLiteral("1101")},
                 {QStringLiteral(":m"), QString(300, QChar('a' + i % 26))}});
        }
    });
    conn.execute(QStringLiteral("update RoomInfo set CardSn = 100"));
    conn.execute(QStringLiteral("update AllCardSn set CardSn = 200"));
    qv::backupDatabase(conn, backup_);
    // What the desk did after the backup.
    conn.execute(QStringLiteral("update RoomInfo set CardSn = 500"));
    conn.execute(QStringLiteral("update AllCardSn set CardSn = 900"));
    qv::inTransaction(conn, [&] {
        for (int i = 0; i < kLaterRows; ++i) {
            conn.execute(
                QStringLiteral("insert into OpenDoorRecord (RoomStr, Rom) values "
                               "('1101', 'later')"));
        }
    });
    conn.execute(
        QStringLiteral("insert into MakeCardRecord (CardType, Rom, RoomStr, CardState) "
                       "values (4, 'AFTER-BACKUP', '1101', 1)"));
    conn.run(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    conn.close();
    if (pg_.available()) {
        pg_.recreateDatabase(kServerTemplate);
        qv::Connection server;
        server.openPostgreSQL({pg_.hostAndPort(), pg_.user, pg_.password, kServerTemplate});
        server.createSchema();
        qv::restoreDatabase(server, templateLive_);
    }
}

void FaultTest::cleanupTestCase() {
    if (pg_.available()) {
        pg_.admin(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(kServerDb));
        pg_.admin(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(kServerTemplate));
    }
}

void FaultTest::init() {
    app_ = std::make_unique<TempAppDir>();
}

void FaultTest::cleanup() {
    app_.reset();
}

void FaultTest::freshLive() {
    if (server()) {
        pg_.admin(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(kServerDb));
        pg_.admin(QStringLiteral("CREATE DATABASE %1 TEMPLATE %2").arg(kServerDb, kServerTemplate));
        return;
    }
    for (const char* suffix : {"", "-wal", "-shm"}) {
        QFile::remove(live() + QLatin1String(suffix));
    }
    QVERIFY(QFile::copy(templateLive_, live()));
}

QStringList FaultTest::childArgs(const QString& op, const QString& file) const {
    return {app_->path(), op, server() ? QStringLiteral("postgres") : QStringLiteral("sqlite"),
            server() ? kServerDb : live(), file};
}

bool FaultTest::runChild(const QStringList& args, const QString& point, int killAfterMs) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!point.isEmpty()) {
        env.insert(QStringLiteral("QV_CRASH_AT"), point);
    }
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral(QV_FAULT_CHILD), args);
    if (!child.waitForStarted(10000)) {
        qWarning("the child did not start");
        return false;
    }
    if (killAfterMs >= 0 && !child.waitForFinished(killAfterMs)) {
        child.kill();
    }
    child.waitForFinished(120000);
    if (child.exitStatus() == QProcess::NormalExit && child.exitCode() != 0) {
        qWarning("the child failed with code %d", child.exitCode());
    }
    return child.exitStatus() == QProcess::CrashExit;
}

void FaultTest::openAsAtStart(qv::Connection& conn) {
    LockDatabaseChoice choice;
    if (server()) {
        // The choice names the server; its database is the test's own.
        conn.openPostgreSQL({pg_.hostAndPort(), pg_.user, pg_.password, kServerDb});
        conn.checkLockDatabase();
        conn.checkWritable();
        qv::removeLeftoverWorkFiles(app_->file(QStringLiteral("db")));
        return;
    }
    choice.ConnType = 0;
    choice.DbPath = live();
    qv::openLockDatabase(conn, choice);
}

QStringList FaultTest::leftovers() const {
    return QDir(app_->file(QStringLiteral("db")))
        .entryList(QStringList{QStringLiteral("*.qvpart*")}, QDir::Files | QDir::Hidden);
}

Outcome FaultTest::checkLive() {
    Outcome out;
    qv::Connection conn;
    openAsAtStart(conn);
    if (!server()) {
        [&] {
            QCOMPARE(conn.scalar(QStringLiteral("PRAGMA integrity_check")).toString(),
                     QStringLiteral("ok"));
        }();
    }
    const int doors = conn.scalar(QStringLiteral("select count(*) from OpenDoorRecord")).toInt();
    const int later =
        conn.scalar(QStringLiteral("select count(*) from OpenDoorRecord where Rom = 'later'"))
            .toInt();
    out.restored = later == 0;
    [&] {
        // Whole: all of the old rows, or all of the backup's.
        QCOMPARE(doors, out.restored ? kBackupRows : kBackupRows + kLaterRows);
        QCOMPARE(later, out.restored ? 0 : kLaterRows);
        // Counters never behind the ones the desk had issued up to.
        QCOMPARE(conn.scalar(QStringLiteral("select min(CardSn) from RoomInfo")).toInt(), 500);
        QCOMPARE(conn.scalar(QStringLiteral("select min(CardSn) from AllCardSn")).toInt(), 900);
        // The card that may open a door is still to be cancelled.
        QCOMPARE(conn.scalar(QStringLiteral("select count(*) from MakeCardRecord where Rom = "
                                            "'AFTER-BACKUP' and CardState = 1"))
                     .toInt(),
                 1);
        QCOMPARE(leftovers(), QStringList());
    }();
    return out;
}

void FaultTest::restoreKilled_data() {
    QTest::addColumn<QString>("point");      // QV_CRASH_AT, or empty for a random moment
    QTest::addColumn<int>("expect");         // 0 old, 1 restored, -1 either
    QTest::addColumn<int>("randomPercent");  // of a whole run's time
    for (const char* kind : {"sqlite", "postgres"}) {
        const auto row = [&](const char* name) {
            return &QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(kind, name)));
        };
        *row("copy of the backup") << "restore-copy#2" << 0 << 0;
        *row("before the replace") << "restore-before-replace" << 0 << 0;
        *row("while replacing") << "restore-step#3" << 0 << 0;
        *row("before the commit") << "restore-before-commit" << 0 << 0;
        *row("after the commit") << "restore-after-commit" << 1 << 0;
        QRandomGenerator random(26);
        for (int i = 0; i < 4; ++i) {
            const int percent = 10 + static_cast<int>(random.bounded(90));
            *row(qPrintable(QStringLiteral("at %1% of the time").arg(percent)))
                << QString() << -1 << percent;
        }
    }
}

void FaultTest::restoreKilled() {
    QFETCH(QString, point);
    QFETCH(int, expect);
    QFETCH(int, randomPercent);
    if (server()) {
        QV_REQUIRE_PG(pg_);
    }
    freshLive();
    int killAfter = -1;
    if (point.isEmpty()) {
        // The time of a whole run, then a kill at a part of it.
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!runChild(childArgs(QStringLiteral("restore"), backup_), QString(), -1));
        killAfter = static_cast<int>(clock.elapsed() * randomPercent / 100);
        QVERIFY(checkLive().restored);
        freshLive();
    }
    const bool killed = runChild(childArgs(QStringLiteral("restore"), backup_), point, killAfter);
    if (!point.isEmpty()) {
        QVERIFY2(killed, "the chosen point was never reached");
    }
    const Outcome outcome = checkLive();
    if (QTest::currentTestFailed()) {
        return;
    }
    if (expect >= 0) {
        QCOMPARE(outcome.restored, expect == 1);
    }
    // And the restore can be run again to its end.
    QVERIFY(!runChild(childArgs(QStringLiteral("restore"), backup_), QString(), -1));
    QVERIFY(checkLive().restored);
}

void FaultTest::backupKilled_data() {
    QTest::addColumn<QString>("point");
    QTest::addColumn<int>("randomPercent");
    for (const char* kind : {"sqlite", "postgres"}) {
        const auto row = [&](const char* name) {
            return &QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(kind, name)));
        };
        *row("while copying") << "backup-step#2" << 0;
        *row("before the link") << "backup-before-link" << 0;
        *row("after the link") << "backup-after-link" << 0;
        QRandomGenerator random(28);
        for (int i = 0; i < 2; ++i) {
            const int percent = 10 + static_cast<int>(random.bounded(90));
            *row(qPrintable(QStringLiteral("at %1% of the time").arg(percent)))
                << QString() << percent;
        }
    }
}

void FaultTest::backupKilled() {
    QFETCH(QString, point);
    QFETCH(int, randomPercent);
    if (server()) {
        QV_REQUIRE_PG(pg_);
    }
    freshLive();
    const QString target = app_->file(QStringLiteral("db/240131093015_BackUp.db"));
    int killAfter = -1;
    if (point.isEmpty()) {
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!runChild(childArgs(QStringLiteral("backup"), target), QString(), -1));
        killAfter = static_cast<int>(clock.elapsed() * randomPercent / 100);
        QVERIFY(QFile::remove(target));
    }
    const bool killed = runChild(childArgs(QStringLiteral("backup"), target), point, killAfter);
    if (!point.isEmpty()) {
        QVERIFY2(killed, "the chosen point was never reached");
    }
    QVERIFY(!checkLive().restored);
    if (QTest::currentTestFailed()) {
        return;
    }
    if (QFileInfo::exists(target)) {
        // A backup that is there is whole.
        qv::Connection copy;
        copy.openSQLite(target);
        copy.checkLockDatabase();
        QCOMPARE(copy.scalar(QStringLiteral("PRAGMA integrity_check")).toString(),
                 QStringLiteral("ok"));
        QCOMPARE(copy.scalar(QStringLiteral("select count(*) from OpenDoorRecord")).toInt(),
                 kBackupRows + kLaterRows);
        copy.close();
        QFile::remove(target);
    }
    QVERIFY(!point.startsWith(QLatin1String("backup-after")) || killed);
    // The next backup into the same folder works and leaves nothing behind.
    QVERIFY(!runChild(childArgs(QStringLiteral("backup"), target), QString(), -1));
    QVERIFY(QFileInfo::exists(target));
    QCOMPARE(leftovers(), QStringList());
}

QTEST_MAIN(FaultTest)
#include "tst_faults.moc"
