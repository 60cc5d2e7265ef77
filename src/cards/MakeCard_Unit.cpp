#include "cards/MakeCard_Unit.h"

#include "card/CardFunctions.h"
#include "card/CardRecords.h"
#include "card/SpecialCard.h"
#include "data/Operators.h"
#include "data/Session.h"
#include "data/dm_unit.h"
#include "platform/Application.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Guard.h"
#include "platform/Named.h"
#include "platform/RadioGroup.h"
#include "settings/Settings.h"
#include "window/CardOperation.h"
#include "window/TabSheet.h"

#include <QCheckBox>
#include <QComboBox>
#include "window/DatePicker.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QString kDateFormat = QStringLiteral("yyyy年M月d日");
const QString kTimeFormat = QStringLiteral("HH:mm:ss");

// After a card operation the encode button comes back after this pause.
constexpr int kEncodePauseMs = 100;

// A time card may set the locks' clocks at most an hour ahead; a lost-report
// card may run at most a day.
constexpr qint64 kTimeCardAheadMs = 60 * 60 * 1000;
constexpr qint64 kLostCardAheadMs = 24 * 60 * 60 * 1000;

// The card type of each page, in page order; the right a page needs is
// the card layer's CardIssueRight of its card type.
constexpr uint16_t kPageCardTypes[TMakeCard_Form::PageCount] = {
    CardTypes::Time,       CardTypes::DataStart, CardTypes::Master, CardTypes::District,
    CardTypes::Building,   CardTypes::Floor,     CardTypes::Clear,  CardTypes::Emergency,
    CardTypes::LostReport, CardTypes::Passage,
};

// The window's message lines.
enum Message {
    TimeCardTooFar = 0,
    LostCardTooLong = 1,
    ChooseBuilding = 2,
    ChooseFloor = 3,
    ChooseDistrict = 4,
};

QString name(const char* text) {
    return QString::fromLatin1(text);
}

uint16_t listNumber(const QComboBox* box) {
    return static_cast<uint16_t>(box->currentText().toUInt());
}

}  // namespace

TMakeCard_Form::TMakeCard_Form(QWidget* parent)
    : Form(QStringLiteral("MakeCard_Form"), QStringLiteral("发行卡"), parent) {
    PageControl1 = qv::make<QTabWidget>(QStringLiteral("PageControl1"), this);
    // Every page's tab in sight: the window is as wide as its tabs.
    PageControl1->setUsesScrollButtons(false);
    PageControl1->setElideMode(Qt::ElideNone);

    const PageNames names[PageCount] = {
        {"TabSheet2", "校时卡", "E_H_Time", nullptr, nullptr, "TimeCardDt_DTP", "TimeCardTm_DTP",
         "CB_eO_Time"},
        {"TabSheet4", "采集启动卡", "E_H_Data", "SD_Data_Dtp", "ST_Data_Dtp", "ED_Data_Dtp",
         "ET_Data_Dtp", "CB_eO_Data"},
        {"TabSheet5", "总卡", "E_H_Chief", "SD_Chief_Dtp", "ST_Chief_Dtp", "ED_Chief_Dtp",
         "ET_Chief_Dtp", "CB_eO_Chief"},
        {"TabSheet6", "区域卡", "E_H_District", "SD_District_Dtp", "ST_District_Dtp",
         "ED_District_Dtp", "ET_District_Dtp", "CB_eO_District"},
        {"TabSheet7", "楼号卡", "E_H_Building", "SD_Building_Dtp", "ST_Building_Dtp",
         "ED_Building_Dtp", "ET_Building_Dtp", "CB_eO_Building"},
        {"TabSheet8", "楼层卡", "E_H_Floor", "SD_Floor_Dtp", "ST_Floor_Dtp", "ED_Floor_Dtp",
         "ET_Floor_Dtp", "CB_eO_Floor"},
        {"ClearCard_TS", "清除卡", "E_H_LongOpen", "SD_LongOpen_Dtp", "ST_LongOpen_Dtp",
         "ED_LongOpen_Dtp", "ET_LongOpen_Dtp", "CB_eO_LongOpen"},
        {"TabSheet10", "应急卡", "E_H_Emergent", "SD_Emergent_Dtp", "ST_Emergent_Dtp",
         "ED_Emergent_Dtp", "ET_Emergent_Dtp", "CB_eO_Emergent"},
        {"TabSheet11", "挂失卡", "E_H_Lost", "SD_Lost_Dtp", "ST_Lost_Dtp", "ED_Lost_Dtp",
         "ET_Lost_Dtp", "CB_eO_Lost"},
        {"TabSheet1", "通道设置卡", "E_H_Special", "DateTimePicker1", "DateTimePicker4",
         "DateTimePicker2", "DateTimePicker3", nullptr},
    };
    for (int i = 0; i < PageCount; ++i) {
        pages_[i] = buildPage(names[i]);
    }

    auto assign = [this](Page page, qv::TabSheet*& sheet, QLineEdit*& holder, QDateEdit*& sd,
                         QTimeEdit*& st, QDateEdit*& ed, QTimeEdit*& et) {
        const CardPage& p = pages_[page];
        sheet = p.sheet;
        holder = p.holder;
        sd = p.startDate;
        st = p.startTime;
        ed = p.endDate;
        et = p.endTime;
    };
    {
        const CardPage& p = pages_[TimePage];
        TabSheet2 = p.sheet;
        E_H_Time = p.holder;
        TimeCardDt_DTP = p.endDate;
        TimeCardTm_DTP = p.endTime;
        CB_eO_Time = p.lossApplied;
    }
    assign(DataPage, TabSheet4, E_H_Data, SD_Data_Dtp, ST_Data_Dtp, ED_Data_Dtp, ET_Data_Dtp);
    assign(ChiefPage, TabSheet5, E_H_Chief, SD_Chief_Dtp, ST_Chief_Dtp, ED_Chief_Dtp, ET_Chief_Dtp);
    assign(DistrictPage, TabSheet6, E_H_District, SD_District_Dtp, ST_District_Dtp, ED_District_Dtp,
           ET_District_Dtp);
    assign(BuildingPage, TabSheet7, E_H_Building, SD_Building_Dtp, ST_Building_Dtp, ED_Building_Dtp,
           ET_Building_Dtp);
    assign(FloorPage, TabSheet8, E_H_Floor, SD_Floor_Dtp, ST_Floor_Dtp, ED_Floor_Dtp, ET_Floor_Dtp);
    assign(LongOpenPage, ClearCard_TS, E_H_LongOpen, SD_LongOpen_Dtp, ST_LongOpen_Dtp,
           ED_LongOpen_Dtp, ET_LongOpen_Dtp);
    assign(EmergentPage, TabSheet10, E_H_Emergent, SD_Emergent_Dtp, ST_Emergent_Dtp,
           ED_Emergent_Dtp, ET_Emergent_Dtp);
    assign(LostPage, TabSheet11, E_H_Lost, SD_Lost_Dtp, ST_Lost_Dtp, ED_Lost_Dtp, ET_Lost_Dtp);
    assign(SpecialPage, TabSheet1, E_H_Special, DateTimePicker1, DateTimePicker4, DateTimePicker2,
           DateTimePicker3);
    CB_eO_Data = pages_[DataPage].lossApplied;
    CB_eO_Chief = pages_[ChiefPage].lossApplied;
    CB_eO_District = pages_[DistrictPage].lossApplied;
    CB_eO_Building = pages_[BuildingPage].lossApplied;
    CB_eO_Floor = pages_[FloorPage].lossApplied;
    CB_eO_LongOpen = pages_[LongOpenPage].lossApplied;
    CB_eO_Emergent = pages_[EmergentPage].lossApplied;
    CB_eO_Lost = pages_[LostPage].lossApplied;

    // The set time of a time card is chosen freely.
    TimeCardDt_DTP->setCalendarPopup(true);
    // Every holder box takes 20 characters but the lost-report page's.
    E_H_Lost->setMaxLength(32767);

    District_CB =
        addList(pages_[DistrictPage], QStringLiteral("District_CB"), QStringLiteral("区域："));
    Buiding_CB =
        addList(pages_[BuildingPage], QStringLiteral("Buiding_CB"), QStringLiteral("楼号："));
    Buiding_Flc_CB =
        addList(pages_[FloorPage], QStringLiteral("Buiding_Flc_CB"), QStringLiteral("楼号："));
    Floor_CB = addList(pages_[FloorPage], QStringLiteral("Floor_CB"), QStringLiteral("楼层："));

    LostCardType_RG = qv::make<qv::RadioGroup>(QStringLiteral("LostCardType_RG"),
                                               QStringLiteral("挂失卡类型"), TabSheet11);
    LostCardType_RG->setColumns(3);
    LostCardType_RG->setItems({QStringLiteral("清除卡"), QStringLiteral("校时卡"),
                               QStringLiteral("挂失卡"), QStringLiteral("应急卡"),
                               QStringLiteral("总卡"), QStringLiteral("楼号卡"),
                               QStringLiteral("楼层卡"), QStringLiteral("客人卡"),
                               QStringLiteral("区域卡"), QStringLiteral("通道设置卡")});
    LostCardType_RG->setItemIndex(0);
    {
        QGridLayout* grid = pages_[LostPage].layout;
        const int row = grid->rowCount();
        grid->addWidget(LostCardType_RG, row, 0, 1, 4);
    }
    // The loss report boxes stay hidden, below everything else of their page.
    for (CardPage& p : pages_) {
        if (p.lossApplied) {
            p.layout->addWidget(p.lossApplied, p.layout->rowCount(), 1, 1, 2);
        }
        p.layout->setRowStretch(p.layout->rowCount(), 1);
    }

    Prompt_Label = qv::CardOperation::makePrompt(this);

    Encode_Bt =
        qv::make<QPushButton>(QStringLiteral("Encode_Bt"), QStringLiteral("发卡(&W)"), this);
    Encode_Bt->setDefault(true);
    Encode_Bt->setEnabled(false);  // the rights check decides
    BitBtn2 = qv::make<QPushButton>(QStringLiteral("BitBtn2"), QStringLiteral("关闭(&C)"), this);
    BitBtn2->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Encode_Bt);
    buttons->addWidget(BitBtn2);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(8);
    layout->addWidget(PageControl1);
    layout->addWidget(Prompt_Label);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(PageControl1, &QTabWidget::currentChanged, this,
            qv::slot(this, &TMakeCard_Form::PageControl1Change));
    connect(Encode_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TMakeCard_Form::Encode_BtClick));
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    FormCreate();
}

TMakeCard_Form::~TMakeCard_Form() = default;

TMakeCard_Form::CardPage TMakeCard_Form::buildPage(const PageNames& names) {
    CardPage p;
    p.sheet = new qv::TabSheet(PageControl1, name(names.sheet), QString::fromUtf8(names.caption));
    QWidget* sheet = p.sheet;
    // Labels take the name of their page from its holder box: E_H_Chief -> L_H_Chief.
    const QString page = name(names.holder).mid(4);
    p.layout = new QGridLayout(sheet);
    p.layout->setHorizontalSpacing(8);
    p.layout->setVerticalSpacing(8);
    p.layout->setColumnStretch(3, 1);

    auto* holderLabel =
        qv::make<QLabel>(QStringLiteral("L_H_") + page, QStringLiteral("持卡人："), sheet);
    p.holder = qv::make<QLineEdit>(name(names.holder), sheet);
    p.holder->setMaxLength(20);
    holderLabel->setBuddy(p.holder);
    p.layout->addWidget(holderLabel, 0, 0, Qt::AlignRight);
    p.layout->addWidget(p.holder, 0, 1, 1, 2);

    auto pickers = [&](int row, const QString& labelName, const QString& caption,
                       const char* dateName, const char* timeName, QDateEdit*& date,
                       QTimeEdit*& time) {
        auto* label = qv::make<QLabel>(labelName, caption, sheet);
        date = qv::make<qv::DateEdit>(name(dateName), sheet);
        date->setDisplayFormat(kDateFormat);
        date->setMinimumWidth(150);
        time = qv::make<qv::TimeEdit>(name(timeName), sheet);
        time->setDisplayFormat(kTimeFormat);
        time->setMinimumWidth(100);
        label->setBuddy(date);
        p.layout->addWidget(label, row, 0, Qt::AlignRight);
        p.layout->addWidget(date, row, 1);
        p.layout->addWidget(time, row, 2);
    };
    if (names.startDate) {
        pickers(1, QStringLiteral("L_S_") + page, QStringLiteral("起始时间："), names.startDate,
                names.startTime, p.startDate, p.startTime);
        // Every card of one opening starts when the window was opened.
        p.startDate->setEnabled(false);
        p.startTime->setEnabled(false);
        pickers(2, QStringLiteral("L_E_") + page, QStringLiteral("终止时间："), names.endDate,
                names.endTime, p.endDate, p.endTime);
        p.endDate->setCalendarPopup(true);
    } else {
        pickers(1, QStringLiteral("L_E_") + page, QStringLiteral("设定时间："), names.endDate,
                names.endTime, p.endDate, p.endTime);
    }
    if (names.lossBox) {
        p.lossApplied = qv::make<QCheckBox>(name(names.lossBox), QStringLiteral("应用挂失"), sheet);
        p.lossApplied->setChecked(false);
        p.lossApplied->hide();
    }
    return p;
}

QComboBox* TMakeCard_Form::addList(CardPage& page, const QString& listName, const QString& label) {
    auto* caption = qv::make<QLabel>(QStringLiteral("L_") + listName.chopped(3), label, page.sheet);
    auto* box = qv::make<QComboBox>(listName, page.sheet);
    box->setEditable(false);
    box->setMinimumWidth(100);
    caption->setBuddy(box);
    const int row = page.layout->rowCount();
    page.layout->addWidget(caption, row, 0, Qt::AlignRight);
    page.layout->addWidget(box, row, 1);
    return box;
}

void TMakeCard_Form::FormCreate() {
    Form::FormCreate();
    const QDateTime now = qv::Clock::now();
    for (CardPage& p : pages_) {
        if (p.startDate) {
            p.startDate->setDate(now.date());
            p.startTime->setTime(now.time());
        }
        p.endDate->setDate(now.date().addDays(1));
        p.endTime->setTime(now.time());
    }
    for (QTimeEdit* t : {ET_District_Dtp, ET_Building_Dtp, ET_Emergent_Dtp, ET_LongOpen_Dtp,
                         ET_Floor_Dtp, ET_Chief_Dtp, ET_Data_Dtp}) {
        t->setTime(LockSystemInfo.LeaveTime);
    }
    TimeCardDt_DTP->setDate(now.date());
    ED_Lost_Dtp->setDate(now.date());

    const struct {
        QComboBox* box;
        int kind;
    } lists[] = {{Buiding_CB, Tdm::Buildings},
                 {Buiding_Flc_CB, Tdm::Buildings},
                 {Floor_CB, Tdm::Floors},
                 {District_CB, Tdm::Districts}};
    for (const auto& list : lists) {
        QStringList items;
        dm->GetDataTypeItems(list.kind, items, QString());
        list.box->clear();
        list.box->addItems(items);
        list.box->setCurrentIndex(-1);
    }
    PageControl1Change();
}

void TMakeCard_Form::PageControl1Change() {
    const int index = PageControl1->currentIndex();
    if (index < 0 || index >= PageCount) {
        return;
    }
    // Off until the right is known: a failed look-up leaves nothing usable.
    CardPage& page = pages_[index];
    page.sheet->setEnabled(false);
    Encode_Bt->setEnabled(false);
    const std::optional<bool> right = qv::session().right(CardIssueRight(kPageCardTypes[index]));
    if (!right) {
        qv::requestTerminate();  // the logged-on operator has no row any more
        return;
    }
    page.sheet->setEnabled(*right);
    Encode_Bt->setEnabled(*right);
}

void TMakeCard_Form::Encode_BtClick() {
    qv::CardOperation op(this);
    if (!op.started()) {
        return;
    }
    Prompt_Label->clear();
    op.begin({Encode_Bt});
    // However the routine ends, the button comes back after the pause.
    op.resumeWith([this] { resumeEncode(); }, kEncodePauseMs);

    switch (PageControl1->currentIndex()) {
        case TimePage:
            MC_Time();
            break;
        case DataPage:
            MC_Data();
            break;
        case ChiefPage:
            MC_Chief();
            break;
        case DistrictPage:
            MC_District();
            break;
        case BuildingPage:
            MC_Building();
            break;
        case FloorPage:
            MC_Floor();
            break;
        case LongOpenPage:
            MC_LongOpen();
            break;
        case EmergentPage:
            MC_Emergent();
            break;
        case LostPage:
            MC_Lost();
            break;
        case SpecialPage:
            MC_Special();
            break;
        default:
            break;
    }
}

void TMakeCard_Form::resumeEncode() {
    // The operator may have turned to a page without the right meanwhile.
    const int index = PageControl1->currentIndex();
    Encode_Bt->setEnabled(index >= 0 && index < PageCount && pages_[index].sheet->isEnabled());
}

void TMakeCard_Form::ShowPromptMessage(int code) {
    Prompt_Label->setText(ResultText(code));
}

SpecialCardOrder TMakeCard_Form::pageOrder(Page page) const {
    const CardPage& p = pages_[page];
    SpecialCardOrder order;
    order.cardType = kPageCardTypes[page];
    order.holder = p.holder->text();
    order.lossApplied = p.lossApplied && p.lossApplied->isChecked();
    const qint64 tolerance = qint64{LockSystemInfo.TimeTolerance} * 60;
    if (p.startDate) {
        order.start = QDateTime(p.startDate->date(), p.startTime->time()).addSecs(tolerance);
    }
    order.end = QDateTime(p.endDate->date(), p.endTime->time()).addSecs(tolerance);
    return order;
}

void TMakeCard_Form::issue(const SpecialCardOrder& order) {
    TCardData card{};
    int code = 0;
    try {
        code = IssueSpecialCard(order, card);
    } catch (const CardWrittenError& e) {
        // The card exists: the prompt says so, the error which card it is.
        Prompt_Label->setText(WrittenUnrecordedPrompt());
        qv::showError(e.text());
        return;
    } catch (const qv::Error& e) {
        // Nothing of the card is stored: the error says why (and which
        // card to cancel when it was written all the same).
        ShowPromptMessage(QV_ENC_FAILED);
        qv::showError(e.text());
        return;
    }
    ShowPromptMessage(code);
}

void TMakeCard_Form::MC_Time() {
    // The locks' clocks are set to the moment of the press; the set time ends the card.
    SpecialCardOrder order = pageOrder(TimePage);
    const QDateTime now = qv::Clock::now();
    order.start = now;
    order.end = QDateTime(TimeCardDt_DTP->date(), TimeCardTm_DTP->time());
    if (now.msecsTo(order.end) > kTimeCardAheadMs) {
        qv::showMessage(message(TimeCardTooFar, QStringLiteral("设定时间不能超过一小时！")));
        return;
    }
    issue(order);
}

void TMakeCard_Form::MC_Data() {
    issue(pageOrder(DataPage));
}

void TMakeCard_Form::MC_Chief() {
    issue(pageOrder(ChiefPage));
}

void TMakeCard_Form::MC_District() {
    if (District_CB->currentText().isEmpty()) {
        qv::showMessage(message(ChooseDistrict, QStringLiteral("请选择区域!")));
        return;
    }
    SpecialCardOrder order = pageOrder(DistrictPage);
    order.district = listNumber(District_CB);
    issue(order);
}

void TMakeCard_Form::MC_Building() {
    if (Buiding_CB->currentText().isEmpty()) {
        qv::showMessage(message(ChooseBuilding, QStringLiteral("请选择楼号!")));
        return;
    }
    SpecialCardOrder order = pageOrder(BuildingPage);
    order.building = listNumber(Buiding_CB);
    issue(order);
}

void TMakeCard_Form::MC_Floor() {
    if (Buiding_Flc_CB->currentText().isEmpty()) {
        qv::showMessage(message(ChooseBuilding, QStringLiteral("请选择楼号!")));
        return;
    }
    if (Floor_CB->currentText().isEmpty()) {
        qv::showMessage(message(ChooseFloor, QStringLiteral("请选择楼层!")));
        return;
    }
    SpecialCardOrder order = pageOrder(FloorPage);
    order.building = listNumber(Buiding_Flc_CB);
    order.floor = listNumber(Floor_CB);
    issue(order);
}

void TMakeCard_Form::MC_LongOpen() {
    issue(pageOrder(LongOpenPage));
}

void TMakeCard_Form::MC_Emergent() {
    issue(pageOrder(EmergentPage));
}

void TMakeCard_Form::MC_Lost() {
    SpecialCardOrder order = pageOrder(LostPage);
    if (qv::Clock::now().msecsTo(order.end) > kLostCardAheadMs) {
        qv::showMessage(message(LostCardTooLong, QStringLiteral("设定时间不能超过一天！")));
        return;
    }
    // The kind reported lost, 1 to 10 in the order of the choices.
    order.lostKind = static_cast<uint16_t>(std::max(LostCardType_RG->itemIndex(), 0) + 1);
    issue(order);
}

void TMakeCard_Form::MC_Special() {
    issue(pageOrder(SpecialPage));
}
