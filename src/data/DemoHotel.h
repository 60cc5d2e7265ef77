#pragma once

#include "data/Connection.h"

namespace qv {

// A small hotel to try the program with: two buildings, room types and
// districts, and no operators (the first logon creates the administrator).
// Building 1 has floors 1 to 3 with 8 rooms each, building 2 floors 1 and 2
// with 6 rooms each; door plates are building, floor and two-digit room
// number ("1203").
void createDemoHotel(Connection& conn);

// The numeric room key and the six-digit system room code of a lock address.
int roomKey(int building, int floor, int roomNumber);
QString systemRoomStr(int building, int floor, int roomNumber);

}  // namespace qv
