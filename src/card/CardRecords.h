#pragma once

#include "card/CardData.h"
#include "platform/Errors.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <initializer_list>
#include <optional>
#include <utility>

// The card layer's database operations: serial counters, room look-ups by
// door-plate number or lock address, the card issue log and its look-ups.
// They run on the data module's connection; values are always bound.

using TRoomAddr = uint16_t[QV_ROOMADDR_WORDS];

// The title of a card type from CardType (on the shared query), or empty.
QString GetCardTypeTitle(int cardType);
// A card type's stored title as the clerk reads it: the kinds the lock
// database is created with in the chosen language, any other title as stored.
QString CardTypeText(const QString& title);

// Sets CardSn words 0 and 1 from the AllCardSn counter of `kind` (0 when the
// row is missing or empty), words 2 to 4 to 0.
void GetCardSnByKind(int kind, TCardData& card);
// Advances the counter of `kind` by one in the database; a missing row is
// created and an empty counter counts from 0.
void IncCardSnByKind(int kind);
// Sets CardSn words 0 and 1 to the room's counter plus the incoming word 0
// (1 for a new guest card, 0 for a copy); 0 plus that for an unknown room.
void GetRoomCardSn(const QString& roomStr, TCardData& card);
// Advances the room's guest card counter by one in the database.
void IncRoomCardSn(const QString& roomStr);

bool RoomExists(const QString& roomStr);
// Room number, building and floor of the room into words 0, 1 and 2 (all 0 when unknown).
void GetRoomAddr(const QString& roomStr, TRoomAddr& roomAddr);
// The room's numeric key, 0 when unknown.
int GetRoomId(const QString& roomStr);
// The door plate and the six-digit system room code of a lock address
// (words 0 room number, 1 building, 2 floor); empty when no room has it.
QString GetRoomStrByAddr(const TRoomAddr& roomAddr);
QString GetSystemRoomStrByAddr(const TRoomAddr& roomAddr);
// Both of them in one look-up (for readers of many records).
struct TRoomNames {
    QString RoomStr;
    QString SystemRoomStr;
};
TRoomNames GetRoomNamesByAddr(const TRoomAddr& roomAddr);

// One room, resolved from its door plate in one look-up: everything a guest
// card and its records need of it.
struct RoomRef {
    bool found = false;     // false: no room has the door plate (every other field empty)
    int room = 0;           // RoomInfo.Room, the room's key
    QString roomStr;        // door plate
    QString systemRoomStr;  // six-digit system room code, in front of a guest card's Rom
    uint16_t building = 0;  // lock address: Buiding, Floor, RoomNumber
    uint16_t floor = 0;
    uint16_t roomNumber = 0;

    // Puts the room's lock address on a guest card: RoomAddr words 0 to 2
    // (room number, building, floor, the rest zero), Building and Floor word 0.
    void putOn(TCardData& card) const;
};
RoomRef ResolveRoom(const QString& roomStr);
// The room of a lock address (words 0 room number, 1 building, 2 floor).
RoomRef ResolveRoom(const TRoomAddr& roomAddr);

// Appends the card to the issue log; returns 1. A database error is raised
// again as a plain error with the same text (the card is written by then).
// Called from the `record` step of IssueCard, the first call stores the
// issued card's own log row (the one IssueCard entered before the card was
// written) instead of adding another.
int MakeCardLog(const TCardData& card, const QString& holder, const QString& explain);
// The same for a guest card whose room is known already (its door plate and
// system room code are not looked up again by the card's address).
int MakeCardLog(const TCardData& card, const QString& holder, const QString& explain,
                const RoomRef& room);
// Holder, note and issuer of a logged card, or "None".
QString GetCardHolder(int cardType, const QString& rom);
QString GetCardExplain(int cardType, const QString& rom);
QString GetCardMaker(int cardType, const QString& rom);
// Holder and issuer of a logged card in one look-up, as GetCardHolder and
// GetCardMaker give them.
struct TCardLogNames {
    QString Holder;
    QString MakeName;
};
TCardLogNames GetCardLogNames(int cardType, const QString& rom);
// The name of a card type code as locks record it, or "None".
QString GetKeyKind(int keyId);

// What a row of the card issue log says of its card (MakeCardRecord.CardState).
// Every query names the states through these constants.
namespace CardLogStates {
// Written by the encoder, its records stored.
inline constexpr int Written = 0;
// The serial was handed to the encoder, and the desk never learnt what came
// of it (it stopped, or lost the database, while writing): the card may exist.
inline constexpr int Pending = 1;
// The encoder wrote the card, but its records (the stay) could not be stored.
inline constexpr int Unrecorded = 2;
// The card was wiped on the encoder, or the clerk declared it lost or
// destroyed. The row is kept: a lost card may still exist.
inline constexpr int Cancelled = 3;
}  // namespace CardLogStates

// "CardState In (a, b, ...)" for `states`, the numbers written from the
// constants (the form a partial index on the column is matched by).
QString CardStateCondition(std::initializer_list<int> states,
                           const QString& column = QStringLiteral("CardState"));
// The rows of cards that may exist although their issue was never
// confirmed: Pending or Unrecorded.
QString UnconfirmedCondition(const QString& column = QStringLiteral("CardState"));

// The clerk's name for a state: empty for Written, "写卡结果不明" (outcome
// unknown), "卡已写好，记录未保存" (written, records not stored), "已注销".
QString CardStateText(int state);

// The state of a logged card (the most urgent among its rows: a copy shares
// its card's number), or -1 when the log has no row for it.
int GetCardState(int cardType, const QString& rom);

// One row of the card issue log.
struct CardLogRow {
    qint64 id = 0;  // MakeCardRecord.ID
    int cardType = 0;
    QString rom;
    QString roomStr;  // guest cards
    QString holder;
    QString explain;
    QString makeName;
    QDateTime startTime;
    QDateTime endTime;
    QDateTime inputTime;
    int state = CardLogStates::Written;
};

// A card that may exist although its issue was never confirmed: a Pending or
// Unrecorded row of the issue log.
using UnconfirmedCard = CardLogRow;
// Every unconfirmed card, oldest first.
QList<UnconfirmedCard> UnconfirmedCards();
// What the clerk is told at start when unconfirmed cards exist: each card by
// its room, kind, holder and issue time; empty when there are none.
QString UnconfirmedCardsNotice();
// The card `rom` of `cardType` has been cancelled (wiped, or reported lost):
// its unconfirmed rows become Cancelled. The number of rows changed.
int CancelUnconfirmedCard(int cardType, const QString& rom);
// The clerk settles an unconfirmed card without it in hand: it was written
// and handed over (the row becomes Written), or it is lost or destroyed (the
// row becomes Cancelled). False when the row is no longer unconfirmed
// (another desk settled it, or it is gone).
bool MarkCardWritten(qint64 logId);
bool MarkCardCancelled(qint64 logId);

// The column of Operator holding the right to issue cards of `cardType`
// ("CheckIn" for guest cards), empty for a type this system does not issue.
QString CardIssueRight(int cardType);

// What a card read back from the encoder is: its kind, its room, its times
// and its own row of the issue log. The row is the one of the card's type,
// Rom and times (to the minute, as the card holds them): a copy shares its
// card's Rom and every continue-stay card of a room has serial 0, so the
// Rom alone names many cards.
struct IssuedCard {
    int code = 0;      // the encoder's answer to ReadCard; the rest is filled when 1
    TCardData card{};  // as read
    int cardType = 0;  // word 0 of CardType
    RoomRef room;      // guest cards: the room of the card's lock address
    QString rom;       // the card's Rom; for a guest card its room's SystemRoomStr in front
    QDateTime start;   // the card's times
    QDateTime end;
    // The log rows of this very card, newest first. More than one when the
    // log cannot tell them apart (copies written in the same minute).
    QList<CardLogRow> rows;

    bool read() const { return code == 1; }
    // Read, with no valid card type: a new (blank) card.
    bool blank() const;
    bool guest() const;
    bool logged() const { return !rows.isEmpty(); }
    bool ambiguous() const { return rows.size() > 1; }
    // The newest of the rows, or nullptr when the card was never logged.
    const CardLogRow* row() const { return rows.isEmpty() ? nullptr : &rows.first(); }
    // The holder and note of the card's rows ("None" when never logged);
    // when its rows name different ones, all of them, joined by " / ".
    QString holder() const;
    QString explain() const;
};
// Reads the card on the encoder and finds its log rows.
IssuedCard ReadIssuedCard();
// The same for a card record already read (`code` is 1).
IssuedCard IdentifyCard(const TCardData& card);

// What cancelling a card did.
struct CardCancel {
    // The encoder's answer to ClearCardData (1: wiped); when the card could
    // not be read first, to ReadCard if no card or encoder was found.
    int code = 0;
    IssuedCard card;    // the card as it was before it was wiped
    qint64 marked = 0;  // the log row marked Cancelled, 0 when none
};
// Reads the card on the encoder, wipes it and marks its log row Cancelled
// (of rows the log cannot tell apart, an unconfirmed one first, so that the
// cards still to be settled are the fewer). Throws qv::DbError when the card
// was wiped and its row could not be marked; the text says so.
CardCancel cancelCard();

// Raised by IssueCard when the encoder wrote the card and its records could
// not be stored: the card exists, and its log row says so (Unrecorded).
class CardWrittenError : public qv::DbError {
public:
    using DbError::DbError;
};
// The prompt of a card that was written while its records failed: the clerk
// is told the card exists and must be cancelled.
QString WrittenUnrecordedPrompt();

// Where a card's serial comes from.
struct CardSerialSource {
    static CardSerialSource room(const QString& roomStr, bool copy = false) {
        return {roomStr, 0, copy};
    }
    static CardSerialSource kind(int counterKind) { return {QString(), counterKind, false}; }
    // A guest card of the room with serial 0: no counter is read, locked or
    // advanced (the continue-stay card).
    static CardSerialSource zero(const QString& roomStr) { return {roomStr, 0, false, true}; }
    QString roomStr;          // guest cards: the room's own counter
    int counterKind = 0;      // other cards: the AllCardSn counter kind
    bool copy = false;        // a copy takes the counter unchanged and does not advance it
    bool serialZero = false;  // serial 0, no counter at all
};

// What the issue log says of a card before it is written: who holds it and
// the note (for a guest card the guest's name and identity document), so that
// a card whose outcome never becomes known still names its holder.
struct CardLogText {
    CardLogText() = default;
    CardLogText(QString holder_, QString explain_, std::optional<TRoomNames> room_ = std::nullopt)
        : holder(std::move(holder_)), explain(std::move(explain_)), room(std::move(room_)) {}
    QString holder;
    QString explain;
    // A guest card: the names of the room on its lock address when the caller
    // has them already (they are not looked up again).
    std::optional<TRoomNames> room;
    // The action the card's row of the operations log names (one of
    // qv::oplog::Actions); empty: a card issued.
    QString logAction;
};

// Issues one card, in three short steps, none of which holds a database lock
// while the encoder writes:
// 1. The serial is reserved: the counter advanced (a copy: the counter read,
//    a zero source: no counter at all) and a Pending row entered in the issue
//    log, in one committed transaction. When that fails, nothing is written
//    and the error says so.
// 2. `write` (the encoder) writes the card. Should it throw, the outcome is
//    unknown: the row stays Pending and the error names the card.
// 3. Only when it answers 1, `record` runs (MakeCardLog and the stay) and the
//    log row becomes Written, in one transaction: all of it is stored, or
//    none of it. When that fails, the row is marked Unrecorded (the card
//    exists, its stay does not) and the error names the card to cancel.
// Each outcome adds its row to the operations log: in the `record`
// transaction the card written (linked to its issue log row), after it the
// card written whose records failed, and the card the encoder refused.
// Any other answer gives the reservation back: the log row is removed and
// the counter set back, unless another desk has taken a later serial or a
// copy carries this one, in which case the serial is skipped (a gap is
// harmless, a repeat is not). A desk that stops after step 1 leaves the row
// Pending: UnconfirmedCards() lists it. `log` gives the row its holder from
// the start; without it the row takes the holder when MakeCardLog runs.
// Returns the encoder's answer. Must not be called inside a transaction.
int IssueCard(const CardSerialSource& source, TCardData& card,
              const std::function<int(TCardData&)>& write, const std::function<void()>& record,
              const CardLogText& log = {});
