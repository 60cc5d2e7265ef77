// One front desk issuing cards as fast as it can, for the concurrency test:
//   card-issue-worker DATABASE room ROOMSTR COUNT
//   card-issue-worker DATABASE kind COUNTERKIND COUNT
// DATABASE is an SQLite file or "pg:HOST:PORT:USER:PASSWORD:DB". Each card's
// serial is printed on a line of its own once its records are stored.
#include "settings/Settings.h"
#include "card/CardFunctions.h"
#include "card/CardRecords.h"
#include "data/dm_unit.h"
#include "platform/Errors.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: card-issue-worker DATABASE room|kind WHICH COUNT\n");
        return 2;
    }
    Tdm module;
    dm = &module;
    LockSystemInfo.Staffer = QStringLiteral("worker");
    try {
        if (args[1].startsWith(QLatin1String("pg:"))) {
            const QStringList p = args[1].split(':');
            module.conn.openPostgreSQL({p[1] + ':' + p[2], p[3], p[4], p[5]});
        } else {
            module.conn.openSQLite(args[1]);
        }
        const bool room = args[2] == QLatin1String("room");
        const CardSerialSource source =
            room ? CardSerialSource::room(args[3]) : CardSerialSource::kind(args[3].toInt());
        const int count = args[4].toInt();
        for (int i = 0; i < count; ++i) {
            TCardData card{};
            card.CardType[0] = CardTypes::Guest;
            for (const TCardTypeInfo& info : IssuedCardTypes) {
                if (!room && info.counterKind == args[3].toInt()) {
                    card.CardType[0] = info.type;  // the card kind that counter numbers
                }
            }
            GetRoomAddr(room ? args[3] : QString(), card.RoomAddr);
            int64_t serial = -1;
            IssueCard(
                source, card,
                [&](TCardData& c) {
                    serial = CardSerial(c);
                    QThread::usleep(200);  // the encoder takes its time
                    return 1;
                },
                [&] { MakeCardLog(card, QStringLiteral("客人"), QString()); });
            std::printf("%lld\n", static_cast<long long>(serial));
            std::fflush(stdout);
        }
    } catch (const qv::Error& e) {
        std::fprintf(stderr, "card-issue-worker: %s\n", qUtf8Printable(e.text()));
        return 1;
    }
    return 0;
}
