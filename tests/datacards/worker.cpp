// A front desk reading the data card on the encoder simulator, for the tests
// that kill it at chosen points:
//   data-card-worker [--kill WHERE:N] --sim LIBRARY DATABASE
// DATABASE is an SQLite file or "pg:HOST:PORT:USER:PASSWORD:DB"; the
// simulator's state folder comes from QUORVANE_ENCODER_DIR. WHERE is
//   read     the process kills itself (SIGKILL) when N records are read off the card
//   stored   ... when N rows are handled inside the transaction that stores them
//   done     ... when the reading returned (N is not used)
// Without --kill it prints "read COUNT stored ADDED" and ends with 0.
#include "card/DataCard.h"
#include "card/Encoder.h"
#include "card/EncoderApi.h"
#include "data/dm_unit.h"
#include "platform/Errors.h"
#include "settings/Settings.h"

#include <QCoreApplication>
#include <algorithm>
#include <csignal>
#include <cstdio>

namespace {

void killHere() {
    std::fflush(stdout);
    std::raise(SIGKILL);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString where;
    int at = 0;
    QString simLibrary;
    while (args.size() > 1 && args.first().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        const QString value = args.takeFirst();
        if (option == QLatin1String("--kill")) {
            where = value.section(':', 0, 0);
            at = value.section(':', 1, 1).toInt();
        } else if (option == QLatin1String("--sim")) {
            simLibrary = value;
        }
    }
    if (args.size() != 1 || simLibrary.isEmpty()) {
        std::fprintf(stderr, "usage: data-card-worker [--kill WHERE:N] --sim LIBRARY DATABASE\n");
        return 2;
    }
    Tdm module;
    dm = &module;
    if (!qv::Encoder::instance().load(simLibrary)) {
        std::fprintf(stderr, "data-card-worker: no simulator at %s\n", qPrintable(simLibrary));
        return 1;
    }
    try {
        const QString database = args.first();
        if (database.startsWith(QLatin1String("pg:"))) {
            const QStringList p = database.split(':');
            module.conn.openPostgreSQL({p[1] + ':' + p[2], p[3], p[4], p[5]});
        } else {
            module.conn.openSQLite(database);
        }
        QList<qv::DoorOpening> rows;
        const int16_t code = qv::ReadAndStoreDataCard(
            rows,
            [&](int read) {
                if (where == QLatin1String("read") && read == at) {
                    killHere();
                }
            },
            [&](int done) {
                if (where == QLatin1String("stored") && done == at) {
                    killHere();
                }
            });
        if (where == QLatin1String("done")) {
            killHere();
        }
        if (code != QV_ENC_OK) {
            std::fprintf(stderr, "data-card-worker: the encoder answered %d\n", code);
            return 1;
        }
        const auto added = std::count_if(rows.cbegin(), rows.cend(),
                                         [](const qv::DoorOpening& r) { return r.Stored; });
        std::printf("read %d stored %d\n", static_cast<int>(rows.size()), static_cast<int>(added));
    } catch (const qv::Error& e) {
        std::fprintf(stderr, "data-card-worker: %s\n", qUtf8Printable(e.text()));
        return 1;
    }
    return 0;
}
