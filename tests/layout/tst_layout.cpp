// The hotel layout windows: rooms, room types and districts, on SQLite and
// on the PostgreSQL server, driven through their widgets.
#include "LockDatabase.h"
#include "SimEncoder.h"
#include "TestSupport.h"
#include "WindowFixture.h"

#include "card/CardFunctions.h"
#include "data/DataSet.h"
#include "data/DataSetModel.h"
#include "data/dm_unit.h"
#include "layout/DistrictSetting_Unit.h"
#include "layout/RoomInfo_Unit.h"
#include "layout/RoomType_Unit.h"
#include "layout/Rooms.h"
#include "platform/Errors.h"
#include "settings/Settings.h"
#include "stays/GuestLeave_Unit.h"
#include "stays/GuestQuickIn_Unit.h"
#include "window/RecordGrid.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QHelpEvent>
#include <QToolTip>
#include <QtTest>
#include <memory>

namespace {

const QString kPgDatabase = QStringLiteral("qvtest_layout");
const QString kEmptyPlate = QStringLiteral("实际门牌号码不能空！");

QVariant scalar(const QString& sql, const qv::Binds& binds = {}) {
    return dm->conn.scalar(sql, binds);
}

int roomCount() {
    return scalar("select count(*) from RoomInfo").toInt();
}

void addRoom(int building, int floor, int number, const QString& plate) {
    const qv::RoomAddress a =
        qv::roomAddress(QString::number(building), QString::number(floor), number);
    dm->conn.execute(
        "insert into RoomInfo (Room, RoomStr, SystemRoomStr, Buiding, Floor, RoomNumber) "
        "values (:r, :s, :y, :b, :f, :n)",
        {{":r", a.Room},
         {":s", plate},
         {":y", a.SystemRoomStr},
         {":b", building},
         {":f", floor},
         {":n", number}});
}

void addStay(const QString& plate, int enOverride) {
    dm->conn.execute(
        "insert into GuestInRecord (Room, RoomStr, GuestName, GuestInTime, enOverride) "
        "select Room, RoomStr, 'guest', :t, :o from RoomInfo where RoomStr = :s",
        {{":s", plate}, {":t", QDateTime(QDate(2025, 3, 1), QTime(15, 20))}, {":o", enOverride}});
}

QStringList freeNumbers(const TRoomInfo_Form& f) {
    QStringList numbers;
    for (int i = 0; i < f.RoomInfo_LV->count(); ++i) {
        numbers << f.RoomInfo_LV->item(i)->text();
    }
    return numbers;
}

QStringList twoDigitNumbers(int from, int to) {
    QStringList list;
    for (int n = from; n <= to; ++n) {
        list << QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
    }
    return list;
}

// The grid row of the room with this door plate, -1 when it is not listed.
int gridRow(const TRoomInfo_Form& f, const QString& plate) {
    const int column = f.RoomInfo_ado->fieldIndex("RoomStr");
    for (int r = 0; r < f.RoomInfo_ado->recordCount(); ++r) {
        if (f.RoomInfo_ado->textAt(r, column) == plate) {
            return r;
        }
    }
    return -1;
}

// The cell editor the grid has open (an old one is hidden before it goes).
template <class W>
W* openEditor(QAbstractItemView* grid) {
    for (W* w : grid->viewport()->findChildren<W*>()) {
        if (w->isVisible()) {
            return w;
        }
    }
    return nullptr;
}

void showWindow(QWidget* w) {
    w->show();
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowExposed(w));
}

// Types into a cell of the rooms grid as an operator would: the editor, the
// text, Enter.
void typeInCell(TRoomInfo_Form& f, int row, int column, const QString& text) {
    const QModelIndex index = f.RoomInfo_Dbg->model()->index(row, column);
    auto* editor = openEditor<QLineEdit>(f.RoomInfo_Dbg);
    if (!editor || f.RoomInfo_Dbg->currentIndex() != index) {
        f.RoomInfo_Dbg->scrollTo(index);  // an editor out of sight is hidden
        f.RoomInfo_Dbg->setCurrentIndex(index);
        f.RoomInfo_Dbg->edit(index);
        editor = openEditor<QLineEdit>(f.RoomInfo_Dbg);
    }
    QVERIFY2(editor, "no cell editor");
    editor->selectAll();
    bool ascii = true;
    for (QChar c : text) {
        ascii = ascii && c.unicode() < 128;
    }
    if (ascii) {
        QTest::keyClicks(editor, text);
    } else {
        editor->insert(text);  // as an input method would
    }
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();  // the grid takes the cell when the editor closes
}

void pickType(TRoomInfo_Form& f, int row, const QString& title) {
    const QModelIndex index = f.RoomInfo_Dbg->model()->index(row, 2);
    f.RoomInfo_Dbg->setCurrentIndex(index);
    f.RoomInfo_Dbg->edit(index);
    auto* box = openEditor<QComboBox>(f.RoomInfo_Dbg);
    QVERIFY2(box, "no pick list");
    QCOMPARE(box->objectName(), QString("RoomTypeStr_PickList"));
    const int at = box->findText(title);
    QVERIFY2(at >= 0, qPrintable(title));
    box->setCurrentIndex(at);
    QTest::keyClick(box, Qt::Key_Return);
    QApplication::processEvents();
}

void generate(TRoomInfo_Form& f, const QString& building, const QString& floor) {
    f.Building_Edit->setText(building);
    f.Floor_Edit->setText(floor);
    QVERIFY(f.GenRoomNumber_Bt->isEnabled());
    QTest::mouseClick(f.GenRoomNumber_Bt, Qt::LeftButton);
}

void doubleClickNumber(TRoomInfo_Form& f, const QString& number) {
    const QList<QListWidgetItem*> items = f.RoomInfo_LV->findItems(number, Qt::MatchExactly);
    QCOMPARE(items.size(), 1);
    f.RoomInfo_LV->doItemsLayout();  // an icon view places its items later
    f.RoomInfo_LV->scrollToItem(items[0]);
    // A double-click is a press that selects, then the double-click (which
    // QTest sends alone).
    const QPoint at = f.RoomInfo_LV->visualItemRect(items[0]).center();
    QTest::mouseClick(f.RoomInfo_LV->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(f.RoomInfo_LV->viewport(), Qt::LeftButton, {}, at);
}

// Adds room `number` of the floor in the boxes with door plate `plate`
// through the list, the grid and OK.
void addThroughWindow(TRoomInfo_Form& f, const QString& number, const QString& plate) {
    doubleClickNumber(f, number);
    QVERIFY(f.addMode());
    const int row = f.RoomInfo_Dbg->records()->pendingRow();
    QCOMPARE(row, f.RoomInfo_ado->recordCount());
    typeInCell(f, row, 1, plate);
    QTest::mouseClick(f.Ok_Bt, Qt::LeftButton);
}

void verifyListMode(const TRoomInfo_Form& f) {
    QVERIFY(!f.addMode());
    QVERIFY(f.RoomInfo_LV->isEnabled());
    QVERIFY(f.Building_Edit->isEnabled() && f.Floor_Edit->isEnabled());
    QVERIFY(!f.Ok_Bt->isEnabled());
    QCOMPARE(f.RoomInfo_ado->state(), qv::DataSet::State::Browse);
    QCOMPARE(f.RoomInfo_Dbg->records()->pendingRow(), -1);
}

}  // namespace

class LayoutTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    // Rooms
    void roomsWindowAtStart();
    void freeNumbersOfAFloor_data() { addDatabaseKinds(); }
    void freeNumbersOfAFloor();
    void badBoxesLeaveTheList_data();
    void badBoxesLeaveTheList();
    void addedRoomCarriesItsAddress_data() { addDatabaseKinds(); }
    void addedRoomCarriesItsAddress();
    void addressIsTakenAtTheDoubleClick();
    void refusedNewRoomsLeaveNothing_data();
    void refusedNewRoomsLeaveNothing();
    void doubleClickWithNothingSelected();
    void typeChangeOfAStoredRoom_data() { addDatabaseKinds(); }
    void typeChangeOfAStoredRoom();
    void doorPlateChangeOfAStoredRoom_data() { addDatabaseKinds(); }
    void doorPlateChangeOfAStoredRoom();
    void closingStoresNothingPending();
    void deleteAsksAndKeepsOccupiedRooms_data() { addDatabaseKinds(); }
    void deleteAsksAndKeepsOccupiedRooms();
    void doorPlatesAreStoredAsSeen_data();
    void doorPlatesAreStoredAsSeen();
    void doorPlatesWithBlanksFromBefore_data();
    void doorPlatesWithBlanksFromBefore();
    void databaseRefusesASecondLockAddress_data() { addDatabaseKinds(); }
    void databaseRefusesASecondLockAddress();
    void roomsByKeyboard();
    void captureModeKey();
    void newFloorToACard_data() { addDatabaseKinds(); }
    void newFloorToACard();

    // Room types
    void roomTypesAddEditDelete_data() { addDatabaseKinds(); }
    void roomTypesAddEditDelete();
    void saveFollowsTheTitleBox();
    void roomTypeRefusals_data();
    void roomTypeRefusals();
    void roomTypeTitlesAsSeen();
    void gridClickDropsWhatWasEntered();
    void roomTypesByKeyboard();

    // Districts
    void districtsAddAndRefuse_data() { addDatabaseKinds(); }
    void districtsAddAndRefuse();
    void districtNumbers_data();
    void districtNumbers();
    void districtDeleteAndExactNotes();

private:
    WindowFixture fx;
};

void LayoutTest::init() {
    QV_SET_UP_WINDOW_FIXTURE(fx, kPgDatabase);
}

void LayoutTest::cleanup() {
    fx.tearDown();
}

// ---------------------------------------------------------------------------
// Rooms

void LayoutTest::roomsWindowAtStart() {
    TRoomInfo_Form f;
    QCOMPARE(f.objectName(), QString("RoomInfo_Form"));
    QCOMPARE(f.windowTitle(), QString("房间设置"));
    QCOMPARE(f.Label1->text(), QString("楼号："));
    QCOMPARE(f.Label2->text(), QString("楼层："));
    QCOMPARE(f.GenRoomNumber_Bt->text(), QString("生成房间号"));
    QCOMPARE(f.Ok_Bt->text(), QString("确定(&E)"));
    QCOMPARE(f.Delete_Bt->text(), QString("删除(&D)"));
    QCOMPARE(f.Exit_Bt->text(), QString("关闭(&C)"));
    QCOMPARE(f.Building_Edit->maxLength(), 2);
    QCOMPARE(f.Floor_Edit->maxLength(), 2);
    QVERIFY(f.Building_Edit->text().isEmpty() && f.Floor_Edit->text().isEmpty());
    QVERIFY(!f.GenRoomNumber_Bt->isEnabled());
    QVERIFY(!f.Ok_Bt->isEnabled());
    QVERIFY(!f.Delete_Bt->isEnabled());
    QCOMPARE(f.RoomInfo_LV->count(), 0);
    QCOMPARE(f.RoomInfo_LV->viewMode(), QListView::IconMode);
    QCOMPARE(f.RoomInfo_LV->iconSize(), QSize(32, 32));
    QCOMPARE(f.Room_ImageList.size(), 1);
    QCOMPARE(f.Room_ImageList[0].cacheKey(), f.windowIcon().cacheKey());

    // The grid: every room by building, floor and key, three columns.
    auto* model = f.RoomInfo_Dbg->records();
    QCOMPARE(model->columnCount(), 3);
    QCOMPARE(model->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QString("系统房号"));
    QCOMPARE(model->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
             QString("实际门牌号码"));
    QCOMPARE(model->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), QString("房间类型"));
    QCOMPARE(model->rowCount(), 36);
    QCOMPARE(model->index(0, 0).data().toString(), QString("010101"));
    QCOMPARE(model->index(35, 1).data().toString(), QString("2206"));
    QVERIFY(!(model->flags(model->index(0, 0)) & Qt::ItemIsEditable));
    QVERIFY(model->flags(model->index(0, 1)) & Qt::ItemIsEditable);
    QVERIFY(model->flags(model->index(0, 2)) & Qt::ItemIsEditable);
    QCOMPARE(f.roomTypeTitles(), (QStringList{"标准间", "大床房", "豪华套房"}));

    // Both boxes enable the generate button.
    f.Building_Edit->setText("1");
    QVERIFY(!f.GenRoomNumber_Bt->isEnabled());
    f.Floor_Edit->setText("2");
    QVERIFY(f.GenRoomNumber_Bt->isEnabled());
    f.Building_Edit->clear();
    QVERIFY(!f.GenRoomNumber_Bt->isEnabled());
}

void LayoutTest::freeNumbersOfAFloor() {
    // The free room picture, from the program's pictures.
    QDir().mkpath(fx.app->file("pic/build"));
    QVERIFY(QFile::copy(QStringLiteral(QV_SOURCE_DIR) + "/assets/pic/build/Normal.bmp",
                        fx.app->file("pic/build/Normal.bmp")));

    addRoom(3, 4, 1, "3401");
    addRoom(3, 4, 5, "3405");
    addRoom(4, 3, 2, "4302");  // another building and floor
    TRoomInfo_Form f;
    showWindow(&f);
    QVERIFY(!f.Room_ImageList.value(0).isNull());
    generate(f, "3", "4");
    QCOMPARE(freeNumbers(f), twoDigitNumbers(2, 4) + twoDigitNumbers(6, 99));
    QCOMPARE(f.RoomInfo_LV->item(0)->icon().cacheKey(), f.Room_ImageList[0].cacheKey());
    saveScreenshot(&f, "RoomInfo_Form");
    // Pressing it again needs a change of a box first.
    QVERIFY(!f.GenRoomNumber_Bt->isEnabled());
    f.Floor_Edit->setText("04");
    QVERIFY(f.GenRoomNumber_Bt->isEnabled());
    QTest::mouseClick(f.GenRoomNumber_Bt, Qt::LeftButton);
    QCOMPARE(f.RoomInfo_LV->count(), 97);
    generate(f, "9", "9");
    QCOMPARE(freeNumbers(f), twoDigitNumbers(1, 99));
    QVERIFY(fx.dialogs->boxes().isEmpty());
}

void LayoutTest::badBoxesLeaveTheList_data() {
    QTest::addColumn<QString>("building");
    QTest::addColumn<QString>("floor");
    QTest::addColumn<QString>("message");
    const QString zero = "楼号或楼层不能为0。";
    const QString digits = "请输入数字。";
    QTest::newRow("building 0") << "0"
                                << "2" << zero;
    QTest::newRow("floor 00") << "1"
                              << "00" << zero;
    QTest::newRow("negative floor") << "1"
                                    << "-1" << zero;
    QTest::newRow("letter in the building") << "a"
                                            << "2" << digits;
    QTest::newRow("letter in the floor") << "1"
                                         << "2b" << digits;
    QTest::newRow("blank floor") << "1"
                                 << " " << digits;
    QTest::newRow("plus sign") << "+1"
                               << "2" << digits;
}

void LayoutTest::badBoxesLeaveTheList() {
    QFETCH(QString, building);
    QFETCH(QString, floor);
    QFETCH(QString, message);
    TRoomInfo_Form f;
    showWindow(&f);
    generate(f, "1", "3");
    QCOMPARE(freeNumbers(f), twoDigitNumbers(9, 99));
    generate(f, building, floor);
    QCOMPARE(fx.dialogs->texts(), QStringList{message});
    QCOMPARE(fx.dialogs->last().icon, qv::Icon::None);
    QCOMPARE(freeNumbers(f), twoDigitNumbers(9, 99));
    QCOMPARE(QApplication::focusWidget(), f.Building_Edit);

    // An empty box keeps the button disabled; the message comes from the handler.
    fx.dialogs->clear();
    f.Floor_Edit->clear();
    QVERIFY(!f.GenRoomNumber_Bt->isEnabled());
    QVERIFY(!f.GenRoomNumber());
    // The building box is read first: a good one leaves the empty floor to blame.
    QCOMPARE(fx.dialogs->texts(), QStringList{building == "1" ? "请输入数字。" : message});
    QCOMPARE(f.RoomInfo_LV->count(), 91);
}

void LayoutTest::addedRoomCarriesItsAddress() {
    TRoomInfo_Form f;
    showWindow(&f);
    generate(f, "3", "12");
    QCOMPARE(f.RoomInfo_LV->count(), 99);
    doubleClickNumber(f, "07");

    // Add mode: the new room is the last row of the grid, its door plate cell open.
    QVERIFY(f.addMode());
    QVERIFY(!f.RoomInfo_LV->isEnabled());
    QVERIFY(!f.Building_Edit->isEnabled() && !f.Floor_Edit->isEnabled());
    QVERIFY(f.Ok_Bt->isEnabled() && !f.Delete_Bt->isEnabled());
    QVERIFY(!freeNumbers(f).contains("07"));
    auto* model = f.RoomInfo_Dbg->records();
    const int row = model->pendingRow();
    QCOMPARE(row, 36);
    QCOMPARE(model->rowCount(), 37);
    QCOMPARE(model->index(row, 0).data().toString(), QString("031207"));
    QVERIFY(openEditor<QLineEdit>(f.RoomInfo_Dbg));
    saveScreenshot(&f, "RoomInfo_Form-doorplate");
    // The other rows wait until the new one is confirmed or dropped.
    QCOMPARE(model->flags(model->index(0, 1)), Qt::NoItemFlags);
    QCOMPARE(roomCount(), 36);

    typeInCell(f, row, 1, "A-307");
    pickType(f, row, "豪华套房");
    QCOMPARE(model->index(row, 1).data().toString(), QString("A-307"));
    QCOMPARE(model->index(row, 2).data().toString(), QString("豪华套房"));
    saveScreenshot(&f, "RoomInfo_Form-adding");
    QTest::mouseClick(f.Ok_Bt, Qt::LeftButton);

    QVERIFY2(fx.dialogs->boxes().isEmpty(), qPrintable(fx.dialogs->texts().join('\n')));
    qv::DataSet room(dm->conn);
    room.setSql("select * from RoomInfo where RoomStr = 'A-307'");
    room.open();
    QCOMPARE(room.recordCount(), 1);
    QCOMPARE(room.text("SystemRoomStr"), QString("031207"));
    QCOMPARE(room.asInteger("Buiding"), 3);
    QCOMPARE(room.asInteger("Floor"), 12);
    QCOMPARE(room.asInteger("RoomNumber"), 7);
    QCOMPARE(room.asInteger("Room"), 31207);
    QCOMPARE(room.text("RoomTypeStr"), QString("豪华套房"));
    QCOMPARE(room.asInteger("RoomType"), 3);
    QCOMPARE(room.asInteger("RoomState"), 0);
    QCOMPARE(room.asInteger("CardSn"), 0);
    QVERIFY(RoomBoardChanged);
    verifyListMode(f);
    QCOMPARE(freeNumbers(f), twoDigitNumbers(1, 6) + twoDigitNumbers(8, 99));
    // The door plate column is read-only once a room is stored.
    QVERIFY(!f.roomStrEditable());
    QVERIFY(!(model->flags(model->index(0, 1)) & Qt::ItemIsEditable));
    QVERIFY(model->flags(model->index(0, 2)) & Qt::ItemIsEditable);
    // The room is in the grid in its place: after the rooms of building 2.
    QCOMPARE(gridRow(f, "A-307"), 36);

    // Building 1, floor 2, room 03 written as 01 / 02 gives another key.
    f.Building_Edit->setText("01");
    f.Floor_Edit->setText("03");
    QTest::mouseClick(f.GenRoomNumber_Bt, Qt::LeftButton);
    addThroughWindow(f, "09", "1309");
    QCOMPARE(scalar("select Room from RoomInfo where RoomStr = '1309'").toInt(), 10309);
    QCOMPARE(scalar("select SystemRoomStr from RoomInfo where RoomStr = '1309'").toString(),
             QString("010309"));
    // A room without a type keeps none.
    QVERIFY(scalar("select RoomTypeStr from RoomInfo where RoomStr = '1309'").isNull());
}

void LayoutTest::addressIsTakenAtTheDoubleClick() {
    TRoomInfo_Form f;
    showWindow(&f);
    generate(f, "3", "12");
    // Changed after the list was made: the new room is on floor 13.
    f.Floor_Edit->setText("13");
    addThroughWindow(f, "07", "3307");
    QCOMPARE(scalar("select SystemRoomStr from RoomInfo where RoomStr = '3307'").toString(),
             QString("031307"));
    QCOMPARE(scalar("select Room from RoomInfo where RoomStr = '3307'").toInt(), 31307);
    QCOMPARE(freeNumbers(f), twoDigitNumbers(1, 6) + twoDigitNumbers(8, 99));
}

void LayoutTest::refusedNewRoomsLeaveNothing_data() {
    QTest::addColumn<QString>("building");
    QTest::addColumn<QString>("floor");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("plate");
    QTest::addColumn<QString>("meanwhile");  // a statement another desk runs after the list
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("stillFree");  // the number is listed again afterwards
    QTest::newRow("empty door plate") << "3"
                                      << "1"
                                      << "05"
                                      << ""
                                      << "" << kEmptyPlate << true;
    QTest::newRow("blank door plate") << "3"
                                      << "1"
                                      << "05"
                                      << "   "
                                      << "" << kEmptyPlate << true;
    QTest::newRow("door plate of another room") << "3"
                                                << "1"
                                                << "05"
                                                << "1203"
                                                << ""
                                                << "实际门牌号码1203不能重复！" << true;
    QTest::newRow("lock address taken at another desk")
        << "3"
        << "1"
        << "05"
        << "3105"
        << "insert into RoomInfo (Room, RoomStr, SystemRoomStr, Buiding, Floor, RoomNumber) "
           "values (30105, 'X', '030105', 3, 1, 5)"
        << "3楼1层05号的门锁已经是房间X，不能重复设置！" << false;
    // Building 1 floor 11 and building 11 floor 1 give the same key 11101.
    QTest::newRow("room key of another room")
        << "11"
        << "1"
        << "01"
        << "11-101"
        << "insert into RoomInfo (Room, RoomStr, SystemRoomStr, Buiding, Floor, RoomNumber) "
           "values (11101, 'B1', '011101', 1, 11, 1)"
        << "房间编号11101已经是房间B1的编号，不能重复！请换一种楼号或楼层的写法。" << true;
    QTest::newRow("door plate on postgres") << "3"
                                            << "1"
                                            << "05"
                                            << "1203"
                                            << ""
                                            << "实际门牌号码1203不能重复！" << true;
    QTest::newRow("lock address on postgres")
        << "3"
        << "1"
        << "05"
        << "3105"
        << "insert into RoomInfo (Room, RoomStr, SystemRoomStr, Buiding, Floor, RoomNumber) "
           "values (30105, 'X', '030105', 3, 1, 5)"
        << "3楼1层05号的门锁已经是房间X，不能重复设置！" << false;
}

void LayoutTest::refusedNewRoomsLeaveNothing() {
    QFETCH(QString, building);
    QFETCH(QString, floor);
    QFETCH(QString, number);
    QFETCH(QString, plate);
    QFETCH(QString, meanwhile);
    QFETCH(QString, message);
    QFETCH(bool, stillFree);
    TRoomInfo_Form f;
    showWindow(&f);
    generate(f, building, floor);
    QVERIFY(freeNumbers(f).contains(number));
    if (!meanwhile.isEmpty()) {
        dm->conn.execute(meanwhile);
    }
    const int rooms = roomCount();
    doubleClickNumber(f, number);
    if (!plate.isEmpty()) {
        typeInCell(f, f.RoomInfo_Dbg->records()->pendingRow(), 1, plate);
    }
    QTest::mouseClick(f.Ok_Bt, Qt::LeftButton);

    QCOMPARE(fx.dialogs->texts(), QStringList{message});
    QCOMPARE(roomCount(), rooms);
    QCOMPARE(scalar("select count(*) from RoomInfo where RoomStr = :s", {{":s", plate}}).toInt(),
             plate == "1203" ? 1 : 0);
    QVERIFY(!RoomBoardChanged);
    verifyListMode(f);
    QCOMPARE(f.RoomInfo_Dbg->records()->rowCount(), rooms);
    // The list is made again from the database: a number another desk took is gone.
    QCOMPARE(freeNumbers(f).contains(number), stillFree);
}

void LayoutTest::doubleClickWithNothingSelected() {
    TRoomInfo_Form f;
    showWindow(&f);
    generate(f, "3", "1");
    f.RoomInfo_LV->clearSelection();
    // Beside the numbers, at the bottom right of the list.
    const QPoint beside(f.RoomInfo_LV->viewport()->width() - 3,
                        f.RoomInfo_LV->viewport()->height() - 3);
    QVERIFY(!f.RoomInfo_LV->itemAt(beside));
    QTest::mouseDClick(f.RoomInfo_LV->viewport(), Qt::LeftButton, {}, beside);
    QVERIFY(f.addMode());
    QVERIFY(f.Ok_Bt->isEnabled() && !f.RoomInfo_LV->isEnabled());
    QCOMPARE(f.RoomInfo_Dbg->records()->pendingRow(), -1);
    QCOMPARE(f.RoomInfo_LV->count(), 99);
    QTest::mouseClick(f.Ok_Bt, Qt::LeftButton);
    verifyListMode(f);
    QCOMPARE(roomCount(), 36);
    QVERIFY(fx.dialogs->boxes().isEmpty());
}

void LayoutTest::typeChangeOfAStoredRoom() {
    TRoomInfo_Form f;
    showWindow(&f);
    const int row = gridRow(f, "1203");
    QCOMPARE(f.RoomInfo_Dbg->records()->index(row, 2).data().toString(), QString("标准间"));
    // Opening the pick list and leaving the type as it was starts nothing.
    pickType(f, row, "标准间");
    QCOMPARE(f.RoomInfo_ado->state(), qv::DataSet::State::Browse);
    QVERIFY(!f.Ok_Bt->isEnabled());

    pickType(f, row, "大床房");
    QCOMPARE(f.RoomInfo_ado->state(), qv::DataSet::State::Edit);
    QVERIFY(f.Ok_Bt->isEnabled() && !f.Delete_Bt->isEnabled());
    QVERIFY(!f.RoomInfo_LV->isEnabled());
    QCOMPARE(f.RoomInfo_Dbg->records()->pendingRow(), row);
    QCOMPARE(scalar("select RoomTypeStr from RoomInfo where RoomStr = '1203'").toString(),
             QString("标准间"));
    // The grid's cursor cannot take the change to another room.
    f.RoomInfo_Dbg->setFocus();
    QTest::keyClick(f.RoomInfo_Dbg, Qt::Key_Up);
    QTest::keyClick(f.RoomInfo_Dbg, Qt::Key_Down);
    QTest::keyClick(f.RoomInfo_Dbg, Qt::Key_Down);
    QCOMPARE(f.RoomInfo_ado->recNo(), row + 1);
    // Both boxes are empty: confirming stores the type without a box message.
    QTest::mouseClick(f.Ok_Bt, Qt::LeftButton);
    QVERIFY2(fx.dialogs->boxes().isEmpty(), qPrintable(fx.dialogs->texts().join('\n')));
    QCOMPARE(scalar("select RoomTypeStr from RoomInfo where RoomStr = '1203'").toString(),
             QString("大床房"));
    QCOMPARE(scalar("select RoomType from RoomInfo where RoomStr = '1203'").toInt(), 2);
    QCOMPARE(scalar("select count(*) from RoomInfo where RoomTypeStr = '大床房'").toInt(), 12);
    QCOMPARE(scalar("select Buiding * 10000 + Floor * 100 + RoomNumber from RoomInfo where "
                    "RoomStr = '1203'")
                 .toInt(),
             10203);
    QVERIFY(RoomBoardChanged);
    verifyListMode(f);
    QCOMPARE(roomCount(), 36);

    // A type that is no longer among the types stays on offer for its room.
    dm->conn.execute("update RoomInfo set RoomTypeStr = '旧房型' where RoomStr = '1101'");
    TRoomInfo_Form g;
    showWindow(&g);
    const QModelIndex index = g.RoomInfo_Dbg->model()->index(gridRow(g, "1101"), 2);
    g.RoomInfo_Dbg->setCurrentIndex(index);
    g.RoomInfo_Dbg->edit(index);
    auto* box = openEditor<QComboBox>(g.RoomInfo_Dbg);
    QVERIFY(box);
    QCOMPARE(box->currentText(), QString("旧房型"));
    QCOMPARE(box->count(), 4);
}

void LayoutTest::doorPlateChangeOfAStoredRoom() {
    addStay("1101", 0);
    TRoomInfo_Form f;
    showWindow(&f);
    QVERIFY(f.roomStrEditable());

    // To a door plate another room has: refused, both rooms stay as they are.
    typeInCell(f, gridRow(f, "1203"), 1, "1204");
    QVERIFY(f.Ok_Bt->isEnabled());
    QTest::mouseClick(f.Ok_Bt, Qt::LeftButton);
    QCOMPARE(fx.dialogs->texts(), QStringList{"实际门牌号码1204不能重复！"});
    QCOMPARE(roomCount(), 36);
    QCOMPARE(scalar("select count(*) from RoomInfo where RoomStr in ('1203', '1204')").toInt(), 2);
    QCOMPARE(scalar("select RoomStr from RoomInfo where Room = 1203").toString(), QString("1203"));
    QCOMPARE(f.RoomInfo_Dbg->records()->index(gridRow(f, "1203"), 1).data().toString(),
             QString("1203"));
    QVERIFY(!RoomBoardChanged);
    verifyListMode(f);

    // The door plate of a room with a guest: the stay is found by it.
    fx.dialogs->clear();
    typeInCell(f, gridRow(f, "1101"), 1, "1101A");
    QTest::mouseClick(f.Ok_Bt, Qt::LeftButton);
    QCOMPARE(fx.dialogs->texts(), QStringList{"房间1101有客人入住，不能修改门牌号码！"});
    QCOMPARE(scalar("select RoomStr from RoomInfo where Room = 1101").toString(), QString("1101"));

    // A free door plate: stored on the same room, lock address unchanged.
    fx.dialogs->clear();
    typeInCell(f, gridRow(f, "1203"), 1, "1203A");
    QTest::mouseClick(f.Ok_Bt, Qt::LeftButton);
    QVERIFY(fx.dialogs->boxes().isEmpty());
    QCOMPARE(scalar("select RoomStr from RoomInfo where Room = 1203").toString(), QString("1203A"));
    QCOMPARE(scalar("select SystemRoomStr from RoomInfo where Room = 1203").toString(),
             QString("010203"));
    QVERIFY(RoomBoardChanged);
    QVERIFY(!f.roomStrEditable());
}

void LayoutTest::closingStoresNothingPending() {
    for (const bool byEscape : {false, true}) {
        TRoomInfo_Form f;
        showWindow(&f);
        generate(f, "3", "1");
        doubleClickNumber(f, "02");
        typeInCell(f, f.RoomInfo_Dbg->records()->pendingRow(), 1, "3102");
        if (byEscape) {
            QTest::keyClick(f.RoomInfo_Dbg, Qt::Key_Escape);
        } else {
            QTest::mouseClick(f.Exit_Bt, Qt::LeftButton);
        }
        QVERIFY(!f.isVisible());
        QCOMPARE(roomCount(), 36);
        QVERIFY(!RoomBoardChanged);
    }
    // A changed type of a stored room, closed with its window.
    TRoomInfo_Form f;
    showWindow(&f);
    pickType(f, gridRow(f, "1101"), "豪华套房");
    QVERIFY(f.Ok_Bt->isEnabled());
    f.close();
    QCOMPARE(scalar("select RoomTypeStr from RoomInfo where RoomStr = '1101'").toString(),
             QString("标准间"));
    QVERIFY(fx.dialogs->boxes().isEmpty());
}

void LayoutTest::deleteAsksAndKeepsOccupiedRooms() {
    addStay("1101", 0);  // a guest in the room
    addStay("1102", 1);  // an ended stay only
    TRoomInfo_Form f;
    showWindow(&f);
    generate(f, "1", "1");
    QCOMPARE(freeNumbers(f), twoDigitNumbers(9, 99));

    // Occupied: said so at once, no question, nothing deleted.
    clickRow(f.RoomInfo_Dbg, gridRow(f, "1101"));
    QTest::mouseClick(f.RoomInfo_Dbg->viewport(), Qt::LeftButton, {},
                      f.RoomInfo_Dbg->visualRect(f.RoomInfo_Dbg->currentIndex()).center());
    QVERIFY(f.Delete_Bt->isEnabled());
    QTest::mouseClick(f.Delete_Bt, Qt::LeftButton);
    QCOMPARE(fx.dialogs->texts(), QStringList{"房间1101有客人入住，不能删除！"});
    QCOMPARE(roomCount(), 36);

    // The question, answered with Cancel: nothing deleted.
    fx.dialogs->clear();
    clickRow(f.RoomInfo_Dbg, gridRow(f, "1102"));
    fx.dialogs->answer(qv::Answer::Cancel);
    QTest::mouseClick(f.Delete_Bt, Qt::LeftButton);
    QCOMPARE(fx.dialogs->texts(), QStringList{"确定要删除房间1102吗？"});
    QCOMPARE(fx.dialogs->last().buttons, qv::Buttons::OkCancel);
    QCOMPARE(fx.dialogs->last().icon, qv::Icon::Question);
    QCOMPARE(roomCount(), 36);
    QVERIFY(!RoomBoardChanged);

    // Answered with OK: that room and no other is gone, its number is free again.
    fx.dialogs->clear();
    QTest::mouseClick(f.Delete_Bt, Qt::LeftButton);
    QCOMPARE(fx.dialogs->texts(), QStringList{"确定要删除房间1102吗？"});
    QCOMPARE(roomCount(), 35);
    QCOMPARE(scalar("select count(*) from RoomInfo where RoomStr = '1102'").toInt(), 0);
    QVERIFY(RoomBoardChanged);
    QCOMPARE(f.RoomInfo_Dbg->records()->rowCount(), 35);
    QCOMPARE(freeNumbers(f), QStringList{"02"} + twoDigitNumbers(9, 99));

    // A guest checked in between the question and the answer: still kept.
    fx.dialogs->clear();
    clickRow(f.RoomInfo_Dbg, gridRow(f, "1103"));
    fx.dialogs->onShow = [](const qv::Box& box) {
        if (box.buttons == qv::Buttons::OkCancel) {
            addStay("1103", 0);
        }
    };
    QTest::mouseClick(f.Delete_Bt, Qt::LeftButton);
    fx.dialogs->onShow = nullptr;
    QCOMPARE(fx.dialogs->texts(),
             (QStringList{"确定要删除房间1103吗？", "房间1103有客人入住，不能删除！"}));
    QCOMPARE(roomCount(), 35);
}

void LayoutTest::doorPlatesAreStoredAsSeen_data() {
    QTest::addColumn<QString>("plate");
    QTest::addColumn<QString>("stored");
    QTest::newRow("quote") << "3'01"
                           << "3'01";
    QTest::newRow("quote on postgres") << "3'01"
                                       << "3'01";
    QTest::newRow("double quote and blanks") << " 3 \"01\" "
                                             << "3 \"01\"";
    QTest::newRow("ideographic blank") << QChar(0x3000) + QString("3101") << "3101";
    QTest::newRow("200 characters") << QString(199, QChar(0x623F)) + "9"
                                    << QString(10, QChar(0x623F));
    QTest::newRow("200 characters on postgres") << QString(199, QChar(0x623F)) + "9"
                                                << QString(10, QChar(0x623F));
    QTest::newRow("percent and underscore") << "3%_1"
                                            << "3%_1";
}

void LayoutTest::doorPlatesAreStoredAsSeen() {
    QFETCH(QString, plate);
    QFETCH(QString, stored);
    TRoomInfo_Form f;
    showWindow(&f);
    generate(f, "3", "1");
    addThroughWindow(f, "01", plate);
    QVERIFY2(fx.dialogs->boxes().isEmpty(), qPrintable(fx.dialogs->texts().join('\n')));
    QCOMPARE(scalar("select RoomStr from RoomInfo where Room = 3101").toString(), stored);
    QCOMPARE(scalar("select count(*) from RoomInfo where RoomStr = :s", {{":s", stored}}).toInt(),
             1);

    // The same door plate again is refused, with blanks around it too; a near one is not.
    addThroughWindow(f, "02", stored + "  ");
    QCOMPARE(fx.dialogs->texts(), QStringList{"实际门牌号码" + stored + "不能重复！"});
    fx.dialogs->clear();
    addThroughWindow(f, "02", stored.left(9) + "x");
    QVERIFY(fx.dialogs->boxes().isEmpty());
    QCOMPARE(roomCount(), 38);

    // A stay under that door plate keeps the room.
    addStay(stored, 0);
    clickRow(f.RoomInfo_Dbg, gridRow(f, stored));
    f.RoomInfo_DbgCellClick();
    QTest::mouseClick(f.Delete_Bt, Qt::LeftButton);
    QCOMPARE(fx.dialogs->texts(), QStringList{"房间" + stored + "有客人入住，不能删除！"});
    QCOMPARE(roomCount(), 38);
}

void LayoutTest::doorPlatesWithBlanksFromBefore_data() { addDatabaseKinds(); }

void LayoutTest::doorPlatesWithBlanksFromBefore() {
    // Rows from a database kept before blanks were removed: "5101 " beside
    // "5101", and an occupied "5102 ".
    addRoom(5, 1, 1, "5101");
    addRoom(5, 1, 2, "5101 ");
    addRoom(5, 1, 3, "5102 ");
    addStay("5102 ", 0);
    TRoomInfo_Form f;
    showWindow(&f);
    const int row = gridRow(f, "5101 ");
    QVERIFY(row >= 0);
    // Typing "5101" on the second room is the other room's door plate.
    typeInCell(f, row, 1, "5101");
    QTest::mouseClick(f.Ok_Bt, Qt::LeftButton);
    QCOMPARE(fx.dialogs->texts(), QStringList{"实际门牌号码5101不能重复！"});
    QCOMPARE(scalar("select RoomStr from RoomInfo where Room = 5102").toString(),
             QString("5101 "));
    // The occupied room keeps its door plate, by which its stay is found,
    // while only the blanks differ; a new room cannot take it as seen.
    fx.dialogs->clear();
    typeInCell(f, gridRow(f, "5102 "), 1, "5102");
    QTest::mouseClick(f.Ok_Bt, Qt::LeftButton);
    QVERIFY2(fx.dialogs->boxes().isEmpty(), qPrintable(fx.dialogs->texts().join('\n')));
    QCOMPARE(scalar("select RoomStr from RoomInfo where Room = 5103").toString(),
             QString("5102 "));
    generate(f, "5", "1");
    addThroughWindow(f, "04", "5102");
    QCOMPARE(fx.dialogs->texts(), QStringList{"实际门牌号码5102不能重复！"});
    QCOMPARE(scalar("select count(*) from RoomInfo where Room = 5104").toInt(), 0);

    // The window marks them: the cell says why when the mouse rests on it.
    const int marked = gridRow(f, "5102 ");
    f.RoomInfo_Dbg->scrollTo(f.RoomInfo_Dbg->model()->index(marked, 1));
    const QRect cell = f.RoomInfo_Dbg->visualRect(f.RoomInfo_Dbg->model()->index(marked, 1));
    QHelpEvent help(QEvent::ToolTip, cell.center(),
                    f.RoomInfo_Dbg->viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(f.RoomInfo_Dbg->viewport(), &help);
    QCOMPARE(QToolTip::text(), QStringLiteral("门牌号码前后有空格（␣），请改正。"));
    saveScreenshot(&f, "RoomInfo_Form_blanks");
    QToolTip::hideText();

    // A door plate of its own corrects it (the door plates can be changed
    // until a room is stored, so in a window opened again).
    TRoomInfo_Form again;
    showWindow(&again);
    fx.dialogs->clear();
    typeInCell(again, gridRow(again, "5101 "), 1, " 5109 ");
    QTest::mouseClick(again.Ok_Bt, Qt::LeftButton);
    QVERIFY2(fx.dialogs->boxes().isEmpty(), qPrintable(fx.dialogs->texts().join('\n')));
    QCOMPARE(scalar("select RoomStr from RoomInfo where Room = 5102").toString(),
             QString("5109"));

    // A type changed on a room whose door plate is left as it was keeps the
    // door plate exactly, its blanks and its length too.
    addRoom(5, 1, 5, "5105-long-plate");
    TRoomInfo_Form third;
    showWindow(&third);
    for (const auto& [plate, room] : {std::pair{"5102 ", 5103}, std::pair{"5105-long-plate", 5105}}) {
        fx.dialogs->clear();
        pickType(third, gridRow(third, plate), "大床房");
        QTest::mouseClick(third.Ok_Bt, Qt::LeftButton);
        QVERIFY2(fx.dialogs->boxes().isEmpty(), qPrintable(fx.dialogs->texts().join('\n')));
        QCOMPARE(scalar("select RoomStr from RoomInfo where Room = :r", {{":r", room}}).toString(),
                 QString(plate));
        QCOMPARE(
            scalar("select RoomTypeStr from RoomInfo where Room = :r", {{":r", room}}).toString(),
            QString("大床房"));
    }
}

void LayoutTest::databaseRefusesASecondLockAddress() {
    // Whatever writes the rooms, one lock address is one room.
    addRoom(3, 1, 1, "3101");
    bool refused = false;
    try {
        dm->conn.execute(
            "insert into RoomInfo (Room, RoomStr, SystemRoomStr, Buiding, Floor, RoomNumber) "
            "values (99999, 'other', '030101', 3, 1, 1)");
    } catch (const qv::DbError&) {
        refused = true;
    }
    QVERIFY(refused);
    QCOMPARE(scalar("select count(*) from RoomInfo where Buiding = 3").toInt(), 1);
}

void LayoutTest::roomsByKeyboard() {
    TRoomInfo_Form f;
    showWindow(&f);
    f.Building_Edit->setFocus();
    QTest::keyClicks(f.Building_Edit, "3");
    QTest::keyClick(f.Building_Edit, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), f.Floor_Edit);
    QTest::keyClicks(f.Floor_Edit, "2");
    QTest::keyClick(f.Floor_Edit, Qt::Key_Return);
    // The list is made and has the focus on its first number.
    QCOMPARE(f.RoomInfo_LV->count(), 99);
    QCOMPARE(QApplication::focusWidget(), f.RoomInfo_LV);
    QTest::keyClick(f.RoomInfo_LV, Qt::Key_Right);
    QCOMPARE(f.RoomInfo_LV->currentItem()->text(), QString("02"));
    QTest::keyClick(f.RoomInfo_LV, Qt::Key_Return);
    QVERIFY(f.addMode());
    // The door plate cell is open for typing; Enter takes it, Enter again confirms.
    auto* editor = openEditor<QLineEdit>(f.RoomInfo_Dbg);
    QVERIFY(editor);
    QCOMPARE(QApplication::focusWidget(), editor);
    QTest::keyClicks(editor, "3202");
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    QCOMPARE(QApplication::focusWidget(), f.RoomInfo_Dbg);
    QTest::keyClick(f.RoomInfo_Dbg, Qt::Key_Return);
    QVERIFY(fx.dialogs->boxes().isEmpty());
    QCOMPARE(scalar("select SystemRoomStr from RoomInfo where RoomStr = '3202'").toString(),
             QString("030202"));
    verifyListMode(f);
    QCOMPARE(QApplication::focusWidget(), f.RoomInfo_LV);

    // Esc in an open cell leaves the cell; the next Esc closes the window.
    QTest::keyClick(f.RoomInfo_LV, Qt::Key_Return);
    QVERIFY(f.addMode());
    editor = openEditor<QLineEdit>(f.RoomInfo_Dbg);
    QVERIFY(editor);
    QTest::keyClicks(editor, "x");
    QTest::keyClick(editor, Qt::Key_Escape);
    QVERIFY(f.isVisible());
    QVERIFY(!openEditor<QLineEdit>(f.RoomInfo_Dbg));
    QTest::keyClick(f.RoomInfo_Dbg, Qt::Key_Escape);
    QVERIFY(!f.isVisible());
    QCOMPARE(roomCount(), 37);

    // Tab order through the window, and the accelerators.
    TRoomInfo_Form g;
    showWindow(&g);
    QList<QWidget*> order;
    QWidget* w = g.Building_Edit;
    for (int i = 0; i < 7; ++i) {
        order << w;
        w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus)) {
            w = w->nextInFocusChain();
        }
    }
    QCOMPARE(order, (QList<QWidget*>{g.Building_Edit, g.Floor_Edit, g.GenRoomNumber_Bt,
                                     g.RoomInfo_LV, g.RoomInfo_Dbg, g.Ok_Bt, g.Delete_Bt}));
    QTest::keyClick(&g, Qt::Key_C, Qt::AltModifier);
    QTRY_VERIFY(!g.isVisible());  // a button's accelerator clicks it a moment later
}

void LayoutTest::captureModeKey() {
    TRoomInfo_Form f;
    showWindow(&f);
    fx.dialogs->answer(qv::Answer::Cancel);
    QTest::keyClick(f.Building_Edit, Qt::Key_F12, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(fx.dialogs->boxes().size(), 1);
    QCOMPARE(fx.dialogs->last().buttons, qv::Buttons::OkCancel);
    QVERIFY(f.isVisible());
}

// A floor set up from nothing through the windows, a guest card for one of
// its rooms read back with the room's lock address, and the room kept while
// the guest stays.
void LayoutTest::newFloorToACard() {
    SimEncoder sim(*fx.app);
    QVERIFY(sim.loaded());
    qv::Clock::setTestTime(QDateTime(QDate(2025, 3, 1), QTime(15, 20)));
    {
        TRoomType_Form types;
        showWindow(&types);
        QTest::mouseClick(types.Add_Bt, Qt::LeftButton);
        types.RoomType_Edit->insert("行政套房");
        types.MaxCounts_Edit->setText("2");
        types.Price_Edit->setText("1288");
        QTest::mouseClick(types.Save_Bt, Qt::LeftButton);
    }
    {
        TDistrictSetting_Form districts;
        showWindow(&districts);
        QTest::mouseClick(districts.Add_Bt, Qt::LeftButton);
        QTest::keyClicks(districts.Dn_Edit, "5");
        districts.Notes_Edit->setText("行政楼");
        QTest::mouseClick(districts.Save_Bt, Qt::LeftButton);
    }
    {
        TRoomInfo_Form rooms;
        showWindow(&rooms);
        QVERIFY(rooms.roomTypeTitles().contains("行政套房"));
        generate(rooms, "5", "8");
        for (const char* number : {"01", "02", "03"}) {
            doubleClickNumber(rooms, number);
            const int row = rooms.RoomInfo_Dbg->records()->pendingRow();
            typeInCell(rooms, row, 1, QStringLiteral("8") + QLatin1String(number));
            pickType(rooms, row, "行政套房");
            QTest::mouseClick(rooms.Ok_Bt, Qt::LeftButton);
        }
        QCOMPARE(freeNumbers(rooms), twoDigitNumbers(4, 99));
    }
    QVERIFY2(fx.dialogs->boxes().isEmpty(), qPrintable(fx.dialogs->texts().join('\n')));
    QCOMPARE(scalar("select count(*) from RoomInfo where Buiding = 5 and Floor = 8").toInt(), 3);

    QVERIFY(sim.command("place blank"));
    {
        TGuestQuickIn_Form in;
        showWindow(&in);
        QTest::keyClicks(in.se_Room1, "802");
        in.E_H_GQI->setText("王五");
        QTest::mouseClick(in.Confirm_Bt, Qt::LeftButton);
        QCOMPARE(in.Prompt_Label->text(), QString("操作成功！"));
    }
    int16_t code = 0;
    const TCardData card = sim.card(&code);
    QCOMPARE(code, int16_t(1));
    QCOMPARE(card.CardType[0], uint16_t(4));
    QCOMPARE(card.Building, uint16_t(5));
    QCOMPARE(card.Floor[0], uint16_t(8));
    QCOMPARE(card.RoomAddr[0], uint16_t(2));
    QCOMPARE(scalar("select Rom from MakeCardRecord").toString().left(6), QString("050802"));
    QCOMPARE(scalar("select Room from GuestInRecord where RoomStr = '802'").toInt(), 5802);

    // The room with its guest is not deleted; after the check-out it is.
    RoomBoardChanged = false;
    TRoomInfo_Form rooms;
    showWindow(&rooms);
    clickRow(rooms.RoomInfo_Dbg, gridRow(rooms, "802"));
    rooms.RoomInfo_DbgCellClick();
    QTest::mouseClick(rooms.Delete_Bt, Qt::LeftButton);
    QCOMPARE(fx.dialogs->texts(), QStringList{"房间802有客人入住，不能删除！"});
    QVERIFY(CheckOutRoom("802"));
    fx.dialogs->clear();
    QTest::mouseClick(rooms.Delete_Bt, Qt::LeftButton);
    QCOMPARE(fx.dialogs->texts(), QStringList{"确定要删除房间802吗？"});
    QCOMPARE(scalar("select count(*) from RoomInfo where Buiding = 5 and Floor = 8").toInt(), 2);
    QVERIFY(RoomBoardChanged);
}

// ---------------------------------------------------------------------------
// Room types

void LayoutTest::roomTypesAddEditDelete() {
    TRoomType_Form f;
    showWindow(&f);
    QCOMPARE(f.objectName(), QString("RoomType_Form"));
    QCOMPARE(f.windowTitle(), QString("客房类型"));
    QCOMPARE(f.Label2->text(), QString("床    位："));
    QCOMPARE(f.Label4->text(), QString("元"));
    auto* model = f.RoomType_DBGrid->records();
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(model->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString("床位"));
    QCOMPARE(model->index(2, 0).data().toString(), QString("豪华套房"));
    QCOMPARE(model->index(2, 2).data().toString(), QString("888"));
    QVERIFY(!f.RoomType_Edit->isEnabled() && !f.Save_Bt->isEnabled());
    QVERIFY(f.Add_Bt->isEnabled() && f.Delete_Bt->isEnabled());

    // A title only: no beds, no price.
    QTest::mouseClick(f.Add_Bt, Qt::LeftButton);
    QVERIFY(f.RoomType_Edit->isEnabled() && !f.Add_Bt->isEnabled() && !f.Delete_Bt->isEnabled());
    QCOMPARE(QApplication::focusWidget(), f.RoomType_Edit);
    QVERIFY(!f.Save_Bt->isEnabled());
    f.RoomType_Edit->insert("钟点房");
    QVERIFY(f.Save_Bt->isEnabled());
    saveScreenshot(&f, "RoomType_Form");
    QTest::mouseClick(f.Save_Bt, Qt::LeftButton);
    QVERIFY2(fx.dialogs->boxes().isEmpty(), qPrintable(fx.dialogs->texts().join('\n')));
    qv::DataSet type(dm->conn);
    type.setSql("select * from RoomType where Title = '钟点房'");
    type.open();
    QCOMPARE(type.recordCount(), 1);
    QVERIFY(type.isNull("Size") && type.isNull("Piece"));
    QVERIFY(f.RoomType_Edit->text().isEmpty() && !f.RoomType_Edit->isEnabled());
    QVERIFY(!f.Save_Bt->isEnabled() && f.Add_Bt->isEnabled() && !f.Delete_Bt->isEnabled());
    QCOMPARE(model->rowCount(), 4);

    // Editing 标准间: the boxes take the row; a cleared price box keeps the price.
    clickRow(f.RoomType_DBGrid, 0);
    f.RoomType_DBGridCellClick();
    QTest::mouseClick(f.Edit_Bt, Qt::LeftButton);
    QCOMPARE(f.saveMode(), TRoomType_Form::SaveMode::Edit);
    QCOMPARE(f.RoomType_Edit->text(), QString("标准间"));
    QCOMPARE(f.MaxCounts_Edit->text(), QString("2"));
    QCOMPARE(f.Price_Edit->text(), QString("288"));
    f.RoomType_Edit->setText("标准双人间");
    f.MaxCounts_Edit->setText("3");
    f.Price_Edit->clear();
    QTest::mouseClick(f.Save_Bt, Qt::LeftButton);
    type.setSql("select * from RoomType where ID = 1");
    type.open();
    QCOMPARE(type.text("Title"), QString("标准双人间"));
    QCOMPARE(type.value("Size").toDouble(), 3.0);
    QCOMPARE(type.value("Piece").toDouble(), 288.0);
    // The rooms keep the title they carry.
    QCOMPARE(scalar("select count(*) from RoomInfo where RoomTypeStr = '标准间'").toInt(), 20);
    QCOMPARE(model->index(0, 0).data().toString(), QString("标准双人间"));

    // A decimal price with blanks around it.
    clickRow(f.RoomType_DBGrid, 1);
    f.RoomType_DBGridCellClick();
    QTest::mouseClick(f.Edit_Bt, Qt::LeftButton);
    f.Price_Edit->setText(" 328.5 ");
    QTest::mouseClick(f.Save_Bt, Qt::LeftButton);
    QCOMPARE(scalar("select Piece from RoomType where ID = 2").toDouble(), 328.5);

    // Delete: the first row right after opening, and the last row of all.
    TRoomType_Form g;
    showWindow(&g);
    QTest::mouseClick(g.Delete_Bt, Qt::LeftButton);
    QCOMPARE(scalar("select count(*) from RoomType where ID = 1").toInt(), 0);
    while (g.RoomType_ado->recordCount() > 0) {
        QVERIFY(g.Delete_Bt->isEnabled());
        QTest::mouseClick(g.Delete_Bt, Qt::LeftButton);
    }
    QCOMPARE(scalar("select count(*) from RoomType").toInt(), 0);
    QVERIFY(!g.Delete_Bt->isEnabled() && !g.Edit_Bt->isEnabled());
    QVERIFY(fx.dialogs->boxes().isEmpty());
    QCOMPARE(scalar("select count(*) from RoomInfo where RoomTypeStr = '豪华套房'").toInt(), 5);
}

void LayoutTest::saveFollowsTheTitleBox() {
    TRoomType_Form f;
    showWindow(&f);
    QTest::mouseClick(f.Add_Bt, Qt::LeftButton);
    QTest::keyClicks(f.RoomType_Edit, "ab");
    QVERIFY(f.Save_Bt->isEnabled());
    QTest::keyClick(f.RoomType_Edit, Qt::Key_Backspace);
    QVERIFY(f.Save_Bt->isEnabled());
    QTest::keyClick(f.RoomType_Edit, Qt::Key_Backspace);
    QVERIFY(!f.Save_Bt->isEnabled());

    // The data module's check still guards a save without a title.
    f.MaxCounts_Edit->setText("2");
    f.Save_BtClick();
    QCOMPARE(fx.dialogs->texts(), QStringList{"请输入房号！"});
    QCOMPARE(fx.dialogs->last().icon, qv::Icon::Error);
    QVERIFY(fx.dialogs->last().title.isEmpty());
    QCOMPARE(scalar("select count(*) from RoomType").toInt(), 3);
    QCOMPARE(f.MaxCounts_Edit->text(), QString("2"));
    QCOMPARE(f.RoomType_ado->state(), qv::DataSet::State::Browse);
}

void LayoutTest::roomTypeRefusals_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("beds");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("message");
    QTest::newRow("letters for beds") << "家庭房"
                                      << "two"
                                      << ""
                                      << "床位请输入数字！";
    QTest::newRow("negative price") << "家庭房"
                                    << "2"
                                    << "-5"
                                    << "房价请输入数字！";
    QTest::newRow("comma in the price") << "家庭房"
                                        << ""
                                        << "1,5"
                                        << "房价请输入数字！";
    QTest::newRow("price with a unit") << "家庭房"
                                       << "3"
                                       << "300元"
                                       << "房价请输入数字！";
}

void LayoutTest::roomTypeRefusals() {
    QFETCH(QString, title);
    QFETCH(QString, beds);
    QFETCH(QString, price);
    QFETCH(QString, message);
    TRoomType_Form f;
    showWindow(&f);
    QTest::mouseClick(f.Add_Bt, Qt::LeftButton);
    f.RoomType_Edit->setText(title);
    f.MaxCounts_Edit->setText(beds);
    f.Price_Edit->setText(price);
    QTest::mouseClick(f.Save_Bt, Qt::LeftButton);
    QCOMPARE(fx.dialogs->texts(), QStringList{message});
    QCOMPARE(scalar("select count(*) from RoomType").toInt(), 3);
    QCOMPARE(f.RoomType_DBGrid->records()->rowCount(), 3);
    // The boxes keep what was typed; mended, the same save goes through.
    QCOMPARE(f.RoomType_Edit->text(), title);
    QVERIFY(f.Save_Bt->isEnabled());
    f.MaxCounts_Edit->setText("2");
    f.Price_Edit->setText("300");
    QTest::mouseClick(f.Save_Bt, Qt::LeftButton);
    QCOMPARE(scalar("select count(*) from RoomType where Title = :t and Size = 2 and Piece = 300",
                    {{":t", title}})
                 .toInt(),
             1);
}

void LayoutTest::roomTypeTitlesAsSeen() {
    TRoomType_Form f;
    showWindow(&f);
    QTest::mouseClick(f.Add_Bt, Qt::LeftButton);
    // Blanks alone are no title: Save stays off, and the data module refuses one.
    QTest::keyClicks(f.RoomType_Edit, "   ");
    QVERIFY(!f.Save_Bt->isEnabled());
    qv::DataSet types(dm->conn);
    types.setTableName("RoomType");
    types.beforePost = [](qv::DataSet& d) { dm->RoomType_adoBeforePost(d); };
    types.open();
    types.append();
    types.setValue("Title", QString(" %1 ").arg(QChar(0x3000)));
    bool refused = false;
    try {
        types.post();
    } catch (const qv::Abort&) {
        refused = true;
    }
    QVERIFY(refused);
    QCOMPARE(fx.dialogs->texts(), QStringList{"请输入房号！"});
    types.cancel();
    // A title is stored without the blanks around it, at most 20 characters.
    f.RoomType_Edit->clear();
    QTest::keyClicks(f.RoomType_Edit, "  Sea view  ");
    QTest::mouseClick(f.Save_Bt, Qt::LeftButton);
    QCOMPARE(scalar("select count(*) from RoomType where Title = 'Sea view'").toInt(), 1);
    QTest::mouseClick(f.Add_Bt, Qt::LeftButton);
    f.RoomType_Edit->clear();
    QTest::keyClicks(f.RoomType_Edit, QString(264, QLatin1Char('t')));
    QCOMPARE(f.RoomType_Edit->text(), QString(20, QLatin1Char('t')));
    QTest::mouseClick(f.Save_Bt, Qt::LeftButton);
    QCOMPARE(scalar("select max(length(Title)) from RoomType").toInt(), 20);
}

void LayoutTest::gridClickDropsWhatWasEntered() {
    TRoomType_Form f;
    showWindow(&f);
    clickRow(f.RoomType_DBGrid, 0);
    f.RoomType_DBGridCellClick();
    QTest::mouseClick(f.Edit_Bt, Qt::LeftButton);
    f.RoomType_Edit->setText("改名");
    // Another row chosen in the grid: the change to row 1 is not written to row 2.
    const QRect cell = f.RoomType_DBGrid->visualRect(f.RoomType_DBGrid->model()->index(1, 0));
    QTest::mouseClick(f.RoomType_DBGrid->viewport(), Qt::LeftButton, {}, cell.center());
    QVERIFY(!f.Save_Bt->isEnabled() && !f.RoomType_Edit->isEnabled());
    QVERIFY(f.RoomType_Edit->text().isEmpty());
    QVERIFY(f.Add_Bt->isEnabled() && f.Delete_Bt->isEnabled() && f.Edit_Bt->isEnabled());
    f.Save_BtClick();
    QCOMPARE(scalar("select count(*) from RoomType where Title = '改名'").toInt(), 0);

    // Quotes in a title are kept exactly; the blanks around it go, and it
    // holds at most 20 characters.
    const QString typed = " 套'房\" " + QString(194, QChar(0x623F));
    QTest::mouseClick(f.Add_Bt, Qt::LeftButton);
    f.RoomType_Edit->setText(typed);
    QVERIFY(f.RoomType_Edit->text().size() <= 20);
    const QString title = f.RoomType_Edit->text().trimmed();
    QVERIFY(title.startsWith(QString("套'房\" 房")));
    QTest::mouseClick(f.Save_Bt, Qt::LeftButton);
    QCOMPARE(scalar("select count(*) from RoomType where Title = :t", {{":t", title}}).toInt(), 1);
    TRoomInfo_Form rooms;
    QVERIFY(rooms.roomTypeTitles().contains(title));
}

void LayoutTest::roomTypesByKeyboard() {
    TRoomType_Form f;
    showWindow(&f);
    f.Add_Bt->setFocus();
    QTest::keyClick(f.Add_Bt, Qt::Key_Space);
    QCOMPARE(QApplication::focusWidget(), f.RoomType_Edit);
    f.RoomType_Edit->insert("商务间");
    QTest::keyClick(f.RoomType_Edit, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), f.MaxCounts_Edit);
    QTest::keyClicks(f.MaxCounts_Edit, "1");
    QTest::keyClick(f.MaxCounts_Edit, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), f.Price_Edit);
    QTest::keyClicks(f.Price_Edit, "399");
    QTest::keyClick(f.Price_Edit, Qt::Key_Return);
    QCOMPARE(scalar("select Piece from RoomType where Title = '商务间'").toDouble(), 399.0);
    QCOMPARE(QApplication::focusWidget(), f.Add_Bt);
    QTest::keyClick(f.Add_Bt, Qt::Key_Escape);
    QVERIFY(!f.isVisible());
}

// ---------------------------------------------------------------------------
// Districts

void LayoutTest::districtsAddAndRefuse() {
    TDistrictSetting_Form f;
    showWindow(&f);
    QCOMPARE(f.objectName(), QString("DistrictSetting_Form"));
    QCOMPARE(f.windowTitle(), QString("区域设置"));
    QCOMPARE(f.Save_Bt->text(), QString(" 保  存"));
    QCOMPARE(f.Add_Bt->text(), QString("添  加"));
    QCOMPARE(f.Label2->text(), QString("描   述："));
    auto* model = f.DBGrid1->records();
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QString("区域号"));
    QVERIFY(!f.Dn_Edit->isEnabled() && !f.Save_Bt->isEnabled());

    QTest::mouseClick(f.Add_Bt, Qt::LeftButton);
    QVERIFY(f.Dn_Edit->isEnabled() && !f.Add_Bt->isEnabled() && !f.Delete_Bt->isEnabled());
    QVERIFY(!f.Save_Bt->isEnabled());
    QTest::keyClicks(f.Dn_Edit, "3");
    QVERIFY(f.Save_Bt->isEnabled());
    f.Notes_Edit->setText("南楼");
    saveScreenshot(&f, "DistrictSetting_Form");
    QTest::mouseClick(f.Save_Bt, Qt::LeftButton);
    QVERIFY(fx.dialogs->boxes().isEmpty());
    QCOMPARE(scalar("select Notes from District where DistrictNumber = 3").toString(),
             QString("南楼"));
    QVERIFY(!f.Dn_Edit->isEnabled() && !f.Notes_Edit->isEnabled());
    QVERIFY(f.Dn_Edit->text().isEmpty());
    QVERIFY(f.Add_Bt->isEnabled() && !f.Delete_Bt->isEnabled() && !f.Save_Bt->isEnabled());
    QCOMPARE(model->rowCount(), 3);

    // 3 again, and 03, which is 3.
    for (const QString& number : {QString("3"), QString("03")}) {
        fx.dialogs->clear();
        QTest::mouseClick(f.Add_Bt, Qt::LeftButton);
        f.Dn_Edit->setText(number);
        f.Notes_Edit->setText("重复");
        QTest::mouseClick(f.Save_Bt, Qt::LeftButton);
        QCOMPARE(fx.dialogs->texts(), QStringList{"区域号不能重复!"});
        QCOMPARE(f.Dn_Edit->text(), number);
        QCOMPARE(f.Notes_Edit->text(), QString("重复"));
        QCOMPARE(QApplication::focusWidget(), f.Dn_Edit);
        QCOMPARE(scalar("select count(*) from District").toInt(), 3);
        QCOMPARE(model->rowCount(), 3);
        QCOMPARE(f.District_ado->state(), qv::DataSet::State::Browse);
        clickRow(f.DBGrid1, 0);
        f.DBGrid1CellClick();
    }
    QStringList items;
    QCOMPARE(dm->GetDataTypeItems(Tdm::Districts, items, "3"), 3);
    QCOMPARE(items, (QStringList{"1", "2", "3"}));
}

void LayoutTest::districtNumbers_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<int>("stored");  // 0: refused as not a number
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("negative") << "-4" << 0;
    QTest::newRow("decimal") << "4.5" << 0;
    QTest::newRow("beyond a card word") << "65536" << 0;
    QTest::newRow("quote") << "4'" << 0;
    QTest::newRow("leading zeros") << "007" << 7;
    QTest::newRow("blanks around") << " 8 " << 8;
    QTest::newRow("largest") << "65535" << 65535;
}

void LayoutTest::districtNumbers() {
    QFETCH(QString, number);
    QFETCH(int, stored);
    TDistrictSetting_Form f;
    showWindow(&f);
    QTest::mouseClick(f.Add_Bt, Qt::LeftButton);
    f.Dn_Edit->setText(number);
    QTest::mouseClick(f.Save_Bt, Qt::LeftButton);
    if (stored == 0) {
        QCOMPARE(fx.dialogs->texts(), QStringList{"区域号请输入1到65535之间的数字！"});
        QCOMPARE(scalar("select count(*) from District").toInt(), 2);
        QCOMPARE(f.Dn_Edit->text(), number);
    } else {
        QVERIFY(fx.dialogs->boxes().isEmpty());
        QCOMPARE(scalar("select count(*) from District where DistrictNumber = :n", {{":n", stored}})
                     .toInt(),
                 1);
    }
}

void LayoutTest::districtDeleteAndExactNotes() {
    const QString notes = "东'区 \"A\" " + QString(190, QChar(0x533A));
    TDistrictSetting_Form f;
    showWindow(&f);
    QTest::mouseClick(f.Add_Bt, Qt::LeftButton);
    f.Dn_Edit->setText("9");
    f.Notes_Edit->setText(notes);
    QTest::mouseClick(f.Save_Bt, Qt::LeftButton);
    QCOMPARE(scalar("select Notes from District where DistrictNumber = 9").toString(), notes);
    QCOMPARE(f.DBGrid1->records()->index(2, 1).data().toString(), notes);

    // Delete takes the current district at once, also one rooms refer to.
    clickRow(f.DBGrid1, 0);
    f.DBGrid1CellClick();
    QVERIFY(f.Delete_Bt->isEnabled());
    QTest::mouseClick(f.Delete_Bt, Qt::LeftButton);
    QVERIFY(fx.dialogs->boxes().isEmpty());
    QCOMPARE(scalar("select count(*) from District where DistrictNumber = 1").toInt(), 0);
    QCOMPARE(scalar("select count(*) from RoomInfo where District = 1").toInt(), 24);
    QCOMPARE(f.DBGrid1->records()->rowCount(), 2);

    // By keyboard: Enter moves from the number to the description and saves.
    QTest::mouseClick(f.Add_Bt, Qt::LeftButton);
    QTest::keyClicks(f.Dn_Edit, "4");
    QTest::keyClick(f.Dn_Edit, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), f.Notes_Edit);
    f.Notes_Edit->insert("北区");
    QTest::keyClick(f.Notes_Edit, Qt::Key_Return);
    QCOMPARE(scalar("select Notes from District where DistrictNumber = 4").toString(),
             QString("北区"));
    QCOMPARE(QApplication::focusWidget(), f.Add_Bt);
}

QTEST_MAIN(LayoutTest)
#include "tst_layout.moc"
