#include "stays/ModifyGuestCard_Unit.h"

#include "card/CardFunctions.h"
#include "platform/Guard.h"
#include "settings/Settings.h"

#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>

TModifyGuestCard_Form::TModifyGuestCard_Form(QWidget* parent)
    : GuestCardForm(QStringLiteral("ModifyGuestCard_Form"), QStringLiteral("续房"), parent) {
    emptyRoomStops = true;
    Room_Label->setText(QStringLiteral("房号："));
    se_Room1->setReadOnly(true);  // filled by reading the guest's card only
    RoomList_Bt->hide();
    RoomHint_Label->hide();
    GuestCode_Label->setText(QStringLiteral("证   件："));
    GuestCode_Edit->setText(QStringLiteral("1"));
    Confirm_Bt->setText(QStringLiteral("发卡(&Y)"));
    Button1->show();
    Button1->setAutoDefault(true);  // Enter on it reads the card

    connect(se_Room1, &QLineEdit::textChanged, this,
            qv::slot(this, &TModifyGuestCard_Form::se_Room1Change));
    connect(Button1, &QPushButton::clicked, this,
            qv::slot(this, &TModifyGuestCard_Form::Button1Click));
    connect(Confirm_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TModifyGuestCard_Form::Confirm_BtClick));
    FormCreate();
    Button1->setFocus();
}

TModifyGuestCard_Form::~TModifyGuestCard_Form() = default;

void TModifyGuestCard_Form::se_Room1Change() {
    Days_EditChange();  // a text that is not a whole number is ignored, as in the other windows
}

void TModifyGuestCard_Form::Button1Click() {
    const qv::stays::ReadGuestCard read = qv::stays::readGuestCard();
    // Nothing of an earlier card stays in the room box: "发卡(&Y)" extends
    // only the stay of the card on the encoder.
    se_Room1->clear();
    replacesCard.reset();
    if (read.code != 1) {
        ShowPromptMessage(read.code);
        return;
    }
    if (!read.guestCard) {
        Prompt_Label->setText(message(2, QStringLiteral("不是客人卡！")));
        return;
    }
    if (!read.room.found) {
        Prompt_Label->setText(message(3, QStringLiteral("卡上的房间不存在！")));
        return;
    }
    if (read.openStay && !read.ofOpenStay) {
        // A card of an earlier guest of the room: nothing of it is filled in,
        // so nothing can be written for it.
        Prompt_Label->setText(notOfOpenStayText());
        return;
    }
    se_Room1->setText(read.room.roomStr);
    replacesCard = read.origin();
    E_H_GQI->setText(read.holder);
    GuestCode_Edit->setText(read.explain);
    SD_GQI_Dtp->setDate(read.start.date());
    ST_GQI_Dtp->setTime(read.start.time());
    setEndDate(read.end.date());
    ET_GQI_Dtp->setTime(LockSystemInfo.LeaveTime);  // the hotel's check-out time, not the card's
    Days_Edit->setText(QString::number(read.start.date().daysTo(read.end.date())));
}

void TModifyGuestCard_Form::Confirm_BtClick() {
    const auto result = issueCard(Confirm_Bt, qv::stays::continueStay, [this](const auto&) {
        se_Room1->clear();  // the next guest's card is read first
        replacesCard.reset();
    });
    if (result) {
        Confirm_Bt->setEnabled(true);
    }
}
