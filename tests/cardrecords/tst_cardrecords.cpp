// The card layer's database operations: counters, look-ups, the issue log,
// and one serial per card when several front desks issue at once.
#include "LockDatabase.h"
#include "TestSupport.h"
#include "data/Session.h"

#include "card/CardFunctions.h"
#include "card/CardRecords.h"
#include "data/DemoHotel.h"
#include "data/dm_unit.h"
#include "platform/Errors.h"
#include "settings/Settings.h"

#include "Desk.h"

#include <QSet>
#include <QtTest>
#include <memory>

namespace {
const char* const kPgDatabase = "qvtest_cards";
}

class CardRecordsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void roomLookUps_data() { addDatabaseKinds(); }
    void roomLookUps();
    void countersCountFromZeroAndRepair_data() { addDatabaseKinds(); }
    void countersCountFromZeroAndRepair();
    void issueLogRowsAndLookUps_data() { addDatabaseKinds(); }
    void issueLogRowsAndLookUps();
    void refusedCardGivesItsSerialBack_data() { addDatabaseKinds(); }
    void refusedCardGivesItsSerialBack();
    void issuingInsideATransactionIsRefused();
    void concurrentDesksNeverShareASerial_data() { addDatabaseKinds(); }
    void concurrentDesksNeverShareASerial();

private:
    void open();
    QString databaseArgument() const;
    std::unique_ptr<TempAppDir> app_;
    std::unique_ptr<Tdm> dm_;
    PgServer pg_ = PgServer::fromEnvironment();
};

void CardRecordsTest::init() {
    app_ = std::make_unique<TempAppDir>();
    dm_ = std::make_unique<Tdm>();
    dm = dm_.get();
    LockSystemInfo = TLockSystemInfo();
    qv::session().login = "desk1";
    qv::session().name = "前台一";
}

void CardRecordsTest::cleanup() {
    dm_.reset();
    app_.reset();
}

void CardRecordsTest::open() {
    QV_OPEN_FRESH_LOCK_DATABASE(dm->conn, *app_, kPgDatabase, true);
}

QString CardRecordsTest::databaseArgument() const {
    if (dm->conn.kind() == qv::DbKind::SQLite) {
        return app_->file("db/lock.db");
    }
    return QStringList{"pg",     pg_.host,     QString::number(pg_.port),
                       pg_.user, pg_.password, kPgDatabase}
        .join(':');
}

void CardRecordsTest::roomLookUps() {
    open();
    dm->conn.execute(
        "insert into RoomInfo (Room, RoomStr, SystemRoomStr, Buiding, Floor, RoomNumber) "
        "values (3999, :s, '030999', 3, 9, 99)",
        {{":s", "3'99 A"}});
    TRoomAddr addr{9, 9, 9, 9, 9, 9, 9};
    GetRoomAddr("1203", addr);
    QCOMPARE(QList<uint16_t>(std::begin(addr), std::end(addr)),
             (QList<uint16_t>{3, 1, 2, 0, 0, 0, 0}));
    QVERIFY(RoomExists("1203"));
    QCOMPARE(GetRoomId("1203"), 1203);
    QCOMPARE(GetRoomStrByAddr(addr), QString("1203"));
    QCOMPARE(GetSystemRoomStrByAddr(addr), QString("010203"));

    QVERIFY(RoomExists("3'99 A"));
    GetRoomAddr("3'99 A", addr);
    QCOMPARE(GetRoomStrByAddr(addr), QString("3'99 A"));
    for (const QString& missing :
         {QString("' or '1'='1"), QString(200, 'x'), QString(" 1203"), QString()}) {
        QVERIFY(!RoomExists(missing));
        GetRoomAddr(missing, addr);
        QCOMPARE(QList<uint16_t>(std::begin(addr), std::end(addr)), QList<uint16_t>(7, 0));
        QCOMPARE(GetRoomId(missing), 0);
    }
    QCOMPARE(GetRoomStrByAddr(addr), QString());
}

void CardRecordsTest::countersCountFromZeroAndRepair() {
    open();
    // A room counter of 255: the new card is serial 256, a copy of it keeps 256.
    dm->conn.execute("update RoomInfo set CardSn = 255 where RoomStr = '1203'");
    TCardData card{};
    card.CardType[0] = CardTypes::Guest;
    card.CardSn[0] = 1;
    GetRoomCardSn("1203", card);
    QCOMPARE(card.CardSn[0], uint16_t(0));
    QCOMPARE(card.CardSn[1], uint16_t(1));
    QCOMPARE(CardRom(card), QString("00000100"));
    auto ok = [](TCardData&) { return 1; };
    QCOMPARE(IssueCard(CardSerialSource::room("1203"), card, ok, {}), 1);
    QCOMPARE(CardSerial(card), 256);
    QCOMPARE(dm->conn.scalar("select CardSn from RoomInfo where RoomStr = '1203'").toInt(), 256);
    TCardData copy{};
    QCOMPARE(IssueCard(CardSerialSource::room("1203", true), copy, ok, {}), 1);
    QCOMPARE(CardSerial(copy), 256);
    QCOMPARE(dm->conn.scalar("select CardSn from RoomInfo where RoomStr = '1203'").toInt(), 256);
    // A continue-stay card: serial 0, the counter neither read nor advanced.
    TCardData again{};
    again.CardType[0] = CardTypes::Guest;
    SetCardSerial(again, 77);
    qint64 written = -1;
    QCOMPARE(IssueCard(CardSerialSource::zero("1203"), again,
                       [&](TCardData& c) {
                           written = CardSerial(c);
                           return 1;
                       },
                       {}),
             1);
    QCOMPARE(written, 0);
    QCOMPARE(dm->conn.scalar("select CardSn from RoomInfo where RoomStr = '1203'").toInt(), 256);

    // A missing counter row counts from 0 and is created by the first card.
    dm->conn.execute("delete from AllCardSn where CardType = 4");
    TCardData emergency{};
    emergency.CardType[0] = CardTypes::Emergency;
    GetCardSnByKind(4, emergency);
    QCOMPARE(CardSerial(emergency), 0);
    QCOMPARE(IssueCard(CardSerialSource::kind(4), emergency, ok, {}), 1);
    QCOMPARE(dm->conn.scalar("select CardSn from AllCardSn where CardType = 4").toInt(), 1);
    dm->conn.execute("update AllCardSn set CardSn = 300 where CardType = 4");  // the next serial
    QCOMPARE(IssueCard(CardSerialSource::kind(4), emergency, ok, {}), 1);
    QCOMPARE(CardRom(emergency), QString("0300012C"));
    QCOMPARE(dm->conn.scalar("select CardSn from AllCardSn where CardType = 4").toInt(), 301);

    // An unknown room counts from 0 and advances nothing.
    TCardData none{};
    none.CardSn[0] = 1;
    GetRoomCardSn("no such room", none);
    QCOMPARE(CardSerial(none), 1);
    IncRoomCardSn("no such room");
    QCOMPARE(dm->conn.scalar("select sum(CardSn) from RoomInfo").toInt(), 256);
}

void CardRecordsTest::issueLogRowsAndLookUps() {
    open();
    TCardData guest{};
    guest.CardType[0] = CardTypes::Guest;
    guest.Override = 1;
    SetCardSerial(guest, 5);
    GetRoomAddr("1203", guest.RoomAddr);
    DateToCardTime(QDateTime(QDate(2026, 3, 1), QTime(15, 30)), guest.StartTime);
    DateToCardTime(QDateTime(QDate(2026, 3, 2), QTime(12, 10)), guest.EndTime);
    QCOMPARE(MakeCardLog(guest, "   ", ""), 1);

    TCardData floor{};
    floor.CardType[0] = CardTypes::Floor;
    floor.Floor[0] = 3;
    SetCardSerial(floor, 7);
    QCOMPARE(MakeCardLog(floor, "保洁 'A'", "x"), 1);

    qv::DataSet log(dm->conn);
    log.setSql("select * from MakeCardRecord order by ID");
    log.open();
    QCOMPARE(log.recordCount(), 2);
    QCOMPARE(log.text("Rom"), QString("01020300000005"));
    QCOMPARE(log.text("RoomStr"), QString("1203"));
    QVERIFY(log.isNull("Holder"));
    QVERIFY(!log.isNull("Explain"));
    QCOMPARE(log.text("Explain"), QString());
    QCOMPARE(log.asInteger("CardType"), 4);
    QCOMPARE(log.asInteger("enOverride"), 1);
    QCOMPARE(log.text("MakeUser"), QString("desk1"));
    QCOMPARE(log.text("MakeName"), QString("前台一"));
    QCOMPARE(log.text("StartTime"), QString("2026-03-01 15:30:00"));
    QCOMPARE(log.text("EndTime"), QString("2026-03-02 12:10:00"));
    QCOMPARE(log.asInteger("CardState"), CardLogStates::Written);
    QVERIFY(log.isNull("Floor"));
    log.next();
    QCOMPARE(log.text("Rom"), QString("05000007"));
    QCOMPARE(log.asInteger("Floor"), 3);
    QVERIFY(log.isNull("RoomStr"));
    QVERIFY(!log.isNull("InputTime"));

    QCOMPARE(GetCardHolder(5, "05000007"), QString("保洁 'A'"));
    QCOMPARE(GetCardExplain(5, "05000007"), QString("x"));
    QCOMPARE(GetCardMaker(5, "05000007"), QString("前台一"));
    QCOMPARE(GetCardHolder(4, "01020300000005"), QString());
    QCOMPARE(GetCardHolder(3, "05000007"), QString("None"));
    QCOMPARE(GetCardHolder(5, "' or ''='"), QString("None"));
    QCOMPARE(GetKeyKind(4), QString("宾客卡"));
    QCOMPARE(GetKeyKind(99), QString("None"));
    QCOMPARE(GetCardTypeTitle(9), QString("通道设置卡"));
    QCOMPARE(GetCardTypeTitle(99), QString());
}

void CardRecordsTest::refusedCardGivesItsSerialBack() {
    // What the encoder refused is given back, unless another desk took a
    // later serial or a copy carries it meanwhile: then the serial is skipped.
    struct Case {
        const char* name;
        const char* source;     // room (1203), copy, zero, kind (counter 4)
        const char* meanwhile;  // what another desk issues while the encoder writes
        int counter;            // the source's counter once the card is refused
        int rows;               // issue log rows
        int next;               // the next new card of that room or kind
    };
    // Room 1203 starts at 0 (the last serial), counter 4 at 10 (the next serial).
    const Case cases[] = {
        {"new guest card", "room", "", 0, 0, 1},
        {"copy", "copy", "", 0, 0, 1},
        {"continue-stay card", "zero", "", 0, 0, 1},
        {"special card", "kind", "", 10, 0, 10},
        {"new guest card, another desk's later card", "room", "room", 2, 1, 3},
        {"new guest card, a copy carries it", "room", "copy", 1, 1, 2},
        {"special card, another desk's later card", "kind", "kind", 12, 1, 12},
    };
    open();
    auto from = [](const QString& s) {
        return s == "room"   ? CardSerialSource::room("1203")
               : s == "copy" ? CardSerialSource::room("1203", true)
               : s == "zero" ? CardSerialSource::zero("1203")
                             : CardSerialSource::kind(4);
    };
    auto blankCard = [](const QString& s) {
        TCardData c{};
        c.CardType[0] = s == "kind" ? CardTypes::Emergency : CardTypes::Guest;
        GetRoomAddr(s == "kind" ? QString() : QStringLiteral("1203"), c.RoomAddr);
        return c;
    };
    auto written = [](TCardData&) { return 1; };
    auto summary = [](const char* name, int counter, int rows, qint64 next) {
        return QStringLiteral("%1: counter %2, log rows %3, next serial %4")
            .arg(QLatin1String(name))
            .arg(counter)
            .arg(rows)
            .arg(next);
    };
    for (const Case& c : cases) {
        dm->conn.execute("delete from MakeCardRecord");
        dm->conn.execute("update RoomInfo set CardSn = 0");
        dm->conn.execute("update AllCardSn set CardSn = 10 where CardType = 4");
        const QString source = c.source;
        const QString meanwhile = c.meanwhile;
        TCardData card = blankCard(source);
        bool recorded = false;
        bool locked = false;
        const int code = IssueCard(
            from(source), card,
            [&](TCardData&) {
                // The serial is reserved and committed: nothing is locked
                // while the encoder writes, so another desk issues meanwhile.
                locked = dm->conn.inTransaction();
                if (!meanwhile.isEmpty()) {
                    TCardData other = blankCard(meanwhile);
                    IssueCard(from(meanwhile), other, written, {});
                }
                return -15;
            },
            [&] { recorded = true; });
        QCOMPARE(code, -15);
        QVERIFY(!locked);
        QVERIFY(!recorded);
        QVERIFY(!dm->conn.inTransaction());
        QVERIFY(UnconfirmedCards().isEmpty());
        const int counter =
            (source == "kind"
                 ? dm->conn.scalar("select CardSn from AllCardSn where CardType = 4")
                 : dm->conn.scalar("select CardSn from RoomInfo where RoomStr = '1203'"))
                .toInt();
        const int rows = dm->conn.scalar("select count(*) from MakeCardRecord").toInt();
        TCardData next = blankCard(source);
        QCOMPARE(IssueCard(from(source == "kind" ? "kind" : "room"), next, written, {}), 1);
        QCOMPARE(summary(c.name, counter, rows, CardSerial(next)),
                 summary(c.name, c.counter, c.rows, c.next));
    }
}

void CardRecordsTest::issuingInsideATransactionIsRefused() {
    open();
    qv::Transaction t(dm->conn);
    TCardData card{};
    card.CardType[0] = CardTypes::Guest;
    bool called = false;
    QVERIFY_THROWS_EXCEPTION(qv::Error, IssueCard(CardSerialSource::room("1203"), card,
                                                  [&](TCardData&) {
                                                      called = true;
                                                      return 1;
                                                  },
                                                  {}));
    QVERIFY(!called);
}

void CardRecordsTest::concurrentDesksNeverShareASerial() {
    open();
    const int desks = 4;
    const QString cards = "25";
    dm->conn.execute("update AllCardSn set CardSn = 10 where CardType = 4");
    dm->conn.execute("delete from AllCardSn where CardType = 10");  // the first passage card of all
    const QStringList jobs{"room:1203", "kind:4", "kind:10"};
    std::vector<std::unique_ptr<Desk>> running;
    for (int i = 0; i < desks; ++i) {
        for (const QString& job : jobs) {
            running.push_back(
                std::make_unique<Desk>(databaseArgument(), QStringList{job + ':' + cards}));
        }
    }
    QMap<QString, QList<qint64>> serials;
    for (const auto& desk : running) {
        QVERIFY2(desk->finish(300000), qPrintable(desk->errors()));
        for (const QString& job : jobs) {
            serials[job] << desk->serials("issued", job);
        }
    }
    for (const QString& job : jobs) {
        const QList<qint64>& got = serials[job];
        QCOMPARE(got.size(), desks * cards.toInt());
        QCOMPARE(QSet<qint64>(got.begin(), got.end()).size(), got.size());  // no serial twice
    }
    const qint64 lowestRoom =
        *std::min_element(serials["room:1203"].begin(), serials["room:1203"].end());
    QCOMPARE(lowestRoom, 1);
    const int all = desks * cards.toInt();
    QCOMPARE(dm->conn.scalar("select CardSn from RoomInfo where RoomStr = '1203'").toInt(), all);
    QCOMPARE(dm->conn.scalar("select CardSn from AllCardSn where CardType = 4").toInt(), 10 + all);
    QCOMPARE(dm->conn.scalar("select CardSn from AllCardSn where CardType = 10").toInt(), all);
    QCOMPARE(dm->conn.scalar("select count(distinct Rom) from MakeCardRecord").toInt(), 3 * all);
    QVERIFY(UnconfirmedCards().isEmpty());
}

QTEST_GUILESS_MAIN(CardRecordsTest)
#include "tst_cardrecords.moc"
