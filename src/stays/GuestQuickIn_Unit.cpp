#include "stays/GuestQuickIn_Unit.h"

#include "settings/Settings.h"
#include "card/CardFunctions.h"
#include "card/CardRecords.h"
#include "platform/Guard.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {
// After a card call the check-in button comes back (or stays off) after this pause.
constexpr int kConfirmPauseMs = 500;
}  // namespace

TGuestQuickIn_Form::TGuestQuickIn_Form(QWidget* parent)
    : GuestCardForm(QStringLiteral("GuestQuickIn_Form"), QStringLiteral("开房--发行客人卡"),
                    parent) {
    Days_Edit->setMaxLength(4);
    Confirm_Bt->setText(QStringLiteral("开房(&Y)"));
    CopyGuestCard_Bt = new QPushButton(QStringLiteral("复制客人卡(&Y)"), this);
    CopyGuestCard_Bt->setObjectName(QStringLiteral("CopyGuestCard_Bt"));
    CopyGuestCard_Bt->setEnabled(false);
    Buttons_Layout->insertWidget(Buttons_Layout->indexOf(Close_Bt), CopyGuestCard_Bt);
    setTabOrder(Confirm_Bt, CopyGuestCard_Bt);
    setTabOrder(CopyGuestCard_Bt, Close_Bt);

    connect(se_Room1, &QLineEdit::textChanged, this,
            qv::slot(this, &TGuestQuickIn_Form::se_Room1Change));
    connect(Confirm_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TGuestQuickIn_Form::Confirm_BtClick));
    connect(CopyGuestCard_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TGuestQuickIn_Form::CopyGuestCard_BtClick));
    FormCreate();
    // Nights that Days_Edit's four characters can show.
    ED_GQI_Dtp->setDateRange(SD_GQI_Dtp->date().addDays(-999), SD_GQI_Dtp->date().addDays(9999));
}

TGuestQuickIn_Form::~TGuestQuickIn_Form() = default;

bool TGuestQuickIn_Form::FormKeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_F2 && event->modifiers() == Qt::NoModifier) {
        RoomList_BtClick();
        return true;
    }
    return GuestCardForm::FormKeyDown(event);
}

void TGuestQuickIn_Form::se_Room1Change() {
    Confirm_Bt->setEnabled(true);
    CopyGuestCard_Bt->setEnabled(false);
}

void TGuestQuickIn_Form::Confirm_BtClick() {
    const QString room = se_Room1->text();
    if (!checkRoom(room) || !takeCardBusy()) {
        return;
    }
    Confirm_Bt->setEnabled(false);
    repaintNow();
    const QDateTime start = StayStart();
    const QDateTime end = StayEnd();
    if (!CheckDateRange(start, end)) {
        Confirm_Bt->setEnabled(true);  // corrected dates can be tried at once
        return;
    }
    const int code = writeGuestCard(room, false, [&](const TCardData& card) {
        MakeCardLog(card, E_H_GQI->text(), GuestCode_Edit->text());
        recordStay(room, card);
    });
    if (code == 1) {
        Confirm_Bt->setEnabled(false);
        CopyGuestCard_Bt->setEnabled(true);
    }
    ShowPromptMessage(code);
    QTimer::singleShot(kConfirmPauseMs, this, [this, code] { Confirm_Bt->setEnabled(code != 1); });
}

void TGuestQuickIn_Form::CopyGuestCard_BtClick() {
    const QString room = se_Room1->text();
    if (!checkRoom(room) || !takeCardBusy()) {
        return;
    }
    Confirm_Bt->setEnabled(false);  // stays off until the room box changes
    repaintNow();
    if (!CheckDateRange(StayStart(), StayEnd())) {
        return;
    }
    const int code = writeGuestCard(room, true, [&](const TCardData& card) {
        MakeCardLog(card, E_H_GQI->text(), GuestCode_Edit->text());
    });
    ShowPromptMessage(code);
}
