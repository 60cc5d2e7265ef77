#pragma once

// Guest cards placed on the simulated encoder and the rows they leave, for the
// stays suites.

#include "SimEncoder.h"

#include "card/CardFunctions.h"
#include "data/dm_unit.h"

#include <QDateTime>
#include <QString>

// Puts a written card on the encoder: a card of `type` for the lock address
// building / floor / room number, with `serial` and the times given.
inline void placeCard(const SimEncoder& sim, int type, int building, int floor, int roomNumber,
                      int serial, const QDateTime& start, const QDateTime& end) {
    auto time = [](const QDateTime& t) {
        return QStringLiteral("%1 %2 %3 %4 %5 0")
            .arg(t.date().year())
            .arg(t.date().month())
            .arg(t.date().day())
            .arg(t.time().hour())
            .arg(t.time().minute());
    };
    const QString text =
        QStringLiteral(
            "card=written\nCardSn=%1 %2 0 0 0\nReserved2=0 0 0 0 0\nBuilding=%3\n"
            "Floor=%4 0 0 0 0 0 0 0 0\nDistrict=0 0 0 0 0\nRoomAddr=%5 %3 %4 0 0 0 0\n"
            "Override=1\nCardType=%6 0 0 0 0 0 0 0 0\nReserved3=0 0 0 0 0\nStartTime=%7\n"
            "EndTime=%8\n")
            .arg(serial % 256)
            .arg(serial / 256)
            .arg(building)
            .arg(floor)
            .arg(roomNumber)
            .arg(type)
            .arg(time(start), time(end));
    sim.writeState(QStringLiteral("card.txt"), text.toUtf8());
}

// A guest card of room 1203 of the demo hotel (building 1, floor 2, room 3).
inline void placeGuestCard1203(const SimEncoder& sim, int serial, const QDateTime& start,
                               const QDateTime& end) {
    placeCard(sim, CardTypes::Guest, 1, 2, 3, serial, start, end);
}

inline int roomCounter(const QString& room) {
    return dm->conn
        .scalar(QStringLiteral("select CardSn from RoomInfo where RoomStr = :r"),
                {{QStringLiteral(":r"), room}})
        .toInt();
}
inline int countRows(const QString& sql) {
    return dm->conn.scalar(sql).toInt();
}
inline QDateTime cardStart(const TCardData& c) {
    return CardTimeToDate(c.StartTime);
}
inline QDateTime cardEnd(const TCardData& c) {
    return CardTimeToDate(c.EndTime);
}
