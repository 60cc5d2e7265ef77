// The card reading window through the real encoder binding and the
// simulator, on SQLite and, for the rows tagged "postgres", on the test server.
#include "SimEncoder.h"
#include "TestSupport.h"
#include "WindowFixture.h"
#include "window/CardOperation.h"

#include "card/CardFunctions.h"
#include "card/CardRecords.h"
#include "card/Encoder.h"
#include "card/SpecialCard.h"
#include "cards/CheckCard_Unit.h"
#include "data/dm_unit.h"
#include "platform/Clock.h"
#include "platform/RadioGroup.h"
#include "platform/TestDialogs.h"
#include "settings/Settings.h"
#include "stays/StayService.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

namespace {

const char* const kPgDatabase = "qvtest_checkcard";
const QDateTime kNow(QDate(2025, 3, 1), QTime(9, 0));

// A floor card of building 3, floor 12, logged with its holder.
void issueFloorCard(const QString& holder) {
    SpecialCardOrder order;
    order.cardType = CardTypes::Floor;
    order.start = QDateTime(QDate(2025, 3, 1), QTime(9, 10));
    order.end = QDateTime(QDate(2025, 3, 2), QTime(12, 10));
    order.building = 3;
    order.floor = 12;
    order.holder = holder;
    TCardData card{};
    QCOMPARE(IssueSpecialCard(order, card), 1);
}

// A new guest card of room 1203 (building 1, floor 2, room 3), logged with
// the guest's name and document.
void issueGuestCard() {
    TCardData card{};
    GetRoomAddr("1203", card.RoomAddr);
    card.Building = card.RoomAddr[1];
    card.Floor[0] = card.RoomAddr[2];
    card.CardType[0] = CardTypes::Guest;
    card.Override = 1;
    DateToCardTime(QDateTime(QDate(2025, 3, 1), QTime(15, 30)), card.StartTime);
    DateToCardTime(QDateTime(QDate(2025, 3, 3), QTime(0, 0)), card.EndTime);
    const int code = IssueCard(
        CardSerialSource::room("1203"), card,
        [](TCardData& c) { return int(qv::Encoder::instance().makeCard(CardTypes::Guest, c)); },
        [&] { MakeCardLog(card, "张三", "110101199001011234"); });
    QCOMPARE(code, 1);
}

// A card image written by another program: nothing of it is in the log.
QByteArray cardImage(int type, int building, int floor, int district, const QString& start,
                     int serial = 5) {
    return QStringLiteral(
               "card=written\n"
               "CardSn=%1 %2 0 0 0\n"
               "Reserved2=0 0 0 0 0\n"
               "Building=%3\n"
               "Floor=%4 0 0 0 0 0 0 0 0\n"
               "District=%5 0 0 0 0\n"
               "RoomAddr=0 0 0 0 0 0 0\n"
               "Override=0\n"
               "CardType=%6 0 0 0 0 0 0 0 0\n"
               "Reserved3=0 0 0 0 0\n"
               "StartTime=%7\n"
               "EndTime=2025 3 2 12 10 0\n")
        .arg(serial % 256)
        .arg(serial / 256)
        .arg(building)
        .arg(floor)
        .arg(district)
        .arg(type)
        .arg(start)
        .toUtf8();
}

int logRows() {
    return dm->conn.scalar("select count(*) from MakeCardRecord").toInt();
}

qv::stays::GuestCard guestOf1203(const QDateTime& start, const QDateTime& end, const QString& name,
                                 const QString& document) {
    qv::stays::GuestCard in;
    in.roomStr = "1203";
    in.start = start;
    in.end = end;
    in.guestName = name;
    in.document = document;
    return in;
}

QDateTime at(int day, int hour, int minute) {
    return QDateTime(QDate(2025, 3, day), QTime(hour, minute));
}

}  // namespace

class CheckCardTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void windowAndDefaults();
    void readsIssuedCards_data();
    void readsIssuedCards();
    void areaNumbersOneTo99_data();
    void areaNumbersOneTo99();
    void blankCardKeepsTheAreaBoxes();
    void unloggedCardShowsNone();
    void readFailures_data();
    void readFailures();
    void cancelWipesTheCardAndKeepsTheLog_data() { addDatabaseKinds(); }
    void cancelWipesTheCardAndKeepsTheLog();
    void cancelHiddenForMagneticLocks_data();
    void cancelHiddenForMagneticLocks();
    void busyLatchIgnoresPresses();
    void databaseErrorLetsTheCardBeReadAgain();
    void keyboardPath();
    void eachCardOfARoomShowsItsOwnHolder_data() { addDatabaseKinds(); }
    void eachCardOfARoomShowsItsOwnHolder();
    void cancelMarksTheCardsOwnRow_data() { addDatabaseKinds(); }
    void cancelMarksTheCardsOwnRow();

private:
    void read(TCheckCardForm& f);
    WindowFixture fx;
    std::unique_ptr<SimEncoder> sim_;
};

void CheckCardTest::init() {
    QV_SET_UP_WINDOW_FIXTURE(fx, kPgDatabase);
    qv::Clock::setTestTime(kNow);
    sim_ = std::make_unique<SimEncoder>(*fx.app);
    QVERIFY(sim_->loaded());
    QVERIFY(sim_->command("place blank"));
}

void CheckCardTest::cleanup() {
    sim_.reset();
    fx.tearDown();
}

// Presses the read button as the operator does, the latch cleared first as
// the main window's timer would.
void CheckCardTest::read(TCheckCardForm& f) {
    qv::CardOperation::releaseLatch();
    QTRY_VERIFY(f.ReadCard_Bt->isEnabled());
    QTest::mouseClick(f.ReadCard_Bt, Qt::LeftButton);
}

void CheckCardTest::windowAndDefaults() {
    TCheckCardForm f;
    QCOMPARE(f.objectName(), QString("CheckCardForm"));
    QCOMPARE(f.windowTitle(), QString("读卡/注销卡"));
    QCOMPARE(f.ReadCard_Bt->text(), QString("读  卡(&R)"));
    QCOMPARE(f.Register_Bt->text(), QString("注  销(&G)"));
    QCOMPARE(f.Close_Bt->text(), QString("关  闭(&C)"));
    QVERIFY(f.ReadCard_Bt->isDefault());
    QCOMPARE(f.CardType_Label->text(), QString("卡 类型："));
    QCOMPARE(f.RoomNo_Label->text(), QString("客    房："));
    QCOMPARE(f.District_Label->text(), QString("区  域:"));
    QCOMPARE(f.GuestID_Label->text(), QString("证件号："));
    QCOMPARE(f.Override_RG->items(), QStringList({"是", "否"}));
    for (QLineEdit* box :
         {f.CardType_Edit, f.CardHolder_Edit, f.RoomNo_Edit, f.Building_Edit, f.Floor_Edit,
          f.District_Edit, f.StartTime_Edit, f.EndTime_Edit, f.GuestID_Edit}) {
        QVERIFY(box->isReadOnly());
    }
    QVERIFY(f.GuestID_Edit->isHidden() && f.GuestID_Label->isHidden());
    QVERIFY(f.Override_RG->isHidden() && f.Override_Label->isHidden());
    QVERIFY(!f.Register_Bt->isHidden());  // an IC card encoder
}

void CheckCardTest::readsIssuedCards_data() {
    QTest::addColumn<bool>("guest");
    for (const char* suffix : {"", " on postgres"}) {
        QTest::newRow(qPrintable(QString("floor card") + suffix)) << false;
        QTest::newRow(qPrintable(QString("guest card") + suffix)) << true;
    }
}

void CheckCardTest::readsIssuedCards() {
    QFETCH(bool, guest);
    if (guest) {
        issueGuestCard();
    } else {
        issueFloorCard("王五");
    }
    TCheckCardForm f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    // What an earlier card left in the boxes goes.
    f.District_Edit->setText("7");
    f.RoomNo_Edit->setText("9999");
    read(f);

    QVERIFY2(fx.dialogs->boxes().isEmpty(), qPrintable(fx.dialogs->texts().join('\n')));
    QCOMPARE(f.Prompt_Label->text(), QString("操作成功！"));
    QVERIFY(!f.ReadCard_Bt->isEnabled());  // back after the pause
    QTRY_VERIFY_WITH_TIMEOUT(f.ReadCard_Bt->isEnabled(), 2000);
    QCOMPARE(f.Override_RG->itemIndex(), 1);  // "否": no loss report applied
    if (guest) {
        QCOMPARE(f.CardType_Edit->text(), QString("宾客卡"));
        QCOMPARE(f.CardHolder_Edit->text(), QString("张三"));
        QCOMPARE(f.RoomNo_Edit->text(), QString("1203"));
        QCOMPARE(f.GuestID_Edit->text(), QString("110101199001011234"));
        QVERIFY(f.GuestID_Edit->isVisible() && f.GuestID_Label->isVisible());
        QCOMPARE(f.Building_Edit->text(), QString());
        QCOMPARE(f.Floor_Edit->text(), QString());
        QCOMPARE(f.District_Edit->text(), QString());
        QCOMPARE(f.StartTime_Edit->text(), QString("2025-03-01 15:30:00"));
        QCOMPARE(f.EndTime_Edit->text(), QString("2025-03-03"));  // midnight: the date alone
        saveScreenshot(&f, "CheckCardForm_guest");

        // The next card, not a guest card, hides the guest's document again.
        QVERIFY(sim_->command("place blank"));
        issueFloorCard("王五");
        read(f);
        QVERIFY(f.GuestID_Edit->isHidden() && f.GuestID_Label->isHidden());
        QCOMPARE(f.RoomNo_Edit->text(), QString());
    } else {
        QCOMPARE(f.CardType_Edit->text(), QString("楼层卡"));
        QCOMPARE(f.CardHolder_Edit->text(), QString("王五"));
        QCOMPARE(f.Building_Edit->text(), QString("3"));
        QCOMPARE(f.Floor_Edit->text(), QString("12"));
        QCOMPARE(f.RoomNo_Edit->text(), QString());
        QCOMPARE(f.District_Edit->text(), QString());
        QVERIFY(f.GuestID_Edit->isHidden());
        QCOMPARE(f.StartTime_Edit->text(), QString("2025-03-01 09:10:00"));
        QCOMPARE(f.EndTime_Edit->text(), QString("2025-03-02 12:10:00"));
        saveScreenshot(&f, "CheckCardForm_floor");
    }
}

void CheckCardTest::areaNumbersOneTo99_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("shown");
    QTest::newRow("0") << 0 << "";
    QTest::newRow("1") << 1 << "1";
    QTest::newRow("99") << 99 << "99";
    QTest::newRow("100") << 100 << "";
    QTest::newRow("65535") << 65535 << "";
}

void CheckCardTest::areaNumbersOneTo99() {
    QFETCH(int, number);
    QFETCH(QString, shown);
    sim_->writeState("card.txt",
                     cardImage(CardTypes::District, number, number, number, "2025 3 1 0 0 0"));
    TCheckCardForm f;
    read(f);
    QCOMPARE(f.Prompt_Label->text(), QString("操作成功！"));
    QCOMPARE(f.Building_Edit->text(), shown);
    QCOMPARE(f.Floor_Edit->text(), shown);
    QCOMPARE(f.District_Edit->text(), shown);
    QCOMPARE(f.StartTime_Edit->text(), QString("2025-03-01"));
    QCOMPARE(f.Override_RG->itemIndex(), 0);  // "是"
}

void CheckCardTest::blankCardKeepsTheAreaBoxes() {
    issueFloorCard("王五");
    TCheckCardForm f;
    read(f);
    QCOMPARE(f.Floor_Edit->text(), QString("12"));

    QVERIFY(sim_->command("place blank"));
    read(f);
    QCOMPARE(f.Prompt_Label->text(), QString("新卡！"));
    QVERIFY(f.ReadCard_Bt->isEnabled());  // at once
    for (QLineEdit* box :
         {f.CardType_Edit, f.StartTime_Edit, f.EndTime_Edit, f.CardHolder_Edit, f.RoomNo_Edit}) {
        QCOMPARE(box->text(), QString());
    }
    QCOMPARE(f.Override_RG->itemIndex(), -1);
    QCOMPARE(f.Building_Edit->text(), QString("3"));
    QCOMPARE(f.Floor_Edit->text(), QString("12"));
    QVERIFY(fx.dialogs->boxes().isEmpty());
}

void CheckCardTest::unloggedCardShowsNone() {
    // A card of another installation, and a card whose log row was deleted.
    sim_->writeState("card.txt", cardImage(CardTypes::Master, 0, 0, 0, "2025 3 1 9 10 0", 77));
    TCheckCardForm f;
    read(f);
    QCOMPARE(f.CardType_Edit->text(), QString("总卡"));
    QCOMPARE(f.CardHolder_Edit->text(), QString("None"));

    issueFloorCard("王五");
    dm->conn.execute("delete from MakeCardRecord");
    read(f);
    QCOMPARE(f.CardType_Edit->text(), QString("楼层卡"));
    QCOMPARE(f.CardHolder_Edit->text(), QString("None"));
    QVERIFY(fx.dialogs->boxes().isEmpty());
}

void CheckCardTest::readFailures_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<QString>("prompt");
    QTest::newRow("no card") << "remove" << QByteArray() << "无卡！";
    QTest::newRow("no encoder") << "set online 0" << QByteArray() << "无发卡机！";
    QTest::newRow("unreadable card")
        << "" << QByteArray("card=written\nCardSn=1\n") << "操作失败！";
}

void CheckCardTest::readFailures() {
    QFETCH(QString, command);
    QFETCH(QByteArray, image);
    QFETCH(QString, prompt);
    issueFloorCard("王五");
    TCheckCardForm f;
    read(f);
    QCOMPARE(f.CardHolder_Edit->text(), QString("王五"));

    if (!command.isEmpty()) {
        QVERIFY(sim_->command(command));
    } else {
        sim_->writeState("card.txt", image);
    }
    read(f);
    QCOMPARE(f.Prompt_Label->text(), prompt);
    QVERIFY(f.ReadCard_Bt->isEnabled());
    QCOMPARE(f.CardHolder_Edit->text(), QString());
    QVERIFY(fx.dialogs->boxes().isEmpty());
}

void CheckCardTest::cancelWipesTheCardAndKeepsTheLog() {
    issueFloorCard("王五");
    TCheckCardForm f;
    read(f);
    QCOMPARE(f.Floor_Edit->text(), QString("12"));

    qv::CardOperation::releaseLatch();
    QTRY_VERIFY(f.Register_Bt->isEnabled());
    QTest::mouseClick(f.Register_Bt, Qt::LeftButton);
    QCOMPARE(f.Prompt_Label->text(), QString("操作成功！"));
    for (QLineEdit* box : {f.CardHolder_Edit, f.RoomNo_Edit, f.StartTime_Edit, f.EndTime_Edit,
                           f.CardType_Edit, f.Floor_Edit, f.Building_Edit, f.District_Edit}) {
        QCOMPARE(box->text(), QString());
    }
    QVERIFY(!f.ReadCard_Bt->isEnabled() && !f.Register_Bt->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(f.ReadCard_Bt->isEnabled() && f.Register_Bt->isEnabled(), 2000);
    int16_t code = 0;
    QCOMPARE(int(sim_->card(&code).CardType[0]), 0);
    QCOMPARE(code, int16_t(1));
    QCOMPARE(logRows(), 1);

    read(f);
    QCOMPARE(f.Prompt_Label->text(), QString("新卡！"));

    // Nothing to wipe: the encoder says so and the boxes stay.
    QVERIFY(sim_->command("remove"));
    f.CardHolder_Edit->setText("王五");
    qv::CardOperation::releaseLatch();
    QTRY_VERIFY(f.Register_Bt->isEnabled());
    QTest::mouseClick(f.Register_Bt, Qt::LeftButton);
    QCOMPARE(f.Prompt_Label->text(), QString("无卡！"));
    QCOMPARE(f.CardHolder_Edit->text(), QString("王五"));
}

void CheckCardTest::cancelHiddenForMagneticLocks_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("hidden");
    QTest::newRow("automatic magnetic card") << "set kind 2" << true;
    QTest::newRow("manual magnetic card") << "set kind 11" << true;
    QTest::newRow("IC card") << "set kind 3" << false;
    QTest::newRow("MIFARE") << "set kind 9" << false;
    QTest::newRow("encoder off line") << "set online 0" << false;
}

void CheckCardTest::cancelHiddenForMagneticLocks() {
    QFETCH(QString, command);
    QFETCH(bool, hidden);
    QVERIFY(sim_->command(command));
    TCheckCardForm f;  // as "注销卡" opens it: the button left as the window made it
    QCOMPARE(f.Register_Bt->isHidden(), hidden);
}

void CheckCardTest::busyLatchIgnoresPresses() {
    issueFloorCard("王五");
    TCheckCardForm f;
    const qv::CardOperation other(nullptr);  // another card operation is under way
    QVERIFY(other.started() && qv::CardOperation::busy());
    QTest::mouseClick(f.ReadCard_Bt, Qt::LeftButton);
    QTest::mouseClick(f.Register_Bt, Qt::LeftButton);
    QCOMPARE(f.Prompt_Label->text(), QString());
    QCOMPARE(f.CardType_Edit->text(), QString());
    QVERIFY(f.ReadCard_Bt->isEnabled() && f.Register_Bt->isEnabled());
    QCOMPARE(int(sim_->card().CardType[0]), int(CardTypes::Floor));  // not wiped

    // A second press right after a read does nothing either.
    read(f);
    QCOMPARE(f.Floor_Edit->text(), QString("12"));
    QVERIFY(sim_->command("place blank"));
    QTRY_VERIFY_WITH_TIMEOUT(f.ReadCard_Bt->isEnabled(), 2000);
    QTest::mouseClick(f.ReadCard_Bt, Qt::LeftButton);
    QCOMPARE(f.Prompt_Label->text(), QString("操作成功！"));
    QCOMPARE(f.CardType_Edit->text(), QString("楼层卡"));
}

void CheckCardTest::databaseErrorLetsTheCardBeReadAgain() {
    issueFloorCard("王五");
    dm->conn.execute("drop table MakeCardRecord");
    TCheckCardForm f;
    read(f);
    QCOMPARE(fx.dialogs->boxes().size(), 1);
    QCOMPARE(fx.dialogs->boxes().first().icon, qv::Icon::Error);
    QVERIFY(f.ReadCard_Bt->isEnabled());
    QVERIFY(f.Prompt_Label->text() != QString("操作成功！"));
}

void CheckCardTest::keyboardPath() {
    issueFloorCard("王五");
    TCheckCardForm f;
    f.show();
    QApplication::setActiveWindow(&f);
    QVERIFY(QTest::qWaitForWindowActive(&f));
    // The read button has the focus; Tab goes to the other buttons, then the boxes.
    QCOMPARE(QApplication::focusWidget(), f.ReadCard_Bt);
    QTest::keyClick(f.ReadCard_Bt, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), f.Register_Bt);
    QTest::keyClick(f.Register_Bt, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), f.Close_Bt);
    QTest::keyClick(f.Close_Bt, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), f.CardType_Edit);

    // Enter reads the card (the read button is the default one).
    QTest::keyClick(f.CardType_Edit, Qt::Key_Return);
    QCOMPARE(f.Prompt_Label->text(), QString("操作成功！"));
    QCOMPARE(f.Floor_Edit->text(), QString("12"));

    // Alt+R, Alt+G and Alt+C are the buttons' accelerators (the offscreen
    // platform does not deliver mnemonics); Space presses the focused button.
    QCOMPARE(QKeySequence::mnemonic(f.ReadCard_Bt->text()), QKeySequence("Alt+R"));
    QCOMPARE(QKeySequence::mnemonic(f.Register_Bt->text()), QKeySequence("Alt+G"));
    QCOMPARE(QKeySequence::mnemonic(f.Close_Bt->text()), QKeySequence("Alt+C"));
    qv::CardOperation::releaseLatch();
    QTRY_VERIFY_WITH_TIMEOUT(f.Register_Bt->isEnabled(), 2000);
    f.Register_Bt->setFocus();
    QTest::keyClick(f.Register_Bt, Qt::Key_Space);
    QCOMPARE(int(sim_->card().CardType[0]), 0);
    QCOMPARE(f.Floor_Edit->text(), QString());

    QTest::keyClick(f.CardType_Edit, Qt::Key_Escape);
    QVERIFY(!f.isVisible());
}

// A room's cards over two stays, each read back: every one shows the guest
// it was issued to, although the copies share their card's number and every
// continue-stay card of the room has serial 0.
void CheckCardTest::eachCardOfARoomShowsItsOwnHolder() {
    using namespace qv::stays;
    const QString doc1 = "110101199001011234";
    const QString doc2 = "220202198502025678";
    QList<QByteArray> cards;
    auto keep = [&] {
        QFile f(sim_->stateFile("card.txt"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        cards << f.readAll();
    };
    const GuestCard first = guestOf1203(at(1, 15, 30), at(3, 12, 0), "张三", doc1);
    QVERIFY(checkIn(first).written());
    keep();
    QVERIFY(copyCard(first).written());  // written in the same minute: the same card
    keep();
    QVERIFY(continueStay(guestOf1203(at(1, 15, 40), at(5, 12, 0), "张三", doc1)).written());
    keep();
    QVERIFY(CheckOutRoom("1203"));
    QVERIFY(checkIn(guestOf1203(at(5, 14, 0), at(7, 12, 0), "李四", doc2)).written());
    keep();
    QVERIFY(continueStay(guestOf1203(at(5, 14, 10), at(8, 12, 0), "李四", doc2)).written());
    keep();
    QCOMPARE(cards.size(), 5);

    struct Expected {
        const char* holder;
        QString document;
        bool twins;  // the log holds two rows it cannot tell apart
    };
    const Expected expected[] = {
        {"张三", doc1, true},  {"张三", doc1, true},  {"张三", doc1, false},
        {"李四", doc2, false}, {"李四", doc2, false},
    };
    TCheckCardForm f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    for (int i = 0; i < cards.size(); ++i) {
        sim_->writeState("card.txt", cards[i]);
        read(f);
        const QString what = QStringLiteral("card %1").arg(i);
        QCOMPARE(what + ": " + f.CardHolder_Edit->text() + ", " + f.GuestID_Edit->text(),
                 what + ": " + expected[i].holder + ", " + expected[i].document);
        QCOMPARE(f.RoomNo_Edit->text(), QString("1203"));
        QCOMPARE(f.Prompt_Label->text().contains("发卡记录中有 2 张相同的卡"), expected[i].twins);
        QVERIFY(f.Prompt_Label->text().startsWith("操作成功！"));
        if (i == 0) {
            saveScreenshot(&f, "CheckCardForm_twins");
        }
        // The card layer names the same rows.
        const IssuedCard issued = IdentifyCard(sim_->card());
        QCOMPARE(issued.rows.size(), expected[i].twins ? 2 : 1);
        QCOMPARE(issued.holder(), QString(expected[i].holder));
    }
    QVERIFY(fx.dialogs->boxes().isEmpty());
}

// A card written whose records failed: the prompt says it exists, the read
// card window shows it as such, and cancelling it there settles its row.
void CheckCardTest::cancelMarksTheCardsOwnRow() {
    using namespace qv::stays;
    // The stays table goes away while the encoder writes.
    const Result r =
        checkIn(guestOf1203(at(1, 15, 30), at(3, 12, 0), "张三", "D1"), [](TCardData& c) {
            const int code = qv::Encoder::instance().makeCard(CardTypes::Guest, c);
            dm->conn.run("alter table GuestInRecord rename to Away");
            return code;
        });
    dm->conn.run("alter table Away rename to GuestInRecord");
    QCOMPARE(r.outcome, Outcome::DatabaseError);
    QVERIFY(r.cardWritten);
    QCOMPARE(UnconfirmedCards().size(), 1);
    QCOMPARE(UnconfirmedCards().first().state, CardLogStates::Unrecorded);
    const QString rom = UnconfirmedCards().first().rom;
    QVERIFY(!UnconfirmedCardsNotice().isEmpty());

    TCheckCardForm f;
    read(f);
    QCOMPARE(f.CardHolder_Edit->text(), QString("张三"));
    QCOMPARE(f.Prompt_Label->text(), QString("操作成功！\n卡已写好，记录未保存"));
    qv::CardOperation::releaseLatch();
    QTRY_VERIFY(f.Register_Bt->isEnabled());
    QTest::mouseClick(f.Register_Bt, Qt::LeftButton);
    QCOMPARE(f.Prompt_Label->text(), QString("操作成功！"));
    QCOMPARE(int(sim_->card().CardType[0]), 0);  // wiped
    // Its own row is cancelled, kept, and no longer named at start.
    QCOMPARE(logRows(), 1);
    QCOMPARE(GetCardState(CardTypes::Guest, rom), CardLogStates::Cancelled);
    QVERIFY(UnconfirmedCards().isEmpty());
    QVERIFY(UnconfirmedCardsNotice().isEmpty());

    // No card on the encoder: nothing is wiped and nothing marked.
    QVERIFY(sim_->command("remove"));
    const CardCancel none = cancelCard();
    QCOMPARE(none.code, -1);
    QCOMPARE(none.marked, qint64(0));

    // A written card read and cancelled in F5 is marked too; the other of
    // two cards the log cannot tell apart stays as it was.
    QVERIFY(sim_->command("place blank"));
    const GuestCard next = guestOf1203(at(2, 10, 0), at(4, 12, 0), "李四", "D2");
    QVERIFY(checkIn(next).written());
    QVERIFY(copyCard(next).written());
    const CardCancel wiped = cancelCard();
    QCOMPARE(wiped.code, 1);
    QVERIFY(wiped.card.ambiguous());
    QCOMPARE(wiped.marked, wiped.card.rows.first().id);  // the newest
    QCOMPARE(dm->conn.scalar("select count(*) from MakeCardRecord where CardState = 3").toInt(), 2);
    QCOMPARE(dm->conn.scalar("select count(*) from MakeCardRecord where CardState = 0").toInt(), 1);
    QVERIFY(fx.dialogs->boxes().isEmpty());
}

QTEST_MAIN(CheckCardTest)
#include "tst_checkcard.moc"
