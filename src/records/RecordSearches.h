#pragma once

#include <functional>

#include "data/Connection.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>
#include <optional>

// The searches of the guest query and card issue records windows, and the
// deletion of old card records: the SQL of each, its bound values and its
// order. No widgets here; the windows read their controls into these
// records and hand the result to their grid.
namespace qv {

// A search as the paged grid runs it (PagedQueryModel::setQuery).
struct RecordSearch {
    QString select;
    Binds binds;
    QString orderBy;
};

// A range of chosen dates, both ends included.
struct DateRange {
    QDate from;
    QDate to;
};

// Which stays the guest query lists.
enum class GuestState { Current = 0, All = 1, Ended = 2 };

struct GuestSearch {
    GuestState state = GuestState::Current;
    QString guestName;  // found anywhere in the name, literally; empty: every named stay
    QString room;       // the room's key as typed (digits); empty: every room
    DateRange checkIn;
    std::optional<DateRange> expectedLeave;
    std::optional<DateRange> checkOut;
    // The hotel's check-out time of day: each chosen date stands for this
    // moment on that date, and times are compared to the minute.
    QTime dayTime = QTime(12, 0);
};

// The stays of GuestInRecord that `s` finds, in the order they began. Every
// date bound is a plain comparison of the column with a bound moment, so the
// column's index serves it. A stay without a guest name is never listed.
RecordSearch guestStaySearch(const GuestSearch& s, const Dialect& dialect);

struct CardIssueSearch {
    DateRange issued;                  // by whole days of InputTime
    std::optional<QString> cardTitle;  // C_Title of the kind; none: every kind
};

// The card issue log rows of `s` with their kind's title, in the order they
// were registered. Rows whose card type has no CardType row are not listed.
// The field CardState is the row's state; OutcomeUnknown is 1 for a card
// whose writing was never confirmed (it may exist), else 0.
RecordSearch cardIssueSearch(const CardIssueSearch& s);

struct OperationLogSearch {
    DateRange logged;  // by whole days of LogTime
    QString staffer;   // the operator's login name; empty: every operator
    QString action;    // an action code (qv::oplog::Actions); empty: every action
    QString object;    // the room or object, as typed; empty: every one
};

// The rows of the operations log that `s` finds, newest first; Action and
// Result hold the codes (qv::oplog::actionTexts() gives their words). The
// time range is a plain comparison of LogTime with bound moments, so its
// index serves the search.
RecordSearch operationLogSearch(const OperationLogSearch& s);

// The login names of the operators, for the operations log's filter.
QStringList operatorLogins(Connection& conn);

// The titles of the card types, in the order of their codes.
QStringList cardTypeTitles(Connection& conn);

// The day whose card records and all earlier ones the old-record deletion
// removes: sixty days before `today`.
QDate cardRecordCutOff(const QDate& today);
// What the old-record deletion did.
struct CardRecordPurge {
    int removed = 0;
    // Rows of the period kept: cards whose outcome is unknown or whose
    // records were refused (they may open doors), and cancelled cards (one
    // declared lost may still exist).
    int keptUnconfirmed = 0;
    int keptCancelled = 0;
    int kept() const { return keptUnconfirmed + keptCancelled; }
};
// Deletes the card issue log rows registered on `lastDay` or earlier, but
// for the rows that name cards that may still exist, kCardPurgeStep rows per
// transaction, so that other desks and the window need not wait for millions
// of rows: after each step `progress` (when given) is told the rows removed
// so far, and false from it stops the deletion there (what is removed stays
// removed; the rows kept are counted either way). `stepRows` for tests.
constexpr int kCardPurgeStep = 50000;
using PurgeProgress = std::function<bool(int removed)>;
CardRecordPurge deleteCardRecordsUpTo(Connection& conn, const QDate& lastDay,
                                      const PurgeProgress& progress = {},
                                      int stepRows = kCardPurgeStep);

}  // namespace qv
