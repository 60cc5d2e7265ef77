#include "records/RecordSearches.h"
#include "data/OperationLog.h"

#include "card/CardRecords.h"
#include "data/DataSet.h"
#include "data/dm_unit.h"
#include "settings/Settings.h"

#include <cstdint>
#include <limits>

namespace qv {

namespace {

// The rows the old-record deletion keeps whatever their age, for the list
// and for the deletion: cards whose writing was never confirmed (they may
// exist) and cards cancelled since (a card declared lost may still exist).
QString keptCondition(const QString& column) {
    return CardStateCondition(
        {CardLogStates::Pending, CardLogStates::Unrecorded, CardLogStates::Cancelled}, column);
}

// Adds "column between the two chosen dates": each date stands for the
// moment `dayTime` on it, compared to the minute (or, for `unit` Day, by whole
// days), as bound moments the column's index can serve.
void addDateRange(QStringList& where, Binds& binds, const QString& column, const DateRange& range,
                  const QTime& dayTime, DateUnit unit, const QString& param) {
    const DateCondition from = dateDiffCondition(column, unit, QDateTime(range.from, dayTime),
                                                 DiffCompare::GreaterOrEqual, param + "_from");
    const DateCondition to = dateDiffCondition(column, unit, QDateTime(range.to, dayTime),
                                               DiffCompare::LessOrEqual, param + "_to");
    for (const DateCondition& c : {from, to}) {
        where << c.sql;
        binds.insert(c.firstName, c.first);
    }
}

}  // namespace

RecordSearch guestStaySearch(const GuestSearch& s, const Dialect& dialect) {
    RecordSearch out;
    QStringList where;
    where << dialect.containsCondition(QStringLiteral("GuestName"), QStringLiteral(":guest_name"))
          << QStringLiteral("GuestName <> ''");
    out.binds.insert(QStringLiteral(":guest_name"), Dialect::likePattern(s.guestName.trimmed()));

    switch (s.state) {
        case GuestState::Current:
            where << QStringLiteral("enOverride = 0");
            break;
        case GuestState::Ended:
            where << QStringLiteral("enOverride <> 0");
            break;
        case GuestState::All:
            break;
    }

    QString room;
    for (const QChar c : s.room) {
        if (c.isDigit()) {
            room += c;
        }
    }
    if (!room.isEmpty()) {
        // Room keys are 32-bit integers; a longer number names no room (and
        // would not fit the column's type on the server).
        bool ok = false;
        const qlonglong key = room.toLongLong(&ok);
        if (ok && key <= std::numeric_limits<int32_t>::max()) {
            where << QStringLiteral("Room = :room");
            out.binds.insert(QStringLiteral(":room"), static_cast<int>(key));
        } else {
            where << QStringLiteral("1 = 0");
        }
    }

    addDateRange(where, out.binds, QStringLiteral("GuestInTime"), s.checkIn, s.dayTime,
                 DateUnit::Minute, QStringLiteral("gi"));
    if (s.expectedLeave) {
        addDateRange(where, out.binds, QStringLiteral("GuestLeaveTime"), *s.expectedLeave,
                     s.dayTime, DateUnit::Minute, QStringLiteral("gl"));
    }
    if (s.checkOut) {
        addDateRange(where, out.binds, QStringLiteral("LeaveTime"), *s.checkOut, s.dayTime,
                     DateUnit::Minute, QStringLiteral("lt"));
    }

    out.select = QStringLiteral(
                     "select ID, GuestName, GuestID, Room, Rom, GuestInTime, GuestLeaveTime, "
                     "LeaveTime, enOverride, InputUser, InputTime from GuestInRecord where ") +
                 where.join(QStringLiteral(" and "));
    out.orderBy = QStringLiteral("GuestInTime, ID");
    return out;
}

RecordSearch cardIssueSearch(const CardIssueSearch& s) {
    RecordSearch out;
    QStringList where;
    addDateRange(where, out.binds, QStringLiteral("M.InputTime"), s.issued, QTime(0, 0),
                 DateUnit::Day, QStringLiteral("issued"));
    if (s.cardTitle) {
        where << QStringLiteral("M.CardType in (select ID from CardType where C_Title = :title)");
        out.binds.insert(QStringLiteral(":title"), *s.cardTitle);
    }
    out.select = QStringLiteral(
                     "select C.C_Title, M.Rom, M.Holder, M.Buiding, M.MakeUser, M.MakeName, "
                     "M.Room, M.RoomStr, M.InputTime, M.Floor, M.District, M.StartTime, "
                     "M.EndTime, M.Explain, M.enOverride, M.CardState, "
                     "case when %1 then 1 else 0 end as OutcomeUnknown "
                     "from MakeCardRecord M inner join CardType C on M.CardType = C.ID where ")
                     .arg(UnconfirmedCondition(QStringLiteral("M.CardState"))) +
                 where.join(QStringLiteral(" and "));
    out.orderBy = QStringLiteral("M.InputTime, M.ID");
    return out;
}

RecordSearch operationLogSearch(const OperationLogSearch& s) {
    RecordSearch out;
    QStringList where;
    addDateRange(where, out.binds, QStringLiteral("LogTime"), s.logged, QTime(0, 0), DateUnit::Day,
                 QStringLiteral("logged"));
    if (!s.staffer.trimmed().isEmpty()) {
        where << QStringLiteral("Staffer = :staffer");
        out.binds.insert(QStringLiteral(":staffer"), s.staffer.trimmed());
    }
    if (!s.action.isEmpty()) {
        where << QStringLiteral("Action = :action");
        out.binds.insert(QStringLiteral(":action"), s.action);
    }
    if (!s.object.trimmed().isEmpty()) {
        where << QStringLiteral("Object = :object");
        out.binds.insert(QStringLiteral(":object"), s.object.trimmed());
    }
    out.select = QStringLiteral(
                     "select ID, LogTime, Staffer, StafferName, Workstation, Action, Object, "
                     "Detail, Result, CardLogId from OperationLog where ") +
                 where.join(QStringLiteral(" and "));
    out.orderBy = QStringLiteral("LogTime desc, ID desc");
    return out;
}

QStringList operatorLogins(Connection& conn) {
    QStringList logins;
    QSqlQuery q = conn.run(QStringLiteral("select Staffer from Operator order by Staffer"));
    while (q.next()) {
        logins << q.value(0).toString().trimmed();
    }
    return logins;
}

QStringList cardTypeTitles(Connection& conn) {
    QStringList titles;
    QSqlQuery q = conn.run(QStringLiteral("select C_Title from CardType order by ID"));
    while (q.next()) {
        titles << q.value(0).toString();
    }
    return titles;
}

QDate cardRecordCutOff(const QDate& today) {
    return today.addDays(-60);
}

CardRecordPurge deleteCardRecordsUpTo(Connection& conn, const QDate& lastDay,
                                      const PurgeProgress& progress, int stepRows) {
    const DateCondition upTo = dateDiffCondition(QStringLiteral("InputTime"), DateUnit::Day,
                                                 QDateTime(lastDay, QTime(0, 0)),
                                                 DiffCompare::LessOrEqual, QStringLiteral("cut"));
    const QString kept = keptCondition(QStringLiteral("CardState"));
    CardRecordPurge purge;
    // A step takes the oldest rows of the period (by their key) that go.
    const QString step =
        QStringLiteral("delete from MakeCardRecord where ID in (select ID from MakeCardRecord "
                       "where %1 and not (%2) order by ID limit :step)")
            .arg(upTo.sql, kept);
    const Binds stepBinds{{upTo.firstName, upTo.first}, {QStringLiteral(":step"), stepRows}};
    for (;;) {
        int removed = 0;
        inTransaction(conn, [&] {
            removed = conn.execute(step, stepBinds);
            if (removed > 0) {
                oplog::appendOperation(
                    conn,
                    {QLatin1String(oplog::Actions::RecordsDeleted),
                     QStringLiteral("MakeCardRecord"),
                     QStringLiteral("%1 <= %2").arg(removed).arg(lastDay.toString(Qt::ISODate))});
            }
        });
        purge.removed += removed;
        if (removed < stepRows || (progress && !progress(purge.removed))) {
            break;
        }
    }
    QSqlQuery q = conn.run(QStringLiteral("select CardState, count(*) from MakeCardRecord "
                                          "where %1 and %2 group by CardState")
                               .arg(upTo.sql, kept),
                           {{upTo.firstName, upTo.first}});
    while (q.next()) {
        const int n = q.value(1).toInt();
        if (q.value(0).toInt() == CardLogStates::Cancelled) {
            purge.keptCancelled += n;
        } else {
            purge.keptUnconfirmed += n;
        }
    }
    return purge;
}

}  // namespace qv
