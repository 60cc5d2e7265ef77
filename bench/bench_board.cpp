// What one rebuild of the room board costs on a large hotel:
//   bench_board [ROOMS [ENDED_STAYS [CURRENT_STAYS]]]   (default 10000 1000000 8000)
// One rebuild is SetRoom_LV (query, items, pictures) and the layout of the
// board offscreen. Prints milliseconds per rebuild, the ratio to the bare
// board query with the SQLite C API, the ratio to the same rebuild without
// ended stays, and the peak memory of the process.
#include "data/DemoHotel.h"
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

// The same rows through the bare C API: every column of every row read as text.
double bareQuery(const QString& path, long long& sink) {
    const QByteArray sql = RoomBoardQuery::text(false, false).toUtf8();
    return bestOf(5, [&] {
        sqlite3* db = nullptr;
        sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* st = nullptr;
        check(sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr), db, "board query");
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                sqlite3_column_text(st, c);
                sink += sqlite3_column_bytes(st, c);
            }
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
    });
}

long peakKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    return -1;
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

    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("db"));
    qv::AppPaths::setDir(dir.path());
    qv::TestDialogs boxes;  // the demonstration notices of a folder without an encoder
    Tdm module;
    dm = &module;
    const QString path = dir.filePath(QStringLiteral("db/lock.db"));
    module.conn.openSQLite(path, true);
    module.conn.createSchema();

    QElapsedTimer generation;
    generation.start();
    const std::vector<Room> hotel = addRooms(path, rooms);
    addStays(path, hotel, currentStays, false);
    const double generatedCurrent = generation.nsecsElapsed() / 1e6;

    LockSystemInfo.Staffer = QStringLiteral("bench");
    LockSystemInfo.StafferName = QStringLiteral("bench");
    long long sink = 0;
    double withoutHistory = 0;
    double withHistory = 0;
    double bare = 0;
    double generatedEnded = 0;
    int items = 0;
    {
        TMainForm form;
        form.setWindowState(Qt::WindowNoState);
        form.resize(1280, 800);
        form.show();
        QApplication::processEvents();
        auto rebuild = [&] {
            form.SetRoom_LV();
            static_cast<QAbstractItemView*>(form.Room_ListView)->doItemsLayout();
        };
        withoutHistory = bestOf(5, rebuild);

        generation.restart();
        addStays(path, hotel, endedStays, true);
        generatedEnded = generation.nsecsElapsed() / 1e6;
        withHistory = bestOf(5, rebuild);
        items = form.RoomBoard->rowCount();
        bare = bareQuery(path, sink);
    }
    std::printf("rooms %d, ended stays %d, current stays %d, board items %d\n", rooms, endedStays,
                currentStays, items);
    std::printf(
        "generation               %10.1f ms (rooms and current stays), %.1f ms (ended stays)\n",
        generatedCurrent, generatedEnded);
    std::printf("board rebuild            %10.2f ms\n", withHistory);
    std::printf("bare query (C API)       %10.2f ms\n", bare);
    std::printf("rebuild / bare query     %10.2f (target <= 3)\n",
                bare > 0 ? withHistory / bare : 0.0);
    std::printf("rebuild without history  %10.2f ms\n", withoutHistory);
    std::printf("with / without history   %10.2f (target <= 1.2)\n",
                withoutHistory > 0 ? withHistory / withoutHistory : 0.0);
    std::printf("peak memory (VmHWM)      %10ld KiB\n", peakKiB());
    dm = nullptr;
    return sink < 0 ? 1 : 0;
}
