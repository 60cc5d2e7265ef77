#pragma once

#include <QDialog>

class QFrame;
class QKeyEvent;
class QLabel;
class QPushButton;
class TLanguage;

// The About box: the program's version, the encoder's lock type and the
// hotel's system code, and the dealer named in Information.ini.
class TAboutForm : public QDialog {
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
    TLanguage* Language1;

    void FormCreate();

    // The lock-type line for the first word of the encoder's parameter block.
    static QString lockTypeText(int encoderType);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool FormKeyDown(QKeyEvent* event);
};
