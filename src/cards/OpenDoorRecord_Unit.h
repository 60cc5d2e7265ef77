#pragma once

#include "window/QueryForm.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The door-opening records of one room ("查询开门记录"): the room's door
// plate (typed or chosen in the room list), the records read off its lock in
// the order they were read, printing them, and deleting single records.
// Nothing is listed until the first query.
//
//   TOpenDoorRecord_Form f(parent);
//   f.exec();
class TOpenDoorRecord_Form : public qv::QueryForm {
    Q_OBJECT
public:
    explicit TOpenDoorRecord_Form(QWidget* parent = nullptr);
    ~TOpenDoorRecord_Form() override;

    QLabel* Label1;  // "房间号："
    QLineEdit* Room_Edit;
    QPushButton* Query_Bt;
    QPushButton* RoomList_Bt;
    QPushButton* Print_Bt;
    QPushButton* BitBtn1;  // "删除(&D)"
    QPushButton* BitBtn3;  // "关闭(&C)"
    QTableView* OpenDoorRecord_DBGrid;
    qv::PagedQueryModel* ReadOpenDoorRecord_Ado;

    // Lists the records of the room in Room_Edit, taken as typed.
    void Query_BtClick();
    // Puts the room chosen in the room list into Room_Edit (the last of
    // several); the query is not run.
    void RoomList_BtClick();
    // Prints the listed records (nothing listed yet: an empty result set).
    void Print_BtClick();
    // Deletes the current record at once, without asking.
    void ClearRecord_BtClick();

    // Whether a query has run since the window opened.
    bool QueryOpen() const { return queried_; }

protected:
    // "   n / m" once a query has run; empty before.
    QString statusText() const override;
    bool FormKeyDown(QKeyEvent* event) override;

private:
    void showColumns();
    void selectRecord(int row);

    bool queried_ = false;
};
