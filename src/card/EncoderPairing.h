#pragma once

#include "card/Encoder.h"

#include <QString>
#include <optional>

namespace qv {

// The lock-system kinds (word 0 of the encoder's parameter block) that the
// program treats in a way of their own.
enum LockSystemKind : int {
    DataCollectorKind = 0,  // a USB data collector: no hotel code, data cards for everyone
    IcCardLocksKind = 3,    // IC card locks: data cards with the DataCard right
};

// The hotel's system code as stored in [SystemInfo] Pass: four values of two
// hex digits each, either case. False (and `code` untouched) for any other text.
bool parseSystemCode(const QString& text, SystemCode& code);
// Each value as upper-case hex of at least two digits, in order.
QString formatSystemCode(const SystemCode& code);

// Opens the encoder's port ([Config] CommProt + 1) and pairs it with the
// hotel, as the program does once at start:
// - a data collector is not paired;
// - at a later start (a code in LockSystemInfo.Pass) the encoder must answer
//   to that code: an encoder of another hotel is refused ("非本系统的发卡机！")
//   and the program is asked to end; an invalid stored code is reported and
//   leaves the encoder as it is;
// - at the first start the encoder's code becomes the hotel's: it is shown
//   and stored in LockSystemInfo.Pass and in Mirefold.ini.
// Every outcome the operator must know of is shown through qv::dialogs().
// Returns the lock-system kind (negative when the encoder went off line), or
// nothing when the port could not be opened ("没有检测到发卡机，系统为演示版!").
std::optional<int> startEncoder(Encoder& encoder);

// The pairing step alone, on an open port; returns the lock-system kind.
int pairEncoder(Encoder& encoder);

}  // namespace qv
