#include "stays/CopyGuestCard_Unit.h"

#include "platform/Guard.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TCopyGuestCard_Form::TCopyGuestCard_Form(QWidget* parent)
    : GuestCardForm(QStringLiteral("CopyGuestCard_Form"), QStringLiteral("复制客人卡"), parent) {
    emptyRoomStops = true;
    Room_Label->setText(QStringLiteral("房号："));
    RoomHint_Label->hide();  // F2 does not open the room list here
    GuestCode_Label->setText(QStringLiteral("证   件："));
    GuestCode_Edit->setText(QStringLiteral("1"));
    Confirm_Bt->setText(QStringLiteral("复制客人卡(&Y)"));

    connect(se_Room1, &QLineEdit::textChanged, this,
            qv::slot(this, &TCopyGuestCard_Form::se_Room1Change));
    connect(Confirm_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TCopyGuestCard_Form::Confirm_BtClick));
    FormCreate();
}

TCopyGuestCard_Form::~TCopyGuestCard_Form() = default;

void TCopyGuestCard_Form::se_Room1Change() {
    // The end date follows the nights again (a room given by the caller
    // arrives after the window was created).
    Days_EditChange();
}

void TCopyGuestCard_Form::Confirm_BtClick() {
    // A door plate that no room has is refused: its card would have lock address 0.
    if (issueCard(Confirm_Bt, qv::stays::copyCard)) {
        Confirm_Bt->setEnabled(true);
    }
}
