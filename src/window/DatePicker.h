#pragma once

#include <QDateEdit>

namespace qv {

// The date picker of the record windows: a date in `format` with a calendar
// that drops down. Tab leaves the picker, as it leaves every other control;
// the arrow keys move between day, month and year.
class DatePicker : public QDateEdit {
    Q_OBJECT
public:
    DatePicker(const QString& name, const QString& format, QWidget* parent);

protected:
    bool focusNextPrevChild(bool next) override;
};

}  // namespace qv
