// What the card layer's look-ups cost on a large hotel:
//   bench_lookups [LOG_ROWS [ROUNDS]]   (default 1000000 15)
// The lock database holds 10,000 rooms and LOG_ROWS card issue log rows.
// Three look-ups as the card windows and the data card reader make them: a
// card by type and Rom (holder and issuer), a room by door plate, a room by
// lock address. Each round runs 2,000 look-ups of each kind through the card
// layer and the same statements through the bare SQLite C API, prepared once
// and reset after each look-up, on a connection of their own; the ratio is
// taken within the round. Prints microseconds per look-up and median and
// spread (lowest .. highest) of each ratio.
#include "card/CardRecords.h"
#include "data/Connection.h"
#include "data/DemoHotel.h"
#include "data/dm_unit.h"
#include "platform/AppPaths.h"
#include "platform/TestDialogs.h"

#include <sqlite3.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "SqliteBench.h"

namespace {

constexpr int kRooms = 10000;
constexpr int kLookups = 2000;

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

QByteArray logRom(int i) {
    const Room r = roomAt((i * 7919) % kRooms);
    char serial[16];
    std::snprintf(serial, sizeof serial, "%08X", 1 + i / kRooms);
    return i % 10 != 0 ? r.sys + serial : QByteArray("03") + QByteArray(serial).mid(2);
}
int logType(int i) {
    return i % 10 != 0 ? 4 : 3;
}

void fill(const QString& path, int logRows) {
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
    st = g.prepare(
        "insert into MakeCardRecord (CardType, Rom, RoomStr, Holder, Explain, MakeUser, MakeName, "
        "StartTime, EndTime, enOverride, InputTime) values (?, ?, ?, ?, '', 'desk', '前台', "
        "'2024-03-01 12:00:00', '2024-03-02 12:00:00', 1, '2024-03-01 12:00:00')");
    for (int i = 0; i < logRows; ++i) {
        const QByteArray rom = logRom(i);
        const QByteArray holder = QStringLiteral("客人%1").arg(i).toUtf8();
        sqlite3_bind_int(st, 1, logType(i));
        sqlite3_bind_text(st, 2, rom.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, roomAt((i * 7919) % kRooms).str.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 4, holder.constData(), -1, SQLITE_TRANSIENT);
        g.step(st);
    }
    sqlite3_finalize(st);
    g.exec("ANALYZE");
}

// A statement of the bare side, prepared once.
class Bare {
public:
    Bare(sqlite3* db, const char* sql) : db_(db) {
        check(sqlite3_prepare_v2(db, sql, -1, &st_, nullptr), db, sql);
    }
    ~Bare() { sqlite3_finalize(st_); }
    Bare(const Bare&) = delete;
    Bare& operator=(const Bare&) = delete;
    sqlite3_stmt* get() const { return st_; }
    // Steps to the first row, reads every column as text and resets.
    long long firstRow() {
        long long bytes = 0;
        const int rc = sqlite3_step(st_);
        check(rc, db_, "look-up");
        if (rc == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(st_); ++c) {
                sqlite3_column_text(st_, c);
                bytes += sqlite3_column_bytes(st_, c);
            }
        }
        sqlite3_reset(st_);
        return bytes;
    }

private:
    sqlite3* db_;
    sqlite3_stmt* st_ = nullptr;
};

struct Spread {
    double median = 0;
    double low = 0;
    double high = 0;
};
Spread spread(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return {n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2, v.front(), v.back()};
}

template <class F>
double microsPerLookup(F&& f) {
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < kLookups; ++i) {
        f(i);
    }
    return t.nsecsElapsed() / 1e3 / kLookups;
}

struct Kind {
    const char* name;
    std::vector<double> program, bare, ratio;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int logRows = argc > 1 ? std::max(kLookups, std::atoi(argv[1])) : 1000000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;

    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("db"));
    qv::AppPaths::setDir(dir.path());
    qv::TestDialogs boxes;
    Tdm module;
    dm = &module;
    const QString path = dir.filePath(QStringLiteral("db/lock.db"));
    module.conn.openSQLite(path, true);
    module.conn.createSchema();
    fill(path, logRows);

    sqlite3* db = nullptr;
    check(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr), db,
          "open");
    Bare byRom(db,
               "Select Holder, MakeName From MakeCardRecord Where CardType = ?1 And Rom = ?2 "
               "order by ID");
    Bare byPlate(db,
                 "Select Room, RoomStr, SystemRoomStr, Buiding, Floor, RoomNumber From RoomInfo "
                 "Where RoomStr = ?1");
    Bare byAddress(db,
                   "Select RoomStr, SystemRoomStr From RoomInfo Where Buiding = ?1 And Floor = ?2 "
                   "And RoomNumber = ?3");

    // The keys of each round: log rows and rooms spread over the hotel.
    std::vector<QByteArray> roms;
    std::vector<QString> romTexts, plates;
    std::vector<Room> rooms;
    for (int i = 0; i < kLookups; ++i) {
        const int row = static_cast<int>((i * 104729LL) % logRows);
        roms.push_back(logRom(row));
        romTexts.push_back(QString::fromLatin1(roms.back()));
        rooms.push_back(roomAt((i * 131) % kRooms));
        plates.push_back(QString::fromLatin1(rooms.back().str));
    }
    const auto logTypeOf = [&](int i) {
        return logType(static_cast<int>((i * 104729LL) % logRows));
    };

    long long sink = 0;
    Kind kinds[3] = {{"card by type and Rom", {}, {}, {}},
                     {"room by door plate", {}, {}, {}},
                     {"room by lock address", {}, {}, {}}};
    const auto program = [&](int kind) {
        switch (kind) {
            case 0:
                return microsPerLookup([&](int i) {
                    sink += GetCardLogNames(logTypeOf(i), romTexts[i]).Holder.size();
                });
            case 1:
                return microsPerLookup([&](int i) { sink += ResolveRoom(plates[i]).room; });
            default:
                return microsPerLookup([&](int i) {
                    const Room& r = rooms[i];
                    TRoomAddr addr{};
                    addr[0] = static_cast<uint16_t>(r.number);
                    addr[1] = static_cast<uint16_t>(r.building);
                    addr[2] = static_cast<uint16_t>(r.floor);
                    sink += GetRoomNamesByAddr(addr).RoomStr.size();
                });
        }
    };
    const auto bare = [&](int kind) {
        switch (kind) {
            case 0:
                return microsPerLookup([&](int i) {
                    sqlite3_bind_int(byRom.get(), 1, logTypeOf(i));
                    sqlite3_bind_text(byRom.get(), 2, roms[i].constData(),
                                      static_cast<int>(roms[i].size()), SQLITE_STATIC);
                    sink += byRom.firstRow();
                });
            case 1:
                return microsPerLookup([&](int i) {
                    const QByteArray& s = rooms[i].str;
                    sqlite3_bind_text(byPlate.get(), 1, s.constData(), static_cast<int>(s.size()),
                                      SQLITE_STATIC);
                    sink += byPlate.firstRow();
                });
            default:
                return microsPerLookup([&](int i) {
                    const Room& r = rooms[i];
                    sqlite3_bind_int(byAddress.get(), 1, r.building);
                    sqlite3_bind_int(byAddress.get(), 2, r.floor);
                    sqlite3_bind_int(byAddress.get(), 3, r.number);
                    sink += byAddress.firstRow();
                });
        }
    };
    for (int k = 0; k < 3; ++k) {  // not counted: warms the caches
        program(k);
        bare(k);
    }
    for (int r = 0; r < rounds; ++r) {
        for (int k = 0; k < 3; ++k) {
            double p = 0, b = 0;
            if ((r + k) % 2 == 0) {
                p = program(k);
                b = bare(k);
            } else {
                b = bare(k);
                p = program(k);
            }
            kinds[k].program.push_back(p);
            kinds[k].bare.push_back(b);
            kinds[k].ratio.push_back(b > 0 ? p / b : 0);
        }
    }
    std::printf("rooms %d, card log rows %d, %d look-ups of each kind per round, rounds %d\n",
                kRooms, logRows, kLookups, rounds);
    for (const Kind& k : kinds) {
        const Spread p = spread(k.program), b = spread(k.bare), q = spread(k.ratio);
        std::printf(
            "%-22s %7.2f us, bare (C API) %6.2f us, ratio median %5.2f (%.2f .. %.2f)"
            "  target <= 2\n",
            k.name, p.median, b.median, q.median, q.low, q.high);
    }
    sqlite3_close(db);
    dm = nullptr;
    return sink < 0 ? 1 : 0;
}
