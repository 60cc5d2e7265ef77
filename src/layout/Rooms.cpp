#include "layout/Rooms.h"
#include "data/OperationLog.h"

#include "data/Connection.h"
#include "data/TextColumns.h"

#include <QRegularExpression>
#include <QSet>

namespace qv {

BoxFault twoDigitForm(const QString& text, QString& twoDigits) {
    twoDigits.clear();
    static const QRegularExpression number(QStringLiteral(R"(^[+-]?[0-9]+$)"));
    static const QRegularExpression digits(QStringLiteral(R"(^[0-9]{1,2}$)"));
    if (!number.match(text).hasMatch()) {
        return BoxFault::NotNumber;
    }
    bool ok = false;
    const int value = text.toInt(&ok);
    if (ok && value <= 0) {
        return BoxFault::Zero;
    }
    if (!ok || !digits.match(text).hasMatch()) {
        return BoxFault::NotNumber;  // "+5", "123"
    }
    twoDigits = text.size() == 1 ? QLatin1Char('0') + text : text;
    return BoxFault::None;
}

RoomAddress roomAddress(const QString& buildingText, const QString& floorText, int roomNumber) {
    RoomAddress a;
    a.Buiding = buildingText.toInt();
    a.Floor = floorText.toInt();
    a.RoomNumber = roomNumber;
    const QString number = QStringLiteral("%1").arg(roomNumber, 2, 10, QLatin1Char('0'));
    a.SystemRoomStr = QStringLiteral("%1%2")
                          .arg(a.Buiding, 2, 10, QLatin1Char('0'))
                          .arg(a.Floor, 2, 10, QLatin1Char('0')) +
                      number;
    a.Room = (buildingText + floorText + number).toInt();
    return a;
}

QList<int> freeRoomNumbers(const Connection& conn, int building, int floor) {
    QSqlQuery q = conn.run(
        QStringLiteral("select RoomNumber from RoomInfo where Buiding = :b and Floor = :f"),
        {{QStringLiteral(":b"), building}, {QStringLiteral(":f"), floor}});
    QSet<int> taken;
    while (q.next()) {
        taken.insert(q.value(0).toInt());
    }
    QList<int> free;
    for (int n = 1; n <= 99; ++n) {
        if (!taken.contains(n)) {
            free.append(n);
        }
    }
    return free;
}

namespace {

// The door plate of another room that matches `condition`, if any.
std::optional<QString> otherRoom(const Connection& conn, const QString& condition, Binds binds,
                                 const std::optional<RoomRow>& stored) {
    QString sql = QStringLiteral("select RoomStr from RoomInfo where ") + condition;
    if (stored) {
        sql += QStringLiteral(" and Room <> :self");
        binds.insert(QStringLiteral(":self"), stored->Room);
    }
    QSqlQuery q = conn.run(sql, binds);
    if (q.next()) {
        return q.value(0).toString();
    }
    return std::nullopt;
}

}  // namespace

RoomCheck checkRoom(const Connection& conn, const RoomRow& row,
                    const std::optional<RoomRow>& stored) {
    if (stored && row.RoomStr == stored->RoomStr) {
        // The door plate was not touched (only the type changed): it stays
        // exactly as stored, also one kept from before these rules.
        return {RoomFault::None, {}, stored->RoomStr};
    }
    QString plate = columns::storedText(row.RoomStr, columns::kDoorPlateLength);
    if (plate.isEmpty()) {
        return {RoomFault::EmptyDoorPlate, {}, {}};
    }
    if (stored && stored->RoomStr != plate && hasOpenStay(conn, stored->Room, stored->RoomStr)) {
        // The stay is found by its door plate at check-out and copy: it would be lost.
        if (!columns::sameName(stored->RoomStr, plate)) {
            return {RoomFault::OccupiedDoorPlate, stored->RoomStr, {}};
        }
        plate = stored->RoomStr;  // only blanks differ: corrected after the stay
    }
    if (!stored || stored->RoomStr != plate) {
        QSqlQuery q = conn.run(QStringLiteral("select Room, RoomStr from RoomInfo"));
        while (q.next()) {
            if ((!stored || q.value(0).toInt() != stored->Room) &&
                columns::sameName(q.value(1).toString(), plate)) {
                return {RoomFault::DoorPlateTaken, q.value(1).toString(), {}};
            }
        }
    }
    if (!stored) {
        if (auto other =
                otherRoom(conn, QStringLiteral("Buiding = :b and Floor = :f and RoomNumber = :n"),
                          {{QStringLiteral(":b"), row.Buiding},
                           {QStringLiteral(":f"), row.Floor},
                           {QStringLiteral(":n"), row.RoomNumber}},
                          stored)) {
            return {RoomFault::AddressTaken, *other, {}};
        }
        if (auto other = otherRoom(conn, QStringLiteral("Room = :r"),
                                   {{QStringLiteral(":r"), row.Room}}, stored)) {
            return {RoomFault::KeyTaken, *other, {}};
        }
    }
    return {RoomFault::None, {}, plate};
}

bool hasOpenStay(const Connection& conn, int room, const QString& roomStr) {
    return conn.scalar(QStringLiteral("select count(*) from GuestInRecord where enOverride = 0 "
                                      "and (Room = :room or RoomStr = :str)"),
                       {{QStringLiteral(":room"), room}, {QStringLiteral(":str"), roomStr}})
               .toInt() > 0;
}

RoomDeletion deleteRoom(Connection& conn, int room, const QString& roomStr) {
    Transaction t(conn);
    const int deleted = conn.execute(
        QStringLiteral("delete from RoomInfo where Room = :room and not exists (select 1 from "
                       "GuestInRecord where enOverride = 0 and (Room = :room or RoomStr = :str))"),
        {{QStringLiteral(":room"), room}, {QStringLiteral(":str"), roomStr}});
    RoomDeletion result = RoomDeletion::Deleted;
    if (deleted == 0) {
        result = conn.scalar(QStringLiteral("select count(*) from RoomInfo where Room = :room"),
                             {{QStringLiteral(":room"), room}})
                             .toInt() > 0
                     ? RoomDeletion::Occupied
                     : RoomDeletion::Missing;
    } else {
        oplog::appendOperation(conn,
                               {QLatin1String(oplog::Actions::RoomDeleted), roomStr, QString()});
    }
    t.commit();
    return result;
}

QList<RoomTypeTitle> roomTypeTitles(const Connection& conn) {
    QSqlQuery q = conn.run(QStringLiteral("select ID, Title from RoomType order by ID"));
    QList<RoomTypeTitle> titles;
    while (q.next()) {
        titles.append({q.value(0).toInt(), q.value(1).toString()});
    }
    return titles;
}

}  // namespace qv
