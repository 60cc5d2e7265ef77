// What storing a data card and querying a room's door openings cost on a
// large hotel:
//   bench_datacards [OPENINGS [LOG_ROWS [CARD_RECORDS]]]   (default 5000000 2000000 1000)
// The lock database holds 10,000 rooms, OPENINGS door-opening records and
// LOG_ROWS card issue log rows. A data card of CARD_RECORDS records of one
// room (from forty cards) is decoded and stored as the data card window does
// (look-ups once per card, each record stored once by its identity in one
// transaction; the history's rows, stored before records were identified,
// are taken over where the card holds them again);
// the figure is compared with the bare SQLite C API inserting the same rows
// in one transaction. Then the records window's query of that room (count
// and first page) and the printed list (every row) are compared with the
// same statements through the C API, and the query plans are shown: the
// benchmark fails when a statement would scan the whole table.
#include "card/DataCard.h"
#include "data/Connection.h"
#include "data/DemoHotel.h"
#include "data/PagedQueryModel.h"
#include "data/dm_unit.h"
#include "platform/AppPaths.h"
#include "platform/TestDialogs.h"
#include "settings/Settings.h"

#include <sqlite3.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "BenchSupport.h"
#include "DataCardsBench.h"

namespace {

using qvbench::check;
using qvbench::Generator;

constexpr int kRooms = 10000;
constexpr int kPageRows = qv::PagedQueryModel::kPageRows;

struct Room {
    int building;
    int floor;
    int number;
    QByteArray str;
    QByteArray sys;
};

Room roomAt(int i) {
    Room r;
    r.building = 1 + i / 9801;
    r.floor = 1 + (i / 99) % 99;
    r.number = 1 + i % 99;
    r.str = QByteArray::number(qv::roomKey(r.building, r.floor, r.number));
    r.sys = qv::systemRoomStr(r.building, r.floor, r.number).toUtf8();
    return r;
}

QByteArray hexSerial(int type, int serial) {
    char text[16];
    std::snprintf(text, sizeof text, "%02X00%02X%02X", type, (serial / 256) & 0xFF, serial % 256);
    return text;
}

QByteArray timeText(long long minutes) {
    const QDateTime t = QDateTime(QDate(2015, 1, 1), QTime(0, 0)).addSecs(minutes * 60);
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:00")).toUtf8();
}

void addRooms(const QString& path) {
    Generator g(path);
    sqlite3_stmt* st = g.prepare(
        "insert into RoomInfo (Room, RoomStr, SystemRoomStr, Buiding, Floor, RoomNumber, District, "
        "RoomTypeStr) values (?, ?, ?, ?, ?, ?, 1, '标准间')");
    for (int i = 0; i < kRooms; ++i) {
        const Room r = roomAt(i);
        sqlite3_bind_int(st, 1, qv::roomKey(r.building, r.floor, r.number));
        sqlite3_bind_text(st, 2, r.str.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, r.sys.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 4, r.building);
        sqlite3_bind_int(st, 5, r.floor);
        sqlite3_bind_int(st, 6, r.number);
        g.step(st);
    }
    sqlite3_finalize(st);
}

// Ten years of issued cards: nine guest cards in ten, the rest emergency cards.
void addCardLog(const QString& path, int rows) {
    Generator g(path);
    sqlite3_stmt* st = g.prepare(
        "insert into MakeCardRecord (CardType, Rom, RoomStr, Holder, Explain, MakeUser, MakeName, "
        "StartTime, EndTime, enOverride, InputTime) values (?, ?, ?, ?, '', 'desk', '前台', ?, ?, "
        "1, ?)");
    for (int i = 0; i < rows; ++i) {
        const bool guest = i % 10 != 0;
        const Room r = roomAt((i * 7919) % kRooms);
        const int serial = 1 + (i / kRooms) % 60000;
        const QByteArray rom = guest ? r.sys + hexSerial(0, serial) : hexSerial(3, i % 60000);
        const QByteArray holder = QStringLiteral("客人%1").arg(i).toUtf8();
        const QByteArray time = timeText(i * 2LL);
        sqlite3_bind_int(st, 1, guest ? 4 : 3);
        sqlite3_bind_text(st, 2, rom.constData(), -1, SQLITE_TRANSIENT);
        if (guest) {
            sqlite3_bind_text(st, 3, r.str.constData(), -1, SQLITE_TRANSIENT);
        } else {
            sqlite3_bind_null(st, 3);
        }
        sqlite3_bind_text(st, 4, holder.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 5, time.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 6, time.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 7, time.constData(), -1, SQLITE_TRANSIENT);
        g.step(st);
    }
    sqlite3_finalize(st);
}

// Door openings of every room over ten years, the rooms' locks read in turn.
void addOpenings(const QString& path, int rows) {
    Generator g(path);
    sqlite3_stmt* st = g.prepare(
        "insert into OpenDoorRecord (RoomStr, Rom, OpenTime, CardType, CardTypeStr, "
        "CardHolderStr, MakeName) values (?, ?, ?, 4, '宾客卡', ?, '前台')");
    for (int i = 0; i < rows; ++i) {
        const Room r = roomAt(i % kRooms);
        const QByteArray rom = hexSerial(0, 1 + (i / kRooms) % 60000);
        const QByteArray time = timeText(i);
        const QByteArray holder = QStringLiteral("客人%1").arg(i % 100000).toUtf8();
        sqlite3_bind_text(st, 1, r.str.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, rom.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, time.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 4, holder.constData(), -1, SQLITE_TRANSIENT);
        g.step(st);
    }
    sqlite3_finalize(st);
    g.exec("ANALYZE");
}

// The card: records of one lock from thirty guest cards and ten emergency cards.
QList<qv::OpenDoorRecord> dataCard(const Room& room, int records) {
    QList<qv::OpenDoorRecord> out;
    for (int i = 0; i < records; ++i) {
        qv::OpenDoorRecord r;
        r.Building = static_cast<uint16_t>(room.building);
        r.Floor = static_cast<uint16_t>(room.floor);
        r.RoomAddr[0] = static_cast<uint16_t>(room.number);
        const bool guest = i % 4 != 0;
        r.CardType = guest ? 4 : 3;
        const int serial = guest ? 1 + i % 30 : i % 10;
        r.CardSn[0] = static_cast<uint16_t>(serial % 256);
        r.CardSn[1] = static_cast<uint16_t>(serial / 256);
        const QDateTime t = QDateTime(QDate(2025, 3, 1), QTime(0, 0)).addSecs(i * 60LL);
        r.Time[0] = static_cast<uint16_t>(t.date().year());
        r.Time[1] = static_cast<uint16_t>(t.date().month());
        r.Time[2] = static_cast<uint16_t>(t.date().day());
        r.Time[3] = static_cast<uint16_t>(t.time().hour());
        r.Time[4] = static_cast<uint16_t>(t.time().minute());
        out.append(r);
    }
    return out;
}

sqlite3* openBare(const QString& path) {
    sqlite3* db = nullptr;
    check(sqlite3_open(path.toUtf8().constData(), &db), db, "open");
    check(sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL", nullptr, nullptr,
                       nullptr),
          db, "pragmas");
    sqlite3_busy_timeout(db, 10000);
    return db;
}

// The same rows inserted through the C API in one transaction, under their
// own door plate so that they can be taken out again afterwards.
double bareInsert(const QString& path, const QList<qv::DoorOpening>& rows) {
    sqlite3* db = openBare(path);
    double best = 1e300;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer t;
        t.start();
        check(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), db, "begin");
        sqlite3_stmt* st = nullptr;
        check(sqlite3_prepare_v2(db,
                                 "insert into OpenDoorRecord (RoomStr, Rom, OpenTime, CardType, "
                                 "CardTypeStr, CardHolderStr, MakeName) values ('bare', ?, ?, ?, "
                                 "?, ?, ?)",
                                 -1, &st, nullptr),
              db, "prepare");
        for (const qv::DoorOpening& r : rows) {
            const QByteArray rom = r.Rom.toUtf8();
            const QByteArray time = qv::Dialect::dateTimeText(r.OpenTime).toUtf8();
            const QByteArray kind = r.CardTypeStr.toUtf8();
            const QByteArray holder = r.CardHolderStr.toUtf8();
            const QByteArray maker = r.MakeName.toUtf8();
            sqlite3_bind_text(st, 1, rom.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, time.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(st, 3, r.CardType);
            sqlite3_bind_text(st, 4, kind.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 5, holder.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 6, maker.constData(), -1, SQLITE_TRANSIENT);
            check(sqlite3_step(st), db, "insert");
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
        best = std::min(best, t.nsecsElapsed() / 1e6);
        // Not timed: the table as it was for the next run.
        check(sqlite3_exec(db, "DELETE FROM OpenDoorRecord WHERE RoomStr = 'bare'", nullptr,
                           nullptr, nullptr),
              db, "clean up");
    }
    sqlite3_close(db);
    return best;
}

// Runs `sql` with the room bound and reads every column of every row as text.
long long bareRows(sqlite3* db, const char* sql, const QByteArray& room) {
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), db, sql);
    sqlite3_bind_text(st, 1, room.constData(), -1, SQLITE_TRANSIENT);
    long long bytes = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            sqlite3_column_text(st, c);
            bytes += sqlite3_column_bytes(st, c);
        }
    }
    sqlite3_finalize(st);
    return bytes;
}

// Prints the plan of `sql`; false when it reads a table without an index.
bool showPlan(sqlite3* db, const char* what, const QByteArray& sql) {
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(db, ("EXPLAIN QUERY PLAN " + sql).constData(), -1, &st, nullptr), db,
          what);
    bool indexed = true;
    std::printf("plan of %s:\n", what);
    while (sqlite3_step(st) == SQLITE_ROW) {
        const QByteArray detail = reinterpret_cast<const char*>(sqlite3_column_text(st, 3));
        std::printf("    %s\n", detail.constData());
        if (detail.startsWith("SCAN") && !detail.contains("INDEX")) {
            indexed = false;
        }
    }
    sqlite3_finalize(st);
    return indexed;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int openings = argc > 1 ? std::max(0, std::atoi(argv[1])) : 5000000;
    const int logRows = argc > 2 ? std::max(0, std::atoi(argv[2])) : 2000000;
    const int cardRecords = argc > 3 ? std::max(1, std::atoi(argv[3])) : 1000;

    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("db"));
    qv::AppPaths::setDir(dir.path());
    qv::TestDialogs boxes;
    Tdm module;
    dm = &module;
    const QString path = dir.filePath(QStringLiteral("db/lock.db"));
    module.conn.openSQLite(path, true);
    module.conn.createSchema();

    QElapsedTimer generation;
    generation.start();
    addRooms(path);
    addCardLog(path, logRows);
    addOpenings(path, openings);
    const double generated = generation.nsecsElapsed() / 1e6;

    // A room in the middle of the hotel, with its share of the history.
    const Room room = roomAt(kRooms / 2);
    const QList<qv::OpenDoorRecord> card = dataCard(room, cardRecords);
    QList<qv::DoorOpening> rows;
    const double stored = bestOf(5, [&] {
        rows = qv::DecodeOpenDoorRecords(card);
        qv::StoreDoorOpenings(rows);
    });
    const double decoded = bestOf(5, [&] { rows = qv::DecodeOpenDoorRecords(card); });
    const double replaced = bestOf(5, [&] { qv::StoreDoorOpenings(rows); });
    const double bare = bareInsert(path, rows);
    const int roomRows =
        module.conn
            .scalar(QStringLiteral("select count(*) from OpenDoorRecord where RoomStr = :r"),
                    {{QStringLiteral(":r"), QString::fromUtf8(room.str)}})
            .toInt();

    // The records window's query of the room, and its printed list.
    const QString select = QStringLiteral("Select * from OpenDoorRecord Where RoomStr = :room");
    qv::PagedQueryModel model(module.conn);
    model.setQuery(select, {{QStringLiteral(":room"), QString::fromUtf8(room.str)}},
                   QStringLiteral("ID"));
    model.setColumns({QStringLiteral("RoomStr"), QStringLiteral("CardTypeStr"),
                      QStringLiteral("Rom"), QStringLiteral("CardHolderStr"),
                      QStringLiteral("OpenTime"), QStringLiteral("MakeName")});
    const double windowQuery = bestOf(10, [&] { model.refresh(); });
    qsizetype printed = 0;
    const double printQuery = bestOf(5, [&] { printed = model.allRowsText().size(); });

    sqlite3* db = openBare(path);
    long long sink = 0;
    const QByteArray countSql =
        "select count(*) from (Select * from OpenDoorRecord Where RoomStr = ?1) qv_rows";
    const QByteArray pageSql =
        "Select * from OpenDoorRecord Where RoomStr = ?1 order by ID limit 256 offset 0";
    const QByteArray allSql = "Select * from OpenDoorRecord Where RoomStr = ?1 order by ID";
    const double bareWindow = bestOf(10, [&] {
        sink += bareRows(db, countSql.constData(), room.str);
        sink += bareRows(db, pageSql.constData(), room.str);
    });
    const double barePrint = bestOf(5, [&] { sink += bareRows(db, allSql.constData(), room.str); });
    bool indexed = showPlan(db, "the count", countSql);
    indexed = showPlan(db, "a page", pageSql) && indexed;
    indexed = showPlan(db, "the data card's replacement",
                       "Delete From OpenDoorRecord Where RoomStr = ?1") &&
              indexed;
    indexed = showPlan(db, "the card log look-up",
                       "Select Holder From MakeCardRecord Where CardType = ?1 And Rom = ?2 "
                       "order by ID") &&
              indexed;
    sqlite3_close(db);

    std::printf("rooms %d, door openings %d, card log rows %d, records on the card %d\n", kRooms,
                openings, logRows, cardRecords);
    std::printf("generation                  %10.1f ms\n", generated);
    std::printf(
        "data card stored            %10.2f ms (decode, look-ups, store once, one transaction)\n",
        stored);
    std::printf("  of which decode, look-ups %10.2f ms\n", decoded);
    std::printf("  of which again, commit    %10.2f ms (every record stored already)\n", replaced);
    std::printf("bare inserts (C API)        %10.2f ms\n", bare);
    std::printf("stored / bare inserts       %10.2f (target <= 3)\n",
                bare > 0 ? stored / bare : 0.0);
    std::printf("room query (count + page)   %10.2f ms, %d rows of the room, first %d read\n",
                windowQuery, roomRows, std::min(roomRows, kPageRows));
    std::printf("bare count + page (C API)   %10.2f ms\n", bareWindow);
    std::printf("room query / bare           %10.2f (target <= 2)\n",
                bareWindow > 0 ? windowQuery / bareWindow : 0.0);
    std::printf("printed list (every row)    %10.2f ms, %lld rows\n", printQuery,
                static_cast<long long>(printed));
    std::printf("bare rows (C API)           %10.2f ms\n", barePrint);
    std::printf("printed list / bare         %10.2f (target <= 2)\n",
                barePrint > 0 ? printQuery / barePrint : 0.0);
    std::printf("query plans use indexes     %10s\n", indexed ? "yes" : "NO");
    dm = nullptr;
    if (rows.size() != cardRecords || printed != roomRows || sink < 0) {
        std::fprintf(stderr, "unexpected row counts\n");
        return 1;
    }
    return indexed ? 0 : 2;
}
