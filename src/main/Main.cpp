// The main window's room board, its views, status bar and timers, and its
// creation. The menus, tool bar, pop-up menu, rights and the handlers of
// their entries are in MainMenus.cpp.
#include "main/Main.h"

#include "card/CardFunctions.h"
#include "card/Encoder.h"
#include "card/EncoderPairing.h"
#include "data/Session.h"
#include "data/dm_unit.h"
#include "language/Language.h"
#include "platform/AppPaths.h"
#include "platform/Application.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Fonts.h"
#include "platform/Guard.h"
#include "platform/Named.h"
#include "platform/ProgramText.h"
#include "settings/Settings.h"
#include "window/CardOperation.h"
#include "window/Form.h"
#include "window/LayoutLists.h"

#include <QActionGroup>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <algorithm>

namespace {

const QString kVersionTitle = qv::productTitle();

// Message lines of the main window in the language store.
constexpr int kRefreshText = 8;
constexpr int kAllBuildingsText = 9;
constexpr int kAllFloorsText = 10;
constexpr int kLinkBackText = 11;
const QString kRefreshDefault = QStringLiteral("刷新");
const QString kAllBuildingsDefault = QStringLiteral("全部楼号");
const QString kAllFloorsDefault = QStringLiteral("全部楼层");
const QString kLinkBackDefault = QStringLiteral("与数据库服务器的连接已恢复（%1）。");

const char* const kPictureFiles[TRoomBoardItem::PictureCount] = {
    "Normal.bmp", "Normal_ModiRoom.bmp", "GuestIn.BMP", "GuestIn_ModiRoom.BMP"};

// A filter box's value for the board query: nothing for the all-values entry.
std::optional<int> filterValue(const QComboBox* box) {
    return box ? qv::layoutFilterValue(box) : std::nullopt;
}

}  // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(kVersionTitle);
    if (windowIcon().isNull()) {  // the installation's icon, or a plain one
        setWindowIcon(style()->standardIcon(QStyle::SP_ComputerIcon));
    }
    setContextMenuPolicy(Qt::NoContextMenu);  // no tool bar switch: the bar always shows

    createMenus();
    createToolBar();
    createBoard();
    createStatusBar();

    Timer1 = qv::make<QTimer>(QStringLiteral("Timer1"), this);
    Timer1->setInterval(3000);
    connect(Timer1, &QTimer::timeout, this, qv::slot(this, &TMainForm::Timer1Timer));
    Timer2 = qv::make<QTimer>(QStringLiteral("Timer2"), this);
    Timer2->setInterval(500);
    connect(Timer2, &QTimer::timeout, this, qv::slot(this, &TMainForm::Timer2Timer));
    BoardFeed_Timer = qv::make<QTimer>(QStringLiteral("BoardFeed_Timer"), this);
    BoardFeed_Timer->setSingleShot(true);
    connect(BoardFeed_Timer, &QTimer::timeout, this,
            qv::slot(this, &TMainForm::BoardFeed_TimerTimer));

    Language1 = new TLanguage(this);
    // The capture-mode key; no Esc: the main window closes by its menu only.
    qv::installFormKeys(this, Language1, {});

    resize(1024, 700);
    setWindowState(Qt::WindowMaximized);
    FormCreate();
    Timer1->start();
    Timer2->start();
    if (dm) {
        connect(&dm->feed, &qv::ChangeFeed::changed, this, qv::slot(this, &TMainForm::feedChanged));
        connect(&dm->feed, &qv::ChangeFeed::linkLost, this,
                qv::slot(this, &TMainForm::showLinkLost));
        connect(&dm->feed, &qv::ChangeFeed::linkRestored, this,
                qv::slot(this, &TMainForm::showLinkRestored));
        dm->feed.start();
    }
    Room_ListView->setFocus();
}

TMainForm::~TMainForm() = default;

// --- Construction of the widgets -------------------------------------------

void TMainForm::createBoard() {
    RoomBoard = new TRoomBoardModel(this);

    Room_ListView = qv::make<QListView>(QStringLiteral("Room_ListView"));
    Room_ListView->setModel(RoomBoard);
    Room_ListView->setFont(qv::songTi(12));
    Room_ListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Room_ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    Room_ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Room_ListView->setUniformItemSizes(true);
    Room_ListView->setLayoutMode(QListView::SinglePass);
    Room_ListView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Room_ListView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { showBoardMenu(Room_ListView, pos); });

    RoomDetails_ListView = qv::make<QTreeView>(QStringLiteral("RoomDetails_ListView"));
    RoomDetails_ListView->setModel(RoomBoard);
    RoomDetails_ListView->setSelectionModel(Room_ListView->selectionModel());
    RoomDetails_ListView->setFont(qv::songTi(12));
    RoomDetails_ListView->setRootIsDecorated(false);
    RoomDetails_ListView->setItemsExpandable(false);
    RoomDetails_ListView->setUniformRowHeights(true);
    RoomDetails_ListView->setAllColumnsShowFocus(true);
    RoomDetails_ListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    RoomDetails_ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    RoomDetails_ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    RoomDetails_ListView->setIconSize(QSize(16, 16));
    RoomDetails_ListView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(RoomDetails_ListView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { showBoardMenu(RoomDetails_ListView, pos); });
    const int widths[TRoomBoardItem::ColumnCount] = {100, 70, 70,  70,  80,  60, 80, 80,
                                                     100, 80, 100, 100, 100, 60, 100};
    QHeaderView* header = RoomDetails_ListView->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    for (int c = 0; c < TRoomBoardItem::ColumnCount; ++c) {
        header->resizeSection(c, widths[c]);
    }
    // Date-times need more room than the original widths in this font.
    for (int c : {TRoomBoardItem::GuestInTime, TRoomBoardItem::GuestLeaveTime,
                  TRoomBoardItem::LeaveTime, TRoomBoardItem::InputTime}) {
        header->resizeSection(
            c, std::max(widths[c], RoomDetails_ListView->fontMetrics().horizontalAdvance(
                                       QStringLiteral("0000-00-00 00:00:00")) +
                                       12));
    }
    header->resizeSection(TRoomBoardItem::InputUser, 80);
    header->resizeSection(TRoomBoardItem::GuestID,
                          RoomDetails_ListView->fontMetrics().horizontalAdvance(
                              QStringLiteral("000000000000000000")) +
                              12);

    RoomViews = new QStackedWidget(this);
    RoomViews->addWidget(Room_ListView);
    RoomViews->addWidget(RoomDetails_ListView);
    setCentralWidget(RoomViews);

    createBoardMenu();
    setBoardView(0);
}

void TMainForm::createStatusBar() {
    StatusBar1 = qv::make<QStatusBar>(QStringLiteral("StatusBar1"), this);
    setStatusBar(StatusBar1);
    StatusBar1->setSizeGripEnabled(false);
    // Panels 0 to 3 hold the run-time controls (InitializeForm); 4 to 7 are texts.
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        auto* label = new QLabel(StatusBar1);
        label->setMinimumWidth(i < 4 ? 0 : 150);
        if (i < 4) {
            label->hide();
        } else {
            label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
            label->setIndent(4);
            label->setContentsMargins(0, 0, 4, 0);
            StatusBar1->addPermanentWidget(label);
        }
        panels_[i] = label;
    }
    Link_Label = qv::make<QLabel>(QStringLiteral("Link_Label"), StatusBar1);
    Link_Label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    Link_Label->setIndent(4);
    Link_Label->setWordWrap(false);
    StatusBar1->addWidget(Link_Label, 1);
    Link_Label->hide();
}

void TMainForm::feedChanged(qv::Changes changes) {
    const qv::Changes shown =
        qv::Changes(qv::Change::Rooms) | qv::Change::Stays | qv::Change::RoomStates;
    if (!(changes & shown) || BoardFeed_Timer->isActive()) {
        return;  // the rebuild on its way shows this change too
    }
    const qint64 since =
        lastFeedRebuild_.isValid() ? lastFeedRebuild_.elapsed() : qint64(kFeedGatherMs);
    BoardFeed_Timer->start(static_cast<int>(std::max<qint64>(kFeedFirstMs, kFeedGatherMs - since)));
}

void TMainForm::BoardFeed_TimerTimer() {
    lastFeedRebuild_.start();
    RoomBoardChanged = false;  // this rebuild is the one the flag asked for; a failure sets it
    SetRoom_LV(true);
}

void TMainForm::showLinkLost(const QString& text) {
    Link_Label->setStyleSheet(QStringLiteral("color: #b00000;"));
    Link_Label->setText(text);
    Link_Label->setToolTip(text);
    Link_Label->show();
}

void TMainForm::showLinkRestored() {
    const QString text = Language1->GetVariable(kLinkBackText, kLinkBackDefault)
                             .arg(qv::Clock::now().toString(QStringLiteral("HH:mm:ss")));
    Link_Label->setStyleSheet(QString());
    Link_Label->setText(text);
    Link_Label->setToolTip(text);
    Link_Label->show();
}

// --- Creation ---------------------------------------------------------------

void TMainForm::FormCreate() {
    qv::applyLanguage(Language1);
    panels_[4]->setText(kVersionTitle);
    panels_[5]->setText(Language1->AppVersion().GetVersionString(QStringLiteral("CompanyName")));
    panels_[6]->setText(QLatin1Char(' ') + qv::session().name);
    qv::guarded([this] { LanguageSelectMenu(N10); });
    qv::guarded([this] { InitializeForm(); });
    LoadICon();
    SetRoom_LV();
    PopedomSet();
    qv::guarded([this] { EncoderRegister(); });
    // Without the operator's rights the program cannot go on.
    if (!qv::guarded([this] { InitMenu(); })) {
        qv::requestTerminate();
    }
}

void TMainForm::InitializeForm() {
    setWindowTitle(kVersionTitle);

    if (!Refresh_Bt) {
        Refresh_Bt = new QPushButton(StatusBar1);
        Refresh_Bt->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
        Refresh_Bt->setMinimumWidth(50);
        Refresh_Bt->setFocusPolicy(Qt::TabFocus);
        connect(Refresh_Bt, &QPushButton::clicked, this,
                qv::slot(this, &TMainForm::Refresh_MfPopMenuClick));
        Building_CB = new QComboBox(StatusBar1);
        Floor_CB = new QComboBox(StatusBar1);
        for (QComboBox* box : {Building_CB, Floor_CB}) {
            box->setEditable(false);
            box->setMinimumWidth(50);
            box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
            connect(box, &QComboBox::currentIndexChanged, this,
                    qv::slot(this, &TMainForm::Refresh_MfPopMenuClick));
        }
        StatusBar1->insertWidget(0, Refresh_Bt);
        StatusBar1->insertWidget(1, Building_CB);
        StatusBar1->insertWidget(2, Floor_CB);
        panels_[3]->setMinimumWidth(50);
        StatusBar1->insertWidget(3, panels_[3]);
        panels_[3]->show();
        panels_[7]->setMinimumWidth(150);
        setTabOrder(Room_ListView, Refresh_Bt);
        setTabOrder(Refresh_Bt, Building_CB);
        setTabOrder(Building_CB, Floor_CB);
    }
    qv::fillLayoutFilter(Building_CB, Tdm::Buildings, allBuildingsText());
    qv::fillLayoutFilter(Floor_CB, Tdm::Floors, allFloorsText());
    showLanguageTexts();
    for (QComboBox* box : {Building_CB, Floor_CB}) {
        box->setMinimumWidth(std::max(50, box->sizeHint().width()));  // never clipped by the panels
    }
}

QString TMainForm::allBuildingsText() const {
    return Language1->GetVariable(kAllBuildingsText, kAllBuildingsDefault);
}

QString TMainForm::allFloorsText() const {
    return Language1->GetVariable(kAllFloorsText, kAllFloorsDefault);
}

void TMainForm::showLanguageTexts() {
    Refresh_Bt->setText(Language1->GetVariable(kRefreshText, kRefreshDefault));
    // The all-entry is the last of each filter box.
    if (Building_CB->count() > 0) {
        Building_CB->setItemText(Building_CB->count() - 1, allBuildingsText());
    }
    if (Floor_CB->count() > 0) {
        Floor_CB->setItemText(Floor_CB->count() - 1, allFloorsText());
    }
}

void TMainForm::LoadICon() {
    const QIcon own = windowIcon();
    for (int i = 0; i < TRoomBoardItem::PictureCount; ++i) {
        const QString file =
            qv::AppPaths::pictureDir() + QLatin1Char('/') + QLatin1String(kPictureFiles[i]);
        QIcon icon = QFile::exists(file) ? BitmapToIcon(file) : QIcon();
        Room_ImageList[static_cast<std::size_t>(i)] = icon.isNull() ? own : icon;
    }
    RoomBoard->setPictures(Room_ImageList);
}

bool TMainForm::SetRoom_LV(bool retry) {
    if (rebuilding_) {
        // A rebuild is under way (its error box may be open): the next tick tries again.
        RoomBoardChanged = true;
        return false;
    }
    rebuilding_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{rebuilding_};

    std::vector<TRoomBoardItem> items;
    try {
        if (!dm) {
            throw qv::DbError(qv::programText(QStringLiteral("数据库连接未打开。")));
        }
        items = RoomBoardQuery::read(dm->conn, filterValue(Building_CB), filterValue(Floor_CB));
    } catch (const qv::Error& e) {
        RoomBoard->clear();
        RoomBoardChanged = true;  // the next tick of Timer1 tries again
        if (!retry || e.text() != lastBoardError_) {
            lastBoardError_ = e.text();
            qv::showError(e.text());
        }
        return false;
    }
    lastBoardError_.clear();
    const bool updates = Room_ListView->updatesEnabled();
    Room_ListView->setUpdatesEnabled(false);
    RoomBoard->setItems(std::move(items));
    Room_ListView->setUpdatesEnabled(updates);
    return true;
}

void TMainForm::PopedomSet() {
    // Command levels by GroupID are not offered: the operator's rights
    // (InitMenu) switch the entries.
    panels_[6]->setText(qv::session().name);
}

void TMainForm::EncoderRegister() {
    const std::optional<int> kind = qv::startEncoder(qv::Encoder::instance());
    if (!kind) {
        return;  // no encoder: a demonstration
    }
    EncoderType = *kind;
    if (EncoderType == qv::DataCollectorKind || EncoderType == qv::IcCardLocksKind) {
        allow(ReadDataCard_Menu, true);  // IC card locks: the DataCard right decides (InitMenu)
    }
}

// --- Board ------------------------------------------------------------------

QString TMainForm::panelText(int panel) const {
    if (panel < 0 || panel >= static_cast<int>(panels_.size())) {
        return {};
    }
    return panels_[static_cast<std::size_t>(panel)]->text();
}

std::vector<int> TMainForm::selectedRows() const {
    std::vector<int> rows;
    const QItemSelection selection = Room_ListView->selectionModel()->selection();
    for (const QItemSelectionRange& range : selection) {
        for (int r = range.top(); r <= range.bottom(); ++r) {
            rows.push_back(r);
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

QStringList TMainForm::selectedRooms() const {
    QStringList rooms;
    for (const int r : selectedRows()) {
        rooms << RoomBoard->item(r).caption();
    }
    return rooms;
}

QString TMainForm::firstSelectedRoom() const {
    const std::vector<int> rows = selectedRows();
    return rows.empty() ? QString() : RoomBoard->item(rows.front()).caption();
}

void TMainForm::Refresh_MfPopMenuClick() {
    SetRoom_LV();
}

void TMainForm::Timer1Timer() {
    if (RoomBoardChanged) {
        RoomBoardChanged = false;  // a failed rebuild sets it again
        SetRoom_LV(true);
    }
}

void TMainForm::Timer2Timer() {
    qv::CardOperation::releaseLatch();
}

void TMainForm::setBoardView(int tag) {
    boardView_ = tag;
    const QList<QAction*> switches = ViewGroup->actions();
    if (tag >= 0 && tag < switches.size()) {
        switches[tag]->setChecked(true);
    }
    QListView* v = Room_ListView;
    switch (tag) {
        case 1:  // small icons, in rows
            v->setViewMode(QListView::ListMode);
            v->setFlow(QListView::LeftToRight);
            v->setIconSize(QSize(16, 16));
            v->setGridSize(QSize(96, 22));
            break;
        case 2:  // list, in columns
            v->setViewMode(QListView::ListMode);
            v->setFlow(QListView::TopToBottom);
            v->setIconSize(QSize(16, 16));
            v->setGridSize(QSize(96, 22));
            break;
        case 3:
            RoomViews->setCurrentWidget(RoomDetails_ListView);
            return;
        default:  // large icons
            v->setViewMode(QListView::IconMode);
            v->setFlow(QListView::LeftToRight);
            v->setIconSize(QSize(32, 32));
            v->setGridSize(QSize(76, 60));
            break;
    }
    v->setMovement(QListView::Static);  // fixed places: the board is laid out in one pass
    v->setWrapping(true);
    v->setResizeMode(QListView::Adjust);
    v->setWordWrap(false);
    v->setSpacing(0);
    const bool focused = RoomDetails_ListView->hasFocus();
    RoomViews->setCurrentWidget(v);
    if (focused) {
        v->setFocus();
    }
}

void TMainForm::RoomInfoLvs_MfPopMenuClick() {
    setBoardView(0);
}
void TMainForm::N6Click() {
    setBoardView(1);
}
void TMainForm::objectN3TMenuItem1Click() {
    setBoardView(2);
}
void TMainForm::N7Click() {
    setBoardView(3);
}

void TMainForm::showBoardMenu(QWidget* view, const QPoint& pos) {
    auto* area = qobject_cast<QAbstractItemView*>(view);
    PopupMenu1->popup(area ? area->viewport()->mapToGlobal(pos) : view->mapToGlobal(pos));
}
