// quorvane-station: the headless station of one encoder ([Interface] Encoder).
#include "Common.h"

#include "card/Encoder.h"
#include "data/ChangeFeed.h"
#include "interface/KeyStation.h"

#include <QCoreApplication>
#include <QTimer>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.setApplicationDescription("Writes the PMS's key requests for one encoder.");
    qv::tools::addCommonOptions(p);
    p.addOption({"encoder", "The encoder number, instead of [Interface] Encoder.", "n"});
    p.process(app);
    InterfaceSettings s = qv::tools::readSettings(p);
    if (p.isSet("encoder")) {
        s.Encoder = p.value("encoder").toInt();
    }
    if (s.Encoder < 1) {
        std::fprintf(stderr, "[Interface] Encoder names no encoder\n");
        return 2;
    }
    Tdm data;
    if (!qv::tools::openDatabase(data)) {
        return 1;
    }
    if (!qv::Encoder::instance().load(qv::Encoder::defaultPath())) {
        std::fprintf(stderr, "the encoder library could not be loaded\n");
        return 1;
    }
    qv::KeyStation::Options o;
    o.encoder = s.Encoder;
    o.cardWaitMs = s.CardWait * 1000;
    qv::KeyStation station(o);
    QObject::connect(&station, &qv::KeyStation::finished,
                     [](const qv::pms::KeyRequest& r, const QString& status, const QString& text) {
                         std::printf("request %lld (%s %s): %s %s\n", static_cast<long long>(r.id),
                                     qUtf8Printable(r.kind), qUtf8Printable(r.roomStr),
                                     qUtf8Printable(status), qUtf8Printable(text));
                         std::fflush(stdout);
                     });
    qv::ChangeFeed feed(data.conn);
    // Served from the event loop, one change at a time.
    bool serving = false;
    const auto serve = [&] {
        if (!serving) {
            serving = true;
            station.serveAll();
            serving = false;
        }
    };
    QObject::connect(&feed, &qv::ChangeFeed::changed, &station, [&](qv::Changes c) {
        if (c.testFlag(qv::Change::KeyRequests)) {
            serve();
        }
    });
    feed.start();
    QTimer::singleShot(0, &station, serve);
    std::printf("quorvane-station: encoder %d\n", s.Encoder);
    std::fflush(stdout);
    return app.exec();
}
