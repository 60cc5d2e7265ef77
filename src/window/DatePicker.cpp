#include "window/DatePicker.h"

namespace qv {

DatePicker::DatePicker(const QString& name, const QString& format, QWidget* parent)
    : QDateEdit(parent) {
    setObjectName(name);
    setDisplayFormat(format);
    setCalendarPopup(true);
}

bool DatePicker::focusNextPrevChild(bool next) {
    // QDateEdit would step through its sections first.
    return QWidget::focusNextPrevChild(next);
}

}  // namespace qv
