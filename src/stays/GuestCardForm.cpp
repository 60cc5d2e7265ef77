#include "stays/GuestCardForm.h"

#include "card/CardFunctions.h"
#include "data/ChangeFeed.h"
#include "data/dm_unit.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Guard.h"
#include "platform/Named.h"
#include "platform/ProgramText.h"
#include "records/RoomList_Unit.h"
#include "settings/Settings.h"
#include "window/CardOperation.h"

#include <QCheckBox>
#include "window/DatePicker.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <algorithm>

namespace qv {

namespace {

// The long date format of the workstation's language, and the time format.
const QString kDateFormat = QStringLiteral("yyyy年M月d日");
const QString kTimeFormat = QStringLiteral("HH:mm:ss");

}  // namespace

GuestCardForm::GuestCardForm(const QString& name, const QString& caption, QWidget* parent)
    : Form(name, caption, parent, Options{.escCloses = true, .fixedSize = true}) {
    GroupBox1 =
        qv::named(new QGroupBox(QStringLiteral("入住信息"), this), QStringLiteral("GroupBox1"));
    QWidget* box = GroupBox1;

    Room_Label =
        qv::make<QLabel>(QStringLiteral("Room_Label"), QStringLiteral("输入门牌号："), box);
    se_Room1 = qv::named(new QLineEdit(box), QStringLiteral("se_Room1"));
    Room_Label->setBuddy(se_Room1);
    RoomList_Bt =
        qv::named(new QPushButton(QStringLiteral("选房"), box), QStringLiteral("RoomList_Bt"));
    RoomList_Bt->setAutoDefault(false);
    RoomHint_Label =
        qv::make<QLabel>(QStringLiteral("RoomHint_Label"), QStringLiteral("按F2显示房间列表"), box);
    RoomHint_Label->setStyleSheet(QStringLiteral("color: #555555;"));
    RoomState_Label = qv::make<QLabel>(QStringLiteral("RoomState_Label"), QString(), box);
    // Its text never widens the window: a long one is cut, and whole in the tip.
    RoomState_Label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    Days_Label = qv::make<QLabel>(QStringLiteral("Days_Label"), QStringLiteral("入住天数："), box);
    Days_Edit = qv::named(new QLineEdit(box), QStringLiteral("Days_Edit"));
    Days_Edit->setMaximumWidth(80);
    Days_Label->setBuddy(Days_Edit);
    DaysUnit_Label = qv::make<QLabel>(QStringLiteral("DaysUnit_Label"), QString(), box);
    DaysUnit_Label->hide();

    StartTime_Label =
        qv::make<QLabel>(QStringLiteral("StartTime_Label"), QStringLiteral("入住时间："), box);
    SD_GQI_Dtp = qv::named(new qv::DateEdit(box), QStringLiteral("SD_GQI_Dtp"));
    SD_GQI_Dtp->setDisplayFormat(kDateFormat);
    SD_GQI_Dtp->setEnabled(false);
    ST_GQI_Dtp = qv::named(new qv::TimeEdit(box), QStringLiteral("ST_GQI_Dtp"));
    ST_GQI_Dtp->setDisplayFormat(kTimeFormat);
    ST_GQI_Dtp->setEnabled(false);

    EndTime_Label =
        qv::make<QLabel>(QStringLiteral("EndTime_Label"), QStringLiteral("退房时间："), box);
    ED_GQI_Dtp = qv::named(new qv::DateEdit(box), QStringLiteral("ED_GQI_Dtp"));
    ED_GQI_Dtp->setDisplayFormat(kDateFormat);
    ED_GQI_Dtp->setCalendarPopup(true);
    EndTime_Label->setBuddy(ED_GQI_Dtp);
    ET_GQI_Dtp = qv::named(new qv::TimeEdit(box), QStringLiteral("ET_GQI_Dtp"));
    ET_GQI_Dtp->setDisplayFormat(kTimeFormat);

    GuestName_Label =
        qv::make<QLabel>(QStringLiteral("GuestName_Label"), QStringLiteral("客人姓名："), box);
    E_H_GQI = qv::named(new QLineEdit(box), QStringLiteral("E_H_GQI"));
    limitLength(E_H_GQI, 20);
    GuestName_Label->setBuddy(E_H_GQI);
    GuestCode_Label =
        qv::make<QLabel>(QStringLiteral("GuestCode_Label"), QStringLiteral("证    件："), box);
    GuestCode_Edit = qv::named(new QLineEdit(box), QStringLiteral("GuestCode_Edit"));
    limitLength(GuestCode_Edit, 20);
    GuestCode_Label->setBuddy(GuestCode_Edit);
    CB_eO_GQI =
        qv::named(new QCheckBox(QStringLiteral("应用挂失"), box), QStringLiteral("CB_eO_GQI"));
    CB_eO_GQI->setChecked(false);
    CB_eO_GQI->hide();

    for (QWidget* w : {static_cast<QWidget*>(SD_GQI_Dtp), static_cast<QWidget*>(ED_GQI_Dtp)}) {
        w->setMinimumWidth(150);
    }
    for (QWidget* w : {static_cast<QWidget*>(ST_GQI_Dtp), static_cast<QWidget*>(ET_GQI_Dtp)}) {
        w->setMinimumWidth(100);
    }

    Fields_Layout = new QGridLayout(GroupBox1);
    Fields_Layout->setHorizontalSpacing(8);
    Fields_Layout->setVerticalSpacing(8);
    Fields_Layout->addWidget(Room_Label, 0, 0, Qt::AlignRight);
    Fields_Layout->addWidget(se_Room1, 0, 1);
    Fields_Layout->addWidget(RoomList_Bt, 0, 2);
    auto* roomLines = new QVBoxLayout;
    roomLines->setSpacing(2);
    roomLines->addWidget(RoomHint_Label);
    roomLines->addWidget(RoomState_Label);
    Fields_Layout->addLayout(roomLines, 1, 1, 1, 2);
    Fields_Layout->addWidget(Days_Label, 2, 0, Qt::AlignRight);
    auto* days = new QHBoxLayout;
    days->addWidget(Days_Edit);
    days->addWidget(DaysUnit_Label);
    days->addStretch();
    Fields_Layout->addLayout(days, 2, 1, 1, 2);
    Fields_Layout->addWidget(StartTime_Label, 3, 0, Qt::AlignRight);
    Fields_Layout->addWidget(SD_GQI_Dtp, 3, 1);
    Fields_Layout->addWidget(ST_GQI_Dtp, 3, 2);
    Fields_Layout->addWidget(EndTime_Label, 4, 0, Qt::AlignRight);
    Fields_Layout->addWidget(ED_GQI_Dtp, 4, 1);
    Fields_Layout->addWidget(ET_GQI_Dtp, 4, 2);
    Fields_Layout->addWidget(GuestName_Label, 5, 0, Qt::AlignRight);
    Fields_Layout->addWidget(E_H_GQI, 5, 1, 1, 2);
    Fields_Layout->addWidget(GuestCode_Label, 6, 0, Qt::AlignRight);
    Fields_Layout->addWidget(GuestCode_Edit, 6, 1, 1, 2);
    Fields_Layout->addWidget(CB_eO_GQI, 7, 1, 1, 2);

    Prompt_Label = qv::CardOperation::makePrompt(this);

    Button1 = qv::make<QPushButton>(QStringLiteral("Button1"), QStringLiteral("读  卡"), this);
    Button1->setAutoDefault(false);
    Button1->hide();
    Confirm_Bt = qv::named(new QPushButton(this), QStringLiteral("Confirm_Bt"));
    Confirm_Bt->setDefault(true);
    Close_Bt = qv::make<QPushButton>(QStringLiteral("Close_Bt"), QStringLiteral("关闭(&C)"), this);
    Close_Bt->setAutoDefault(false);
    Buttons_Layout = new QHBoxLayout;
    Buttons_Layout->addStretch();
    Buttons_Layout->addWidget(Button1);
    Buttons_Layout->addWidget(Confirm_Bt);
    Buttons_Layout->addWidget(Close_Bt);
    Buttons_Layout->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->setSpacing(8);
    layout->addWidget(GroupBox1);
    layout->addWidget(Prompt_Label);
    layout->addLayout(Buttons_Layout);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(Days_Edit, &QLineEdit::textChanged, this,
            qv::slot(this, &GuestCardForm::Days_EditChange));
    connect(ED_GQI_Dtp, &QDateEdit::dateChanged, this,
            qv::slot(this, &GuestCardForm::ED_GQI_DtpChange));
    connect(RoomList_Bt, &QPushButton::clicked, this,
            qv::slot(this, &GuestCardForm::RoomList_BtClick));
    connect(se_Room1, &QLineEdit::textChanged, this, qv::slot(this, &GuestCardForm::roomChanged));
    connect(Close_Bt, &QPushButton::clicked, this, &QDialog::reject);
    if (dm) {
        // A room taken or freed at another desk shows here before a card is written.
        connect(&dm->feed, &ChangeFeed::changed, this, [this](Changes changes) {
            if (changes & (Changes(Change::Stays) | Change::Rooms)) {
                qv::guarded([this] { showRoomState(); });
            }
        });
    }
}

GuestCardForm::~GuestCardForm() = default;

void GuestCardForm::FormCreate() {
    Form::FormCreate();
    setDefaultStay();
    se_Room1->setFocus();
}

void GuestCardForm::setDefaultStay() {
    const QDateTime now = Clock::now();
    SD_GQI_Dtp->setDate(now.date());
    ET_GQI_Dtp->setTime(LockSystemInfo.LeaveTime);
    ST_GQI_Dtp->setTime(now.time());
    {
        // The end date follows from the nights typed below.
        const QSignalBlocker block(Days_Edit);
        Days_Edit->setText(QString::number(LockSystemInfo.DayCount));
    }
    setEndDate(now.date().addDays(LockSystemInfo.DayCount));
}

bool GuestCardForm::FormKeyDown(QKeyEvent* event) {
    if (roomListKey && event->key() == Qt::Key_F2 && event->modifiers() == Qt::NoModifier) {
        RoomList_BtClick();
        return true;
    }
    return false;
}

void GuestCardForm::ShowPromptMessage(int code) {
    Prompt_Label->setText(ResultText(code));
    if (code == 1) {
        RoomBoardChanged = true;
    }
}

void GuestCardForm::setEndDate(const QDate& date) {
    if (!date.isValid()) {
        return;
    }
    // Set by the program, not by the operator: Days_Edit stays as it is.
    const QSignalBlocker block(ED_GQI_Dtp);
    ED_GQI_Dtp->setDate(date);
}

void GuestCardForm::Days_EditChange() {
    bool ok = false;
    const int days = Days_Edit->text().toInt(&ok);
    if (ok) {
        setEndDate(SD_GQI_Dtp->date().addDays(days));
    }
}

void GuestCardForm::ED_GQI_DtpChange() {
    Days_Edit->setText(QString::number(SD_GQI_Dtp->date().daysTo(ED_GQI_Dtp->date())));
}

void GuestCardForm::RoomList_BtClick() {
    TRoomList_Form list(this);
    if (list.exec() != QDialog::Accepted) {
        return;
    }
    // Each selected room in turn, so the last one stays in the box.
    for (const QString& room : list.SelectedRoomStrs()) {
        se_Room1->setText(room);
    }
    se_Room1->setFocus();
}

void GuestCardForm::roomChanged() {
    Prompt_Label->clear();
    showRoomState();
}

void GuestCardForm::showRoomState() {
    stays::RoomOccupancy room;
    try {
        room = stays::roomOccupancy(se_Room1->text());
    } catch (const Error&) {
        // Not known now (the server away): nothing is claimed.
    }
    QString text;
    QString colour;
    if (room.occupied) {
        text = programText(QStringLiteral("已入住：%1，至 %2"))
                   .arg(room.guest.isEmpty() ? QStringLiteral("-") : room.guest,
                        room.end.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
        colour = QStringLiteral("#a04000");
    } else if (room.exists) {
        text = programText(QStringLiteral("空房"));
        colour = QStringLiteral("#006400");
    }
    RoomState_Label->setText(text);
    RoomState_Label->setToolTip(text);
    RoomState_Label->setStyleSheet(colour.isEmpty() ? QString()
                                                    : QStringLiteral("color: %1;").arg(colour));
}

QDateTime GuestCardForm::StayStart() const {
    return QDateTime(SD_GQI_Dtp->date(), ST_GQI_Dtp->time())
        .addSecs(LockSystemInfo.TimeTolerance * 60);
}

QDateTime GuestCardForm::StayEnd() const {
    return QDateTime(ED_GQI_Dtp->date(), ET_GQI_Dtp->time())
        .addSecs(LockSystemInfo.TimeTolerance * 60);
}

stays::GuestCard GuestCardForm::guestCard() const {
    stays::GuestCard card;
    card.roomStr = se_Room1->text();
    card.start = StayStart();
    card.end = StayEnd();
    card.guestName = E_H_GQI->text();
    card.document = GuestCode_Edit->text();
    card.applyLossReport = CB_eO_GQI->isChecked();
    card.replaces = replacesCard;
    return card;
}

std::optional<stays::Result> GuestCardForm::issueCard(
    QPushButton* button, Operation operation,
    const std::function<void(const stays::Result&)>& beforePrompt) {
    const QString room = se_Room1->text();
    if (room.isEmpty() && emptyRoomStops) {
        return std::nullopt;
    }
    // A new card operation: the last one's result goes, unless the latch
    // turns the press away below.
    const QString lastPrompt = Prompt_Label->text();
    Prompt_Label->clear();
    if (!stays::roomExists(room)) {
        showMessage(message(0, QStringLiteral("没有该房号！")));
        se_Room1->setFocus();
        return std::nullopt;
    }
    if (const QString invalid = CheckDateRange(StayStart(), StayEnd()); !invalid.isEmpty()) {
        qv::messageBox(qv::programText(QStringLiteral("信息提示")), invalid, qv::Icon::Information,
                       qv::Buttons::Ok);
        return std::nullopt;
    }
    CardOperation op(this);
    if (!op.started()) {
        Prompt_Label->setText(lastPrompt);
        return std::nullopt;
    }
    // Should the operation throw, the button comes back at once; otherwise
    // the window decides when.
    op.begin({button});
    op.resumeAtOnce();
    const stays::Result result = operation(guestCard(), {});
    op.noResume();
    if (beforePrompt) {
        beforePrompt(result);
    }
    switch (result.outcome) {
        case stays::Outcome::Written:
        case stays::Outcome::EncoderRefused:
            ShowPromptMessage(result.code);
            break;
        case stays::Outcome::DatabaseError:
            // When the card was written, the text says which one to cancel,
            // and so does the prompt: the card exists.
            showError(result.error);
            if (result.cardWritten) {
                Prompt_Label->setText(WrittenUnrecordedPrompt());
            } else {
                ShowPromptMessage(result.code);
            }
            break;
        case stays::Outcome::NoSuchRoom:  // the room went since the check
            showMessage(message(0, QStringLiteral("没有该房号！")));
            break;
        case stays::Outcome::InvalidRange:  // the same times passed the check above
            ShowPromptMessage(result.code);
            break;
        case stays::Outcome::NoOpenStay:
            Prompt_Label->setText(message(1, QStringLiteral("该房间没有入住记录，不能续房！")));
            break;
        case stays::Outcome::NotOfOpenStay:
            Prompt_Label->setText(notOfOpenStayText());
            break;
    }
    return result;
}

QString GuestCardForm::notOfOpenStayText() const {
    return message(4, QStringLiteral("这张卡不是该房间当前入住客人的卡，不能续房！"));
}

void GuestCardForm::limitLength(QLineEdit* edit, int characters) {
    // The box counts UTF-16 units: where a character of two units does not
    // fit whole, its first half is dropped again.
    edit->setMaxLength(characters);
    connect(edit, &QLineEdit::textChanged, edit, [edit](const QString& text) {
        if (text.size() >= edit->maxLength() && !text.isEmpty() && text.back().isHighSurrogate()) {
            const int cursor = edit->cursorPosition();
            edit->setText(text.left(text.size() - 1));
            edit->setCursorPosition(std::min(cursor, static_cast<int>(edit->text().size())));
        }
    });
}

}  // namespace qv
