#include "interface/KeyRequests.h"

#include "data/OperationLog.h"

#include "data/Connection.h"
#include "platform/Clock.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace qv::pms {

namespace {

const QString kColumns = QStringLiteral(
    "ID, Encoder, Kind, RoomStr, NewRoomStr, GuestName, Reservation, Workstation, Arrival, "
    "Departure, Cards, Operator, LinkId, PmsKey, State, Answer, AnswerText, AnswerFields, "
    "CardLogIds, Deadline");

QVariant textOrNull(const QString& s) {
    return s.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s);
}
QVariant timeOrNull(const QDateTime& t) {
    return t.isValid() ? QVariant(t) : QVariant(QMetaType(QMetaType::QDateTime));
}

KeyRequest fromRow(const QSqlQuery& q) {
    KeyRequest r;
    r.id = q.value(0).toLongLong();
    r.encoder = q.value(1).toInt();
    r.kind = q.value(2).toString();
    r.roomStr = q.value(3).toString();
    r.newRoomStr = q.value(4).toString();
    r.guestName = q.value(5).toString();
    r.reservation = q.value(6).toString();
    r.workstation = q.value(7).toString();
    r.arrival = q.value(8).toDateTime();
    r.departure = q.value(9).toDateTime();
    r.cards = q.value(10).toInt();
    r.operatorLogin = q.value(11).toString();
    r.linkId = q.value(12).toString();
    r.pmsKey = q.value(13).toString();
    r.state = q.value(14).toString();
    r.answer = q.value(15).toString();
    r.answerText = q.value(16).toString();
    r.answerFields = q.value(17).toString();
    r.cardLogIds = q.value(18).toString();
    r.deadline = q.value(19).toDateTime();
    return r;
}

std::optional<KeyRequest> one(Connection& conn, const QString& where, const Binds& binds) {
    QSqlQuery q = conn.runWhole(
        QStringLiteral("select %1 from KeyRequest where %2").arg(kColumns, where), binds);
    if (!q.next()) {
        return std::nullopt;
    }
    return fromRow(q);
}

QString body(const Record& r) {
    const QByteArray wire = encode(r);
    return QString::fromUtf8(wire.mid(1, wire.size() - 2));
}

}  // namespace

std::optional<Record> KeyRequest::answerRecord() const {
    if (answerFields.isEmpty()) {
        return std::nullopt;
    }
    return parseBody(answerFields.toUtf8());
}

namespace {
// The request's row of the operations log, in the transaction open on `conn`:
// the request's room and kind with `what`; the actor is the operator the
// request names.
void logRequest(Connection& conn, qint64 id, const QString& what, const char* result) {
    QSqlQuery q = conn.run(
        QStringLiteral("select RoomStr, Kind, Operator, Encoder from KeyRequest where ID = :id"),
        {{":id", id}});
    oplog::Entry e;
    e.action = QLatin1String(oplog::Actions::KeyRequest);
    oplog::Actor actor;
    if (q.next()) {
        e.object = q.value(0).toString();
        e.detail = QStringLiteral("#%1 %2 %3").arg(id).arg(q.value(1).toString(), what);
        actor.login = q.value(2).toString();
        actor.name = QStringLiteral("PMS");
    }
    e.result = QLatin1String(result);
    oplog::appendOperation(conn, e, actor);
}
}  // namespace

qint64 enqueueRequest(Connection& conn, const KeyRequest& r) {
    Transaction t(conn);
    QSqlQuery q = conn.run(
        QStringLiteral(
            "insert into KeyRequest (Encoder, Kind, RoomStr, NewRoomStr, GuestName, Reservation, "
            "Workstation, Arrival, Departure, Cards, Operator, LinkId, PmsKey, State, Deadline) "
            "values (:Encoder, :Kind, :RoomStr, :NewRoomStr, :GuestName, :Reservation, "
            ":Workstation, :Arrival, :Departure, :Cards, :Operator, :LinkId, :PmsKey, :State, "
            ":Deadline) returning ID"),
        {{":Encoder", r.encoder},
         {":Kind", r.kind},
         {":RoomStr", textOrNull(r.roomStr)},
         {":NewRoomStr", textOrNull(r.newRoomStr)},
         {":GuestName", textOrNull(r.guestName)},
         {":Reservation", textOrNull(r.reservation)},
         {":Workstation", textOrNull(r.workstation)},
         {":Arrival", timeOrNull(r.arrival)},
         {":Departure", timeOrNull(r.departure)},
         {":Cards", r.cards},
         {":Operator", textOrNull(r.operatorLogin)},
         {":LinkId", textOrNull(r.linkId)},
         {":PmsKey", textOrNull(r.pmsKey)},
         {":State", states::Queued},
         {":Deadline", timeOrNull(r.deadline)}});
    const qint64 id = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    logRequest(conn, id, QStringLiteral("queued"), oplog::Results::Done);
    t.commit();
    return id;
}

std::optional<KeyRequest> loadRequest(Connection& conn, qint64 id) {
    return one(conn, QStringLiteral("ID = :id"), {{":id", id}});
}

std::optional<KeyRequest> findRequestByPmsKey(Connection& conn, const QString& pmsKey) {
    return one(conn, QStringLiteral("ID = (select max(ID) from KeyRequest where PmsKey = :k)"),
               {{":k", pmsKey}});
}

std::optional<KeyRequest> takeNextRequest(Connection& conn, int encoder, const QDateTime& now) {
    // A few tries: another station of the same encoder may take the first one.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const QVariant id = conn.scalar(
            QStringLiteral("select min(ID) from KeyRequest where Encoder = :e and State = "
                           "'queued' and Deadline > :now"),
            {{":e", encoder}, {":now", now}});
        if (id.isNull()) {
            return std::nullopt;
        }
        const int taken = conn.execute(
            QStringLiteral("update KeyRequest set State = 'writing', TakenTime = :now where ID = "
                           ":id and State = 'queued' and Deadline > :now2"),
            {{":id", id}, {":now", now}, {":now2", now}});
        if (taken == 1) {
            return loadRequest(conn, id.toLongLong());
        }
    }
    return std::nullopt;
}

bool stillWriting(Connection& conn, qint64 id) {
    return conn.scalar(QStringLiteral("select State from KeyRequest where ID = :id"), {{":id", id}})
               .toString() == states::Writing;
}

bool finishRequest(Connection& conn, qint64 id, const Record& answer,
                   const QStringList& cardLogIds) {
    Transaction t(conn);
    const int changed = conn.execute(
        QStringLiteral("update KeyRequest set State = 'answered', Answer = :a, AnswerText = :t, "
                       "AnswerFields = :f, CardLogIds = :c, AnsweredTime = :now where ID = :id "
                       "and (State = 'writing' or (State = 'expired' and :cards > 0))"),
        {{":a", answer.value("AS")},
         {":t", textOrNull(answer.value("CT"))},
         {":f", body(answer)},
         {":c", textOrNull(cardLogIds.join(','))},
         {":now", Clock::now()},
         {":id", id},
         {":cards", int(cardLogIds.size())}});
    if (changed != 1) {
        return false;
    }
    logRequest(
        conn, id, QStringLiteral("answered %1 %2").arg(answer.value("AS"), cardLogIds.join(',')),
        answer.value("AS") == QLatin1String("OK") ? oplog::Results::Done : oplog::Results::Failed);
    t.commit();
    return true;
}

bool expireRequest(Connection& conn, qint64 id, const Record& answer, bool writingToo) {
    Transaction t(conn);
    const int changed = conn.execute(
        QStringLiteral("update KeyRequest set State = 'expired', Answer = :a, AnswerText = :t, "
                       "AnswerFields = :f, AnsweredTime = :now where ID = :id and (State = "
                       "'queued' or (State = 'writing' and :w = 1))"),
        {{":a", answer.value("AS")},
         {":t", textOrNull(answer.value("CT"))},
         {":f", body(answer)},
         {":now", Clock::now()},
         {":id", id},
         {":w", writingToo ? 1 : 0}});
    if (changed != 1) {
        return false;
    }
    logRequest(conn, id, QStringLiteral("expired %1").arg(answer.value("AS")),
               oplog::Results::Failed);
    t.commit();
    return true;
}

int expireLinkRequests(Connection& conn, const QString& linkId, const Record& answer) {
    Transaction t(conn);
    const int expired = conn.execute(
        QStringLiteral("update KeyRequest set State = 'expired', Answer = :a, AnswerText = :t, "
                       "AnswerFields = :f, AnsweredTime = :now where LinkId = :l and State in "
                       "('queued', 'writing')"),
        {{":a", answer.value("AS")},
         {":t", textOrNull(answer.value("CT"))},
         {":f", body(answer)},
         {":now", Clock::now()},
         {":l", linkId}});
    if (expired > 0) {
        oplog::Entry e;
        e.action = QLatin1String(oplog::Actions::KeyRequest);
        e.object = linkId;
        e.detail = QStringLiteral("%1 expired %2").arg(expired).arg(answer.value("AS"));
        e.result = QLatin1String(oplog::Results::Failed);
        oplog::appendOperation(conn, e, {QString(), QStringLiteral("PMS")});
    }
    t.commit();
    return expired;
}

Record answerFor(const KeyRequest& r, const QString& status, const QString& clearText) {
    const QDateTime now = Clock::now();
    Record a("KA");
    a.add("AS", status);
    if (!clearText.isEmpty()) {
        a.add("CT", clearText);
    }
    a.add("KC", QString::number(r.encoder));
    if (!r.workstation.isEmpty()) {
        a.add("WS", r.workstation);
    }
    if (!r.reservation.isEmpty()) {
        a.add("G#", r.reservation);
    }
    if (!r.roomStr.isEmpty()) {
        a.add("RN", r.roomStr);
    }
    a.add("DA", now.toString(QStringLiteral("yyMMdd")));
    a.add("TI", now.toString(QStringLiteral("HHmmss")));
    return a;
}

}  // namespace qv::pms
