// The guest's road: check-in, copies of the guest card and check-out, through
// the real encoder binding and the simulator with its state folder in a
// temporary program folder.
#include "GuestCards.h"
#include "SimEncoder.h"
#include "WindowFixture.h"
#include "data/Session.h"
#include "window/CardOperation.h"

#include "card/CardFunctions.h"
#include "card/CardRecords.h"
#include "card/Encoder.h"
#include "data/DataSet.h"
#include "data/DataSetModel.h"
#include "data/dm_unit.h"
#include "platform/Clock.h"
#include "platform/TestDialogs.h"
#include "records/RoomList_Unit.h"
#include "settings/Settings.h"
#include "stays/ClockRoom_Unit.h"
#include "stays/CopyGuestCard_Unit.h"
#include "stays/GuestLeave_Unit.h"
#include "stays/GuestQuickIn_Unit.h"
#include "stays/ModifyGuestCard_Unit.h"
#include "window/RecordGrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTimeEdit>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

using qv::Encoder;

namespace {

const char* const kPgDatabase = "qvtest_stays";
const QDateTime kCheckInMoment(QDate(2025, 3, 1), QTime(15, 20));

QVariant scalar(const QString& sql) {
    return dm->conn.scalar(sql);
}
int logRows() {
    return scalar("select count(*) from MakeCardRecord").toInt();
}
int stayRows() {
    return scalar("select count(*) from GuestInRecord").toInt();
}

}  // namespace

class StaysTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void windowDefaults();
    void checkInCopyAndCheckOut_data() { addDatabaseKinds(); }
    void checkInCopyAndCheckOut();
    void cardFailuresChangeNothing_data();
    void cardFailuresChangeNothing();
    void failedRecordsKeepNothingAndNameTheCard();
    void busyLatchIgnoresASecondPress();
    void doorPlatesAreBoundText_data();
    void doorPlatesAreBoundText();
    void nightsBoxMovesTheEndDate_data();
    void nightsBoxMovesTheEndDate();
    void invalidRangeWritesNothing_data();
    void invalidRangeWritesNothing();
    void roomListFillsTheRoomBox();
    void copyWindowWritesCopiesOfTheCurrentSerial();
    void copyWindowRefusesAnUnknownRoom();
    void checkOutClosesTheCurrentRow_data() { addDatabaseKinds(); }
    void checkOutClosesTheCurrentRow();
    void escapeClosesEveryWindow_data();
    void escapeClosesEveryWindow();
    void textsFromTheLanguageStore();

    void promptClearedByANewCardAndANewRoom();
    void confirmPauseYieldsToTheRoomBox();
    void namesKeepWholeCharacters_data() { addDatabaseKinds(); }
    void namesKeepWholeCharacters();

    void continueStay_data() { addDatabaseKinds(); }
    void continueStay();
    void continueStayRefusals_data();
    void continueStayRefusals();
    void continueStayKeysAndNights();
    void continueStayRefusesAFormerGuestsCard_data() { addDatabaseKinds(); }
    void continueStayRefusesAFormerGuestsCard();

    void hourlyRoom_data() { addDatabaseKinds(); }
    void hourlyRoom();
    void hourlyRoomEnds_data();
    void hourlyRoomEnds();
    void hourlyRoomHoursText_data();
    void hourlyRoomHoursText();
    void hourlyRoomFailures_data();
    void hourlyRoomFailures();

private:
    WindowFixture fx;
    qv::TestDialogs* dialogs_ = nullptr;
    std::unique_ptr<SimEncoder> sim_;
};

void StaysTest::init() {
    // A row tagged "postgres" runs on the test server, every other on an SQLite file.
    QV_SET_UP_WINDOW_FIXTURE(fx, kPgDatabase);
    dialogs_ = fx.dialogs.get();
    dm->conn.execute("update RoomInfo set CardSn = 7 where RoomStr = '1203'");
    qv::Clock::setTestTime(kCheckInMoment);
    sim_ = std::make_unique<SimEncoder>(*fx.app);
    QVERIFY(sim_->loaded());
    QVERIFY(sim_->command("place blank"));
}

void StaysTest::cleanup() {
    sim_.reset();
    dialogs_ = nullptr;
    fx.tearDown();
}

void StaysTest::windowDefaults() {
    LockSystemInfo.DayCount = 2;
    LockSystemInfo.LeaveTime = QTime(13, 30);
    TGuestQuickIn_Form f;
    QCOMPARE(f.objectName(), QString("GuestQuickIn_Form"));
    QCOMPARE(f.windowTitle(), QString("开房--发行客人卡"));
    QCOMPARE(f.SD_GQI_Dtp->date(), QDate(2025, 3, 1));
    QCOMPARE(f.ST_GQI_Dtp->time(), QTime(15, 20));
    QCOMPARE(f.ED_GQI_Dtp->date(), QDate(2025, 3, 3));
    QCOMPARE(f.ET_GQI_Dtp->time(), QTime(13, 30));
    QCOMPARE(f.Days_Edit->text(), QString("2"));
    QVERIFY(!f.SD_GQI_Dtp->isEnabled() && !f.ST_GQI_Dtp->isEnabled());
    QVERIFY(f.Confirm_Bt->isEnabled() && f.Confirm_Bt->isDefault());
    QVERIFY(!f.CopyGuestCard_Bt->isEnabled());
    QVERIFY(f.CB_eO_GQI->isHidden() && !f.CB_eO_GQI->isChecked());
    QCOMPARE(f.Days_Edit->maxLength(), 4);
    QCOMPARE(f.E_H_GQI->maxLength(), 20);
    QCOMPARE(f.GuestCode_Edit->maxLength(), 20);
    QCOMPARE(f.StayStart(), QDateTime(QDate(2025, 3, 1), QTime(15, 30)));
    QCOMPARE(f.StayEnd(), QDateTime(QDate(2025, 3, 3), QTime(13, 40)));
    // The start stays at the moment the window opened, however long it is open.
    qv::Clock::advance(3600 * 1000);
    f.se_Room1->setText("1203");
    QCOMPARE(f.StayStart(), QDateTime(QDate(2025, 3, 1), QTime(15, 30)));

    QCOMPARE(f.Close_Bt->text(), QString("关闭(&C)"));
    // The read button of the continue-stay window is there, hidden, in every
    // guest card window, so that the language store sees the same components.
    QCOMPARE(f.Button1->text(), QString("读  卡"));
    QVERIFY(f.Button1->isHidden());

    TCopyGuestCard_Form c;
    QCOMPARE(c.objectName(), QString("CopyGuestCard_Form"));
    QCOMPARE(c.Button1->objectName(), QString("Button1"));
    QCOMPARE(c.Button1->text(), QString("读  卡"));
    QVERIFY(c.Button1->isHidden());
    QCOMPARE(c.Close_Bt->text(), QString("关闭(&C)"));
    QCOMPARE(c.windowTitle(), QString("复制客人卡"));
    QCOMPARE(c.Confirm_Bt->text(), QString("复制客人卡(&Y)"));
    QCOMPARE(c.GuestCode_Edit->text(), QString("1"));
    QCOMPARE(c.Room_Label->text(), QString("房号："));
    QCOMPARE(c.Days_Edit->maxLength(), 32767);
}

void StaysTest::checkInCopyAndCheckOut() {
    TGuestQuickIn_Form f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QTest::keyClicks(f.se_Room1, "1203");
    f.E_H_GQI->setText("张三");
    f.GuestCode_Edit->setText("110101199001011234");
    saveScreenshot(&f, "GuestQuickIn_Form");
    QTest::mouseClick(f.Confirm_Bt, Qt::LeftButton);

    QVERIFY2(dialogs_->boxes().isEmpty(), qPrintable(dialogs_->texts().join('\n')));
    QCOMPARE(f.Prompt_Label->text(), QString("操作成功！"));
    QVERIFY(RoomBoardChanged);
    QVERIFY(!f.Confirm_Bt->isEnabled());
    QVERIFY(f.CopyGuestCard_Bt->isEnabled());
    // The card on the encoder: a guest card of 1203 with the room's counter plus one,
    // from 15:30 to 12:10 next day (ten minutes' tolerance on both ends).
    int16_t code = 0;
    TCardData card = sim_->card(&code);
    QCOMPARE(code, int16_t(1));
    QCOMPARE(card.CardType[0], uint16_t(4));
    QCOMPARE(CardSerial(card), 8);
    QCOMPARE(card.Building, uint16_t(1));
    QCOMPARE(card.Floor[0], uint16_t(2));
    QCOMPARE(card.RoomAddr[0], uint16_t(3));
    QCOMPARE(card.RoomAddr[1], uint16_t(1));
    QCOMPARE(card.RoomAddr[2], uint16_t(2));
    QCOMPARE(card.Override, uint16_t(1));
    QCOMPARE(cardStart(card), QDateTime(QDate(2025, 3, 1), QTime(15, 30)));
    QCOMPARE(cardEnd(card), QDateTime(QDate(2025, 3, 2), QTime(12, 10)));
    QCOMPARE(roomCounter("1203"), 8);

    qv::DataSet log(dm->conn);
    log.setSql("select * from MakeCardRecord order by ID");
    log.open();
    QCOMPARE(log.recordCount(), 1);
    QCOMPARE(log.text("Rom"), QString("01020300000008"));
    QCOMPARE(log.text("RoomStr"), QString("1203"));
    QCOMPARE(log.asInteger("CardType"), 4);
    QCOMPARE(log.text("Holder"), QString("张三"));
    QCOMPARE(log.text("Explain"), QString("110101199001011234"));
    QCOMPARE(log.text("StartTime"), QString("2025-03-01 15:30:00"));
    QCOMPARE(log.text("EndTime"), QString("2025-03-02 12:10:00"));
    QCOMPARE(log.text("MakeUser"), QString("desk1"));

    qv::DataSet stay(dm->conn);
    stay.setSql("select * from GuestInRecord order by ID");
    stay.open();
    QCOMPARE(stay.recordCount(), 1);
    QCOMPARE(stay.text("GuestName"), QString("张三"));
    QCOMPARE(stay.text("GuestID"), QString("110101199001011234"));
    QCOMPARE(stay.asInteger("Room"), 1203);
    QCOMPARE(stay.text("RoomStr"), QString("1203"));
    QCOMPARE(stay.text("Rom"), QString("00000008"));
    QCOMPARE(stay.text("GuestInTime"), QString("2025-03-01 15:30:00"));
    QCOMPARE(stay.text("GuestLeaveTime"), QString("2025-03-02 12:10:00"));
    QCOMPARE(stay.text("InputUser"), QString("desk1"));
    QCOMPARE(stay.text("MakeName"), QString("前台一"));
    QCOMPARE(stay.asInteger("CardCounts"), 1);
    QCOMPARE(stay.asInteger("enOverride"), 0);
    QVERIFY(stay.isNull("LeaveTime"));
    QTest::qWait(600);
    QVERIFY(!f.Confirm_Bt->isEnabled());  // copy state until the room box changes
    saveScreenshot(&f, "GuestQuickIn_Form-done");

    // A copy carries the same serial and leaves the counter and the stay alone.
    qv::CardOperation::releaseLatch();  // the main window's timer
    RoomBoardChanged = false;
    QVERIFY(sim_->command("place blank"));
    QTest::mouseClick(f.CopyGuestCard_Bt, Qt::LeftButton);
    QCOMPARE(f.Prompt_Label->text(), QString("操作成功！"));
    QCOMPARE(CardSerial(sim_->card()), 8);
    QCOMPARE(cardEnd(sim_->card()), QDateTime(QDate(2025, 3, 2), QTime(12, 10)));
    QCOMPARE(roomCounter("1203"), 8);
    QCOMPARE(logRows(), 2);
    QCOMPARE(scalar("select CardCounts from GuestInRecord").toInt(), 1);
    QVERIFY(f.CopyGuestCard_Bt->isEnabled() && !f.Confirm_Bt->isEnabled());

    // Checking in the room again while its stay is open: a new serial, one
    // more card on the open stay, whose guest stays as it was.
    qv::CardOperation::releaseLatch();
    QVERIFY(sim_->command("place blank"));
    f.se_Room1->clear();
    QTest::keyClicks(f.se_Room1, "1203");
    QVERIFY(f.Confirm_Bt->isEnabled() && !f.CopyGuestCard_Bt->isEnabled());
    f.E_H_GQI->setText("李四");
    QTest::mouseClick(f.Confirm_Bt, Qt::LeftButton);
    QCOMPARE(CardSerial(sim_->card()), 9);
    QCOMPARE(roomCounter("1203"), 9);
    QCOMPARE(stayRows(), 1);
    QCOMPARE(scalar("select CardCounts from GuestInRecord").toInt(), 2);
    QCOMPARE(scalar("select GuestName from GuestInRecord").toString(), QString("张三"));
    QCOMPARE(scalar("select Rom from GuestInRecord").toString(), QString("00000008"));
    QCOMPARE(logRows(), 3);

    // Check-out the next morning from the check-out window.
    qv::Clock::setTestTime(QDateTime(QDate(2025, 3, 2), QTime(11, 5)));
    RoomBoardChanged = false;
    TGuestLeave_Form leave;
    leave.show();
    QVERIFY(QTest::qWaitForWindowExposed(&leave));
    QCOMPARE(leave.GuestInRecord_DBGrid->model()->rowCount(), 1);
    QCOMPARE(leave.GuestInRecord_DBGrid->model()->index(0, 0).data().toString(), QString("1203"));
    QCOMPARE(leave.GuestInRecord_DBGrid->model()->headerData(0, Qt::Horizontal).toString(),
             QString("门牌号码"));
    saveScreenshot(&leave, "GuestLeave_Form");
    QTest::mouseClick(leave.NoCardConfirm_Bt, Qt::LeftButton);
    QVERIFY(RoomBoardChanged);
    QCOMPARE(scalar("select enOverride from GuestInRecord").toInt(), 1);
    stay.open();
    QCOMPARE(stay.text("LeaveTime"), QString("2025-03-02 11:05:00"));
    QCOMPARE(leave.GuestInRecord_DBGrid->model()->rowCount(), 0);
    QCOMPARE(roomCounter("1203"), 9);  // no card, no counter, no log
    QCOMPARE(logRows(), 3);
    QTest::mouseClick(leave.NoCardConfirm_Bt, Qt::LeftButton);  // nothing left: nothing happens
    QVERIFY(dialogs_->boxes().isEmpty());
}

void StaysTest::cardFailuresChangeNothing_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("prompt");
    QTest::newRow("no card (-1)") << "remove"
                                  << "无卡！";
    QTest::newRow("no encoder (-2)") << "set online 0"
                                     << "无发卡机！";
    QTest::newRow("write fails (-15)") << "set fail-next 1"
                                       << "操作失败！";
}

void StaysTest::cardFailuresChangeNothing() {
    QFETCH(QString, setup);
    QFETCH(QString, prompt);
    QVERIFY(sim_->command(setup));
    TGuestQuickIn_Form f;
    f.se_Room1->setText("1203");
    QTest::mouseClick(f.Confirm_Bt, Qt::LeftButton);
    QCOMPARE(f.Prompt_Label->text(), prompt);
    QVERIFY(dialogs_->boxes().isEmpty());
    QVERIFY(!RoomBoardChanged);
    QCOMPARE(roomCounter("1203"), 7);
    QCOMPARE(logRows(), 0);
    QCOMPARE(stayRows(), 0);
    QVERIFY(!dm->conn.inTransaction());
    QVERIFY(!f.CopyGuestCard_Bt->isEnabled());
    QTRY_VERIFY(f.Confirm_Bt->isEnabled());  // back after the pause
    if (setup == "set fail-next 1") {
        QCOMPARE(sim_->card().CardType[0], uint16_t(0));  // the blank card is unchanged
    }
}

void StaysTest::failedRecordsKeepNothingAndNameTheCard() {
    dm->conn.execute(
        "create trigger no_stays before insert on GuestInRecord "
        "begin select raise(abort, 'disk full'); end");
    TGuestQuickIn_Form f;
    f.se_Room1->setText("1203");
    f.E_H_GQI->setText("张三");
    QTest::mouseClick(f.Confirm_Bt, Qt::LeftButton);
    QCOMPARE(dialogs_->boxes().size(), 1);
    const qv::Box box = dialogs_->last();
    QCOMPARE(box.icon, qv::Icon::Error);
    QVERIFY2(box.text.contains("disk full") && box.text.contains("1203 00000008"),
             qPrintable(box.text));
    // The card was written: it is the one the message names.
    QCOMPARE(CardSerial(sim_->card()), 8);
    // No stay is kept; the card stays in the issue log, marked, with its
    // holder, and its serial is never handed out again.
    QCOMPARE(roomCounter("1203"), 8);
    QCOMPARE(logRows(), 1);
    QCOMPARE(stayRows(), 0);
    QCOMPARE(GetCardState(CardTypes::Guest, "01020300000008"), CardLogStates::Unrecorded);
    QCOMPARE(GetCardHolder(CardTypes::Guest, "01020300000008"), QString("张三"));
    QVERIFY(!dm->conn.inTransaction());
    // The prompt tells what the encoder did: the card exists.
    QCOMPARE(f.Prompt_Label->text(), WrittenUnrecordedPrompt());
    QCOMPARE(f.Prompt_Label->text(), QString("卡已写好，但记录未保存：请注销此卡！"));
    QVERIFY(!RoomBoardChanged);
    QVERIFY(!f.CopyGuestCard_Bt->isEnabled());
    QTRY_VERIFY(f.Confirm_Bt->isEnabled());
}

void StaysTest::busyLatchIgnoresASecondPress() {
    TGuestQuickIn_Form f;
    f.se_Room1->setText("1203");
    const qv::CardOperation other(nullptr);  // another card operation is under way
    QVERIFY(other.started() && qv::CardOperation::busy());
    f.Confirm_BtClick();
    QVERIFY(dialogs_->boxes().isEmpty());
    QCOMPARE(f.Prompt_Label->text(), QString());
    QCOMPARE(sim_->card().CardType[0], uint16_t(0));
    QCOMPARE(roomCounter("1203"), 7);

    // Two presses within the latch's interval issue one card.
    qv::CardOperation::releaseLatch();
    f.Confirm_BtClick();
    f.Confirm_Bt->setEnabled(true);
    f.Confirm_BtClick();
    QCOMPARE(roomCounter("1203"), 8);
    QCOMPARE(logRows(), 1);
    QCOMPARE(scalar("select CardCounts from GuestInRecord").toInt(), 1);
}

void StaysTest::doorPlatesAreBoundText_data() {
    QTest::addColumn<QString>("room");
    QTest::addColumn<bool>("exists");
    QTest::newRow("quote") << "12'03" << false;
    QTest::newRow("injection") << "' or '1'='1" << false;
    QTest::newRow("spaces") << " 1203 " << false;
    QTest::newRow("200 characters") << QString(200, '9') << false;
    QTest::newRow("a room whose plate has a quote and a space") << "3'99 A" << true;
}

void StaysTest::doorPlatesAreBoundText() {
    QFETCH(QString, room);
    QFETCH(bool, exists);
    dm->conn.execute(
        "insert into RoomInfo (Room, RoomStr, SystemRoomStr, Buiding, Floor, RoomNumber) "
        "values (3999, :s, '030999', 3, 9, 99)",
        {{":s", "3'99 A"}});
    for (const bool copyWindow : {false, true}) {
        qv::CardOperation::releaseLatch();
        dialogs_->clear();
        std::unique_ptr<qv::GuestCardForm> f;
        if (copyWindow) {
            f = std::make_unique<TCopyGuestCard_Form>();
        } else {
            f = std::make_unique<TGuestQuickIn_Form>();
        }
        f->se_Room1->setText(room);
        f->E_H_GQI->setFocus();
        QTest::mouseClick(f->Confirm_Bt, Qt::LeftButton);
        if (exists) {
            QVERIFY2(dialogs_->boxes().isEmpty(), qPrintable(dialogs_->texts().join('\n')));
            QCOMPARE(f->Prompt_Label->text(), QString("操作成功！"));
            const TCardData card = sim_->card();
            QCOMPARE(card.Building, uint16_t(3));
            QCOMPARE(card.RoomAddr[0], uint16_t(99));
            QCOMPARE(dm->conn
                         .scalar("select count(*) from MakeCardRecord where RoomStr = :r",
                                 {{":r", room}})
                         .toInt(),
                     copyWindow ? 2 : 1);
        } else {
            QCOMPARE(dialogs_->texts(), QStringList{"没有该房号！"});
            QCOMPARE(f->focusWidget(), f->se_Room1);
            QCOMPARE(f->Prompt_Label->text(), QString());
            QCOMPARE(sim_->card().CardType[0], uint16_t(0));
            QCOMPARE(logRows(), 0);
        }
    }
    QCOMPARE(stayRows(), exists ? 1 : 0);
    QCOMPARE(scalar("select sum(CardSn) from RoomInfo").toInt(), exists ? 7 + 1 : 7);
}

void StaysTest::nightsBoxMovesTheEndDate_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("nights");  // the end date after the text, in days after the start
    QTest::newRow("3") << "3" << 3;
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("-2") << "-2" << -2;
    QTest::newRow("letters") << "abc" << 1;
    QTest::newRow("a fraction") << "1.5" << 1;
    QTest::newRow("empty") << "" << 1;
}

void StaysTest::nightsBoxMovesTheEndDate() {
    QFETCH(QString, text);
    QFETCH(int, nights);
    TGuestQuickIn_Form f;
    TCopyGuestCard_Form c;
    for (qv::GuestCardForm* w :
         {static_cast<qv::GuestCardForm*>(&f), static_cast<qv::GuestCardForm*>(&c)}) {
        w->Days_Edit->setText(text);
        QCOMPARE(w->ED_GQI_Dtp->date(), QDate(2025, 3, 1).addDays(nights));
        QCOMPARE(w->ET_GQI_Dtp->time(), QTime(12, 0));
    }
    // In the copy window the room box runs the same computation; bad text there is ignored too.
    c.se_Room1->setText("1203");
    QCOMPARE(c.ED_GQI_Dtp->date(), QDate(2025, 3, 1).addDays(nights));
    QVERIFY(dialogs_->boxes().isEmpty());

    // Picking the end date shows the nights.
    f.ED_GQI_Dtp->setDate(QDate(2025, 3, 6));
    QCOMPARE(f.Days_Edit->text(), QString("5"));
    QCOMPARE(f.ED_GQI_Dtp->date(), QDate(2025, 3, 6));
    // Typed: a letter after a number keeps the end where the number put it.
    f.Days_Edit->clear();
    QTest::keyClicks(f.Days_Edit, "4x");
    QCOMPARE(f.Days_Edit->text(), QString("4x"));
    QCOMPARE(f.ED_GQI_Dtp->date(), QDate(2025, 3, 5));
    QTest::keyClicks(f.Days_Edit, "123");
    QCOMPARE(f.Days_Edit->text(), QString("4x12"));  // four characters at most
}

void StaysTest::invalidRangeWritesNothing_data() {
    QTest::addColumn<int>("nights");
    QTest::addColumn<QTime>("endTime");
    QTest::newRow("end date before the start") << -1 << QTime(12, 0);
    QTest::newRow("same day, end time before the start") << 0 << QTime(12, 0);
}

void StaysTest::invalidRangeWritesNothing() {
    QFETCH(int, nights);
    QFETCH(QTime, endTime);
    TGuestQuickIn_Form f;
    TCopyGuestCard_Form c;
    for (qv::GuestCardForm* w :
         {static_cast<qv::GuestCardForm*>(&f), static_cast<qv::GuestCardForm*>(&c)}) {
        qv::CardOperation::releaseLatch();
        dialogs_->clear();
        w->se_Room1->setText("1203");
        w->Days_Edit->setText(QString::number(nights));
        w->ET_GQI_Dtp->setTime(endTime);
        QTest::mouseClick(w->Confirm_Bt, Qt::LeftButton);
        QCOMPARE(dialogs_->texts(), QStringList{"日期范围无效！"});
        QCOMPARE(dialogs_->last().icon, qv::Icon::Information);
        QVERIFY(w->Confirm_Bt->isEnabled());  // the corrected dates can be tried at once
        QCOMPARE(w->Prompt_Label->text(), QString());
    }
    QCOMPARE(sim_->card().CardType[0], uint16_t(0));
    QCOMPARE(roomCounter("1203"), 7);
    QCOMPARE(logRows(), 0);
    QCOMPARE(stayRows(), 0);
}

void StaysTest::roomListFillsTheRoomBox() {
    TGuestQuickIn_Form f;
    f.show();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QTest::mouseClick(f.CopyGuestCard_Bt, Qt::LeftButton);  // disabled: nothing
    bool shown = false;
    whenShown<TRoomList_Form>([&shown](TRoomList_Form* list) {
        shown = true;
        QTableView* grid = list->RoomInfo_DBGrid;
        // Picked from the end up: the box takes the last one in list order.
        for (const int row : {9, 2}) {
            const QPoint p = grid->visualRect(grid->model()->index(row, 0)).center();
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier, p);
        }
        saveScreenshot(list, "RoomList_Form-picker");
        QTest::mouseClick(list->Confirm_Bt, Qt::LeftButton);
    });
    QTest::keyClick(f.se_Room1, Qt::Key_F2);
    QVERIFY(shown);
    QCOMPARE(f.se_Room1->text(), QString("1202"));

    // Cancel leaves the box as it was; the copy window has no F2.
    whenShown<TRoomList_Form>([](TRoomList_Form* list) { QTest::keyClick(list, Qt::Key_Escape); });
    QTest::mouseClick(f.RoomList_Bt, Qt::LeftButton);
    QCOMPARE(f.se_Room1->text(), QString("1202"));

    TCopyGuestCard_Form c;
    c.show();
    QVERIFY(QTest::qWaitForWindowActive(&c));
    QTest::keyClick(c.se_Room1, Qt::Key_F2);
    QVERIFY(!QApplication::activeModalWidget() || QApplication::activeModalWidget() == &c);
    QCOMPARE(c.se_Room1->text(), QString());
}

void StaysTest::copyWindowWritesCopiesOfTheCurrentSerial() {
    dm->conn.execute("update RoomInfo set CardSn = 8 where RoomStr = '1203'");
    dm->conn.execute(
        "insert into GuestInRecord (Room, RoomStr, GuestName, Rom, GuestInTime, CardCounts) "
        "values (1203, '1203', '张三', '00000008', '2025-03-01 10:00:00', 1)");
    TCopyGuestCard_Form c;
    c.show();
    QVERIFY(QTest::qWaitForWindowExposed(&c));
    {
        // The caller puts the room in after creation: the end follows the nights again.
        const QSignalBlocker block(c.ED_GQI_Dtp);
        c.ED_GQI_Dtp->setDate(QDate(2025, 3, 9));
    }
    c.se_Room1->setText("1203");
    QCOMPARE(c.ED_GQI_Dtp->date(), QDate(2025, 3, 2));
    c.E_H_GQI->setText("王五");
    saveScreenshot(&c, "CopyGuestCard_Form");
    for (int i = 0; i < 2; ++i) {
        qv::CardOperation::releaseLatch();
        QVERIFY(sim_->command("place blank"));
        QTest::mouseClick(c.Confirm_Bt, Qt::LeftButton);
        QCOMPARE(c.Prompt_Label->text(), QString("操作成功！"));
        QVERIFY(c.Confirm_Bt->isEnabled());
        const TCardData card = sim_->card();
        QCOMPARE(CardSerial(card), 8);
        QCOMPARE(card.CardType[0], uint16_t(4));
        QCOMPARE(cardStart(card), QDateTime(QDate(2025, 3, 1), QTime(15, 30)));
        QCOMPARE(cardEnd(card), QDateTime(QDate(2025, 3, 2), QTime(12, 10)));
    }
    QVERIFY(RoomBoardChanged);
    QCOMPARE(roomCounter("1203"), 8);
    QCOMPARE(scalar("select CardCounts from GuestInRecord").toInt(), 1);
    QCOMPARE(stayRows(), 1);
    qv::DataSet log(dm->conn);
    log.setSql("select * from MakeCardRecord order by ID");
    log.open();
    QCOMPARE(log.recordCount(), 2);
    for (log.first(); !log.eof(); log.next()) {
        QCOMPARE(log.text("Rom"), QString("01020300000008"));
        QCOMPARE(log.text("Holder"), QString("王五"));
        QCOMPARE(log.text("Explain"), QString("1"));
    }
    // A card that cannot be written is not logged.
    qv::CardOperation::releaseLatch();
    QVERIFY(sim_->command("set fail-next 1"));
    QTest::mouseClick(c.Confirm_Bt, Qt::LeftButton);
    QCOMPARE(c.Prompt_Label->text(), QString("操作失败！"));
    QCOMPARE(logRows(), 2);
}

void StaysTest::copyWindowRefusesAnUnknownRoom() {
    TCopyGuestCard_Form c;
    c.se_Room1->setText("9999");
    QTest::mouseClick(c.Confirm_Bt, Qt::LeftButton);
    QCOMPARE(dialogs_->texts(), QStringList{"没有该房号！"});
    QCOMPARE(sim_->card().CardType[0], uint16_t(0));
    QCOMPARE(logRows(), 0);
    QVERIFY(!qv::CardOperation::busy());
    // An empty box does nothing at all.
    dialogs_->clear();
    c.se_Room1->clear();
    QTest::mouseClick(c.Confirm_Bt, Qt::LeftButton);
    QVERIFY(dialogs_->boxes().isEmpty());
}

void StaysTest::checkOutClosesTheCurrentRow() {
    for (const QString room : {"1101", "1102", "1103"}) {
        dm->conn.execute(
            "insert into GuestInRecord (Room, RoomStr, GuestInTime) values (:n, :r, '2025-03-01 "
            "10:00:00')",
            {{":n", room.toInt()}, {":r", room}});
    }
    dm->conn.execute(
        "insert into GuestInRecord (Room, RoomStr, enOverride) values (1104, '1104', 1)");
    TGuestLeave_Form leave;
    leave.show();
    QVERIFY(QTest::qWaitForWindowExposed(&leave));
    QTableView* grid = leave.GuestInRecord_DBGrid;
    QCOMPARE(grid->model()->rowCount(), 3);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(grid->model()->index(1, 0)).center());
    // Enter in the list checks nobody out: no button is the default.
    QVERIFY(QTest::qWaitForWindowActive(&leave));
    QVERIFY(!leave.NoCardConfirm_Bt->isDefault() && !leave.NoCardConfirm_Bt->autoDefault());
    QVERIFY(!leave.Close_Bt->isDefault() && !leave.Close_Bt->autoDefault());
    QTest::keyClick(grid, Qt::Key_Return);
    QTest::keyClick(grid, Qt::Key_Enter);
    QCOMPARE(scalar("select count(*) from GuestInRecord where enOverride = 1").toInt(), 1);
    QVERIFY(!RoomBoardChanged);
    QVERIFY(leave.isVisible());
    QCOMPARE(leave.Close_Bt->text(), QString("关闭(&C)"));
    // Its accelerator checks the current row's guest out.
    QTest::keyClick(grid, Qt::Key_U, Qt::AltModifier);
    QTRY_COMPARE(
        scalar("select RoomStr from GuestInRecord where enOverride = 1 and RoomStr <> '1104'")
            .toString(),
        QString("1102"));
    QCOMPARE(grid->model()->rowCount(), 2);
    // The next stay took the closed one's place.
    QCOMPARE(grid->currentIndex().row(), 1);
    QCOMPARE(leave.GL_ADO->text("RoomStr"), QString("1103"));
    QVERIFY(RoomBoardChanged);

    // The room board's pop-up closes a room's stay the same way.
    QVERIFY(CheckOutRoom("1101"));
    QVERIFY(!CheckOutRoom("1101"));
    QCOMPARE(scalar("select count(*) from GuestInRecord where enOverride = 0").toInt(), 1);
}

void StaysTest::escapeClosesEveryWindow_data() {
    QTest::addColumn<QString>("window");
    QTest::newRow("check-in") << "GuestQuickIn_Form";
    QTest::newRow("copy") << "CopyGuestCard_Form";
    QTest::newRow("check-out") << "GuestLeave_Form";
    QTest::newRow("continue stay") << "ModifyGuestCard_Form";
    QTest::newRow("hourly room") << "ClockRoom_Form";
}

void StaysTest::escapeClosesEveryWindow() {
    QFETCH(QString, window);
    std::unique_ptr<QDialog> w;
    if (window == "GuestQuickIn_Form")
        w = std::make_unique<TGuestQuickIn_Form>();
    if (window == "CopyGuestCard_Form")
        w = std::make_unique<TCopyGuestCard_Form>();
    if (window == "GuestLeave_Form")
        w = std::make_unique<TGuestLeave_Form>();
    if (window == "ModifyGuestCard_Form")
        w = std::make_unique<TModifyGuestCard_Form>();
    if (window == "ClockRoom_Form")
        w = std::make_unique<TClockRoom_Form>();
    QCOMPARE(w->objectName(), window);
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QWidget* focus = w->focusWidget() ? w->focusWidget() : w.get();
    QTest::keyClick(focus, Qt::Key_Escape);
    QVERIFY(!w->isVisible());
    QCOMPARE(w->result(), int(QDialog::Rejected));
}

void StaysTest::textsFromTheLanguageStore() {
    delete new TCopyGuestCard_Form;  // creates the store
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "store");
        db.setDatabaseName(fx.app->file("db/Language.db"));
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString form : {"GuestQuickIn_Form", "CopyGuestCard_Form"}) {
            QVERIFY(q.prepare(
                "insert into Dialog_Table (AppName, FormName, DialogID, LanguageID, Title, "
                "MessageStr) values ('Quorvane', ?, 1, 1033, 'Messages', 'No such room!')"));
            q.addBindValue(form);
            QVERIFY(q.exec());
        }
        QVERIFY(
            q.exec("insert into Component_Table (AppName, FormName, ComponentName, LanguageID, "
                   "ComponentClass, ComponentProperty) values ('Quorvane', 'CopyGuestCard_Form', "
                   "'Confirm_Bt', 1033, 'QPushButton', 'text:Copy card(&Y)')"));
    }
    QSqlDatabase::removeDatabase("store");
    LockSystemInfo.LanguageID = 1033;
    TCopyGuestCard_Form c;
    QCOMPARE(c.Confirm_Bt->text(), QString("Copy card(&Y)"));
    TGuestQuickIn_Form f;
    QCOMPARE(f.Confirm_Bt->text(), QString("开房(&Y)"));  // no row: the built-in text
    for (qv::GuestCardForm* w :
         {static_cast<qv::GuestCardForm*>(&f), static_cast<qv::GuestCardForm*>(&c)}) {
        dialogs_->clear();
        w->se_Room1->setText("no such room");
        QTest::mouseClick(w->Confirm_Bt, Qt::LeftButton);
        QCOMPARE(dialogs_->texts(), QStringList{"No such room!"});
    }
}

void StaysTest::promptClearedByANewCardAndANewRoom() {
    TGuestQuickIn_Form f;
    f.se_Room1->setText("1203");
    QTest::mouseClick(f.Confirm_Bt, Qt::LeftButton);
    QCOMPARE(f.Prompt_Label->text(), QString("操作成功！"));
    // A new room: the old result goes.
    QTest::keyClick(f.se_Room1, Qt::Key_Backspace);
    QCOMPARE(f.Prompt_Label->text(), QString());

    // A new card operation that fails its check: the old result does not
    // stand under the new error.
    qv::CardOperation::releaseLatch();
    f.se_Room1->setText("1203");
    QVERIFY(sim_->command("place blank"));
    QTest::mouseClick(f.Confirm_Bt, Qt::LeftButton);
    QCOMPARE(f.Prompt_Label->text(), QString("操作成功！"));
    qv::CardOperation::releaseLatch();
    f.Days_Edit->setText("-1");
    QTest::mouseClick(f.CopyGuestCard_Bt, Qt::LeftButton);
    QCOMPARE(dialogs_->texts(), QStringList{"日期范围无效！"});
    QCOMPARE(dialogs_->last().title, QStringLiteral("信息提示"));
    QCOMPARE(dialogs_->last().icon, qv::Icon::Information);
    QCOMPARE(dialogs_->last().buttons, qv::Buttons::Ok);
    QCOMPARE(f.Prompt_Label->text(), QString());

    // A press the card latch turns away is no new operation: the result stays.
    TCopyGuestCard_Form c;
    c.se_Room1->setText("1203");
    qv::CardOperation::releaseLatch();
    QTest::mouseClick(c.Confirm_Bt, Qt::LeftButton);
    QCOMPARE(c.Prompt_Label->text(), QString("操作成功！"));
    QTest::mouseClick(c.Confirm_Bt, Qt::LeftButton);  // within the latch's half second
    QCOMPARE(c.Prompt_Label->text(), QString("操作成功！"));
    QCOMPARE(logRows(), 3);
    // A new one starts with an empty prompt: the encoder's answer replaces it.
    qv::CardOperation::releaseLatch();
    QVERIFY(sim_->command("remove"));
    QTest::mouseClick(c.Confirm_Bt, Qt::LeftButton);
    QCOMPARE(c.Prompt_Label->text(), QString("无卡！"));
    c.se_Room1->setText("1101");
    QCOMPARE(c.Prompt_Label->text(), QString());
}

void StaysTest::confirmPauseYieldsToTheRoomBox() {
    TGuestQuickIn_Form f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QTest::keyClicks(f.se_Room1, "1203");
    QTest::mouseClick(f.Confirm_Bt, Qt::LeftButton);
    QCOMPARE(f.Prompt_Label->text(), QString("操作成功！"));
    // The clerk types the next room within the half second: both buttons
    // follow the room box, and the pause does not undo it.
    f.se_Room1->selectAll();
    QTest::keyClicks(f.se_Room1, "1101");
    QVERIFY(f.Confirm_Bt->isEnabled() && !f.CopyGuestCard_Bt->isEnabled());
    QTest::qWait(700);
    QVERIFY(f.Confirm_Bt->isEnabled());
    qv::CardOperation::releaseLatch();
    QVERIFY(sim_->command("place blank"));
    QTest::mouseClick(f.Confirm_Bt, Qt::LeftButton);
    QCOMPARE(f.Prompt_Label->text(), QString("操作成功！"));
    QCOMPARE(scalar("select count(*) from GuestInRecord where RoomStr = '1101'").toInt(), 1);

    // After a failed card the button comes back after the pause, as before.
    qv::CardOperation::releaseLatch();
    QVERIFY(sim_->command("remove"));
    f.se_Room1->setText("1102");
    QTest::mouseClick(f.Confirm_Bt, Qt::LeftButton);
    QVERIFY(!f.Confirm_Bt->isEnabled());
    QTRY_VERIFY(f.Confirm_Bt->isEnabled());
}

void StaysTest::namesKeepWholeCharacters() {
    // Nineteen characters and an emoji (two UTF-16 units) at the limit of 20.
    const QString nineteen = QString("张").repeated(19);
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    TGuestQuickIn_Form f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    f.E_H_GQI->setFocus();
    f.E_H_GQI->insert(nineteen);
    f.E_H_GQI->insert(emoji);  // as an input method commits it
    QCOMPARE(f.E_H_GQI->text(), nineteen);
    f.GuestCode_Edit->setText("12345678901234567" + emoji + emoji);
    QCOMPARE(f.GuestCode_Edit->text(), QString("12345678901234567") + emoji);
    // Below the limit an emoji is kept whole.
    f.E_H_GQI->setText(QString("张").repeated(18) + emoji);
    QCOMPARE(f.E_H_GQI->text(), QString("张").repeated(18) + emoji);
    f.E_H_GQI->setText(nineteen + emoji);
    f.se_Room1->setText("1203");
    QTest::mouseClick(f.Confirm_Bt, Qt::LeftButton);
    QCOMPARE(f.Prompt_Label->text(), QString("操作成功！"));
    // What the database holds reads back as the text typed, in valid UTF-8.
    for (const char* table : {"GuestInRecord", "MakeCardRecord"}) {
        const QString column = QString(table) == "GuestInRecord" ? "GuestName" : "Holder";
        const QString stored =
            scalar(QString("select %1 from %2").arg(column, QLatin1String(table))).toString();
        QCOMPARE(stored, nineteen);
        QCOMPARE(stored.toUtf8(), nineteen.toUtf8());
    }
    const QString explain = scalar("select Explain from MakeCardRecord").toString();
    QCOMPARE(explain, QString("12345678901234567") + emoji);
    QVERIFY(!explain.toUtf8().contains("\xED"));
}

namespace {
// Checks 1203 in for a card from 1 March 15:20 to 3 March 12:00, logged for 张三.
void checkIn1203ForTwoNights() {
    qv::stays::GuestCard in;
    in.roomStr = "1203";
    in.start = QDateTime(QDate(2025, 3, 1), QTime(15, 20));
    in.end = QDateTime(QDate(2025, 3, 3), QTime(12, 0));
    in.guestName = "张三";
    in.document = "110101199001011234";
    QVERIFY(qv::stays::checkIn(in).written());
}
}  // namespace

void StaysTest::continueStay() {
    checkIn1203ForTwoNights();
    QCOMPARE(roomCounter("1203"), 8);
    RoomBoardChanged = false;
    qv::session().login = "desk2";

    TModifyGuestCard_Form m;
    QCOMPARE(m.objectName(), QString("ModifyGuestCard_Form"));
    QCOMPARE(m.windowTitle(), QString("续房"));
    QCOMPARE(m.Confirm_Bt->text(), QString("发卡(&Y)"));
    QCOMPARE(m.Button1->text(), QString("读  卡"));
    QCOMPARE(m.Room_Label->text(), QString("房号："));
    QCOMPARE(m.GuestCode_Label->text(), QString("证   件："));
    QCOMPARE(m.GuestCode_Edit->text(), QString("1"));
    QVERIFY(m.se_Room1->isReadOnly());
    QVERIFY(m.RoomList_Bt->isHidden() && m.RoomHint_Label->isHidden());
    QCOMPARE(m.Days_Edit->maxLength(), 32767);
    m.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m));
    saveScreenshot(&m, "ModifyGuestCard_Form");

    // The guest's card on the encoder, read.
    QTest::mouseClick(m.Button1, Qt::LeftButton);
    QCOMPARE(m.se_Room1->text(), QString("1203"));
    QCOMPARE(m.E_H_GQI->text(), QString("张三"));
    QCOMPARE(m.GuestCode_Edit->text(), QString("110101199001011234"));
    QCOMPARE(m.SD_GQI_Dtp->date(), QDate(2025, 3, 1));
    QCOMPARE(m.ST_GQI_Dtp->time(), QTime(15, 20));
    QCOMPARE(m.ED_GQI_Dtp->date(), QDate(2025, 3, 3));
    QCOMPARE(m.ET_GQI_Dtp->time(), QTime(12, 0));  // the hotel's check-out time
    QCOMPARE(m.Days_Edit->text(), QString("2"));
    QCOMPARE(m.Prompt_Label->text(), QString());
    saveScreenshot(&m, "ModifyGuestCard_Form-read");

    // Two nights more.
    m.Days_Edit->selectAll();
    QTest::keyClicks(m.Days_Edit, "4");
    QCOMPARE(m.ED_GQI_Dtp->date(), QDate(2025, 3, 5));
    QTest::mouseClick(m.Confirm_Bt, Qt::LeftButton);
    QVERIFY2(dialogs_->boxes().isEmpty(), qPrintable(dialogs_->texts().join('\n')));
    QCOMPARE(m.Prompt_Label->text(), QString("操作成功！"));
    QVERIFY(RoomBoardChanged);
    QVERIFY(m.Confirm_Bt->isEnabled());
    QCOMPARE(m.se_Room1->text(), QString());  // the next guest's card is read first
    saveScreenshot(&m, "ModifyGuestCard_Form-done");

    // The card, as the encoder tool shows it: serial 0, the room's address,
    // from the old start plus the tolerance to 5 March at LeaveTime plus it.
    QString shown;
    QCOMPARE(sim_->tool({"show"}, &shown), 0);
    for (const char* line :
         {"Kind: 4 guest card", "Serial: 0 (CardSn 0 0 0 0 0)",
          "Lock address: room 3, building 1, floor 2 (RoomAddr 3 1 2 0 0 0 0)", "Building: 1",
          "Floor: 2", "Override: 1", "Start: 2025-03-01 15:30", "End: 2025-03-05 12:10"}) {
        QVERIFY2(shown.simplified().contains(QLatin1String(line)), qPrintable(shown));
    }
    // ... and the database, field by field.
    QCOMPARE(roomCounter("1203"), 8);
    qv::DataSet log(dm->conn);
    log.setSql("select * from MakeCardRecord order by ID desc");
    log.open();
    QCOMPARE(log.recordCount(), 2);
    QCOMPARE(log.text("Rom"), QString("01020300000000"));
    QCOMPARE(log.text("RoomStr"), QString("1203"));
    QCOMPARE(log.asInteger("CardType"), 4);
    QCOMPARE(log.text("Holder"), QString("张三"));
    QCOMPARE(log.text("Explain"), QString("110101199001011234"));
    QCOMPARE(log.text("StartTime"), QString("2025-03-01 15:30:00"));
    QCOMPARE(log.text("EndTime"), QString("2025-03-05 12:10:00"));
    QCOMPARE(log.text("MakeUser"), QString("desk2"));
    qv::DataSet stay(dm->conn);
    stay.setSql("select * from GuestInRecord");
    stay.open();
    QCOMPARE(stay.recordCount(), 1);
    QCOMPARE(stay.text("GuestLeaveTime"), QString("2025-03-05 12:10:00"));
    QCOMPARE(stay.text("InputUser"), QString("desk2"));
    QCOMPARE(stay.text("GuestInTime"), QString("2025-03-01 15:20:00"));
    QCOMPARE(stay.text("Rom"), QString("00000008"));
    QCOMPARE(stay.text("MakeName"), QString("前台一"));
    QCOMPARE(stay.asInteger("CardCounts"), 1);

    // The extended card read again: each extension starts the tolerance later.
    qv::CardOperation::releaseLatch();
    QTest::mouseClick(m.Button1, Qt::LeftButton);
    QCOMPARE(m.ST_GQI_Dtp->time(), QTime(15, 30));
    QCOMPARE(m.Days_Edit->text(), QString("4"));
    QCOMPARE(m.E_H_GQI->text(), QString("张三"));
    QTest::mouseClick(m.Confirm_Bt, Qt::LeftButton);
    QCOMPARE(cardStart(sim_->card()), QDateTime(QDate(2025, 3, 1), QTime(15, 40)));
    QCOMPARE(scalar("select GuestLeaveTime from GuestInRecord").toDateTime(),
             QDateTime(QDate(2025, 3, 5), QTime(12, 10)));
}

// After the room went to the next guest, the former guest's cards extend
// nothing: each is refused when read, and nothing is written.
void StaysTest::continueStayRefusesAFormerGuestsCard() {
    using namespace qv::stays;
    auto image = [this] {
        QFile f(sim_->stateFile("card.txt"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    checkIn1203ForTwoNights();  // 张三
    const QByteArray firstCard = image();
    GuestCard extended;
    extended.roomStr = "1203";
    extended.start = QDateTime(QDate(2025, 3, 1), QTime(15, 30));
    extended.end = QDateTime(QDate(2025, 3, 4), QTime(12, 0));
    extended.guestName = "张三";
    extended.document = "110101199001011234";
    QVERIFY(qv::stays::continueStay(extended).written());
    const QByteArray extendedCard = image();
    QVERIFY(CheckOutRoom("1203"));
    GuestCard next = extended;
    next.start = QDateTime(QDate(2025, 3, 4), QTime(14, 0));
    next.end = QDateTime(QDate(2025, 3, 6), QTime(12, 0));
    next.guestName = "李四";
    next.document = "220202198502025678";
    QVERIFY(checkIn(next).written());
    const QByteArray nextCard = image();
    const int logBefore = logRows();
    const QVariant leaveBefore =
        scalar("select GuestLeaveTime from GuestInRecord where enOverride = 0");

    TModifyGuestCard_Form m;
    m.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m));
    for (const QByteArray& former : {firstCard, extendedCard}) {
        sim_->writeState("card.txt", former);
        qv::CardOperation::releaseLatch();
        QTest::mouseClick(m.Button1, Qt::LeftButton);
        QCOMPARE(m.Prompt_Label->text(), QString("这张卡不是该房间当前入住客人的卡，不能续房！"));
        QCOMPARE(m.se_Room1->text(), QString());
        saveScreenshot(&m, "ModifyGuestCard_Form-former-guest");
        QTest::mouseClick(m.Confirm_Bt, Qt::LeftButton);
        QCOMPARE(image(), former);  // nothing written
    }
    QCOMPARE(logRows(), logBefore);
    QCOMPARE(scalar("select GuestLeaveTime from GuestInRecord where enOverride = 0"), leaveBefore);
    QVERIFY(dialogs_->boxes().isEmpty());

    // The service refuses it too, should the window have read it before the
    // room changed hands.
    sim_->writeState("card.txt", firstCard);
    const ReadGuestCard read = readGuestCard();
    QVERIFY(read.openStay && !read.ofOpenStay);
    GuestCard again = extended;
    again.replaces = read.origin();
    QCOMPARE(qv::stays::continueStay(again).outcome, Outcome::NotOfOpenStay);
    QCOMPARE(logRows(), logBefore);

    // A card the log does not know counts by its start against the stay's.
    placeGuestCard1203(*sim_, 3, QDateTime(QDate(2025, 3, 2), QTime(9, 0)),
                       QDateTime(QDate(2025, 3, 3), QTime(12, 0)));
    QVERIFY(!readGuestCard().ofOpenStay);
    placeGuestCard1203(*sim_, 3, QDateTime(QDate(2025, 3, 4), QTime(14, 0)),
                       QDateTime(QDate(2025, 3, 6), QTime(12, 0)));
    QVERIFY(readGuestCard().ofOpenStay);

    // The new guest's own card extends the new guest's stay.
    sim_->writeState("card.txt", nextCard);
    qv::CardOperation::releaseLatch();
    QTest::mouseClick(m.Button1, Qt::LeftButton);
    QCOMPARE(m.se_Room1->text(), QString("1203"));
    QCOMPARE(m.E_H_GQI->text(), QString("李四"));
    QCOMPARE(m.Prompt_Label->text(), QString());
    m.Days_Edit->selectAll();
    QTest::keyClicks(m.Days_Edit, "3");
    QTest::mouseClick(m.Confirm_Bt, Qt::LeftButton);
    QCOMPARE(m.Prompt_Label->text(), QString("操作成功！"));
    QCOMPARE(logRows(), logBefore + 1);
    QCOMPARE(scalar("select GuestName from GuestInRecord where enOverride = 0").toString(),
             QString("李四"));
    QCOMPARE(scalar("select GuestLeaveTime from GuestInRecord where enOverride = 0").toDateTime(),
             QDateTime(QDate(2025, 3, 7), QTime(12, 10)));
}

void StaysTest::continueStayRefusals_data() {
    QTest::addColumn<QString>("card");    // what lies on the encoder
    QTest::addColumn<QString>("prompt");  // after "读  卡"
    QTest::addColumn<QString>("room");    // the room box after it
    QTest::addColumn<QString>("issued");  // the prompt after "发卡(&Y)" ("" : nothing happens)
    QTest::newRow("no card") << "remove"
                             << "无卡！"
                             << ""
                             << "";
    QTest::newRow("no encoder") << "set online 0"
                                << "无发卡机！"
                                << ""
                                << "";
    QTest::newRow("a master card") << "master"
                                   << "不是客人卡！"
                                   << ""
                                   << "";
    QTest::newRow("another hotel's card") << "foreign"
                                          << "卡上的房间不存在！"
                                          << ""
                                          << "";
    QTest::newRow("a room without an open stay") << "no stay"
                                                 << ""
                                                 << "1203"
                                                 << "该房间没有入住记录，不能续房！";
    QTest::newRow("the write fails") << "fail"
                                     << ""
                                     << "1203"
                                     << "操作失败！";
}

void StaysTest::continueStayRefusals() {
    QFETCH(QString, card);
    QFETCH(QString, prompt);
    QFETCH(QString, room);
    QFETCH(QString, issued);
    checkIn1203ForTwoNights();
    const QDateTime start(QDate(2025, 3, 1), QTime(15, 20));
    if (card == "master") {
        placeCard(*sim_, CardTypes::Master, 1, 2, 3, 5, start, start.addDays(300));
    } else if (card == "foreign") {
        placeCard(*sim_, CardTypes::Guest, 7, 30, 1, 5, start, start.addDays(2));
    } else if (card == "no stay") {
        CheckOutRoom("1203");
    } else if (card != "fail") {
        QVERIFY(sim_->command(card));
    }
    const int logBefore = logRows();
    RoomBoardChanged = false;

    TModifyGuestCard_Form m;
    // "发卡(&Y)" before any card was read does nothing.
    QTest::mouseClick(m.Confirm_Bt, Qt::LeftButton);
    QCOMPARE(m.Prompt_Label->text(), QString());
    QVERIFY(!qv::CardOperation::busy());
    m.Prompt_Label->setText("操作成功！");  // an earlier extension's result
    QTest::mouseClick(m.Button1, Qt::LeftButton);
    QCOMPARE(m.Prompt_Label->text(), prompt);
    QCOMPARE(m.se_Room1->text(), room);
    if (card == "fail") {
        QVERIFY(sim_->command("set fail-next 1"));
    }
    QTest::mouseClick(m.Confirm_Bt, Qt::LeftButton);
    if (!issued.isEmpty()) {
        QCOMPARE(m.Prompt_Label->text(), issued);
        QVERIFY(m.Confirm_Bt->isEnabled());
    }
    QVERIFY(dialogs_->boxes().isEmpty());
    QVERIFY(!RoomBoardChanged);
    // No card written, no record changed: the stay keeps its end.
    QCOMPARE(logRows(), logBefore);
    QCOMPARE(roomCounter("1203"), 8);
    QCOMPARE(scalar("select GuestLeaveTime from GuestInRecord").toDateTime(),
             QDateTime(QDate(2025, 3, 3), QTime(12, 0)));
    QCOMPARE(scalar("select InputUser from GuestInRecord").toString(), QString("desk1"));
    if (card == "fail" || card == "no stay") {
        QCOMPARE(CardSerial(sim_->card()), 8);  // the guest's card as it was
    }
}

void StaysTest::continueStayKeysAndNights() {
    checkIn1203ForTwoNights();
    TModifyGuestCard_Form m;
    m.show();
    QVERIFY(QTest::qWaitForWindowActive(&m));
    QTest::mouseClick(m.Button1, Qt::LeftButton);
    // A letter in the nights box is ignored, as in the other guest windows.
    m.Days_Edit->setText("3x");
    QCOMPARE(m.ED_GQI_Dtp->date(), QDate(2025, 3, 3));
    QVERIFY(dialogs_->boxes().isEmpty());
    // F2 does nothing here.
    bool listed = false;
    bool missed = false;
    whenShown<TRoomList_Form>(
        [&listed](TRoomList_Form* list) {
            listed = true;
            list->reject();
        },
        300, &missed);
    m.Days_Edit->setFocus();
    QTest::keyClick(m.Days_Edit, Qt::Key_F2);
    QTRY_VERIFY(missed);
    QVERIFY(!listed);
    QVERIFY(m.isVisible());
    QTest::keyClick(m.Days_Edit, Qt::Key_Escape);
    QVERIFY(!m.isVisible());
}

void StaysTest::hourlyRoom() {
    TClockRoom_Form h;
    QCOMPARE(h.objectName(), QString("ClockRoom_Form"));
    QCOMPARE(h.windowTitle(), QString("开钟点房--发行客人卡"));
    QCOMPARE(h.Days_Label->text(), QString("入住钟点："));
    QCOMPARE(h.DaysUnit_Label->text(), QString("小时"));
    QVERIFY(!h.DaysUnit_Label->isHidden());
    QCOMPARE(h.Confirm_Bt->text(), QString("发卡(&Y)"));
    QCOMPARE(h.Days_Edit->maxLength(), 4);
    // Opened at 15:20: one hour.
    QCOMPARE(h.Days_Edit->text(), QString("1"));
    QCOMPARE(h.SD_GQI_Dtp->date(), QDate(2025, 3, 1));
    QCOMPARE(h.ST_GQI_Dtp->time(), QTime(15, 20));
    QCOMPARE(h.ED_GQI_Dtp->date(), QDate(2025, 3, 1));
    QCOMPARE(h.ET_GQI_Dtp->time(), QTime(16, 20));
    h.show();
    QVERIFY(QTest::qWaitForWindowActive(&h));
    QTest::keyClicks(h.se_Room1, "1203");
    h.Days_Edit->selectAll();
    QTest::keyClicks(h.Days_Edit, "3");
    QCOMPARE(h.ET_GQI_Dtp->time(), QTime(18, 20));
    h.E_H_GQI->setText("王五");
    saveScreenshot(&h, "ClockRoom_Form");
    QTest::mouseClick(h.Confirm_Bt, Qt::LeftButton);
    QVERIFY2(dialogs_->boxes().isEmpty(), qPrintable(dialogs_->texts().join('\n')));
    QCOMPARE(h.Prompt_Label->text(), QString("操作成功！"));
    QVERIFY(RoomBoardChanged);
    QVERIFY(h.Confirm_Bt->isEnabled());  // at once, no pause
    saveScreenshot(&h, "ClockRoom_Form-done");
    // A check-in's card and records: counter 7, card 8, counter 8.
    const TCardData card = sim_->card();
    QCOMPARE(CardSerial(card), 8);
    QCOMPARE(card.CardType[0], CardTypes::Guest);
    QCOMPARE(cardStart(card), QDateTime(QDate(2025, 3, 1), QTime(15, 30)));
    QCOMPARE(cardEnd(card), QDateTime(QDate(2025, 3, 1), QTime(18, 30)));
    QCOMPARE(roomCounter("1203"), 8);
    QCOMPARE(scalar("select Rom from MakeCardRecord").toString(), QString("01020300000008"));
    qv::DataSet stay(dm->conn);
    stay.setSql("select * from GuestInRecord");
    stay.open();
    QCOMPARE(stay.recordCount(), 1);
    QCOMPARE(stay.text("GuestName"), QString("王五"));
    QCOMPARE(stay.text("Rom"), QString("00000008"));
    QCOMPARE(stay.text("GuestInTime"), QString("2025-03-01 15:30:00"));
    QCOMPARE(stay.text("GuestLeaveTime"), QString("2025-03-01 18:30:00"));
    // Again for the open stay: one more card counted, F2 for the room list.
    qv::CardOperation::releaseLatch();
    QVERIFY(sim_->command("place blank"));
    QTest::mouseClick(h.Confirm_Bt, Qt::LeftButton);
    QCOMPARE(CardSerial(sim_->card()), 9);
    QCOMPARE(scalar("select CardCounts from GuestInRecord").toInt(), 2);
    bool listed = false;
    whenShown<TRoomList_Form>([&listed](TRoomList_Form* list) {
        listed = true;
        QTest::keyClick(list, Qt::Key_Escape);
    });
    h.se_Room1->setFocus();
    QTest::keyClick(h.se_Room1, Qt::Key_F2);
    QVERIFY(listed);
}

void StaysTest::hourlyRoomEnds_data() {
    QTest::addColumn<QTime>("opened");
    QTest::addColumn<QString>("hours");        // typed ("" : none)
    QTest::addColumn<QDateTime>("pickedEnd");  // picked instead (invalid: none)
    QTest::addColumn<QString>("shown");        // Days_Edit afterwards
    QTest::addColumn<QDateTime>("end");        // the pickers' end afterwards
    const QDate day(2025, 3, 1);
    QTest::newRow("15:20 + 1 h") << QTime(15, 20) << "1" << QDateTime() << "1"
                                 << QDateTime(day, QTime(16, 20));
    QTest::newRow("22:30 + 3 h ends the next day")
        << QTime(22, 30) << "3" << QDateTime() << "3" << QDateTime(day.addDays(1), QTime(1, 30));
    QTest::newRow("letters are ignored")
        << QTime(15, 20) << "ab" << QDateTime() << "ab" << QDateTime(day, QTime(16, 20));
    QTest::newRow("2 h 30 min picked: 2.5, the end kept")
        << QTime(15, 20) << "" << QDateTime(day, QTime(17, 50)) << "2.5"
        << QDateTime(day, QTime(17, 50));
    QTest::newRow("12 h 40 min picked: 13, the end moved")
        << QTime(10, 0) << "" << QDateTime(day, QTime(22, 40)) << "13"
        << QDateTime(day, QTime(23, 0));
    QTest::newRow("the next day picked")
        << QTime(15, 20) << "" << QDateTime(day.addDays(1), QTime(15, 20)) << "24"
        << QDateTime(day.addDays(1), QTime(15, 20));
}

void StaysTest::hourlyRoomEnds() {
    QFETCH(QTime, opened);
    QFETCH(QString, hours);
    QFETCH(QDateTime, pickedEnd);
    QFETCH(QString, shown);
    QFETCH(QDateTime, end);
    qv::Clock::setTestTime(QDateTime(QDate(2025, 3, 1), opened));
    TClockRoom_Form h;
    if (!hours.isEmpty()) {
        h.Days_Edit->setText(hours);
    }
    if (pickedEnd.isValid()) {
        h.ET_GQI_Dtp->setTime(pickedEnd.time());
        h.ED_GQI_Dtp->setDate(pickedEnd.date());
    }
    QCOMPARE(h.Days_Edit->text(), shown);
    QCOMPARE(QDateTime(h.ED_GQI_Dtp->date(), h.ET_GQI_Dtp->time()), end);
    QCOMPARE(h.StayEnd(), end.addSecs(600));
}

void StaysTest::hourlyRoomHoursText_data() {
    QTest::addColumn<int>("minutes");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "0";
    QTest::newRow("60") << 60 << "1";
    QTest::newRow("150") << 150 << "2.5";
    QTest::newRow("15") << 15 << "0.25";
    QTest::newRow("5") << 5 << "0.083";
    QTest::newRow("760") << 760 << "13";
    QTest::newRow("598") << 598 << "10";
    QTest::newRow("7380") << 7380 << "120";
    QTest::newRow("-150") << -150 << "-2.5";
    QTest::newRow("-760") << -760 << "-13";
}

void StaysTest::hourlyRoomHoursText() {
    QFETCH(int, minutes);
    QFETCH(QString, text);
    const QDateTime start(QDate(2025, 3, 1), QTime(15, 20));
    QCOMPARE(TClockRoom_Form::hoursText(start, start.addSecs(minutes * 60)), text);
}

void StaysTest::hourlyRoomFailures_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("hours");
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("no card") << "remove"
                             << "1"
                             << "操作失败！" << QStringList{};
    QTest::newRow("no encoder") << "set online 0"
                                << "1"
                                << "操作失败！" << QStringList{};
    QTest::newRow("write fails") << "set fail-next 1"
                                 << "1"
                                 << "操作失败！" << QStringList{};
    QTest::newRow("negative hours") << ""
                                    << "-2"
                                    << "" << QStringList{"日期范围无效！"};
}

void StaysTest::hourlyRoomFailures() {
    QFETCH(QString, setup);
    QFETCH(QString, hours);
    QFETCH(QString, prompt);
    QFETCH(QStringList, boxes);
    if (!setup.isEmpty()) {
        QVERIFY(sim_->command(setup));
    }
    TClockRoom_Form h;
    h.se_Room1->setText("1203");
    h.Days_Edit->setText(hours);
    QTest::mouseClick(h.Confirm_Bt, Qt::LeftButton);
    QCOMPARE(h.Prompt_Label->text(), prompt);
    QCOMPARE(dialogs_->texts(), boxes);
    QVERIFY(h.Confirm_Bt->isEnabled());  // the corrected stay can be tried at once
    QVERIFY(!RoomBoardChanged);
    QCOMPARE(roomCounter("1203"), 7);
    QCOMPARE(logRows(), 0);
    QCOMPARE(stayRows(), 0);
    // An unknown room: the message and the focus on the room box.
    dialogs_->clear();
    h.se_Room1->setText("9999");
    QTest::mouseClick(h.Confirm_Bt, Qt::LeftButton);
    QCOMPARE(dialogs_->texts(), QStringList{"没有该房号！"});
}

QTEST_MAIN(StaysTest)
#include "tst_stays.moc"
