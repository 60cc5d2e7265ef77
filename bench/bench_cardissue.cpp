// What the safe card issue costs: bench_cardissue [CARDS] (default 2000).
// Issues CARDS guest cards (the encoder answers at once) through IssueCard on
// one desk and on eight desks (processes of their own), on an SQLite file and,
// when QV_PG_HOST names a server (QV_PG_PORT, QV_PG_USER, QV_PG_PASSWORD), on
// PostgreSQL; beside it the bare SQLite C API doing the same writes (the
// serial reserved and the log row entered in one committed transaction, the
// row confirmed in a second), and the C API writing each card in one
// transaction as an issue without a reservation would. Prints cards per
// second and the ratios: IssueCard to the C API (the cost of the layer) and
// two transactions to one (the cost of the reservation).
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
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kDesks = 8;
const char* const kPgDatabase = "qvbench_cardissue";

struct Room {
    QString roomStr;
    QString systemRoomStr;
};

QList<Room> rooms(qv::Connection& conn) {
    QList<Room> out;
    QSqlQuery q =
        conn.run(QStringLiteral("select RoomStr, SystemRoomStr from RoomInfo order by Room"));
    while (q.next()) {
        out.append({q.value(0).toString(), q.value(1).toString()});
    }
    return out;
}

// The room of a desk's card: the desks go round the hotel from different rooms.
const Room& roomOf(const QList<Room>& all, int desk, int card) {
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

int issueDesk(const QString& database, int cards, int desk, const QString& go) {
    Tdm module;
    dm = &module;
    qv::session().login = QStringLiteral("bench");
    qv::session().name = QStringLiteral("前台");
    openDatabase(module.conn, database);
    const QList<Room> all = rooms(module.conn);
    if (!go.isEmpty()) {
        waitForGo(go);
    }
    for (int i = 0; i < cards; ++i) {
        const Room& room = roomOf(all, desk, i);
        TCardData card{};
        card.CardType[0] = CardTypes::Guest;
        card.Override = 1;
        GetRoomAddr(room.roomStr, card.RoomAddr);
        IssueCard(
            CardSerialSource::room(room.roomStr), card, [](TCardData&) { return 1; },
            [&] {
                MakeCardLog(card, QStringLiteral("客人"), QStringLiteral("110101199001011234"));
            },
            {QStringLiteral("客人"), QStringLiteral("110101199001011234")});
    }
    return 0;
}

bool check(sqlite3* db, int rc, int expected = SQLITE_OK) {
    if (rc != expected && !(expected == SQLITE_DONE && rc == SQLITE_ROW)) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        return false;
    }
    return true;
}

// The same writes through the SQLite C API with prepared statements; with
// `once`, each card's writes in a single transaction (no reservation).
int bareDesk(const QString& path, int cards, int desk, const QString& go, bool once = false) {
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
    const char* sql[] = {
        "BEGIN IMMEDIATE",
        "COMMIT",
        "update RoomInfo set CardSn = coalesce(CardSn, 0) + 1 where RoomStr = ?1",
        "select CardSn from RoomInfo where RoomStr = ?1",
        "insert into MakeCardRecord (RoomStr, Rom, enOverride, Holder, Explain, CardType, "
        "MakeUser, "
        "MakeName, StartTime, EndTime, CardState) values (?1, ?2, 1, '客人', '110101199001011234', "
        "4, 'bench', '前台', '2026-03-01 15:20:00', '2026-03-02 12:00:00', ?3) returning ID",
        "update MakeCardRecord set RoomStr = ?1, Rom = ?2, enOverride = 1, Holder = '客人', "
        "Explain = '110101199001011234', CardType = 4, MakeUser = 'bench', MakeName = '前台', "
        "StartTime = '2026-03-01 15:20:00', EndTime = '2026-03-02 12:00:00', CardState = 0 "
        "where ID = ?3",
    };
    sqlite3_stmt* st[std::size(sql)] = {};
    for (size_t i = 0; i < std::size(sql); ++i) {
        if (!check(db, sqlite3_prepare_v2(db, sql[i], -1, &st[i], nullptr))) {
            return 1;
        }
    }
    enum { Begin, Commit, Inc, Sel, Ins, Upd };
    auto run = [&](int which) {
        const bool ok = check(db, sqlite3_step(st[which]), SQLITE_DONE);
        sqlite3_reset(st[which]);
        return ok;
    };
    if (!go.isEmpty()) {
        waitForGo(go);
    }
    for (int i = 0; i < cards; ++i) {
        const Room& room = roomOf(all, desk, i);
        const QByteArray roomStr = room.roomStr.toUtf8();
        // The serial reserved and the pending row entered.
        if (!run(Begin)) {
            return 1;
        }
        sqlite3_bind_text(st[Inc], 1, roomStr.constData(), -1, SQLITE_TRANSIENT);
        run(Inc);
        sqlite3_bind_text(st[Sel], 1, roomStr.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st[Sel]);
        const qint64 serial = sqlite3_column_int64(st[Sel], 0);
        sqlite3_reset(st[Sel]);
        TCardData card{};
        card.CardType[0] = CardTypes::Guest;
        SetCardSerial(card, serial);
        const QByteArray rom = (room.systemRoomStr + CardRom(card)).toUtf8();
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

QString freshSQLite(const QString& dir, const QString& name) {
    const QString path = dir + '/' + name;
    qv::Connection conn;
    conn.openSQLite(path, true);
    conn.createSchema();
    qv::createDemoHotel(conn);
    return path;
}

// The benchmark's own database on the server, made again; empty without a server.
QString freshPostgreSQL() {
    const QString host = qEnvironmentVariable("QV_PG_HOST");
    if (host.isEmpty()) {
        return QString();
    }
    const QString port = qEnvironmentVariable("QV_PG_PORT", QStringLiteral("5432"));
    const QString user = qEnvironmentVariable("QV_PG_USER");
    const QString password = qEnvironmentVariable("QV_PG_PASSWORD");
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), "bench-admin");
        admin.setHostName(host);
        admin.setPort(port.toInt());
        admin.setUserName(user);
        admin.setPassword(password);
        admin.setDatabaseName(QStringLiteral("postgres"));
        QSqlQuery q(admin);
        if (!admin.open() ||
            !q.exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(kPgDatabase)) ||
            !q.exec(QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8'")
                        .arg(kPgDatabase))) {
            std::fprintf(stderr, "no benchmark database on the server: %s\n",
                         qPrintable(admin.lastError().text() + q.lastError().text()));
            return QString();
        }
    }
    QSqlDatabase::removeDatabase("bench-admin");
    const QString database = QStringList{"pg", host, port, user, password, kPgDatabase}.join(':');
    qv::Connection conn;
    openDatabase(conn, database);
    conn.createSchema();
    qv::createDemoHotel(conn);
    return database;
}

void line(const char* what, int cards, double seconds) {
    if (seconds <= 0) {
        std::printf("%-42s failed\n", what);
    } else {
        std::printf("%-42s %9.1f cards/s\n", what, cards / seconds);
    }
}

double ratio(double slower, double faster) {
    return slower > 0 && faster > 0 ? slower / faster : 0.0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    try {
        if (args.size() == 6 && args[1] == QLatin1String("--desk")) {
            return issueDesk(args[2], args[3].toInt(), args[4].toInt(), args[5]);
        }
        if (args.size() == 6 && args[1] == QLatin1String("--bare-desk")) {
            return bareDesk(args[2], args[3].toInt(), args[4].toInt(), args[5]);
        }
        if (args.size() == 6 && args[1] == QLatin1String("--bare-once-desk")) {
            return bareDesk(args[2], args[3].toInt(), args[4].toInt(), args[5], true);
        }
        const int cards = args.size() > 1 ? std::max(kDesks, args[1].toInt()) : 2000;
        QTemporaryDir dir;

        // One desk in this process; eight desks as eight processes.
        const QString issueFile = freshSQLite(dir.path(), QStringLiteral("issue.db"));
        QElapsedTimer t;
        t.start();
        issueDesk(issueFile, cards, 0, QString());
        const double issueOne = t.nsecsElapsed() / 1e9;
        dm = nullptr;
        const double issueEight =
            runDesks(QStringLiteral("--desk"), issueFile, cards, kDesks, dir.path());
        const QString bareFile = freshSQLite(dir.path(), QStringLiteral("bare.db"));
        t.restart();
        bareDesk(bareFile, cards, 0, QString());
        const double bareOne = t.nsecsElapsed() / 1e9;
        const double bareEight =
            runDesks(QStringLiteral("--bare-desk"), bareFile, cards, kDesks, dir.path());
        const QString onceFile = freshSQLite(dir.path(), QStringLiteral("once.db"));
        t.restart();
        bareDesk(onceFile, cards, 0, QString(), true);
        const double onceOne = t.nsecsElapsed() / 1e9;
        const double onceEight =
            runDesks(QStringLiteral("--bare-once-desk"), onceFile, cards, kDesks, dir.path());

        std::printf("cards %d per run, %d desks at once\n", cards, kDesks);
        line("SQLite C API, one desk", cards, bareOne);
        line("SQLite C API, eight desks", cards, bareEight);
        line("SQLite C API unreserved, one desk", cards, onceOne);
        line("SQLite C API unreserved, eight desks", cards, onceEight);
        line("IssueCard on SQLite, one desk", cards, issueOne);
        line("IssueCard on SQLite, eight desks", cards, issueEight);
        const QString server = freshPostgreSQL();
        double serverOne = 0;
        double serverEight = 0;
        if (server.isEmpty()) {
            std::printf("IssueCard on PostgreSQL: no server (set QV_PG_HOST)\n");
        } else {
            t.restart();
            issueDesk(server, cards, 0, QString());
            serverOne = t.nsecsElapsed() / 1e9;
            dm = nullptr;
            serverEight = runDesks(QStringLiteral("--desk"), server, cards, kDesks, dir.path());
            line("IssueCard on PostgreSQL, one desk", cards, serverOne);
            line("IssueCard on PostgreSQL, eight desks", cards, serverEight);
        }
        std::printf("IssueCard / C API time ratio, one desk    %.2f\n", ratio(issueOne, bareOne));
        std::printf("IssueCard / C API time ratio, eight desks %.2f\n",
                    ratio(issueEight, bareEight));
        std::printf("reserved / unreserved C API time ratio, one desk    %.2f\n",
                    ratio(bareOne, onceOne));
        std::printf("reserved / unreserved C API time ratio, eight desks %.2f\n",
                    ratio(bareEight, onceEight));
        if (!server.isEmpty()) {
            std::printf("PostgreSQL / SQLite time ratio, one desk    %.2f\n",
                        ratio(serverOne, issueOne));
            std::printf("PostgreSQL / SQLite time ratio, eight desks %.2f\n",
                        ratio(serverEight, issueEight));
        }
        return issueEight > 0 && bareEight > 0 && onceEight > 0 &&
                       (server.isEmpty() || serverEight > 0)
                   ? 0
                   : 1;
    } catch (const qv::Error& e) {
        std::fprintf(stderr, "bench_cardissue: %s\n", qUtf8Printable(e.text()));
        return 1;
    }
}
