// The room list: its filters, its colours, and what a picker caller reads.
#include "LockDatabase.h"
#include "TestSupport.h"

#include "data/DataSet.h"
#include "data/DataSetModel.h"
#include "data/DemoHotel.h"
#include "data/dm_unit.h"
#include "platform/RadioGroup.h"
#include "platform/TestDialogs.h"
#include "records/RoomList_Unit.h"
#include "settings/Settings.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QtTest>
#include <memory>

namespace {

QStringList listedRooms(const TRoomList_Form& f) {
    QStringList rooms;
    for (int r = 0; r < f.RoomList_Ado->recordCount(); ++r) {
        rooms << f.RoomList_Ado->textAt(r, f.RoomList_Ado->fieldIndex("RoomStr"));
    }
    return rooms;
}

QStringList demoRooms(int building, int floor, int rooms) {
    QStringList list;
    for (int n = 1; n <= rooms; ++n) {
        list << QString::number(qv::roomKey(building, floor, n));
    }
    return list;
}

QPoint rowPoint(QTableView* grid, int row) {
    return grid->visualRect(grid->model()->index(row, 0)).center();
}

}  // namespace

class RoomListTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void filtersAndOrder_data();
    void filtersAndOrder();
    void coloursAndCurrentRow();
    void selectionInListOrder();
    void enterPicksTheHighlightedRoom_data();
    void enterPicksTheHighlightedRoom();
    void doubleClickIsOk();
    void escapeCancels();

private:
    void addStay(const QString& room, int enOverride);
    std::unique_ptr<TempAppDir> app_;
    std::unique_ptr<Tdm> dm_;
    std::unique_ptr<qv::TestDialogs> dialogs_;
};

void RoomListTest::init() {
    app_ = std::make_unique<TempAppDir>();
    dm_ = std::make_unique<Tdm>();
    dm = dm_.get();
    dialogs_ = std::make_unique<qv::TestDialogs>();
    LockSystemInfo = TLockSystemInfo();
    LockSystemInfo.Loaded = true;
    // Rows tagged "... on postgres" run on the test server, every other on an SQLite file.
    QV_OPEN_FRESH_LOCK_DATABASE(dm->conn, *app_, "qvtest_roomlist", true);
    // Occupied: 1101, 1203 and 2105. 1102's stay has ended.
    addStay("1101", 0);
    addStay("1203", 0);
    addStay("2105", 0);
    addStay("1102", 1);
}

void RoomListTest::cleanup() {
    dialogs_.reset();
    dm_.reset();
    dm = nullptr;
    app_.reset();
}

void RoomListTest::addStay(const QString& room, int enOverride) {
    dm->conn.execute(
        "insert into GuestInRecord (Room, RoomStr, GuestName, GuestInTime, enOverride) "
        "values (:room, :str, 'guest', :t, :o)",
        {{":room", room.toInt()},
         {":str", room},
         {":t", QDateTime(QDate(2025, 3, 1), QTime(15, 20))},
         {":o", enOverride}});
}

void RoomListTest::filtersAndOrder_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("building");
    QTest::addColumn<QString>("floor");
    QTest::addColumn<QStringList>("expected");
    QStringList all;
    for (int floor = 1; floor <= 3; ++floor) all += demoRooms(1, floor, 8);
    for (int floor = 1; floor <= 2; ++floor) all += demoRooms(2, floor, 6);
    QStringList vacant = all;
    vacant.removeAll("1101");
    vacant.removeAll("1203");
    vacant.removeAll("2105");
    for (const char* kind : {"sqlite", "postgres"}) {
        QTest::addRow("all rooms on %s", kind) << 1 << "所有楼号"
                                               << "所有楼层" << all;
        QTest::addRow("vacant rooms on %s", kind) << 0 << "所有楼号"
                                                  << "所有楼层" << vacant;
        QTest::addRow("occupied, building 1 floor 2 on %s", kind) << 2 << "1"
                                                                  << "2" << QStringList{"1203"};
    }
    QTest::newRow("occupied rooms") << 2 << "所有楼号"
                                    << "所有楼层" << QStringList{"1101", "1203", "2105"};
    QTest::newRow("occupied, building 2 floor 1") << 2 << "2"
                                                  << "1" << QStringList{"2105"};
    QTest::newRow("occupied, building 2 floor 3") << 2 << "2"
                                                  << "3" << QStringList{};
    QTest::newRow("all, building 2") << 1 << "2"
                                     << "所有楼层" << demoRooms(2, 1, 6) + demoRooms(2, 2, 6);
    QStringList floor1 = demoRooms(1, 1, 8);
    floor1.removeAll("1101");
    QTest::newRow("vacant, building 1 floor 1") << 0 << "1"
                                                << "1" << floor1;
}

void RoomListTest::filtersAndOrder() {
    QFETCH(int, status);
    QFETCH(QString, building);
    QFETCH(QString, floor);
    QFETCH(QStringList, expected);
    TRoomList_Form f;
    // At start: every room, no building or floor condition.
    QCOMPARE(f.RoomStatus_RadioGroup->itemIndex(), 1);
    QCOMPARE(f.Buiding_CB->currentText(), QString("所有楼号"));
    QCOMPARE(f.Floor_CB->currentText(), QString("所有楼层"));
    QCOMPARE(f.RoomList_Ado->recordCount(), 36);
    QCOMPARE(f.StatusText(0), QString("记录：1 / 36"));
    QVERIFY(!f.RoomList_Ado->sql().contains("I.Buiding=:"));

    QCOMPARE(f.Buiding_CB->count(), 3);
    QCOMPARE(f.Floor_CB->count(), 4);
    f.RoomStatus_RadioGroup->setItemIndex(status);
    f.Buiding_CB->setCurrentIndex(f.Buiding_CB->findText(building));
    f.Floor_CB->setCurrentIndex(f.Floor_CB->findText(floor));
    QTest::mouseClick(f.Query_Bt, Qt::LeftButton);
    QCOMPARE(listedRooms(f), expected);
    QCOMPARE(f.StatusText(0), expected.isEmpty() ? QString("记录：0 / 0")
                                                 : QString("记录：1 / %1").arg(expected.size()));
    QVERIFY(dialogs_->boxes().isEmpty());
}

void RoomListTest::coloursAndCurrentRow() {
    TRoomList_Form f;
    f.resize(700, 900);  // every row of building 1 on screen
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QTableView* grid = f.RoomInfo_DBGrid;
    QCOMPARE(grid->model()->columnCount(), 14);
    QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QString("房号"));
    for (int c = 1; c < 14; ++c) {
        QVERIFY(grid->isColumnHidden(c));
    }
    auto colourOf = [grid](int row) {
        const QRect r = grid->visualRect(grid->model()->index(row, 0));
        return QColor(grid->viewport()->grab().toImage().pixel(r.right() - 3, r.center().y()));
    };
    const QStringList rooms = listedRooms(f);
    // The first room is current and shows it.
    QCOMPARE(rooms.first(), QString("1101"));
    QCOMPARE(colourOf(0), QColor(0, 0, 128));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rowPoint(grid, rooms.indexOf("1108")));
    const int row1101 = rooms.indexOf("1101");
    const int row1102 = rooms.indexOf("1102");
    const int row1203 = rooms.indexOf("1203");
    QCOMPARE(colourOf(row1101), QColor(255, 0, 0));
    QCOMPARE(colourOf(row1102), QColor(255, 255, 255));  // its stay has ended
    QCOMPARE(colourOf(row1203), QColor(255, 0, 0));
    QCOMPARE(colourOf(rooms.indexOf("1104")), QColor(255, 255, 255));

    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rowPoint(grid, row1203));
    QCOMPARE(colourOf(row1203), QColor(0, 0, 128));
    QCOMPARE(f.RoomList_Ado->text("RoomStr"), QString("1203"));
    QCOMPARE(f.DBText1->text(), QString("1203"));
    QCOMPARE(f.DBText2->text(), QString("1"));
    QCOMPARE(f.DBText3->text(), QString("2"));
    QCOMPARE(f.Label4->text(), QString("在住"));
    QCOMPARE(f.StatusText(0), QString("记录：%1 / 36").arg(row1203 + 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rowPoint(grid, row1102));
    QCOMPARE(f.Label4->text(), QString("空房"));
    QCOMPARE(colourOf(row1203), QColor(255, 0, 0));
    saveScreenshot(&f, "RoomList_Form");
}

void RoomListTest::selectionInListOrder() {
    TRoomList_Form f;
    f.resize(700, 600);
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QTableView* grid = f.RoomInfo_DBGrid;
    // A click picks one room (the first is selected at the start); Ctrl adds more.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rowPoint(grid, 5));
    QCOMPARE(f.SelectedRows(), (QList<int>{5}));
    for (const int row : {1, 3}) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          rowPoint(grid, row));
    }
    QCOMPARE(f.SelectedRows(), (QList<int>{1, 3, 5}));
    QCOMPARE(f.SelectedRoomStrs(), (QStringList{"1102", "1104", "1106"}));
    QCOMPARE(f.RoomList_Ado->text("RoomStr"), QString("1104"));  // the last one clicked is current
    saveScreenshot(&f, "RoomList_Form-selection");
    QTest::keyClick(grid, Qt::Key_Return);  // OK is the default button
    QCOMPARE(f.result(), int(QDialog::Accepted));
    QCOMPARE(f.SelectedRoomStrs(), (QStringList{"1102", "1104", "1106"}));
}

void RoomListTest::enterPicksTheHighlightedRoom_data() {
    QTest::addColumn<int>("status");  // the room filter chosen before the query; -1: none
    QTest::addColumn<int>("downs");   // Down keys before Enter
    QTest::addColumn<QString>("room");
    QTest::newRow("as opened") << -1 << 0 << "1101";
    QTest::newRow("two rows down") << -1 << 2 << "1103";
    QTest::newRow("vacant rooms queried") << int(TRoomList_Form::AllVacant) << 0 << "1102";
    QTest::newRow("occupied rooms queried, one down")
        << int(TRoomList_Form::Occupied) << 1 << "1203";
}

void RoomListTest::enterPicksTheHighlightedRoom() {
    QFETCH(int, status);
    QFETCH(int, downs);
    QFETCH(QString, room);
    TRoomList_Form f;
    f.show();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QCOMPARE(f.focusWidget(), static_cast<QWidget*>(f.RoomInfo_DBGrid));
    if (status >= 0) {
        f.RoomStatus_RadioGroup->setItemIndex(status);
        QTest::mouseClick(f.Query_Bt, Qt::LeftButton);
        f.RoomInfo_DBGrid->setFocus();
    }
    // What is current is what is selected, from the start.
    QCOMPARE(f.SelectedRows(), QList<int>{0});
    QCOMPARE(f.RoomInfo_DBGrid->currentIndex().row(), 0);
    if (status < 0 && downs == 0) {
        saveScreenshot(&f, "RoomList_Form-opened");
    }
    for (int i = 0; i < downs; ++i) {
        QTest::keyClick(f.RoomInfo_DBGrid, Qt::Key_Down);
    }
    QCOMPARE(f.DBText1->text(), room);
    QTest::keyClick(f.RoomInfo_DBGrid, Qt::Key_Return);
    QCOMPARE(f.result(), int(QDialog::Accepted));
    QCOMPARE(f.SelectedRoomStrs(), QStringList{room});
    QCOMPARE(f.RoomList_Ado->text("RoomStr"), room);
}

void RoomListTest::doubleClickIsOk() {
    TRoomList_Form f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QTableView* grid = f.RoomInfo_DBGrid;
    // A double click: press and release, then the double click.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rowPoint(grid, 4));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, rowPoint(grid, 4));
    QVERIFY(!f.isVisible());
    QCOMPARE(f.result(), int(QDialog::Accepted));
    QCOMPARE(f.RoomList_Ado->text("RoomStr"), QString("1105"));
    QCOMPARE(f.RoomList_Ado->asInteger("Room"), 1105);
    QCOMPARE(f.SelectedRoomStrs(), QStringList{"1105"});
}

void RoomListTest::escapeCancels() {
    TRoomList_Form f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QTest::keyClick(f.RoomInfo_DBGrid, Qt::Key_Escape);
    QVERIFY(!f.isVisible());
    QCOMPARE(f.result(), int(QDialog::Rejected));
}

QTEST_MAIN(RoomListTest)
#include "tst_roomlist.moc"
