#include "records/CheckGuestInRecord_Unit.h"

#include "data/DataSet.h"
#include "data/PagedQueryModel.h"
#include "data/dm_unit.h"
#include "platform/Clock.h"
#include "platform/Guard.h"
#include "platform/Named.h"
#include "platform/RadioGroup.h"
#include "printing/PrintLibrary.h"
#include "records/RoomList_Unit.h"
#include "settings/Settings.h"
#include "window/DatePicker.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableView>
#include <QToolButton>

#include <array>

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

const QStringList kFields = {"GuestName",      "GuestID",   "Room",      "GuestInTime",
                             "GuestLeaveTime", "LeaveTime", "InputUser", "InputTime"};
const QStringList kTitles = {"宾客姓名", "证件号码", "房号",       "入住时间",
                             "预离时间", "退房时间", "操作员姓名", "登记时间"};

}  // namespace

TCheckGuestInRecord_Form::TCheckGuestInRecord_Form(QWidget* parent)
    : QueryForm(QStringLiteral("CheckGuestInRecord_Form"), QStringLiteral("客人查询"),
                QStringLiteral("GuestInRecord_DBGrid"), qv::PrintKind::GuestStays, parent) {
    using qv::make;
    QWidget* area = FilterArea;

    RecordFilter_RG =
        make<qv::RadioGroup>(QStringLiteral("RecordFilter_RG"), QStringLiteral("客人状态"), area);
    RecordFilter_RG->setColumns(3);
    RecordFilter_RG->setItems(
        {QStringLiteral("在住客人"), QStringLiteral("所有客人"), QStringLiteral("退房客人")});
    RecordFilter_RG->setItemIndex(CurrentGuests);

    Label1 = make<QLabel>(QStringLiteral("Label1"), QStringLiteral("宾客姓名："), area);
    E_GuestName = make<QLineEdit>(QStringLiteral("E_GuestName"), area);
    E_GuestName->setMaxLength(20);
    Label1->setBuddy(E_GuestName);
    Label2 = make<QLabel>(QStringLiteral("Label2"), QStringLiteral("客房："), area);
    E_RoomNo = make<QLineEdit>(QStringLiteral("E_RoomNo"), area);
    E_RoomNo->setMaxLength(10);
    // Only digits reach the box; editing keys work as usual.
    E_RoomNo->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), E_RoomNo));
    Label2->setBuddy(E_RoomNo);
    SpeedButton1 = make<QToolButton>(QStringLiteral("SpeedButton1"), area);
    SpeedButton1->setText(QStringLiteral("..."));
    SpeedButton1->setFocusPolicy(Qt::StrongFocus);

    Label3 = make<QLabel>(QStringLiteral("Label3"), QStringLiteral("入住日期从："), area);
    Start_Date_GI = new qv::DatePicker(QStringLiteral("Start_Date_GI"), kDateFormat, area);
    Label3->setBuddy(Start_Date_GI);
    Label4 = make<QLabel>(QStringLiteral("Label4"), QStringLiteral("到"), area);
    End_Date_GI = new qv::DatePicker(QStringLiteral("End_Date_GI"), kDateFormat, area);
    Label4->setBuddy(End_Date_GI);

    CheckBox2 = make<QCheckBox>(QStringLiteral("CheckBox2"), QStringLiteral("预离日期从"), area);
    Input_Start_Date_GL =
        new qv::DatePicker(QStringLiteral("Input_Start_Date_GL"), kDateFormat, area);
    Label5 = make<QLabel>(QStringLiteral("Label5"), QStringLiteral("到"), area);
    Input_End_Date_GL = new qv::DatePicker(QStringLiteral("Input_End_Date_GL"), kDateFormat, area);
    Label5->setBuddy(Input_End_Date_GL);

    CheckBox3 = make<QCheckBox>(QStringLiteral("CheckBox3"), QStringLiteral("退房日期从"), area);
    Start_Date_GL = new qv::DatePicker(QStringLiteral("Start_Date_GL"), kDateFormat, area);
    Label6 = make<QLabel>(QStringLiteral("Label6"), QStringLiteral("到"), area);
    End_Date_GL = new qv::DatePicker(QStringLiteral("End_Date_GL"), kDateFormat, area);
    Label6->setBuddy(End_Date_GL);

    auto* fields = new QGridLayout(area);
    fields->setContentsMargins(0, 0, 0, 0);
    fields->addWidget(RecordFilter_RG, 0, 0, 1, 4);
    fields->addWidget(Label1, 1, 0, Qt::AlignRight);
    fields->addWidget(E_GuestName, 1, 1);
    fields->addWidget(Label2, 1, 2, Qt::AlignRight);
    auto* room = new QHBoxLayout;
    room->setSpacing(2);
    room->addWidget(E_RoomNo, 1);
    room->addWidget(SpeedButton1);
    fields->addLayout(room, 1, 3);
    const std::initializer_list<std::array<QWidget*, 4>> ranges = {
        {Label3, Start_Date_GI, Label4, End_Date_GI},
        {CheckBox2, Input_Start_Date_GL, Label5, Input_End_Date_GL},
        {CheckBox3, Start_Date_GL, Label6, End_Date_GL},
    };
    int row = 2;
    for (const auto& range : ranges) {
        fields->addWidget(range[0], row, 0, Qt::AlignRight);
        fields->addWidget(range[1], row, 1);
        fields->addWidget(range[2], row, 2, Qt::AlignRight);
        fields->addWidget(range[3], row, 3);
        ++row;
    }
    fields->setColumnMinimumWidth(1, 170);
    fields->setColumnMinimumWidth(3, 170);
    fields->setColumnStretch(4, 1);  // the filters keep their size; the rest is blank

    Find_Bt = make<QPushButton>(QStringLiteral("Find_Bt"), QStringLiteral("查询(&F)"), this);
    Find_Bt->setDefault(true);
    Button1 = make<QPushButton>(QStringLiteral("Button1"), QStringLiteral("打印(&P)"), this);
    Button1->setAutoDefault(false);
    Close_Bt = make<QPushButton>(QStringLiteral("Close_Bt"), QStringLiteral("关闭(&X)"), this);
    Close_Bt->setAutoDefault(false);
    Buttons_Layout->addWidget(Find_Bt);
    Buttons_Layout->addWidget(Button1);
    Buttons_Layout->addWidget(Close_Bt);

    GuestInRecord_DBGrid = Records_Grid;
    GRL_ADO = Records;
    setColumns(kFields, kTitles);
    GuestInRecord_DBGrid->setColumnWidth(0, 90);
    GuestInRecord_DBGrid->setColumnWidth(1, 150);
    GuestInRecord_DBGrid->setColumnWidth(2, 60);
    for (int c = 3; c < kFields.size(); ++c) {
        GuestInRecord_DBGrid->setColumnWidth(c, 140);
    }
    GuestInRecord_DBGrid->setColumnWidth(6, 80);

    setTabOrder(RecordFilter_RG, E_GuestName);
    setTabOrder(E_GuestName, E_RoomNo);
    setTabOrder(E_RoomNo, SpeedButton1);
    setTabOrder(SpeedButton1, Start_Date_GI);
    setTabOrder(Start_Date_GI, End_Date_GI);
    setTabOrder(End_Date_GI, CheckBox2);
    setTabOrder(CheckBox2, Input_Start_Date_GL);
    setTabOrder(Input_Start_Date_GL, Input_End_Date_GL);
    setTabOrder(Input_End_Date_GL, CheckBox3);
    setTabOrder(CheckBox3, Start_Date_GL);
    setTabOrder(Start_Date_GL, End_Date_GL);
    setTabOrder(End_Date_GL, GuestInRecord_DBGrid);
    setTabOrder(GuestInRecord_DBGrid, Find_Bt);
    setTabOrder(Find_Bt, Button1);
    setTabOrder(Button1, Close_Bt);

    connect(RecordFilter_RG, &qv::RadioGroup::itemIndexChanged, this,
            qv::slot(this, &TCheckGuestInRecord_Form::RecordFilter_RGClick));
    connect(CheckBox2, &QCheckBox::toggled, this,
            qv::slot(this, &TCheckGuestInRecord_Form::CheckBox2Click));
    connect(CheckBox3, &QCheckBox::toggled, this,
            qv::slot(this, &TCheckGuestInRecord_Form::CheckBox3Click));
    connect(SpeedButton1, &QToolButton::clicked, this,
            qv::slot(this, &TCheckGuestInRecord_Form::SpeedButton1Click));
    connect(Find_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TCheckGuestInRecord_Form::Find_BtClick));
    connect(Button1, &QPushButton::clicked, this,
            qv::slot(this, &TCheckGuestInRecord_Form::Button1Click));
    connect(Close_Bt, &QPushButton::clicked, this, &QDialog::reject);

    CheckBox2Click();
    RecordFilter_RGClick();
    resize(980, 600);
    FormCreate();
}

TCheckGuestInRecord_Form::~TCheckGuestInRecord_Form() = default;

void TCheckGuestInRecord_Form::FormCreate() {
    QueryForm::FormCreate();
    const QDate today = qv::Clock::now().date();
    for (QDateEdit* picker : {Start_Date_GI, End_Date_GI, Input_Start_Date_GL, Input_End_Date_GL,
                              Start_Date_GL, End_Date_GL}) {
        picker->setDate(today);
    }
    // A failing first search shows its error; the window opens with an empty list.
    qv::guarded([this] { FindGuestInData(); });
    E_GuestName->setFocus();
}

qv::GuestSearch TCheckGuestInRecord_Form::Search() const {
    qv::GuestSearch s;
    switch (RecordFilter_RG->itemIndex()) {
        case AllGuests:
            s.state = qv::GuestState::All;
            break;
        case LeftGuests:
            s.state = qv::GuestState::Ended;
            break;
        default:
            s.state = qv::GuestState::Current;
            break;
    }
    s.guestName = E_GuestName->text().trimmed();
    s.room = E_RoomNo->text().trimmed();
    s.checkIn = {Start_Date_GI->date(), End_Date_GI->date()};
    if (CheckBox2->isChecked()) {
        s.expectedLeave = qv::DateRange{Input_Start_Date_GL->date(), Input_End_Date_GL->date()};
    }
    // Current guests have not left: the check-out range, switched off with
    // its box, no longer applies.
    if (CheckBox3->isChecked() && CheckBox3->isEnabled()) {
        s.checkOut = qv::DateRange{Start_Date_GL->date(), End_Date_GL->date()};
    }
    s.dayTime = LockSystemInfo.LeaveTime;
    return s;
}

void TCheckGuestInRecord_Form::FindGuestInData() {
    const qv::RecordSearch search = qv::guestStaySearch(Search(), dm->conn.dialect());
    runQuery(search.select, search.binds, search.orderBy);
}

void TCheckGuestInRecord_Form::Find_BtClick() {
    FindGuestInData();
}

void TCheckGuestInRecord_Form::RecordFilter_RGClick() {
    CheckBox3->setEnabled(RecordFilter_RG->itemIndex() != CurrentGuests);
    CheckBox3Click();
}

void TCheckGuestInRecord_Form::CheckBox2Click() {
    const bool on = CheckBox2->isChecked();
    Input_Start_Date_GL->setEnabled(on);
    Input_End_Date_GL->setEnabled(on);
}

void TCheckGuestInRecord_Form::CheckBox3Click() {
    // The pickers show whether the range applies.
    const bool on = CheckBox3->isChecked() && CheckBox3->isEnabled();
    Start_Date_GL->setEnabled(on);
    End_Date_GL->setEnabled(on);
}

void TCheckGuestInRecord_Form::SpeedButton1Click() {
    if (const auto picked = TRoomList_Form::pickRoom(this)) {
        E_RoomNo->setText(QString::number(picked->room));
    }
}

void TCheckGuestInRecord_Form::Button1Click() {
    printRecords();
}
