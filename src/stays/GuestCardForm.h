#pragma once

#include "stays/StayService.h"
#include "window/Form.h"

#include <QDateTime>
#include <functional>
#include <optional>

class QCheckBox;
class QDateEdit;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimeEdit;

namespace qv {

// What the guest card windows (check-in, continue stay, copy guest card,
// hourly room) have in common: the room box and its room list button, the
// length of stay, the start and end pickers, the guest's name and document,
// the prompt and the buttons; the default stay; and the press of a card
// button, which checks the room and the dates, takes the card latch, writes
// the card through the stays service and shows the result.
//
// A window derives from it, names itself, adds its own buttons to
// `Buttons_Layout`, connects its handlers and finally calls FormCreate().
class GuestCardForm : public Form {
    Q_OBJECT
public:
    ~GuestCardForm() override;

    QGroupBox* GroupBox1;  // "入住信息"
    QLabel* Room_Label;
    QLineEdit* se_Room1;
    QPushButton* RoomList_Bt;
    QLabel* RoomHint_Label;  // "按F2显示房间列表"
    // Whether the room typed is free or occupied now (and by whom), kept up
    // to date by the desk's change feed while the window is open.
    QLabel* RoomState_Label;
    QLabel* Days_Label;
    QLineEdit* Days_Edit;
    QLabel* DaysUnit_Label;  // after Days_Edit; hidden unless the window counts hours
    QLabel* StartTime_Label;
    QDateEdit* SD_GQI_Dtp;
    QTimeEdit* ST_GQI_Dtp;
    QLabel* EndTime_Label;
    QDateEdit* ED_GQI_Dtp;
    QTimeEdit* ET_GQI_Dtp;
    QLabel* GuestName_Label;
    QLineEdit* E_H_GQI;
    QLabel* GuestCode_Label;
    QLineEdit* GuestCode_Edit;
    QCheckBox* CB_eO_GQI;  // "应用挂失", hidden: the card's Override is 1 unless it is ticked
    QPushButton* Button1;  // "读  卡", hidden unless the window reads the guest's card
    QPushButton* Confirm_Bt;
    QPushButton* Close_Bt;
    QLabel* Prompt_Label;

    // Prompt_Label := the text of an encoder result; 1 also sets
    // RoomBoardChanged, so the room board is rebuilt on its next tick.
    virtual void ShowPromptMessage(int code);

    // End date := start date plus the nights in Days_Edit (other text is
    // ignored). A window that counts hours instead overrides both.
    virtual void Days_EditChange();
    // Days_Edit := the nights from the start date to the end date (the operator changed it).
    virtual void ED_GQI_DtpChange();
    // Picks rooms in the room list; the last selected one goes into se_Room1.
    void RoomList_BtClick();

    // The stay the pickers show, each end moved by TimeTolerance minutes.
    QDateTime StayStart() const;
    QDateTime StayEnd() const;
    // The guest card the window's boxes describe.
    stays::GuestCard guestCard() const;

protected:
    GuestCardForm(const QString& name, const QString& caption, QWidget* parent);

    // Applies the language store, then the default stay (setDefaultStay).
    // Subclasses call it last in their constructor.
    void FormCreate() override;
    // From now for DayCount nights, ending at LeaveTime.
    virtual void setDefaultStay();
    // F2 opens the room list in the windows that have `roomListKey`.
    bool FormKeyDown(QKeyEvent* event) override;

    using Operation = stays::Result (*)(const stays::GuestCard&, const stays::CardWriter&);
    // One press of a card button, in this order: the room (an unknown door
    // plate: "没有该房号！" and the focus to the room box; an empty box ends
    // the press silently in the windows with `emptyRoomStops`), the dates
    // ("日期范围无效！"), then the card latch (taken: the press goes on; held:
    // the press is ignored and the window stays as it was). Then `button` is
    // disabled and the window painted while `operation` writes the card;
    // `beforePrompt` sees the result, then the prompt shows it (a database
    // error also in the error box). The caller enables `button` again when
    // it wants to. Nothing when a check ended the press.
    std::optional<stays::Result> issueCard(
        QPushButton* button, Operation operation,
        const std::function<void(const stays::Result&)>& beforePrompt = {});

    // Continue stay: the card read is not one of the open stay's own.
    QString notOfOpenStayText() const;
    // Sets the end date without running ED_GQI_DtpChange.
    void setEndDate(const QDate& date);
    // Limits `edit` to `characters` characters; never keeps half of one.
    static void limitLength(QLineEdit* edit, int characters);

    QGridLayout* Fields_Layout;
    QHBoxLayout* Buttons_Layout;
    bool roomListKey = false;     // F2 opens the room list
    bool emptyRoomStops = false;  // an empty room box ends a card press without a message
    // The card a continue stay replaces, as read (part of guestCard()).
    std::optional<stays::ReadCardOrigin> replacesCard;

private:
    // Clears the prompt when the room changes: an old result must not stand
    // under a new room.
    void roomChanged();
    void showRoomState();
};

}  // namespace qv
