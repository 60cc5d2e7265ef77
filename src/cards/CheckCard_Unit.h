#pragma once

#include "card/CardData.h"
#include "window/Form.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace qv {
class RadioGroup;
}

// Card reading ("读卡/注销卡"): reads whatever card lies on the encoder and
// shows its kind, holder, room or area and validity, the holder and guest
// details taken from the card's issue record; "注  销(&G)" wipes the card
// (its issue record stays). The cancel button is hidden when the window is
// opened to read only, and for magnetic-stripe lock systems.
//
// Shown modally and destroyed by its owner: `TCheckCardForm f(parent); f.exec();`
class TCheckCardForm : public qv::Form {
    Q_OBJECT
public:
    explicit TCheckCardForm(QWidget* parent = nullptr);
    ~TCheckCardForm() override;

    QLabel* CardType_Label;
    QLineEdit* CardType_Edit;
    QLabel* CardHolder_Label;
    QLineEdit* CardHolder_Edit;
    QLabel* RoomNo_Label;
    QLineEdit* RoomNo_Edit;
    QLabel* GuestID_Label;  // hidden but for guest cards
    QLineEdit* GuestID_Edit;
    QLabel* Building_Label;
    QLineEdit* Building_Edit;
    QLabel* Floor_Label;
    QLineEdit* Floor_Edit;
    QLabel* District_Label;
    QLineEdit* District_Edit;
    QLabel* StartTime_Label;
    QLineEdit* StartTime_Edit;
    QLabel* EndTime_Label;
    QLineEdit* EndTime_Edit;
    QLabel* Override_Label;       // hidden
    qv::RadioGroup* Override_RG;  // hidden: "是" loss report applied, "否" not
    QLabel* Prompt_Label;
    QPushButton* ReadCard_Bt;  // "读  卡(&R)", the default button
    QPushButton* Register_Bt;  // "注  销(&G)"
    QPushButton* Close_Bt;     // "关  闭(&C)"

    // Reads the card on the encoder and shows it.
    void ReadCard_BtClick();
    // Wipes the card on the encoder.
    void Register_BtClick();
    // Prompt_Label := the text of an encoder result.
    void ShowPromptMessage(int code);

    // How a card time is shown: date and time, the date alone at midnight,
    // nothing when the words are no date.
    static QString CardTimeText(const TCardTime& time);
    // An area number (building, floor, district) as shown: 1 to 99, else nothing.
    static QString AreaText(int number);

protected:
    // Applies the language store and hides the cancel button for the
    // magnetic-stripe lock systems (kinds 2 and 11).
    void FormCreate() override;
};
