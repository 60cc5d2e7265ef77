#pragma once

#include <optional>

#include "window/Form.h"
#include "window/RecordGrid.h"

#include <QList>
#include <QStringList>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QStatusBar;

namespace qv {
class DataSet;
class DataSetModel;
class RadioGroup;
}  // namespace qv

// The room list ("客房情况"): every room with its occupancy, filtered by
// vacant, occupied or all rooms and by building and floor. The main window
// shows it to look at the rooms; the guest stay, door-opening and guest query
// windows use it as a room picker:
//
//   TRoomList_Form list(this);
//   if (list.exec() == QDialog::Accepted) {
//       for (const QString& room : list.SelectedRoomStrs()) ...   // or
//       list.RoomList_Ado->text("Room")
//   }
//
// The list opens with its first room current and selected. After OK the
// current row of RoomList_Ado is the grid's current row, and SelectedRows()
// are the rows selected in the grid, in list order.
class TRoomList_Form : public qv::Form {
    Q_OBJECT
public:
    explicit TRoomList_Form(QWidget* parent = nullptr);
    ~TRoomList_Form() override;

    // The three room filters, in this order.
    enum RoomStatus { AllVacant = 0, AllRooms = 1, Occupied = 2 };

    qv::RadioGroup* RoomStatus_RadioGroup;
    QLabel* Label1;  // "楼   号："
    QComboBox* Buiding_CB;
    QLabel* Label2;  // "楼   层："
    QComboBox* Floor_CB;
    QPushButton* Query_Bt;
    QPushButton* Confirm_Bt;
    QPushButton* Close_Bt;
    qv::RecordGrid* RoomInfo_DBGrid;
    QGroupBox* GroupBox1;  // " 客房资料 "
    QLabel* Label3;        // "房号："
    QLabel* DBText1;       // RoomStr of the current row
    QLabel* Label5;        // "楼号："
    QLabel* DBText2;       // Buiding
    QLabel* Label6;        // "楼层："
    QLabel* DBText3;       // Floor
    QLabel* Label7;        // "入住状态："
    QLabel* Label4;        // "空房" or "在住"
    QStatusBar* StatusBar1;
    qv::DataSet* RoomList_Ado;
    qv::DataSetModel* RoomList_Ds;  // the grid's records

    void FormCreate() override;
    // Reads the rooms again with the current choices.
    void FindRoomList();
    void Query_BtClick();
    void RoomList_AdoAfterScroll();
    void RoomInfo_DBGridDblClick();

    // The one way a window asks for a room: opens the room list over
    // `parent` and answers the room picked, the last of the selected rooms
    // in list order (with one room selected, the highlighted one), or
    // nothing when the clerk closed the list without picking.
    struct PickedRoom {
        QString roomStr;  // RoomInfo.RoomStr, the door plate
        qint64 room = 0;  // RoomInfo.Room, its key
    };
    static std::optional<PickedRoom> pickRoom(QWidget* parent);

    // The rows selected in the grid (0-based, in list order), and their door plates.
    QList<int> SelectedRows() const;
    QStringList SelectedRoomStrs() const;
    // Whether a row of the list is an occupied room (it has a current stay).
    bool IsOccupiedRow(int row) const;
    // The text of status bar panel `index` (0 to 3).
    QString StatusText(int index) const;

private:
    void showCurrentRow();

    QList<QLabel*> panels_;
};
