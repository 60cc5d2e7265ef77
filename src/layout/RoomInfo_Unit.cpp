#include "layout/RoomInfo_Unit.h"

#include "data/OperationLog.h"

#include "card/CardFunctions.h"
#include "window/RoomPictures.h"
#include "data/DataSet.h"
#include "data/DataSetModel.h"
#include "data/TextColumns.h"
#include "data/dm_unit.h"
#include "layout/Rooms.h"
#include "platform/AppPaths.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Guard.h"
#include "platform/LengthLimit.h"
#include "platform/Named.h"
#include "platform/ProgramText.h"
#include "settings/Settings.h"
#include "window/RecordGrid.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHelpEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QVBoxLayout>

namespace {

const QString kRoomStr = QStringLiteral("RoomStr");
const QString kRoomTypeStr = QStringLiteral("RoomTypeStr");
constexpr int kRoomStrColumn = 1;
constexpr int kRoomTypeColumn = 2;

// The window's message lines (the language store may replace each).
enum Line {
    kZeroLine = 0,
    kNotNumberLine,
    kEmptyDoorPlateLine,
    kDoorPlateTakenLine,
    kAddressTakenLine,
    kKeyTakenLine,
    kDeleteQuestionLine,
    kOccupiedDeleteLine,
    kOccupiedDoorPlateLine,
    kMissingLine,
    kBlanksLine,
};

// The room type column: a pick list of the room type titles. A title that
// is no longer among them stays on offer for the row that carries it.
class PickListDelegate final : public QStyledItemDelegate {
public:
    PickListDelegate(const TRoomInfo_Form* form, QObject* parent)
        : QStyledItemDelegate(parent), form_(form) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        auto* box = qv::make<QComboBox>(QStringLiteral("RoomTypeStr_PickList"), parent);
        box->addItems(form_->roomTypeTitles());
        return box;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* box = static_cast<QComboBox*>(editor);
        const QString current = index.data(Qt::DisplayRole).toString();
        int at = box->findText(current, Qt::MatchExactly);
        if (at < 0 && !current.isEmpty()) {
            box->insertItem(0, current);
            at = 0;
        }
        box->setCurrentIndex(at);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        auto* box = static_cast<QComboBox*>(editor);
        if (box->currentIndex() >= 0) {
            model->setData(index, box->currentText(), Qt::EditRole);
        }
    }

private:
    const TRoomInfo_Form* form_;
};

// The door plate column: typed into a box of the column's length. A door
// plate stored with blanks around it (kept from before blanks were removed)
// shows its blanks as "␣" on a marked cell, so that it can be found and
// corrected; the room board would show it like the plate without them.
class DoorPlateDelegate final : public QStyledItemDelegate {
public:
    DoorPlateDelegate(const TRoomInfo_Form* form, QObject* parent)
        : QStyledItemDelegate(parent), form_(form) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* box = qobject_cast<QLineEdit*>(editor)) {
            qv::limitCharacters(box, qv::columns::kDoorPlateLength);
        }
        return editor;
    }

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event->type() == QEvent::ToolTip && marked(index)) {
            QToolTip::showText(event->globalPos(), form_->blanksText(), view);
            return true;
        }
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!marked(index)) {
            return;
        }
        QString text = index.data(Qt::DisplayRole).toString();
        qsizetype front = 0;
        while (front < text.size() && text[front].isSpace()) {
            text[front++] = QChar(0x2423);
        }
        for (qsizetype back = text.size() - 1; back >= front && text[back].isSpace(); --back) {
            text[back] = QChar(0x2423);
        }
        option->text = text;
        option->backgroundBrush = QColor(255, 226, 160);
    }

private:
    static bool marked(const QModelIndex& index) {
        return qv::columns::hasSurroundingBlanks(index.data(Qt::DisplayRole).toString());
    }
    const TRoomInfo_Form* form_;
};

}  // namespace

TRoomInfo_Form::TRoomInfo_Form(QWidget* parent)
    : qv::EditForm(QStringLiteral("RoomInfo_Form"), QStringLiteral("房间设置"),
                   QStringLiteral("RoomInfo_Dbg"), parent) {
    using qv::make;
    RoomInfo_Dbg = Table_Grid;
    RoomInfo_ado = Table;
    RoomInfo_ado->setObjectName(QStringLiteral("RoomInfo_ado"));
    RoomInfo_ado->setTableName(QStringLiteral("RoomInfo"));
    RoomInfo_ado->setOrderBy(QStringLiteral("Buiding, Floor, Room"));
    RoomInfo_ado->beforePost = [this](qv::DataSet& d) { RoomInfo_adoBeforePost(d); };
    // Rooms are deleted through qv::deleteRoom, which writes its own row.
    logWrites(qv::oplog::Actions::RoomAdded, qv::oplog::Actions::RoomChanged, nullptr,
              QStringLiteral("RoomStr"));

    Label1 = make<QLabel>(QStringLiteral("Label1"), QStringLiteral("楼号："), this);
    Building_Edit = make<QLineEdit>(QStringLiteral("Building_Edit"), this);
    Label2 = make<QLabel>(QStringLiteral("Label2"), QStringLiteral("楼层："), this);
    Floor_Edit = make<QLineEdit>(QStringLiteral("Floor_Edit"), this);
    for (QLineEdit* box : {Building_Edit, Floor_Edit}) {
        box->setMaxLength(2);
        box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 16);
    }
    Label1->setBuddy(Building_Edit);
    Label2->setBuddy(Floor_Edit);
    GenRoomNumber_Bt =
        make<QPushButton>(QStringLiteral("GenRoomNumber_Bt"), QStringLiteral("生成房间号"), this);

    RoomInfo_LV = make<QListWidget>(QStringLiteral("RoomInfo_LV"), this);
    RoomInfo_LV->setViewMode(QListView::IconMode);
    RoomInfo_LV->setIconSize(QSize(32, 32));
    RoomInfo_LV->setGridSize(QSize(52, 56));
    RoomInfo_LV->setMovement(QListView::Static);
    RoomInfo_LV->setResizeMode(QListView::Adjust);
    RoomInfo_LV->setSelectionMode(QAbstractItemView::SingleSelection);
    RoomInfo_LV->setMinimumWidth(300);
    RoomInfo_LV->viewport()->installEventFilter(this);

    RoomInfo_Dbg->setColumns(
        {QStringLiteral("SystemRoomStr"), kRoomStr, kRoomTypeStr},
        {QStringLiteral("系统房号"), QStringLiteral("实际门牌号码"), QStringLiteral("房间类型")});
    RoomInfo_Dbg->setEditTriggers(QAbstractItemView::DoubleClicked |
                                  QAbstractItemView::EditKeyPressed |
                                  QAbstractItemView::AnyKeyPressed);
    RoomInfo_Dbg->setItemDelegateForColumn(kRoomStrColumn, new DoorPlateDelegate(this, this));
    RoomInfo_Dbg->setItemDelegateForColumn(kRoomTypeColumn, new PickListDelegate(this, this));
    RoomInfo_Dbg->horizontalHeader()->resizeSection(0, 90);
    RoomInfo_Dbg->horizontalHeader()->resizeSection(kRoomStrColumn, 140);
    RoomInfo_Dbg->setMinimumWidth(360);
    RoomInfo_Dbg->installEventFilter(this);
    applyEditableColumns();

    Ok_Bt = make<QPushButton>(QStringLiteral("Ok_Bt"), QStringLiteral("确定(&E)"), this);
    Ok_Bt->setDefault(true);
    Delete_Bt = make<QPushButton>(QStringLiteral("Delete_Bt"), QStringLiteral("删除(&D)"), this);
    Exit_Bt = make<QPushButton>(QStringLiteral("Exit_Bt"), QStringLiteral("关闭(&C)"), this);

    auto* boxes = new QHBoxLayout;
    boxes->addWidget(Label1);
    boxes->addWidget(Building_Edit);
    boxes->addSpacing(12);
    boxes->addWidget(Label2);
    boxes->addWidget(Floor_Edit);
    boxes->addSpacing(12);
    boxes->addWidget(GenRoomNumber_Bt);
    boxes->addStretch();
    auto* body = new QHBoxLayout;
    body->addWidget(RoomInfo_LV, 1);
    body->addWidget(RoomInfo_Dbg, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Ok_Bt);
    buttons->addWidget(Delete_Bt);
    buttons->addWidget(Exit_Bt);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(boxes);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
    resize(780, 480);

    setTabOrder(Building_Edit, Floor_Edit);
    setTabOrder(Floor_Edit, GenRoomNumber_Bt);
    setTabOrder(GenRoomNumber_Bt, RoomInfo_LV);
    setTabOrder(RoomInfo_LV, RoomInfo_Dbg);
    setTabOrder(RoomInfo_Dbg, Ok_Bt);
    setTabOrder(Ok_Bt, Delete_Bt);
    setTabOrder(Delete_Bt, Exit_Bt);

    connect(Building_Edit, &QLineEdit::textChanged, this,
            qv::slot(this, &TRoomInfo_Form::Building_EditChange));
    connect(Floor_Edit, &QLineEdit::textChanged, this,
            qv::slot(this, &TRoomInfo_Form::Building_EditChange));
    connect(GenRoomNumber_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TRoomInfo_Form::GenRoomNumber_BtClick));
    connect(RoomInfo_Dbg, &QAbstractItemView::clicked, this,
            qv::slot(this, &TRoomInfo_Form::RoomInfo_DbgCellClick));
    connect(RoomInfo_ado, &qv::DataSet::stateChanged, this,
            qv::slot(this, &TRoomInfo_Form::RoomInfo_DsStateChange));
    connect(Ok_Bt, &QPushButton::clicked, this, qv::slot(this, &TRoomInfo_Form::Ok_BtClick));
    connect(Delete_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TRoomInfo_Form::Delete_BtClick));
    connect(Exit_Bt, &QPushButton::clicked, this, &QDialog::reject);

    FormCreate();
}

TRoomInfo_Form::~TRoomInfo_Form() {
    // A cell editor still open must not write into the rows while the window goes.
    closeCellEditor();
    disconnect(RoomInfo_ado, nullptr, this, nullptr);
}

QWidget* TRoomInfo_Form::cellEditor() const {
    QWidget* focus = focusWidget();
    return focus && focus != RoomInfo_Dbg && RoomInfo_Dbg->isAncestorOf(focus) ? focus : nullptr;
}

bool TRoomInfo_Form::closeCellEditor() {
    QWidget* editor = cellEditor();
    if (!editor) {
        return false;
    }
    QAbstractItemDelegate* delegate =
        RoomInfo_Dbg->itemDelegateForIndex(RoomInfo_Dbg->currentIndex());
    emit delegate->closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    return true;
}

void TRoomInfo_Form::FormCreate() {
    qv::EditForm::FormCreate();
    // The titles are read afresh: the room types window may have changed them.
    typeTitles_.clear();
    typeIds_.clear();
    for (const qv::RoomTypeTitle& type : qv::roomTypeTitles(dm->conn)) {
        typeIds_.append(type.ID);
        typeTitles_.append(type.Title);
    }
    RoomInfo_ado->open();

    const QString picture = qv::AppPaths::pictureDir() + QStringLiteral("/Normal.bmp");
    QIcon icon = QFile::exists(picture) ? BitmapToIcon(picture) : QIcon();
    if (icon.isNull()) {
        icon = windowIcon();
    }
    Room_ImageList = {icon};
    updateControls();
}

bool TRoomInfo_Form::pending() const {
    return RoomInfo_ado->state() == qv::DataSet::State::Edit ||
           RoomInfo_ado->state() == qv::DataSet::State::Insert;
}

void TRoomInfo_Form::updateControls() {
    const bool listMode = !adding_ && !pending();
    Building_Edit->setEnabled(listMode);
    Floor_Edit->setEnabled(listMode);
    RoomInfo_LV->setEnabled(listMode);
    GenRoomNumber_Bt->setEnabled(listMode && generateEnabled_);
    Ok_Bt->setEnabled(!listMode);
    Delete_Bt->setEnabled(listMode && deleteEnabled_ && RoomInfo_ado->active() &&
                          !RoomInfo_ado->isEmpty());
    RoomInfo_Dbg->setEnabled(true);  // the door plate is typed into it in add mode
}

void TRoomInfo_Form::applyEditableColumns() {
    RoomInfo_Dbg->records()->setEditableFields(
        roomStrEditable_ ? QStringList{kRoomStr, kRoomTypeStr} : QStringList{kRoomTypeStr});
}

void TRoomInfo_Form::modeChanged() {
    updateControls();
}

void TRoomInfo_Form::recordsChanged() {
    RoomBoardChanged = true;
}

void TRoomInfo_Form::Building_EditChange() {
    generateEnabled_ = !Building_Edit->text().isEmpty() && !Floor_Edit->text().isEmpty();
    updateControls();
}

QString TRoomInfo_Form::FormatStrTo2Digits(const QString& text) {
    QString twoDigits;
    switch (qv::twoDigitForm(text, twoDigits)) {
        case qv::BoxFault::None:
            return twoDigits;
        case qv::BoxFault::Zero:
            qv::showMessage(message(kZeroLine, QStringLiteral("楼号或楼层不能为0。")));
            break;
        case qv::BoxFault::NotNumber:
            qv::showMessage(message(kNotNumberLine, QStringLiteral("请输入数字。")));
            break;
    }
    Building_Edit->setFocus();
    return {};
}

void TRoomInfo_Form::GenRoomNumber_BtClick() {
    GenRoomNumber();
}

bool TRoomInfo_Form::GenRoomNumber() {
    const QString building = FormatStrTo2Digits(Building_Edit->text());
    if (building.isEmpty()) {
        return false;
    }
    const QString floor = FormatStrTo2Digits(Floor_Edit->text());
    if (floor.isEmpty()) {
        return false;
    }
    fillFreeNumbers(building.toInt(), floor.toInt());
    return true;
}

void TRoomInfo_Form::fillFreeNumbers(int building, int floor) {
    RoomInfo_LV->clear();
    const QIcon icon = Room_ImageList.value(0);
    for (int n : qv::freeRoomNumbers(dm->conn, building, floor)) {
        new QListWidgetItem(icon, QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')),
                            RoomInfo_LV);
    }
    generateEnabled_ = false;  // a change of a box enables it again
    updateControls();
}

void TRoomInfo_Form::refreshFreeNumbers() {
    QString building;
    QString floor;
    if (qv::twoDigitForm(Building_Edit->text(), building) == qv::BoxFault::None &&
        qv::twoDigitForm(Floor_Edit->text(), floor) == qv::BoxFault::None) {
        fillFreeNumbers(building.toInt(), floor.toInt());
    }
}

void TRoomInfo_Form::RoomInfo_LVDblClick() {
    if (!RoomInfo_LV->isEnabled()) {
        return;
    }
    const QList<QListWidgetItem*> selected = RoomInfo_LV->selectedItems();
    QListWidgetItem* item = selected.value(0);
    if (item) {
        // The building and floor are those in the boxes now.
        if (FormatStrTo2Digits(Building_Edit->text()).isEmpty() ||
            FormatStrTo2Digits(Floor_Edit->text()).isEmpty()) {
            return;
        }
        const qv::RoomAddress a =
            qv::roomAddress(Building_Edit->text(), Floor_Edit->text(), item->text().toInt());
        addRecord();
        RoomInfo_ado->setValue(QStringLiteral("SystemRoomStr"), a.SystemRoomStr);
        RoomInfo_ado->setValue(QStringLiteral("Buiding"), a.Buiding);
        RoomInfo_ado->setValue(QStringLiteral("Floor"), a.Floor);
        RoomInfo_ado->setValue(QStringLiteral("RoomNumber"), a.RoomNumber);
        RoomInfo_ado->setValue(QStringLiteral("Room"), a.Room);
        roomStrEditable_ = true;
        applyEditableColumns();
        delete item;
    }
    adding_ = true;
    deleteEnabled_ = false;
    updateControls();
    if (item) {
        editDoorPlate();
    } else {
        Ok_Bt->setFocus();
    }
}

void TRoomInfo_Form::editDoorPlate() {
    const int row = RoomInfo_Dbg->records()->pendingRow();
    if (row < 0) {
        return;
    }
    const QModelIndex index = RoomInfo_Dbg->records()->index(row, kRoomStrColumn);
    RoomInfo_Dbg->setCurrentIndex(index);
    RoomInfo_Dbg->scrollTo(index);
    RoomInfo_Dbg->setFocus();
    RoomInfo_Dbg->edit(index);
}

void TRoomInfo_Form::RoomInfo_DbgCellClick() {
    deleteEnabled_ = !pending() && !adding_;
    updateControls();
}

void TRoomInfo_Form::RoomInfo_DsStateChange() {
    if (RoomInfo_ado->state() == qv::DataSet::State::Edit && mode() == Mode::Browse) {
        setMode(Mode::Edit);  // a stored room was changed in the grid
    }
    if (pending()) {
        deleteEnabled_ = false;
    }
    updateControls();
}

void TRoomInfo_Form::RoomInfo_adoBeforePost(qv::DataSet& d) {
    dm->RoomInfo_adoBeforePost(d);

    qv::RoomRow row;
    row.Room = d.asInteger(QStringLiteral("Room"));
    row.RoomStr = d.text(kRoomStr);
    row.Buiding = d.asInteger(QStringLiteral("Buiding"));
    row.Floor = d.asInteger(QStringLiteral("Floor"));
    row.RoomNumber = d.asInteger(QStringLiteral("RoomNumber"));
    std::optional<qv::RoomRow> stored;
    QString storedTitle;
    if (d.state() == qv::DataSet::State::Edit) {
        const int r = d.recNo() - 1;
        auto at = [&](const char* column) {
            return d.valueAt(r, d.fieldIndex(QLatin1String(column)));
        };
        stored = qv::RoomRow{at("Room").toInt(), qv::DataSet::displayText(at("RoomStr")),
                             at("Buiding").toInt(), at("Floor").toInt(), at("RoomNumber").toInt()};
        storedTitle = qv::DataSet::displayText(at("RoomTypeStr"));
    }

    const qv::RoomCheck check = qv::checkRoom(dm->conn, row, stored);
    const QString plate = row.RoomStr.trimmed();
    QString text;
    switch (check.fault) {
        case qv::RoomFault::None:
            break;
        case qv::RoomFault::EmptyDoorPlate:
            text = message(kEmptyDoorPlateLine, QStringLiteral("实际门牌号码不能空！"));
            break;
        case qv::RoomFault::DoorPlateTaken:
            text = message(kDoorPlateTakenLine, QStringLiteral("实际门牌号码%1不能重复！"))
                       .arg(plate);
            break;
        case qv::RoomFault::AddressTaken:
            text = message(kAddressTakenLine,
                           QStringLiteral("%1楼%2层%3号的门锁已经是房间%4，不能重复设置！"))
                       .arg(row.Buiding)
                       .arg(row.Floor)
                       .arg(row.RoomNumber, 2, 10, QLatin1Char('0'))
                       .arg(check.otherRoomStr);
            break;
        case qv::RoomFault::KeyTaken:
            text =
                message(kKeyTakenLine,
                        QStringLiteral(
                            "房间编号%1已经是房间%2的编号，不能重复！请换一种楼号或楼层的写法。"))
                    .arg(row.Room)
                    .arg(check.otherRoomStr);
            break;
        case qv::RoomFault::OccupiedDoorPlate:
            text = message(kOccupiedDoorPlateLine,
                           QStringLiteral("房间%1有客人入住，不能修改门牌号码！"))
                       .arg(check.otherRoomStr);
            break;
    }
    if (!text.isEmpty()) {
        qv::showMessage(text);
        qv::abortSilently();
    }
    if (check.roomStr != row.RoomStr) {
        d.setValue(kRoomStr, check.roomStr);  // without the blanks around it
    }

    // The room also keeps the key of its type, by which the room board finds
    // what the type holds.
    const QString title = d.text(kRoomTypeStr);
    if (stored ? title != storedTitle : !title.isEmpty()) {
        const int at = typeTitles_.indexOf(title);
        d.setValue(QStringLiteral("RoomType"), at >= 0 ? QVariant(typeIds_[at]) : QVariant());
    }
}

void TRoomInfo_Form::RoomInfo_adoAfterPost() {
    roomStrEditable_ = false;
    applyEditableColumns();
    RoomInfo_ado->refresh();  // the new room in its place, by building, floor and key
}

void TRoomInfo_Form::Ok_BtClick() {
    if (!adding_ && !pending()) {
        return;
    }
    if (pending()) {
        if (!saveRecord()) {
            // Refused (the check said why) or refused by the database: nothing
            // is stored. The rooms are read again: another desk may have
            // added the one in the way.
            cancelRecord();
            RoomInfo_ado->refresh();
            backToList();
            return;
        }
        RoomInfo_adoAfterPost();
    }
    backToList();
}

void TRoomInfo_Form::backToList() {
    adding_ = false;
    refreshFreeNumbers();
    updateControls();
    if (RoomInfo_LV->count() > 0) {
        // Ready for the next number, by mouse or keyboard.
        RoomInfo_LV->setFocus();
        if (RoomInfo_LV->selectedItems().isEmpty()) {
            RoomInfo_LV->setCurrentRow(0);
        }
    } else {
        RoomInfo_Dbg->setFocus();
    }
}

void TRoomInfo_Form::Delete_BtClick() {
    if (adding_ || pending() || !RoomInfo_ado->active() || RoomInfo_ado->isEmpty()) {
        return;
    }
    const int room = RoomInfo_ado->asInteger(QStringLiteral("Room"));
    const QString plate = RoomInfo_ado->text(kRoomStr);
    const QString occupied =
        message(kOccupiedDeleteLine, QStringLiteral("房间%1有客人入住，不能删除！")).arg(plate);
    if (qv::hasOpenStay(dm->conn, room, plate)) {
        qv::showMessage(occupied);
        return;
    }
    if (qv::messageBox(
            qv::noticeTitle(),
            message(kDeleteQuestionLine, QStringLiteral("确定要删除房间%1吗？")).arg(plate),
            qv::Icon::Question, qv::Buttons::OkCancel) != qv::Answer::Ok) {
        return;
    }
    switch (qv::deleteRoom(dm->conn, room, plate)) {
        case qv::RoomDeletion::Occupied:  // a guest checked in meanwhile
            qv::showMessage(occupied);
            return;
        case qv::RoomDeletion::Missing:  // deleted at another front desk
            qv::showMessage(message(kMissingLine, QStringLiteral("房间%1已经不存在。")).arg(plate));
            break;
        case qv::RoomDeletion::Deleted:
            break;
    }
    const int row = RoomInfo_ado->recNo() - 1;
    RoomInfo_ado->open();
    RoomInfo_Dbg->selectRow(row);
    recordsChanged();
    refreshFreeNumbers();
    updateControls();
}

QString TRoomInfo_Form::blanksText() const {
    return message(kBlanksLine, QStringLiteral("门牌号码前后有空格（␣），请改正。"));
}

bool TRoomInfo_Form::FormKeyDown(QKeyEvent* event) {
    QWidget* focus = focusWidget();
    const int key = event->key();
    if (key == Qt::Key_Escape && closeCellEditor()) {
        // Esc in a cell of the grid leaves the cell as it was; the next one closes.
        RoomInfo_Dbg->setFocus();
        return true;
    }
    if (key != Qt::Key_Return && key != Qt::Key_Enter) {
        return false;
    }
    if (focus == Building_Edit) {
        Floor_Edit->setFocus();
        return true;
    }
    if (focus == Floor_Edit) {
        if (GenRoomNumber_Bt->isEnabled() && !GenRoomNumber()) {
            return true;
        }
        if (RoomInfo_LV->count() > 0) {
            RoomInfo_LV->setFocus();
            if (RoomInfo_LV->selectedItems().isEmpty()) {
                RoomInfo_LV->setCurrentRow(0);
            }
        }
        return true;
    }
    if (focus == RoomInfo_LV) {
        if (QListWidgetItem* current = RoomInfo_LV->currentItem();
            current && !current->isSelected()) {
            current->setSelected(true);
        }
        RoomInfo_LVDblClick();
        return true;
    }
    return false;
}

bool TRoomInfo_Form::eventFilter(QObject* watched, QEvent* event) {
    if (watched == RoomInfo_LV->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        // Also a double-click beside the numbers: the window then waits in add
        // mode without a new room until OK.
        qv::guarded([this] { RoomInfo_LVDblClick(); });
        return true;
    }
    if (watched == RoomInfo_Dbg && event->type() == QEvent::FocusIn) {
        // Reaching the grid by keyboard counts as a click in it.
        qv::guarded([this] { RoomInfo_DbgCellClick(); });
    }
    return qv::EditForm::eventFilter(watched, event);
}
