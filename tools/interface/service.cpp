// quorvane-interface: the key interface service for the hotel's PMS.
#include "Common.h"

#include "data/ChangeFeed.h"
#include "interface/InterfaceService.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.setApplicationDescription("The key interface service: the PMS link and the key requests.");
    qv::tools::addCommonOptions(p);
    p.process(app);
    const InterfaceSettings s = qv::tools::readSettings(p);
    if (s.Role != "server" && s.Role != "client") {
        std::fprintf(stderr, "[Interface] Role must be server or client, not %s\n",
                     qUtf8Printable(s.Role));
        return 2;
    }
    if (s.Operator.isEmpty()) {
        std::fprintf(stderr, "[Interface] Operator names no operator\n");
        return 2;
    }
    Tdm data;
    if (!qv::tools::openDatabase(data)) {
        return 1;
    }
    qv::pms::LinkOptions link;
    link.role = s.Role == "client" ? qv::pms::LinkOptions::Role::Client
                                   : qv::pms::LinkOptions::Role::Server;
    link.address = QHostAddress(s.Address);
    link.port = quint16(s.Port);
    link.allowFrom.clear();
    for (const QString& a : s.AllowFrom) {
        link.allowFrom << QHostAddress(a);
    }
    qv::pms::IntakeRules rules;
    rules.operatorLogin = s.Operator;
    rules.timeoutSeconds = s.RequestTimeout;
    rules.staleMinutes = s.StaleMinutes;
    rules.departureTime = LockSystemInfo.LeaveTime;
    qv::InterfaceService service(data.conn, link, rules);
    if (!service.start()) {
        std::fprintf(stderr, "cannot listen on %s:%d: %s\n", qUtf8Printable(s.Address), s.Port,
                     qUtf8Printable(service.errorString()));
        return 1;
    }
    qv::ChangeFeed feed(data.conn);
    QObject::connect(&feed, &qv::ChangeFeed::changed, &service, [&service](qv::Changes c) {
        if (c.testFlag(qv::Change::KeyRequests)) {
            service.checkRequests();
        }
    });
    feed.start();
    std::printf(
        "quorvane-interface: %s on %s:%d\n", qUtf8Printable(s.Role), qUtf8Printable(s.Address),
        link.role == qv::pms::LinkOptions::Role::Server ? service.link().serverPort() : s.Port);
    std::fflush(stdout);
    return app.exec();
}
