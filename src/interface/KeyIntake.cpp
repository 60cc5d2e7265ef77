#include "interface/KeyIntake.h"

#include "data/Connection.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSqlQuery>

namespace qv::pms {

namespace {

bool digits(const QString& s, int n) {
    if (s.size() != n) {
        return false;
    }
    for (const QChar c : s) {
        if (!c.isDigit()) {
            return false;
        }
    }
    return true;
}

Intake refuse(const KeyRequest& r, const QString& status, const QString& text) {
    Intake in;
    in.action = Intake::Action::Answer;
    in.answer = answerFor(r, status, text);
    qInfo("PMS link: %s refused (%s): %s", qUtf8Printable(r.kind), qUtf8Printable(status),
          qUtf8Printable(text));
    return in;
}

bool roomKnown(Connection& conn, const QString& roomStr) {
    return conn.scalar(QStringLiteral("select count(*) from RoomInfo where RoomStr = :r"),
                       {{":r", roomStr}})
               .toInt() > 0;
}

// The operator's right (a fixed column name), nothing when no such operator.
std::optional<bool> hasRight(Connection& conn, const QString& login, const QString& column) {
    QSqlQuery q =
        conn.runWhole(QStringLiteral("select %1 from Operator where Staffer = :s order by ID")
                          .arg(column.isEmpty() ? QStringLiteral("ID") : column),
                      {{":s", login}});
    if (!q.next()) {
        return std::nullopt;
    }
    return column.isEmpty() || q.value(0).toInt() != 0;
}

}  // namespace

QString pmsKeyOf(const Record& record) {
    return QString::fromLatin1(
        QCryptographicHash::hash(encode(record), QCryptographicHash::Sha256).toHex());
}

QDate recordDate(const QString& text) {
    if (!digits(text, 6)) {
        return {};
    }
    return QDate(2000 + text.left(2).toInt(), text.mid(2, 2).toInt(), text.mid(4, 2).toInt());
}

QTime recordTime(const QString& text) {
    if (digits(text, 6)) {
        return QTime(text.left(2).toInt(), text.mid(2, 2).toInt(), text.mid(4, 2).toInt());
    }
    if (digits(text, 4)) {
        return QTime(text.left(2).toInt(), text.mid(2, 2).toInt());
    }
    return {};
}

Intake takeIn(Connection& conn, const Record& rec, const IntakeRules& rules, const QString& linkId,
              const QDateTime& now) {
    KeyRequest r;
    if (rec.type == "KR") {
        const QString kt = rec.value("KT").trimmed().toUpper();
        r.kind = kt == QLatin1String("D") ? kinds::Copy : kinds::New;
        if (!kt.isEmpty() && kt != QLatin1String("N") && kt != QLatin1String("D")) {
            r.roomStr = rec.value("RN");
            return refuse(r, QStringLiteral("UR"), QStringLiteral("Unknown key type %1").arg(kt));
        }
    } else if (rec.type == "KM") {
        r.kind = rec.value("RO").isEmpty() ? kinds::Extend : kinds::Move;
    } else if (rec.type == "KD") {
        r.kind = kinds::CheckOut;
    } else if (rec.type == "KZ") {
        r.kind = kinds::Read;
    } else {
        qInfo("PMS link: a %s record ignored", rec.type.constData());
        return {};
    }
    r.roomStr = rec.value("RN").trimmed();
    r.workstation = rec.value("WS");
    r.reservation = rec.value("G#");
    r.guestName = rec.value("GN");
    bool encoderOk = false;
    r.encoder = rec.value("KC").trimmed().toInt(&encoderOk);
    if (!encoderOk || r.encoder < 1) {
        r.encoder = 0;
        return refuse(r, QStringLiteral("UR"), QStringLiteral("No encoder (KC) given"));
    }

    // An old record is never acted on (no replay of a captured one).
    const QDate da = recordDate(rec.value("DA"));
    const QTime ti = recordTime(rec.value("TI"));
    if (!da.isValid() || !ti.isValid()) {
        return refuse(r, QStringLiteral("UR"), QStringLiteral("The record has no date and time"));
    }
    const QDateTime sent(da, ti);
    if (qAbs(sent.secsTo(now)) > qint64(rules.staleMinutes) * 60) {
        return refuse(r, QStringLiteral("UR"),
                      QStringLiteral("The record's time %1 is too far from now")
                          .arg(sent.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
    }

    // A resend: the first request's answer, never a second card.
    r.pmsKey = pmsKeyOf(rec);
    if (const std::optional<KeyRequest> first = findRequestByPmsKey(conn, r.pmsKey)) {
        Intake in;
        in.requestId = first->id;
        if (first->ended()) {
            in.action = Intake::Action::Answer;
            in.answer = first->answerRecord().value_or(answerFor(*first, "UR", {}));
        } else {
            in.action = Intake::Action::Pending;
        }
        qInfo("PMS link: request %lld sent again", static_cast<long long>(first->id));
        return in;
    }

    const QString right = r.kind == kinds::CheckOut ? QStringLiteral("CheckOut")
                          : r.kind == kinds::Read   ? QString()
                                                    : QStringLiteral("CheckIn");
    const std::optional<bool> allowed = hasRight(conn, rules.operatorLogin, right);
    if (!allowed || !*allowed) {
        return refuse(
            r, QStringLiteral("DN"),
            allowed ? QStringLiteral("The PMS operator %1 may not do this").arg(rules.operatorLogin)
                    : QStringLiteral("No operator %1").arg(rules.operatorLogin));
    }
    r.operatorLogin = rules.operatorLogin;

    if (r.kind != kinds::Read) {
        if (r.roomStr.isEmpty()) {
            return refuse(r, QStringLiteral("UR"), QStringLiteral("No room (RN) given"));
        }
        if (!roomKnown(conn, r.roomStr)) {
            return refuse(r, QStringLiteral("NG"),
                          QStringLiteral("Room %1 not found").arg(r.roomStr));
        }
    }
    if (r.kind == kinds::Move) {
        r.newRoomStr = rec.value("RO").trimmed();
        if (!roomKnown(conn, r.newRoomStr)) {
            return refuse(r, QStringLiteral("NG"),
                          QStringLiteral("Room %1 not found").arg(r.newRoomStr));
        }
    }

    if (rec.has("GA")) {
        const QDate ga = recordDate(rec.value("GA"));
        if (!ga.isValid()) {
            return refuse(r, QStringLiteral("UR"), QStringLiteral("Bad arrival date (GA)"));
        }
        r.arrival = QDateTime(ga, QTime(0, 0));
    }
    if (rec.has("GD")) {
        const QDate gd = recordDate(rec.value("GD"));
        QTime dt = rules.departureTime;
        if (rec.has("DT")) {
            dt = recordTime(rec.value("DT"));
        }
        if (!gd.isValid() || !dt.isValid()) {
            return refuse(r, QStringLiteral("UR"), QStringLiteral("Bad departure (GD, DT)"));
        }
        r.departure = QDateTime(gd, dt);
        if (r.departure <= now) {
            return refuse(r, QStringLiteral("UR"), QStringLiteral("The departure has passed"));
        }
    }
    if ((r.kind == kinds::New || r.kind == kinds::Extend) && !r.departure.isValid()) {
        return refuse(r, QStringLiteral("UR"), QStringLiteral("No departure (GD) given"));
    }
    if (rec.has("K#")) {
        bool ok = false;
        r.cards = rec.value("K#").trimmed().toInt(&ok);
        if (!ok || r.cards < 1 || r.cards > 9) {
            return refuse(r, QStringLiteral("UR"), QStringLiteral("Bad number of keys (K#)"));
        }
    }
    if (r.kind != kinds::New && r.kind != kinds::Copy) {
        r.cards = r.kind == kinds::Extend || r.kind == kinds::Move ? 1 : 0;
    }
    r.linkId = linkId;
    r.deadline = now.addSecs(rules.timeoutSeconds);
    Intake in;
    in.action = Intake::Action::Queued;
    in.requestId = enqueueRequest(conn, r);
    return in;
}

}  // namespace qv::pms
