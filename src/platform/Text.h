#pragma once

#include <QString>
#include <QStringView>

namespace qv {

// Characters as the operator and the database count them: Unicode code
// points. An emoji is one character although it takes two UTF-16 units.
qsizetype characterCount(QStringView text);

// The first `count` characters of `text`; a surrogate pair is never split.
QString leftCharacters(const QString& text, qsizetype count);

// `text` with every lone surrogate (half of a character) replaced by U+FFFD,
// so that it is valid UTF-8 wherever it is stored.
QString wellFormed(const QString& text);

}  // namespace qv
