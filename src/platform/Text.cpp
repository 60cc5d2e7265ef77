#include "platform/Text.h"

namespace qv {

namespace {
// Length in UTF-16 units of the character that starts at `i`.
qsizetype unitsAt(QStringView text, qsizetype i) {
    return text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
}
}  // namespace

qsizetype characterCount(QStringView text) {
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); i += unitsAt(text, i)) {
        ++count;
    }
    return count;
}

QString leftCharacters(const QString& text, qsizetype count) {
    qsizetype i = 0;
    for (qsizetype n = 0; n < count && i < text.size(); ++n) {
        i += unitsAt(text, i);
    }
    return text.left(i);
}

QString wellFormed(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype units = unitsAt(text, i);
        if (units == 1 && text[i].isSurrogate()) {
            if (out.isNull()) {
                out = text.left(i);
            }
            out += QChar(QChar::ReplacementCharacter);
        } else if (!out.isNull()) {
            out += QStringView(text).mid(i, units);
        }
        i += units;
    }
    return out.isNull() ? text : out;
}

}  // namespace qv
