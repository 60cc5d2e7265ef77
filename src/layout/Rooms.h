#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace qv {
class Connection;

// The rooms of the hotel as the rooms window sets them up: the lock address
// of a door (building, floor, room number), the keys derived from it, and the
// rules that keep one door plate for one lock. No widgets: the window shows
// the messages.

// What is wrong with the text of a building or floor box.
enum class BoxFault { None, NotNumber, Zero };
// The two-digit form of a box text (FormatStrTo2Digits without its message):
// "3" -> "03", "12" -> "12". Only one or two digits are a number here; 0, 00
// and negative numbers are refused as Zero, anything else as NotNumber.
BoxFault twoDigitForm(const QString& text, QString& twoDigits);

// The lock address of a new room and the keys derived from it.
struct RoomAddress {
    QString SystemRoomStr;  // two digits each: building, floor, room number ("031207")
    int Buiding = 0;
    int Floor = 0;
    int RoomNumber = 0;
    int Room = 0;  // building text, floor text (as typed) and two-digit number (31207)
};
// The address from the building and floor boxes as typed (both must have
// passed twoDigitForm) and a room number 1 to 99.
RoomAddress roomAddress(const QString& buildingText, const QString& floorText, int roomNumber);

// The room numbers 1 to 99 that no room of that building and floor uses.
QList<int> freeRoomNumbers(const Connection& conn, int building, int floor);

// A room row being stored by the rooms window.
struct RoomRow {
    int Room = 0;
    QString RoomStr;
    int Buiding = 0;
    int Floor = 0;
    int RoomNumber = 0;
};
enum class RoomFault {
    None,
    EmptyDoorPlate,     // no door plate, or only blanks
    DoorPlateTaken,     // another room has this door plate
    AddressTaken,       // another room has this building, floor and room number
    KeyTaken,           // another room has the same derived key `Room`
    OccupiedDoorPlate,  // the door plate of a room with a current stay was changed
};
struct RoomCheck {
    RoomFault fault = RoomFault::None;
    QString otherRoomStr;  // the door plate of the other room, where there is one
    QString roomStr;       // without a fault: the door plate to store
};
// Checks a room before it is stored: a new room (`stored` empty) or a change
// of the stored room `stored`. The door plate is stored without blanks around
// it and at most columns::kDoorPlateLength characters long, and compared with
// the other rooms' as the clerk sees them ("1101 " is "1101"). A room with a
// current stay keeps a stored door plate that differs only in such blanks
// (the stay is found by it), and a door plate left as it was stays exactly as
// stored.
RoomCheck checkRoom(const Connection& conn, const RoomRow& row,
                    const std::optional<RoomRow>& stored);

// True when the room has a current stay (by its key or its door plate).
bool hasOpenStay(const Connection& conn, int room, const QString& roomStr);

enum class RoomDeletion { Deleted, Occupied, Missing };
// Deletes the room unless it has a current stay, in one transaction.
RoomDeletion deleteRoom(Connection& conn, int room, const QString& roomStr);

// The room types the rooms window offers, in table order.
struct RoomTypeTitle {
    int ID = 0;
    QString Title;
};
QList<RoomTypeTitle> roomTypeTitles(const Connection& conn);

}  // namespace qv
