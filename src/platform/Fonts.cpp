#include "platform/Fonts.h"

#include <QFontDatabase>
#include <QSet>

namespace qv {

QStringList installedFamilies(const QStringList& wanted) {
    QSet<QString> installed;
    for (const QString& family : QFontDatabase::families()) {
        installed.insert(family.toCaseFolded());
    }
    QStringList found;
    for (const QString& family : wanted) {
        if (installed.contains(family.toCaseFolded())) {
            found << family;
        }
    }
    return found.isEmpty() ? wanted : found;
}

QFont songTi(int pixels) {
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
                      QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(pixels);
    return font;
}

}  // namespace qv
