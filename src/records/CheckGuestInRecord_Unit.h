#pragma once

#include "records/RecordSearches.h"
#include "window/QueryForm.h"

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace qv {
class RadioGroup;
}

// The guest query ("客人查询"): the stays of GuestInRecord found by guest
// name, room and ranges of check-in, expected departure and check-out dates,
// listed a page at a time and printed as the guest stay report. Each chosen
// date stands for the hotel's check-out time (LeaveTime) on that date. The
// window only reads.
class TCheckGuestInRecord_Form : public qv::QueryForm {
    Q_OBJECT
public:
    explicit TCheckGuestInRecord_Form(QWidget* parent = nullptr);
    ~TCheckGuestInRecord_Form() override;

    // The items of RecordFilter_RG, in this order.
    enum GuestFilter { CurrentGuests = 0, AllGuests = 1, LeftGuests = 2 };

    qv::RadioGroup* RecordFilter_RG;  // "客人状态"
    QLabel* Label1;                   // "宾客姓名："
    QLineEdit* E_GuestName;
    QLabel* Label2;  // "客房："
    QLineEdit* E_RoomNo;
    QToolButton* SpeedButton1;  // "...": the room list
    QLabel* Label3;             // "入住日期从："
    QDateEdit* Start_Date_GI;
    QLabel* Label4;  // "到"
    QDateEdit* End_Date_GI;
    QCheckBox* CheckBox2;  // "预离日期从"
    QDateEdit* Input_Start_Date_GL;
    QLabel* Label5;  // "到"
    QDateEdit* Input_End_Date_GL;
    QCheckBox* CheckBox3;  // "退房日期从"
    QDateEdit* Start_Date_GL;
    QLabel* Label6;  // "到"
    QDateEdit* End_Date_GL;
    QPushButton* Find_Bt;
    QPushButton* Button1;  // "打印(&P)"
    QPushButton* Close_Bt;
    QTableView* GuestInRecord_DBGrid;  // the record grid
    qv::PagedQueryModel* GRL_ADO;      // its rows

    // The search the controls describe.
    qv::GuestSearch Search() const;
    // Runs the search of the controls.
    void FindGuestInData();
    void Find_BtClick();
    void RecordFilter_RGClick();
    void CheckBox2Click();
    void CheckBox3Click();
    void SpeedButton1Click();
    void Button1Click();

protected:
    void FormCreate() override;
};
