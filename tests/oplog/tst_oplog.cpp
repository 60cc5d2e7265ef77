// The operations log on SQLite and PostgreSQL: each row in the transaction
// of its change, the chain and its check (in the program and in
// quorvane-dbinit), two desks adding rows at once, a backup and restore, the
// logon lockout, and the window that lists the rows.

#include "WindowFixture.h"

#include "app/Logon_Unit.h"
#include "data/Backup.h"
#include "data/OperationLog.h"
#include "data/Operators.h"
#include "data/PagedQueryModel.h"
#include "language/LanguageSource.h"
#include "platform/ProgramText.h"
#include "records/OperationLog_Unit.h"
#include "stays/StayService.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QThread>
#include <QtTest>

using qv::oplog::ChainProblem;
namespace Actions = qv::oplog::Actions;

namespace {

const char* const kPgDatabase = "qvtest_oplog";
const QDateTime kNow(QDate(2025, 3, 1), QTime(15, 20));

int count(const QString& sql, const qv::Binds& binds = {}) {
    return dm->conn.scalar(sql, binds).toInt();
}

int logRows(const char* action) {
    return count(QStringLiteral("select count(*) from OperationLog where Action = :a"),
                 {{QStringLiteral(":a"), QLatin1String(action)}});
}

qv::stays::GuestCard card1203() {
    qv::stays::GuestCard c;
    c.roomStr = QStringLiteral("1203");
    c.start = QDateTime(QDate(2025, 3, 1), QTime(15, 30));
    c.end = QDateTime(QDate(2025, 3, 2), QTime(12, 10));
    c.guestName = QStringLiteral("张三");
    return c;
}

// An encoder that writes every card.
int writeCard(TCardData&) {
    return 1;
}

// Makes every insert into `table` fail, as a full disk or a broken
// constraint would.
void failInserts(const QString& table) {
    if (dm->conn.kind() == qv::DbKind::SQLite) {
        dm->conn.run(QStringLiteral("create trigger qvtest_fail before insert on %1 begin "
                                    "select raise(abort, 'qvtest: insert refused'); end")
                         .arg(table));
        return;
    }
    dm->conn.run(QStringLiteral(
        "create or replace function qvtest_fail() returns trigger language plpgsql as "
        "$$ begin raise exception 'qvtest: insert refused'; end $$"));
    dm->conn.run(QStringLiteral("create trigger qvtest_fail before insert on %1 for each row "
                                "execute function qvtest_fail()")
                     .arg(table));
}

QList<QPair<int, qint64>> problemsOf(const qv::oplog::ChainReport& report) {
    QList<QPair<int, qint64>> out;
    for (const ChainProblem& p : report.problems) {
        out << qMakePair(static_cast<int>(p.kind), p.firstId);
    }
    return out;
}

void addRows(int n, const QString& object = QStringLiteral("1203")) {
    for (int i = 0; i < n; ++i) {
        qv::oplog::appendOperation(
            dm->conn, {QLatin1String(Actions::CheckOut), object, QStringLiteral("row %1").arg(i)});
    }
}

// Another desk's connection to the database `dm` uses.
void openOtherDesk(qv::Connection& other) {
    if (dm->conn.kind() == qv::DbKind::PostgreSQL) {
        const PgServer pg = PgServer::fromEnvironment();
        other.openPostgreSQL({pg.hostAndPort(), pg.user, pg.password, kPgDatabase});
    } else {
        other.openSQLite(dm->conn.database().databaseName());
    }
}

// The program's own texts in English, from the shipped source.
void useEnglishProgramTexts() {
    QHash<QString, QString> texts;
    for (const auto& r :
         qv::language::readSource(QStringLiteral(QV_SOURCE_DIR "/assets/language/1033.tsv"))) {
        if (r.form == QLatin1String(qv::language::kProgramForm)) {
            texts.insert(r.builtIn, r.text);
        }
    }
    qv::setProgramTexts(texts);
}

}  // namespace

class TestOperationLog : public QObject {
    Q_OBJECT

    WindowFixture fx;

private slots:
    void init() {
        QV_SET_UP_WINDOW_FIXTURE(fx, kPgDatabase);
        qv::Clock::setTestTime(kNow);
    }
    void cleanup() {
        qv::setProgramTexts({});
        fx.tearDown();
    }

    void changeAndRowAreOneTransaction_data() { addDatabaseKinds(); }
    // The rule of the log: a change whose row cannot be written is not stored,
    // and a row whose change is undone is not stored either.
    void changeAndRowAreOneTransaction() {
        qv::OperatorRightValues rights{};
        QVERIFY(qv::addOperator(QStringLiteral("clerk1"), QStringLiteral("一号"), rights));
        QCOMPARE(logRows(Actions::OperatorAdded), 1);
        const qv::stays::Result in = qv::stays::checkIn(card1203(), writeCard);
        QVERIFY2(in.written(), qPrintable(in.error));
        QCOMPARE(logRows(Actions::CheckIn), 1);
        const int cardLog =
            count(QStringLiteral("select CardLogId from OperationLog where Action = 'check-in'"));
        QCOMPARE(count(QStringLiteral("select count(*) from MakeCardRecord where ID = :id and "
                                      "CardState = 0"),
                       {{QStringLiteral(":id"), cardLog}}),
                 1);

        // The change is undone after its row was written: neither stays.
        const int rowsBefore = count(QStringLiteral("select count(*) from OperationLog"));
        {
            qv::Transaction t(dm->conn);
            QVERIFY(qv::stays::checkOutRoom(QStringLiteral("1203")));
            QCOMPARE(count(QStringLiteral("select count(*) from OperationLog")), rowsBefore + 1);
            // The rest of the work fails: a second room on the same door plate.
            QVERIFY_THROWS_EXCEPTION(
                qv::DbError, dm->conn.run(QStringLiteral(
                                 "insert into RoomInfo (Room, RoomStr) values (999999, '1203')")));
        }
        QCOMPARE(count(QStringLiteral("select count(*) from OperationLog")), rowsBefore);
        QCOMPARE(count(QStringLiteral("select count(*) from GuestInRecord where enOverride = 0")),
                 1);

        // The row cannot be written: no change is stored.
        failInserts(QStringLiteral("OperationLog"));
        QVERIFY_THROWS_EXCEPTION(
            qv::DbError, qv::addOperator(QStringLiteral("clerk2"), QStringLiteral("二号"), rights));
        QCOMPARE(count(QStringLiteral("select count(*) from Operator where Staffer = 'clerk2'")),
                 0);
        QVERIFY_THROWS_EXCEPTION(qv::DbError, qv::stays::checkOutRoom(QStringLiteral("1203")));
        QCOMPARE(count(QStringLiteral("select count(*) from GuestInRecord where enOverride = 0")),
                 1);
        // A card written whose row fails: its stay is not stored, its issue log row says so.
        const qv::stays::Result again = qv::stays::checkIn(card1203(), writeCard);
        QCOMPARE(again.outcome, qv::stays::Outcome::DatabaseError);
        QVERIFY(again.cardWritten);
        QCOMPARE(count(QStringLiteral("select CardCounts from GuestInRecord where enOverride = 0")),
                 1);
        QCOMPARE(count(QStringLiteral("select count(*) from OperationLog")), rowsBefore);
    }

    void chainNamesChangedAndRemovedRows_data() { addDatabaseKinds(); }
    void chainNamesChangedAndRemovedRows() {
        addRows(8);
        qv::oplog::ChainReport report = qv::oplog::verifyOperationLog(dm->conn);
        QVERIFY(report.intact());
        QCOMPARE(report.rows, qint64(8));
        QCOMPARE(report.lastId, qint64(8));
        QCOMPARE(report.lastHash.size(), 64);

        // An SQL client edits row 3 and deletes rows 5 and 6.
        dm->conn.run(QStringLiteral("update OperationLog set Detail = 'nothing' where ID = 3"));
        dm->conn.run(QStringLiteral("delete from OperationLog where ID in (5, 6)"));
        report = qv::oplog::verifyOperationLog(dm->conn);
        QCOMPARE(problemsOf(report), (QList<QPair<int, qint64>>{{ChainProblem::Changed, 3},
                                                                {ChainProblem::Removed, 5}}));
        QCOMPARE(report.problems[1].lastId, qint64(6));
        QCOMPARE(report.problems[0].text(), QStringLiteral("第 3 行已被修改。"));
        QCOMPARE(report.problems[1].text(), QStringLiteral("第 5 至 6 行已被删除。"));

        // Row 7 replaced with a hash made anew: row 8 still names the old one.
        QSqlQuery q = dm->conn.run(QStringLiteral(
            "select LogTime, Staffer, StafferName, Workstation, Action, Object, Detail, Result, "
            "PrevHash from OperationLog where ID = 7"));
        QVERIFY(q.next());
        qv::oplog::RowContent row;
        row.id = 7;
        row.logTime = qv::Dialect::fromDb(q.value(0), true).toDateTime();
        row.staffer = q.value(1).toString();
        row.stafferName = q.value(2).toString();
        row.workstation = q.value(3).toString();
        row.action = q.value(4).toString();
        row.object = QStringLiteral("0000");
        row.detail = q.value(6).toString();
        row.result = q.value(7).toString();
        row.prevHash = q.value(8).toString();
        q.finish();
        dm->conn.run(QStringLiteral("update OperationLog set Object = '0000', RowHash = :h where "
                                    "ID = 7"),
                     {{QStringLiteral(":h"), qv::oplog::rowHash(row)}});
        report = qv::oplog::verifyOperationLog(dm->conn);
        QCOMPARE(problemsOf(report), (QList<QPair<int, qint64>>{{ChainProblem::Changed, 3},
                                                                {ChainProblem::Removed, 5},
                                                                {ChainProblem::Changed, 7}}));

        // The rows added after go on from the last one.
        addRows(1);
        QCOMPARE(count(QStringLiteral("select max(ID) from OperationLog")), 9);
    }

    // The tool an administrator runs names the same rows.
    void dbinitVerifiesTheLog() {
        addRows(6);
        dm->conn.run(QStringLiteral("update OperationLog set Staffer = 'someone' where ID = 2"));
        dm->conn.run(QStringLiteral("delete from OperationLog where ID = 4"));
        const QString file = dm->conn.database().databaseName();
        dm->conn.close();
        QProcess p;
        p.start(QStringLiteral(QV_DBINIT_TOOL), {QStringLiteral("--verify-log"), file});
        QVERIFY(p.waitForFinished(30000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitCode(), 2);
        QVERIFY2(out.contains(QStringLiteral("row 2 was changed")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("row 4 was removed")), qPrintable(out));
        QVERIFY2(err.contains(QStringLiteral("first row changed or removed is row 2")),
                 qPrintable(err));
    }

    void twoDesksNeverForkTheChain_data() { addDatabaseKinds(); }
    // Two desks add rows at the same time, each on its own connection: the
    // rows take turns and the chain stays one.
    void twoDesksNeverForkTheChain() {
        const PgServer pg = PgServer::fromEnvironment();
        const bool server = dm->conn.kind() == qv::DbKind::PostgreSQL;
        const QString file = server ? QString() : dm->conn.database().databaseName();
        constexpr int kRows = 40;
        QString deskError;
        QThread* desk = QThread::create([&] {
            try {
                qv::Connection other;
                if (server) {
                    other.openPostgreSQL({pg.hostAndPort(), pg.user, pg.password, kPgDatabase});
                } else {
                    other.openSQLite(file);
                }
                for (int i = 0; i < kRows; ++i) {
                    qv::Transaction t(other);
                    qv::oplog::appendOperation(
                        other,
                        {QLatin1String(Actions::CheckOut), QStringLiteral("desk2"), QString()},
                        {QStringLiteral("desk2"), QString()});
                    t.commit();
                }
            } catch (const qv::Error& e) {
                deskError = e.text();
            }
        });
        desk->start();
        addRows(kRows, QStringLiteral("desk1"));
        QVERIFY(desk->wait(60000));
        delete desk;
        QVERIFY2(deskError.isEmpty(), qPrintable(deskError));
        const qv::oplog::ChainReport report = qv::oplog::verifyOperationLog(dm->conn);
        QVERIFY(report.intact());
        QCOMPARE(report.rows, qint64(2 * kRows));
        QCOMPARE(report.lastId, qint64(2 * kRows));
    }

    void restoreKeepsTheChain_data() { addDatabaseKinds(); }
    // A restore brings back the hotel of the backup; the log goes on from the
    // live one, with the backup and the restore in it.
    void restoreKeepsTheChain() {
        addRows(3);
        const QString file = fx.app->file(QStringLiteral("db/backup.db"));
        qv::backupDatabase(dm->conn, file);
        QCOMPARE(logRows(Actions::BackupTaken), 1);
        qv::OperatorRightValues rights{};
        QVERIFY(qv::addOperator(QStringLiteral("clerk1"), QStringLiteral("一号"), rights));
        qv::restoreDatabase(dm->conn, file);
        QCOMPARE(count(QStringLiteral("select count(*) from Operator where Staffer = 'clerk1'")),
                 0);
        QCOMPARE(logRows(Actions::OperatorAdded), 1);  // what was done since the backup
        QCOMPARE(count(QStringLiteral("select Action = 'restore' from OperationLog where ID = "
                                      "(select max(ID) from OperationLog)")),
                 1);
        const qv::oplog::ChainReport report = qv::oplog::verifyOperationLog(dm->conn);
        QVERIFY(report.intact());
        QCOMPARE(report.rows, qint64(6));

        // A new database the hotel moves into takes the backup's log, chain and all.
        qv::Connection fresh;
        fresh.openSQLite(fx.app->file(QStringLiteral("db/fresh.db")), true);
        fresh.createSchema();
        qv::restoreDatabase(fresh, file);
        const qv::oplog::ChainReport moved = qv::oplog::verifyOperationLog(fresh);
        QVERIFY(moved.intact());
        QCOMPARE(moved.rows, qint64(4));  // the three of the backup and the restore
    }

    void lockout_data() { addDatabaseKinds(); }
    void lockout() {
        qv::OperatorRightValues rights{};
        QVERIFY(qv::addOperator(QStringLiteral("clerk1"), QStringLiteral("一号"), rights));
        QVERIFY(qv::setFirstPassword(
            dm->conn.scalar(QStringLiteral("select ID from Operator where Staffer = 'clerk1'")),
            QStringLiteral("right-one")));
        QString refused;
        for (int i = 0; i < qv::oplog::kLockoutFailures - 1; ++i) {
            QVERIFY(!qv::logOn(QStringLiteral("clerk1"), QStringLiteral("wrong"),
                               qv::LogOnKind::Operator, &refused));
            QVERIFY(refused.isEmpty());
        }
        // A good logon in between forgets the failures.
        QVERIFY(qv::logOn(QStringLiteral("clerk1"), QStringLiteral("right-one")));
        QCOMPARE(count(QStringLiteral("select count(*) from LogonFailure")), 0);
        for (int i = 0; i < qv::oplog::kLockoutFailures - 1; ++i) {
            QVERIFY(!qv::logOn(QStringLiteral("clerk1"), QStringLiteral("wrong"),
                               qv::LogOnKind::Operator, &refused));
        }
        QVERIFY(refused.isEmpty());
        // The fifth locks the login, told at once.
        QVERIFY(!qv::logOn(QStringLiteral("clerk1"), QStringLiteral("wrong"),
                           qv::LogOnKind::Operator, &refused));
        QVERIFY2(refused.contains(QStringLiteral("已被锁定 10 分钟")), qPrintable(refused));
        QCOMPARE(logRows(Actions::LogOnLocked), 1);
        // The right password is refused too while it lasts, on any desk.
        refused.clear();
        QVERIFY(!qv::logOn(QStringLiteral("clerk1"), QStringLiteral("right-one"),
                           qv::LogOnKind::Operator, &refused));
        QVERIFY(refused.contains(QStringLiteral("clerk1")));
        QCOMPARE(logRows(Actions::LogOnRefused), 1);
        QVERIFY(qv::oplog::lockedUntil(dm->conn, QStringLiteral("clerk1")).has_value());
        {
            qv::Connection otherDesk;
            openOtherDesk(otherDesk);
            QVERIFY(qv::oplog::lockedUntil(otherDesk, QStringLiteral("clerk1")).has_value());
        }
        // Another login is not locked.
        QVERIFY(!qv::oplog::lockedUntil(dm->conn, QStringLiteral("clerk2")).has_value());
        // Eleven minutes later the lock is over.
        dm->conn.run(QStringLiteral("update LogonFailure set FailTime = :t"),
                     {{QStringLiteral(":t"), qv::oplog::databaseNow(dm->conn).addSecs(-11 * 60)}});
        refused.clear();
        QVERIFY(qv::logOn(QStringLiteral("clerk1"), QStringLiteral("right-one"),
                          qv::LogOnKind::Operator, &refused));
        QVERIFY(refused.isEmpty());
        QCOMPARE(logRows(Actions::LogOn), 2);
        QCOMPARE(logRows(Actions::LogOnFailed), 2 * (qv::oplog::kLockoutFailures - 1));
        // No password or hash of one is in the log.
        QCOMPARE(count(QStringLiteral("select count(*) from OperationLog where Detail like "
                                      "'%right-one%' or Detail like '%argon%' or Object like "
                                      "'%right-one%'")),
                 0);
        QVERIFY(qv::oplog::verifyOperationLog(dm->conn).intact());
    }

    // The clerk at the logon window is told of the lock.
    void logonWindowTellsOfTheLock() {
        qv::OperatorRightValues rights{};
        QVERIFY(qv::addOperator(QStringLiteral("clerk1"), QStringLiteral("一号"), rights));
        QVERIFY(qv::setFirstPassword(
            dm->conn.scalar(QStringLiteral("select ID from Operator where Staffer = 'clerk1'")),
            QStringLiteral("right-one")));
        TLogonForm logon;
        logon.show();
        QVERIFY(QTest::qWaitForWindowExposed(&logon));
        auto* login = logon.findChild<QLineEdit*>(QStringLiteral("LoginCode_Edit"));
        auto* password = logon.findChild<QLineEdit*>(QStringLiteral("SystemLogin_Pas"));
        auto* ok = logon.findChild<QPushButton*>(QStringLiteral("Ok_Bt"));
        QVERIFY(login && password && ok);
        login->setText(QStringLiteral("clerk1"));
        for (int i = 0; i < qv::oplog::kLockoutFailures; ++i) {
            password->setText(QStringLiteral("wrong"));
            ok->click();
        }
        QCOMPARE(fx.dialogs->boxes().size(), qv::oplog::kLockoutFailures);
        QCOMPARE(fx.dialogs->boxes()[0].text, QStringLiteral("错误的用户名或密码！"));
        QVERIFY2(fx.dialogs->boxes().last().text.contains(QStringLiteral("已被锁定")),
                 qPrintable(fx.dialogs->boxes().last().text));
        password->setText(QStringLiteral("right-one"));
        ok->click();
        QVERIFY(logon.isVisible());  // refused while it lasts
        QVERIFY(fx.dialogs->boxes().last().text.contains(QStringLiteral("已被锁定")));
    }

    void firstOperatorOnlyOnAnEmptyTable_data() { addDatabaseKinds(); }
    void firstOperatorOnlyOnAnEmptyTable() {
        QVERIFY(qv::noOperators());
        QVERIFY(
            qv::logOn(QStringLiteral("admin"), QStringLiteral("pw"), qv::LogOnKind::FirstOperator));
        QCOMPARE(logRows(Actions::FirstOperator), 1);
        QCOMPARE(logRows(Actions::LogOn), 1);
        // A second desk that still shows the first-run logon adds nobody.
        QVERIFY_THROWS_EXCEPTION(qv::Error,
                                 qv::logOn(QStringLiteral("intruder"), QStringLiteral("pw"),
                                           qv::LogOnKind::FirstOperator));
        QCOMPARE(count(QStringLiteral("select count(*) from Operator")), 1);
        QCOMPARE(logRows(Actions::FirstOperator), 1);
    }

    void window_data() { addDatabaseKinds(); }
    void window() {
        qv::OperatorRightValues rights{};
        QVERIFY(qv::addOperator(QStringLiteral("clerk1"), QStringLiteral("一号"), rights));
        QVERIFY(qv::stays::checkIn(card1203(), writeCard).written());
        QVERIFY(qv::stays::checkOutRoom(QStringLiteral("1203")));
        qv::session().login = QStringLiteral("clerk1");
        qv::session().name = QStringLiteral("一号");
        addRows(1, QStringLiteral("0101"));
        // A row of yesterday (moved there by hand) is not among today's.
        dm->conn.run(QStringLiteral("update OperationLog set LogTime = :t where ID = 1"),
                     {{QStringLiteral(":t"), kNow.addDays(-1)}});
        qv::session().login = QStringLiteral("desk1");

        TOperationLog_Form form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* grid = form.findChild<QTableView*>(QStringLiteral("OperationLog_DBGrid"));
        QVERIFY(grid);
        QCOMPARE(form.windowTitle(), QStringLiteral("操作日志"));
        QCOMPARE(grid->model()->rowCount(), 3);
        const auto cell = [grid](int row, int column) {
            return grid->model()->index(row, column).data().toString();
        };
        // Newest first, with the operator, the workstation and the action's name.
        QCOMPARE(cell(0, 1), QStringLiteral("一号"));
        QCOMPARE(cell(0, 3), qv::oplog::workstation());
        QCOMPARE(cell(0, 5), QStringLiteral("0101"));
        QCOMPARE(cell(1, 4), QStringLiteral("退房"));
        QCOMPARE(cell(2, 4), QStringLiteral("开房"));
        QCOMPARE(cell(2, 7), QStringLiteral("成功"));

        // The filters, one by one.
        auto* start = form.findChild<QDateEdit*>(QStringLiteral("DateStart_Dtp"));
        auto* action = form.findChild<QComboBox*>(QStringLiteral("Action_CB"));
        auto* staffer = form.findChild<QComboBox*>(QStringLiteral("Operator_CB"));
        auto* object = form.findChild<QLineEdit*>(QStringLiteral("Object_Edit"));
        auto* find = form.findChild<QPushButton*>(QStringLiteral("Find_Bt"));
        QVERIFY(start && action && staffer && object && find);
        start->setDate(kNow.date().addDays(-1));
        find->click();
        QCOMPARE(grid->model()->rowCount(), 4);
        action->setCurrentIndex(action->findData(QLatin1String(Actions::OperatorAdded)));
        find->click();
        QCOMPARE(grid->model()->rowCount(), 1);
        QCOMPARE(cell(0, 5), QStringLiteral("clerk1"));
        action->setCurrentIndex(0);
        staffer->setCurrentIndex(staffer->findData(QStringLiteral("clerk1")));
        find->click();
        QCOMPARE(grid->model()->rowCount(), 1);
        QCOMPARE(cell(0, 5), QStringLiteral("0101"));
        staffer->setCurrentIndex(0);
        object->setText(QStringLiteral("1203"));
        find->click();
        QCOMPARE(grid->model()->rowCount(), 2);
        saveScreenshot(&form, QStringLiteral("oplog_window"));

        // The chain check from the window: the row moved to yesterday shows.
        form.findChild<QPushButton*>(QStringLiteral("Verify_Bt"))->click();
        QVERIFY(!fx.dialogs->boxes().isEmpty());
        QVERIFY2(fx.dialogs->boxes().last().text.contains(QStringLiteral("第 1 行已被修改")),
                 qPrintable(fx.dialogs->boxes().last().text));

        // In English, the rows are English too.
        useEnglishProgramTexts();
        object->clear();
        find->click();
        QCOMPARE(cell(1, 4), QStringLiteral("Check-out"));
        QCOMPARE(cell(1, 7), QStringLiteral("Done"));
    }
};

QTEST_MAIN(TestOperationLog)
#include "tst_oplog.moc"
