#include "window/NumberBox.h"

#include <QLineEdit>
#include <algorithm>

namespace qv {

NumberBox::NumberBox(int minimum, int maximum, QWidget* parent) : QSpinBox(parent) {
    setRange(std::max(0, minimum), std::max(0, maximum));
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    lineEdit()->setMaxLength(static_cast<int>(QString::number(this->maximum()).size()));
}

QValidator::State NumberBox::validate(QString& input, int&) const {
    const QString text = input.trimmed();
    if (text.isEmpty()) {
        return QValidator::Intermediate;
    }
    if (text.size() > QString::number(maximum()).size() ||
        !std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); })) {
        return QValidator::Invalid;
    }
    const int value = text.toInt();
    return value >= minimum() && value <= maximum() ? QValidator::Acceptable
                                                    : QValidator::Intermediate;
}

void NumberBox::fixup(QString& input) const {
    bool ok = false;
    const int value = input.trimmed().toInt(&ok);
    input = QString::number(ok ? std::clamp(value, minimum(), maximum()) : minimum());
}

}  // namespace qv
