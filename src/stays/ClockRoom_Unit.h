#pragma once

#include "stays/GuestCardForm.h"

// Hourly room ("开钟点房--发行客人卡"): a check-in counted in hours. The end
// is the start plus the hours in Days_Edit; an end picked by the clerk shows
// its hours again. The card, the counter, the log row and the stay are those
// of a check-in.
//
// Shown modally and destroyed by its owner: `TClockRoom_Form f(parent); f.exec();`
class TClockRoom_Form : public qv::GuestCardForm {
    Q_OBJECT
public:
    explicit TClockRoom_Form(QWidget* parent = nullptr);
    ~TClockRoom_Form() override;

    // End := start plus the hours in Days_Edit (a text that is not a whole
    // number is ignored).
    void Days_EditChange() override;
    // The clerk picked the end: Days_Edit := its hours after the start, with
    // at most two significant digits (a whole number then sets the end again).
    void ED_GQI_DtpChange() override;
    void ET_GQI_DtpChange();
    // "操作成功！" (and the room board rebuilt) or "操作失败！".
    void ShowPromptMessage(int code) override;
    void Confirm_BtClick();

    // The hours from `start` to `end` as Days_Edit shows them: at most two
    // significant digits ("2.5", "13", "0.25", "-3").
    static QString hoursText(const QDateTime& start, const QDateTime& end);

protected:
    // One hour from now.
    void setDefaultStay() override;

private:
    void setEnd(const QDateTime& end);
};
