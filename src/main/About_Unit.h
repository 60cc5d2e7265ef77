#pragma once

#include "window/Form.h"

class QFrame;
class QKeyEvent;
class QLabel;
class QPushButton;

// The About box: the program's version, the encoder's lock type and the
// hotel's system code, and the dealer named in Information.ini. It closes
// with its button or the title bar only, not with Esc.
class TAboutForm : public qv::Form {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);

    QFrame* Panel1;
    QLabel* Image3;
    QFrame* Panel2;
    QLabel* ProductName;
    QLabel* Version_L;
    QLabel* EncoderSn_Label;
    QLabel* CardType_Label;
    QLabel* Label2;
    QLabel* Company_Label;
    QLabel* Web_Label;
    QLabel* Label3;
    QLabel* Label5;
    QPushButton* Button1;
    QPushButton* OKButton;

    void FormCreate() override;

    // The lock-type line for the first word of the encoder's parameter block.
    static QString lockTypeText(int encoderType);

protected:
    // Esc reaches the box itself (no control takes it): it is eaten here,
    // where QDialog would close the box.
    void keyPressEvent(QKeyEvent* event) override;
};
