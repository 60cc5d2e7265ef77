// How soon one desk sees another desk's change: bench_livedesks [CHANGES
// [IDLE_SECONDS]] (defaults 200 and 10). Two desk processes share one lock
// database, an SQLite file and, when QV_PG_HOST names a server (QV_PG_PORT,
// QV_PG_USER, QV_PG_PASSWORD), a PostgreSQL database. Desk A (a child
// process) checks a guest in, or out again, through the stays service, one
// room per change, at a clerk's pace (a pause of 300 to 600 ms between two
// changes); desk B is the real main window, offscreen, and the delay is taken
// from desk A's commit to desk B's board model showing the room's new state,
// on the machine's monotonic clock. Printed: median and 95th percentile of
// the delay, and the statements desk B runs while nothing changes for
// IDLE_SECONDS (SQLite: counted by the library's trace, the data version
// reads apart; PostgreSQL: the server's log of desk B's session, the log file
// QV_PG_LOG or server.log beside the server's data folder).
#include "BenchSupport.h"
#include "data/ChangeFeed.h"
#include "data/Connection.h"
#include "data/DemoHotel.h"
#include "data/Session.h"
#include "data/dm_unit.h"
#include "main/Main.h"
#include "platform/Errors.h"
#include "platform/TestDialogs.h"
#include "settings/Settings.h"
#include "stays/StayService.h"

#include <sqlite3.h>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDriver>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <string>

namespace {

qint64 monotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// "sqlite:PATH" or "pg:DATABASE" (the server from the environment).
void openDatabase(qv::Connection& conn, const QString& spec) {
    if (spec.startsWith(QLatin1String("sqlite:"))) {
        conn.openSQLite(spec.mid(7), true);
        LockSystemInfo.ConnType = 0;
        return;
    }
    const QString host = qEnvironmentVariable("QV_PG_HOST") + ':' +
                         qEnvironmentVariable("QV_PG_PORT", QStringLiteral("5432"));
    conn.openPostgreSQL({host, qEnvironmentVariable("QV_PG_USER"),
                         qEnvironmentVariable("QV_PG_PASSWORD"), spec.mid(3)});
    LockSystemInfo.ConnType = 1;
}

void setUpDesk(const QString& login) {
    LockSystemInfo.Loaded = true;
    LockSystemInfo.DayCount = 1;
    LockSystemInfo.LeaveTime = QTime(12, 0);
    qv::session().login = login;
    qv::session().name = login;
}

// Desk A: one change per line "go ROOM" on its input, answered "done NS"
// with the monotonic time of the commit.
int deskA(const QString& spec) {
    Tdm data;
    dm = &data;
    setUpDesk(QStringLiteral("deskA"));
    openDatabase(data.conn, spec);
    data.conn.checkLockDatabase();
    const qv::stays::CardWriter writer = [](TCardData&) { return 1; };
    std::printf("ready\n");
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line.rfind("go ", 0) != 0) {
            break;
        }
        const QString room = QString::fromStdString(line.substr(3));
        bool ok = false;
        if (qv::stays::roomOccupancy(room).occupied) {
            ok = qv::stays::checkOutRoom(room);
        } else {
            qv::stays::GuestCard card;
            card.roomStr = room;
            card.start = QDateTime::currentDateTime();
            card.end = card.start.addDays(1);
            card.guestName = QStringLiteral("客人");
            ok = qv::stays::checkIn(card, writer).written();
        }
        std::printf("%s %lld\n", ok ? "done" : "failed", static_cast<long long>(monotonicNs()));
        std::fflush(stdout);
    }
    dm = nullptr;
    return 0;
}

// Runs the event loop for `ms` milliseconds.
void pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool occupiedOnBoard(const TMainForm& form, const QString& room) {
    for (const TRoomBoardItem& it : form.RoomBoard->items()) {
        if (it.caption() == room) {
            return it.picture == TRoomBoardItem::GuestIn ||
                   it.picture == TRoomBoardItem::GuestInModiRoom;
        }
    }
    return false;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    const auto i = static_cast<size_t>(p * double(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

// The statements the server logged for session `pid` from byte `from` of its log.
long serverStatementsSince(qv::Connection& admin, const QString& log, qint64 from, int pid) {
    const qint64 to =
        admin.scalar(QStringLiteral("select size from pg_stat_file(:f, true)"), {{":f", log}})
            .toLongLong();
    if (to < from) {
        return -1;
    }
    const QString text = admin
                             .scalar(QStringLiteral("select pg_read_file(:f, :a, :n, true)"),
                                     {{":f", log}, {":a", from}, {":n", to - from}})
                             .toString();
    const QString mark = QStringLiteral("[%1]").arg(pid);
    long count = 0;
    for (const QStringView l : QStringView(text).split('\n')) {
        if (l.contains(mark) && (l.contains(QLatin1String("LOG:  statement: ")) ||
                                 l.contains(QLatin1String("LOG:  execute ")))) {
            ++count;
        }
    }
    return count;
}

// Desk B and the run on one database.
void run(const QString& program, const QString& spec, const char* title, int changes,
         int idleSeconds) {
    Tdm data;
    dm = &data;
    setUpDesk(QStringLiteral("deskB"));
    openDatabase(data.conn, spec);
    if (!data.conn.isEmpty()) {
        throw qv::DbError(QStringLiteral("the benchmark's database is not empty"));
    }
    data.conn.createSchema();
    qv::createDemoHotel(data.conn);
    data.conn.execute(
        QStringLiteral("insert into Operator (Staffer, StafferName, Pass, CheckIn, "
                       "CheckOut) values ('deskB', 'deskB', 'x', 1, 1)"));
    QStringList rooms;
    {
        QSqlQuery q = data.conn.run(QStringLiteral("select RoomStr from RoomInfo order by Room"));
        while (q.next()) {
            rooms << q.value(0).toString();
        }
    }

    TMainForm desk;
    desk.show();

    QProcess a;
    a.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    a.start(program, {QStringLiteral("--desk-a"), spec});
    if (!a.waitForStarted() || !a.waitForReadyRead(30000) || !a.readLine().startsWith("ready")) {
        throw qv::Error(QStringLiteral("desk A did not start"));
    }

    std::vector<double> delays;
    int missed = 0;
    for (int i = 0; i < changes; ++i) {
        pause(300 + int(QRandomGenerator::global()->bounded(300)));
        const QString room = rooms[i % rooms.size()];
        const bool willBeOccupied = !occupiedOnBoard(desk, room);
        a.write(QStringLiteral("go %1\n").arg(room).toUtf8());
        a.waitForBytesWritten();
        while (!a.canReadLine()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            a.waitForReadyRead(1);
        }
        const QList<QByteArray> answer = a.readLine().trimmed().split(' ');
        if (answer.value(0) != "done") {
            throw qv::Error(QStringLiteral("desk A could not change room %1").arg(room));
        }
        const qint64 committed = answer.value(1).toLongLong();
        while (occupiedOnBoard(desk, room) != willBeOccupied &&
               monotonicNs() - committed < qint64(5) * 1000000000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 2);
        }
        if (occupiedOnBoard(desk, room) != willBeOccupied) {
            ++missed;
        }
        delays.push_back(double(monotonicNs() - committed) / 1e6);
    }
    a.closeWriteChannel();
    a.waitForFinished(10000);

    // Desk B while nothing changes.
    long statements = 0;
    long versionReads = 0;
    if (data.conn.kind() == qv::DbKind::SQLite) {
        struct Counts {
            long all = 0;
            long version = 0;
        } counts;
        sqlite3* db =
            *static_cast<sqlite3* const*>(data.conn.database().driver()->handle().constData());
        sqlite3_trace_v2(
            db, SQLITE_TRACE_STMT,
            [](unsigned, void* c, void* stmt, void*) {
                auto* n = static_cast<Counts*>(c);
                ++n->all;
                if (QByteArray(sqlite3_sql(static_cast<sqlite3_stmt*>(stmt)))
                        .contains("data_version")) {
                    ++n->version;
                }
                return 0;
            },
            &counts);
        pause(idleSeconds * 1000);
        sqlite3_trace_v2(db, 0, nullptr, nullptr);
        statements = counts.all - counts.version;
        versionReads = counts.version;
    } else {
        qv::Connection admin;
        openDatabase(admin, spec);
        QString log = qEnvironmentVariable("QV_PG_LOG");
        if (log.isEmpty()) {
            log = admin.scalar(QStringLiteral("show data_directory")).toString() +
                  QStringLiteral("/../server.log");
        }
        const int pid = data.conn.scalar(QStringLiteral("select pg_backend_pid()")).toInt();
        data.conn.execute(QStringLiteral("set log_statement = 'all'"));
        pause(300);  // the statement above is logged before the count starts
        const qint64 from =
            admin.scalar(QStringLiteral("select size from pg_stat_file(:f, true)"), {{":f", log}})
                .toLongLong();
        pause(idleSeconds * 1000);
        statements = serverStatementsSince(admin, log, from, pid);
        data.conn.execute(QStringLiteral("reset log_statement"));
    }

    std::printf("%s: %d changes by desk A seen on desk B's board\n", title, changes);
    std::printf("  delay, median                                  %8.1f ms\n",
                percentile(delays, 0.5));
    std::printf("  delay, 95th percentile                         %8.1f ms\n",
                percentile(delays, 0.95));
    std::printf("  delay, highest                                 %8.1f ms\n",
                percentile(delays, 1.0));
    std::printf("  changes not seen within 5 s                    %8d\n", missed);
    std::printf("  desk B's statements in %2d s without a change   %8ld", idleSeconds, statements);
    if (data.conn.kind() == qv::DbKind::SQLite) {
        std::printf("  (and %ld data version reads)", versionReads);
    }
    std::printf("\n");
    std::fflush(stdout);
    data.feed.stop();
    dm = nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && QByteArray(argv[1]) == "--desk-a") {
        QCoreApplication app(argc, argv);
        try {
            return deskA(QString::fromLocal8Bit(argv[2]));
        } catch (const qv::Error& e) {
            std::fprintf(stderr, "desk A: %s\n", qUtf8Printable(e.text()));
            return 1;
        }
    }
    QApplication app(argc, argv);
    const int changes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const int idle = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    qv::TestDialogs boxes;  // nobody at this desk answers a box
    try {
        QTemporaryDir dir;
        run(QCoreApplication::applicationFilePath(),
            QStringLiteral("sqlite:") + QDir(dir.path()).filePath(QStringLiteral("lock.db")),
            "SQLite", changes, idle);
        if (!qEnvironmentVariable("QV_PG_HOST").isEmpty()) {
            const QString database = QStringLiteral("qvbench_livedesks");
            {
                qv::Connection admin;
                openDatabase(admin, QStringLiteral("pg:postgres"));
                admin.execute(
                    QStringLiteral("drop database if exists %1 with (force)").arg(database));
                admin.execute(QStringLiteral("create database %1").arg(database));
            }
            run(QCoreApplication::applicationFilePath(), QStringLiteral("pg:") + database,
                "PostgreSQL", changes, idle);
        }
    } catch (const qv::Error& e) {
        std::fprintf(stderr, "bench_livedesks: %s\n", qUtf8Printable(e.text()));
        return 1;
    }
    std::printf(
        "goals: median at most 300 ms (PostgreSQL) and 600 ms (SQLite), 95th "
        "percentile at most 1000 ms; no statement while nothing changes (SQLite: the "
        "data version reads only)\n");
    return 0;
}
