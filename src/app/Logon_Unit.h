#pragma once

#include "window/Form.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The logon window. On an empty operator table it is in first-run mode and
// creates the system administrator instead. Esc cancels the logon.
class TLogonForm : public qv::Form {
    Q_OBJECT
public:
    explicit TLogonForm(QWidget* parent = nullptr);

    QLabel* Title_Label;
    QLabel* FirstRun_Label;
    QLabel* Operator_Label;
    QLineEdit* LoginCode_Edit;
    QLabel* Pass_Label;
    QLineEdit* SystemLogin_Pas;
    QPushButton* Ok_Bt;
    QPushButton* Close_Bt;

    bool isFirstRun() const { return firstRun_; }

    void FormCreate() override;
    void Ok_BtClick();

private:
    void logOn();
    void createFirstOperator();

    bool firstRun_ = false;
};
