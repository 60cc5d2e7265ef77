// What one rebuild of the room board costs on a large hotel:
//   bench_board [ROOMS [ENDED_STAYS [CURRENT_STAYS [ROUNDS]]]]   (default 10000 1000000 8000 15)
// One rebuild is SetRoom_LV (query, items, pictures) and the layout of the
// board offscreen. Two lock databases hold the same rooms and current stays,
// the second also ENDED_STAYS ended ones. Each round times, in turn, the
// bare board query with the SQLite C API on the second, the rebuild on the
// first (without history) and the rebuild on the second (with history); the
// ratios are taken within each round, so that a noisy machine moves both
// sides of a ratio alike. Prints median and spread (lowest .. highest) of
// each timing and ratio, and the peak memory of the process.
#include "data/Connection.h"
#include "data/DemoHotel.h"
#include "data/Session.h"
#include "data/dm_unit.h"
#include "main/Main.h"
#include "platform/AppPaths.h"
#include "platform/TestDialogs.h"
#include "settings/Settings.h"

#include <sqlite3.h>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "BenchSupport.h"
#include "SqliteBench.h"

namespace {

struct Room {
    int key;
    QByteArray str;
};

std::vector<Room> addRooms(const QString& path, int rooms) {
    std::vector<Room> out;
    Generator g(path);
    sqlite3_stmt* st = g.prepare(
        "insert into RoomInfo (Room, RoomStr, SystemRoomStr, Buiding, Floor, RoomNumber, District, "
        "RoomState, "
        "RoomType, RoomTypeStr) values (?, ?, ?, ?, ?, ?, ?, ?, ?, '标准间')");
    for (int i = 0; i < rooms; ++i) {
        const int building = 1 + i / 9801;
        const int floor = 1 + (i / 99) % 99;
        const int number = 1 + i % 99;
        const int key = qv::roomKey(building, floor, number);
        const QByteArray str = QByteArray::number(key);
        const QByteArray sys = qv::systemRoomStr(building, floor, number).toUtf8();
        sqlite3_bind_int(st, 1, key);
        sqlite3_bind_text(st, 2, str.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, sys.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 4, building);
        sqlite3_bind_int(st, 5, floor);
        sqlite3_bind_int(st, 6, number);
        sqlite3_bind_int(st, 7, building);
        sqlite3_bind_int(st, 8, i % 50 == 0 ? 1 : 0);
        sqlite3_bind_int(st, 9, 1);
        g.step(st);
        out.push_back({key, str});
    }
    sqlite3_finalize(st);
    g.exec("insert into RoomType (ID, Title, Size, Piece) values (1, '标准间', 2, 288)");
    g.exec(
        "insert into Operator (Staffer, StafferName, CheckIn, CheckOut) values ('bench', 'bench', "
        "1, 1)");
    return out;
}

void addStays(const QString& path, const std::vector<Room>& rooms, int count, bool ended) {
    Generator g(path);
    sqlite3_stmt* st = g.prepare(
        "insert into GuestInRecord (Room, RoomStr, GuestName, GuestID, Rom, GuestInTime, "
        "GuestLeaveTime, "
        "LeaveTime, enOverride, InputUser, InputTime) values (?, ?, ?, '110101199001011234', ?, ?, "
        "?, ?, ?, "
        "'bench', ?)");
    for (int i = 0; i < count; ++i) {
        // Ended stays spread over ten years, current ones over the rooms.
        const Room& room =
            rooms[static_cast<std::size_t>(ended ? (i * 7919) % rooms.size() : i % rooms.size())];
        const int day = ended ? (i / 300) % 3650 : 0;
        char in[32], out[32];
        std::snprintf(in, sizeof in, "%04d-%02d-%02d 14:%02d:00", 2014 + day / 365,
                      1 + (day / 30) % 12, 1 + day % 28, i % 60);
        std::snprintf(out, sizeof out, "%04d-%02d-%02d 12:00:00", 2014 + day / 365,
                      1 + (day / 30) % 12, 1 + (day + 1) % 28);
        const QByteArray guest = QStringLiteral("客人%1").arg(i).toUtf8();
        const QByteArray rom = "0101" + room.str;
        sqlite3_bind_int(st, 1, room.key);
        sqlite3_bind_text(st, 2, room.str.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, guest.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 4, rom.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 5, in, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 6, out, -1, SQLITE_TRANSIENT);
        if (ended) {
            sqlite3_bind_text(st, 7, out, -1, SQLITE_TRANSIENT);
        } else {
            sqlite3_bind_null(st, 7);
        }
        sqlite3_bind_int(st, 8, ended ? 1 : 0);
        sqlite3_bind_text(st, 9, in, -1, SQLITE_TRANSIENT);
        g.step(st);
    }
    sqlite3_finalize(st);
    g.exec("ANALYZE");
}

// The board query through the bare C API on a connection of its own (kept
// open, like the program's): prepared, every column of every row read as
// text, finalized.
double bareQuery(sqlite3* db, const QByteArray& sql, long long& sink) {
    QElapsedTimer t;
    t.start();
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr), db, "board query");
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            sqlite3_column_text(st, c);
            sink += sqlite3_column_bytes(st, c);
        }
    }
    sqlite3_finalize(st);
    return t.nsecsElapsed() / 1e6;
}

double peakKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').value(0).toDouble();
        }
    }
    return -1;
}

// Median and spread (lowest, highest) of a series.
struct Spread {
    double median = 0;
    double low = 0;
    double high = 0;
};
Spread spread(std::vector<double> v) {
    if (v.empty()) {
        return {};
    }
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    const double median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    return {median, v.front(), v.back()};
}

void printSpread(const char* what, const std::vector<double>& v, const char* unit,
                 const char* target = "") {
    const Spread s = spread(v);
    std::printf("%-28s median %8.2f%s  (%.2f .. %.2f)%s\n", what, s.median, unit, s.low, s.high,
                target);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const int rooms = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int endedStays = argc > 2 ? std::max(0, std::atoi(argv[2])) : 1000000;
    const int currentStays = argc > 3 ? std::max(0, std::atoi(argv[3])) : std::min(8000, rooms);
    const int rounds = argc > 4 ? std::max(1, std::atoi(argv[4])) : 15;

    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("db"));
    qv::AppPaths::setDir(dir.path());
    qv::TestDialogs boxes;  // the demonstration notices of a folder without an encoder

    // Two lock databases with the same rooms and current stays; the second
    // also holds the ended stays of ten years.
    const QString without = dir.filePath(QStringLiteral("db/without.db"));
    const QString with = dir.filePath(QStringLiteral("db/lock.db"));
    QElapsedTimer generation;
    generation.start();
    {
        qv::Connection conn;
        conn.openSQLite(without, true);
        conn.createSchema();
        conn.close();
    }
    const std::vector<Room> hotel = addRooms(without, rooms);
    addStays(without, hotel, currentStays, false);
    if (!QFile::copy(without, with)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(without));
        return 1;
    }
    const double generatedCurrent = generation.nsecsElapsed() / 1e6;
    generation.restart();
    addStays(with, hotel, endedStays, true);
    const double generatedEnded = generation.nsecsElapsed() / 1e6;

    Tdm withoutHistory;
    Tdm withHistory;
    withoutHistory.conn.openSQLite(without);
    withHistory.conn.openSQLite(with);
    sqlite3* bare = nullptr;
    check(sqlite3_open_v2(with.toUtf8().constData(), &bare, SQLITE_OPEN_READONLY, nullptr), bare,
          "open");
    const QByteArray sql = RoomBoardQuery::text(false, false).toUtf8();

    qv::session().login = QStringLiteral("bench");
    qv::session().name = QStringLiteral("bench");
    long long sink = 0;
    std::vector<double> bareMs, withMs, withoutMs, toBare, toWithout;
    int items = 0;
    int itemsWithout = 0;
    {
        dm = &withHistory;
        TMainForm form;
        form.setWindowState(Qt::WindowNoState);
        form.resize(1280, 800);
        form.show();
        QApplication::processEvents();
        auto rebuild = [&](Tdm& module) {
            dm = &module;
            QElapsedTimer t;
            t.start();
            form.SetRoom_LV();
            static_cast<QAbstractItemView*>(form.Room_ListView)->doItemsLayout();
            return t.nsecsElapsed() / 1e6;
        };
        // One untimed round warms every cache, then the three timings take
        // turns, each round in another order.
        rebuild(withoutHistory);
        rebuild(withHistory);
        bareQuery(bare, sql, sink);
        for (int r = 0; r < rounds; ++r) {
            double b = 0, w = 0, wo = 0;
            for (int k = 0; k < 3; ++k) {
                switch ((r + k) % 3) {
                    case 0:
                        b = bareQuery(bare, sql, sink);
                        break;
                    case 1:
                        wo = rebuild(withoutHistory);
                        itemsWithout = form.RoomBoard->rowCount();
                        break;
                    default:
                        w = rebuild(withHistory);
                        items = form.RoomBoard->rowCount();
                        break;
                }
            }
            bareMs.push_back(b);
            withMs.push_back(w);
            withoutMs.push_back(wo);
            toBare.push_back(b > 0 ? w / b : 0);
            toWithout.push_back(wo > 0 ? w / wo : 0);
        }
        dm = &withHistory;
    }
    sqlite3_close(bare);
    std::printf("rooms %d, ended stays %d, current stays %d, board items %d, rounds %d\n", rooms,
                endedStays, currentStays, items, rounds);
    std::printf("generation %.1f ms (rooms and current stays), %.1f ms (ended stays)\n",
                generatedCurrent, generatedEnded);
    printSpread("board rebuild", withMs, " ms");
    printSpread("rebuild without history", withoutMs, " ms");
    printSpread("bare query (C API)", bareMs, " ms");
    printSpread("rebuild / bare query", toBare, "", "  target <= 1.7");
    printSpread("with / without history", toWithout, "", "  target <= 1.1");
    std::printf("peak memory (VmHWM)          %.0f KiB\n", peakKiB());
    dm = nullptr;
    if (items != itemsWithout) {
        std::fprintf(stderr, "the two boards differ: %d and %d items\n", items, itemsWithout);
        return 1;
    }
    return sink < 0 ? 1 : 0;
}
