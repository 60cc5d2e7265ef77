// The main window's menus, tool bar and pop-up menu, the operator's rights on
// them, and the handlers of their entries: each entry's handler is the one
// place that opens the entry's window.
#include "main/Main.h"

#include "card/EncoderPairing.h"
#include "cards/CheckCard_Unit.h"
#include "cards/MakeCard_Unit.h"
#include "cards/OpenDoorRecord_Unit.h"
#include "cards/ReadDataCard_Unit.h"
#include "data/DataSet.h"
#include "data/Session.h"
#include "data/dm_unit.h"
#include "language/Language.h"
#include "layout/DistrictSetting_Unit.h"
#include "layout/RoomInfo_Unit.h"
#include "layout/RoomType_Unit.h"
#include "main/About_Unit.h"
#include "main/Help_Unit.h"
#include "main/OpenDocument.h"
#include "maintenance/BackupRestore.h"
#include "maintenance/Cd_Unit.h"
#include "maintenance/SystemInfo_Unit.h"
#include "operators/ChangePassword_Unit.h"
#include "operators/Operator_Unit.h"
#include "platform/AppPaths.h"
#include "platform/Application.h"
#include "platform/Dialogs.h"
#include "platform/Fonts.h"
#include "platform/Guard.h"
#include "platform/IniFile.h"
#include "platform/LanguageIds.h"
#include "platform/Named.h"
#include "platform/ProgramText.h"
#include "records/CheckGuestInRecord_Unit.h"
#include "records/MC_R_Unit.h"
#include "records/OperationLog_Unit.h"
#include "records/RoomList_Unit.h"
#include "settings/Settings.h"
#include "stays/ClockRoom_Unit.h"
#include "stays/CopyGuestCard_Unit.h"
#include "stays/GuestLeave_Unit.h"
#include "stays/GuestQuickIn_Unit.h"
#include "stays/ModifyGuestCard_Unit.h"

#include <QActionGroup>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

// --- Construction of the menus, tool bar and pop-up menu --------------------

void TMainForm::connectEntry(QObject* entry, Handler handler) {
    if (auto* action = qobject_cast<QAction*>(entry)) {
        connect(action, &QAction::triggered, this, qv::slot(this, handler));
    } else if (auto* button = qobject_cast<QToolButton*>(entry)) {
        connect(button, &QToolButton::clicked, this, qv::slot(this, handler));
    }
}

void TMainForm::createMenus() {
    auto* bar = qv::make<QMenuBar>(QStringLiteral("MainMenu1"), this);
    setMenuBar(bar);
    auto menu = [bar](const QString& name, const QString& title) {
        auto* m = qv::make<QMenu>(name, title, bar);
        bar->addMenu(m);
        return m;
    };
    auto entry = [this](QMenu* m, const QString& name, const QString& caption, Handler handler,
                        const QKeySequence& key = {}) {
        auto* a = qv::make<QAction>(name, caption, this);
        a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
        m->addAction(a);
        connectEntry(a, handler);
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
    OperationLog_Menu = entry(N3, QStringLiteral("OperationLog_Menu"), QStringLiteral("操作日志"),
                              &TMainForm::OperationLog_MenuClick);

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
    LanguageMenu =
        qv::make<QAction>(QStringLiteral("LanguageMenu"), QStringLiteral("默认语言"), this);
    LanguageMenu->setData(0);
    LanguageMenu->setCheckable(true);
    N10->addAction(LanguageMenu);
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
         {CheckIn_Menu, CopyGuestCard_Menu, ModifyGuestCard_Menu, ClockRoom_Menu, CheckOut_Menu,
          OperatorManage_Menu, SystemSetting_Menu, RoomType_Menu, RoomSetting_Menu,
          DistrictSetting_Menu, N39, N40, DataConn_Menu, OperationLog_Menu}) {
        a->setEnabled(false);
    }
}

void TMainForm::createToolBar() {
    ToolBar1 = qv::make<QToolBar>(QStringLiteral("ToolBar1"), QStringLiteral("工具栏"), this);
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setFixedHeight(73);
    ToolBar1->setIconSize(QSize(32, 32));
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    auto button = [this](const QString& name, const QString& caption,
                         QStyle::StandardPixmap picture, Handler handler) {
        auto* b = qv::make<QToolButton>(name, ToolBar1);
        b->setText(caption);
        b->setIcon(style()->standardIcon(picture));
        b->setIconSize(QSize(32, 32));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        b->setFixedSize(73, 60);
        b->setFont(qv::songTi(13));
        b->setFocusPolicy(Qt::NoFocus);  // the keys are F1 to F5; Tab stays on the board
        connectEntry(b, handler);
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

void TMainForm::createBoardMenu() {
    PopupMenu1 = qv::make<QMenu>(QStringLiteral("PopupMenu1"), this);
    PopupMenu1->setToolTipsVisible(true);
    auto entry = [this](const QString& name, const QString& caption, Handler handler) {
        auto* a = qv::make<QAction>(name, caption, this);
        PopupMenu1->addAction(a);
        connectEntry(a, handler);
        return a;
    };
    PopupMenu1->addSeparator();
    CheckIn_MfPopMenu = entry(QStringLiteral("CheckIn_MfPopMenu"), QStringLiteral("开房"),
                              &TMainForm::CheckIn_MfPopMenuClick);
    CheckIn_MfPopMenu->setEnabled(false);  // rights decide (InitMenu)
    mi_CopyCard = entry(QStringLiteral("mi_CopyCard"), QStringLiteral("复制客人卡"),
                        &TMainForm::mi_CopyCardClick);
    mi_CopyCard->setEnabled(false);  // rights decide (InitMenu)
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
}

void TMainForm::allow(QObject* entry, bool right) {
    entry->setProperty("enabled", right);
}

// --- Rights and languages ---------------------------------------------------

void TMainForm::InitMenu() {
    const std::optional<qv::OperatorRightValues> rights = qv::session().rights();
    if (!rights) {
        qv::requestTerminate();  // the logged-on operator has no row any more
        return;
    }
    auto right = [&rights](const char* column) { return qv::rightValue(*rights, column); };
    const bool checkIn = right("CheckIn");
    // A copied guest card opens the room as a new one does: the same right.
    for (QObject* e : std::initializer_list<QObject*>{
             CheckIn_Menu, CheckIn_MfPopMenu, CopyGuestCard_Menu, mi_CopyCard, ModifyGuestCard_Menu,
             ClockRoom_Menu, GuestContinueIn2_SpeedButton, CheckIn_SB}) {
        allow(e, checkIn);
    }
    CheckInRight = checkIn;
    const bool checkOut = right("CheckOut");
    allow(CheckOut_Menu, checkOut);
    allow(CheckOut2_SB, checkOut);
    allow(OperatorManage_Menu, right("OperatorManage"));
    // Backup, restore and the connection replace or move the hotel's whole
    // database: they need the settings right too.
    for (QObject* e :
         std::initializer_list<QObject*>{SystemSetting_Menu, N39, N40, DataConn_Menu}) {
        allow(e, right("SystemInfo"));
    }
    allow(OperationLog_Menu, right("SystemInfo"));
    allow(RoomType_Menu, right("RoomType"));
    allow(RoomSetting_Menu, right("RoomInfo"));
    allow(DistrictSetting_Menu, right("DistrictInfo"));
    if (EncoderType == qv::IcCardLocksKind) {
        allow(ReadDataCard_Menu, right("DataCard"));
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
        // The program's own texts: Translate puts them back where another
        // language had replaced them.
        id = qv::kBuiltInLanguageId;
    } else {
        const QStringList ids = Language1->GetLanguageList();
        if (tag - 1 >= ids.size()) {
            return;  // the store changed since the menu was built
        }
        id = ids[tag - 1].toInt();
    }
    Language1->SetLanguageID(id);
    LockSystemInfo.LanguageID = id;
    qv::language::loadProgramTexts(id);
    Language1->Translate();
    showLanguageTexts();
    if (id > 0) {
        qv::IniFile(qv::AppPaths::iniFile())
            .writeInteger(settings::SystemInfo, QStringLiteral("LanguageID"), id);
    }
}

// --- Pop-up menu of the board -----------------------------------------------

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

// --- The windows of the entries ---------------------------------------------
//
// One handler per entry: it opens the entry's window modally.

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
    ShowModalForm<TReadDataCard_Form>();
}

void TMainForm::CheckIn_MenuClick() {
    ShowModalForm<TGuestQuickIn_Form>();
}

void TMainForm::CopyGuestCard_MenuClick() {
    ShowModalForm<TCopyGuestCard_Form>();
}

void TMainForm::ClockRoom_MenuClick() {
    ShowModalForm<TClockRoom_Form>();
}

void TMainForm::ModifyGuestCard_MenuClick() {
    ShowModalForm<TModifyGuestCard_Form>();
}

void TMainForm::CheckOut_MenuClick() {
    ShowModalForm<TGuestLeave_Form>();
}

void TMainForm::N1Click() {
    close();
}

void TMainForm::CheckOpenRecord_MenuClick() {
    ShowModalForm<TOpenDoorRecord_Form>();
}

void TMainForm::CheckMakeCardRecord_MenuClick() {
    ShowModalForm<TMC_R_From>();
}

void TMainForm::CheckRoomStatus_MenuClick() {
    ShowModalForm<TRoomList_Form>();
}

void TMainForm::A_SearchGuestExecute() {
    ShowModalForm<TCheckGuestInRecord_Form>();
}

void TMainForm::OperationLog_MenuClick() {
    // The right as it is now: it may have been taken away at another desk.
    if (!qv::session().hasRight(QStringLiteral("SystemInfo"))) {
        InitMenu();
        return;
    }
    ShowModalForm<TOperationLog_Form>();
}

void TMainForm::OperatorManage_MenuClick() {
    ShowModalForm<TOperator_Form>();
}

void TMainForm::ChangePass_MenuClick() {
    ShowModalForm<TChangePassword_Form>();
}

void TMainForm::SystemSetting_MenuClick() {
    ShowModalForm<TSystemInfo_Form>();
}

void TMainForm::RoomType_MenuClick() {
    ShowModalForm<TRoomType_Form>();
}

void TMainForm::RoomSetting_MenuClick() {
    ShowModalForm<TRoomInfo_Form>();
}

void TMainForm::DistrictSetting_MenuClick() {
    ShowModalForm<TDistrictSetting_Form>();
}

void TMainForm::N39Click() {
    BackupDatabaseFromMenu(this, [this](int index, const QString& text) {
        return Language1->GetVariable(index, text);
    });
}

void TMainForm::N40Click() {
    RestoreDatabaseFromMenu(this, [this](int index, const QString& text) {
        return Language1->GetVariable(index, text);
    });
}

void TMainForm::DataConn_MenuClick() {
    ShowModalForm<TCdForm>();
}

void TMainForm::N35Click() {
    ShowModalForm<TAboutForm>();
}

void TMainForm::openHelp(const QString& fileName) {
    const QString path = qv::AppPaths::file(fileName);
    if (!QFileInfo(path).isFile()) {
        qv::showError(qv::programText(QStringLiteral("找不到帮助文件 %1。")).arg(path));
        return;
    }
    // The desktop's program for the document; when there is none (no
    // browser set up), the program's own help window.
    QPointer<TMainForm> self(this);
    qv::openDocument(QUrl::fromLocalFile(path), [self, path] {
        if (self) {
            THelp_Form::showDocument(path, self);
        }
    });
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
