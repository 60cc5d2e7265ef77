#pragma once

#include "data/ChangeFeed.h"
#include "main/RoomBoardModel.h"

#include <QElapsedTimer>

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <array>
#include <functional>
#include <utility>
#include <vector>

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QListView;
class QMenu;
class QPushButton;
class QStackedWidget;
class QStatusBar;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeView;
class TLanguage;

// The main window: the room board with its filters, status bar and timers
// (Main.cpp), and the menus, tool bar, pop-up menu and function keys that
// open every other window, with the operator's rights on them (MainMenus.cpp).
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // Builds the window and runs its whole creation (FormCreate).
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // --- Room board -------------------------------------------------------
    TRoomBoardModel* RoomBoard;       // the items of the board
    QStackedWidget* RoomViews;        // icon views or the detail view
    QListView* Room_ListView;         // large icons, small icons, list
    QTreeView* RoomDetails_ListView;  // the detail view (same items and selection)
    std::array<QIcon, TRoomBoardItem::PictureCount> Room_ImageList;
    QStatusBar* StatusBar1;
    QTimer* Timer1;  // 3000 ms: rebuilds the board when RoomBoardChanged is set
    QTimer* Timer2;  // 500 ms: frees the card latch (qv::CardOperation)
    // Rebuilds the board soon after the desk's change feed told of a change of
    // rooms, stays or room states made anywhere; a burst of changes is
    // gathered into a few rebuilds (kFeedGatherMs apart at least).
    QTimer* BoardFeed_Timer;
    static constexpr int kFeedFirstMs = 40;    // the wait after a quiet spell
    static constexpr int kFeedGatherMs = 400;  // the least time between two rebuilds
    // The state of the link to the database server, beside the other panels;
    // hidden while there is nothing to say.
    QLabel* Link_Label;
    // The desk station ([Interface] Encoder=N; null without it) and its bar
    // above the board.
    class TDeskStation* Station = nullptr;
    class QFrame* Station_Bar;
    QLabel* Station_Label;
    TLanguage* Language1;
    // Run-time controls on the status bar (panels 0 to 2). They carry no
    // component names: the language store leaves their texts and lists alone.
    QPushButton* Refresh_Bt = nullptr;
    QComboBox* Building_CB = nullptr;
    QComboBox* Floor_CB = nullptr;

    // --- Menu bar ---------------------------------------------------------
    QMenu* CardOperate;
    QAction* EncodeCard_Menu;
    QAction* ReadCard_Menu;
    QAction* ClearCard_Menu;
    QAction* ReadDataCard_Menu;
    QAction* CheckIn_Menu;
    QAction* CopyGuestCard_Menu;
    QAction* ClockRoom_Menu;
    QAction* ModifyGuestCard_Menu;
    QAction* CheckOut_Menu;
    QAction* N1;
    QMenu* N3;
    QAction* CheckOpenRecord_Menu;
    QAction* CheckMakeCardRecord_Menu;
    QAction* CheckRoomStatus_Menu;
    QAction* A_SearchGuest;
    QAction* OperationLog_Menu;  // "操作日志", with the SystemInfo right
    QMenu* N5;
    QAction* OperatorManage_Menu;
    QAction* ChangePass_Menu;
    QMenu* N13;
    QAction* SystemSetting_Menu;
    QAction* RoomType_Menu;
    QAction* RoomSetting_Menu;
    QAction* DistrictSetting_Menu;
    QAction* N39;
    QAction* N40;
    QAction* DataConn_Menu;
    QMenu* N10;  // language options
    QAction* LanguageMenu;
    QActionGroup* LanguageGroup;
    QMenu* N14;
    QAction* N35;
    QAction* OprManual_Menu;
    QAction* FAQ_Menu;

    // --- Tool bar ---------------------------------------------------------
    QToolBar* ToolBar1;
    QToolButton* CheckIn_SB;
    QToolButton* GuestContinueIn2_SpeedButton;
    QToolButton* CheckOut2_SB;
    QToolButton* ReadCard2_SpeedButton;
    QToolButton* ClearCard2_SpeedButton;
    QToolButton* QuitSystem_SpeedBt;

    // --- Pop-up menu of the board -----------------------------------------
    QMenu* PopupMenu1;
    QAction* CheckIn_MfPopMenu;
    QAction* mi_CopyCard;
    QAction* mi_GuestLeave;
    QAction* Refresh_MfPopMenu;
    QAction* RoomInfoLvs_MfPopMenu;  // large icons (tag 0)
    QAction* N6;                     // small icons (tag 1)
    QAction* objectN3TMenuItem1;     // list (tag 2)
    QAction* N7;                     // details (tag 3)
    QActionGroup* ViewGroup;

    // The text of status-bar panel 0 to 7 (the controls' panels are empty).
    QString panelText(int panel) const;
    // The selected rooms' codes, in board order; the first of them.
    QStringList selectedRooms() const;
    QString firstSelectedRoom() const;
    // Rows of the selected items, ascending.
    std::vector<int> selectedRows() const;

    // Creation (FormCreate) and its steps.
    void FormCreate();
    void InitializeForm();
    void LoadICon();
    // Rebuilds the board from the database with the filters of the boxes.
    // A database error is shown, leaves the board empty and keeps
    // RoomBoardChanged set, so that the next tick of Timer1 tries again;
    // false then. `retry` marks the timer's attempts, which do not show the
    // same error again.
    bool SetRoom_LV(bool retry = false);
    void PopedomSet();
    void EncoderRegister();
    void InitMenu();
    void LanguageSelectMenu(QMenu* parent);
    void LanguageMenuClick(QAction* sender);

    // Handlers.
    void Refresh_MfPopMenuClick();
    void Timer1Timer();
    void Timer2Timer();
    void BoardFeed_TimerTimer();
    void RoomInfoLvs_MfPopMenuClick();
    void N6Click();
    void objectN3TMenuItem1Click();
    void N7Click();
    void PopupMenu1Popup();
    void CheckIn_MfPopMenuClick();
    void mi_CopyCardClick();
    void mi_GuestLeaveClick();

    void EncodeCard_MenuClick();
    void ReadCard_MenuClick();
    void ClearCard_MenuClick();
    void ReadDataCard_MenuClick();
    void CheckIn_MenuClick();
    void CopyGuestCard_MenuClick();
    void ClockRoom_MenuClick();
    void ModifyGuestCard_MenuClick();
    void CheckOut_MenuClick();
    void N1Click();
    void CheckOpenRecord_MenuClick();
    void CheckMakeCardRecord_MenuClick();
    void CheckRoomStatus_MenuClick();
    void A_SearchGuestExecute();
    void OperationLog_MenuClick();
    void OperatorManage_MenuClick();
    void ChangePass_MenuClick();
    void SystemSetting_MenuClick();
    void RoomType_MenuClick();
    void RoomSetting_MenuClick();
    void DistrictSetting_MenuClick();
    void N39Click();
    void N40Click();
    void DataConn_MenuClick();
    void N35Click();
    void OprManual_MenuClick();
    void FAQ_MenuClick();
    void A_SysExitExecute();

    // The board's view: 0 large icons, 1 small icons, 2 list, 3 details.
    int boardView() const { return boardView_; }

    // A handler of an entry (menu entry, pop-up entry or tool button).
    using Handler = void (TMainForm::*)();

private:
    void createMenus();
    void createToolBar();
    void createBoardMenu();
    void createBoard();
    void createStatusBar();
    // The desk's change feed: a change that the board shows rebuilds it soon.
    void feedChanged(qv::Changes changes);
    void showLinkLost(const QString& text);
    void showLinkRestored();
    void startStation();
    void serveStation();
    void setBoardView(int tag);
    void showBoardMenu(QWidget* view, const QPoint& pos);
    void openHelp(const QString& fileName);
    // The main window's own texts from its message lines, in the chosen
    // language: the refresh button and the all-entries of the filter boxes.
    QString allBuildingsText() const;
    QString allFloorsText() const;
    void showLanguageTexts();
    // Connects `entry` (a QAction or a tool button) to `handler` through the
    // handler guard.
    void connectEntry(QObject* entry, Handler handler);
    // Switches `entry` by the operator's right.
    void allow(QObject* entry, bool right);

    // Opens one of the program's windows: creates it with this window as its
    // parent, lets `prepare` fill it, shows it modally and frees it.
    template <class Form>
    void ShowModalForm(const std::function<void(Form&)>& prepare = {}) {
        QPointer<Form> form = new Form(this);
        struct Free {
            QPointer<Form>& form;
            ~Free() { delete form.data(); }  // null when the window freed itself already
        } free{form};
        if (prepare) {
            prepare(*form);
        }
        form->exec();
    }

    std::array<QLabel*, 8> panels_{};
    int boardView_ = 0;
    bool rebuilding_ = false;
    QString lastBoardError_;
    QElapsedTimer
        lastFeedRebuild_;  // the error of the last failed rebuild, shown once to the timer
};
