#pragma once

#include "interface/Record.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace qv {
class Connection;
}

// The key request queue (table KeyRequest): the interface service enters a
// row for each key record of the PMS, the station of its encoder takes it,
// writes the cards and stores the answer, and the service tells the PMS.
namespace qv::pms {

namespace kinds {
inline const QString New = QStringLiteral("New");            // KR, KT N
inline const QString Copy = QStringLiteral("Copy");          // KR, KT D
inline const QString Extend = QStringLiteral("Extend");      // KM
inline const QString Move = QStringLiteral("Move");          // KM with RO
inline const QString CheckOut = QStringLiteral("CheckOut");  // KD
inline const QString Read = QStringLiteral("Read");          // KZ
}  // namespace kinds

namespace states {
inline const QString Queued = QStringLiteral("queued");
inline const QString Writing = QStringLiteral("writing");
inline const QString Answered = QStringLiteral("answered");
inline const QString Expired = QStringLiteral("expired");
}  // namespace states

struct KeyRequest {
    qint64 id = 0;
    int encoder = 0;
    QString kind;
    QString roomStr;
    QString newRoomStr;  // Move: the room the stay moves to
    QString guestName;
    QString reservation;  // G#
    QString workstation;  // WS
    QDateTime arrival;
    QDateTime departure;  // invalid: as the stay has it
    int cards = 1;
    QString operatorLogin;  // the operator whose rights and name the cards carry
    QString linkId;
    QString pmsKey;
    QString state = states::Queued;
    QString answer;        // AS
    QString answerText;    // CT
    QString answerFields;  // the answer record as sent (Record body)
    QString cardLogIds;
    QDateTime deadline;

    bool ended() const { return state == states::Answered || state == states::Expired; }
    // The stored answer record; nothing while there is none.
    std::optional<Record> answerRecord() const;
};

// Enters a queued request; its ID.
qint64 enqueueRequest(Connection& conn, const KeyRequest& request);
std::optional<KeyRequest> loadRequest(Connection& conn, qint64 id);
// The newest request with this PMS key (a resend), if any.
std::optional<KeyRequest> findRequestByPmsKey(Connection& conn, const QString& pmsKey);
// Takes the oldest queued request of `encoder` whose deadline is after
// `now`: its state becomes writing in the same statement that checks it is
// still queued, so two stations never take one request, and one the service
// expired meanwhile is never taken.
std::optional<KeyRequest> takeNextRequest(Connection& conn, int encoder, const QDateTime& now);
// The request is still being written: not expired by the service (its link
// died) in the meantime.
bool stillWriting(Connection& conn, qint64 id);
// Stores the answer of a request taken by a station and its cards. A
// request the service expired while its cards were written gets the answer
// all the same (the cards exist). False when the row is gone or had ended.
bool finishRequest(Connection& conn, qint64 id, const Record& answer,
                   const QStringList& cardLogIds);
// The service gives up on a request: queued ones (and, with `writingToo`,
// those being written) become expired with `answer`. True when it changed.
bool expireRequest(Connection& conn, qint64 id, const Record& answer, bool writingToo = false);
// Every unfinished request of a link that died; how many.
int expireLinkRequests(Connection& conn, const QString& linkId, const Record& answer);

// The answer record for a request: KA with AS, CT and the echoed KC, WS, G#, RN.
Record answerFor(const KeyRequest& request, const QString& status, const QString& clearText);

}  // namespace qv::pms
