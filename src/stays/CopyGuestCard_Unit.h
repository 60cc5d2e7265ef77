#pragma once

#include "stays/GuestCardForm.h"

// Copy guest card ("复制客人卡"): another guest card for a room that has one,
// for a second guest or in place of a lost card. The copy carries the room's
// current serial, so the earlier card keeps opening; the room's counter and
// its stay are not touched, and each copy is logged.
//
// Shown modally and destroyed by its owner: `TCopyGuestCard_Form f(parent); f.exec();`
class TCopyGuestCard_Form : public qv::GuestCardForm {
    Q_OBJECT
public:
    explicit TCopyGuestCard_Form(QWidget* parent = nullptr);
    ~TCopyGuestCard_Form() override;

    void se_Room1Change();
    void Confirm_BtClick();
};
