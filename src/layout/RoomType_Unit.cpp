#include "layout/RoomType_Unit.h"

#include "data/OperationLog.h"

#include "data/DataSet.h"
#include "data/TextColumns.h"
#include "data/dm_unit.h"
#include "layout/Numbers.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Guard.h"
#include "platform/LengthLimit.h"
#include "platform/Named.h"
#include "window/RecordGrid.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

enum Line {
    kSizeLine = 0,
    kPriceLine,
};

}  // namespace

TRoomType_Form::TRoomType_Form(QWidget* parent)
    : qv::EditForm(QStringLiteral("RoomType_Form"), QStringLiteral("客房类型"),
                   QStringLiteral("RoomType_DBGrid"), parent) {
    using qv::make;
    RoomType_DBGrid = Table_Grid;
    RoomType_ado = Table;
    RoomType_ado->setObjectName(QStringLiteral("RoomType_ado"));
    RoomType_ado->setTableName(QStringLiteral("RoomType"));
    RoomType_ado->setOrderBy(QStringLiteral("ID"));
    RoomType_ado->beforePost = [](qv::DataSet& d) { dm->RoomType_adoBeforePost(d); };
    logWrites(qv::oplog::Actions::RoomTypeAdded, qv::oplog::Actions::RoomTypeChanged,
              qv::oplog::Actions::RoomTypeDeleted, QStringLiteral("Title"));
    RoomType_DBGrid->setColumns(
        {QStringLiteral("Title"), QStringLiteral("Size"), QStringLiteral("Piece")},
        {QStringLiteral("客房类型"), QStringLiteral("床位"), QStringLiteral("房价")});
    RoomType_DBGrid->horizontalHeader()->resizeSection(0, 160);
    RoomType_DBGrid->setMinimumSize(380, 200);

    Label1 = make<QLabel>(QStringLiteral("Label1"), QStringLiteral("客房类型："), this);
    RoomType_Edit = make<QLineEdit>(QStringLiteral("RoomType_Edit"), this);
    qv::limitCharacters(RoomType_Edit, qv::columns::kTitleLength);
    Label2 = make<QLabel>(QStringLiteral("Label2"), QStringLiteral("床    位："), this);
    MaxCounts_Edit = make<QLineEdit>(QStringLiteral("MaxCounts_Edit"), this);
    Label3 = make<QLabel>(QStringLiteral("Label3"), QStringLiteral("房    价："), this);
    Price_Edit = make<QLineEdit>(QStringLiteral("Price_Edit"), this);
    Label4 = make<QLabel>(QStringLiteral("Label4"), QStringLiteral("元"), this);
    Label1->setBuddy(RoomType_Edit);
    Label2->setBuddy(MaxCounts_Edit);
    Label3->setBuddy(Price_Edit);

    Add_Bt = make<QPushButton>(QStringLiteral("Add_Bt"), QStringLiteral("添加"), this);
    Save_Bt = make<QPushButton>(QStringLiteral("Save_Bt"), QStringLiteral("保存"), this);
    Edit_Bt = make<QPushButton>(QStringLiteral("Edit_Bt"), QStringLiteral("编辑"), this);
    Delete_Bt = make<QPushButton>(QStringLiteral("Delete_Bt"), QStringLiteral("删除"), this);

    auto* boxes = new QGridLayout;
    boxes->addWidget(Label1, 0, 0);
    boxes->addWidget(RoomType_Edit, 0, 1);
    boxes->addWidget(Label2, 1, 0);
    boxes->addWidget(MaxCounts_Edit, 1, 1);
    boxes->addWidget(Label3, 2, 0);
    boxes->addWidget(Price_Edit, 2, 1);
    boxes->addWidget(Label4, 2, 2);
    boxes->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {Add_Bt, Save_Bt, Edit_Bt, Delete_Bt}) {
        buttons->addWidget(b);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(RoomType_DBGrid, 1);
    layout->addLayout(boxes);
    layout->addLayout(buttons);
    resize(440, 400);

    setTabOrder(RoomType_DBGrid, RoomType_Edit);
    setTabOrder(RoomType_Edit, MaxCounts_Edit);
    setTabOrder(MaxCounts_Edit, Price_Edit);
    setTabOrder(Price_Edit, Add_Bt);
    setTabOrder(Add_Bt, Save_Bt);
    setTabOrder(Save_Bt, Edit_Bt);
    setTabOrder(Edit_Bt, Delete_Bt);

    connect(RoomType_DBGrid, &QAbstractItemView::clicked, this,
            qv::slot(this, &TRoomType_Form::RoomType_DBGridCellClick));
    // Moving to another row by keyboard is the same as a click on it.
    connect(RoomType_DBGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] {
                if (RoomType_DBGrid->hasFocus()) {
                    qv::guarded([this] { RoomType_DBGridCellClick(); });
                }
            });
    connect(Add_Bt, &QPushButton::clicked, this, qv::slot(this, &TRoomType_Form::Add_BtClick));
    connect(Edit_Bt, &QPushButton::clicked, this, qv::slot(this, &TRoomType_Form::Edit_BtClick));
    connect(Save_Bt, &QPushButton::clicked, this, qv::slot(this, &TRoomType_Form::Save_BtClick));
    connect(Delete_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TRoomType_Form::Delete_BtClick));
    connect(RoomType_Edit, &QLineEdit::textChanged, this,
            qv::slot(this, &TRoomType_Form::RoomType_EditChange));

    RoomType_ado->open();
    setBoxesEnabled(false);
    Save_Bt->setEnabled(false);
    Add_Bt->setEnabled(true);
    updateButtonsForRows();
    FormCreate();
}

TRoomType_Form::~TRoomType_Form() = default;

void TRoomType_Form::setBoxesEnabled(bool enabled) {
    for (QLineEdit* box : {RoomType_Edit, MaxCounts_Edit, Price_Edit}) {
        box->setEnabled(enabled);
    }
}

void TRoomType_Form::clearBoxes() {
    for (QLineEdit* box : {RoomType_Edit, MaxCounts_Edit, Price_Edit}) {
        box->clear();
    }
}

void TRoomType_Form::updateButtonsForRows() {
    const bool rows = RoomType_ado->active() && !RoomType_ado->isEmpty();
    Edit_Bt->setEnabled(!entering_ && rows);
    Delete_Bt->setEnabled(!entering_ && rows);
}

void TRoomType_Form::RoomType_DBGridCellClick() {
    if (entering_) {
        // Another row was chosen: what was being entered is dropped, so that a
        // later save cannot write it over the wrong type.
        entering_ = false;
        clearBoxes();
        setBoxesEnabled(false);
    }
    Save_Bt->setEnabled(false);
    Add_Bt->setEnabled(true);
    updateButtonsForRows();
}

void TRoomType_Form::Add_BtClick() {
    saveMode_ = SaveMode::Add;
    entering_ = true;
    Add_Bt->setEnabled(false);
    updateButtonsForRows();
    setBoxesEnabled(true);
    RoomType_Edit->setFocus();
    RoomType_EditChange();
}

void TRoomType_Form::Edit_BtClick() {
    if (!RoomType_ado->active() || RoomType_ado->isEmpty()) {
        return;
    }
    RoomType_Edit->setText(RoomType_ado->text(QStringLiteral("Title")));
    MaxCounts_Edit->setText(RoomType_ado->text(QStringLiteral("Size")));
    Price_Edit->setText(RoomType_ado->text(QStringLiteral("Piece")));
    saveMode_ = SaveMode::Edit;
    entering_ = true;
    Add_Bt->setEnabled(false);
    updateButtonsForRows();
    setBoxesEnabled(true);
    RoomType_EditChange();
    RoomType_Edit->setFocus();
}

void TRoomType_Form::RoomType_EditChange() {
    // A title of blanks only is no title.
    Save_Bt->setEnabled(entering_ && !RoomType_Edit->text().trimmed().isEmpty());
}

void TRoomType_Form::fillRecord() {
    RoomType_ado->setValue(QStringLiteral("Title"),
                           qv::columns::storedText(RoomType_Edit->text(), qv::columns::kTitleLength));
    // An empty box leaves the column as it is: empty on a new type,
    // unchanged on a changed one.
    const struct {
        QLineEdit* box;
        const char* column;
        int line;
        const char* text;
    } numbers[] = {
        {MaxCounts_Edit, "Size", kSizeLine, "床位请输入数字！"},
        {Price_Edit, "Piece", kPriceLine, "房价请输入数字！"},
    };
    for (const auto& n : numbers) {
        if (n.box->text().isEmpty()) {
            continue;
        }
        const std::optional<double> value = qv::amountFromText(n.box->text());
        if (!value) {
            qv::showMessage(message(n.line, QString::fromUtf8(n.text)));
            n.box->setFocus();
            n.box->selectAll();
            qv::abortSilently();
        }
        RoomType_ado->setValue(QLatin1String(n.column), *value);
    }
}

void TRoomType_Form::Save_BtClick() {
    if (!entering_) {
        return;
    }
    if (saveMode_ == SaveMode::Add) {
        addRecord();
    } else {
        if (!RoomType_ado->active() || RoomType_ado->isEmpty()) {
            return;
        }
        editRecord();
    }
    if (!saveRecord()) {
        // Refused: nothing stored, the boxes keep what was typed.
        cancelRecord();
        return;
    }
    entering_ = false;
    clearBoxes();
    setBoxesEnabled(false);
    Save_Bt->setEnabled(false);
    Add_Bt->setEnabled(true);
    updateButtonsForRows();
    Delete_Bt->setEnabled(false);
    Add_Bt->setFocus();
}

void TRoomType_Form::Delete_BtClick() {
    if (!entering_) {
        deleteRecord();
    }
    updateButtonsForRows();
}

bool TRoomType_Form::FormKeyDown(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        return false;
    }
    QWidget* focus = QApplication::focusWidget();
    if (focus == RoomType_Edit) {
        MaxCounts_Edit->setFocus();
        return true;
    }
    if (focus == MaxCounts_Edit) {
        Price_Edit->setFocus();
        return true;
    }
    if (focus == Price_Edit) {
        if (Save_Bt->isEnabled()) {
            Save_BtClick();
        }
        return true;
    }
    return false;
}
