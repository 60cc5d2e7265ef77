#pragma once

#include "window/Form.h"

#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

// Password change ("修改口令"): the operator who is logged on replaces their
// own password in two stages of the same window: the current password is
// verified, then the new one is typed twice and stored (as a hash, and only
// while the stored password is still the one just verified).
//
// Shown modally: `TChangePassword_Form f(parent); f.exec();`
class TChangePassword_Form : public qv::Form {
    Q_OBJECT
public:
    explicit TChangePassword_Form(QWidget* parent = nullptr);
    ~TChangePassword_Form() override;

    QLabel* Label1;
    QLineEdit* OldPassword_Edit;
    QLabel* Label2;
    QLineEdit* NewPassword_Edit;
    QLabel* Label3;
    QLineEdit* RepeatNewPassword_Edit;
    QPushButton* Ok_Bt;

    // Runs the stage that is due: stage 1 while Label1 is shown.
    void Ok_BtClick();

private:
    QString verified_;  // the stored password that stage 1 verified
};
