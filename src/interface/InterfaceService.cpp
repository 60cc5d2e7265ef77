#include "interface/InterfaceService.h"

#include "data/Connection.h"
#include "platform/Clock.h"
#include "platform/Errors.h"

namespace qv {

namespace {
pms::LinkOptions withKeyRecords(pms::LinkOptions o) {
    if (o.description.records.isEmpty()) {
        o.description.records = {
            {"KR", "KCKTK#RNWSG#GNGAGDDTIDDATI"},
            {"KM", "KCRNROWSG#GNGDDTIDDATI"},
            {"KD", "KCRNWSG#IDDATI"},
            {"KZ", "KCWSIDDATI"},
            {"KA", "ASCTKCWSG#RNGAGDDTGNDATI"},
        };
    }
    return o;
}
}  // namespace

InterfaceService::InterfaceService(Connection& conn, const pms::LinkOptions& link,
                                   const pms::IntakeRules& rules, QObject* parent)
    : QObject(parent), conn_(conn), link_(withKeyRecords(link)), rules_(rules) {
    connect(&link_, &pms::Link::received, this, &InterfaceService::onRecord);
    connect(&link_, &pms::Link::lost, this, &InterfaceService::onLost);
    deadlines_.setInterval(1000);
    connect(&deadlines_, &QTimer::timeout, this, &InterfaceService::checkRequests);
}

InterfaceService::~InterfaceService() = default;

bool InterfaceService::start() {
    deadlines_.start();
    return link_.open();
}

void InterfaceService::stop() {
    deadlines_.stop();
    link_.close();
}

void InterfaceService::onRecord(const pms::Record& record) {
    pms::Intake in;
    try {
        in = pms::takeIn(conn_, record, rules_, link_.linkId(), Clock::now());
    } catch (const Error& e) {
        qWarning("PMS link: a %s record could not be stored: %s", record.type.constData(),
                 qUtf8Printable(e.text()));
        pms::KeyRequest r;
        r.roomStr = record.value("RN");
        r.encoder = record.value("KC").toInt();
        r.workstation = record.value("WS");
        r.reservation = record.value("G#");
        link_.send(
            pms::answerFor(r, QStringLiteral("BY"), QStringLiteral("The lock database is busy")));
        return;
    }
    switch (in.action) {
        case pms::Intake::Action::Answer:
            link_.send(in.answer);
            emit answered(in.requestId, in.answer);
            break;
        case pms::Intake::Action::Queued:
        case pms::Intake::Action::Pending:
            pending_.insert(in.requestId, link_.linkId());
            checkRequests();
            break;
        case pms::Intake::Action::Ignore:
            break;
    }
}

void InterfaceService::onLost(const QString& linkId) {
    // No PMS to answer: what is still to be written is given up.
    try {
        pms::KeyRequest none;
        const int n = pms::expireLinkRequests(
            conn_, linkId,
            pms::answerFor(none, QStringLiteral("UR"), QStringLiteral("The link was lost")));
        if (n > 0) {
            qInfo("PMS link lost: %d request(s) given up", n);
        }
    } catch (const Error& e) {
        qWarning("PMS link lost; its requests could not be given up: %s", qUtf8Printable(e.text()));
    }
    for (auto it = pending_.begin(); it != pending_.end();) {
        it = it.value() == linkId ? pending_.erase(it) : std::next(it);
    }
}

void InterfaceService::checkRequests() {
    const QDateTime now = Clock::now();
    for (auto it = pending_.begin(); it != pending_.end();) {
        const qint64 id = it.key();
        std::optional<pms::KeyRequest> r;
        try {
            r = pms::loadRequest(conn_, id);
            if (r && r->state == pms::states::Queued && r->deadline.isValid() &&
                now >= r->deadline) {
                // Its encoder did not take it in time: never written now.
                pms::expireRequest(
                    conn_, id,
                    pms::answerFor(*r, QStringLiteral("UR"),
                                   QStringLiteral("No encoder took the request in time")));
                r = pms::loadRequest(conn_, id);
            }
        } catch (const Error& e) {
            qWarning("PMS link: request %lld could not be read: %s", static_cast<long long>(id),
                     qUtf8Printable(e.text()));
            ++it;
            continue;
        }
        if (!r) {
            it = pending_.erase(it);
            continue;
        }
        if (!r->ended()) {
            ++it;
            continue;
        }
        const pms::Record answer =
            r->answerRecord().value_or(pms::answerFor(*r, QStringLiteral("UR"), {}));
        if (it.value() == link_.linkId()) {
            link_.send(answer);
        }
        it = pending_.erase(it);
        emit answered(id, answer);
    }
}

}  // namespace qv
