#pragma once

#include "platform/Text.h"

#include <QString>

// The names the clerk types and reads everywhere (door plates, login names,
// titles): how long they may be and the form in which they are checked,
// compared and stored. Blanks around a name cannot be seen on the screen, so
// "1101 " and "1101" are one door plate.
namespace qv::columns {

inline constexpr int kDoorPlateLength = 10;  // RoomInfo.RoomStr
inline constexpr int kLoginNameLength = 20;  // Operator.Staffer
inline constexpr int kFullNameLength = 20;   // Operator.StafferName
inline constexpr int kTitleLength = 20;      // RoomType.Title

// The text as it is stored: the blanks around it removed (also the
// ideographic blank of a Chinese input method), then cut to `length`
// characters (code points; a character is never split).
inline QString storedText(const QString& text, int length) {
    return leftCharacters(text.trimmed(), length);
}

// Whether two stored names are the same as the clerk sees them.
inline bool sameName(const QString& a, const QString& b) {
    return a.trimmed() == b.trimmed();
}

// Whether a stored name has blanks around it (a row kept from before these
// rules, which the windows mark so that it can be corrected).
inline bool hasSurroundingBlanks(const QString& text) {
    return !text.isEmpty() && (text.front().isSpace() || text.back().isSpace());
}

}  // namespace qv::columns
