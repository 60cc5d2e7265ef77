#pragma once

#include "card/CardData.h"

#include <QString>
#include <functional>

// The card layer's database operations: serial counters, room look-ups by
// door-plate number or lock address, the card issue log and its look-ups.
// They run on the data module's connection; values are always bound.

using TRoomAddr = uint16_t[QV_ROOMADDR_WORDS];

// The title of a card type from CardType (on the shared query), or empty.
QString GetCardTypeTitle(int cardType);

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
int MakeCardLog(const TCardData& card, const QString& holder, const QString& explain);
// The same for a guest card whose room is known already (its door plate and
// system room code are not looked up again by the card's address).
int MakeCardLog(const TCardData& card, const QString& holder, const QString& explain,
                const RoomRef& room);
// Holder, note and issuer of a logged card, or "None".
QString GetCardHolder(int cardType, const QString& rom);
QString GetCardExplain(int cardType, const QString& rom);
QString GetCardMaker(int cardType, const QString& rom);
// The name of a card type code as locks record it, or "None".
QString GetKeyKind(int keyId);

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

// Issues one card. The serial is taken from its counter and the card written
// while the counter is locked, so two front desks never issue one serial;
// only when `write` answers 1 are the counter advanced and `record` run (the
// card log and the stay), all in one transaction: all of it is stored, or
// none of it. Returns the encoder's answer. When the card was written but
// its records could not be stored, the error names the card so that it can be
// cancelled.
int IssueCard(const CardSerialSource& source, TCardData& card,
              const std::function<int(TCardData&)>& write, const std::function<void()>& record);
