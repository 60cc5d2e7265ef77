// quorvane-dbinit: creates a lock database (an SQLite file or a PostgreSQL
// database) with the schema and reference rows, optionally with a demo hotel.
#include "data/Connection.h"
#include "data/DemoHotel.h"
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

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvane-dbinit"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Creates a Quorvane lock database with its tables and reference rows.\n"
        "  quorvane-dbinit [--demo] [--force] FILE\n"
        "  quorvane-dbinit [--demo] [--force] --server HOST[:PORT] --user NAME --password PASS"));
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
    parser.addOptions({demo, force, server, user, password, database});
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("SQLite file to create."));
    parser.process(app);

    const bool toServer = parser.isSet(server);
    const QStringList files = parser.positionalArguments();
    if (toServer == (files.size() == 1) || files.size() > 1) {
        return fail(QStringLiteral("give either one FILE or --server (see --help)."));
    }

    qv::Connection conn;
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
