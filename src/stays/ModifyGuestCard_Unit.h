#pragma once

#include "stays/GuestCardForm.h"

// Continue stay ("续房"): the guest's card goes on the encoder and "读  卡"
// fills in the room, the guest and the card's times; the clerk sets the new
// end and presses "发卡(&Y)". The window writes a guest card with serial 0
// (the room's counter is not touched) and, only when it was written, moves
// the planned end of the room's open stay, with the card's log row.
//
// Shown modally and destroyed by its owner: `TModifyGuestCard_Form f(parent); f.exec();`
class TModifyGuestCard_Form : public qv::GuestCardForm {
    Q_OBJECT
public:
    explicit TModifyGuestCard_Form(QWidget* parent = nullptr);
    ~TModifyGuestCard_Form() override;

    void se_Room1Change();
    // Reads the guest's card.
    void Button1Click();
    // Extends the stay and writes the card.
    void Confirm_BtClick();
};
