// What the operations log costs.
//
//   bench_auditlog [check-ins] [log rows] [rounds]
//
// 1. Check-ins through the stays service with their log row and without it,
//    in one run, interleaved block by block so that both sides meet the same
//    database and the same machine; on SQLite and, when QV_PG_HOST names a
//    server, on PostgreSQL. The goal: at most 1.15 times the time without.
// 2. The operations log window's search over `log rows` rows (a year of them)
//    on SQLite: its first screen (the paged model's first page, the actions
//    shown in the chosen language) against the bare indexed query of the same
//    rows. The goal: within 2 times.
// Each ratio is printed as its median and spread over the rounds.
#include "BenchSupport.h"

#include "data/Connection.h"
#include "data/DemoHotel.h"
#include "data/OperationLog.h"
#include "data/PagedQueryModel.h"
#include "data/Session.h"
#include "data/dm_unit.h"
#include "platform/AppPaths.h"
#include "platform/Errors.h"
#include "records/RecordSearches.h"
#include "settings/Settings.h"
#include "stays/StayService.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>

namespace {

int writeCard(TCardData&) {
    return 1;  // an encoder that writes at once: only the database is measured
}

QStringList demoRooms(qv::Connection& conn) {
    QStringList rooms;
    QSqlQuery q = conn.run(QStringLiteral("select RoomStr from RoomInfo order by Room"));
    while (q.next()) {
        rooms << q.value(0).toString();
    }
    return rooms;
}

// `n` check-ins, room after room; seconds.
double checkIns(int n, const QStringList& rooms, int& next) {
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < n; ++i) {
        qv::stays::GuestCard c;
        c.roomStr = rooms[next++ % rooms.size()];
        c.start = QDateTime(QDate(2025, 3, 1), QTime(15, 30));
        c.end = QDateTime(QDate(2025, 3, 2), QTime(12, 0));
        c.guestName = QStringLiteral("张三");
        const qv::stays::Result r = qv::stays::checkIn(c, writeCard);
        if (!r.written()) {
            throw qv::Error(QStringLiteral("check-in failed: %1").arg(r.error));
        }
    }
    return t.nsecsElapsed() / 1e9;
}

// The check-in ratio (with the log row / without) of each round.
Spread checkInRatios(int n, int rounds) {
    const QStringList rooms = demoRooms(dm->conn);
    int next = 0;
    checkIns(std::max(1, n / 10), rooms, next);  // warm up
    Spread ratios;
    constexpr int kBlocks = 10;
    const int block = std::max(1, n / kBlocks);
    for (int r = 0; r < rounds; ++r) {
        double with = 0;
        double without = 0;
        for (int b = 0; b < kBlocks; ++b) {
            // Which side goes first changes from block to block.
            const bool logFirst = (b + r) % 2 == 0;
            for (int side = 0; side < 2; ++side) {
                if ((side == 0) == logFirst) {
                    with += checkIns(block, rooms, next);
                } else {
                    qv::oplog::BenchmarkWithoutLog quiet;
                    without += checkIns(block, rooms, next);
                }
            }
        }
        ratios.add(with / without);
    }
    return ratios;
}

void openFresh(qv::Connection& conn, const QString& file) {
    conn.openSQLite(file, true);
    conn.createSchema();
    qv::createDemoHotel(conn);
}

// The benchmark's database on the server, made again; false without a server.
bool openFreshServer(qv::Connection& conn) {
    const QString host = qEnvironmentVariable("QV_PG_HOST");
    if (host.isEmpty()) {
        return false;
    }
    const QString port = qEnvironmentVariable("QV_PG_PORT", QStringLiteral("5432"));
    const QString user = qEnvironmentVariable("QV_PG_USER");
    const QString password = qEnvironmentVariable("QV_PG_PASSWORD");
    const QString name = QStringLiteral("qvbench_auditlog");
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), "bench-admin");
        admin.setHostName(host);
        admin.setPort(port.toInt());
        admin.setUserName(user);
        admin.setPassword(password);
        admin.setDatabaseName(QStringLiteral("postgres"));
        bool ok = admin.open();
        QSqlQuery q(admin);
        ok = ok && q.exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name)) &&
             q.exec(
                 QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8'").arg(name));
        if (!ok) {
            std::fprintf(stderr, "server: %s\n", qPrintable(q.lastError().text()));
        }
        q = QSqlQuery();
        admin.close();
        admin = QSqlDatabase();
        QSqlDatabase::removeDatabase("bench-admin");
        if (!ok) {
            return false;
        }
    }
    conn.openPostgreSQL({host + ':' + port, user, password, name});
    conn.createSchema();
    qv::createDemoHotel(conn);
    return true;
}

// `rows` log rows spread over the year before 2025-03-01, by whole seconds.
void fillLog(qv::Connection& conn, int rows) {
    qv::Transaction t(conn);
    qv::PreparedStatement insert(
        conn, QStringLiteral("insert into OperationLog (ID, LogTime, Staffer, StafferName, "
                             "Workstation, Action, Object, Detail, Result, PrevHash, RowHash) "
                             "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const QDateTime first(QDate(2024, 3, 1), QTime(0, 0));
    const qint64 step = std::max<qint64>(1, 365LL * 86400 / std::max(1, rows));
    const QStringList actions{
        QLatin1String(qv::oplog::Actions::CheckIn), QLatin1String(qv::oplog::Actions::CheckOut),
        QLatin1String(qv::oplog::Actions::LogOn), QLatin1String(qv::oplog::Actions::CardIssued)};
    const QString hash(64, u'0');
    for (int i = 0; i < rows; ++i) {
        insert.execute({i + 1, first.addSecs(i * step), QStringLiteral("desk%1").arg(i % 7),
                        QStringLiteral("前台"), QStringLiteral("desk-pc"), actions[i % 4],
                        QString::number(1000 + i % 500), QStringLiteral("宾客卡 00000001"),
                        QLatin1String(qv::oplog::Results::Done), hash, hash});
    }
    t.commit();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int checkInCount = args.size() > 1 ? args[1].toInt() : 2000;
    const int logRows = args.size() > 2 ? args[2].toInt() : 5'000'000;
    const int rounds = args.size() > 3 ? args[3].toInt() : 5;
    QTemporaryDir dir;
    qv::AppPaths::setDir(dir.path());
    QDir().mkpath(dir.filePath(QStringLiteral("db")));
    Tdm module;
    dm = &module;
    qv::session().login = QStringLiteral("desk1");
    qv::session().name = QStringLiteral("前台一");
    LockSystemInfo.Loaded = true;
    try {
        std::printf(
            "check-ins %d per side per round, %d rounds; log rows %d; median (low - high)\n",
            checkInCount, rounds, logRows);
        openFresh(dm->conn, dir.filePath(QStringLiteral("db/lock.db")));
        checkInRatios(checkInCount, rounds)
            .print("check-in with its log row / without, SQLite (goal 1.15)");
        dm->conn.close();
        if (openFreshServer(dm->conn)) {
            checkInRatios(checkInCount, rounds)
                .print("check-in with its log row / without, PostgreSQL (goal 1.15)");
            dm->conn.close();
        } else {
            std::printf("check-ins on PostgreSQL: no server (set QV_PG_HOST)\n");
        }

        // The window's search over a year of log rows: the last 30 days.
        openFresh(dm->conn, dir.filePath(QStringLiteral("db/log.db")));
        fillLog(dm->conn, logRows);
        qv::OperationLogSearch s;
        s.logged = {QDate(2025, 1, 30), QDate(2025, 2, 28)};
        const qv::RecordSearch search = qv::operationLogSearch(s);
        const QString bare = QStringLiteral(
            "select ID, LogTime, Staffer, StafferName, Workstation, Action, Object, Detail, "
            "Result, CardLogId from OperationLog where LogTime >= :a and LogTime < :b order by "
            "LogTime desc, ID desc limit 256");
        const qv::Binds bareBinds{
            {QStringLiteral(":a"), QDateTime(s.logged.from, QTime(0, 0))},
            {QStringLiteral(":b"), QDateTime(s.logged.to.addDays(1), QTime(0, 0))}};
        Spread query;
        int shown = 0;
        for (int r = 0; r < std::max(3, rounds); ++r) {
            // The first screen only: the count that follows in the background
            // (and that the model waits for when it goes) is not timed.
            double window = 1e300;
            for (int i = 0; i < 3; ++i) {
                qv::PagedQueryModel model(dm->conn);
                model.setColumns({QStringLiteral("LogTime"), QStringLiteral("StafferName"),
                                  QStringLiteral("Staffer"), QStringLiteral("Workstation"),
                                  QStringLiteral("Action"), QStringLiteral("Object"),
                                  QStringLiteral("Detail"), QStringLiteral("Result"),
                                  QStringLiteral("ID")});
                QElapsedTimer t;
                t.start();
                model.setValueTexts(QStringLiteral("Action"), qv::oplog::actionTexts());
                model.setValueTexts(QStringLiteral("Result"), qv::oplog::resultTexts());
                model.setQuery(search.select, search.binds, search.orderBy);
                model.refresh();
                // The texts the grid paints on its first screen (some 30 rows).
                for (int row = 0; row < std::min(30, model.rowCount()); ++row) {
                    for (int c = 0; c < model.columnCount(); ++c) {
                        model.data(model.index(row, c), Qt::DisplayRole);
                    }
                }
                window = std::min(window, t.nsecsElapsed() / 1e6);
                shown = model.rowCount();
            }
            const double indexed = bestOf(3, [&] {
                QSqlQuery q = dm->conn.run(bare, bareBinds);
                int n = 0;
                while (q.next()) {
                    for (int c = 0; c < 10; ++c) {
                        q.value(c);
                    }
                    ++n;
                }
            });
            query.add(window / indexed);
        }
        std::printf("first screen: %d rows\n", shown);
        query.print("log window's first screen / bare indexed query (goal 2)");
    } catch (const qv::Error& e) {
        std::fprintf(stderr, "bench_auditlog: %s\n", qUtf8Printable(e.text()));
        dm = nullptr;
        return 1;
    }
    dm->conn.close();
    dm = nullptr;
    return 0;
}
