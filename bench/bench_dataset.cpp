// How much the data-access layer costs over the bare SQLite C API when a
// window reads a whole table: bench_dataset [ROOMS] (default 10000).
// Prints milliseconds per read for the C API, QSqlQuery and DataSet, and the
// ratio of DataSet to the C API.
#include "data/Connection.h"
#include "data/DataSet.h"
#include "data/DemoHotel.h"

#include <sqlite3.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

#include "BenchSupport.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rooms = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.db");
    qv::Connection conn;
    conn.openSQLite(path, true);
    conn.createSchema();
    {
        qv::Transaction t(conn);
        for (int i = 0; i < rooms; ++i) {
            const int building = 1 + i / 9801;
            const int floor = 1 + (i / 99) % 99;
            const int number = 1 + i % 99;
            conn.execute(
                "insert into RoomInfo (Room, RoomStr, SystemRoomStr, Buiding, Floor, RoomNumber, "
                "RoomTypeStr) values (:r, :s, :y, :b, :f, :n, '标准间')",
                {{":r", qv::roomKey(building, floor, number)},
                 {":s", QString::number(qv::roomKey(building, floor, number))},
                 {":y", qv::systemRoomStr(building, floor, number)},
                 {":b", building},
                 {":f", floor},
                 {":n", number}});
        }
        t.commit();
    }
    const char* sql = "select * from RoomInfo order by Room";
    long long sink = 0;
    const double bare = bestOf(5, [&] {
        sqlite3* db = nullptr;
        sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                sink += sqlite3_column_bytes(st, c);
            }
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
    });
    const double query = bestOf(5, [&] {
        QSqlQuery q = conn.run(QString::fromLatin1(sql));
        while (q.next()) {
            for (int c = 0; c < 11; ++c) {
                sink += q.value(c).toString().size();
            }
        }
    });
    const double dataSet = bestOf(5, [&] {
        qv::DataSet d(conn);
        d.setSql(QString::fromLatin1(sql));
        d.open();
        for (d.first(); !d.eof(); d.next()) {
            sink += d.text("RoomStr").size();
        }
    });
    std::printf("rooms %d\n", rooms);
    std::printf("sqlite C API   %8.2f ms\n", bare);
    std::printf("QSqlQuery      %8.2f ms\n", query);
    std::printf("DataSet        %8.2f ms\n", dataSet);
    std::printf("DataSet / C API ratio %.2f\n", bare > 0 ? dataSet / bare : 0.0);
    return sink < 0 ? 1 : 0;
}
