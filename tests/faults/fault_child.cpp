// The program's own data paths in a process of their own, for the fault
// tests: the parent kills it with SIGKILL at a chosen point (QV_CRASH_AT) or
// at a random moment, then checks what it left.
//
//   qv_fault_child <app folder> backup  sqlite|postgres <live> <target>
//   qv_fault_child <app folder> restore sqlite|postgres <live> <file>
//   qv_fault_child <app folder> bump    sqlite <live>    (one more serial)
//   qv_fault_child <app folder> read    sqlite <live>    (prints the serial)
//
// <live> is the SQLite file or the server database's name (the server from
// QV_PG_HOST, QV_PG_PORT, QV_PG_USER, QV_PG_PASSWORD).

#include "data/Backup.h"
#include "data/Connection.h"
#include "platform/AppPaths.h"
#include "platform/Errors.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5) {
        std::fprintf(stderr, "usage: qv_fault_child <app> <op> <kind> <live> [file]\n");
        return 2;
    }
    qv::AppPaths::setDir(args[1]);
    const QString op = args[2];
    const QString live = args[4];
    const QString file = args.value(5);
    try {
        qv::Connection conn;
        if (args[3] == QLatin1String("postgres")) {
            conn.openPostgreSQL({qEnvironmentVariable("QV_PG_HOST") + ':' +
                                     qEnvironmentVariable("QV_PG_PORT", QStringLiteral("5432")),
                                 qEnvironmentVariable("QV_PG_USER"),
                                 qEnvironmentVariable("QV_PG_PASSWORD"), live});
        } else {
            conn.openSQLite(live);
        }
        if (op == QLatin1String("backup")) {
            qv::backupDatabase(conn, file);
        } else if (op == QLatin1String("restore")) {
            qv::restoreDatabase(conn, file);
        } else if (op == QLatin1String("bump")) {
            conn.execute(
                QStringLiteral("update AllCardSn set CardSn = CardSn + 1 "
                               "where CardType = 10"));
        } else if (op == QLatin1String("read")) {
            std::printf("%lld\n", conn.scalar(QStringLiteral("select CardSn from AllCardSn "
                                                             "where CardType = 10"))
                                      .toLongLong());
        } else {
            return 2;
        }
    } catch (const qv::Error& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 1;
    }
    return 0;
}
