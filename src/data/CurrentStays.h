#pragma once

#include <QString>

namespace qv {

// Every room with its state and its current stays (no row, one, or several
// per room): the join that the room board and the room list read. It goes
// through the partial index on enOverride = 0, at the cost of the current
// stays and not of the whole history. Aliases: I the room, S its state, G a
// current stay.
inline QString roomsWithCurrentStays() {
    return QStringLiteral(
        "RoomInfo I join RoomStateType S on S.ID = I.RoomState "
        "left join GuestInRecord G on G.Room = I.Room and G.enOverride = 0");
}

}  // namespace qv
