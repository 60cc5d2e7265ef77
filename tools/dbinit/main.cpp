// quorvane-dbinit: creates a lock database (an SQLite file or a PostgreSQL
// database) with the schema and reference rows, optionally with a demo hotel.
#include "data/Connection.h"
#include "data/DemoHotel.h"
#include "data/OperationLog.h"
#include "data/SchemaInfo.h"
#include "data/dm_unit.h"
#include "platform/Errors.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlQuery>
#include <cstdio>

namespace {

void say(const QString& text) {
    std::fprintf(stdout, "%s\n", qUtf8Printable(text));
}
int fail(const QString& text) {
    std::fprintf(stderr, "quorvane-dbinit: %s\n", qUtf8Printable(text));
    return 1;
}

// Every table the schema script creates, and the schema stamp.
QStringList lockTables(const qv::Dialect& dialect) {
    QStringList tables;
    static const QRegularExpression re(QStringLiteral(R"(^CREATE TABLE (\w+))"));
    for (const QString& s : qv::schema::statements(dialect.schemaScript())) {
        if (const auto m = re.match(s); m.hasMatch()) {
            tables << m.captured(1);
        }
    }
    tables << QStringLiteral("QuorvaneSchema");
    return tables;
}

// Walks the operations log's chain and tells what it found: 0 when it is
// whole, 2 when rows were changed or removed.
int verifyOperationLog(qv::Connection& conn) {
    const qv::oplog::ChainReport report = qv::oplog::verifyOperationLog(conn);
    if (report.intact()) {
        say(QStringLiteral("operations log of %1: %2 rows, the chain is whole; last row %3, "
                           "hash %4")
                .arg(conn.description())
                .arg(report.rows)
                .arg(report.lastId)
                .arg(report.lastHash.isEmpty() ? QStringLiteral("-") : report.lastHash));
        return 0;
    }
    for (const qv::oplog::ChainProblem& p : report.problems) {
        if (p.kind == qv::oplog::ChainProblem::Changed) {
            say(QStringLiteral("row %1 was changed").arg(p.firstId));
        } else if (p.firstId == p.lastId) {
            say(QStringLiteral("row %1 was removed").arg(p.firstId));
        } else {
            say(QStringLiteral("rows %1 to %2 were removed").arg(p.firstId).arg(p.lastId));
        }
    }
    const qv::oplog::ChainProblem& first = report.problems.first();
    std::fprintf(stderr,
                 "quorvane-dbinit: the operations log of %s was altered: the first row changed "
                 "or removed is row %lld (%lld rows read)\n",
                 qUtf8Printable(conn.description()), static_cast<long long>(first.firstId),
                 static_cast<long long>(report.rows));
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvane-dbinit"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Creates a Quorvane lock database with its tables and reference rows.\n"
        "  quorvane-dbinit [--demo] [--force] FILE\n"
        "  quorvane-dbinit [--demo] [--force] --server HOST[:PORT] --user NAME --password PASS\n"
        "  quorvane-dbinit --verify-log FILE | --verify-log --server ..."));
    parser.addHelpOption();
    const QCommandLineOption demo(
        QStringLiteral("demo"),
        QStringLiteral("Add a demo hotel (rooms, room types, districts; no operators)."));
    const QCommandLineOption force(
        QStringLiteral("force"),
        QStringLiteral("Replace a database that is not empty (its data is lost)."));
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("PostgreSQL server, host[:port]."),
                                    QStringLiteral("host"));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("PostgreSQL user."),
                                  QStringLiteral("name"));
    const QCommandLineOption password(
        QStringLiteral("password"), QStringLiteral("PostgreSQL password."), QStringLiteral("pass"));
    const QCommandLineOption database(QStringLiteral("database"),
                                      QStringLiteral("PostgreSQL database (default halvorn)."),
                                      QStringLiteral("name"), QStringLiteral("halvorn"));
    const QCommandLineOption verifyLog(
        QStringLiteral("verify-log"),
        QStringLiteral("Check the operations log of an existing database instead: walk its chain "
                       "and name the rows changed or removed (exit code 2 when there are)."));
    parser.addOptions({demo, force, server, user, password, database, verifyLog});
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("SQLite file to create."));
    parser.process(app);

    const bool toServer = parser.isSet(server);
    const QStringList files = parser.positionalArguments();
    if (toServer == (files.size() == 1) || files.size() > 1) {
        return fail(QStringLiteral("give either one FILE or --server (see --help)."));
    }

    qv::Connection conn;
    if (parser.isSet(verifyLog)) {
        try {
            if (toServer) {
                qv::ServerParams params;
                params.host = parser.value(server);
                params.user = parser.value(user);
                params.password = parser.value(password);
                params.database = parser.value(database);
                conn.openPostgreSQL(params);
            } else {
                conn.openSQLite(files.first());
            }
            conn.checkLockDatabase();
            return verifyOperationLog(conn);
        } catch (const qv::Error& e) {
            return fail(e.text());
        }
    }
    try {
        if (toServer) {
            qv::ServerParams params;
            params.host = parser.value(server);
            params.user = parser.value(user);
            params.password = parser.value(password);
            params.database = parser.value(database);
            conn.openPostgreSQL(params);
            if (!conn.isEmpty()) {
                if (!parser.isSet(force)) {
                    return fail(
                        QStringLiteral(
                            "database %1 is not empty; use --force to replace its lock tables.")
                            .arg(conn.description()));
                }
                // Only a database that holds nothing but lock tables is replaced,
                // and the tables go in one transaction.
                const QStringList ours = lockTables(conn.dialect());
                QStringList others;
                QSqlQuery q =
                    conn.run(QStringLiteral("SELECT table_name FROM information_schema.tables "
                                            "WHERE table_schema = current_schema()"));
                while (q.next()) {
                    const QString table = q.value(0).toString();
                    if (!ours.contains(table, Qt::CaseInsensitive)) {
                        others << table;
                    }
                }
                if (!others.isEmpty()) {
                    return fail(QStringLiteral("database %1 holds other tables (%2); not touched.")
                                    .arg(conn.description(), others.join(QStringLiteral(", "))));
                }
                qv::Transaction t(conn);
                for (const QString& table : ours) {
                    conn.run(QStringLiteral("DROP TABLE IF EXISTS %1").arg(table));
                }
                t.commit();
            }
        } else {
            const QString path = files.first();
            const QFileInfo info(path);
            if (info.exists() && (!info.isFile() || info.size() > 0)) {
                if (!parser.isSet(force) || !info.isFile()) {
                    return fail(
                        QStringLiteral("%1 exists and is not empty; use --force to replace it.")
                            .arg(path));
                }
                for (const QString& suffix :
                     {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
                    QFile::remove(path + suffix);
                }
            }
            conn.openSQLite(path, true);
        }
        conn.createSchema();
        if (parser.isSet(demo)) {
            qv::createDemoHotel(conn);
        }
    } catch (const qv::Error& e) {
        return fail(e.text());
    }
    say(QStringLiteral("created lock database %1%2")
            .arg(conn.description(),
                 parser.isSet(demo) ? QStringLiteral(" with the demo hotel") : QString()));
    return 0;
}
