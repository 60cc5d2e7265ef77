#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>

namespace qv {

class Connection;

// The operations log (OperationLog): who did what, when, at which
// workstation. Every action that changes the hotel's data or may open a door
// adds one row through appendOperation(), in the transaction of the change it
// records, so that a change is never stored without its row nor a row without
// its change. Rows are only ever added.
//
// The rows form a chain: a row's ID is the previous row's plus one and its
// RowHash is libsodium's generic hash (BLAKE2b) over its content and the
// previous row's hash. verifyOperationLog() walks the chain and names the rows
// that were changed or removed afterwards. Passwords never enter the log, nor
// anything derived from them.
namespace oplog {

// The actions, as stored in OperationLog.Action. Their texts for the clerk
// come from actionText().
namespace Actions {
inline constexpr char LogOn[] = "logon";
inline constexpr char LogOnFailed[] = "logon-failed";
inline constexpr char LogOnLocked[] = "logon-locked";    // the login was locked by this failure
inline constexpr char LogOnRefused[] = "logon-refused";  // a logon while the login was locked
inline constexpr char LogOff[] = "logoff";
inline constexpr char FirstOperator[] = "first-operator";
inline constexpr char CheckIn[] = "check-in";
inline constexpr char CopyCard[] = "copy-card";
inline constexpr char ContinueStay[] = "continue-stay";
inline constexpr char CardIssued[] = "card-issued";
inline constexpr char CardFailed[] = "card-failed";
inline constexpr char CardCancelled[] = "card-cancelled";
inline constexpr char CardMarkedWritten[] = "card-marked-written";
inline constexpr char CardMarkedLost[] = "card-marked-lost";
inline constexpr char CheckOut[] = "check-out";
inline constexpr char DataCardRead[] = "data-card-read";
inline constexpr char RecordsDeleted[] = "records-deleted";
inline constexpr char RoomAdded[] = "room-added";
inline constexpr char RoomChanged[] = "room-changed";
inline constexpr char RoomDeleted[] = "room-deleted";
inline constexpr char RoomTypeAdded[] = "room-type-added";
inline constexpr char RoomTypeChanged[] = "room-type-changed";
inline constexpr char RoomTypeDeleted[] = "room-type-deleted";
inline constexpr char DistrictAdded[] = "district-added";
inline constexpr char DistrictChanged[] = "district-changed";
inline constexpr char DistrictDeleted[] = "district-deleted";
inline constexpr char OperatorAdded[] = "operator-added";
inline constexpr char OperatorDeleted[] = "operator-deleted";
inline constexpr char RightsChanged[] = "rights-changed";
inline constexpr char FirstPasswordSet[] = "first-password";
inline constexpr char PasswordChanged[] = "password-changed";
inline constexpr char SettingsSaved[] = "settings-saved";
inline constexpr char ConnectionChanged[] = "connection-changed";
inline constexpr char BackupTaken[] = "backup";
inline constexpr char Restored[] = "restore";
inline constexpr char KeyRequest[] = "key-request";
inline constexpr char CaptureMode[] = "capture-mode";
}  // namespace Actions

// The results, as stored in OperationLog.Result.
namespace Results {
inline constexpr char Done[] = "ok";
inline constexpr char Failed[] = "failed";
inline constexpr char Refused[] = "refused";
}  // namespace Results

// One row as the action describes it.
struct Entry {
    QString action;  // one of Actions
    QString object;  // the room, card, operator or file acted on
    QString detail;  // a short detail (a count, a card's kind and serial, ...)
    QString result = QLatin1String(Results::Done);
    qint64 cardLogId = 0;  // the card's row of the card issue log, 0 when none
};

// Who acted; by default the operator of qv::session().
struct Actor {
    QString login;
    QString name;
};
Actor sessionActor();

// Adds the row for `entry` on `conn`, in the transaction open on it (or in
// one of its own when none is). The previous row is read and the new one
// inserted under the log's lock (SQLite: the write transaction; PostgreSQL: a
// transaction-level advisory lock), so that two desks never fork the chain;
// the lock is held to the end of the caller's transaction, so callers add the
// row as their last step. The time is the database's clock (the server's on
// PostgreSQL, the desk's clock on an SQLite file; qv::Clock's while a test
// sets it). Throws qv::DbError.
void appendOperation(Connection& conn, const Entry& entry);
void appendOperation(Connection& conn, const Entry& entry, const Actor& actor);

// While one is alive on this thread, appendOperation() adds nothing. Only for
// the benchmark that measures what the log row costs an action; the program
// never makes one.
class BenchmarkWithoutLog {
public:
    BenchmarkWithoutLog();
    ~BenchmarkWithoutLog();
    BenchmarkWithoutLog(const BenchmarkWithoutLog&) = delete;
    BenchmarkWithoutLog& operator=(const BenchmarkWithoutLog&) = delete;
};

// This desk's name in the log: the host name.
QString workstation();

// The clerk's text of an action or a result code, in the chosen language (the
// code itself for one this program does not know).
QString actionText(const QString& action);
QString resultText(const QString& result);
// Every action code with its built-in text, in the order the window lists them.
const QList<QPair<QString, QString>>& actions();
const QList<QPair<QString, QString>>& results();
// Code -> text in the chosen language, for a list of the rows.
QHash<QString, QString> actionTexts();
QHash<QString, QString> resultTexts();

// The hash of a row: BLAKE2b-256 over the fields and `prevHash`, as 64 hex digits.
struct RowContent {
    qint64 id = 0;
    QDateTime logTime;
    QString staffer;
    QString stafferName;
    QString workstation;
    QString action;
    QString object;
    QString detail;
    QString result;
    qint64 cardLogId = 0;
    QString prevHash;
};
QString rowHash(const RowContent& row);

// What the chain walk found.
struct ChainProblem {
    enum Kind { Changed, Removed };
    Kind kind = Changed;
    qint64 firstId = 0;  // the row changed, or the first of the rows removed
    qint64 lastId = 0;   // the last of the rows removed (= firstId for one)
    QString text() const;
};
struct ChainReport {
    qint64 rows = 0;    // rows read
    qint64 lastId = 0;  // the last row's ID, 0 for an empty log
    QString lastHash;   // its hash: kept elsewhere, it shows rows removed from the end
    // In the order of the chain; the first is the first row changed or removed.
    // At most kMaxProblems are kept.
    QList<ChainProblem> problems;
    static constexpr int kMaxProblems = 100;
    bool intact() const { return problems.isEmpty(); }
};
// Walks the whole log in the order of its IDs. Throws qv::DbError.
ChainReport verifyOperationLog(Connection& conn);

// The logon lockout: five failed logons of one login within ten minutes lock
// that login for ten minutes, on every desk (the failures are kept in the
// database).
inline constexpr int kLockoutFailures = 5;
inline constexpr int kLockoutMinutes = 10;
// The database's "now" (see appendOperation).
QDateTime databaseNow(Connection& conn);
// When `login` is locked now, the moment the lock ends.
std::optional<QDateTime> lockedUntil(Connection& conn, const QString& login);
// Stores a failed logon of `login` and logs it; true when this failure locked
// the login. In one transaction.
bool recordFailedLogOn(Connection& conn, const QString& login);
// Forgets the failures of `login` (after a successful logon), in the
// transaction open on `conn`.
void clearFailedLogOns(Connection& conn, const QString& login);
// The clerk's message for a locked login.
QString lockedText(const QString& login, const QDateTime& until, const QDateTime& now);

}  // namespace oplog
}  // namespace qv
