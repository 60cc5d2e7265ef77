#include "cards/OpenDoorRecord_Unit.h"
#include "data/OperationLog.h"

#include "data/PagedQueryModel.h"
#include "data/dm_unit.h"
#include "language/FormKeys.h"
#include "platform/Guard.h"
#include "platform/Named.h"
#include "printing/PrintLibrary.h"
#include "records/RoomList_Unit.h"
#include "window/RecordGrid.h"

#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <algorithm>
#include <utility>

TOpenDoorRecord_Form::TOpenDoorRecord_Form(QWidget* parent)
    : qv::QueryForm(QStringLiteral("OpenDoorRecord_Form"), QStringLiteral("查询开门记录"),
                    QStringLiteral("OpenDoorRecord_DBGrid"), qv::PrintKind::DoorOpenings, parent) {
    OpenDoorRecord_DBGrid = Records_Grid;
    ReadOpenDoorRecord_Ado = Records;
    ReadOpenDoorRecord_Ado->setObjectName(QStringLiteral("ReadOpenDoorRecord_Ado"));
    // The room is not shown (it is the one typed), but goes to the printed list.
    setColumns(
        {QStringLiteral("RoomStr"), QStringLiteral("CardTypeStr"), QStringLiteral("Rom"),
         QStringLiteral("CardHolderStr"), QStringLiteral("OpenTime"), QStringLiteral("MakeName")},
        {QStringLiteral("房间号"), QStringLiteral("卡类型"), QStringLiteral("卡号"),
         QStringLiteral("持卡人"), QStringLiteral("开门时间"), QStringLiteral("发卡人")});
    showColumns();
    connect(ReadOpenDoorRecord_Ado, &QAbstractItemModel::modelReset, this,
            [this] { showColumns(); });

    Label1 = qv::make<QLabel>(QStringLiteral("Label1"), QStringLiteral("房间号："), FilterArea);
    Room_Edit = qv::make<QLineEdit>(QStringLiteral("Room_Edit"), FilterArea);
    Room_Edit->setMinimumWidth(120);
    Label1->setBuddy(Room_Edit);
    Query_Bt =
        qv::make<QPushButton>(QStringLiteral("Query_Bt"), QStringLiteral("确定"), FilterArea);
    Query_Bt->setDefault(true);
    RoomList_Bt =
        qv::make<QPushButton>(QStringLiteral("RoomList_Bt"), QStringLiteral("选房"), FilterArea);
    RoomList_Bt->setFocusPolicy(Qt::ClickFocus);  // not on the Tab key's way
    RoomList_Bt->setAutoDefault(false);
    auto* filter = new QHBoxLayout(FilterArea);
    filter->setContentsMargins(0, 0, 0, 0);
    filter->addWidget(Label1);
    filter->addWidget(Room_Edit);
    filter->addWidget(Query_Bt);
    filter->addWidget(RoomList_Bt);
    filter->addStretch();

    Print_Bt = qv::make<QPushButton>(QStringLiteral("Print_Bt"), QStringLiteral("打印(&P)"), this);
    BitBtn1 = qv::make<QPushButton>(QStringLiteral("BitBtn1"), QStringLiteral("删除(&D)"), this);
    BitBtn3 = qv::make<QPushButton>(QStringLiteral("BitBtn3"), QStringLiteral("关闭(&C)"), this);
    for (QPushButton* b : {Print_Bt, BitBtn1, BitBtn3}) {
        b->setAutoDefault(false);
        Buttons_Layout->addWidget(b);
    }
    // The status bar's second panel, empty.
    addStatusPanels(1);

    connect(Query_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TOpenDoorRecord_Form::Query_BtClick));
    connect(RoomList_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TOpenDoorRecord_Form::RoomList_BtClick));
    connect(Print_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TOpenDoorRecord_Form::Print_BtClick));
    connect(BitBtn1, &QPushButton::clicked, this,
            qv::slot(this, &TOpenDoorRecord_Form::ClearRecord_BtClick));
    connect(BitBtn3, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(Room_Edit, Query_Bt);
    setTabOrder(Query_Bt, OpenDoorRecord_DBGrid);
    setTabOrder(OpenDoorRecord_DBGrid, Print_Bt);
    setTabOrder(Print_Bt, BitBtn1);
    setTabOrder(BitBtn1, BitBtn3);
    Room_Edit->setFocus();
    resize(640, 440);
    FormCreate();
}

TOpenDoorRecord_Form::~TOpenDoorRecord_Form() = default;

void TOpenDoorRecord_Form::Query_BtClick() {
    // Open from here on, for the status line; a query that fails leaves the
    // window as it was.
    const bool wasOpen = std::exchange(queried_, true);
    try {
        // In reading order: the order the lock kept them.
        runQuery(QStringLiteral("Select * from OpenDoorRecord Where RoomStr = :room"),
                 {{QStringLiteral(":room"), Room_Edit->text()}}, QStringLiteral("ID"));
    } catch (...) {
        queried_ = wasOpen;
        throw;
    }
}

void TOpenDoorRecord_Form::RoomList_BtClick() {
    if (const auto picked = TRoomList_Form::pickRoom(this)) {
        Room_Edit->setText(picked->roomStr);
    }
}

void TOpenDoorRecord_Form::Print_BtClick() {
    if (!queried_) {
        qv::printRecords(qv::RecordsetRef(), qv::PrintKind::DoorOpenings, this);
        return;
    }
    printRecords();
}

void TOpenDoorRecord_Form::ClearRecord_BtClick() {
    const int row = OpenDoorRecord_DBGrid->currentIndex().row();
    if (!queried_ || row < 0) {
        return;
    }
    qv::inTransaction(dm->conn, [&] {
        const int deleted =
            dm->conn.execute(QStringLiteral("Delete From OpenDoorRecord Where ID = :id"),
                             {{QStringLiteral(":id"), currentValue(QStringLiteral("ID"))}});
        if (deleted > 0) {
            qv::oplog::appendOperation(dm->conn,
                                       {QLatin1String(qv::oplog::Actions::RecordsDeleted),
                                        currentValue(QStringLiteral("RoomStr")).toString(),
                                        QStringLiteral("OpenDoorRecord %1").arg(deleted)});
        }
    });
    // The record that followed the deleted one becomes current (the one
    // before, when the last was deleted). The list is read again from its
    // first page: the pages up to that row are read before it is chosen, so
    // that a row not read (or counted) yet is never taken for the last one.
    ReadOpenDoorRecord_Ado->refresh();
    ReadOpenDoorRecord_Ado->fetchUntil(row);
    selectRecord(std::min(row, ReadOpenDoorRecord_Ado->rowCount() - 1));
}

void TOpenDoorRecord_Form::showColumns() {
    // The room column is hidden; the opening time shows whole.
    OpenDoorRecord_DBGrid->setColumnHidden(0, true);
    const QFontMetrics metrics = OpenDoorRecord_DBGrid->fontMetrics();
    OpenDoorRecord_DBGrid->setColumnWidth(
        4, metrics.horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 16);
}

void TOpenDoorRecord_Form::selectRecord(int row) {
    if (row < 0) {
        currentRowChanged(-1);
        return;
    }
    ReadOpenDoorRecord_Ado->fetchUntil(row);
    OpenDoorRecord_DBGrid->selectionModel()->setCurrentIndex(
        ReadOpenDoorRecord_Ado->index(row, qv::firstVisibleColumn(OpenDoorRecord_DBGrid)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    OpenDoorRecord_DBGrid->scrollTo(OpenDoorRecord_DBGrid->currentIndex());
}

QString TOpenDoorRecord_Form::statusText() const {
    if (!queried_) {
        return QString();
    }
    const QModelIndex i = OpenDoorRecord_DBGrid->currentIndex();
    const int total = ReadOpenDoorRecord_Ado->totalRows();
    return QStringLiteral("   %1 / %2").arg(i.isValid() && total > 0 ? i.row() + 1 : 0).arg(total);
}

bool TOpenDoorRecord_Form::FormKeyDown(QKeyEvent* event) {
    // The capture mode asks with the window's message lines 13 and 14.
    return CaptureModeKeyDown(this, Language1, event, CaptureTexts::FromVariable);
}
