#pragma once

#include "window/Form.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The modal box that asks for a new password a second time.
class TInputPasswordBox : public qv::Form {
    Q_OBJECT
public:
    explicit TInputPasswordBox(QWidget* parent = nullptr);

    QLabel* Prompt_Label;
    QLineEdit* Input_MaskEdit;
    QPushButton* Confirm_Bt;
    QPushButton* Cancel_Bt;

    void Confirm_BtClick();
    void Cancel_BtClick();
};
