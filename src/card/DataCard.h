#pragma once

#include "card/Encoder.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <cstdint>
#include <functional>

// Data cards: the door-opening records a lock kept, read off a data card on
// the encoder, decoded with the card issue log and stored in OpenDoorRecord.
//
//   QList<qv::DoorOpening> stored;
//   const int16_t code = qv::ReadAndStoreDataCard(stored, [](int n) { ...progress... });
//
// The encoder is read to the end before the database is touched, so no
// database lock is held while the encoder works, and the records are stored
// in one transaction: all of them, or none.
//
// A lock keeps its records and hands the same ones to every data card until
// its memory runs over, so cards overlap. Each record is identified by its
// lock, its time as the lock wrote it, the card type and the card's serial
// words (and its place among records that share all of these, for a card
// that opened the door twice in a minute) and stored once, whatever the
// order and number of readings; a stored record that a card does not hold is
// kept.
namespace qv {

// One door-opening record as it is stored.
struct DoorOpening {
    int Counter = 0;           // 1-based position on the card
    QString RoomStr;           // the lock's room; empty when no room has the lock's address
    QString Rom;               // the opening card's number, without the room prefix of guest cards
    QDateTime OpenTime;        // invalid when the lock's time words form no date and time
    int CardType = 0;          // the opening card's type as the lock recorded it
    QString CardTypeStr;       // KeyKindTable's name of the type, or "None"
    QString CardHolderStr;     // the holder logged when the card was issued, or "None"
    QString MakeName;          // the operator who issued the card, or "None"
    uint16_t RawTime[5] = {};  // year, month, day, hour and minute as the lock wrote them
    int Buiding = 0;           // the lock's address as the card gave it
    int Floor = 0;
    int RoomNumber = 0;
    QString RecordKey;    // the record's identity (see above)
    bool Stored = false;  // stored by this reading (false: it was stored before)
};

// Called with the number of records read off the card so far.
using DataCardProgress = std::function<void(int recordsRead)>;

// Reads every record off the data card on the encoder: ReadDataCard, then
// ReadOneOpenDoorRecord until it answers other than 1. Returns 1 with at
// least one record. Any other answer leaves `records` empty: the card could
// not be read, held no record, or was taken away (no card, no encoder) before
// its records ended, so that a partial read never replaces stored records.
int16_t ReadDataCardRecords(QList<OpenDoorRecord>& records, const DataCardProgress& progress = {});

// The Rom text stored for a record: the card's number from its serial words
// and type ("00000000" for a time card).
QString DoorOpeningRom(const OpenDoorRecord& record);

// Decodes the records: the room of the lock's address, the card number, the
// opening time, the card kind and the holder and issuer from the card issue
// log (a guest card is looked up under its room-prefixed number). Each look-
// up runs once per distinct address, type or card.
QList<DoorOpening> DecodeOpenDoorRecords(const QList<OpenDoorRecord>& records);

// Called with the number of rows handled so far while they are stored.
using DoorOpeningProgress = std::function<void(int rowsDone)>;

// Stores the rows that are not stored yet, in their order, in one
// transaction, and marks them `Stored`; the rows stored before are left as
// they are. A row stored before records were identified (no RecordKey) that
// holds the same room, card number, card type and time is taken as the
// record and given its lock and identity instead of a second row. A database
// error stores nothing and leaves the earlier rows intact. The number of
// rows stored.
int StoreDoorOpenings(QList<DoorOpening>& rows, const DoorOpeningProgress& progress = {});

// The whole reading of a data card: reads it, decodes its records and stores
// them. Returns the encoder's answer (1 when the records were stored) with
// the card's rows in `stored` (each marked whether this reading stored it);
// database errors are thrown (nothing stored).
int16_t ReadAndStoreDataCard(QList<DoorOpening>& stored, const DataCardProgress& progress = {},
                             const DoorOpeningProgress& storing = {});

// The locks of the rows whose address matched no room, with the number of
// rows of each, in the order they first appear.
struct UnknownLock {
    int Buiding = 0;
    int Floor = 0;
    int RoomNumber = 0;
    int records = 0;
};
QList<UnknownLock> UnknownLocks(const QList<DoorOpening>& rows);

}  // namespace qv
