#pragma once

#include "records/RecordSearches.h"
#include "window/QueryForm.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;

// The card issue records window ("查询发卡记录"): the rows of the card issue
// log for a range of issue days and one card kind or all, a page at a time.
// Cards whose writing was never confirmed stand out in the list. An operator
// with the SystemInfo right deletes the records older than two months.
class TMC_R_From : public qv::QueryForm {
    Q_OBJECT
public:
    explicit TMC_R_From(QWidget* parent = nullptr);
    ~TMC_R_From() override;

    QLabel* Label1;  // "查询时段：从"
    QDateEdit* DateStart_Dtp;
    QLabel* Label2;  // "至"
    QDateEdit* DateEnd_Dtp;
    QLabel* Label3;  // "卡类型："
    QComboBox* CardType_CB;
    QPushButton* Check_Bt;
    QPushButton* Button1;  // "打 印(&P)", hidden
    QPushButton* BitBtn2;  // "关 闭(&C)"
    QPushButton* DeleteOldData_Bt;
    QPushButton* Unconfirmed_Bt;  // opens the cards whose issue was never confirmed
    // Controls kept hidden; none of them enters the search.
    QCheckBox* CheckBox1;  // "卡类型："
    QCheckBox* CheckBox2;  // "操作员："
    QComboBox* ComboBox1;
    QCheckBox* CheckBox3;           // "全部记录"
    QTableView* DBGrid1;            // the record grid
    qv::PagedQueryModel* MC_S_ADO;  // its rows

    // Clears `items` and adds the title of every card type.
    void GetDataTypeItems(QStringList& items);
    // The search the controls describe.
    qv::CardIssueSearch Search() const;
    void MakeCardRecordList();
    void Check_BtClick();
    void Button1Click();
    void DeleteOldData_BtClick();
    void Unconfirmed_BtClick();

    // Whether row `row` of the list is a card whose writing was never confirmed.
    bool IsOutcomeUnknownRow(int row) const;
    // The CardState of row `row`, and the hint its marking shows (empty for
    // a card written and recorded).
    int RowState(int row) const;
    QString RowHint(int row) const;

protected:
    void FormCreate() override;
    // Variable line 0, then "n/m".
    QString statusText() const override;
};
