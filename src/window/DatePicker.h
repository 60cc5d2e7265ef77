#pragma once

#include <QDateEdit>
#include <QTimeEdit>

namespace qv {

// A date or time box that is one stop of the Tab order: Tab and Shift+Tab
// leave it, the arrow keys and typing move between its sections. Its class
// stays the Qt one (QDateEdit, QTimeEdit) for the language store.
template <class Edit>
class OneTabStop : public Edit {
public:
    using Edit::Edit;

protected:
    bool focusNextPrevChild(bool next) override { return QWidget::focusNextPrevChild(next); }
};
using DateEdit = OneTabStop<QDateEdit>;
using TimeEdit = OneTabStop<QTimeEdit>;

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
