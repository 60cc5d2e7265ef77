// Changes made by another program on the same lock database (a plain SQL
// client here, so that nothing of this program's own helps) reach the desk:
// its change feed, its room board and the guest card windows, on SQLite and
// on PostgreSQL; and the desk says when it lost its server and when it is back.

#include "LockDatabase.h"
#include "SimEncoder.h"
#include "TestSupport.h"
#include "WindowFixture.h"
#include "data/ChangeFeed.h"
#include "data/ChangeFeedSchema.h"
#include "data/Operators.h"
#include "data/dm_unit.h"
#include "interface/KeyRequests.h"
#include "main/DeskStation.h"
#include "main/Main.h"
#include "stays/GuestQuickIn_Unit.h"

#include <QLabel>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace {

const QString kPgDatabase = QStringLiteral("qvtest_livedesks");

// Another program on the desk's database, through the bare Qt driver.
class PlainClient {
public:
    explicit PlainClient(const qv::Connection& desk) {
        const QSqlDatabase of = desk.database();
        QSqlDatabase db = QSqlDatabase::addDatabase(of.driverName(), kName);
        db.setDatabaseName(of.databaseName());
        db.setHostName(of.hostName());
        db.setPort(of.port());
        db.setUserName(of.userName());
        db.setPassword(of.password());
        ok_ = db.open();
    }
    ~PlainClient() {
        QSqlDatabase::database(kName, false).close();
        QSqlDatabase::removeDatabase(kName);
    }
    bool ok() const { return ok_; }
    bool exec(const QString& sql) {
        QSqlQuery q(QSqlDatabase::database(kName));
        if (!q.exec(sql)) {
            qWarning("plain client: %s", qPrintable(q.lastError().text()));
            return false;
        }
        return true;
    }
    // An open stay of `room` for `guest`, as another desk's check-in leaves it.
    bool checkIn(const QString& room, const QString& guest) {
        return exec(
            QStringLiteral("insert into GuestInRecord (Room, RoomStr, GuestName, GuestInTime, "
                           "GuestLeaveTime, enOverride, InputUser) select Room, RoomStr, '%2', "
                           "'2026-12-11 14:00:00', '2026-12-13 12:00:00', 0, 'desk2' from RoomInfo "
                           "where RoomStr = '%1'")
                .arg(room, guest));
    }

private:
    static inline const QString kName = QStringLiteral("plain-client");
    bool ok_ = false;
};

bool occupied(const TMainForm& form, const QString& room) {
    for (const TRoomBoardItem& it : form.RoomBoard->items()) {
        if (it.caption() == room) {
            return it.picture == TRoomBoardItem::GuestIn ||
                   it.picture == TRoomBoardItem::GuestInModiRoom;
        }
    }
    return false;
}

}  // namespace

class LiveDesksTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void feedTellsOtherProgramsChanges_data() { addDatabaseKinds(); }
    void feedTellsOtherProgramsChanges();
    void olderServerDatabaseGetsTheTriggers();
    void boardFollowsAnotherDesk_data() { addDatabaseKinds(); }
    void boardFollowsAnotherDesk();
    void burstOfChangesIsGathered();
    void guestWindowShowsTheRoomNow_data() { addDatabaseKinds(); }
    void guestWindowShowsTheRoomNow();
    void statusBarTellsTheLinkState();
    void deskStationWritesTheQueuedKeys_data() { addDatabaseKinds(); }
    void deskStationWritesTheQueuedKeys();

private:
    std::unique_ptr<TMainForm> makeDesk();

    WindowFixture fx;
};

void LiveDesksTest::init() {
    if (QTest::currentDataTag()) {
        QV_SET_UP_WINDOW_FIXTURE(fx, kPgDatabase);
    }
}

void LiveDesksTest::cleanup() {
    if (dm) {
        dm->feed.stop();
    }
    fx.tearDown();
}

std::unique_ptr<TMainForm> LiveDesksTest::makeDesk() {
    dm->conn.execute(
        QStringLiteral("insert into Operator (Staffer, StafferName, Pass, CheckIn, "
                       "CheckOut) values ('desk1', '前台一', 'x', 1, 1)"));
    auto form = std::make_unique<TMainForm>();
    form->setWindowState(Qt::WindowNoState);
    form->resize(1024, 700);
    return form;
}

void LiveDesksTest::feedTellsOtherProgramsChanges() {
    QFETCH(QString, kind);
    qv::ChangeFeed& feed = dm->feed;
    QSignalSpy changed(&feed, &qv::ChangeFeed::changed);
    feed.start();
    PlainClient other(dm->conn);
    QVERIFY(other.ok());

    // Nothing changed: nothing is told.
    QTest::qWait(600);
    QCOMPARE(changed.count(), 0);

    // Each kind of change, as the listener hears it: the server names the
    // table; a file only tells that something changed.
    const struct {
        const char* sql;
        qv::Changes expected;
    } cases[] = {
        {"update RoomInfo set RoomState = 1 where RoomStr = '1101'",
         qv::Changes(qv::Change::Rooms) | qv::Change::RoomStates},
        {"insert into District (DistrictNumber) values (77)", qv::Change::Rooms},
        {"insert into GuestInRecord (RoomStr, GuestName, enOverride) values ('1101', 'x', 1)",
         qv::Change::Stays},
        {"insert into MakeCardRecord (CardType, RoomStr) values (1, '1101')",
         qv::Change::CardRecords},
    };
    for (const auto& c : cases) {
        changed.clear();
        QVERIFY(other.exec(QLatin1String(c.sql)));
        QTRY_VERIFY_WITH_TIMEOUT(changed.count() > 0, 1000);
        const auto told = changed[0][0].value<qv::Changes>();
        QVERIFY2(told & c.expected, c.sql);
        if (kind == QLatin1String("postgres")) {
            QCOMPARE(told, c.expected);
        }
    }

    // The desk's own statements inside one transaction: one notice however
    // many rows (the server folds them; a file tells nothing of its own).
    changed.clear();
    QVERIFY(other.exec(QStringLiteral("begin")));
    for (int i = 0; i < 20; ++i) {
        QVERIFY(other.exec(
            QStringLiteral("insert into District (DistrictNumber) values (%1)").arg(100 + i)));
    }
    QVERIFY(other.exec(QStringLiteral("commit")));
    QTRY_VERIFY_WITH_TIMEOUT(changed.count() > 0, 1000);
    QTest::qWait(400);
    QCOMPARE(changed.count(), 1);

    // A stopped feed tells nothing.
    feed.stop();
    changed.clear();
    QVERIFY(other.checkIn(QStringLiteral("1102"), QStringLiteral("李四")));
    QTest::qWait(600);
    QCOMPARE(changed.count(), 0);
}

void LiveDesksTest::olderServerDatabaseGetsTheTriggers() {
    const PgServer pg = PgServer::fromEnvironment();
    if (!pg.available()) {
        QSKIP("no PostgreSQL server: set QV_PG_HOST (scripts/test starts one on loopback)");
    }
    fx.tearDown();
    {
        qv::Connection old;
        pg.recreateDatabase(kPgDatabase);
        old.openPostgreSQL({pg.hostAndPort(), pg.user, pg.password, kPgDatabase});
        old.createSchema();
        // As version 5 left it: only the key requests notify.
        for (const auto& t : qv::schema::watchedTables()) {
            if (QLatin1String(t.table) != QLatin1String("KeyRequest")) {
                old.execute(QStringLiteral("drop trigger %1_Changes on %1").arg(t.table));
            }
        }
        old.execute(QStringLiteral("update QuorvaneSchema set Version = 5"));
    }
    fx.app = std::make_unique<TempAppDir>();
    fx.data = std::make_unique<Tdm>();
    dm = fx.data.get();
    dm->conn.openPostgreSQL({pg.hostAndPort(), pg.user, pg.password, kPgDatabase});
    dm->conn.checkLockDatabase();
    QCOMPARE(dm->conn.schemaVersion(), qv::Connection::kSchemaVersion);
    const int triggers = dm->conn
                             .scalar(QStringLiteral("select count(*) from pg_trigger where "
                                                    "tgname like '%_changes' and not tgisinternal"))
                             .toInt();
    QCOMPARE(triggers, int(qv::schema::watchedTables().size()));

    QSignalSpy changed(&dm->feed, &qv::ChangeFeed::changed);
    dm->feed.start();
    PlainClient other(dm->conn);
    QVERIFY(other.checkIn(QStringLiteral("1101"), QStringLiteral("张三")));
    QTRY_VERIFY_WITH_TIMEOUT(changed.count() > 0, 1000);
}

void LiveDesksTest::boardFollowsAnotherDesk() {
    SimEncoder encoder(*fx.app);
    auto desk = makeDesk();
    QVERIFY(dm->feed.isRunning());
    QVERIFY(!occupied(*desk, QStringLiteral("1203")));
    PlainClient other(dm->conn);

    // Checked in elsewhere: on this board within a second, nobody pressing anything.
    QVERIFY(other.checkIn(QStringLiteral("1203"), QStringLiteral("张三")));
    QTRY_VERIFY_WITH_TIMEOUT(occupied(*desk, QStringLiteral("1203")), 1000);
    // Checked out elsewhere, and a room added elsewhere.
    QVERIFY(other.exec(
        QStringLiteral("update GuestInRecord set enOverride = 1 where RoomStr = '1203'")));
    QTRY_VERIFY_WITH_TIMEOUT(!occupied(*desk, QStringLiteral("1203")), 1000);
    QVERIFY(other.exec(
        QStringLiteral("insert into RoomInfo (Room, RoomStr, Buiding, Floor, RoomNumber) values "
                       "(9901, '9901', 9, 9, 1)")));
    const auto hasRoom = [&] {
        for (const TRoomBoardItem& it : desk->RoomBoard->items()) {
            if (it.caption() == QLatin1String("9901")) {
                return true;
            }
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(hasRoom(), 1000);

    // The desk's own windows still tell the board through the flag and Timer1.
    RoomBoardChanged = true;
    desk->Timer1Timer();
    QVERIFY(!RoomBoardChanged);
}

void LiveDesksTest::burstOfChangesIsGathered() {
    QV_SET_UP_WINDOW_FIXTURE(fx, kPgDatabase);
    SimEncoder encoder(*fx.app);
    auto desk = makeDesk();
    QSignalSpy rebuilt(desk->RoomBoard, &QAbstractItemModel::modelReset);
    QTest::qWait(300);
    rebuilt.clear();

    // Forty check-ins, each a transaction of its own, as a group arriving at
    // another desk: the board is rebuilt a few times, and shows them all.
    PlainClient other(dm->conn);
    QStringList rooms;
    for (const TRoomBoardItem& it : desk->RoomBoard->items()) {
        rooms << it.caption();
    }
    QVERIFY(rooms.size() >= 30);
    QElapsedTimer took;
    took.start();
    for (const QString& room : rooms) {
        QVERIFY(other.checkIn(room, QStringLiteral("团队")));
        QTest::qWait(20);  // the desk's events run meanwhile
    }
    QTRY_VERIFY_WITH_TIMEOUT(occupied(*desk, rooms.last()), 1500);
    for (const QString& room : rooms) {
        QVERIFY2(occupied(*desk, room), qPrintable(room));
    }
    // One rebuild at most per gathering spell, and one more at its end.
    const int bound = int(took.elapsed() / TMainForm::kFeedGatherMs) + 3;
    QVERIFY2(rebuilt.count() <= bound,
             qPrintable(QStringLiteral("%1 rebuilds for %2 changes (bound %3)")
                            .arg(rebuilt.count())
                            .arg(rooms.size())
                            .arg(bound)));
    QVERIFY(rebuilt.count() < rooms.size() / 2);
}

void LiveDesksTest::guestWindowShowsTheRoomNow() {
    dm->feed.start();
    TGuestQuickIn_Form form(nullptr);
    form.show();
    QLabel* state = form.findChild<QLabel*>(QStringLiteral("RoomState_Label"));
    QLineEdit* room = form.findChild<QLineEdit*>(QStringLiteral("se_Room1"));
    QVERIFY(state && room);

    // As the door plate is typed: nothing for a plate that is no room, then the room's state.
    QTest::keyClicks(room, QStringLiteral("110"));
    QVERIFY(state->text().isEmpty());
    QTest::keyClicks(room, QStringLiteral("2"));
    QCOMPARE(state->text(), QStringLiteral("空房"));
    saveScreenshot(&form, QStringLiteral("livedesks-guest-free"));

    // Taken at another desk while the window is open: shown before a card is written.
    PlainClient other(dm->conn);
    QSignalSpy told(&dm->feed, &qv::ChangeFeed::changed);
    QVERIFY(other.checkIn(QStringLiteral("1102"), QStringLiteral("李四")));
    QTRY_VERIFY_WITH_TIMEOUT(told.count() > 0, 1000);
    QTRY_VERIFY_WITH_TIMEOUT(state->text().contains(QStringLiteral("李四")), 1000);
    QVERIFY(state->text().contains(QStringLiteral("2026-12-13 12:00")));
    saveScreenshot(&form, QStringLiteral("livedesks-guest-occupied"));
    QVERIFY(other.exec(
        QStringLiteral("update GuestInRecord set enOverride = 1 where RoomStr = '1102'")));
    QTRY_COMPARE_WITH_TIMEOUT(state->text(), QStringLiteral("空房"), 1000);
}

void LiveDesksTest::statusBarTellsTheLinkState() {
    const PgServer pg = PgServer::fromEnvironment();
    if (!pg.available()) {
        QSKIP("no PostgreSQL server: set QV_PG_HOST (scripts/test starts one on loopback)");
    }
    QTest::setMainSourcePath(__FILE__);
    fx.tearDown();
    {
        // The fixture's postgres row by hand: this case has no data rows.
        fx.app = std::make_unique<TempAppDir>();
        fx.data = std::make_unique<Tdm>();
        dm = fx.data.get();
        fx.dialogs = std::make_unique<qv::TestDialogs>();
        qv::session().login = QStringLiteral("desk1");
        qv::session().name = QStringLiteral("前台一");
        pg.recreateDatabase(kPgDatabase);
        dm->conn.openPostgreSQL({pg.hostAndPort(), pg.user, pg.password, kPgDatabase});
        LockSystemInfo.ConnType = 1;
        dm->conn.createSchema();
        qv::createDemoHotel(dm->conn);
    }
    dm->conn.setRetryInterval(200);
    SimEncoder encoder(*fx.app);
    auto desk = makeDesk();
    desk->show();
    QLabel* link = desk->findChild<QLabel*>(QStringLiteral("Link_Label"));
    QVERIFY(link);
    QVERIFY(!link->isVisible());

    // The server restarts and stays away a while: the desk says so by itself.
    pg.admin(QStringLiteral("alter database %1 allow_connections false").arg(kPgDatabase));
    pg.admin(QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity where "
                            "datname = '%1'")
                 .arg(kPgDatabase));
    QTRY_VERIFY_WITH_TIMEOUT(link->isVisible(), 2000);
    QVERIFY2(link->text().contains(QStringLiteral("自动重新连接")), qPrintable(link->text()));
    saveScreenshot(desk.get(), QStringLiteral("livedesks-link-lost"));

    // Changed meanwhile at another desk; back: said so, and the board is right again.
    {
        qv::Connection other;
        pg.admin(QStringLiteral("alter database %1 allow_connections true").arg(kPgDatabase));
        other.openPostgreSQL({pg.hostAndPort(), pg.user, pg.password, kPgDatabase});
        PlainClient plain(other);
        QVERIFY(plain.checkIn(QStringLiteral("1101"), QStringLiteral("王五")));
    }
    QTRY_VERIFY_WITH_TIMEOUT(link->text().contains(QStringLiteral("已恢复")), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(occupied(*desk, QStringLiteral("1101")), 1000);
    saveScreenshot(desk.get(), QStringLiteral("livedesks-link-back"));
}

void LiveDesksTest::deskStationWritesTheQueuedKeys() {
    // This desk is the station of encoder 1, with the PMS's operator.
    fx.app->write(QStringLiteral("Mirefold.ini"),
                  QByteArray("[Interface]\nEncoder=1\nCardWait=10\n"));
    qv::OperatorRightValues all{};
    all.fill(true);
    QVERIFY(qv::addOperator(QStringLiteral("pms"), QStringLiteral("前台系统"), all));
    SimEncoder encoder(*fx.app);
    QVERIFY(encoder.loaded());
    qv::pms::KeyRequest request;
    request.encoder = 1;
    request.kind = qv::pms::kinds::New;
    request.roomStr = QStringLiteral("1203");
    request.guestName = QStringLiteral("张三");
    request.workstation = QStringLiteral("FO1");
    request.cards = 1;
    request.operatorLogin = QStringLiteral("pms");
    request.arrival = QDateTime::currentDateTime();
    request.departure = request.arrival.addDays(2);
    request.deadline = request.arrival.addSecs(120);
    const qint64 id = qv::pms::enqueueRequest(dm->conn, request);

    // The clerk reads the bar and places a blank card a moment later; the
    // desk goes on painting meanwhile.
    QString asked;
    QTimer::singleShot(600, this, [&] {
        if (auto* label = QApplication::activeWindow()
                              ? QApplication::activeWindow()->findChild<QLabel*>(
                                    QStringLiteral("Station_Label"))
                              : nullptr) {
            asked = label->text();
        }
        QVERIFY(encoder.command(QStringLiteral("place blank")));
    });
    auto desk = makeDesk();
    desk->show();
    QApplication::setActiveWindow(desk.get());
    QVERIFY(desk->Station);
    QTRY_VERIFY_WITH_TIMEOUT(qv::pms::loadRequest(dm->conn, id)->ended(), 8000);
    QVERIFY2(asked.contains(QStringLiteral("1203")) && asked.contains(QStringLiteral("空白卡")),
             qPrintable(asked));
    const qv::pms::KeyRequest done = *qv::pms::loadRequest(dm->conn, id);
    QCOMPARE(done.answer, QStringLiteral("OK"));
    QVERIFY(desk->Station_Bar->isVisible());
    QVERIFY2(desk->Station_Label->text().contains(QStringLiteral("已完成")),
             qPrintable(desk->Station_Label->text()));
    saveScreenshot(desk.get(), QStringLiteral("livedesks-station"));
    // The stay is open as a check-in at a window would open it, in the PMS's name.
    QCOMPARE(dm->conn.scalar(QStringLiteral("select InputUser from GuestInRecord where RoomStr = "
                                            "'1203' and enOverride = 0"))
                 .toString(),
             QStringLiteral("pms"));
    QTRY_VERIFY_WITH_TIMEOUT(occupied(*desk, QStringLiteral("1203")), 1000);
}

QTEST_MAIN(LiveDesksTest)
#include "tst_livedesks.moc"
