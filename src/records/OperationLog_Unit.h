#pragma once

#include "records/RecordSearches.h"
#include "window/QueryForm.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;

// The operations log ("操作日志"): who did what, when and at which
// workstation, for a range of days, one operator, one action and one room or
// all, newest first, a page at a time, printable. The window only reads; its
// check walks the log's chain and names the rows changed or removed since
// they were written. Opened with the SystemInfo right.
class TOperationLog_Form : public qv::QueryForm {
    Q_OBJECT
public:
    explicit TOperationLog_Form(QWidget* parent = nullptr);
    ~TOperationLog_Form() override;

    QLabel* Label1;  // "日期：从"
    QDateEdit* DateStart_Dtp;
    QLabel* Label2;  // "至"
    QDateEdit* DateEnd_Dtp;
    QLabel* Label3;          // "操作员："
    QComboBox* Operator_CB;  // "全部" or a login name (one may be typed)
    QLabel* Label4;          // "操作："
    QComboBox* Action_CB;    // "全部" or an action
    QLabel* Label5;          // "房间/对象："
    QLineEdit* Object_Edit;  // empty: every room and object
    QPushButton* Find_Bt;    // "查询(&F)"
    QPushButton* Verify_Bt;  // "检查日志(&V)"
    QPushButton* Print_Bt;   // "打印(&P)"
    QPushButton* Close_Bt;   // "关闭(&X)"
    QTableView* OperationLog_DBGrid;
    qv::PagedQueryModel* OperationLog_ADO;

    // The search the controls describe.
    qv::OperationLogSearch Search() const;
    void Find_BtClick();
    void Verify_BtClick();
    void Print_BtClick();

protected:
    void FormCreate() override;
};
