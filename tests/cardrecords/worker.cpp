// One front desk issuing cards, for the tests that need a second desk (a
// process of its own):
//   card-issue-worker [OPTIONS] DATABASE JOB...
// DATABASE is an SQLite file or "pg:HOST:PORT:USER:PASSWORD:DB". A JOB is
// SOURCE:WHICH:COUNT, run in order:
//   room:1203:5   five new guest cards of room 1203
//   copy:1203:1   a copy of room 1203's newest card
//   zero:1203:1   a guest card of room 1203 with serial 0
//   kind:4:5      five cards of the kind counter 4 numbers
// Options:
//   --hold FILE         the encoder answers only once FILE exists (at most 60 s)
//   --answer N          the encoder answers N (default 1: written)
//   --sim LIBRARY       the encoder is that simulator library (its state folder
//                       from QUORVANE_ENCODER_DIR); otherwise nothing is written
//   --die-after-write   the process ends at once when the encoder has answered
// For every card it prints "writing SOURCE:WHICH SERIAL" before the encoder
// is called and "issued|refused SOURCE:WHICH SERIAL" once IssueCard returned.
#include "card/CardFunctions.h"
#include "card/CardRecords.h"
#include "card/Encoder.h"
#include "data/Session.h"
#include "data/dm_unit.h"
#include "platform/Errors.h"
#include "settings/Settings.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <cstdio>

namespace {

void say(const QString& line) {
    std::printf("%s\n", qUtf8Printable(line));
    std::fflush(stdout);
}

uint16_t cardTypeOfCounter(int counterKind) {
    for (const TCardTypeInfo& info : IssuedCardTypes) {
        if (info.counterKind == counterKind && info.type != CardTypes::Guest) {
            return info.type;
        }
    }
    return CardTypes::Guest;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString hold;
    QString simLibrary;
    int answer = 1;
    bool dieAfterWrite = false;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--die-after-write")) {
            dieAfterWrite = true;
        } else if (!args.isEmpty() && option == QLatin1String("--hold")) {
            hold = args.takeFirst();
        } else if (!args.isEmpty() && option == QLatin1String("--answer")) {
            answer = args.takeFirst().toInt();
        } else if (!args.isEmpty() && option == QLatin1String("--sim")) {
            simLibrary = args.takeFirst();
        } else {
            args.clear();
        }
    }
    if (args.size() < 2) {
        std::fprintf(stderr,
                     "usage: card-issue-worker [--hold FILE] [--answer N] [--sim LIBRARY] "
                     "[--die-after-write] DATABASE SOURCE:WHICH:COUNT...\n");
        return 2;
    }
    Tdm module;
    dm = &module;
    qv::session().login = QStringLiteral("worker");
    qv::session().name = QStringLiteral("前台%1").arg(QCoreApplication::applicationPid());
    if (!simLibrary.isEmpty() && !qv::Encoder::instance().load(simLibrary)) {
        std::fprintf(stderr, "card-issue-worker: no simulator at %s\n", qPrintable(simLibrary));
        return 1;
    }
    try {
        const QString database = args.takeFirst();
        if (database.startsWith(QLatin1String("pg:"))) {
            const QStringList p = database.split(':');
            module.conn.openPostgreSQL({p[1] + ':' + p[2], p[3], p[4], p[5]});
        } else {
            module.conn.openSQLite(database);
        }
        for (const QString& job : args) {
            const QStringList part = job.split(':');
            if (part.size() != 3) {
                std::fprintf(stderr, "card-issue-worker: bad job %s\n", qPrintable(job));
                return 2;
            }
            const QString& source = part[0];
            const QString name = source + ':' + part[1];
            const bool guest = source != QLatin1String("kind");
            const CardSerialSource from =
                source == QLatin1String("copy")   ? CardSerialSource::room(part[1], true)
                : source == QLatin1String("zero") ? CardSerialSource::zero(part[1])
                : guest                           ? CardSerialSource::room(part[1])
                                                  : CardSerialSource::kind(part[1].toInt());
            for (int i = 0; i < part[2].toInt(); ++i) {
                TCardData card{};
                card.CardType[0] = guest ? CardTypes::Guest : cardTypeOfCounter(part[1].toInt());
                card.Override = 1;
                if (guest) {
                    GetRoomAddr(part[1], card.RoomAddr);
                }
                const int code = IssueCard(
                    from, card,
                    [&](TCardData& c) {
                        say(QStringLiteral("writing %1 %2").arg(name).arg(CardSerial(c)));
                        for (int waited = 0; !hold.isEmpty() && !QFile::exists(hold); ++waited) {
                            if (waited > 6000) {
                                return -15;
                            }
                            QThread::msleep(10);  // the encoder takes its time
                        }
                        if (hold.isEmpty()) {
                            QThread::usleep(200);  // long enough for the desks to interleave
                        }
                        int result = answer;
                        if (!simLibrary.isEmpty() && answer == 1) {
                            result = qv::Encoder::instance().makeCard(c.CardType[0], c);
                        }
                        if (dieAfterWrite) {
                            _exit(9);  // killed before a single record is stored
                        }
                        return result;
                    },
                    [&] { MakeCardLog(card, QStringLiteral("客人"), QString()); },
                    {QStringLiteral("客人"), QString()});
                say(QStringLiteral("%1 %2 %3")
                        .arg(code == 1 ? QStringLiteral("issued") : QStringLiteral("refused"), name)
                        .arg(CardSerial(card)));
            }
        }
    } catch (const qv::Error& e) {
        std::fprintf(stderr, "card-issue-worker: %s\n", qUtf8Printable(e.text()));
        return 1;
    }
    return 0;
}
