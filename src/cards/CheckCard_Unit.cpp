#include "cards/CheckCard_Unit.h"

#include "card/CardFunctions.h"
#include "card/CardRecords.h"
#include "card/Encoder.h"
#include "platform/Guard.h"
#include "platform/Named.h"
#include "platform/RadioGroup.h"
#include "settings/Settings.h"
#include "window/CardOperation.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd");
const QString kTimeFormat = QStringLiteral("HH:mm:ss");

// The window's message lines.
enum Message { NewCard = 0, SeveralRows = 1 };

}  // namespace

TCheckCardForm::TCheckCardForm(QWidget* parent)
    : Form(QStringLiteral("CheckCardForm"), QStringLiteral("读卡/注销卡"), parent) {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    auto row = [this, grid](const QString& labelName, const QString& caption,
                            const QString& editName, QLabel*& label, QLineEdit*& edit) {
        label = qv::make<QLabel>(labelName, caption, this);
        edit = qv::make<QLineEdit>(editName, this);
        edit->setReadOnly(true);
        edit->setMinimumWidth(220);
        label->setBuddy(edit);
        const int at = grid->rowCount();
        grid->addWidget(label, at, 0, Qt::AlignRight);
        grid->addWidget(edit, at, 1);
    };
    row(QStringLiteral("CardType_Label"), QStringLiteral("卡 类型："),
        QStringLiteral("CardType_Edit"), CardType_Label, CardType_Edit);
    row(QStringLiteral("CardHolder_Label"), QStringLiteral("持卡人："),
        QStringLiteral("CardHolder_Edit"), CardHolder_Label, CardHolder_Edit);
    row(QStringLiteral("RoomNo_Label"), QStringLiteral("客    房："), QStringLiteral("RoomNo_Edit"),
        RoomNo_Label, RoomNo_Edit);
    row(QStringLiteral("Building_Label"), QStringLiteral("楼    号："),
        QStringLiteral("Building_Edit"), Building_Label, Building_Edit);
    row(QStringLiteral("Floor_Label"), QStringLiteral("楼    层："), QStringLiteral("Floor_Edit"),
        Floor_Label, Floor_Edit);
    row(QStringLiteral("District_Label"), QStringLiteral("区  域:"),
        QStringLiteral("District_Edit"), District_Label, District_Edit);
    row(QStringLiteral("StartTime_Label"), QStringLiteral("起始时间："),
        QStringLiteral("StartTime_Edit"), StartTime_Label, StartTime_Edit);
    row(QStringLiteral("EndTime_Label"), QStringLiteral("终止时间："),
        QStringLiteral("EndTime_Edit"), EndTime_Label, EndTime_Edit);
    row(QStringLiteral("GuestID_Label"), QStringLiteral("证件号："), QStringLiteral("GuestID_Edit"),
        GuestID_Label, GuestID_Edit);
    // The guest's document shows for guest cards only; its row keeps its
    // place so that the window does not change size from card to card.
    for (QWidget* w : {static_cast<QWidget*>(GuestID_Label), static_cast<QWidget*>(GuestID_Edit)}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
        w->hide();
    }

    Override_Label =
        qv::make<QLabel>(QStringLiteral("Override_Label"), QStringLiteral("是否挂失："), this);
    Override_RG = qv::make<qv::RadioGroup>(QStringLiteral("Override_RG"), this);
    Override_RG->setColumns(2);
    Override_RG->setItems({QStringLiteral("是"), QStringLiteral("否")});
    Override_RG->setEnabled(false);  // shows the card, changes nothing
    {
        const int at = grid->rowCount();
        grid->addWidget(Override_Label, at, 0, Qt::AlignRight);
        grid->addWidget(Override_RG, at, 1);
    }
    Override_Label->hide();
    Override_RG->hide();

    Prompt_Label = qv::CardOperation::makePrompt(this);

    ReadCard_Bt =
        qv::make<QPushButton>(QStringLiteral("ReadCard_Bt"), QStringLiteral("读  卡(&R)"), this);
    ReadCard_Bt->setDefault(true);
    Register_Bt =
        qv::make<QPushButton>(QStringLiteral("Register_Bt"), QStringLiteral("注  销(&G)"), this);
    Register_Bt->setAutoDefault(false);
    Close_Bt =
        qv::make<QPushButton>(QStringLiteral("Close_Bt"), QStringLiteral("关  闭(&C)"), this);
    Close_Bt->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ReadCard_Bt);
    buttons->addWidget(Register_Bt);
    buttons->addWidget(Close_Bt);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->setSpacing(8);
    layout->addLayout(grid);
    layout->addWidget(Prompt_Label);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The buttons first: the boxes only show what was read.
    setTabOrder(ReadCard_Bt, Register_Bt);
    setTabOrder(Register_Bt, Close_Bt);
    setTabOrder(Close_Bt, CardType_Edit);

    connect(ReadCard_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TCheckCardForm::ReadCard_BtClick));
    connect(Register_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TCheckCardForm::Register_BtClick));
    connect(Close_Bt, &QPushButton::clicked, this, &QDialog::reject);

    FormCreate();
}

TCheckCardForm::~TCheckCardForm() = default;

void TCheckCardForm::FormCreate() {
    Form::FormCreate();
    qv::ParameterBlock parameters;
    qv::Encoder::instance().getParameter(parameters);
    const int lockKind = static_cast<int16_t>(parameters[0]);
    if (lockKind == QV_KIND_AUTO_MAGNETIC || lockKind == QV_KIND_MANUAL_MAGNETIC) {
        Register_Bt->hide();  // magnetic-stripe cards are not wiped here
    }
    ReadCard_Bt->setFocus();
}

QString TCheckCardForm::CardTimeText(const TCardTime& time) {
    const QDateTime value = CardTimeToDate(time);
    if (!value.isValid()) {
        return {};
    }
    if (value.time() == QTime(0, 0)) {
        return value.date().toString(kDateFormat);
    }
    return value.toString(kDateFormat + QLatin1Char(' ') + kTimeFormat);
}

QString TCheckCardForm::AreaText(int number) {
    return number >= 1 && number <= 99 ? QString::number(number) : QString();
}

void TCheckCardForm::ShowPromptMessage(int code) {
    Prompt_Label->setText(ResultText(code));
}

void TCheckCardForm::ReadCard_BtClick() {
    qv::CardOperation op(this);
    if (!op.started()) {
        return;
    }
    GuestID_Edit->hide();
    GuestID_Label->hide();
    CardHolder_Edit->clear();
    RoomNo_Edit->clear();
    op.begin({ReadCard_Bt});
    // Should the card not be read or a look-up of its records fail, the
    // result or the error is shown and the card can be read again at once.
    op.resumeAtOnce();

    const IssuedCard issued = ReadIssuedCard();
    if (!issued.read()) {
        ShowPromptMessage(issued.code);
        return;
    }
    const TCardData& card = issued.card;
    if (issued.blank()) {
        // A blank card; the area boxes keep what they showed.
        StartTime_Edit->clear();
        EndTime_Edit->clear();
        CardType_Edit->clear();
        Override_RG->setItemIndex(-1);
        Prompt_Label->setText(message(NewCard, QStringLiteral("新卡！")));
        return;
    }

    StartTime_Edit->setText(CardTimeText(card.StartTime));
    EndTime_Edit->setText(CardTimeText(card.EndTime));
    CardType_Edit->setText(CardTypeText(GetCardTypeTitle(issued.cardType)));
    Override_RG->setItemIndex(static_cast<int16_t>(card.Override));

    // The holder is the one of this very card's log row.
    CardHolder_Edit->setText(issued.holder());
    if (issued.guest()) {
        RoomNo_Edit->setText(issued.room.roomStr);
        GuestID_Edit->setText(issued.explain());
        GuestID_Edit->show();
        GuestID_Label->show();
        Floor_Edit->clear();
        Building_Edit->clear();
        District_Edit->clear();
    } else {
        RoomNo_Edit->clear();
        District_Edit->setText(AreaText(static_cast<int16_t>(card.District[0])));
        Building_Edit->setText(AreaText(static_cast<int16_t>(card.Building)));
        Floor_Edit->setText(AreaText(static_cast<int16_t>(card.Floor[0])));
    }
    op.resumeAtOnce(false);

    ShowPromptMessage(1);
    QStringList notes;
    if (issued.ambiguous()) {
        notes << message(SeveralRows,
                         QStringLiteral("发卡记录中有 %1 张相同的卡，无法分辨是哪一张。"))
                     .arg(issued.rows.size());
    }
    if (const CardLogRow* row = issued.row(); row && row->state != CardLogStates::Written) {
        notes << CardStateText(row->state);
    }
    if (!notes.isEmpty()) {
        Prompt_Label->setText(Prompt_Label->text() + '\n' + notes.join(' '));
    }
    op.paintAtEnd();
}

void TCheckCardForm::Register_BtClick() {
    qv::CardOperation op(this);
    if (!op.started()) {
        return;
    }
    // Whatever happens below, the buttons come back after the pause.
    op.begin({ReadCard_Bt, Register_Bt});
    op.paintAtEnd();

    // The card is wiped and its own log row marked cancelled.
    const CardCancel cancelled = cancelCard();
    const int code = cancelled.code;
    ShowPromptMessage(code);
    if (code == 1) {
        for (QLineEdit* box : {CardHolder_Edit, RoomNo_Edit, StartTime_Edit, EndTime_Edit,
                               CardType_Edit, Floor_Edit, Building_Edit, District_Edit}) {
            box->clear();
        }
        // The wiped card has no guest either.
        GuestID_Edit->clear();
        GuestID_Edit->hide();
        GuestID_Label->hide();
    }
}
