#include "main/Main.h"

#include "card/CardFunctions.h"
#include "card/Encoder.h"
#include "card/LockMsg.h"
#include "cards/CheckCard_Unit.h"
#include "cards/MakeCard_Unit.h"
#include "data/DataSet.h"
#include "data/dm_unit.h"
#include "language/FormKeys.h"
#include "language/Language.h"
#include "main/About_Unit.h"
#include "main/OpenDocument.h"
#include "platform/AppPaths.h"
#include "platform/Application.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Guard.h"
#include "platform/IniFile.h"
#include "platform/KeyPreview.h"
#include "platform/LanguageIds.h"
#include "records/RoomList_Unit.h"
#include "settings/Settings.h"
#include "stays/CopyGuestCard_Unit.h"
#include "stays/GuestLeave_Unit.h"
#include "stays/GuestQuickIn_Unit.h"

#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSqlQuery>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>

namespace {

const QString kVersionTitle = QStringLiteral("Quorvane V18.0");
const QString kNoEncoder = QStringLiteral("没有检测到发卡机，系统为演示版!");
const QString kForeignEncoder = QStringLiteral("非本系统的发卡机！");

// Message lines of the main window in the language store.
constexpr int kRefreshText = 8;
constexpr int kAllBuildingsText = 9;
constexpr int kAllFloorsText = 10;
const QString kRefreshDefault = QStringLiteral("刷新");
const QString kAllBuildingsDefault = QStringLiteral("全部楼号");
const QString kAllFloorsDefault = QStringLiteral("全部楼层");

const char* const kPictureFiles[TRoomBoardItem::PictureCount] = {
    "Normal.bmp", "Normal_ModiRoom.bmp", "GuestIn.BMP", "GuestIn_ModiRoom.BMP"};

// The encoder kinds the menus know: a data collector, IC card locks.
constexpr int kDataCollector = 0;
constexpr int kIcCardLocks = 3;

QFont songTi(int pixels) {
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
                      QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(pixels);
    return font;
}

// The hotel's system code as stored in [SystemInfo] Pass: four values of two
// hex digits each. False for any other text.
bool parseSystemCode(const QString& text, qv::SystemCode& code) {
    if (text.size() != 2 * QV_SYSTEM_CODE_WORDS) {
        return false;
    }
    for (int i = 0; i < QV_SYSTEM_CODE_WORDS; ++i) {
        const QString pair = text.mid(2 * i, 2);
        const auto hexDigit = [](QChar c) {
            return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        };
        if (!std::all_of(pair.begin(), pair.end(), hexDigit)) {
            return false;
        }
        code[i] = static_cast<uint16_t>(pair.toUInt(nullptr, 16));
    }
    return true;
}

// Each value as upper-case hex of at least two digits, in order.
QString formatSystemCode(const qv::SystemCode& code) {
    QString text;
    for (const uint16_t value : code) {
        text += QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

// A filter box's value for the board query: the text as a number when it is one.
QVariant filterValue(const QString& text) {
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    return ok ? QVariant(number) : QVariant(text);
}

// Whether a filter box names one value rather than its last, all-values entry.
bool filtering(const QComboBox* box) {
    return box && box->currentIndex() >= 0 && box->currentIndex() < box->count() - 1;
}

QAction* addEntry(QWidget* menu, QObject* owner, const QString& name, const QString& caption) {
    auto* action = new QAction(caption, owner);
    action->setObjectName(name);
    menu->addAction(action);
    return action;
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

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(3000);
    connect(Timer1, &QTimer::timeout, this, qv::slot(this, &TMainForm::Timer1Timer));
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(500);
    connect(Timer2, &QTimer::timeout, this, qv::slot(this, &TMainForm::Timer2Timer));

    Language1 = new TLanguage(this);
    qv::KeyPreview::install(this, [this](QKeyEvent* e) { return FormKeyDown(e); });

    resize(1024, 700);
    setWindowState(Qt::WindowMaximized);
    FormCreate();
    Timer1->start();
    Timer2->start();
    Room_ListView->setFocus();
}

TMainForm::~TMainForm() = default;

// --- Construction of the widgets -------------------------------------------

void TMainForm::createMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto menu = [&](const QString& name, const QString& title) {
        QMenu* m = bar->addMenu(title);
        m->setObjectName(name);
        return m;
    };
    auto entry = [this](QMenu* m, const QString& name, const QString& caption,
                        void (TMainForm::*handler)(), const QKeySequence& key = {}) {
        QAction* a = addEntry(m, this, name, caption);
        a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, qv::slot(this, handler));
        return a;
    };

    CardOperate = menu(QStringLiteral("CardOperate"), QStringLiteral("卡片操作"));
    EncodeCard_Menu = entry(CardOperate, QStringLiteral("EncodeCard_Menu"),
                            QStringLiteral("发行卡"), &TMainForm::EncodeCard_MenuClick);
    ReadCard_Menu = entry(CardOperate, QStringLiteral("ReadCard_Menu"), QStringLiteral("读卡"),
                          &TMainForm::ReadCard_MenuClick, Qt::Key_F4);
    ClearCard_Menu = entry(CardOperate, QStringLiteral("ClearCard_Menu"), QStringLiteral("注销卡"),
                           &TMainForm::ClearCard_MenuClick, Qt::Key_F5);
    ReadDataCard_Menu = entry(CardOperate, QStringLiteral("ReadDataCard_Menu"),
                              QStringLiteral("读采集卡/器"), &TMainForm::ReadDataCard_MenuClick);
    ReadDataCard_Menu->setEnabled(false);  // the encoder pairing decides
    CardOperate->addSeparator();
    CheckIn_Menu = entry(CardOperate, QStringLiteral("CheckIn_Menu"), QStringLiteral("开房"),
                         &TMainForm::CheckIn_MenuClick, Qt::Key_F1);
    CopyGuestCard_Menu = entry(CardOperate, QStringLiteral("CopyGuestCard_Menu"),
                               QStringLiteral("复制客人卡"), &TMainForm::CopyGuestCard_MenuClick);
    ClockRoom_Menu = entry(CardOperate, QStringLiteral("ClockRoom_Menu"), QStringLiteral("钟点房"),
                           &TMainForm::ClockRoom_MenuClick);
    ModifyGuestCard_Menu =
        entry(CardOperate, QStringLiteral("ModifyGuestCard_Menu"), QStringLiteral("续房"),
              &TMainForm::ModifyGuestCard_MenuClick, Qt::Key_F2);
    CheckOut_Menu = entry(CardOperate, QStringLiteral("CheckOut_Menu"), QStringLiteral("退房"),
                          &TMainForm::CheckOut_MenuClick, Qt::Key_F3);
    N1 = entry(CardOperate, QStringLiteral("N1"), QStringLiteral("退出"), &TMainForm::N1Click);
    N1->setVisible(false);

    N3 = menu(QStringLiteral("N3"), QStringLiteral("记录查询"));
    CheckOpenRecord_Menu =
        entry(N3, QStringLiteral("CheckOpenRecord_Menu"), QStringLiteral("查询开门记录"),
              &TMainForm::CheckOpenRecord_MenuClick);
    CheckMakeCardRecord_Menu =
        entry(N3, QStringLiteral("CheckMakeCardRecord_Menu"), QStringLiteral("查询发卡记录"),
              &TMainForm::CheckMakeCardRecord_MenuClick);
    CheckRoomStatus_Menu =
        entry(N3, QStringLiteral("CheckRoomStatus_Menu"), QStringLiteral("客房状态查询"),
              &TMainForm::CheckRoomStatus_MenuClick);
    A_SearchGuest = entry(N3, QStringLiteral("A_SearchGuest"), QStringLiteral("客人查询"),
                          &TMainForm::A_SearchGuestExecute);

    N5 = menu(QStringLiteral("N5"), QStringLiteral("操作员管理"));
    OperatorManage_Menu =
        entry(N5, QStringLiteral("OperatorManage_Menu"), QStringLiteral("操作员权限管理"),
              &TMainForm::OperatorManage_MenuClick);
    ChangePass_Menu = entry(N5, QStringLiteral("ChangePass_Menu"), QStringLiteral("修改口令"),
                            &TMainForm::ChangePass_MenuClick);

    N13 = menu(QStringLiteral("N13"), QStringLiteral("系统设置"));
    SystemSetting_Menu = entry(N13, QStringLiteral("SystemSetting_Menu"),
                               QStringLiteral("基本参数设置"), &TMainForm::SystemSetting_MenuClick);
    RoomType_Menu = entry(N13, QStringLiteral("RoomType_Menu"), QStringLiteral("客房类型"),
                          &TMainForm::RoomType_MenuClick);
    RoomSetting_Menu = entry(N13, QStringLiteral("RoomSetting_Menu"), QStringLiteral("房间设置"),
                             &TMainForm::RoomSetting_MenuClick);
    DistrictSetting_Menu = entry(N13, QStringLiteral("DistrictSetting_Menu"),
                                 QStringLiteral("区域设置"), &TMainForm::DistrictSetting_MenuClick);
    N13->addSeparator();
    N39 = entry(N13, QStringLiteral("N39"), QStringLiteral("数据备份"), &TMainForm::N39Click);
    N40 = entry(N13, QStringLiteral("N40"), QStringLiteral("数据恢复"), &TMainForm::N40Click);
    DataConn_Menu = entry(N13, QStringLiteral("DataConn_Menu"), QStringLiteral("数据库连接"),
                          &TMainForm::DataConn_MenuClick);

    N10 = menu(QStringLiteral("N10"), QStringLiteral("语言选项"));
    LanguageGroup = new QActionGroup(this);
    LanguageGroup->setExclusive(true);
    LanguageMenu = addEntry(N10, this, QStringLiteral("LanguageMenu"), QStringLiteral("默认语言"));
    LanguageMenu->setData(0);
    LanguageMenu->setCheckable(true);
    LanguageGroup->addAction(LanguageMenu);
    connect(LanguageGroup, &QActionGroup::triggered, this,
            [this](QAction* a) { qv::guarded([&] { LanguageMenuClick(a); }); });

    N14 = menu(QStringLiteral("N14"), QStringLiteral("帮助"));
    N35 = entry(N14, QStringLiteral("N35"), QStringLiteral("关于"), &TMainForm::N35Click);
    OprManual_Menu = entry(N14, QStringLiteral("OprManual_Menu"), QStringLiteral("操作说明"),
                           &TMainForm::OprManual_MenuClick);
    FAQ_Menu = entry(N14, QStringLiteral("FAQ_Menu"), QStringLiteral("常见故障分析"),
                     &TMainForm::FAQ_MenuClick);

    // Entries the operator's rights switch on (InitMenu); off until then.
    for (QAction* a :
         {CheckIn_Menu, ModifyGuestCard_Menu, ClockRoom_Menu, CheckOut_Menu, OperatorManage_Menu,
          SystemSetting_Menu, RoomType_Menu, RoomSetting_Menu, DistrictSetting_Menu}) {
        a->setEnabled(false);
    }
}

void TMainForm::createToolBar() {
    ToolBar1 = new QToolBar(QStringLiteral("工具栏"), this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setFixedHeight(73);
    ToolBar1->setIconSize(QSize(32, 32));
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    auto button = [this](const QString& name, const QString& caption,
                         QStyle::StandardPixmap picture, void (TMainForm::*handler)()) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(name);
        b->setText(caption);
        b->setIcon(style()->standardIcon(picture));
        b->setIconSize(QSize(32, 32));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        b->setFixedSize(73, 60);
        b->setFont(songTi(13));
        b->setFocusPolicy(Qt::NoFocus);  // the keys are F1 to F5; Tab stays on the board
        connect(b, &QToolButton::clicked, this, qv::slot(this, handler));
        ToolBar1->addWidget(b);
        return b;
    };
    CheckIn_SB = button(QStringLiteral("CheckIn_SB"), QStringLiteral("开房[F1]"),
                        QStyle::SP_DialogApplyButton, &TMainForm::CheckIn_MenuClick);
    GuestContinueIn2_SpeedButton =
        button(QStringLiteral("GuestContinueIn2_SpeedButton"), QStringLiteral("续房[F2]"),
               QStyle::SP_BrowserReload, &TMainForm::ModifyGuestCard_MenuClick);
    CheckOut2_SB = button(QStringLiteral("CheckOut2_SB"), QStringLiteral("退房[F3]"),
                          QStyle::SP_ArrowBack, &TMainForm::CheckOut_MenuClick);
    ReadCard2_SpeedButton =
        button(QStringLiteral("ReadCard2_SpeedButton"), QStringLiteral("读卡[F4]"),
               QStyle::SP_FileDialogContentsView, &TMainForm::ReadCard_MenuClick);
    ClearCard2_SpeedButton =
        button(QStringLiteral("ClearCard2_SpeedButton"), QStringLiteral("注销卡[F5]"),
               QStyle::SP_DialogDiscardButton, &TMainForm::ClearCard_MenuClick);
    QuitSystem_SpeedBt = button(QStringLiteral("QuitSystem_SpeedBt"), QStringLiteral("退出"),
                                QStyle::SP_DialogCloseButton, &TMainForm::A_SysExitExecute);
    for (QToolButton* b : {CheckIn_SB, GuestContinueIn2_SpeedButton, CheckOut2_SB}) {
        b->setEnabled(false);  // rights decide (InitMenu)
    }
}

void TMainForm::createBoard() {
    RoomBoard = new TRoomBoardModel(this);

    Room_ListView = new QListView;
    Room_ListView->setObjectName(QStringLiteral("Room_ListView"));
    Room_ListView->setModel(RoomBoard);
    Room_ListView->setFont(songTi(12));
    Room_ListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Room_ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    Room_ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Room_ListView->setUniformItemSizes(true);
    Room_ListView->setLayoutMode(QListView::SinglePass);
    Room_ListView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Room_ListView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { showBoardMenu(Room_ListView, pos); });

    RoomDetails_ListView = new QTreeView;
    RoomDetails_ListView->setObjectName(QStringLiteral("RoomDetails_ListView"));
    RoomDetails_ListView->setModel(RoomBoard);
    RoomDetails_ListView->setSelectionModel(Room_ListView->selectionModel());
    RoomDetails_ListView->setFont(songTi(12));
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

    // The pop-up menu of the board.
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto entry = [this](const QString& name, const QString& caption, void (TMainForm::*handler)()) {
        QAction* a = addEntry(PopupMenu1, this, name, caption);
        connect(a, &QAction::triggered, this, qv::slot(this, handler));
        return a;
    };
    PopupMenu1->addSeparator();
    CheckIn_MfPopMenu = entry(QStringLiteral("CheckIn_MfPopMenu"), QStringLiteral("开房"),
                              &TMainForm::CheckIn_MfPopMenuClick);
    CheckIn_MfPopMenu->setEnabled(false);  // rights decide (InitMenu)
    mi_CopyCard = entry(QStringLiteral("mi_CopyCard"), QStringLiteral("复制客人卡"),
                        &TMainForm::mi_CopyCardClick);
    PopupMenu1->addSeparator();
    mi_GuestLeave = entry(QStringLiteral("mi_GuestLeave"), QStringLiteral("宾客退房"),
                          &TMainForm::mi_GuestLeaveClick);
    mi_GuestLeave->setEnabled(false);
    PopupMenu1->addSeparator();
    Refresh_MfPopMenu = entry(QStringLiteral("Refresh_MfPopMenu"), QStringLiteral("刷新"),
                              &TMainForm::Refresh_MfPopMenuClick);
    Refresh_MfPopMenu->setVisible(false);  // the status bar's button refreshes
    ViewGroup = new QActionGroup(this);
    ViewGroup->setExclusive(true);
    RoomInfoLvs_MfPopMenu = entry(QStringLiteral("RoomInfoLvs_MfPopMenu"), QStringLiteral("大图标"),
                                  &TMainForm::RoomInfoLvs_MfPopMenuClick);
    N6 = entry(QStringLiteral("N6"), QStringLiteral("小图标"), &TMainForm::N6Click);
    objectN3TMenuItem1 = entry(QStringLiteral("objectN3TMenuItem1"), QStringLiteral("列表"),
                               &TMainForm::objectN3TMenuItem1Click);
    N7 = entry(QStringLiteral("N7"), QStringLiteral("详细列表"), &TMainForm::N7Click);
    int tag = 0;
    for (QAction* a : {RoomInfoLvs_MfPopMenu, N6, objectN3TMenuItem1, N7}) {
        a->setData(tag++);
        a->setCheckable(true);
        ViewGroup->addAction(a);
    }
    connect(PopupMenu1, &QMenu::aboutToShow, this, qv::slot(this, &TMainForm::PopupMenu1Popup));
    setBoardView(0);
}

void TMainForm::createStatusBar() {
    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
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
}

// --- Creation ---------------------------------------------------------------

void TMainForm::FormCreate() {
    Language1->SetLanguageID(LockSystemInfo.LanguageID);
    panels_[4]->setText(kVersionTitle);
    panels_[5]->setText(Language1->AppVersion().GetVersionString(QStringLiteral("CompanyName")));
    panels_[6]->setText(QLatin1Char(' ') + LockSystemInfo.StafferName);
    qv::guarded([this] { LanguageSelectMenu(N10); });
    if (LockSystemInfo.Loaded) {
        Language1->Translate();
    }
    qv::guarded([this] { InitializeForm(); });
    LoadICon();
    SetRoom_LV();
    PopedomSet();
    qv::guarded([this] {
        const int commProt = qv::IniFile(qv::AppPaths::iniFile())
                                 .readInteger(settings::Config, QStringLiteral("CommProt"), 0);
        const int16_t opened = qv::Encoder::instance().openPort(commProt + 1);
        if (opened == QV_ENC_OK) {
            EncoderRegister();
        } else {
            qv::messageBox(QString::number(opened), kNoEncoder, qv::Icon::Information);
        }
    });
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
    Refresh_Bt->setText(Language1->GetVariable(kRefreshText, kRefreshDefault));

    auto fill = [](QComboBox* box, int kind, const QString& all) {
        const QSignalBlocker quiet(box);  // filling is not a change of the operator's
        box->clear();
        QStringList values;
        dm->GetDataTypeItems(kind, values, QString());
        box->addItems(values);
        box->addItem(all);
        box->setCurrentIndex(box->count() - 1);
        box->setMinimumWidth(std::max(50, box->sizeHint().width()));  // never clipped by the panels
    };
    fill(Building_CB, 4, Language1->GetVariable(kAllBuildingsText, kAllBuildingsDefault));
    fill(Floor_CB, 5, Language1->GetVariable(kAllFloorsText, kAllFloorsDefault));
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

QString TMainForm::BoardQueryText(bool byBuilding, bool byFloor) {
    // The rooms with their state, each joined with its current stays (a room
    // with two current stays gives two items). The current stays are read
    // through the partial index on enOverride = 0, at the cost of the current
    // stays and not of the whole history.
    QString sql = QStringLiteral(
        "select I.RoomStr, I.Buiding, I.Floor, I.District, I.RoomTypeStr, T.Size, S.State_Title, "
        "S.ID,\n"
        "  G.Rom, G.GuestName, G.GuestID, G.GuestInTime, G.GuestLeaveTime, G.LeaveTime, "
        "G.InputUser,\n"
        "  G.InputTime, G.ID\n"
        "from RoomInfo I\n"
        "join RoomStateType S on S.ID = I.RoomState\n"
        "left join RoomType T on T.ID = I.RoomType\n"
        "left join GuestInRecord G on G.Room = I.Room and G.enOverride = 0\n");
    QStringList conditions;
    if (byBuilding) {
        conditions << QStringLiteral("I.Buiding = :building");
    }
    if (byFloor) {
        conditions << QStringLiteral("I.Floor = :floor");
    }
    if (!conditions.isEmpty()) {
        sql +=
            QStringLiteral("where ") + conditions.join(QStringLiteral(" and ")) + QLatin1Char('\n');
    }
    sql += QStringLiteral("order by I.Buiding, I.Floor, I.Room, G.ID");
    return sql;
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

    qv::Binds binds;
    const bool byBuilding = filtering(Building_CB);
    const bool byFloor = filtering(Floor_CB);
    if (byBuilding) {
        binds.insert(QStringLiteral(":building"), filterValue(Building_CB->currentText()));
    }
    if (byFloor) {
        binds.insert(QStringLiteral(":floor"), filterValue(Floor_CB->currentText()));
    }
    const QString sql = BoardQueryText(byBuilding, byFloor);

    std::vector<TRoomBoardItem> items;
    try {
        if (!dm) {
            throw qv::DbError(QStringLiteral("数据库连接未打开。"));
        }
        QSqlQuery q = dm->conn.run(sql, binds);
        constexpr int kStateId = 7;
        constexpr int kGuestInTime = 11;  // a current stay with a start marks the room occupied
        constexpr int kStayId = 16;
        while (q.next()) {
            TRoomBoardItem& item = items.emplace_back();
            for (int c = 0; c < 7; ++c) {
                item.text[static_cast<std::size_t>(c)] = qv::DataSet::displayText(q.value(c));
            }
            for (int c = 8; c < kStayId; ++c) {
                item.text[static_cast<std::size_t>(c - 1)] = qv::DataSet::displayText(q.value(c));
            }
            item.picture = TRoomBoardItem::pictureFor(q.value(kStateId).toInt(),
                                                      !q.value(kGuestInTime).isNull());
        }
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
    panels_[6]->setText(LockSystemInfo.StafferName);
}

void TMainForm::EncoderRegister() {
    qv::Encoder& encoder = qv::Encoder::instance();
    qv::ParameterBlock block;
    encoder.getParameter(block);
    EncoderType = static_cast<int16_t>(block[0]);
    if (EncoderType == kDataCollector) {
        ReadDataCard_Menu->setEnabled(true);
        return;
    }
    if (EncoderType == kIcCardLocks) {
        ReadDataCard_Menu->setEnabled(true);
    }

    qv::SystemCode code{};
    if (!LockSystemInfo.Pass.isEmpty()) {
        // A later start: the encoder must answer to the hotel's code.
        if (!parseSystemCode(LockSystemInfo.Pass.trimmed(), code)) {
            qv::messageBox(
                QStringLiteral("提示"),
                QStringLiteral("配置文件 Mirefold.ini 中 [SystemInfo] Pass 保存的系统编号“%1”无效"
                               "（应为 8 位十六进制数字），发卡机未能初始化。\n"
                               "请改正或删除这个值后重新启动程序。")
                    .arg(LockSystemInfo.Pass),
                qv::Icon::Error);
            return;
        }
        const int16_t result = encoder.systemInitialization(code);
        if (result == QV_ENC_FOREIGN_SYSTEM) {
            qv::showMessage(kForeignEncoder);
            qv::requestTerminate();
        }
        if (result != QV_ENC_OK) {
            ShowLockMsg(result);
        }
        return;
    }
    // The first start: the encoder's code becomes the hotel's.
    const int16_t result = encoder.readSystemPas(code);
    if (result != QV_ENC_OK) {
        ShowLockMsg(result);
        return;
    }
    const QString text = formatSystemCode(code);
    qv::showMessage(text);
    LockSystemInfo.Pass = text;
    qv::IniFile(qv::AppPaths::iniFile())
        .writeString(settings::SystemInfo, QStringLiteral("Pass"), text);
}

void TMainForm::InitMenu() {
    qv::DataSet& op = dm->Operator_ado;
    struct Restore {
        qv::DataSet& op;
        ~Restore() {
            op.close();
            op.clearFilter();
        }
    } restore{op};
    op.close();
    op.setFilter({{QStringLiteral("Staffer"), LockSystemInfo.Staffer}});
    op.open();
    if (op.isEmpty()) {
        qv::requestTerminate();
        return;
    }
    auto right = [&op](const char* column) { return op.asInteger(QLatin1String(column)) != 0; };
    const bool checkIn = right("CheckIn");
    for (QAction* a : {CheckIn_Menu, CheckIn_MfPopMenu, ModifyGuestCard_Menu, ClockRoom_Menu}) {
        a->setEnabled(checkIn);
    }
    GuestContinueIn2_SpeedButton->setEnabled(checkIn);
    CheckIn_SB->setEnabled(checkIn);
    CheckInRight = checkIn;
    const bool checkOut = right("CheckOut");
    CheckOut_Menu->setEnabled(checkOut);
    CheckOut2_SB->setEnabled(checkOut);
    OperatorManage_Menu->setEnabled(right("OperatorManage"));
    SystemSetting_Menu->setEnabled(right("SystemInfo"));
    RoomType_Menu->setEnabled(right("RoomType"));
    RoomSetting_Menu->setEnabled(right("RoomInfo"));
    DistrictSetting_Menu->setEnabled(right("DistrictInfo"));
    if (EncoderType == kIcCardLocks) {
        ReadDataCard_Menu->setEnabled(right("DataCard"));
    }
}

void TMainForm::LanguageSelectMenu(QMenu* parent) {
    const QStringList ids = Language1->GetLanguageList();
    const QString current = QString::number(LockSystemInfo.LanguageID);
    for (int i = 0; i < ids.size(); ++i) {
        // Run-time entries carry no component name: the store does not keep them.
        auto* a = new QAction(qv::languageDisplayName(ids[i].toInt()), this);
        a->setData(i + 1);
        a->setCheckable(true);
        a->setChecked(ids[i] == current);
        LanguageGroup->addAction(a);
        parent->addAction(a);
    }
}

void TMainForm::LanguageMenuClick(QAction* sender) {
    if (!sender) {
        return;
    }
    const int tag = sender->data().toInt();
    int id = 0;
    if (tag == 0) {
        id = qv::defaultLanguageId();
    } else {
        const QStringList ids = Language1->GetLanguageList();
        if (tag - 1 >= ids.size()) {
            return;  // the store changed since the menu was built
        }
        id = ids[tag - 1].toInt();
    }
    Language1->SetLanguageID(id);
    LockSystemInfo.LanguageID = id;
    Language1->Translate();
    Refresh_Bt->setText(Language1->GetVariable(kRefreshText, kRefreshDefault));
    // The all-entries of the filter boxes follow the language too.
    if (Building_CB->count() > 0) {
        Building_CB->setItemText(Building_CB->count() - 1,
                                 Language1->GetVariable(kAllBuildingsText, kAllBuildingsDefault));
    }
    if (Floor_CB->count() > 0) {
        Floor_CB->setItemText(Floor_CB->count() - 1,
                              Language1->GetVariable(kAllFloorsText, kAllFloorsDefault));
    }
    if (id > 0) {
        qv::IniFile(qv::AppPaths::iniFile())
            .writeInteger(settings::SystemInfo, QStringLiteral("LanguageID"), id);
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
    if (CardBusy) {
        CardBusy = false;
    }
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

void TMainForm::PopupMenu1Popup() {
    const std::vector<int> rows = selectedRows();
    if (!CheckInRight || rows.empty()) {
        return;
    }
    CheckIn_MfPopMenu->setEnabled(true);
    mi_GuestLeave->setEnabled(RoomBoard->item(rows.front()).picture == TRoomBoardItem::GuestIn);
}

void TMainForm::CheckIn_MfPopMenuClick() {
    const QString room = firstSelectedRoom();
    if (room.isEmpty()) {
        return;
    }
    ShowModalForm<TGuestQuickIn_Form>(
        [&](TGuestQuickIn_Form& form) { form.se_Room1->setText(room); });
}

void TMainForm::mi_CopyCardClick() {
    const QString room = firstSelectedRoom();
    if (room.isEmpty()) {
        return;
    }
    ShowModalForm<TCopyGuestCard_Form>(
        [&](TCopyGuestCard_Form& form) { form.se_Room1->setText(room); });
}

void TMainForm::mi_GuestLeaveClick() {
    const QStringList rooms = selectedRooms();
    if (rooms.isEmpty()) {
        return;
    }
    int ended = 0;
    try {
        for (const QString& room : rooms) {
            // The room's first current stay (a room holding two has a second
            // item on the board, which ends the next one); a room without
            // one is passed over.
            ended += CheckOutRoom(room) ? 1 : 0;
        }
    } catch (...) {
        if (ended > 0) {
            RoomBoardChanged = true;  // the stays ended before the error show on the next tick
        }
        throw;
    }
    if (ended > 0) {
        SetRoom_LV();
    }
}

// --- Menu bar and tool bar --------------------------------------------------

void TMainForm::EncodeCard_MenuClick() {
    ShowModalForm<TMakeCard_Form>([](TMakeCard_Form& form) {
        form.PageControl1->setCurrentIndex(TMakeCard_Form::FloorPage);
    });
}

void TMainForm::ReadCard_MenuClick() {
    ShowModalForm<TCheckCardForm>([](TCheckCardForm& form) { form.Register_Bt->hide(); });
}

void TMainForm::ClearCard_MenuClick() {
    ShowModalForm<TCheckCardForm>();
}

void TMainForm::ReadDataCard_MenuClick() {
    // Opens TReadDataCard_Form.
}

void TMainForm::CheckIn_MenuClick() {
    ShowModalForm<TGuestQuickIn_Form>();
}

void TMainForm::CopyGuestCard_MenuClick() {
    ShowModalForm<TCopyGuestCard_Form>();
}

void TMainForm::ClockRoom_MenuClick() {
    // Opens TClockRoom_Form.
}

void TMainForm::ModifyGuestCard_MenuClick() {
    // Opens TModifyGuestCard_Form.
}

void TMainForm::CheckOut_MenuClick() {
    ShowModalForm<TGuestLeave_Form>();
}

void TMainForm::N1Click() {
    close();
}

void TMainForm::CheckOpenRecord_MenuClick() {
    // Opens TOpenDoorRecord_Form.
}

void TMainForm::CheckMakeCardRecord_MenuClick() {
    // Opens TMC_R_From.
}

void TMainForm::CheckRoomStatus_MenuClick() {
    ShowModalForm<TRoomList_Form>();
}

void TMainForm::A_SearchGuestExecute() {
    // Opens TCheckGuestInRecord_Form.
}

void TMainForm::OperatorManage_MenuClick() {
    // Opens TOperator_Form.
}

void TMainForm::ChangePass_MenuClick() {
    // Opens TChangePassword_Form.
}

void TMainForm::SystemSetting_MenuClick() {
    // Opens TSystemInfo_Form.
}

void TMainForm::RoomType_MenuClick() {
    // Opens TRoomType_Form.
}

void TMainForm::RoomSetting_MenuClick() {
    // Opens TRoomInfo_Form.
}

void TMainForm::DistrictSetting_MenuClick() {
    // Opens TDistrictSetting_Form.
}

void TMainForm::N39Click() {
    // Backs up the database (backup and restore).
}

void TMainForm::N40Click() {
    // Restores the database (backup and restore).
}

void TMainForm::DataConn_MenuClick() {
    // Opens TCdForm.
}

void TMainForm::N35Click() {
    ShowModalForm<TAboutForm>();
}

void TMainForm::openHelp(const QString& fileName) {
    // Whatever the desktop does with the document (also when it is missing).
    qv::openDocument(QUrl::fromLocalFile(qv::AppPaths::file(fileName)));
}

void TMainForm::OprManual_MenuClick() {
    openHelp(QStringLiteral("Operating.htm"));
}
void TMainForm::FAQ_MenuClick() {
    openHelp(QStringLiteral("Manual.htm"));
}

void TMainForm::A_SysExitExecute() {
    close();
}

bool TMainForm::FormKeyDown(QKeyEvent* event) {
    return CaptureModeKeyDown(this, Language1, event);
}
