#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class TLanguage;

// The logon window. On an empty operator table it is in first-run mode and
// creates the system administrator instead.
class TLogonForm : public QDialog {
    Q_OBJECT
public:
    explicit TLogonForm(QWidget* parent = nullptr);
    ~TLogonForm() override;

    QLabel* Title_Label;
    QLabel* FirstRun_Label;
    QLabel* Operator_Label;
    QLineEdit* LoginCode_Edit;
    QLabel* Pass_Label;
    QLineEdit* SystemLogin_Pas;
    QPushButton* Ok_Bt;
    QPushButton* Close_Bt;
    TLanguage* Language1;

    bool isFirstRun() const { return firstRun_; }

    void FormCreate();
    void Ok_BtClick();

private:
    bool FormKeyDown(QKeyEvent* event);
    void logOn();
    void createFirstOperator();

    bool firstRun_ = false;
};
