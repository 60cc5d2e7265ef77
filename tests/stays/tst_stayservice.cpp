// The stays service without any window: check-in, copy, continue stay and
// check-out through the real encoder binding and the simulator, on both
// database kinds.
#include "GuestCards.h"
#include "SimEncoder.h"
#include "WindowFixture.h"
#include "data/Session.h"

#include "card/CardFunctions.h"
#include "card/CardRecords.h"
#include "card/Encoder.h"
#include "data/DataSet.h"
#include "data/dm_unit.h"
#include "platform/Clock.h"
#include "settings/Settings.h"
#include "stays/StayService.h"

#include <QtTest>
#include <memory>

using namespace qv::stays;

namespace {

const char* const kPgDatabase = "qvtest_stayservice";
const QDateTime kNow(QDate(2025, 3, 1), QTime(15, 20));

GuestCard card1203(const QDateTime& end = QDateTime(QDate(2025, 3, 2), QTime(12, 10))) {
    GuestCard c;
    c.roomStr = QStringLiteral("1203");
    c.start = QDateTime(QDate(2025, 3, 1), QTime(15, 30));
    c.end = end;
    c.guestName = QStringLiteral("张三");
    c.document = QStringLiteral("110101199001011234");
    return c;
}

// The encoder, watched: what each card looked like on its way in.
struct WatchedEncoder {
    QList<TCardData> seen;
    CardWriter writer() {
        return [this](TCardData& c) {
            seen << c;
            return int{qv::Encoder::instance().makeCard(CardTypes::Guest, c)};
        };
    }
};

QString stayText(const char* column) {
    return dm->conn
        .scalar(QStringLiteral("select %1 from GuestInRecord where enOverride = 0")
                    .arg(QLatin1String(column)))
        .toString();
}

QDateTime stayTime(const char* column) {
    return dm->conn
        .scalar(QStringLiteral("select %1 from GuestInRecord where enOverride = 0")
                    .arg(QLatin1String(column)))
        .toDateTime();
}

void openStay1203(const QString& guest, const QString& leave) {
    dm->conn.execute(
        "insert into GuestInRecord (Room, RoomStr, GuestName, Rom, GuestInTime, GuestLeaveTime, "
        "InputUser, CardCounts) values (1203, '1203', :g, '00000008', '2025-03-01 15:30:00', :l, "
        "'desk0', 1)",
        {{":g", guest}, {":l", QDateTime::fromString(leave, Qt::ISODate)}});
}

}  // namespace

class StayServiceTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void checkInCopyAndContinueStay_data() { addDatabaseKinds(); }
    void checkInCopyAndContinueStay();
    void continueStayMovesTheStayOnlyWithItsCard_data();
    void continueStayMovesTheStayOnlyWithItsCard();
    void refusedBeforeTheEncoder_data();
    void refusedBeforeTheEncoder();
    void recordsFailureKeepsNothing();
    void reservedRowNamesItsGuest_data() { addDatabaseKinds(); }
    void reservedRowNamesItsGuest();
    void readGuestCard_data() { addDatabaseKinds(); }
    void readGuestCard();
    void readCardsThatAreNotUsable_data();
    void readCardsThatAreNotUsable();
    void resolveRoom_data() { addDatabaseKinds(); }
    void resolveRoom();
    void checkOut_data() { addDatabaseKinds(); }
    void checkOut();

private:
    WindowFixture fx;
    std::unique_ptr<SimEncoder> sim_;
};

void StayServiceTest::init() {
    QV_SET_UP_WINDOW_FIXTURE(fx, kPgDatabase);
    dm->conn.execute("update RoomInfo set CardSn = 7 where RoomStr = '1203'");
    qv::Clock::setTestTime(kNow);
    sim_ = std::make_unique<SimEncoder>(*fx.app);
    QVERIFY(sim_->loaded());
    QVERIFY(sim_->command("place blank"));
}

void StayServiceTest::cleanup() {
    sim_.reset();
    fx.tearDown();
}

void StayServiceTest::checkInCopyAndContinueStay() {
    WatchedEncoder encoder;
    const Result in = checkIn(card1203(), encoder.writer());
    QVERIFY(in.written());
    QCOMPARE(in.code, 1);
    // The kind is the encoder's to set: the word is zero on the way in, and
    // the card's type is 4 once written (the log row says so).
    QCOMPARE(encoder.seen.size(), 1);
    QCOMPARE(encoder.seen[0].CardType[0], uint16_t(0));
    QCOMPARE(in.card.CardType[0], CardTypes::Guest);
    const TCardData written = sim_->card();
    QCOMPARE(CardSerial(written), 8);
    QCOMPARE(written.Building, uint16_t(1));
    QCOMPARE(written.Floor[0], uint16_t(2));
    QCOMPARE(written.RoomAddr[0], uint16_t(3));
    QCOMPARE(written.RoomAddr[1], uint16_t(1));
    QCOMPARE(written.RoomAddr[2], uint16_t(2));
    QCOMPARE(written.Override, uint16_t(1));
    QCOMPARE(cardStart(written), QDateTime(QDate(2025, 3, 1), QTime(15, 30)));
    QCOMPARE(cardEnd(written), QDateTime(QDate(2025, 3, 2), QTime(12, 10)));
    QCOMPARE(roomCounter("1203"), 8);
    QCOMPARE(countRows("select count(*) from MakeCardRecord where CardType = 4 and RoomStr = "
                       "'1203' and Rom = '01020300000008' and Holder = '张三'"),
             1);
    qv::DataSet stay(dm->conn);
    stay.setSql("select * from GuestInRecord");
    stay.open();
    QCOMPARE(stay.recordCount(), 1);
    QCOMPARE(stay.asInteger("Room"), 1203);
    QCOMPARE(stay.text("Rom"), QString("00000008"));
    QCOMPARE(stay.text("GuestName"), QString("张三"));
    QCOMPARE(stay.text("GuestID"), QString("110101199001011234"));
    QCOMPARE(stay.text("GuestInTime"), QString("2025-03-01 15:30:00"));
    QCOMPARE(stay.text("GuestLeaveTime"), QString("2025-03-02 12:10:00"));
    QCOMPARE(stay.text("InputUser"), QString("desk1"));
    QCOMPARE(stay.text("MakeName"), QString("前台一"));
    QCOMPARE(stay.asInteger("CardCounts"), 1);

    // A copy: the same serial, the counter and the stay as they were.
    QVERIFY(sim_->command("place blank"));
    GuestCard second = card1203();
    second.guestName = "李四";
    second.applyLossReport = true;
    QVERIFY(copyCard(second).written());
    QCOMPARE(CardSerial(sim_->card()), 8);
    QCOMPARE(sim_->card().Override, uint16_t(0));
    QCOMPARE(roomCounter("1203"), 8);
    QCOMPARE(countRows("select count(*) from MakeCardRecord where Rom = '01020300000008'"), 2);
    QCOMPARE(stayText("CardCounts").toInt(), 1);

    // Checked in again while the stay is open: a new serial, one more card
    // on the stay, whose guest stays.
    QVERIFY(sim_->command("place blank"));
    QVERIFY(checkIn(second).written());
    QCOMPARE(CardSerial(sim_->card()), 9);
    QCOMPARE(roomCounter("1203"), 9);
    QCOMPARE(countRows("select count(*) from GuestInRecord"), 1);
    QCOMPARE(stayText("CardCounts").toInt(), 2);
    QCOMPARE(stayText("GuestName"), QString("张三"));

    // Continue stay by another clerk: serial 0, the counter untouched; the
    // stay's end and clerk move with the card's log row, nothing else does.
    qv::session().login = "desk2";
    QVERIFY(sim_->command("place blank"));
    encoder.seen.clear();
    const Result more =
        continueStay(card1203(QDateTime(QDate(2025, 3, 5), QTime(12, 10))), encoder.writer());
    QVERIFY(more.written());
    QCOMPARE(encoder.seen.at(0).CardType[0], uint16_t(0));
    QCOMPARE(CardSerial(sim_->card()), 0);
    QCOMPARE(cardEnd(sim_->card()), QDateTime(QDate(2025, 3, 5), QTime(12, 10)));
    QCOMPARE(roomCounter("1203"), 9);
    QCOMPARE(countRows("select count(*) from MakeCardRecord where Rom = '01020300000000' and "
                       "CardType = 4 and MakeUser = 'desk2'"),
             1);
    stay.open();
    QCOMPARE(stay.text("GuestLeaveTime"), QString("2025-03-05 12:10:00"));
    QCOMPARE(stay.text("InputUser"), QString("desk2"));
    QCOMPARE(stay.text("GuestName"), QString("张三"));
    QCOMPARE(stay.text("GuestInTime"), QString("2025-03-01 15:30:00"));
    QCOMPARE(stay.text("Rom"), QString("00000008"));
    QCOMPARE(stay.asInteger("CardCounts"), 2);
    QCOMPARE(stay.asInteger("enOverride"), 0);
    QVERIFY(!dm->conn.inTransaction());
}

void StayServiceTest::continueStayMovesTheStayOnlyWithItsCard_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("code");
    QTest::newRow("no card") << "remove" << -1;
    QTest::newRow("no encoder") << "set online 0" << -2;
    QTest::newRow("write fails") << "set fail-next 1" << -15;
    QTest::newRow("write fails on postgres") << "set fail-next 1" << -15;
}

void StayServiceTest::continueStayMovesTheStayOnlyWithItsCard() {
    QFETCH(QString, setup);
    QFETCH(int, code);
    openStay1203("张三", "2025-03-02T12:10:00");
    QVERIFY(sim_->command(setup));
    const Result r = continueStay(card1203(QDateTime(QDate(2025, 3, 5), QTime(12, 10))));
    QCOMPARE(r.outcome, Outcome::EncoderRefused);
    QCOMPARE(r.code, code);
    // The guest holds no card for the new days: the stay keeps its old end.
    QCOMPARE(stayTime("GuestLeaveTime"), QDateTime(QDate(2025, 3, 2), QTime(12, 10)));
    QCOMPARE(stayText("InputUser"), QString("desk0"));
    QCOMPARE(countRows("select count(*) from MakeCardRecord"), 0);
    QCOMPARE(roomCounter("1203"), 7);
    QVERIFY(!dm->conn.inTransaction());
}

void StayServiceTest::refusedBeforeTheEncoder_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("room");
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<int>("outcome");
    const QDateTime start(QDate(2025, 3, 1), QTime(15, 30));
    for (const char* op : {"checkIn", "copyCard", "continueStay"}) {
        QTest::addRow("%s: no such room", op) << op << "12'03" << start << int(Outcome::NoSuchRoom);
        QTest::addRow("%s: start after the end", op)
            << op << "1203" << start.addDays(2) << int(Outcome::InvalidRange);
        QTest::addRow("%s: no start", op)
            << op << "1203" << QDateTime() << int(Outcome::InvalidRange);
    }
    QTest::addRow("continueStay: no open stay") << "continueStay"
                                                << "1101" << start << int(Outcome::NoOpenStay);
}

void StayServiceTest::refusedBeforeTheEncoder() {
    QFETCH(QString, operation);
    QFETCH(QString, room);
    QFETCH(QDateTime, start);
    QFETCH(int, outcome);
    openStay1203("张三", "2025-03-02T12:10:00");
    GuestCard c = card1203();
    c.roomStr = room;
    c.start = start;
    bool asked = false;
    const CardWriter writer = [&asked](TCardData&) {
        asked = true;
        return 1;
    };
    const Result r = operation == "checkIn"    ? checkIn(c, writer)
                     : operation == "copyCard" ? copyCard(c, writer)
                                               : continueStay(c, writer);
    QCOMPARE(int(r.outcome), outcome);
    QCOMPARE(r.code, 0);
    QVERIFY(!asked);
    QCOMPARE(countRows("select count(*) from MakeCardRecord"), 0);
    QCOMPARE(countRows("select count(*) from GuestInRecord"), 1);
    QCOMPARE(stayTime("GuestLeaveTime"), QDateTime(QDate(2025, 3, 2), QTime(12, 10)));
    QCOMPARE(countRows("select sum(CardSn) from RoomInfo"), 7);
}

void StayServiceTest::recordsFailureKeepsNothing() {
    // The stay cannot be moved: the card is written, the stay keeps its end
    // and the card stays in the log marked as written without its records.
    openStay1203("张三", "2025-03-02T12:10:00");
    dm->conn.execute(
        "create trigger no_stays before update on GuestInRecord "
        "begin select raise(abort, 'disk full'); end");
    const Result r = continueStay(card1203(QDateTime(QDate(2025, 3, 5), QTime(12, 10))));
    QCOMPARE(r.outcome, Outcome::DatabaseError);
    QCOMPARE(r.code, 0);
    QVERIFY2(r.error.contains("disk full") && r.error.contains("1203 00000000"),
             qPrintable(r.error));
    QCOMPARE(CardSerial(sim_->card()), 0);
    QCOMPARE(cardEnd(sim_->card()), QDateTime(QDate(2025, 3, 5), QTime(12, 10)));
    QCOMPARE(countRows("select count(*) from MakeCardRecord"), 1);
    QCOMPARE(countRows("select count(*) from MakeCardRecord where CardState = 2"), 1);
    QCOMPARE(stayTime("GuestLeaveTime"), QDateTime(QDate(2025, 3, 2), QTime(12, 10)));
    QVERIFY(!dm->conn.inTransaction());
}

// While the encoder writes, the card's reserved row already names the guest
// and the document: a desk that stops there leaves a card that names its holder.
void StayServiceTest::reservedRowNamesItsGuest() {
    QStringList seen;
    const CardWriter watch = [&seen](TCardData& c) {
        QSqlQuery q =
            dm->conn.run("select Holder, Explain, CardState from MakeCardRecord order by ID desc");
        if (q.next()) {
            seen << QStringLiteral("%1 %2 %3")
                        .arg(q.value(0).toString(), q.value(1).toString())
                        .arg(q.value(2).toInt());
        }
        return int{qv::Encoder::instance().makeCard(CardTypes::Guest, c)};
    };
    QVERIFY(checkIn(card1203(), watch).written());
    QVERIFY(copyCard(card1203(), watch).written());
    QVERIFY(continueStay(card1203(), watch).written());
    const QString pending =
        QStringLiteral("张三 110101199001011234 %1").arg(CardLogStates::Pending);
    QCOMPARE(seen, (QStringList{pending, pending, pending}));
}

void StayServiceTest::readGuestCard() {
    // The card of a check-in at 15:20 on 1 March, logged.
    const QDateTime start(QDate(2025, 3, 1), QTime(15, 20));
    const QDateTime end(QDate(2025, 3, 3), QTime(12, 0));
    GuestCard c = card1203(end);
    c.start = start;
    QVERIFY(checkIn(c).written());
    ReadGuestCard read = qv::stays::readGuestCard();
    QCOMPARE(read.code, 1);
    QVERIFY(read.guestCard);
    QVERIFY(read.room.found);
    QCOMPARE(read.room.roomStr, QString("1203"));
    QCOMPARE(read.room.systemRoomStr, QString("010203"));
    QCOMPARE(read.start, start);
    QCOMPARE(read.end, end);
    QCOMPARE(read.holder, QString("张三"));
    QCOMPARE(read.explain, QString("110101199001011234"));

    // Continue-stay cards of one room all carry serial 0 and one Rom: the
    // one read is found by its times, not the first guest ever to hold one.
    for (const auto& [guest, day] : {std::pair{"王五", 4}, std::pair{"赵六", 9}}) {
        QVERIFY(sim_->command("place blank"));
        GuestCard extended = card1203(QDateTime(QDate(2025, 3, day), QTime(12, 0)));
        extended.guestName = guest;
        extended.document = QString("D") + guest;
        QVERIFY(continueStay(extended).written());
    }
    read = qv::stays::readGuestCard();
    QCOMPARE(read.holder, QString("赵六"));
    QCOMPARE(read.explain, QString("D赵六"));

    // A card never logged: "None" in both, as the issue log answers.
    placeGuestCard1203(*sim_, 42, start, end);
    read = qv::stays::readGuestCard();
    QVERIFY(read.guestCard && read.room.found);
    QCOMPARE(read.holder, QString("None"));
    QCOMPARE(read.explain, QString("None"));
}

void StayServiceTest::readCardsThatAreNotUsable_data() {
    QTest::addColumn<QString>("card");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("guestCard");
    QTest::addColumn<bool>("roomFound");
    QTest::newRow("no card") << "remove" << -1 << false << false;
    QTest::newRow("no encoder") << "offline" << -2 << false << false;
    QTest::newRow("blank card") << "blank" << 1 << false << false;
    QTest::newRow("master card") << "master" << 1 << false << false;
    QTest::newRow("a room that no longer exists") << "gone" << 1 << true << false;
}

void StayServiceTest::readCardsThatAreNotUsable() {
    QFETCH(QString, card);
    QFETCH(int, code);
    QFETCH(bool, guestCard);
    QFETCH(bool, roomFound);
    const QDateTime start(QDate(2025, 3, 1), QTime(15, 20));
    if (card == "remove") {
        QVERIFY(sim_->command("remove"));
    } else if (card == "offline") {
        QVERIFY(sim_->command("set online 0"));
    } else if (card == "master") {
        placeCard(*sim_, CardTypes::Master, 1, 2, 3, 5, start, start.addDays(300));
    } else if (card == "gone") {
        placeGuestCard1203(*sim_, 5, start, start.addDays(1));
        dm->conn.execute("delete from RoomInfo where RoomStr = '1203'");
    }
    const ReadGuestCard read = qv::stays::readGuestCard();
    QCOMPARE(read.code, code);
    QCOMPARE(read.guestCard, guestCard);
    QCOMPARE(read.room.found, roomFound);
    QVERIFY(read.room.roomStr.isEmpty());
}

void StayServiceTest::resolveRoom() {
    dm->conn.execute(
        "insert into RoomInfo (Room, RoomStr, SystemRoomStr, Buiding, Floor, RoomNumber) "
        "values (3999, :s, '030999', 3, 9, 99)",
        {{":s", "3'99 A"}});
    const RoomRef byPlate = ResolveRoom(QString("3'99 A"));
    QVERIFY(byPlate.found);
    QCOMPARE(byPlate.room, 3999);
    QCOMPARE(byPlate.roomStr, QString("3'99 A"));
    QCOMPARE(byPlate.systemRoomStr, QString("030999"));
    QCOMPARE(byPlate.building, uint16_t(3));
    QCOMPARE(byPlate.floor, uint16_t(9));
    QCOMPARE(byPlate.roomNumber, uint16_t(99));
    TCardData card{};
    card.RoomAddr[5] = 77;  // every word of the address is the room's
    byPlate.putOn(card);
    const uint16_t address[QV_ROOMADDR_WORDS] = {99, 3, 9, 0, 0, 0, 0};
    QVERIFY(std::equal(std::begin(address), std::end(address), std::begin(card.RoomAddr)));
    QCOMPARE(card.Building, uint16_t(3));
    QCOMPARE(card.Floor[0], uint16_t(9));

    const TRoomAddr lockAddress = {99, 3, 9, 0, 0, 0, 0};
    const RoomRef byAddress = ResolveRoom(lockAddress);
    QCOMPARE(byAddress.roomStr, byPlate.roomStr);
    QCOMPARE(byAddress.room, 3999);

    for (const QString plate : {"", "3'99", "' or '1'='1"}) {
        const RoomRef none = ResolveRoom(plate);
        QVERIFY(!none.found);
        QCOMPARE(none.room, 0);
        QVERIFY(none.roomStr.isEmpty() && none.systemRoomStr.isEmpty());
    }
    const TRoomAddr nowhere = {98, 3, 9, 0, 0, 0, 0};
    QVERIFY(!ResolveRoom(nowhere).found);
}

void StayServiceTest::checkOut() {
    openStay1203("张三", "2025-03-02T12:10:00");
    openStay1203("李四", "2025-03-02T12:10:00");  // a second open stay in the same room
    qv::Clock::setTestTime(QDateTime(QDate(2025, 3, 2), QTime(11, 5)));
    const QVariant first = dm->conn.scalar("select min(ID) from GuestInRecord");
    QVERIFY(checkOutRoom("1203"));
    QCOMPARE(dm->conn.scalar("select GuestName from GuestInRecord where enOverride = 1").toString(),
             QString("张三"));
    QCOMPARE(
        dm->conn.scalar("select LeaveTime from GuestInRecord where enOverride = 1").toDateTime(),
        QDateTime(QDate(2025, 3, 2), QTime(11, 5)));
    QVERIFY(!checkOutStay(first));  // closed already
    QVERIFY(CheckOutRoom("1203"));  // the main window's name for it
    QVERIFY(!checkOutRoom("1203"));
    QVERIFY(!checkOutRoom("1101"));
    QCOMPARE(countRows("select count(*) from GuestInRecord where enOverride = 0"), 0);
    QCOMPARE(roomCounter("1203"), 7);
    QCOMPARE(countRows("select count(*) from MakeCardRecord"), 0);
}

QTEST_GUILESS_MAIN(StayServiceTest)
#include "tst_stayservice.moc"
