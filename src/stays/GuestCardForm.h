#pragma once

#include "card/CardData.h"

#include <QDateTime>
#include <QDialog>
#include <functional>

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
class TLanguage;

namespace qv {
class DataSet;

// What the guest card windows (check-in, continue stay, copy guest card,
// hourly room) have in common: the room box and its room list button, the
// length of stay, the start and end pickers, the guest's name and document,
// the prompt and the buttons; the default stay, the card record of a room
// and its writing through the encoder with the records that follow it in one
// transaction.
//
// A window derives from it, names itself, adds its own buttons to
// `Buttons_Layout`, connects its handlers and finally calls FormCreate().
class GuestCardForm : public QDialog {
    Q_OBJECT
public:
    ~GuestCardForm() override;

    QGroupBox* GroupBox1;  // "入住信息"
    QLabel* Room_Label;
    QLineEdit* se_Room1;
    QPushButton* RoomList_Bt;
    QLabel* RoomHint_Label;  // "按F2显示房间列表"
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
    QPushButton* Confirm_Bt;
    QPushButton* Close_Bt;
    QLabel* Prompt_Label;
    DataSet* GL_ADO;  // the room's open stay
    TLanguage* Language1;

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

protected:
    GuestCardForm(const QString& name, const QString& caption, QWidget* parent);

    // Applies the language store, then sets the default stay: from now for
    // DayCount nights, ending at LeaveTime. Subclasses call it last in their
    // constructor (after their own components exist).
    virtual void FormCreate();
    // Esc closes the window; the window's own keys; Ctrl+Alt+F12 the capture mode.
    virtual bool FormKeyDown(QKeyEvent* event);

    // Takes the card latch: false (and nothing else) while another card
    // operation is under way.
    static bool takeCardBusy();
    // False after "没有该房号！" (focus on the room box) when no room has this door plate.
    bool checkRoom(const QString& roomStr);
    // Paints the window (the disabled button) before the encoder call blocks,
    // without handling input meanwhile.
    void repaintNow();

    // Writes a guest card of `roomStr` for the pickers' stay: a new card with
    // the room's counter plus one, or a copy with the counter as it is. Only
    // when the encoder answered 1 are the counter advanced and `record` run
    // (MakeCardLog and the stay), in one transaction. When those records fail
    // the error box names the written card and the answer is 0 (nothing is
    // kept). Returns the encoder's answer.
    int writeGuestCard(const QString& roomStr, bool copy,
                       const std::function<void(const TCardData&)>& record);

    // After a new card of `roomStr` (inside writeGuestCard's record): opens
    // the room's stay with the window's guest and times, or counts one more
    // card on the stay already open, whose guest, times and card stay as they are.
    void recordStay(const QString& roomStr, const TCardData& card);

    // Message line `index` of the window's language rows, or `text`.
    QString message(int index, const QString& text) const;

    QGridLayout* Fields_Layout;
    QHBoxLayout* Buttons_Layout;

private:
    void setEndDate(const QDate& date);
};

}  // namespace qv
