#include "interface/KeyStation.h"

#include "card/CardRecords.h"
#include "data/Session.h"
#include "data/dm_unit.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "settings/Settings.h"
#include "stays/StayService.h"

#include <QDeadlineTimer>
#include <QSqlQuery>
#include <QThread>

namespace qv {

namespace {

using pms::KeyRequest;
namespace kinds = pms::kinds;

// The PMS operator is the session's operator while a request is written.
class OperatorScope {
public:
    explicit OperatorScope(const QString& login) : saved_(session()) {
        session().login = login;
        session().name =
            dm->conn
                .scalar(QStringLiteral("select StafferName from Operator where Staffer = :s"),
                        {{":s", login}})
                .toString();
    }
    ~OperatorScope() { session() = saved_; }
    OperatorScope(const OperatorScope&) = delete;
    OperatorScope& operator=(const OperatorScope&) = delete;

private:
    Session saved_;
};

struct Outcome {
    QString status = QStringLiteral("OK");
    QString text;
    QStringList cardLogIds;
    QList<QPair<QByteArray, QString>> extra;  // KZ: what the card says
};

QString cardLogId(const stays::Result& r) {
    const IssuedCard issued = IdentifyCard(r.card);
    const CardLogRow* row = issued.row();
    return row ? QString::number(row->id) : QString();
}

QString failureText(const stays::Result& r) {
    switch (r.outcome) {
        case stays::Outcome::EncoderRefused:
            return QStringLiteral("The encoder did not write the card (answer %1)").arg(r.code);
        case stays::Outcome::DatabaseError:
            return r.error;
        case stays::Outcome::NoSuchRoom:
            return QStringLiteral("Room not found");
        case stays::Outcome::InvalidRange:
            return QStringLiteral("The departure is before the start");
        case stays::Outcome::NoOpenStay:
            return QStringLiteral("The room has no open stay");
        case stays::Outcome::NotOfOpenStay:
            return QStringLiteral("The card is not one of the room's open stay");
        case stays::Outcome::Written:
            break;
    }
    return {};
}

QString stayGuest(const QString& roomStr) {
    return dm->conn
        .scalar(QStringLiteral("select GuestName from GuestInRecord where enOverride = 0 and "
                               "RoomStr = :r order by ID"),
                {{":r", roomStr}})
        .toString();
}

QDateTime stayEnd(const QString& roomStr) {
    return dm->conn
        .scalar(QStringLiteral("select GuestLeaveTime from GuestInRecord where enOverride = 0 "
                               "and RoomStr = :r order by ID"),
                {{":r", roomStr}})
        .toDateTime();
}

}  // namespace

KeyStation::KeyStation(const Options& options, QObject* parent)
    : QObject(parent), options_(options) {}

bool KeyStation::defaultWait(CardWanted wanted, const std::function<bool()>& stillWanted) const {
    QDeadlineTimer until(options_.cardWaitMs);
    for (;;) {
        const IssuedCard card = ReadIssuedCard();
        if (card.read() && (wanted == CardWanted::Blank ? card.blank() : card.guest())) {
            return true;
        }
        if (until.hasExpired() || !stillWanted()) {
            return false;
        }
        QThread::msleep(static_cast<unsigned long>(options_.pollMs));
    }
}

int KeyStation::serveAll() {
    int n = 0;
    while (serveNext()) {
        ++n;
    }
    return n;
}

bool KeyStation::serveNext() {
    Connection& conn = dm->conn;
    std::optional<KeyRequest> taken;
    try {
        taken = pms::takeNextRequest(conn, options_.encoder, Clock::now());
    } catch (const Error& e) {
        qWarning("key station %d: %s", options_.encoder, qUtf8Printable(e.text()));
        return false;
    }
    if (!taken) {
        return false;
    }
    const KeyRequest req = *taken;
    emit started(req);
    const OperatorScope as(req.operatorLogin);
    // Before each card: the request is still wanted (its link alive, so the
    // service has not given it up) and its time has not run out.
    const auto stillWanted = [&] {
        return pms::stillWriting(conn, req.id) && Clock::now() < req.deadline;
    };
    const auto waitFor = [&](int index, CardWanted wanted) {
        if (!stillWanted()) {
            return false;
        }
        const bool there =
            cardWait_ ? cardWait_(index, wanted, stillWanted) : defaultWait(wanted, stillWanted);
        return there && stillWanted();
    };
    const int tolerance = LockSystemInfo.TimeTolerance * 60;
    Outcome out;
    try {
        if (req.kind == kinds::New || req.kind == kinds::Copy) {
            stays::GuestCard card;
            card.roomStr = req.roomStr;
            card.start = Clock::now().addSecs(tolerance);
            card.guestName = req.guestName;
            const bool copy = req.kind == kinds::Copy;
            if (copy) {
                const QDateTime end = stayEnd(req.roomStr);
                if (!end.isValid()) {
                    out.status = QStringLiteral("NG");
                    out.text = QStringLiteral("Room %1 has no open stay").arg(req.roomStr);
                }
                card.end = req.departure.isValid() ? req.departure.addSecs(tolerance) : end;
                if (card.guestName.isEmpty()) {
                    card.guestName = stayGuest(req.roomStr);
                }
            } else {
                card.end = req.departure.addSecs(tolerance);
            }
            for (int i = 0; i < req.cards && out.status == QLatin1String("OK"); ++i) {
                if (!waitFor(i, CardWanted::Blank)) {
                    out.status = QStringLiteral("UR");
                    out.text = stillWanted() ? QStringLiteral("No card placed")
                                             : QStringLiteral("Request given up");
                    break;
                }
                const stays::Result r =
                    (copy || i > 0) ? stays::copyCard(card) : stays::checkIn(card);
                if (!r.written()) {
                    out.status = QStringLiteral("UR");
                    out.text = failureText(r);
                    break;
                }
                out.cardLogIds << cardLogId(r);
            }
            if (out.status != QLatin1String("OK") && !out.cardLogIds.isEmpty()) {
                out.text = QStringLiteral("%1 of %2 keys made: %3")
                               .arg(out.cardLogIds.size())
                               .arg(req.cards)
                               .arg(out.text);
            } else if (out.status == QLatin1String("OK")) {
                out.text = QStringLiteral("%1 key(s) made for %2").arg(req.cards).arg(req.roomStr);
            }
        } else if (req.kind == kinds::Extend || req.kind == kinds::Move) {
            if (!waitFor(0, CardWanted::Guest)) {
                out.status = QStringLiteral("UR");
                out.text = stillWanted() ? QStringLiteral("No guest card placed")
                                         : QStringLiteral("Request given up");
            } else {
                const stays::ReadGuestCard read = stays::readGuestCard();
                if (!read.guestCard || read.room.roomStr != req.roomStr || !read.ofOpenStay) {
                    out.status = QStringLiteral("UR");
                    out.text = QStringLiteral("The card is not one of room %1's open stay")
                                   .arg(req.roomStr);
                } else if (req.kind == kinds::Extend) {
                    stays::GuestCard card;
                    card.roomStr = req.roomStr;
                    card.start = read.start;
                    card.end = req.departure.addSecs(tolerance);
                    card.guestName =
                        read.holder == QLatin1String("None") ? stayGuest(req.roomStr) : read.holder;
                    card.replaces = read.origin();
                    const stays::Result r = stays::continueStay(card);
                    if (r.written()) {
                        out.cardLogIds << cardLogId(r);
                        out.text = QStringLiteral("Key extended for %1").arg(req.roomStr);
                    } else {
                        out.status = QStringLiteral("UR");
                        out.text = failureText(r);
                    }
                } else {
                    // The stay moves: a new card for the new room on the
                    // guest's card, then the old room's stay ends.
                    stays::GuestCard card;
                    card.roomStr = req.newRoomStr;
                    card.start = Clock::now().addSecs(tolerance);
                    card.end = req.departure.isValid() ? req.departure.addSecs(tolerance)
                                                       : stayEnd(req.roomStr);
                    card.guestName = stayGuest(req.roomStr);
                    const stays::Result r = stays::checkIn(card);
                    if (r.written()) {
                        out.cardLogIds << cardLogId(r);
                        stays::checkOutRoom(req.roomStr);
                        out.text =
                            QStringLiteral("Moved from %1 to %2").arg(req.roomStr, req.newRoomStr);
                    } else {
                        out.status = QStringLiteral("UR");
                        out.text = failureText(r);
                    }
                }
            }
        } else if (req.kind == kinds::CheckOut) {
            if (!stillWanted()) {
                out.status = QStringLiteral("UR");
                out.text = QStringLiteral("Request given up");
            } else if (stays::checkOutRoom(req.roomStr)) {
                out.text = QStringLiteral("Room %1 checked out").arg(req.roomStr);
            } else {
                out.status = QStringLiteral("NG");
                out.text = QStringLiteral("Room %1 has no open stay").arg(req.roomStr);
            }
        } else if (req.kind == kinds::Read) {
            if (!waitFor(0, CardWanted::Guest)) {
                out.status = QStringLiteral("UR");
                out.text = QStringLiteral("No guest card placed");
            } else {
                const stays::ReadGuestCard read = stays::readGuestCard();
                if (!read.guestCard || !read.room.found) {
                    out.status = QStringLiteral("NG");
                    out.text = QStringLiteral("Not a guest card of this hotel");
                } else {
                    out.extra = {{"RN", read.room.roomStr},
                                 {"GA", read.start.toString(QStringLiteral("yyMMdd"))},
                                 {"GD", read.end.toString(QStringLiteral("yyMMdd"))},
                                 {"DT", read.end.toString(QStringLiteral("HHmmss"))},
                                 {"GN", read.holder}};
                    out.text = QStringLiteral("Key of room %1").arg(read.room.roomStr);
                }
            }
        }
    } catch (const Error& e) {
        out.status = QStringLiteral("UR");
        out.text = e.text();
    }

    pms::Record answer = pms::answerFor(req, out.status, out.text);
    for (const auto& [id, value] : out.extra) {
        if (id == "RN") {
            // The room read replaces the echoed one (none was asked).
            answer.fields.erase(std::remove_if(answer.fields.begin(), answer.fields.end(),
                                               [](const auto& f) { return f.first == "RN"; }),
                                answer.fields.end());
        }
        answer.add(id, value);
    }
    try {
        if (!pms::finishRequest(conn, req.id, answer, out.cardLogIds)) {
            qInfo("key station %d: request %lld had been given up", options_.encoder,
                  static_cast<long long>(req.id));
        }
    } catch (const Error& e) {
        qWarning("key station %d: the answer of request %lld was not stored: %s", options_.encoder,
                 static_cast<long long>(req.id), qUtf8Printable(e.text()));
    }
    emit finished(req, out.status, out.text);
    return true;
}

}  // namespace qv
