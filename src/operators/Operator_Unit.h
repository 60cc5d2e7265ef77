#pragma once

#include "window/EditForm.h"

#include <QList>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Operators and rights ("操作员权限管理"): the operators who may log on, an
// operator added with a login name, a full name and rights, the first
// password of an operator who has none, and operators deleted while at least
// one super administrator stays. An operator's names and rights are fixed
// once added (an operator is deleted and added again instead).
//
// Shown modally: `TOperator_Form f(parent); f.exec();`
class TOperator_Form : public qv::EditForm {
    Q_OBJECT
public:
    explicit TOperator_Form(QWidget* parent = nullptr);
    ~TOperator_Form() override;

    QLabel* StafferName_Label;
    QLineEdit* StafferName_Edit;
    QLabel* User_Label;
    QLineEdit* User_Edit;
    QGroupBox* QuanXian_Gb;
    QList<QCheckBox*> Right_CBs;  // the 17 right boxes, in the order of the rights
    QCheckBox* SelectAll_CB;
    QPushButton* Add_BT;
    QPushButton* Save_Bt;
    QPushButton* Delete_Bt;
    QLabel* Pass_Label;
    QLineEdit* Pass1_Edit;
    QPushButton* PassOk_Bt;

    // The right box of a column of Operator (e.g. "CheckIn"), or nullptr.
    QCheckBox* rightBox(const QString& column) const;

    void EmployeeInfo_DBGridCellClick();
    void Add_BTClick();
    void User_EditChange();
    void SelectAll_CBClick();
    void Save_BtClick();
    void PassOk_BtClick();
    void Delete_BtClick();

protected:
    void FormCreate() override;
    void showRecord() override;
    void modeChanged() override;
    bool FormKeyDown(QKeyEvent* event) override;

private:
    // Shows the current operator and leaves an add (the focus to the password
    // box on a click, when the operator has none yet).
    void showOperator(bool focusPassword);
    void leaveAdd();
    // Reads the operators again and makes the one with `column` = `value` current.
    void showStored(const QString& column, const QVariant& value);
    void readOperators();
    void clearRights();

    bool created_ = false;
};
