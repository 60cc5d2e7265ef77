#include "records/UnconfirmedCards_Unit.h"

#include "data/Session.h"
#include "language/ComponentText.h"
#include "window/CardOperation.h"

#include "card/CardFunctions.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Guard.h"
#include "platform/Named.h"
#include "platform/ProgramText.h"
#include "records/RecordSearches.h"
#include "settings/Settings.h"
#include "stays/StayService.h"
#include "window/RecordGrid.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm");

// The window's message lines.
enum Message {
    AskLost = 0,
    AskNewCard = 1,
    SettledElsewhere = 2,
    NoneLeft = 3,
};

enum Column { RoomColumn, KindColumn, HolderColumn, IssuedColumn, StateColumn, MakerColumn };

QString kindText(int cardType) {
    const QString title = CardTypeText(GetCardTypeTitle(cardType));
    return title.isEmpty() ? QString::number(cardType) : title;
}

}  // namespace

TUnconfirmedCards_Form::TUnconfirmedCards_Form(QWidget* parent)
    : Form(QStringLiteral("UnconfirmedCards_Form"), QStringLiteral("发卡结果不明的卡"), parent) {
    Hint_Label = qv::make<QLabel>(
        QStringLiteral("Hint_Label"),
        QStringLiteral("这些卡已交给发卡机，但发卡没有完成确认，它们可能已经写好并能开门。"
                       "请逐张确认：卡已写好并交给了持卡人，或者卡已丢失或损坏。"),
        this);
    Hint_Label->setWordWrap(true);

    Cards_Grid = qv::make<QTableWidget>(QStringLiteral("Cards_Grid"), this);
    Cards_Grid->setColumnCount(6);
    Cards_Grid->setHorizontalHeaderLabels({QStringLiteral("房间"), QStringLiteral("卡种类"),
                                           QStringLiteral("持卡人"), QStringLiteral("发卡时间"),
                                           QStringLiteral("状态"), QStringLiteral("发卡人")});
    qv::setRecordGridLook(Cards_Grid);
    Cards_Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Cards_Grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    Cards_Grid->setSelectionMode(QAbstractItemView::SingleSelection);
    Cards_Grid->horizontalHeader()->setStretchLastSection(true);
    Cards_Grid->setColumnWidth(RoomColumn, 70);
    Cards_Grid->setColumnWidth(KindColumn, 90);
    Cards_Grid->setColumnWidth(HolderColumn, 110);
    Cards_Grid->setColumnWidth(IssuedColumn, 130);
    Cards_Grid->setColumnWidth(StateColumn, 160);

    Prompt_Label = qv::CardOperation::makePrompt(this);
    qv::language::markRuntimeText(Prompt_Label);  // results, in the window's message lines

    Written_Bt = qv::make<QPushButton>(QStringLiteral("Written_Bt"),
                                       QStringLiteral("卡已写好并交给持卡人(&W)"), this);
    Lost_Bt = qv::make<QPushButton>(QStringLiteral("Lost_Bt"), QStringLiteral("卡已丢失或损坏(&L)"),
                                    this);
    Close_Bt =
        qv::make<QPushButton>(QStringLiteral("Close_Bt"), QStringLiteral("关  闭(&C)"), this);
    for (QPushButton* b : {Written_Bt, Lost_Bt, Close_Bt}) {
        b->setAutoDefault(false);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Written_Bt);
    buttons->addWidget(Lost_Bt);
    buttons->addWidget(Close_Bt);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(Hint_Label);
    layout->addWidget(Cards_Grid, 1);
    layout->addWidget(Prompt_Label);
    layout->addLayout(buttons);

    setTabOrder(Cards_Grid, Written_Bt);
    setTabOrder(Written_Bt, Lost_Bt);
    setTabOrder(Lost_Bt, Close_Bt);

    connect(Written_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TUnconfirmedCards_Form::Written_BtClick));
    connect(Lost_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TUnconfirmedCards_Form::Lost_BtClick));
    connect(Close_Bt, &QPushButton::clicked, this, &QDialog::reject);
    connect(Cards_Grid, &QTableWidget::currentCellChanged, this,
            qv::slot(this, &TUnconfirmedCards_Form::Cards_GridCurrentChanged));

    resize(760, 380);
    FormCreate();
}

TUnconfirmedCards_Form::~TUnconfirmedCards_Form() = default;

void TUnconfirmedCards_Form::FormCreate() {
    Form::FormCreate();
    qv::guarded([this] { LoadCards(); });
    Cards_Grid->setFocus();
}

void TUnconfirmedCards_Form::LoadCards() {
    const int keep = Cards_Grid->currentRow();
    cards_ = UnconfirmedCards();
    const QSignalBlocker quiet(Cards_Grid);
    Cards_Grid->clearContents();
    Cards_Grid->setRowCount(static_cast<int>(cards_.size()));
    for (int row = 0; row < cards_.size(); ++row) {
        const CardLogRow& c = cards_[row];
        const QStringList texts{c.roomStr,
                                kindText(c.cardType),
                                c.holder,
                                c.inputTime.toString(kTimeFormat),
                                CardStateText(c.state),
                                c.makeName};
        for (int column = 0; column < texts.size(); ++column) {
            Cards_Grid->setItem(row, column, new QTableWidgetItem(texts[column]));
        }
    }
    if (!cards_.isEmpty()) {
        Cards_Grid->setCurrentCell(std::clamp(keep, 0, static_cast<int>(cards_.size()) - 1), 0);
    }
    Cards_GridCurrentChanged();
}

const CardLogRow* TUnconfirmedCards_Form::currentCard() const {
    const int row = Cards_Grid->currentRow();
    return row >= 0 && row < cards_.size() ? &cards_[row] : nullptr;
}

bool TUnconfirmedCards_Form::mayIssue(int cardType) {
    if (!rights_.contains(cardType)) {
        rights_.insert(cardType, qv::session().hasRight(CardIssueRight(cardType)));
    }
    return rights_.value(cardType);
}

void TUnconfirmedCards_Form::Cards_GridCurrentChanged() {
    const CardLogRow* card = currentCard();
    const bool allowed = card && mayIssue(card->cardType);
    Written_Bt->setEnabled(allowed);
    Lost_Bt->setEnabled(allowed);
    if (cards_.isEmpty()) {
        Prompt_Label->setText(message(NoneLeft, QStringLiteral("没有发卡结果不明的卡。")));
    }
}

void TUnconfirmedCards_Form::Written_BtClick() {
    const CardLogRow* card = currentCard();
    if (!card || !mayIssue(card->cardType)) {
        return;
    }
    if (!MarkCardWritten(card->id)) {
        Prompt_Label->setText(
            message(SettledElsewhere, QStringLiteral("这张卡已经在别处处理过了。")));
    } else {
        Prompt_Label->setText(ResultText(1));
    }
    LoadCards();
}

void TUnconfirmedCards_Form::Lost_BtClick() {
    const CardLogRow* current = currentCard();
    if (!current || !mayIssue(current->cardType)) {
        return;
    }
    const CardLogRow card = *current;  // the list is loaded again below
    const QString name = card.roomStr.isEmpty()
                             ? kindText(card.cardType)
                             : card.roomStr + QLatin1Char(' ') + kindText(card.cardType);
    if (qv::messageBox(qv::noticeTitle(),
                       message(AskLost, QStringLiteral("把这张卡（%1，持卡人 %2）登记为丢失或损坏，"
                                                       "标为已注销？"))
                           .arg(name, card.holder),
                       qv::Icon::Question, qv::Buttons::OkCancel) != qv::Answer::Ok) {
        return;
    }
    if (!MarkCardCancelled(card.id)) {
        Prompt_Label->setText(
            message(SettledElsewhere, QStringLiteral("这张卡已经在别处处理过了。")));
        LoadCards();
        return;
    }
    Prompt_Label->setText(ResultText(1));
    LoadCards();
    // A lost guest card still opens its room until a newer card of the room
    // is used there; one is offered while the lost card is valid.
    if (card.cardType == CardTypes::Guest && !card.roomStr.isEmpty() &&
        card.endTime > qv::Clock::now()) {
        offerNewGuestCard(card);
    }
}

void TUnconfirmedCards_Form::offerNewGuestCard(const CardLogRow& lost) {
    if (qv::messageBox(qv::noticeTitle(),
                       message(AskNewCard,
                               QStringLiteral("是否为 %1 房的客人写一张新的客人卡？新卡在门锁上使用"
                                              "后，丢失的卡就不能再开门。请把新卡放到发卡机上。"))
                           .arg(lost.roomStr),
                       qv::Icon::Question, qv::Buttons::OkCancel) != qv::Answer::Ok) {
        return;
    }
    qv::CardOperation op(this);
    if (!op.started()) {
        return;
    }
    qv::stays::GuestCard card;
    card.roomStr = lost.roomStr;
    card.start = qv::Clock::now();
    card.end = lost.endTime;
    card.guestName = lost.holder;
    card.document = lost.explain;
    op.begin({});
    const qv::stays::Result result = qv::stays::checkIn(card);
    switch (result.outcome) {
        case qv::stays::Outcome::DatabaseError:
            qv::showError(result.error);
            Prompt_Label->setText(result.cardWritten ? WrittenUnrecordedPrompt()
                                                     : ResultText(result.code));
            break;
        default:
            Prompt_Label->setText(ResultText(result.code));
            if (result.written()) {
                RoomBoardChanged = true;
            }
            break;
    }
    LoadCards();
}
