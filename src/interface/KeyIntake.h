#pragma once

#include "interface/KeyRequests.h"
#include "interface/Record.h"

#include <QDateTime>
#include <QTime>

namespace qv {
class Connection;
}

// How the interface service takes a key record of the PMS (KR, KM, KD, KZ):
// checked, then entered in the key request queue or answered at once.
namespace qv::pms {

struct IntakeRules {
    QString operatorLogin;       // the operator row whose rights the PMS has
    int staleMinutes = 10;       // a record whose DA/TI is further from now is refused
    int timeoutSeconds = 120;    // how long a request may wait for its encoder
    QTime departureTime{12, 0};  // when GD comes without DT
};

struct Intake {
    enum class Action {
        Answer,   // send `answer` now (refused, or the first answer of a resend)
        Queued,   // a new request `requestId` is queued
        Pending,  // a resend of request `requestId`, still under way: answered when it ends
        Ignore,   // not a key record
    };
    Action action = Action::Ignore;
    Record answer;
    qint64 requestId = 0;
};

// The request's identity for resend detection: the record as received.
QString pmsKeyOf(const Record& record);
// "yyMMdd" and "HHmmss" (or "HHmm") as the records carry them; invalid
// when malformed.
QDate recordDate(const QString& text);
QTime recordTime(const QString& text);

// Checks the record and queues it. Refusals: a stale or undated record
// (UR), a missing or malformed field (UR), the PMS operator lacking the
// right (DN), an unknown room (NG). A record sent before is not queued
// again: its first answer is given back (or it is answered when it ends).
Intake takeIn(Connection& conn, const Record& record, const IntakeRules& rules,
              const QString& linkId, const QDateTime& now);

}  // namespace qv::pms
