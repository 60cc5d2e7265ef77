// What the safe card issue costs: bench_cardissue [CARDS [ROUNDS]] (defaults
// 2000 and 5). Issues CARDS guest cards (the encoder answers at once, in the
// desk's own process: the writer's own time is measured apart and printed)
// through IssueCard, as the stays service does, on one desk and on eight
// desks (processes of their own), on an SQLite file and, when QV_PG_HOST
// names a server (QV_PG_PORT, QV_PG_USER, QV_PG_PASSWORD), on PostgreSQL.
// Beside each, a floor doing the same writes with statements prepared once:
// the SQLite C API and libpq (the serial reserved and the log row entered in
// one committed transaction, the row confirmed in a second), plus the C API
// writing each card in one transaction as an issue without a reservation
// would. The program and its floors run round by round, each round in turn,
// and every ratio is printed as its median and spread over the rounds.
// The statements per card are counted on each database: on SQLite by the
// library's trace, on the server from its statement log (the benchmark's
// database logs every statement while it counts; the log file is
// QV_PG_LOG, by default server.log beside the server's data folder).
#include "BenchSupport.h"
#include "card/CardFunctions.h"
#include "card/CardRecords.h"
#include "data/Connection.h"
#include "data/DemoHotel.h"
#include "data/Session.h"
#include "data/dm_unit.h"
#include "platform/Errors.h"
#include "settings/Settings.h"

#include <sqlite3.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>
#ifdef QV_HAVE_LIBPQ
#include <libpq-fe.h>
#endif

namespace {

constexpr int kDesks = 8;
const char* const kPgDatabase = "qvbench_cardissue";

struct Room {
    QString roomStr;
    QString systemRoomStr;
};

// The room of a desk's card: the desks go round the hotel from different rooms.
template <class R>
const R& roomOf(const QList<R>& all, int desk, int card) {
    return all[(desk * 7 + card) % all.size()];
}

void openDatabase(qv::Connection& conn, const QString& database) {
    if (database.startsWith(QLatin1String("pg:"))) {
        const QStringList p = database.split(':');
        conn.openPostgreSQL({p[1] + ':' + p[2], p[3], p[4], p[5]});
    } else {
        conn.openSQLite(database);
    }
}

// Waits for the parent's signal, so that every desk starts at once.
void waitForGo(const QString& go) {
    std::printf("ready\n");
    std::fflush(stdout);
    while (!QFile::exists(go)) {
        QThread::usleep(500);
    }
}

// Counts the statements SQLite starts on `db` into `*count`.
void countSQLite(sqlite3* db, long* count) {
    sqlite3_trace_v2(
        db, SQLITE_TRACE_STMT,
        [](unsigned, void* c, void*, void*) {
            ++*static_cast<long*>(c);
            return 0;
        },
        count);
}

// Called by a desk when it is set up and about to issue its first card.
using Ready = std::function<void()>;

// The program's writer time, summed over the desk's cards (the encoder
// answers at once: this is the cost the benchmark adds of its own).
double g_writerSeconds = 0;

int issueDesk(const QString& database, int cards, int desk, const Ready& ready,
              long* statements = nullptr) {
    Tdm module;
    dm = &module;
    qv::session().login = QStringLiteral("bench");
    qv::session().name = QStringLiteral("前台");
    openDatabase(module.conn, database);
    // Every room resolved before, as the floors read them before.
    QList<RoomRef> all;
    {
        QSqlQuery q = module.conn.run(QStringLiteral("select RoomStr from RoomInfo order by Room"));
        QStringList plates;
        while (q.next()) {
            plates << q.value(0).toString();
        }
        for (const QString& plate : plates) {
            all << ResolveRoom(plate);
        }
    }
    if (statements) {
        const QVariant h = module.conn.database().driver()->handle();
        if (qstrcmp(h.typeName(), "sqlite3*") == 0) {
            countSQLite(*static_cast<sqlite3* const*>(h.data()), statements);
        }
    }
    if (ready) {
        ready();
    }
    QElapsedTimer writer;
    for (int i = 0; i < cards; ++i) {
        const RoomRef& room = roomOf(all, desk, i);
        TCardData card{};
        card.CardType[0] = CardTypes::Guest;
        card.Override = 1;
        room.putOn(card);
        IssueCard(
            CardSerialSource::room(room.roomStr), card,
            [&](TCardData&) {
                writer.start();
                const int code = 1;
                g_writerSeconds += writer.nsecsElapsed() / 1e9;
                return code;
            },
            [&] {
                MakeCardLog(card, QStringLiteral("客人"), QStringLiteral("110101199001011234"),
                            room);
            },
            {QStringLiteral("客人"), QStringLiteral("110101199001011234"),
             TRoomNames{room.roomStr, room.systemRoomStr}});
    }
    dm = nullptr;
    return 0;
}

bool check(sqlite3* db, int rc, int expected = SQLITE_OK) {
    if (rc != expected && !(expected == SQLITE_DONE && rc == SQLITE_ROW)) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        return false;
    }
    return true;
}

const char* const kInsertSql =
    "insert into MakeCardRecord (RoomStr, Rom, enOverride, Holder, Explain, CardType, "
    "MakeUser, MakeName, StartTime, EndTime, CardState) values ($1, $2, 1, '客人', "
    "'110101199001011234', 4, 'bench', '前台', '2026-03-01 15:20:00', '2026-03-02 12:00:00', "
    "$3) returning ID";
const char* const kConfirmSql =
    "update MakeCardRecord set RoomStr = $1, Rom = $2, enOverride = 1, Holder = '客人', "
    "Explain = '110101199001011234', CardType = 4, MakeUser = 'bench', MakeName = '前台', "
    "StartTime = '2026-03-01 15:20:00', EndTime = '2026-03-02 12:00:00', CardState = 0 "
    "where ID = $3";
const char* const kAdvanceSql =
    "update RoomInfo set CardSn = coalesce(CardSn, 0) + 1 where RoomStr = $1 returning CardSn";

QByteArray romOf(const Room& room, qint64 serial) {
    TCardData card{};
    card.CardType[0] = CardTypes::Guest;
    SetCardSerial(card, serial);
    return (room.systemRoomStr + CardRom(card)).toUtf8();
}

// The same writes through the SQLite C API with prepared statements; with
// `once`, each card's writes in a single transaction (no reservation).
int bareDesk(const QString& path, int cards, int desk, const Ready& ready, bool once = false,
             long* statements = nullptr) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
        return 1;
    }
    sqlite3_busy_timeout(db, 10000);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    QList<Room> all;
    {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "select RoomStr, SystemRoomStr from RoomInfo order by Room", -1, &st,
                           nullptr);
        while (sqlite3_step(st) == SQLITE_ROW) {
            all.append(
                {QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))),
                 QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)))});
        }
        sqlite3_finalize(st);
    }
    const char* sql[] = {"BEGIN IMMEDIATE", "COMMIT", kAdvanceSql, kInsertSql, kConfirmSql};
    sqlite3_stmt* st[std::size(sql)] = {};
    for (size_t i = 0; i < std::size(sql); ++i) {
        if (!check(db, sqlite3_prepare_v2(db, sql[i], -1, &st[i], nullptr))) {
            return 1;
        }
    }
    enum { Begin, Commit, Inc, Ins, Upd };
    auto run = [&](int which) {
        const bool ok = check(db, sqlite3_step(st[which]), SQLITE_DONE);
        sqlite3_reset(st[which]);
        return ok;
    };
    if (statements) {
        countSQLite(db, statements);
    }
    if (ready) {
        ready();
    }
    for (int i = 0; i < cards; ++i) {
        const Room& room = roomOf(all, desk, i);
        const QByteArray roomStr = room.roomStr.toUtf8();
        // The serial reserved and the pending row entered.
        if (!run(Begin)) {
            return 1;
        }
        sqlite3_bind_text(st[Inc], 1, roomStr.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st[Inc]);
        const qint64 serial = sqlite3_column_int64(st[Inc], 0);
        sqlite3_reset(st[Inc]);
        const QByteArray rom = romOf(room, serial);
        sqlite3_bind_text(st[Ins], 1, roomStr.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st[Ins], 2, rom.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st[Ins], 3, once ? CardLogStates::Written : CardLogStates::Pending);
        sqlite3_step(st[Ins]);
        const qint64 id = sqlite3_column_int64(st[Ins], 0);
        sqlite3_reset(st[Ins]);
        if (!run(Commit)) {
            return 1;
        }
        if (once) {
            continue;
        }
        // The card written: the row confirmed.
        if (!run(Begin)) {
            return 1;
        }
        sqlite3_bind_text(st[Upd], 1, roomStr.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st[Upd], 2, rom.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(st[Upd], 3, id);
        run(Upd);
        if (!run(Commit)) {
            return 1;
        }
    }
    for (sqlite3_stmt* s : st) {
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return 0;
}

#ifdef QV_HAVE_LIBPQ
// The same writes through libpq with statements prepared once on the
// connection (the floor of a program on the server).
int pgBareDesk(const QString& database, int cards, int desk, const Ready& ready) {
    const QStringList p = database.split(':');
    const QByteArray info = QStringLiteral("host=%1 port=%2 user=%3 password=%4 dbname=%5")
                                .arg(p[1], p[2], p[3], p[4], p[5])
                                .toUtf8();
    PGconn* c = PQconnectdb(info.constData());
    if (PQstatus(c) != CONNECTION_OK) {
        std::fprintf(stderr, "libpq: %s\n", PQerrorMessage(c));
        PQfinish(c);
        return 1;
    }
    bool ok = true;
    auto done = [&](PGresult* r, ExecStatusType expected = PGRES_COMMAND_OK) {
        const ExecStatusType got = PQresultStatus(r);
        if (got != expected && !(expected == PGRES_COMMAND_OK && got == PGRES_TUPLES_OK)) {
            std::fprintf(stderr, "libpq: %s\n", PQerrorMessage(c));
            ok = false;
        }
        return r;
    };
    QList<Room> all;
    {
        PGresult* r = done(PQexec(c, "select RoomStr, SystemRoomStr from RoomInfo order by Room"),
                           PGRES_TUPLES_OK);
        for (int i = 0; i < PQntuples(r); ++i) {
            all.append({QString::fromUtf8(PQgetvalue(r, i, 0)),
                        QString::fromUtf8(PQgetvalue(r, i, 1))});
        }
        PQclear(r);
    }
    PQclear(done(PQprepare(c, "advance", kAdvanceSql, 1, nullptr)));
    PQclear(done(PQprepare(c, "insert", kInsertSql, 3, nullptr)));
    PQclear(done(PQprepare(c, "confirm", kConfirmSql, 3, nullptr)));
    if (ready) {
        ready();
    }
    for (int i = 0; i < cards && ok; ++i) {
        const Room& room = roomOf(all, desk, i);
        const QByteArray roomStr = room.roomStr.toUtf8();
        PQclear(done(PQexec(c, "BEGIN")));
        const char* advance[] = {roomStr.constData()};
        PGresult* r = done(PQexecPrepared(c, "advance", 1, advance, nullptr, nullptr, 0),
                           PGRES_TUPLES_OK);
        const qint64 serial = ok && PQntuples(r) ? QByteArray(PQgetvalue(r, 0, 0)).toLongLong() : 1;
        PQclear(r);
        const QByteArray rom = romOf(room, serial);
        const QByteArray state = QByteArray::number(CardLogStates::Pending);
        const char* insert[] = {roomStr.constData(), rom.constData(), state.constData()};
        r = done(PQexecPrepared(c, "insert", 3, insert, nullptr, nullptr, 0), PGRES_TUPLES_OK);
        const QByteArray id = ok && PQntuples(r) ? QByteArray(PQgetvalue(r, 0, 0)) : "0";
        PQclear(r);
        PQclear(done(PQexec(c, "COMMIT")));
        PQclear(done(PQexec(c, "BEGIN")));
        const char* confirm[] = {roomStr.constData(), rom.constData(), id.constData()};
        PQclear(done(PQexecPrepared(c, "confirm", 3, confirm, nullptr, nullptr, 0)));
        PQclear(done(PQexec(c, "COMMIT")));
    }
    PQfinish(c);
    return ok ? 0 : 1;
}
#endif

// `desks` processes of this program in `mode` on `database`, `cards` in all;
// the seconds from the moment they all start to the last one's end, or -1.
double runDesks(const QString& mode, const QString& database, int cards, int desks,
                const QString& scratch) {
    const QString go = scratch + QStringLiteral("/go-%1").arg(QCoreApplication::applicationPid());
    QFile::remove(go);
    std::vector<std::unique_ptr<QProcess>> children;
    for (int d = 0; d < desks; ++d) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(),
                 {mode, database, QString::number(cards / desks + (d < cards % desks ? 1 : 0)),
                  QString::number(d), go});
        children.push_back(std::move(p));
    }
    for (auto& p : children) {
        while (!p->canReadLine() && p->waitForReadyRead(30000)) {
        }
        if (!p->readLine().startsWith("ready")) {
            return -1;
        }
    }
    QElapsedTimer t;
    t.start();
    QFile start(go);
    bool ok = start.open(QIODevice::WriteOnly);
    for (auto& p : children) {
        ok = p->waitForFinished(600000) && p->exitStatus() == QProcess::NormalExit &&
             p->exitCode() == 0 && ok;
    }
    const double seconds = t.nsecsElapsed() / 1e9;
    QFile::remove(go);
    return ok ? seconds : -1;
}

// The seconds of one desk in this process, from its first card to its last, or -1.
double oneDesk(const std::function<int(const Ready&)>& desk) {
    QElapsedTimer t;
    const int rc = desk([&] { t.start(); });
    return rc == 0 ? t.nsecsElapsed() / 1e9 : -1;
}

QString freshSQLite(const QString& dir, const QString& name) {
    const QString path = dir + '/' + name;
    qv::Connection conn;
    conn.openSQLite(path, true);
    conn.createSchema();
    qv::createDemoHotel(conn);
    return path;
}

// A connection to the server's own database, for the benchmark's administration.
struct Admin {
    QSqlDatabase db;
    explicit Admin(const QString& database) {
        const QStringList p = database.split(':');
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), "bench-admin");
        db.setHostName(p[1]);
        db.setPort(p[2].toInt());
        db.setUserName(p[3]);
        db.setPassword(p[4]);
        db.setDatabaseName(QStringLiteral("postgres"));
        db.open();
    }
    ~Admin() {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("bench-admin");
    }
    bool exec(const QString& sql) {
        QSqlQuery q(db);
        if (!q.exec(sql)) {
            std::fprintf(stderr, "server: %s\n", qPrintable(q.lastError().text()));
            return false;
        }
        return true;
    }
    QVariant scalar(const QString& sql) {
        QSqlQuery q(db);
        return q.exec(sql) && q.next() ? q.value(0) : QVariant();
    }
};

QString pgDatabase(const QString& name) {
    const QString host = qEnvironmentVariable("QV_PG_HOST");
    if (host.isEmpty()) {
        return QString();
    }
    return QStringList{"pg",
                       host,
                       qEnvironmentVariable("QV_PG_PORT", QStringLiteral("5432")),
                       qEnvironmentVariable("QV_PG_USER"),
                       qEnvironmentVariable("QV_PG_PASSWORD"),
                       name}
        .join(':');
}

// The benchmark's own database on the server, made again; empty without a server.
QString freshPostgreSQL(const QString& name) {
    const QString database = pgDatabase(name);
    if (database.isEmpty()) {
        return QString();
    }
    {
        Admin admin(database);
        if (!admin.exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name)) ||
            !admin.exec(
                QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8'").arg(name))) {
            std::fprintf(stderr, "no benchmark database on the server\n");
            return QString();
        }
    }
    qv::Connection conn;
    openDatabase(conn, database);
    conn.createSchema();
    qv::createDemoHotel(conn);
    return database;
}

// The statements per card a desk runs on the server, counted in its statement
// log while `desk` issues `cards` cards (after it is set up); -1 when the log
// cannot be read.
double serverStatements(const QString& database, int cards,
                        const std::function<int(const Ready&)>& desk) {
    const QString name = database.section(':', 5);
    qint64 from = -1;
    QString log;
    {
        Admin admin(database);
        log = qEnvironmentVariable("QV_PG_LOG");
        if (log.isEmpty()) {
            log = admin.scalar(QStringLiteral("show data_directory")).toString() +
                  QStringLiteral("/../server.log");
        }
        if (!admin.exec(
                QStringLiteral("ALTER DATABASE %1 SET log_statement = 'all'").arg(name))) {
            return -1;
        }
    }
    const auto size = [&log, &database] {
        Admin admin(database);
        const QVariant v = admin.scalar(
            QStringLiteral("select size from pg_stat_file('%1', true)").arg(log));
        return v.isNull() ? qint64(-1) : v.toLongLong();
    };
    const int rc = desk([&] { from = size(); });
    const qint64 to = size();
    Admin admin(database);
    admin.exec(QStringLiteral("ALTER DATABASE %1 RESET log_statement").arg(name));
    if (rc != 0 || from < 0 || to < from) {
        return -1;
    }
    const QString text =
        admin
            .scalar(QStringLiteral("select pg_read_file('%1', %2, %3, true)")
                        .arg(log)
                        .arg(from)
                        .arg(to - from))
            .toString();
    long count = 0;
    for (const QStringView l : QStringView(text).split('\n')) {
        if (l.contains(QLatin1String("LOG:  statement: ")) ||
            l.contains(QLatin1String("LOG:  execute "))) {
            ++count;
        }
    }
    return double(count) / cards;
}

double ratio(double slower, double faster) {
    return slower > 0 && faster > 0 ? slower / faster : 0.0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    try {
        if (args.size() == 6 && args[1].startsWith(QLatin1String("--"))) {
            const QString db = args[2];
            const int n = args[3].toInt();
            const int d = args[4].toInt();
            const Ready go = [g = args[5]] { waitForGo(g); };
            if (args[1] == QLatin1String("--desk")) {
                return issueDesk(db, n, d, go);
            }
            if (args[1] == QLatin1String("--bare-desk")) {
                return bareDesk(db, n, d, go);
            }
            if (args[1] == QLatin1String("--bare-once-desk")) {
                return bareDesk(db, n, d, go, true);
            }
#ifdef QV_HAVE_LIBPQ
            if (args[1] == QLatin1String("--pg-bare-desk")) {
                return pgBareDesk(db, n, d, go);
            }
#endif
            return 2;
        }
        const int cards = args.size() > 1 ? std::max(kDesks, args[1].toInt()) : 2000;
        const int rounds = args.size() > 2 ? std::max(1, args[2].toInt()) : 5;
        QTemporaryDir dir;
        const QString issueFile = freshSQLite(dir.path(), QStringLiteral("issue.db"));
        const QString bareFile = freshSQLite(dir.path(), QStringLiteral("bare.db"));
        const QString onceFile = freshSQLite(dir.path(), QStringLiteral("once.db"));
        const QString server = freshPostgreSQL(QString::fromLatin1(kPgDatabase));
        QString serverBare;
#ifdef QV_HAVE_LIBPQ
        if (!server.isEmpty()) {
            serverBare = freshPostgreSQL(QString::fromLatin1(kPgDatabase) + QStringLiteral("_floor"));
        }
#endif
        // One side of the comparison: a desk in this process and eight desks.
        struct Side {
            const char* name;
            QString database;
            std::function<int(const Ready&)> one;
            QString mode;
            Spread oneRate, eightRate;
            double oneSeconds = 0, eightSeconds = 0;
            bool failed = false;
        };
        std::vector<Side> sides;
        const auto side = [&sides](const char* name, const QString& database,
                                   std::function<int(const Ready&)> one, const char* mode) {
            Side s;
            s.name = name;
            s.database = database;
            s.one = std::move(one);
            s.mode = QString::fromLatin1(mode);
            sides.push_back(std::move(s));
        };
        side("IssueCard on SQLite", issueFile,
                         [&](const Ready& r) { return issueDesk(issueFile, cards, 0, r); }, "--desk");
        side("SQLite C API", bareFile,
                         [&](const Ready& r) { return bareDesk(bareFile, cards, 0, r); }, "--bare-desk");
        side("SQLite C API unreserved", onceFile,
                         [&](const Ready& r) { return bareDesk(onceFile, cards, 0, r, true); }, "--bare-once-desk");
        if (!server.isEmpty()) {
            side("IssueCard on PostgreSQL", server,
                             [&](const Ready& r) { return issueDesk(server, cards, 0, r); }, "--desk");
        }
#ifdef QV_HAVE_LIBPQ
        if (!serverBare.isEmpty()) {
            side("libpq", serverBare,
                             [&](const Ready& r) { return pgBareDesk(serverBare, cards, 0, r); }, "--pg-bare-desk");
        }
#endif
        struct Pair {
            const char* what;
            size_t slower, faster;
            Spread one, eight;
        };
        std::vector<Pair> pairs{{"IssueCard / SQLite C API", 0, 1, {}, {}},
                                {"reserved / unreserved SQLite C API", 1, 2, {}, {}}};
        if (sides.size() > 4) {
            pairs.push_back({"IssueCard on PostgreSQL / libpq", 3, 4, {}, {}});
        }
        if (sides.size() > 3) {
            pairs.push_back({"IssueCard, PostgreSQL / SQLite", 3, 0, {}, {}});
        }
        Spread writer;
        for (int round = 0; round < rounds; ++round) {
            // Each round in turn, starting from another side each time.
            for (size_t k = 0; k < sides.size(); ++k) {
                Side& s = sides[(k + round) % sides.size()];
                g_writerSeconds = 0;
                s.oneSeconds = oneDesk(s.one);
                if (&s == &sides[0]) {
                    writer.add(g_writerSeconds * 1e6 / cards);
                }
                s.eightSeconds = runDesks(s.mode, s.database, cards, kDesks, dir.path());
                s.failed = s.failed || s.oneSeconds <= 0 || s.eightSeconds <= 0;
                s.oneRate.add(cards / std::max(s.oneSeconds, 1e-9));
                s.eightRate.add(cards / std::max(s.eightSeconds, 1e-9));
            }
            for (Pair& p : pairs) {
                p.one.add(ratio(sides[p.slower].oneSeconds, sides[p.faster].oneSeconds));
                p.eight.add(ratio(sides[p.slower].eightSeconds, sides[p.faster].eightSeconds));
            }
        }

        std::printf("cards %d per run, %d desks at once, %d rounds; median (low - high)\n", cards,
                    kDesks, rounds);
        bool ok = true;
        for (const Side& s : sides) {
            s.oneRate.print(qPrintable(QStringLiteral("%1, one desk").arg(s.name)), " cards/s");
            s.eightRate.print(qPrintable(QStringLiteral("%1, eight desks").arg(s.name)),
                              " cards/s");
            ok = ok && !s.failed;
        }
        writer.print("writer's own time in the desk (not the program's)", " us/card");
        for (const Pair& p : pairs) {
            p.one.print(qPrintable(QStringLiteral("%1 time ratio, one desk").arg(p.what)));
            p.eight.print(qPrintable(QStringLiteral("%1 time ratio, eight desks").arg(p.what)));
        }
        if (server.isEmpty()) {
            std::printf("IssueCard on PostgreSQL: no server (set QV_PG_HOST)\n");
        }
#ifndef QV_HAVE_LIBPQ
        std::printf("libpq floor: built without libpq\n");
#endif

        // Statements per card, counted apart from the timed rounds.
        const int counted = std::min(cards, 200);
        long n = 0;
        issueDesk(issueFile, counted, 0, {}, &n);
        std::printf("statements per card, IssueCard on SQLite      %6.2f\n", double(n) / counted);
        n = 0;
        bareDesk(bareFile, counted, 0, {}, false, &n);
        std::printf("statements per card, SQLite C API             %6.2f\n", double(n) / counted);
        if (!server.isEmpty()) {
            std::printf("statements per card, IssueCard on PostgreSQL  %6.2f\n",
                        serverStatements(server, counted, [&](const Ready& r) {
                            return issueDesk(server, counted, 0, r);
                        }));
        }
#ifdef QV_HAVE_LIBPQ
        if (!serverBare.isEmpty()) {
            std::printf("statements per card, libpq                    %6.2f\n",
                        serverStatements(serverBare, counted, [&](const Ready& r) {
                            return pgBareDesk(serverBare, counted, 0, r);
                        }));
        }
#endif
        return ok ? 0 : 1;
    } catch (const qv::Error& e) {
        std::fprintf(stderr, "bench_cardissue: %s\n", qUtf8Printable(e.text()));
        return 1;
    }
}
