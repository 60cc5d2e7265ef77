#pragma once

#include "window/EditForm.h"

#include <QIcon>
#include <QList>
#include <QStringList>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace qv {
class DataSet;
class RecordGrid;
}  // namespace qv

// Rooms ("房间设置"): where an administrator ties the lock address of each door
// (building, floor, room number) to its door plate and room type.
//
// List mode: the operator types a building and a floor, lets the window list
// the free room numbers 01 to 99 of that floor and double-clicks one (or
// presses Enter on it). Add mode: the new room stands as the last row of the
// grid with its system room number; the operator types its door plate, may
// pick its type, and confirms with "确定(&E)". A door plate must be filled in
// and belong to no other room, a lock address and the room key derived from
// it must be free; anything refused is dropped and the window is back in list
// mode. The room type (and, until the first room is stored, the door plate) of
// an existing room can be changed in the grid and confirmed the same way. A
// room is deleted only after a question and never while it has a current
// stay. Every stored change raises RoomBoardChanged.
//
// Shown modally and destroyed by its owner: `TRoomInfo_Form f(parent); f.exec();`
class TRoomInfo_Form : public qv::EditForm {
    Q_OBJECT
public:
    explicit TRoomInfo_Form(QWidget* parent = nullptr);
    ~TRoomInfo_Form() override;

    QLabel* Label1;
    QLineEdit* Building_Edit;
    QLabel* Label2;
    QLineEdit* Floor_Edit;
    QPushButton* GenRoomNumber_Bt;
    QListWidget* RoomInfo_LV;      // the free room numbers
    qv::RecordGrid* RoomInfo_Dbg;  // the rooms (Table_Grid)
    qv::DataSet* RoomInfo_ado;     // "RoomInfo" by building, floor and Room (Table)
    QPushButton* Ok_Bt;
    QPushButton* Delete_Bt;
    QPushButton* Exit_Bt;
    QList<QIcon> Room_ImageList;  // [0]: the free room picture

    // The titles offered by the grid's room type column, in table order.
    QStringList roomTypeTitles() const { return typeTitles_; }
    // Add mode: a free number was double-clicked and not yet confirmed.
    bool addMode() const { return adding_; }
    // The tooltip of a door plate stored with blanks around it.
    QString blanksText() const;
    // Whether the door plate column can be edited (the type column always can).
    bool roomStrEditable() const { return roomStrEditable_; }

    void Building_EditChange();
    void GenRoomNumber_BtClick();
    // Lists the free numbers of the building and floor in the boxes; false
    // (after the message, the list unchanged) when a box is not a valid number.
    bool GenRoomNumber();
    void RoomInfo_LVDblClick();
    void RoomInfo_DbgCellClick();
    void RoomInfo_DsStateChange();
    void Ok_BtClick();
    void Delete_BtClick();
    // The checks before a room is stored: the data module's, then the door
    // plate, the lock address and the room key. Refusals show their message
    // and abort the store.
    void RoomInfo_adoBeforePost(qv::DataSet& dataSet);
    void RoomInfo_adoAfterPost();
    // The two-digit form of a box text; on a fault the message, the focus to
    // the building box and an empty result.
    QString FormatStrTo2Digits(const QString& text);

protected:
    void FormCreate() override;
    bool FormKeyDown(QKeyEvent* event) override;
    void modeChanged() override;
    void recordsChanged() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool pending() const;
    void updateControls();
    void applyEditableColumns();
    void backToList();
    // Lists the free numbers again for the boxes, without messages.
    void refreshFreeNumbers();
    void fillFreeNumbers(int building, int floor);
    void editDoorPlate();
    // The open cell editor of the grid, if any; closing it keeps the cell.
    QWidget* cellEditor() const;
    bool closeCellEditor();

    QStringList typeTitles_;
    QList<int> typeIds_;
    bool adding_ = false;
    bool roomStrEditable_ = true;
    bool generateEnabled_ = false;
    bool deleteEnabled_ = false;
};
