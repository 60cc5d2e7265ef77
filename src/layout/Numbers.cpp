#include "layout/Numbers.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace qv {

std::optional<double> amountFromText(const QString& text) {
    static const QRegularExpression number(QStringLiteral(R"(^[0-9]+(\.[0-9]*)?$|^\.[0-9]+$)"));
    const QString t = text.trimmed();
    if (!number.match(t).hasMatch()) {
        return std::nullopt;
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> districtNumberFromText(const QString& text) {
    static const QRegularExpression digits(QStringLiteral(R"(^[0-9]{1,9}$)"));
    const QString t = text.trimmed();
    if (!digits.match(t).hasMatch()) {
        return std::nullopt;
    }
    const int value = t.toInt();
    if (value < 1 || value > 65535) {
        return std::nullopt;
    }
    return value;
}

}  // namespace qv
