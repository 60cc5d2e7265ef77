#include "data/DemoHotel.h"

namespace qv {

int roomKey(int building, int floor, int roomNumber) {
    return (QString::number(building) + QString::number(floor) +
            QStringLiteral("%1").arg(roomNumber, 2, 10, QLatin1Char('0')))
        .toInt();
}

QString systemRoomStr(int building, int floor, int roomNumber) {
    return QStringLiteral("%1%2%3")
        .arg(building, 2, 10, QLatin1Char('0'))
        .arg(floor, 2, 10, QLatin1Char('0'))
        .arg(roomNumber, 2, 10, QLatin1Char('0'));
}

void createDemoHotel(Connection& conn) {
    Transaction t(conn);
    const struct {
        int id;
        const char* title;
        double size;
        double price;
    } types[] = {{1, "标准间", 2, 288}, {2, "大床房", 2, 328}, {3, "豪华套房", 3, 888}};
    for (const auto& type : types) {
        conn.execute(
            QStringLiteral("insert into RoomType (ID, Title, Size, Piece) values (:i, :t, :s, :p)"),
            {{":i", type.id},
             {":t", QString::fromUtf8(type.title)},
             {":s", type.size},
             {":p", type.price}});
    }
    conn.execute(QStringLiteral("insert into District (DistrictNumber, Notes) values (1, :n)"),
                 {{":n", QStringLiteral("东楼")}});
    conn.execute(QStringLiteral("insert into District (DistrictNumber, Notes) values (2, :n)"),
                 {{":n", QStringLiteral("西楼")}});

    const struct {
        int building;
        int floors;
        int rooms;
    } buildings[] = {{1, 3, 8}, {2, 2, 6}};
    for (const auto& b : buildings) {
        for (int floor = 1; floor <= b.floors; ++floor) {
            for (int number = 1; number <= b.rooms; ++number) {
                const auto& type = types[number <= 4 ? 0 : (number < b.rooms ? 1 : 2)];
                const int key = roomKey(b.building, floor, number);
                conn.execute(
                    QStringLiteral(
                        "insert into RoomInfo (Room, RoomStr, SystemRoomStr, Buiding, Floor, "
                        "RoomNumber, District, RoomState, RoomType, RoomTypeStr, CardSn) "
                        "values (:room, :str, :sys, :b, :f, :n, :d, 0, :type, :title, 0)"),
                    {{":room", key},
                     {":str", QString::number(key)},
                     {":sys", systemRoomStr(b.building, floor, number)},
                     {":b", b.building},
                     {":f", floor},
                     {":n", number},
                     {":d", b.building},
                     {":type", type.id},
                     {":title", QString::fromUtf8(type.title)}});
            }
        }
    }
    if (conn.kind() == DbKind::PostgreSQL) {
        // Keep the identity of RoomType after the explicit keys above.
        conn.run(
            QStringLiteral("select setval(pg_get_serial_sequence('roomtype', 'id'), (select "
                           "max(ID) from RoomType))"));
    }
    t.commit();
}

}  // namespace qv
