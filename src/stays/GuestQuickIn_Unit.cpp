#include "stays/GuestQuickIn_Unit.h"

#include "platform/Guard.h"
#include "platform/Named.h"

#include <QDateEdit>
#include <QHBoxLayout>
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
    roomListKey = true;
    limitLength(Days_Edit, 4);
    Confirm_Bt->setText(QStringLiteral("开房(&Y)"));
    CopyGuestCard_Bt = qv::make<QPushButton>(QStringLiteral("CopyGuestCard_Bt"),
                                             QStringLiteral("复制客人卡(&Y)"), this);
    CopyGuestCard_Bt->setEnabled(false);
    Buttons_Layout->insertWidget(Buttons_Layout->indexOf(Close_Bt), CopyGuestCard_Bt);
    setTabOrder(Confirm_Bt, CopyGuestCard_Bt);
    setTabOrder(CopyGuestCard_Bt, Close_Bt);

    confirmPause_ = new QTimer(this);
    confirmPause_->setSingleShot(true);
    confirmPause_->setInterval(kConfirmPauseMs);
    connect(confirmPause_, &QTimer::timeout, this,
            [this] { Confirm_Bt->setEnabled(!confirmWritten_); });

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

void TGuestQuickIn_Form::se_Room1Change() {
    confirmPause_->stop();  // the new room is the clerk's next check-in
    Confirm_Bt->setEnabled(true);
    CopyGuestCard_Bt->setEnabled(false);
}

void TGuestQuickIn_Form::Confirm_BtClick() {
    const auto result = issueCard(Confirm_Bt, qv::stays::checkIn, [this](const auto& r) {
        if (r.written()) {
            CopyGuestCard_Bt->setEnabled(true);  // copy state until the room box changes
        }
    });
    if (!result) {
        return;
    }
    confirmWritten_ = result->written();
    confirmPause_->start();
}

void TGuestQuickIn_Form::CopyGuestCard_BtClick() {
    // The check-in button stays off (it is already) until the room box changes.
    issueCard(Confirm_Bt, qv::stays::copyCard);
}
