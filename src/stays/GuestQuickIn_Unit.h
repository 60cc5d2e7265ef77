#pragma once

#include "stays/GuestCardForm.h"

class QTimer;

// Check-in ("开房--发行客人卡"): the operator names a room, sets the nights,
// the guest's name and document and presses "开房(&Y)". The window writes a
// guest card with the room's next serial and only then advances the room's
// counter, logs the card and opens the room's stay (or counts one more card
// on the stay already open), all in one transaction. "复制客人卡(&Y)" then
// writes further cards of the same serial until the room box changes.
//
// Shown modally and destroyed by its owner: `TGuestQuickIn_Form f(parent); f.exec();`
class TGuestQuickIn_Form : public qv::GuestCardForm {
    Q_OBJECT
public:
    explicit TGuestQuickIn_Form(QWidget* parent = nullptr);
    ~TGuestQuickIn_Form() override;

    QPushButton* CopyGuestCard_Bt;

    void se_Room1Change();
    void Confirm_BtClick();
    void CopyGuestCard_BtClick();

private:
    // Half a second after a check-in the check-in button comes back (or
    // stays off after a card); a change of the room box comes first.
    QTimer* confirmPause_;
    bool confirmWritten_ = false;
};
