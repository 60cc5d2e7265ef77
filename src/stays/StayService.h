#pragma once

#include "card/CardData.h"
#include "card/CardRecords.h"

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

// The guests' stays: check-in, copies of a guest card, continue stay, hourly
// room and check-out. Each operation takes plain values, writes its guest
// card through IssueCard and stores the records that follow the card in the
// same transaction as the card's log row, only when the encoder wrote the
// card. No widgets: the windows read their boxes, call these and show the
// result.
namespace qv::stays {

// The card a continue stay replaces, as it was read from the encoder.
struct ReadCardOrigin {
    qint64 logId = 0;  // its row of the card issue log, 0 when it was never logged
    QDateTime start;   // its first moment
};

// A guest card as the clerk describes it.
struct GuestCard {
    QString roomStr;  // door plate
    QDateTime start;  // the card's first moment (any tolerance already added)
    QDateTime end;    // the moment it stops opening
    QString guestName;
    QString document;              // the guest's identity document number
    bool applyLossReport = false;  // "应用挂失": the card's Override is 0, else 1
    // Continue stay: the card read, which must be one of the open stay's own.
    std::optional<ReadCardOrigin> replaces;
};

enum class Outcome {
    Written,         // the card is written and its records are stored
    EncoderRefused,  // the encoder answered other than 1: nothing written, nothing stored
    DatabaseError,   // a database error: nothing is stored; `error` is its text, which
                     // names the card when the card was written already
    NoSuchRoom,      // no room has the door plate: nothing written
    InvalidRange,    // the start is later than the end (or either is invalid): nothing written
    NoOpenStay,      // continue stay: the room has no open stay: nothing written
    NotOfOpenStay,   // continue stay: the card read is not one of the open stay's: nothing written
};

struct Result {
    Outcome outcome = Outcome::EncoderRefused;
    // The encoder's answer; 0 when the encoder was not asked or the database
    // failed (the prompt then says "操作失败！").
    int code = 0;
    TCardData card{};  // the card as the encoder took it (type set once written)
    QString error;     // DatabaseError: the error's text
    // DatabaseError: the encoder wrote the card and its records were not
    // stored (the card exists and is to be cancelled).
    bool cardWritten = false;
    bool written() const { return outcome == Outcome::Written; }
};

// Writes a guest card on the encoder and answers its result code. The
// default is the encoder library's MakeGuestCard; tests may look at the
// record on its way in.
using CardWriter = std::function<int(TCardData&)>;

// True when a room has the door plate.
bool roomExists(const QString& roomStr);

// What a room holds now, for a window that shows it while its door plate is
// typed: whether the room exists, and its open stay (the first one, should it
// have several) with the guest and the planned end.
struct RoomOccupancy {
    bool exists = false;
    bool occupied = false;
    QString guest;
    QDateTime end;
};
RoomOccupancy roomOccupancy(const QString& roomStr);

// Check-in: a new guest card with the room's counter plus one; then the
// counter advanced, the card logged and the room's stay opened with the
// guest and the card's times, or one more card counted on the stay already
// open (its guest, times and card stay as they are).
Result checkIn(const GuestCard& card, const CardWriter& writer = {});
// An hourly room is a check-in whose end is hours after its start.
inline Result hourlyRoom(const GuestCard& card, const CardWriter& writer = {}) {
    return checkIn(card, writer);
}
// A copy: the room's counter as it is (the serial of its newest card), the
// copy logged; neither the counter nor the stay changes.
Result copyCard(const GuestCard& card, const CardWriter& writer = {});
// Continue stay: a guest card with serial 0 (the room's counter untouched)
// for the room's open stay, whose planned end becomes the card's end and
// whose InputUser the clerk, stored with the card's log row.
Result continueStay(const GuestCard& card, const CardWriter& writer = {});

// Whether the card read (`origin`) belongs to the room's open stay: its log
// row was entered after the stay's first card (a card of an earlier guest of
// the room was entered before). For a card the log does not know, its start
// must not lie before the stay began. False when the room has no open stay.
bool cardOfOpenStay(const QString& roomStr, const ReadCardOrigin& origin);

// A guest card read back from the encoder, with what the records know of it.
struct ReadGuestCard {
    int code = 0;            // the encoder's answer to ReadCard
    bool guestCard = false;  // the card read is a guest card
    RoomRef room;            // the room of the card's lock address (found: false when none)
    QString holder;          // from the card issue log; "None" when never logged
    QString explain;
    QDateTime start;  // the card's times
    QDateTime end;
    TCardData card{};
    IssuedCard issued;        // the card layer's identity of the card
    bool openStay = false;    // the card's room has an open stay
    bool ofOpenStay = false;  // the card is one of that stay's own (cardOfOpenStay)
    ReadCardOrigin origin() const;
};
// Reads the card on the encoder.
ReadGuestCard readGuestCard();

// Ends the open stay with the key `stayId` now. False when it was closed
// already (by another front desk, for instance).
bool checkOutStay(const QVariant& stayId);
// Ends the room's open stay now (the first one, should it have several).
// False when the room has none.
bool checkOutRoom(const QString& roomStr);

}  // namespace qv::stays

// The names the main window calls.
inline bool CheckOutStay(const QVariant& stayId) {
    return qv::stays::checkOutStay(stayId);
}
inline bool CheckOutRoom(const QString& roomStr) {
    return qv::stays::checkOutRoom(roomStr);
}
