// quorvane-pms: a PMS for training and tests. Connects to the key
// interface (or listens for it), does the handshake, sends each record given
// on the command line ("KR KC=1 RN=1203 K#=2 GD=250303"), dated now, and
// prints each answer ("KA AS=OK CT=... RN=1203").
#include "interface/Link.h"
#include "platform/Clock.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

using namespace qv::pms;

namespace {
Record parseRecord(const QString& text) {
    const QStringList parts = text.split(' ', Qt::SkipEmptyParts);
    Record r(parts.value(0).toLatin1());
    for (const QString& part : parts.mid(1)) {
        const qsizetype eq = part.indexOf('=');
        if (eq == 2) {
            r.add(part.left(2).toLatin1(), part.mid(3));
        }
    }
    if (!r.has("DA")) {
        const QDateTime now = qv::Clock::now();
        r.add("DA", now.toString("yyMMdd")).add("TI", now.toString("HHmmss"));
    }
    return r;
}

QString show(const Record& r) {
    QString out = QString::fromLatin1(r.type);
    for (const auto& [id, value] : r.fields) {
        out += ' ' + QString::fromLatin1(id) + '=' + value;
    }
    return out;
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.setApplicationDescription("A PMS simulator for the key interface.");
    p.addHelpOption();
    p.addOption(
        {"role", "client (default: connects to the interface) or server.", "role", "client"});
    p.addOption({"address", "The interface's address (client) or where to listen.", "address",
                 "127.0.0.1"});
    p.addOption({"port", "The port.", "port", "5010"});
    p.addOption({"wait", "Seconds to wait for each answer.", "seconds", "60"});
    p.addPositionalArgument("records", "Records to send, e.g. \"KR KC=1 RN=1203 GD=250303\".");
    p.process(app);

    LinkOptions o;
    o.role = p.value("role") == "server" ? LinkOptions::Role::Server : LinkOptions::Role::Client;
    o.address = QHostAddress(p.value("address"));
    o.port = quint16(p.value("port").toUInt());
    o.allowFrom = {o.address, QHostAddress::LocalHost};
    o.description.family = QStringLiteral("PMS");
    Link link(o);
    QList<Record> todo;
    for (const QString& a : p.positionalArguments()) {
        todo << parseRecord(a);
    }
    int failures = 0;
    QTimer wait;
    wait.setSingleShot(true);
    const auto next = [&] {
        if (todo.isEmpty()) {
            link.close();
            QCoreApplication::exit(failures == 0 ? 0 : 1);
            return;
        }
        const Record r = todo.takeFirst();
        std::printf("> %s\n", qUtf8Printable(show(r)));
        std::fflush(stdout);
        link.send(r);
        wait.start(p.value("wait").toInt() * 1000);
    };
    QObject::connect(&wait, &QTimer::timeout, [&] {
        std::printf("no answer\n");
        ++failures;
        next();
    });
    QObject::connect(&link, &Link::alive, [&](const QString&) {
        std::printf("link up\n");
        next();
    });
    QObject::connect(&link, &Link::lost, [&](const QString&) { std::printf("link lost\n"); });
    QObject::connect(&link, &Link::received, [&](const Record& r) {
        std::printf("< %s\n", qUtf8Printable(show(r)));
        std::fflush(stdout);
        if (r.type == "KA") {
            if (r.value("AS") != "OK") {
                ++failures;
            }
            wait.stop();
            next();
        }
    });
    if (!link.open()) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(link.errorString()));
        return 1;
    }
    return app.exec();
}
