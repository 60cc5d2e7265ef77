#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class TLanguage;

// The modal box that asks for a new password a second time.
class TInputPasswordBox : public QDialog {
    Q_OBJECT
public:
    explicit TInputPasswordBox(QWidget* parent = nullptr);

    QLabel* Prompt_Label;
    QLineEdit* Input_MaskEdit;
    QPushButton* Confirm_Bt;
    QPushButton* Cancel_Bt;
    TLanguage* Language1;

    void Confirm_BtClick();
    void Cancel_BtClick();

private:
    bool FormKeyDown(QKeyEvent* event);
};
