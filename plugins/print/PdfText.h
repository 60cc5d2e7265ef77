#pragma once

#include <QByteArray>
#include <QHash>

class QFont;

namespace qvprint {

// The text layer of a PDF that Qt writes names each glyph by the lowest code
// point the font maps to it. CJK fonts draw a common ideograph and its radical
// form with one glyph (门 and ⻔, 大 and ⼤), so text copied or searched in the
// file would come out as radicals. These two functions put the ideographs back.

// Radical code point -> the CJK unified ideograph that `font` draws with the
// same glyph.
QHash<char16_t, char16_t> radicalEquivalents(const QFont& font);

// Rewrites, in every ToUnicode map of `pdf`, each target that is a key of
// `equivalents` to its value. Targets keep their width, so no offset in the
// file moves.
void restoreIdeographs(QByteArray& pdf, const QHash<char16_t, char16_t>& equivalents);

}  // namespace qvprint
