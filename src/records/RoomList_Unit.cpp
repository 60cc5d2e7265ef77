#include "records/RoomList_Unit.h"

#include "data/CurrentStays.h"

#include "language/ComponentText.h"

#include "data/DataSet.h"
#include "data/DataSetModel.h"
#include "data/dm_unit.h"
#include "platform/Guard.h"
#include "platform/Named.h"
#include "platform/ProgramText.h"
#include "platform/RadioGroup.h"
#include "window/LayoutLists.h"
#include "window/RecordGrid.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QColor kSelected(0, 0, 128);  // navy
const QColor kVacant(255, 255, 255);
const QColor kOccupied(255, 0, 0);

// The grid's columns: only the door plate is shown; the others are there for
// the language store and for a caller that shows them.
const QStringList kFields = {"RoomStr",        "Buiding",   "Floor",     "District", "RoomType",
                             "inMax",          "RoomState", "GuestName", "GuestID",  "GuestInTime",
                             "GuestLeaveTime", "LeaveTime", "InputUser", "InputTime"};
const QStringList kTitles = {"房号",     "楼号",     "楼层",     "区域号",  "客房类型",
                             "可住人数", "房态",     "客人",     "身份证",  "入住时间",
                             "预离时间", "离开时间", "操作人员", "登记时间"};

// Paints vacant rooms on white, occupied ones on red and selected rows on
// navy with white text.
class RoomRowDelegate final : public QStyledItemDelegate {
public:
    explicit RoomRowDelegate(const TRoomList_Form* form, QObject* parent)
        : QStyledItemDelegate(parent), form_(form) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        const bool selected = opt.state.testFlag(QStyle::State_Selected);
        const QColor background =
            selected ? kSelected : (form_->IsOccupiedRow(index.row()) ? kOccupied : kVacant);
        painter->fillRect(opt.rect, background);
        // Only these colours: no hover or focus highlight over them.
        opt.state &= ~(QStyle::State_Selected | QStyle::State_MouseOver | QStyle::State_HasFocus);
        opt.backgroundBrush = Qt::NoBrush;
        opt.palette.setColor(QPalette::Text, selected ? Qt::white : Qt::black);
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    }

private:
    const TRoomList_Form* form_;
};

}  // namespace

TRoomList_Form::TRoomList_Form(QWidget* parent)
    : qv::Form(QStringLiteral("RoomList_Form"), QStringLiteral("客房情况"), parent) {
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setSizeGripEnabled(false);
    setMinimumSize(650, 400);

    RoomStatus_RadioGroup = qv::make<qv::RadioGroup>(QStringLiteral("RoomStatus_RadioGroup"),
                                                     QStringLiteral("客房状态"), this);
    RoomStatus_RadioGroup->setItems(
        {QStringLiteral("所有空房"), QStringLiteral("所有客房"), QStringLiteral("已住客房")});
    RoomStatus_RadioGroup->setItemIndex(AllRooms);

    Label1 = qv::make<QLabel>(QStringLiteral("Label1"), QStringLiteral("楼   号："), this);
    Buiding_CB = qv::make<QComboBox>(QStringLiteral("Buiding_CB"), this);
    qv::language::markRuntimeText(Buiding_CB);
    Label1->setBuddy(Buiding_CB);
    Label2 = qv::make<QLabel>(QStringLiteral("Label2"), QStringLiteral("楼   层："), this);
    Floor_CB = qv::make<QComboBox>(QStringLiteral("Floor_CB"), this);
    qv::language::markRuntimeText(Floor_CB);
    Label2->setBuddy(Floor_CB);
    Query_Bt = qv::make<QPushButton>(QStringLiteral("Query_Bt"), QStringLiteral("查询(&Q)"), this);
    Query_Bt->setAutoDefault(false);

    GroupBox1 =
        qv::make<QGroupBox>(QStringLiteral("GroupBox1"), QStringLiteral(" 客房资料 "), this);
    Label3 = qv::make<QLabel>(QStringLiteral("Label3"), QStringLiteral("房号："), GroupBox1);
    DBText1 = qv::make<QLabel>(QStringLiteral("DBText1"), QString(), GroupBox1);
    Label5 = qv::make<QLabel>(QStringLiteral("Label5"), QStringLiteral("楼号："), GroupBox1);
    DBText2 = qv::make<QLabel>(QStringLiteral("DBText2"), QString(), GroupBox1);
    Label6 = qv::make<QLabel>(QStringLiteral("Label6"), QStringLiteral("楼层："), GroupBox1);
    DBText3 = qv::make<QLabel>(QStringLiteral("DBText3"), QString(), GroupBox1);
    Label7 = qv::make<QLabel>(QStringLiteral("Label7"), QStringLiteral("入住状态："), GroupBox1);
    Label4 = qv::make<QLabel>(QStringLiteral("Label4"), QString(), GroupBox1);
    for (QLabel* value : {DBText1, DBText2, DBText3, Label4}) {
        value->setMinimumWidth(60);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        QFont bold = value->font();
        bold.setBold(true);
        value->setFont(bold);
    }
    auto* roomData = new QGridLayout(GroupBox1);
    roomData->addWidget(Label3, 0, 0, Qt::AlignRight);
    roomData->addWidget(DBText1, 0, 1);
    roomData->addWidget(Label5, 1, 0, Qt::AlignRight);
    roomData->addWidget(DBText2, 1, 1);
    roomData->addWidget(Label6, 2, 0, Qt::AlignRight);
    roomData->addWidget(DBText3, 2, 1);
    roomData->addWidget(Label7, 3, 0, Qt::AlignRight);
    roomData->addWidget(Label4, 3, 1);
    roomData->setColumnStretch(1, 1);

    Confirm_Bt =
        qv::make<QPushButton>(QStringLiteral("Confirm_Bt"), QStringLiteral("确定(&Y)"), this);
    Confirm_Bt->setDefault(true);
    Close_Bt = qv::make<QPushButton>(QStringLiteral("Close_Bt"), QStringLiteral("取消(&C)"), this);
    Close_Bt->setAutoDefault(false);

    RoomList_Ado = qv::make<qv::DataSet>(QStringLiteral("RoomList_Ado"), dm->conn, this);
    RoomInfo_DBGrid = new qv::RecordGrid(QStringLiteral("RoomInfo_DBGrid"), RoomList_Ado, this);
    RoomInfo_DBGrid->setColumns(kFields, kTitles);
    RoomList_Ds = RoomInfo_DBGrid->records();
    RoomInfo_DBGrid->setItemDelegate(new RoomRowDelegate(this, RoomInfo_DBGrid));
    RoomInfo_DBGrid->setSelectionMode(QAbstractItemView::ExtendedSelection);  // a picker of rooms
    RoomInfo_DBGrid->setAlternatingRowColors(false);  // the rows have the colours of their rooms
    RoomInfo_DBGrid->setWordWrap(false);
    for (int c = 1; c < kFields.size(); ++c) {
        RoomInfo_DBGrid->setColumnHidden(c, true);
    }

    StatusBar1 = qv::make<QStatusBar>(QStringLiteral("StatusBar1"), this);
    StatusBar1->setSizeGripEnabled(true);
    for (int i = 0; i < 4; ++i) {
        auto* panel = new QLabel(StatusBar1);
        panel->setMinimumWidth(i == 0 ? 160 : 80);
        StatusBar1->addWidget(panel, i == 3 ? 1 : 0);
        panels_ << panel;
    }
    panels_[0]->setText(QLatin1Char(' ') + message(2, QStringLiteral("记录：")));

    auto* filters = new QGridLayout;
    filters->addWidget(Label1, 0, 0, Qt::AlignRight);
    filters->addWidget(Buiding_CB, 0, 1);
    filters->addWidget(Label2, 1, 0, Qt::AlignRight);
    filters->addWidget(Floor_CB, 1, 1);
    filters->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Confirm_Bt);
    buttons->addWidget(Close_Bt);
    auto* side = new QVBoxLayout;
    side->addWidget(RoomStatus_RadioGroup);
    side->addLayout(filters);
    side->addWidget(Query_Bt);
    side->addSpacing(8);
    side->addWidget(GroupBox1);
    side->addStretch();
    side->addLayout(buttons);
    auto* body = new QHBoxLayout;
    body->addLayout(side, 0);
    body->addWidget(RoomInfo_DBGrid, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 0);
    layout->addLayout(body, 1);
    layout->addWidget(StatusBar1);

    setTabOrder(RoomStatus_RadioGroup, Buiding_CB);
    setTabOrder(Buiding_CB, Floor_CB);
    setTabOrder(Floor_CB, Query_Bt);
    setTabOrder(Query_Bt, RoomInfo_DBGrid);
    setTabOrder(RoomInfo_DBGrid, Confirm_Bt);
    setTabOrder(Confirm_Bt, Close_Bt);

    connect(Query_Bt, &QPushButton::clicked, this, qv::slot(this, &TRoomList_Form::Query_BtClick));
    connect(Confirm_Bt, &QPushButton::clicked, this, &QDialog::accept);
    connect(Close_Bt, &QPushButton::clicked, this, &QDialog::reject);
    connect(RoomInfo_DBGrid, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) {
            qv::guarded([this] { RoomInfo_DBGridDblClick(); });
        }
    });
    connect(RoomInfo_DBGrid, &qv::RecordGrid::currentRecordChanged, this,
            qv::slot(this, &TRoomList_Form::RoomList_AdoAfterScroll));

    resize(720, 460);
    FormCreate();
}

TRoomList_Form::~TRoomList_Form() = default;

void TRoomList_Form::FormCreate() {
    Form::FormCreate();
    qv::fillLayoutFilter(Buiding_CB, Tdm::Buildings, message(0, QStringLiteral("所有楼号")));
    qv::fillLayoutFilter(Floor_CB, Tdm::Floors, message(1, QStringLiteral("所有楼层")));
    qv::guarded([this] { FindRoomList(); });
    RoomInfo_DBGrid->setFocus();
}

void TRoomList_Form::FindRoomList() {
    qv::DataSet& q = *RoomList_Ado;
    q.close();
    q.clearSql();
    q.addSql(QStringLiteral("Select I.Room,I.RoomStr,I.Buiding,I.Floor,I.District,"));
    q.addSql(
        QStringLiteral("S.State_Title as RoomState,G.GuestLeaveTime,G.LeaveTime,G.GuestName,"));
    q.addSql(QStringLiteral("G.GuestID,G.InputTime,G.InputUser,G.Rom,G.GuestInTime from"));
    q.addSql(qv::roomsWithCurrentStays());
    q.addSql(QStringLiteral("Where 1=1"));
    // The last entry of each list is "all": no condition.
    if (const std::optional<int> building = qv::layoutFilterValue(Buiding_CB)) {
        q.addSql(QStringLiteral("And I.Buiding=:Buiding"));
        q.bind(QStringLiteral(":Buiding"), *building);
    }
    if (const std::optional<int> floor = qv::layoutFilterValue(Floor_CB)) {
        q.addSql(QStringLiteral("And I.Floor=:Floor"));
        q.bind(QStringLiteral(":Floor"), *floor);
    }
    switch (RoomStatus_RadioGroup->itemIndex()) {
        case AllVacant:
            q.addSql(QStringLiteral("And G.GuestInTime is Null"));
            break;
        case Occupied:
            q.addSql(QStringLiteral("And G.GuestInTime is not Null"));
            break;
        default:
            break;
    }
    q.addSql(QStringLiteral("ORDER BY I.Buiding,I.Floor,I.Room"));
    q.open();
    // The first room current and visibly selected: Enter picks what is highlighted.
    RoomInfo_DBGrid->selectRow(0);
    RoomList_AdoAfterScroll();
}

void TRoomList_Form::Query_BtClick() {
    FindRoomList();
}

void TRoomList_Form::RoomList_AdoAfterScroll() {
    showCurrentRow();
    if (!RoomList_Ado->active()) {
        return;
    }
    panels_[0]->setText(message(2, QStringLiteral("记录：")) + RoomInfo_DBGrid->positionText());
}

void TRoomList_Form::showCurrentRow() {
    qv::DataSet& q = *RoomList_Ado;
    if (!q.active() || q.isEmpty()) {
        DBText1->clear();
        DBText2->clear();
        DBText3->clear();
        Label4->clear();
        return;
    }
    DBText1->setText(q.text(QStringLiteral("RoomStr")));
    DBText2->setText(q.text(QStringLiteral("Buiding")));
    DBText3->setText(q.text(QStringLiteral("Floor")));
    Label4->setText(q.text(QStringLiteral("GuestInTime")).isEmpty()
                        ? qv::programText(QStringLiteral("空房"))
                        : qv::programText(QStringLiteral("在住")));
}

void TRoomList_Form::RoomInfo_DBGridDblClick() {
    accept();
}

QList<int> TRoomList_Form::SelectedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : RoomInfo_DBGrid->selectionModel()->selectedRows()) {
        rows << index.row();
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::optional<TRoomList_Form::PickedRoom> TRoomList_Form::pickRoom(QWidget* parent) {
    TRoomList_Form list(parent);
    if (list.exec() != QDialog::Accepted || !list.RoomList_Ado->active()) {
        return std::nullopt;
    }
    const QList<int> rows = list.SelectedRows();
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    const qv::DataSet& d = *list.RoomList_Ado;
    return PickedRoom{d.textAt(rows.last(), d.fieldIndex(QStringLiteral("RoomStr"))),
                      d.valueAt(rows.last(), d.fieldIndex(QStringLiteral("Room"))).toLongLong()};
}

QStringList TRoomList_Form::SelectedRoomStrs() const {
    QStringList rooms;
    const int column = RoomList_Ado->fieldIndex(QStringLiteral("RoomStr"));
    for (const int row : SelectedRows()) {
        rooms << RoomList_Ado->textAt(row, column);
    }
    return rooms;
}

bool TRoomList_Form::IsOccupiedRow(int row) const {
    const int column = RoomList_Ado->fieldIndex(QStringLiteral("GuestInTime"));
    return column >= 0 && !RoomList_Ado->valueAt(row, column).isNull();
}

QString TRoomList_Form::StatusText(int index) const {
    return index >= 0 && index < panels_.size() ? panels_[index]->text() : QString();
}
