// The road of a check-in, as an operator walks it: log on, F1, door plate,
// card on the encoder, the board after the next tick; then a copy of the
// card, check-out from the window and from the board's pop-up menu.
#include "SimEncoder.h"
#include "TestSupport.h"
#include "data/Session.h"
#include "window/CardOperation.h"

#include "app/Logon_Unit.h"
#include "app/MainWindowFactory.h"
#include "app/StartUp.h"
#include "card/CardFunctions.h"
#include "data/DemoHotel.h"
#include "data/Passwords.h"
#include "data/dm_unit.h"
#include "main/Main.h"
#include "main/RoomBoardModel.h"
#include "platform/Application.h"
#include "platform/Clock.h"
#include "platform/TestDialogs.h"
#include "settings/Settings.h"
#include "stays/ClockRoom_Unit.h"
#include "stays/CopyGuestCard_Unit.h"
#include "stays/GuestLeave_Unit.h"
#include "stays/GuestQuickIn_Unit.h"
#include "stays/ModifyGuestCard_Unit.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>
#include <memory>

class RoadTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void checkInCopyAndCheckOut();
    void continueStayAndHourlyRoom();
    void cardFailuresLeaveTheRoomFree_data();
    void cardFailuresLeaveTheRoomFree();

private:
    TMainForm* logOnAndOpenTheBoard();
    QList<int> pictures(const QString& room) const;
    void selectRoom(const QString& room);
    int count(const QString& sql) const { return dm->conn.scalar(sql).toInt(); }

    std::unique_ptr<TempAppDir> app_;
    std::unique_ptr<Tdm> dm_;
    std::unique_ptr<SimEncoder> sim_;
    std::unique_ptr<qv::TestDialogs> boxes_;
    std::unique_ptr<QWidget> main_;
};

void RoadTest::init() {
    app_ = std::make_unique<TempAppDir>();
    dm_ = std::make_unique<Tdm>();
    dm = dm_.get();
    LockSystemInfo = TLockSystemInfo();
    RoomBoardChanged = CheckInRight = false;
    qv::CardOperation::releaseLatch();
    qv::clearTerminateRequest();
    {
        qv::Connection setup;
        setup.openSQLite(app_->file("db/lock.db"), true);
        setup.createSchema();
        qv::createDemoHotel(setup);
        setup.execute(
            "insert into Operator (Staffer, StafferName, Pass, Branch, CheckIn, CheckOut) "
            "values ('desk', '李娜', :p, '********************', 1, 1)",
            {{":p", qv::hashPassword("front")}});
    }
    // The room pictures as scripts/run installs them.
    QDir().mkpath(app_->file("pic/build"));
    for (const QString& picture : QDir(QV_SOURCE_DIR "/assets/pic/build").entryList(QDir::Files)) {
        QFile::copy(QV_SOURCE_DIR "/assets/pic/build/" + picture,
                    app_->file("pic/build/" + picture));
    }
    app_->write("Mirefold.ini",
                "[SystemInfo]\nHotelName=金色酒店\nDayCount=1\nLeaveTime=12:00:00\n"
                "TimeTolerance=10\nLanguageID=2052\n");
    sim_ = std::make_unique<SimEncoder>(*app_);
    QVERIFY(sim_->loaded());
    QVERIFY(sim_->command("place blank"));
    boxes_ = std::make_unique<qv::TestDialogs>();
    qv::Clock::setTestTime(QDateTime(QDate(2026, 3, 1), QTime(15, 20)));
}

void RoadTest::cleanup() {
    main_.reset();
    boxes_.reset();
    sim_.reset();
    dm_.reset();
    app_.reset();
    qv::clearTerminateRequest();
}

TMainForm* RoadTest::logOnAndOpenTheBoard() {
    whenShown<TLogonForm>([](TLogonForm* logon) {
        QTest::keyClicks(logon->LoginCode_Edit, "desk");
        QTest::keyClicks(logon->SystemLogin_Pas, "front");
        QTest::keyClick(logon->SystemLogin_Pas, Qt::Key_Return);
    });
    if (!StartUp()) {
        return nullptr;
    }
    main_.reset(CreateMainWindow());
    auto* form = qobject_cast<TMainForm*>(main_.get());
    if (form) {
        QApplication::setActiveWindow(form);
        if (!QTest::qWaitForWindowActive(form)) {
            qWarning("the main window did not become active");
        }
    }
    return form;
}

QList<int> RoadTest::pictures(const QString& room) const {
    QList<int> out;
    auto* form = static_cast<TMainForm*>(main_.get());
    for (const TRoomBoardItem& it : form->RoomBoard->items()) {
        if (it.caption() == room) {
            out << it.picture;
        }
    }
    return out;
}

void RoadTest::selectRoom(const QString& room) {
    auto* form = static_cast<TMainForm*>(main_.get());
    QItemSelectionModel* s = form->Room_ListView->selectionModel();
    s->clearSelection();
    for (int r = 0; r < form->RoomBoard->rowCount(); ++r) {
        if (form->RoomBoard->item(r).caption() == room) {
            s->select(form->RoomBoard->index(r, 0),
                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
}

void RoadTest::checkInCopyAndCheckOut() {
    TMainForm* form = logOnAndOpenTheBoard();
    QVERIFY(form);
    QVERIFY(!qv::terminateRequested());
    QCOMPARE(qv::session().name, QString("李娜"));
    QCOMPARE(pictures("1203"), QList<int>{TRoomBoardItem::Normal});
    saveScreenshot(form, "road-board-before");

    // F1 on the board: the check-in window, one night, the card for 1203.
    QString prompt;
    whenShown<TGuestQuickIn_Form>([&](TGuestQuickIn_Form* in) {
        QCOMPARE(in->Days_Edit->text(), QString("1"));
        QTest::keyClicks(in->se_Room1, "1203");
        in->E_H_GQI->setText("张伟");  // typed through an input method
        QTest::keyClicks(in->GuestCode_Edit, "110101199003071234");
        saveScreenshot(in, "road-check-in");
        QTest::mouseClick(in->Confirm_Bt, Qt::LeftButton);
        prompt = in->Prompt_Label->text();
        in->reject();
    });
    QTest::keyClick(form->Room_ListView, Qt::Key_F1);
    QCOMPARE(prompt, QString("操作成功！"));

    int16_t code = 0;
    const TCardData card = sim_->card(&code);
    QCOMPARE(code, int16_t(1));
    QCOMPARE(card.CardType[0], CardTypes::Guest);
    QCOMPARE(CardSerial(card), 1);
    QCOMPARE(card.RoomAddr[0], uint16_t(3));
    QCOMPARE(card.RoomAddr[1], uint16_t(1));
    QCOMPARE(card.RoomAddr[2], uint16_t(2));
    QCOMPARE(CardTimeToDate(card.StartTime), QDateTime(QDate(2026, 3, 1), QTime(15, 30)));
    QCOMPARE(CardTimeToDate(card.EndTime), QDateTime(QDate(2026, 3, 2), QTime(12, 10)));
    QCOMPARE(count("select CardSn from RoomInfo where RoomStr = '1203'"), 1);
    QCOMPARE(dm->conn.scalar("select Rom from MakeCardRecord where CardType = 4").toString(),
             QString("01020300000001"));
    QCOMPARE(dm->conn.scalar("select Holder from MakeCardRecord").toString(), QString("张伟"));
    QCOMPARE(dm->conn.scalar("select MakeUser from MakeCardRecord").toString(), QString("desk"));
    QCOMPARE(count("select count(*) from GuestInRecord where RoomStr = '1203' and enOverride = 0 "
                   "and Rom = '00000001' and GuestName = '张伟' and InputUser = 'desk'"),
             1);

    // The board follows at its next tick, without the operator doing anything.
    QVERIFY(RoomBoardChanged);
    QCOMPARE(pictures("1203"), QList<int>{TRoomBoardItem::Normal});
    form->Timer1Timer();
    QCOMPARE(pictures("1203"), QList<int>{TRoomBoardItem::GuestIn});
    QVERIFY(!RoomBoardChanged);
    saveScreenshot(form, "road-board-occupied");

    // A second card for the guest from the board's pop-up menu: the same serial.
    QVERIFY(sim_->command("place blank"));
    form->Timer2Timer();  // half a second later: the card buttons answer again
    selectRoom("1203");
    whenShown<TCopyGuestCard_Form>([&](TCopyGuestCard_Form* copy) {
        QCOMPARE(copy->se_Room1->text(), QString("1203"));
        QTest::mouseClick(copy->Confirm_Bt, Qt::LeftButton);
        prompt = copy->Prompt_Label->text();
        copy->reject();
    });
    form->mi_CopyCard->trigger();
    QCOMPARE(prompt, QString("操作成功！"));
    QCOMPARE(CardSerial(sim_->card()), 1);
    QCOMPARE(count("select CardSn from RoomInfo where RoomStr = '1203'"), 1);
    QCOMPARE(count("select count(*) from MakeCardRecord"), 2);

    // F3: the check-out window ends the stay; the board is free after the tick.
    bool shownLeave = false;
    whenShown<TGuestLeave_Form>([&](TGuestLeave_Form* leave) {
        shownLeave = true;
        saveScreenshot(leave, "road-check-out");
        QCOMPARE(leave->GL_ADO->recordCount(), 1);
        QTest::mouseClick(leave->NoCardConfirm_Bt, Qt::LeftButton);
        leave->reject();
    });
    QApplication::setActiveWindow(form);
    QTest::keyClick(form->Room_ListView, Qt::Key_F3);
    QVERIFY(shownLeave);
    QCOMPARE(count("select count(*) from GuestInRecord where enOverride = 0"), 0);
    QCOMPARE(dm->conn.scalar("select LeaveTime from GuestInRecord").toDateTime(), qv::Clock::now());
    form->Timer1Timer();
    QCOMPARE(pictures("1203"), QList<int>{TRoomBoardItem::Normal});

    // Again in, then out through the pop-up menu, which redraws at once.
    QVERIFY(sim_->command("place blank"));
    form->Timer2Timer();
    whenShown<TGuestQuickIn_Form>([&](TGuestQuickIn_Form* in) {
        QTest::keyClicks(in->se_Room1, "1203");
        QTest::mouseClick(in->Confirm_Bt, Qt::LeftButton);
        in->reject();
    });
    form->CheckIn_Menu->trigger();
    QCOMPARE(CardSerial(sim_->card()), 2);
    form->Timer1Timer();
    QCOMPARE(pictures("1203"), QList<int>{TRoomBoardItem::GuestIn});
    selectRoom("1203");
    form->PopupMenu1Popup();
    QVERIFY(form->mi_GuestLeave->isEnabled());
    form->mi_GuestLeave->trigger();
    QCOMPARE(pictures("1203"), QList<int>{TRoomBoardItem::Normal});
    QCOMPARE(count("select count(*) from GuestInRecord where enOverride = 0"), 0);
    QCOMPARE(count("select count(*) from GuestInRecord"), 2);
}

void RoadTest::continueStayAndHourlyRoom() {
    TMainForm* form = logOnAndOpenTheBoard();
    QVERIFY(form);
    // Checked in for one night with F1.
    whenShown<TGuestQuickIn_Form>([&](TGuestQuickIn_Form* in) {
        QTest::keyClicks(in->se_Room1, "1203");
        in->E_H_GQI->setText("张伟");
        QTest::mouseClick(in->Confirm_Bt, Qt::LeftButton);
        in->reject();
    });
    QTest::keyClick(form->Room_ListView, Qt::Key_F1);
    QCOMPARE(CardSerial(sim_->card()), 1);

    // The next morning the guest stays two nights more: the card back on the
    // encoder, F2, "读  卡", three nights, "发卡(&Y)".
    qv::Clock::setTestTime(QDateTime(QDate(2026, 3, 2), QTime(9, 0)));
    form->Timer2Timer();
    QString prompt;
    bool shown = false;
    whenShown<TModifyGuestCard_Form>([&](TModifyGuestCard_Form* more) {
        shown = true;
        QTest::mouseClick(more->Button1, Qt::LeftButton);
        QCOMPARE(more->se_Room1->text(), QString("1203"));
        QCOMPARE(more->E_H_GQI->text(), QString("张伟"));
        QCOMPARE(more->Days_Edit->text(), QString("1"));
        more->Days_Edit->setText("3");
        saveScreenshot(more, "road-continue-stay");
        QTest::mouseClick(more->Confirm_Bt, Qt::LeftButton);
        prompt = more->Prompt_Label->text();
        more->reject();
    });
    QApplication::setActiveWindow(form);
    QTest::keyClick(form->Room_ListView, Qt::Key_F2);
    QVERIFY(shown);
    QCOMPARE(prompt, QString("操作成功！"));
    const TCardData card = sim_->card();
    QCOMPARE(CardSerial(card), 0);
    QCOMPARE(CardTimeToDate(card.StartTime), QDateTime(QDate(2026, 3, 1), QTime(15, 40)));
    QCOMPARE(CardTimeToDate(card.EndTime), QDateTime(QDate(2026, 3, 4), QTime(12, 10)));
    QCOMPARE(count("select CardSn from RoomInfo where RoomStr = '1203'"), 1);
    QCOMPARE(dm->conn.scalar("select GuestLeaveTime from GuestInRecord").toDateTime(),
             QDateTime(QDate(2026, 3, 4), QTime(12, 10)));
    QCOMPARE(count("select count(*) from MakeCardRecord where Rom = '01020300000000'"), 1);

    // The tool button "续房[F2]" opens the same window.
    form->Timer2Timer();
    shown = false;
    whenShown<TModifyGuestCard_Form>([&](TModifyGuestCard_Form* more) {
        shown = true;
        more->reject();
    });
    QTest::mouseClick(form->GuestContinueIn2_SpeedButton, Qt::LeftButton);
    QVERIFY(shown);

    // An hourly room sold at 22:30 for three hours from the menu.
    qv::Clock::setTestTime(QDateTime(QDate(2026, 3, 2), QTime(22, 30)));
    QVERIFY(sim_->command("place blank"));
    form->Timer2Timer();
    whenShown<TClockRoom_Form>([&](TClockRoom_Form* hourly) {
        QTest::keyClicks(hourly->se_Room1, "1101");
        hourly->Days_Edit->setText("3");
        saveScreenshot(hourly, "road-hourly-room");
        QTest::mouseClick(hourly->Confirm_Bt, Qt::LeftButton);
        prompt = hourly->Prompt_Label->text();
        hourly->reject();
    });
    form->ClockRoom_Menu->trigger();
    QCOMPARE(prompt, QString("操作成功！"));
    QCOMPARE(CardTimeToDate(sim_->card().EndTime), QDateTime(QDate(2026, 3, 3), QTime(1, 40)));
    QCOMPARE(dm->conn.scalar("select GuestLeaveTime from GuestInRecord where RoomStr = '1101'")
                 .toDateTime(),
             QDateTime(QDate(2026, 3, 3), QTime(1, 40)));
    form->Timer1Timer();
    QCOMPARE(pictures("1101"), QList<int>{TRoomBoardItem::GuestIn});
}

void RoadTest::cardFailuresLeaveTheRoomFree_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("prompt");
    QTest::newRow("no card") << "remove"
                             << "无卡！";
    QTest::newRow("no encoder") << "set online 0"
                                << "无发卡机！";
    QTest::newRow("write fails") << "set fail-next"
                                 << "操作失败！";
}

void RoadTest::cardFailuresLeaveTheRoomFree() {
    QFETCH(QString, setup);
    QFETCH(QString, prompt);
    TMainForm* form = logOnAndOpenTheBoard();
    QVERIFY(form);
    QVERIFY(sim_->command(setup));
    QString shown;
    whenShown<TGuestQuickIn_Form>([&](TGuestQuickIn_Form* in) {
        QTest::keyClicks(in->se_Room1, "1203");
        QTest::mouseClick(in->Confirm_Bt, Qt::LeftButton);
        shown = in->Prompt_Label->text();
        in->reject();
    });
    QTest::keyClick(form->Room_ListView, Qt::Key_F1);
    QCOMPARE(shown, prompt);
    QCOMPARE(count("select CardSn from RoomInfo where RoomStr = '1203'"), 0);
    QCOMPARE(count("select count(*) from MakeCardRecord"), 0);
    QCOMPARE(count("select count(*) from GuestInRecord"), 0);
    form->Timer1Timer();
    QCOMPARE(pictures("1203"), QList<int>{TRoomBoardItem::Normal});
}

QTEST_MAIN(RoadTest)
#include "tst_road.moc"
