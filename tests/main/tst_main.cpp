// The main window on a demo hotel in an SQLite lock database, with the
// encoder simulator loaded through the real binding (state in a temporary
// folder) and every box answered by TestDialogs.
#include "TestSupport.h"

#include "card/Encoder.h"
#include "data/DemoHotel.h"
#include "data/Session.h"
#include "data/dm_unit.h"
#include "language/Language.h"
#include "layout/RoomInfo_Unit.h"
#include "main/About_Unit.h"
#include "main/Help_Unit.h"
#include "main/Main.h"
#include "main/OpenDocument.h"
#include "platform/Application.h"
#include "platform/Clock.h"
#include "platform/IniFile.h"
#include "platform/LanguageIds.h"
#include "platform/ProgramText.h"
#include "platform/TestDialogs.h"
#include "settings/Settings.h"
#include "stays/CopyGuestCard_Unit.h"
#include "window/CardOperation.h"
#include "window/RecordGrid.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStackedWidget>
#include <QTableView>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>
#include <memory>

namespace {

const QStringList kAllRights = {"CheckIn",  "CheckOut", "SystemInfo", "OperatorManage",
                                "DataCard", "RoomType", "RoomInfo",   "DistrictInfo"};

// Every entry the rights switch, in the order of the rights table.
const QStringList kGoverned = {"CheckIn_Menu",
                               "CheckIn_MfPopMenu",
                               "CopyGuestCard_Menu",
                               "mi_CopyCard",
                               "GuestContinueIn2_SpeedButton",
                               "ModifyGuestCard_Menu",
                               "ClockRoom_Menu",
                               "CheckIn_SB",
                               "CheckOut_Menu",
                               "CheckOut2_SB",
                               "OperatorManage_Menu",
                               "SystemSetting_Menu",
                               "RoomType_Menu",
                               "RoomSetting_Menu",
                               "DistrictSetting_Menu",
                               "ReadDataCard_Menu"};

bool enabled(const QObject* window, const QString& name) {
    const QObject* o = window->findChild<QObject*>(name);
    if (!o) {
        qWarning("no component %s", qPrintable(name));
        return false;
    }
    return o->property("enabled").toBool();
}

}  // namespace

class MainTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void creationAndStatusBar();
    void boardQueryFilters_data();
    void boardQueryFilters();
    void picturesByStateAndStay_data();
    void picturesByStateAndStay();
    void missingPictureIsTheWindowsIcon();
    void boardErrorLeavesItEmptyAndRetries();
    void timersFollowTheFlags();
    void detailViewShowsEveryValue();
    void rights_data();
    void rights();
    void everyEntryIsOn();
    void layoutEntriesOpenTheirWindows();
    void recordWindowsOpenFromTheirEntries();
    void popupMenu_data();
    void popupMenu();
    void popupCheckOut();
    void copyingNeedsCheckIn_data();
    void copyingNeedsCheckIn();
    void pairing_data();
    void pairing();
    void noOperatorRowEndsTheProgram();
    void functionKeys_data();
    void functionKeys();
    void languageSwitch();
    void helpDocuments_data();
    void helpDocuments();
    void helpWithoutADesktopProgram();
    void desktopAnswer_data();
    void desktopAnswer();
    void aboutBox_data();
    void aboutBox();

private:
    // The simulated encoder's parameters.
    void setEncoder(int kind, const QString& code = "A1B2C3D4", bool online = true);
    void addOperator(const QString& staffer, const QStringList& rights);
    void addStay(const QString& room, int enOverride = 0, const QString& guest = "李四");
    void setRoomState(const QString& room, int state);
    std::unique_ptr<TMainForm> makeForm();
    QStringList captions(const TMainForm& form) const;
    QList<int> pictures(const TMainForm& form, const QString& room) const;
    void select(TMainForm& form, const QStringList& rooms);
    int currentStays(const QString& room) const;

    std::unique_ptr<TempAppDir> app_;
    std::unique_ptr<Tdm> dm_;
    std::unique_ptr<qv::TestDialogs> boxes_;
};

void MainTest::init() {
    app_ = std::make_unique<TempAppDir>();
    dm_ = std::make_unique<Tdm>();
    dm = dm_.get();
    dm->conn.openSQLite(app_->file("db/lock.db"), true);
    dm->conn.createSchema();
    qv::createDemoHotel(dm->conn);
    boxes_ = std::make_unique<qv::TestDialogs>();
    LockSystemInfo = TLockSystemInfo();
    qv::session().login = "op";
    qv::session().name = "王芳";
    LockSystemInfo.LanguageID = 2052;
    LockSystemInfo.Loaded = true;
    RoomBoardChanged = CheckInRight = false;
    qv::CardOperation::releaseLatch();
    EncoderType = 0;
    qv::clearTerminateRequest();
    addOperator("op", kAllRights);
    qputenv("QUORVANE_ENCODER_DIR", QFile::encodeName(app_->file("encoder")));
    qv::Encoder::instance().reset();
    QVERIFY(qv::Encoder::instance().load(QStringLiteral(QV_ENCODER_LIB)));
    setEncoder(3);
    LockSystemInfo.Pass = "A1B2C3D4";  // paired already
}

void MainTest::cleanup() {
    qv::Encoder::instance().reset();
    qunsetenv("QUORVANE_ENCODER_DIR");
    qv::setDocumentOpener({});
    boxes_.reset();
    dm = nullptr;
    dm_.reset();
    app_.reset();
    LockSystemInfo = TLockSystemInfo();
    qv::clearTerminateRequest();
}

void MainTest::setEncoder(int kind, const QString& code, bool online) {
    app_->write(
        "encoder/encoder.txt",
        QString("kind=%1\ncode=%2\nonline=%3\n").arg(kind).arg(code).arg(online ? 1 : 0).toUtf8());
}

void MainTest::addOperator(const QString& staffer, const QStringList& rights) {
    QString columns = "Staffer, StafferName, Pass";
    QString values = ":s, :n, 'x'";
    for (const QString& r : rights) {  // the test's own column names
        columns += ", " + r;
        values += ", 1";
    }
    dm->conn.execute(QString("delete from Operator where Staffer = :s"), {{":s", staffer}});
    dm->conn.execute(QString("insert into Operator (%1) values (%2)").arg(columns, values),
                     {{":s", staffer}, {":n", "王芳"}});
}

void MainTest::addStay(const QString& room, int enOverride, const QString& guest) {
    dm->conn.execute(
        "insert into GuestInRecord (Room, RoomStr, GuestName, GuestID, Rom, GuestInTime, "
        "GuestLeaveTime, enOverride, InputUser, InputTime) values (:r, :s, :g, "
        "'110101199001011234', "
        ":rom, :in, :out, :o, 'op', :in)",
        {{":r", room.toInt()},
         {":s", room},
         {":g", guest},
         {":rom", "010101" + room},
         {":in", QDateTime(QDate(2024, 3, 1), QTime(15, 20))},
         {":out", QDateTime(QDate(2024, 3, 2), QTime(12, 0))},
         {":o", enOverride}});
}

void MainTest::setRoomState(const QString& room, int state) {
    dm->conn.execute("update RoomInfo set RoomState = :st where RoomStr = :r",
                     {{":st", state}, {":r", room}});
}

std::unique_ptr<TMainForm> MainTest::makeForm() {
    auto form = std::make_unique<TMainForm>();
    form->resize(1024, 700);
    return form;
}

QStringList MainTest::captions(const TMainForm& form) const {
    QStringList out;
    for (const TRoomBoardItem& it : form.RoomBoard->items()) {
        out << it.caption();
    }
    return out;
}

QList<int> MainTest::pictures(const TMainForm& form, const QString& room) const {
    QList<int> out;
    for (const TRoomBoardItem& it : form.RoomBoard->items()) {
        if (it.caption() == room) {
            out << it.picture;
        }
    }
    return out;
}

void MainTest::select(TMainForm& form, const QStringList& rooms) {
    QItemSelectionModel* s = form.Room_ListView->selectionModel();
    s->clearSelection();
    for (int r = 0; r < form.RoomBoard->rowCount(); ++r) {
        if (rooms.contains(form.RoomBoard->item(r).caption())) {
            s->select(form.RoomBoard->index(r, 0),
                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
}

int MainTest::currentStays(const QString& room) const {
    return dm->conn
        .scalar("select count(*) from GuestInRecord where enOverride = 0 and RoomStr = :r",
                {{":r", room}})
        .toInt();
}

void MainTest::creationAndStatusBar() {
    auto form = makeForm();
    QCOMPARE(form->objectName(), QString("MainForm"));
    QCOMPARE(form->windowTitle(), QString("Quorvane V18.0"));
    QVERIFY(form->windowState() & Qt::WindowMaximized);
    QCOMPARE(form->panelText(4), QString("Quorvane V18.0"));
    QCOMPARE(form->panelText(5), QString("Quorvane Lock Systems"));
    QCOMPARE(form->panelText(6), QString("王芳"));  // PopedomSet drops the leading blank
    // Without texts in the language store the controls have their own.
    QCOMPARE(form->Refresh_Bt->text(), QString("刷新"));
    auto items = [](const QComboBox* box) {
        QStringList out;
        for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
        return out;
    };
    QCOMPARE(items(form->Building_CB), (QStringList{"1", "2", "全部楼号"}));
    QCOMPARE(items(form->Floor_CB), (QStringList{"1", "2", "3", "全部楼层"}));
    QCOMPARE(form->Building_CB->currentIndex(), 2);
    QCOMPARE(form->Timer1->interval(), 3000);
    QCOMPARE(form->Timer2->interval(), 500);
    QVERIFY(form->Timer1->isActive() && form->Timer2->isActive());
    QCOMPARE(form->Room_ListView->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(form->Room_ListView->viewMode(), QListView::IconMode);
    // Every entry of the menus, tool bar and pop-up menu is there by its name.
    for (const char* name : {"EncodeCard_Menu",
                             "ReadCard_Menu",
                             "ClearCard_Menu",
                             "ReadDataCard_Menu",
                             "CheckIn_Menu",
                             "CopyGuestCard_Menu",
                             "ClockRoom_Menu",
                             "ModifyGuestCard_Menu",
                             "CheckOut_Menu",
                             "N1",
                             "CheckOpenRecord_Menu",
                             "CheckMakeCardRecord_Menu",
                             "CheckRoomStatus_Menu",
                             "A_SearchGuest",
                             "OperatorManage_Menu",
                             "ChangePass_Menu",
                             "SystemSetting_Menu",
                             "RoomType_Menu",
                             "RoomSetting_Menu",
                             "DistrictSetting_Menu",
                             "N39",
                             "N40",
                             "DataConn_Menu",
                             "LanguageMenu",
                             "N35",
                             "OprManual_Menu",
                             "FAQ_Menu",
                             "CheckIn_MfPopMenu",
                             "mi_CopyCard",
                             "mi_GuestLeave",
                             "Refresh_MfPopMenu",
                             "RoomInfoLvs_MfPopMenu",
                             "N6",
                             "objectN3TMenuItem1",
                             "N7"}) {
        QVERIFY2(form->findChild<QAction*>(name), name);
    }
    for (const char* name :
         {"CheckIn_SB", "GuestContinueIn2_SpeedButton", "CheckOut2_SB", "ReadCard2_SpeedButton",
          "ClearCard2_SpeedButton", "QuitSystem_SpeedBt"}) {
        auto* b = form->findChild<QToolButton*>(name);
        QVERIFY2(b, name);
        QCOMPARE(b->size(), QSize(73, 60));
        QVERIFY(!b->icon().isNull());
        QCOMPARE(b->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    }
    QCOMPARE(form->CheckIn_SB->text(), QString("开房[F1]"));
    QCOMPARE(form->ClearCard2_SpeedButton->text(), QString("注销卡[F5]"));
    QVERIFY(form->A_SearchGuest->isVisible() && form->N10->menuAction()->isVisible());
    QVERIFY(!form->N1->isVisible() && !form->Refresh_MfPopMenu->isVisible());
    QVERIFY(boxes_->boxes().isEmpty());
    QVERIFY(!qv::terminateRequested());

    // A few occupied rooms and one under repair, for a look at the board.
    addStay("1101");
    addStay("1203");
    addStay("2102");
    setRoomState("1104", 1);
    setRoomState("2201", 1);
    addStay("2201");
    QDir().mkpath(app_->file("pic/build"));
    for (const char* f :
         {"Normal.bmp", "Normal_ModiRoom.bmp", "GuestIn.BMP", "GuestIn_ModiRoom.BMP"}) {
        QFile::copy(QStringLiteral(QV_SOURCE_DIR "/assets/pic/build/") + f,
                    app_->file(QString("pic/build/") + f));
    }
    auto shown = makeForm();
    shown->setWindowState(Qt::WindowNoState);  // the offscreen screen is small
    shown->resize(1100, 640);
    shown->show();
    select(*shown, {"1203"});
    QVERIFY(QTest::qWaitForWindowExposed(shown.get()));
    saveScreenshot(shown.get(), "main-window");
}

void MainTest::boardQueryFilters_data() {
    QTest::addColumn<QString>("building");  // empty: the all-buildings entry
    QTest::addColumn<QString>("floor");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::newRow("everything") << ""
                                << "" << 36 << "1101"
                                << "2206";
    QTest::newRow("building 2, all floors") << "2"
                                            << "" << 12 << "2101"
                                            << "2206";
    QTest::newRow("all buildings, floor 3") << ""
                                            << "3" << 8 << "1301"
                                            << "1308";
    QTest::newRow("building 1, floor 2") << "1"
                                         << "2" << 8 << "1201"
                                         << "1208";
    QTest::newRow("building 2, floor 3") << "2"
                                         << "3" << 0 << ""
                                         << "";
}

void MainTest::boardQueryFilters() {
    QFETCH(QString, building);
    QFETCH(QString, floor);
    QFETCH(int, count);
    QFETCH(QString, first);
    QFETCH(QString, last);
    auto form = makeForm();
    QSignalSpy rebuilt(form->RoomBoard, &QAbstractItemModel::modelReset);
    // A change of either box rebuilds the board at once.
    if (!building.isEmpty()) {
        form->Building_CB->setCurrentIndex(form->Building_CB->findText(building));
    }
    if (!floor.isEmpty()) {
        form->Floor_CB->setCurrentIndex(form->Floor_CB->findText(floor));
    }
    QCOMPARE(rebuilt.count(), int(!building.isEmpty()) + int(!floor.isEmpty()));
    const QStringList rooms = captions(*form);
    QCOMPARE(rooms.size(), count);
    if (count > 0) {
        QCOMPARE(rooms.first(), first);
        QCOMPARE(rooms.last(), last);
        QStringList sorted = rooms;
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(rooms, sorted);  // building, floor, room
    }
    // Back to every room.
    form->Building_CB->setCurrentIndex(form->Building_CB->count() - 1);
    form->Floor_CB->setCurrentIndex(form->Floor_CB->count() - 1);
    QCOMPARE(form->RoomBoard->rowCount(), 36);
}

void MainTest::picturesByStateAndStay_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("stateRow");  // the state has a RoomStateType row
    QTest::addColumn<int>("current");    // current stays of the room
    QTest::addColumn<int>("ended");      // ended stays of the room
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("free") << 0 << true << 0 << 0 << QList<int>{0};
    QTest::newRow("under repair") << 1 << true << 0 << 0 << QList<int>{1};
    QTest::newRow("occupied") << 0 << true << 1 << 0 << QList<int>{2};
    QTest::newRow("state 1 with a stay") << 1 << true << 1 << 0 << QList<int>{3};
    QTest::newRow("state 2, free") << 2 << true << 0 << 0 << QList<int>{0};
    QTest::newRow("state 2, occupied") << 2 << true << 1 << 0 << QList<int>{0};
    QTest::newRow("state without a row") << 7 << false << 1 << 0 << QList<int>{};
    QTest::newRow("two current stays") << 0 << true << 2 << 0 << QList<int>{2, 2};
    QTest::newRow("ended stays only") << 0 << true << 0 << 3 << QList<int>{0};
    // A current stay without a start (typed into the database by hand) does not
    // make the room occupied, as in the room list.
    QTest::newRow("current stay without a start") << 0 << true << -1 << 0 << QList<int>{0};
}

void MainTest::picturesByStateAndStay() {
    QFETCH(int, state);
    QFETCH(bool, stateRow);
    QFETCH(int, current);
    QFETCH(int, ended);
    QFETCH(QList<int>, expected);
    if (stateRow && state > 1) {
        dm->conn.execute("insert into RoomStateType (ID, State_Title) values (:i, '停用')",
                         {{":i", state}});
    }
    setRoomState("1203", state);
    for (int i = 0; i < current; ++i) addStay("1203", 0, QString("客人%1").arg(i));
    if (current < 0) {
        dm->conn.execute("insert into GuestInRecord (Room, RoomStr) values (1203, '1203')");
    }
    for (int i = 0; i < ended; ++i) addStay("1203", 1);
    auto form = makeForm();
    QCOMPARE(pictures(*form, "1203"), expected);
    QCOMPARE(form->RoomBoard->rowCount(), 35 + int(expected.size()));
    QVERIFY(boxes_->boxes().isEmpty());
}

void MainTest::missingPictureIsTheWindowsIcon() {
    QDir().mkpath(app_->file("pic/build"));
    QVERIFY(QFile::copy(QV_SOURCE_DIR "/assets/pic/build/GuestIn.BMP",
                        app_->file("pic/build/GuestIn.BMP")));
    app_->write("pic/build/Normal.bmp", "not a bitmap");
    auto form = makeForm();
    const qint64 own = form->windowIcon().cacheKey();
    QVERIFY(!form->windowIcon().isNull());
    QCOMPARE(form->Room_ImageList[0].cacheKey(), own);  // unreadable
    QCOMPARE(form->Room_ImageList[1].cacheKey(), own);  // missing
    QVERIFY(form->Room_ImageList[2].cacheKey() != own);
    QVERIFY(!form->Room_ImageList[2].pixmap(32, 32).isNull());
    QCOMPARE(form->Room_ImageList[3].cacheKey(), own);
    QVERIFY(boxes_->boxes().isEmpty());
}

void MainTest::boardErrorLeavesItEmptyAndRetries() {
    auto form = makeForm();
    QCOMPARE(form->RoomBoard->rowCount(), 36);
    dm->conn.execute("alter table RoomStateType rename to RoomStateType_away");
    form->Refresh_Bt->click();
    QCOMPARE(form->RoomBoard->rowCount(), 0);
    QCOMPARE(boxes_->boxes().size(), 1);
    QCOMPARE(boxes_->last().icon, qv::Icon::Error);
    QVERIFY2(boxes_->last().text.contains("RoomStateType"), qPrintable(boxes_->last().text));
    QVERIFY(RoomBoardChanged);
    // The timer tries again without showing the same error a second time.
    form->Timer1Timer();
    QCOMPARE(boxes_->boxes().size(), 1);
    QVERIFY(RoomBoardChanged);
    dm->conn.execute("alter table RoomStateType_away rename to RoomStateType");
    form->Timer1Timer();
    QCOMPARE(form->RoomBoard->rowCount(), 36);
    QVERIFY(!RoomBoardChanged);
    QCOMPARE(boxes_->boxes().size(), 1);
}

void MainTest::timersFollowTheFlags() {
    auto form = makeForm();
    addStay("1102");
    form->Timer1Timer();
    QCOMPARE(pictures(*form, "1102"), QList<int>{0});  // nothing told the board
    RoomBoardChanged = true;
    form->Timer1Timer();
    QCOMPARE(pictures(*form, "1102"), QList<int>{2});
    QVERIFY(!RoomBoardChanged);

    const qv::CardOperation other(nullptr);
    QVERIFY(other.started() && qv::CardOperation::busy());
    form->Timer2Timer();
    QVERIFY(!qv::CardOperation::busy());
}

void MainTest::detailViewShowsEveryValue() {
    setRoomState("2101", 1);
    addStay("2101", 0, "赵六");
    auto form = makeForm();
    form->setWindowState(Qt::WindowNoState);
    form->resize(1100, 640);
    form->show();
    select(*form, {"1101", "2101"});
    QVERIFY(form->N7->isVisible() && form->RoomInfoLvs_MfPopMenu->isVisible());
    form->N7->trigger();
    QCOMPARE(form->boardView(), 3);
    QVERIFY(form->N7->isChecked());
    QCOMPARE(form->RoomViews->currentWidget(), form->RoomDetails_ListView);
    QCOMPARE(form->selectedRooms(), (QStringList{"1101", "2101"}));  // one selection for every view

    const QAbstractItemModel* m = form->RoomDetails_ListView->model();
    QStringList titles;
    for (int c = 0; c < m->columnCount(); ++c)
        titles << m->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(titles, (QStringList{"客房", "楼号", "楼层", "区域号", "客房类型", "可住人数", "房态",
                                  "卡号", "客人", "身份证", "入住时间", "预离时间", "离开时间",
                                  "操作人员", "登记时间"}));
    const int row = int(captions(*form).indexOf("2101"));
    QStringList values;
    for (int c = 0; c < m->columnCount(); ++c) values << m->index(row, c).data().toString();
    QCOMPARE(values, (QStringList{"2101", "2", "1", "2", "标准间", "2", "维修", "0101012101",
                                  "赵六", "110101199001011234", "2024-03-01 15:20:00",
                                  "2024-03-02 12:00:00", "", "op", "2024-03-01 15:20:00"}));
    const int free = int(captions(*form).indexOf("1101"));
    QCOMPARE(m->index(free, TRoomBoardItem::RoomState).data().toString(), QString("正常"));
    QCOMPARE(m->index(free, TRoomBoardItem::GuestName).data().toString(), QString());
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    saveScreenshot(form.get(), "main-window-details");

    form->N6->trigger();
    QCOMPARE(form->RoomViews->currentWidget(), form->Room_ListView);
    QCOMPARE(form->Room_ListView->iconSize(), QSize(16, 16));
    saveScreenshot(form.get(), "main-window-small-icons");
    form->RoomInfoLvs_MfPopMenu->trigger();
    QCOMPARE(form->Room_ListView->viewMode(), QListView::IconMode);
    QCOMPARE(form->Room_ListView->iconSize(), QSize(32, 32));
}

void MainTest::rights_data() {
    QTest::addColumn<QStringList>("rights");
    QTest::addColumn<int>("kind");  // the encoder's lock-system kind
    QTest::addColumn<bool>("online");
    QTest::addColumn<QStringList>("on");  // the governed entries that are enabled
    const QStringList checkIn = {"CheckIn_Menu",
                                 "CheckIn_MfPopMenu",
                                 "CopyGuestCard_Menu",
                                 "mi_CopyCard",
                                 "GuestContinueIn2_SpeedButton",
                                 "ModifyGuestCard_Menu",
                                 "ClockRoom_Menu",
                                 "CheckIn_SB"};
    const QStringList admin = {"OperatorManage_Menu", "SystemSetting_Menu", "RoomType_Menu",
                               "RoomSetting_Menu", "DistrictSetting_Menu"};
    QTest::newRow("every right, IC card locks")
        << kAllRights << 3 << true
        << (checkIn + QStringList{"CheckOut_Menu", "CheckOut2_SB"} + admin +
            QStringList{"ReadDataCard_Menu"});
    QTest::newRow("no CheckIn") << QStringList{"CheckOut"} << 3 << true
                                << QStringList{"CheckOut_Menu", "CheckOut2_SB"};
    QTest::newRow("CheckIn only") << QStringList{"CheckIn"} << 3 << true << checkIn;
    QTest::newRow("one right each") << QStringList{"OperatorManage", "RoomInfo"} << 3 << true
                                    << QStringList{"OperatorManage_Menu", "RoomSetting_Menu"};
    QTest::newRow("DataCard, IC card locks")
        << QStringList{"DataCard"} << 3 << true << QStringList{"ReadDataCard_Menu"};
    QTest::newRow("data collector: for everyone")
        << QStringList{} << 0 << true << QStringList{"ReadDataCard_Menu"};
    QTest::newRow("DataCard, MIFARE locks")
        << QStringList{"DataCard"} << 9 << true << QStringList{};
    QTest::newRow("DataCard, no encoder") << QStringList{"DataCard"} << 3 << false << QStringList{};
}

void MainTest::rights() {
    QFETCH(QStringList, rights);
    QFETCH(int, kind);
    QFETCH(bool, online);
    QFETCH(QStringList, on);
    addOperator("op", rights);
    setEncoder(kind, "A1B2C3D4", online);
    auto form = makeForm();
    QStringList got;
    for (const QString& name : kGoverned) {
        if (enabled(form.get(), name))
            got << name;
    }
    QCOMPARE(got, on);
    QCOMPARE(CheckInRight, rights.contains("CheckIn"));
    // Entries no right governs are usable by everyone.
    for (const char* name :
         {"EncodeCard_Menu", "ReadCard_Menu", "ClearCard_Menu", "ChangePass_Menu",
          "CheckMakeCardRecord_Menu", "N35", "ReadCard2_SpeedButton", "ClearCard2_SpeedButton",
          "QuitSystem_SpeedBt"}) {
        QVERIFY2(enabled(form.get(), name), name);
    }
    QVERIFY(!qv::terminateRequested());
}

// The hotel layout entries open their windows; a room deleted in the rooms
// window leaves the board at the timer's next tick.
void MainTest::layoutEntriesOpenTheirWindows() {
    auto form = makeForm();
    const std::pair<const char*, const char*> entries[] = {
        {"RoomType_Menu", "RoomType_Form"},
        {"RoomSetting_Menu", "RoomInfo_Form"},
        {"DistrictSetting_Menu", "DistrictSetting_Form"},
    };
    for (const auto& [entry, window] : entries) {
        auto* action = form->findChild<QAction*>(entry);
        QVERIFY2(action && action->isEnabled(), entry);
        QString shown;
        bool missed = false;
        whenShown<QDialog>(
            [&](QDialog* d) {
                shown = d->objectName();
                if (auto* rooms = qobject_cast<TRoomInfo_Form*>(d)) {
                    // The last room of the board, deleted after the question.
                    QTableView* grid = rooms->RoomInfo_Dbg;
                    grid->setCurrentIndex(grid->model()->index(grid->model()->rowCount() - 1, 1));
                    rooms->RoomInfo_DbgCellClick();
                    rooms->Delete_Bt->click();
                }
                d->reject();
            },
            5000, &missed);
        action->trigger();
        QVERIFY2(!missed, entry);
        QCOMPARE(shown, QString(window));
    }
    QCOMPARE(boxes_->texts(), QStringList{"确定要删除房间2206吗？"});
    QVERIFY(RoomBoardChanged);
    QVERIFY(captions(*form).contains("2206"));
    form->Timer1Timer();
    QVERIFY(!captions(*form).contains("2206"));
}

// With every right, every entry that opens a window of its own is on, and
// each tool button follows the entry whose handler it shares.
void MainTest::everyEntryIsOn() {
    auto form = makeForm();  // every right
    for (const char* name :
         {"EncodeCard_Menu", "ReadCard_Menu", "ClearCard_Menu", "ReadDataCard_Menu",
          "CheckIn_Menu", "CopyGuestCard_Menu", "ClockRoom_Menu", "ModifyGuestCard_Menu",
          "CheckOut_Menu", "CheckOpenRecord_Menu", "CheckMakeCardRecord_Menu",
          "CheckRoomStatus_Menu", "A_SearchGuest", "OperatorManage_Menu", "ChangePass_Menu",
          "SystemSetting_Menu", "RoomType_Menu", "RoomSetting_Menu", "DistrictSetting_Menu",
          "N39", "N40", "DataConn_Menu", "N35", "CheckIn_MfPopMenu", "mi_CopyCard"}) {
        auto* action = form->findChild<QAction*>(name);
        QVERIFY2(action, name);
        QVERIFY2(action->isEnabled(), name);
    }
    for (const auto& [entry, button] : {std::pair{"ReadCard_Menu", "ReadCard2_SpeedButton"},
                                        {"ClearCard_Menu", "ClearCard2_SpeedButton"},
                                        {"ModifyGuestCard_Menu", "GuestContinueIn2_SpeedButton"},
                                        {"CheckIn_Menu", "CheckIn_SB"},
                                        {"CheckOut_Menu", "CheckOut2_SB"}}) {
        auto* b = form->findChild<QToolButton*>(button);
        QVERIFY2(b, button);
        QCOMPARE(b->isEnabled(), enabled(form.get(), entry));
    }

    // A look at a menu with entries to come.
    form->setWindowState(Qt::WindowNoState);
    form->resize(900, 500);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    form->N13->popup(form->mapToGlobal(QPoint(200, 20)));
    QVERIFY(QTest::qWaitForWindowExposed(form->N13));
    saveScreenshot(form->N13, "main-menu-settings");
    form->N13->hide();
}

void MainTest::recordWindowsOpenFromTheirEntries() {
    auto form = makeForm();
    for (const char* name : {"A_SearchGuest", "CheckMakeCardRecord_Menu"}) {
        auto* action = form->findChild<QAction*>(name);
        QVERIFY2(action && action->isEnabled(), name);
        QString opened;
        bool missed = false;
        whenShown<QDialog>(
            [&](QDialog* w) {
                opened = w->objectName();
                w->reject();
            },
            5000, &missed);
        action->trigger();
        QVERIFY2(!missed, name);
        QCOMPARE(opened, QString(qstrcmp(name, "A_SearchGuest") == 0 ? "CheckGuestInRecord_Form"
                                                                     : "MC_R_From"));
    }
    QVERIFY2(boxes_->boxes().isEmpty(), qPrintable(boxes_->texts().join('\n')));
}

void MainTest::popupMenu_data() {
    QTest::addColumn<QStringList>("rights");
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<bool>("checkIn");     // CheckIn_MfPopMenu afterwards
    QTest::addColumn<bool>("guestLeave");  // mi_GuestLeave afterwards
    QTest::newRow("occupied first, free second")
        << QStringList{"CheckIn"} << QStringList{"1101", "1102"} << true << true;
    QTest::newRow("free first, occupied second")
        << QStringList{"CheckIn"} << QStringList{"1102", "1103"} << true << false;
    QTest::newRow("state 1 with a stay first")
        << QStringList{"CheckIn"} << QStringList{"1104", "2101"} << true << false;
    QTest::newRow("no CheckIn right")
        << QStringList{"CheckOut"} << QStringList{"1101"} << false << false;
    QTest::newRow("nothing selected") << QStringList{"CheckIn"} << QStringList{} << true << false;
}

void MainTest::popupMenu() {
    QFETCH(QStringList, rights);
    QFETCH(QStringList, selected);
    QFETCH(bool, checkIn);
    QFETCH(bool, guestLeave);
    addOperator("op", rights);
    addStay("1101");
    addStay("1103");
    setRoomState("1104", 1);
    addStay("1104");
    addStay("2101");
    auto form = makeForm();
    select(*form, selected);
    form->PopupMenu1Popup();
    QCOMPARE(form->CheckIn_MfPopMenu->isEnabled(), checkIn);
    QCOMPARE(form->mi_GuestLeave->isEnabled(), guestLeave);
    QCOMPARE(form->mi_CopyCard->isEnabled(), rights.contains("CheckIn"));
    if (guestLeave) {
        form->mi_GuestLeave->trigger();
        QCOMPARE(currentStays("1101"), 0);  // the occupied room only
        QCOMPARE(currentStays("1103"), 1);
        QCOMPARE(pictures(*form, "1101"), QList<int>{0});
    }
}

void MainTest::popupCheckOut() {
    addOperator("op", {"CheckIn"});  // no CheckOut right: the pop-up still ends stays
    addStay("1101");
    addStay("1103");
    addStay("1103", 1);  // history: not touched
    addStay("2205");
    addStay("2205");  // a second current stay: a second item on the board
    auto form = makeForm();
    QSignalSpy rebuilt(form->RoomBoard, &QAbstractItemModel::modelReset);

    form->mi_GuestLeaveClick();  // nothing selected: nothing happens
    QCOMPARE(rebuilt.count(), 0);
    QCOMPARE(currentStays("1101"), 1);

    const QDateTime now(QDate(2024, 3, 5), QTime(11, 42, 7));
    qv::Clock::setTestTime(now);
    select(*form, {"1101", "1102", "1103"});
    form->mi_GuestLeaveClick();
    QCOMPARE(rebuilt.count(), 1);
    QCOMPARE(currentStays("1101"), 0);
    QCOMPARE(currentStays("1103"), 0);
    QSqlQuery q = dm->conn.run(
        "select RoomStr, LeaveTime from GuestInRecord where enOverride = 1 order by ID");
    QStringList ended;
    while (q.next()) ended << q.value(0).toString() + ' ' + q.value(1).toString();
    QCOMPARE(ended, (QStringList{"1101 2024-03-05 11:42:07", "1103 2024-03-05 11:42:07",
                                 "1103 " /* the history row, untouched */}));
    QCOMPARE(pictures(*form, "1101"), QList<int>{0});
    QVERIFY(boxes_->boxes().isEmpty());  // no question, no message

    // Both items of a room with two current stays end both.
    QCOMPARE(pictures(*form, "2205"), (QList<int>{2, 2}));
    select(*form, {"2205"});
    QCOMPARE(form->selectedRooms(), (QStringList{"2205", "2205"}));
    form->mi_GuestLeaveClick();
    QCOMPARE(currentStays("2205"), 0);
    QCOMPARE(rebuilt.count(), 2);

    // Rooms without a current stay: nothing ended, no rebuild.
    select(*form, {"1102"});
    form->mi_GuestLeaveClick();
    QCOMPARE(rebuilt.count(), 2);
}

void MainTest::copyingNeedsCheckIn_data() {
    QTest::addColumn<QStringList>("rights");
    QTest::addColumn<QString>("entry");
    QTest::newRow("menu, no rights") << QStringList{} << "CopyGuestCard_Menu";
    QTest::newRow("pop-up menu, no rights") << QStringList{} << "mi_CopyCard";
    QTest::newRow("pop-up menu, check-out only") << QStringList{"CheckOut"} << "mi_CopyCard";
    QTest::newRow("menu, CheckIn") << QStringList{"CheckIn"} << "CopyGuestCard_Menu";
    QTest::newRow("pop-up menu, CheckIn") << QStringList{"CheckIn"} << "mi_CopyCard";
}

void MainTest::copyingNeedsCheckIn() {
    QFETCH(QStringList, rights);
    QFETCH(QString, entry);
    addOperator("op", rights);
    addStay("1203");
    auto form = makeForm();
    select(*form, {"1203"});
    form->PopupMenu1Popup();
    auto* action = form->findChild<QAction*>(entry);
    const bool allowed = rights.contains("CheckIn");
    QCOMPARE(action->isEnabled(), allowed);

    bool shown = false;
    bool missed = false;
    QString room;
    whenShown<TCopyGuestCard_Form>(
        [&](TCopyGuestCard_Form* copy) {
            shown = true;
            room = copy->se_Room1->text();
            copy->reject();
        },
        allowed ? 5000 : 300, &missed);
    action->trigger();
    if (!allowed) {
        QTRY_VERIFY(missed);  // no copy window, no card for the room
    }
    QCOMPARE(shown, allowed);
    if (allowed && entry == "mi_CopyCard") {
        QCOMPARE(room, QString("1203"));
    }
}

void MainTest::pairing_data() {
    QTest::addColumn<QString>("encoder");    // "kind code online", or "none" for no library
    QTest::addColumn<QString>("pass");       // stored [SystemInfo] Pass
    QTest::addColumn<QStringList>("boxes");  // a piece of each box's text, in order
    QTest::addColumn<bool>("terminate");
    QTest::addColumn<QString>("storedPass");  // [SystemInfo] Pass afterwards ("-": no key)
    QTest::newRow("first start stores the code")
        << "3 0102A0FF 1"
        << "" << QStringList{"0102A0FF"} << false << "0102A0FF";
    QTest::newRow("later start, lower case") << "3 A1B2C3D4 1"
                                             << "a1b2c3d4" << QStringList{} << false << "-";
    QTest::newRow("later start, other lock kind") << "9 A1B2C3D4 1"
                                                  << "A1B2C3D4" << QStringList{} << false << "-";
    QTest::newRow("encoder of another hotel")
        << "3 A1B2C3D4 1"
        << "A1B2C3D5" << QStringList{"非本系统的发卡机！", "-14"} << true << "-";
    QTest::newRow("data collector: no pairing") << "0 0102A0FF 1"
                                                << "" << QStringList{} << false << "-";
    QTest::newRow("off line") << "3 A1B2C3D4 0"
                              << "" << QStringList{"没有检测到发卡机，系统为演示版!"} << false
                              << "-";
    QTest::newRow("no library") << "none"
                                << "A1B2C3D4"
                                << QStringList{"无法加载发卡机程序库",
                                               "没有检测到发卡机，系统为演示版!"}
                                << false << "-";
    QTest::newRow("malformed Pass") << "3 A1B2C3D4 1"
                                    << "A1B2C3" << QStringList{"无效"} << false << "-";
    QTest::newRow("Pass with a non-hex digit") << "3 A1B2C3D4 1"
                                               << "A1B2C3DG" << QStringList{"无效"} << false << "-";
}

void MainTest::pairing() {
    QFETCH(QString, encoder);
    QFETCH(QString, pass);
    QFETCH(QStringList, boxes);
    QFETCH(bool, terminate);
    QFETCH(QString, storedPass);
    if (encoder == "none") {
        qv::Encoder::instance().reset();  // binds the (missing) library of the program's folder
    } else {
        const QStringList p = encoder.split(' ');
        setEncoder(p[0].toInt(), p[1], p[2] == "1");
    }
    LockSystemInfo.Pass = pass;
    auto form = makeForm();
    QStringList texts = boxes_->texts();
    QCOMPARE(texts.size(), boxes.size());
    for (int i = 0; i < boxes.size(); ++i) {
        QVERIFY2(texts[i].contains(boxes[i]), qPrintable(texts[i]));
    }
    if (encoder == "3 A1B2C3D4 0" || encoder == "none") {
        QCOMPARE(boxes_->last().title, QString("-2"));
        QCOMPARE(boxes_->last().icon, qv::Icon::Information);
        QVERIFY(!form->ReadDataCard_Menu->isEnabled());
    }
    QCOMPARE(qv::terminateRequested(), terminate);
    const qv::IniFile ini(app_->file("Mirefold.ini"));
    QCOMPARE(
        ini.hasKey("SystemInfo", "Pass") ? ini.readString("SystemInfo", "Pass", "") : QString("-"),
        storedPass);
    if (storedPass != "-") {
        QCOMPARE(LockSystemInfo.Pass, storedPass);
    }
}

void MainTest::noOperatorRowEndsTheProgram() {
    qv::session().login = "ghost";
    auto form = makeForm();
    QVERIFY(qv::terminateRequested());
    QVERIFY(!form->CheckIn_Menu->isEnabled());
    QVERIFY(!form->SystemSetting_Menu->isEnabled());
    // The look-up changed nothing: the operator still has no row, the other still has its.
    QCOMPARE(dm->conn.scalar("select count(*) from Operator where Staffer = 'op'").toInt(), 1);
    QCOMPARE(dm->conn.scalar("select count(*) from Operator where Staffer = 'ghost'").toInt(), 0);
}

void MainTest::functionKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("entry");
    QTest::newRow("F1") << int(Qt::Key_F1) << "CheckIn_Menu";
    QTest::newRow("F2") << int(Qt::Key_F2) << "ModifyGuestCard_Menu";
    QTest::newRow("F3") << int(Qt::Key_F3) << "CheckOut_Menu";
    QTest::newRow("F4") << int(Qt::Key_F4) << "ReadCard_Menu";
    QTest::newRow("F5") << int(Qt::Key_F5) << "ClearCard_Menu";
}

void MainTest::functionKeys() {
    QFETCH(int, key);
    QFETCH(QString, entry);
    auto form = makeForm();
    form->show();
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    auto* action = form->findChild<QAction*>(entry);
    QVERIFY(action);
    QCOMPARE(action->shortcut(), QKeySequence(key));
    QSignalSpy triggered(action, &QAction::triggered);
    QTest::keyClick(form->Room_ListView, Qt::Key(key));
    QCOMPARE(triggered.count(), 1);
    action->setEnabled(false);
    QTest::keyClick(form->Room_ListView, Qt::Key(key));
    QCOMPARE(triggered.count(), 1);
}

void MainTest::languageSwitch() {
    QString appName;
    {
        QWidget owner;
        TLanguage store(&owner);  // creates db/Language.db with its tables
        appName = store.AppName();
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "lang-setup");
        db.setDatabaseName(app_->file("db/Language.db"));
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(
            q.prepare("insert into Component_Table (AppName, FormName, ComponentName, LanguageID, "
                      "ComponentClass, ComponentProperty) values (?, 'MainForm', ?, 1033, ?, ?)"));
        for (const auto& [name, cls, text] :
             {std::tuple{"CheckIn_Menu", "QAction", "text:Check in"},
              {"N10", "QMenu", "title:Languages"}}) {
            q.addBindValue(appName);
            q.addBindValue(name);
            q.addBindValue(cls);
            q.addBindValue(text);
            QVERIFY(q.exec());
        }
        QVERIFY(q.prepare(
            "insert into Dialog_Table (AppName, FormName, DialogID, LanguageID, Title, MessageStr) "
            "values (?, 'MainForm', 0, 1033, '', ?)"));
        q.addBindValue(appName);
        q.addBindValue("0\n1\n2\n3\n4\n5\n6\n7\nRefresh\nAll buildings\nAll floors");
        QVERIFY(q.exec());
        // A text of the program's messages, outside any window.
        QVERIFY(q.prepare(
            "insert into Dialog_Table (AppName, FormName, DialogID, LanguageID, Title, MessageStr) "
            "values (?, 'Program', 0, 1033, '确定', 'OK')"));
        q.addBindValue(appName);
        QVERIFY(q.exec());
    }
    QSqlDatabase::removeDatabase("lang-setup");

    auto form = makeForm();
    QList<QAction*> entries = form->N10->actions();
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0], form->LanguageMenu);
    QCOMPARE(entries[1]->text(), qv::languageDisplayName(1033));
    QVERIFY(!entries[1]->isChecked());
    QCOMPARE(form->CheckIn_Menu->text(), QString("开房"));  // no rows for 2052

    entries[1]->trigger();
    QVERIFY(entries[1]->isChecked());
    QCOMPARE(LockSystemInfo.LanguageID, 1033);
    QCOMPARE(form->CheckIn_Menu->text(), QString("Check in"));
    QCOMPARE(form->N10->title(), QString("Languages"));
    QCOMPARE(form->Refresh_Bt->text(), QString("Refresh"));
    QCOMPARE(form->Building_CB->itemText(form->Building_CB->count() - 1), QString("All buildings"));
    QCOMPARE(form->Building_CB->itemText(0), QString("1"));  // the values themselves stay
    QCOMPARE(qv::programText(QStringLiteral("确定")), QString("OK"));
    QCOMPARE(qv::IniFile(app_->file("Mirefold.ini")).readInteger("SystemInfo", "LanguageID", 0),
             1033);

    // The default entry brings back the program's own texts at once.
    form->LanguageMenu->trigger();
    QCOMPARE(LockSystemInfo.LanguageID, qv::kBuiltInLanguageId);
    QCOMPARE(form->CheckIn_Menu->text(), QString("开房"));
    QCOMPARE(form->N10->title(), QString("语言选项"));
    QCOMPARE(form->Refresh_Bt->text(), QString("刷新"));
    QCOMPARE(form->Building_CB->itemText(form->Building_CB->count() - 1), QString("全部楼号"));
    QCOMPARE(qv::programText(QStringLiteral("确定")), QString("确定"));
    QCOMPARE(qv::IniFile(app_->file("Mirefold.ini")).readInteger("SystemInfo", "LanguageID", 0),
             qv::kBuiltInLanguageId);
    // And English again, from the built-in texts.
    entries[1]->trigger();
    QCOMPARE(form->CheckIn_Menu->text(), QString("Check in"));
    QVERIFY(boxes_->boxes().isEmpty());
}

void MainTest::helpDocuments_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("file");
    QTest::newRow("operating instructions") << "OprManual_Menu"
                                            << "Operating.htm";
    QTest::newRow("common faults") << "FAQ_Menu"
                                   << "Manual.htm";
}

void MainTest::helpDocuments() {
    QFETCH(QString, entry);
    QFETCH(QString, file);
    QVERIFY(QFile::copy(QStringLiteral(QV_SOURCE_DIR "/assets/") + file, app_->file(file)));
    QList<QUrl> opened;
    qv::setDocumentOpener([&opened](const QUrl& url) {
        opened << url;
        return true;  // the desktop's program took it
    });
    auto form = makeForm();
    form->findChild<QAction*>(entry)->trigger();
    QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(app_->file(file))});
    QVERIFY(boxes_->boxes().isEmpty());
    QVERIFY(!form->findChild<THelp_Form*>());  // no window of the program's own

    // A missing document is reported, not handed on.
    QFile::remove(app_->file(file));
    form->findChild<QAction*>(entry)->trigger();
    QCOMPARE(opened.size(), 1);
    QCOMPARE(boxes_->boxes().size(), 1);
    QCOMPARE(boxes_->last().icon, qv::Icon::Error);
    QVERIFY2(boxes_->last().text.contains(file), qPrintable(boxes_->last().text));
}

void MainTest::helpWithoutADesktopProgram() {
    for (const char* f : {"Operating.htm", "Manual.htm"}) {
        QVERIFY(QFile::copy(QStringLiteral(QV_SOURCE_DIR "/assets/") + f, app_->file(f)));
    }
    qv::setDocumentOpener([](const QUrl&) { return false; });  // no browser set up
    auto form = makeForm();
    form->setWindowState(Qt::WindowNoState);
    form->show();
    form->OprManual_Menu->trigger();
    auto* help = form->findChild<THelp_Form*>();
    QVERIFY(help);
    QVERIFY(help->isVisible());
    QVERIFY(!help->isModal());  // the board stays usable beside it
    QCOMPARE(help->path(), app_->file("Operating.htm"));
    QVERIFY2(help->windowTitle().contains("操作说明"), qPrintable(help->windowTitle()));
    QVERIFY(help->Help_Browser->toPlainText().contains("开房"));
    QVERIFY(boxes_->boxes().isEmpty());
    QVERIFY(QTest::qWaitForWindowExposed(help));
    saveScreenshot(help, "help-window");

    // The same document again: the same window. The other one: a second window.
    form->OprManual_Menu->trigger();
    QCOMPARE(form->findChildren<THelp_Form*>().size(), 1);
    form->FAQ_Menu->trigger();
    QCOMPARE(form->findChildren<THelp_Form*>().size(), 2);

    // Esc closes it, and a closed help window is freed.
    QPointer<THelp_Form> closed(help);
    help->activateWindow();
    QTest::keyClick(help->Help_Browser, Qt::Key_Escape);
    QTRY_VERIFY(closed.isNull());
    QCOMPARE(form->findChildren<THelp_Form*>().size(), 1);
}

void MainTest::desktopAnswer_data() {
    QTest::addColumn<int>("exitCode");  // of the stand-in xdg-open
    QTest::addColumn<bool>("failed");
    QTest::newRow("opened") << 0 << false;
    QTest::newRow("no program for the document") << 3 << true;
    QTest::newRow("no desktop tool behind it") << 4 << true;
}

void MainTest::desktopAnswer() {
    QFETCH(int, exitCode);
    QFETCH(bool, failed);
    // A stand-in xdg-open that notes its argument and answers with the code.
    app_->write("bin/xdg-open", QString("#!/bin/sh\necho \"$1\" > \"%1\"\nexit %2\n")
                                    .arg(app_->file("opened.txt"))
                                    .arg(exitCode)
                                    .toUtf8());
    QFile::setPermissions(app_->file("bin/xdg-open"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(app_->file("bin")));
    bool reported = false;
    qv::openDocument(QUrl::fromLocalFile(app_->file("Operating.htm")), [&] { reported = true; });
    qputenv("PATH", path);
    QTRY_VERIFY(QFile::exists(app_->file("opened.txt")));
    QCOMPARE(app_->read("opened.txt").trimmed(), QFile::encodeName(app_->file("Operating.htm")));
    if (failed) {
        QTRY_VERIFY(reported);
    } else {
        QTest::qWait(300);  // time for the answer to arrive
        QVERIFY(!reported);
    }
}

void MainTest::aboutBox_data() {
    QTest::addColumn<QString>("encoder");  // "kind online"
    QTest::addColumn<QByteArray>("information");
    QTest::addColumn<QString>("encoderSn");
    QTest::addColumn<QString>("lockType");
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("web");
    const QByteArray info = "[Sale]\nCompany=星河门锁科技有限公司\nWeb=www.example.com\n";
    QTest::newRow("IC card locks") << "3 1" << info << "发卡机编号： A1B2C3D4"
                                   << "门锁类型：IC卡门锁系统"
                                   << "星河门锁科技有限公司"
                                   << "www.example.com";
    QTest::newRow("data collector") << "0 1" << QByteArray() << "发卡机编号： A1B2C3D4"
                                    << "门锁类型：USB数据采集器"
                                    << ""
                                    << "";
    QTest::newRow("MIFARE") << "9 1" << QByteArray() << "发卡机编号： A1B2C3D4"
                            << "门锁类型：MIFARE感应卡门锁系统"
                            << ""
                            << "";
    QTest::newRow("kind not in the table") << "4 1" << QByteArray() << "发卡机编号： A1B2C3D4"
                                           << "发卡机不联机"
                                           << ""
                                           << "";
    QTest::newRow("off line") << "3 0" << info << "发卡机编号： "
                              << "发卡机不联机"
                              << "星河门锁科技有限公司"
                              << "www.example.com";
}

void MainTest::aboutBox() {
    QFETCH(QString, encoder);
    QFETCH(QByteArray, information);
    QFETCH(QString, encoderSn);
    QFETCH(QString, lockType);
    QFETCH(QString, company);
    QFETCH(QString, web);
    const QStringList p = encoder.split(' ');
    setEncoder(p[0].toInt(), "A1B2C3D4", p[1] == "1");
    if (!information.isEmpty()) {
        app_->write("Information.ini", information);
    }
    TAboutForm about;
    QCOMPARE(about.objectName(), QString("AboutForm"));
    QCOMPARE(about.windowTitle(), QString("AboutForm"));
    QCOMPARE(about.Version_L->text(), QString("Quorvane V18.0"));
    QCOMPARE(about.EncoderSn_Label->text(), encoderSn);
    QCOMPARE(about.CardType_Label->text(), lockType);
    QCOMPARE(about.Company_Label->text(), company);
    QCOMPARE(about.Web_Label->text(), web);
    QVERIFY(about.OKButton->isDefault());
    QVERIFY(!about.Label2->isVisibleTo(&about));

    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QTest::keyClick(&about, Qt::Key_Escape);
    QVERIFY(about.isVisible());                       // Esc does nothing
    QTest::keyClick(about.OKButton, Qt::Key_Escape);  // nor from the focused button
    QVERIFY(about.isVisible());
    if (QTest::currentDataTag() == QByteArray("IC card locks")) {
        saveScreenshot(&about, "about-box");
    }
    QTest::keyClick(about.OKButton, Qt::Key_Return);
    QVERIFY(!about.isVisible());
    QCOMPARE(about.result(), int(QDialog::Accepted));
}

QTEST_MAIN(MainTest)
#include "tst_main.moc"
