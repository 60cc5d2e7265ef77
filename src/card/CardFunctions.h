#pragma once

#include "card/CardData.h"

#include <QDateTime>
#include <QString>
#include <cstdint>

// The card layer's shared operations that need no database.

// Writes year, month, day, hour and minute of `value` into a card time (sixth
// word 0; seconds dropped). An invalid date-time gives an all-zero card time.
void DateToCardTime(const QDateTime& value, TCardTime& time);
// The local date-time of a card time with zero seconds (the sixth word is
// ignored); invalid when the words do not form a date and time.
QDateTime CardTimeToDate(const TCardTime& time);

// The largest serial the two serial words can hold (0xFF + 0xFFFF * 256).
inline constexpr int64_t MaxCardSerial = 0xFFFFFF;
// Sets CardSn word 0 = serial mod 256, word 1 = serial div 256, words 2 to 4 = 0.
// Throws qv::Error for a serial below 0 or above MaxCardSerial rather than
// writing a card whose number wraps.
void SetCardSerial(TCardData& card, int64_t serial);
// The serial held in CardSn words 0 and 1.
int64_t CardSerial(const TCardData& card);

// The text that identifies an issued card: words 3, 2, 1 and 0 of CardSn as
// upper-case hex of at least two digits, the card type in place of word 3 for
// every type but guest cards. Guest card callers put SystemRoomStr in front.
QString CardRom(const TCardData& card);
// The same for serial words and a type given separately (door-opening records).
QString CardRom(const uint16_t (&cardSn)[4], int cardType);

// The text shown for an encoder library result code.
QString ResultText(int code);

// Empty when the range passes; otherwise the message for the operator
// ("日期范围无效！"): `start` later than `end`, or either not a valid
// date-time. Equal values pass. The window shows the message.
QString CheckDateRange(const QDateTime& start, const QDateTime& end);
