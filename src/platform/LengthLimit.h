#pragma once

class QLineEdit;

namespace qv {

// Limits an edit box to `characters` characters (code points, not UTF-16
// units; see qv::characterCount). Typing or pasting past the limit keeps what
// fits of the new text, never half of a character; a validator the box
// already has still decides afterwards. Use it instead of setMaxLength for
// every box whose text is stored.
void limitCharacters(QLineEdit* edit, int characters);

}  // namespace qv
