#pragma once

#include <QString>
#include <QVariant>
#include <array>
#include <optional>

namespace qv {

// Operators, their rights and their passwords in the Operator table. Passwords
// are stored only as Argon2id hashes (data/Passwords.h); `Branch` holds the
// password mark once a password is set and is empty before.

// The mark in Branch of an operator who has a password (20 asterisks).
inline const QString kPasswordMark = QStringLiteral("********************");

// One right: its column of Operator, the check box of the operators window
// and its caption, in the order in which the rights are stored.
struct OperatorRight {
    const char* column;
    const char* box;
    const char* caption;
};
inline constexpr int kOperatorRightCount = 17;
const std::array<OperatorRight, kOperatorRightCount>& operatorRights();
using OperatorRightValues = std::array<bool, kOperatorRightCount>;
// The value of the right `column` among `values`; false for another column.
bool rightValue(const OperatorRightValues& values, const char* column);

struct Session;

// Whether the Operator table has no row yet (the program's first run).
bool noOperators();

enum class LogOnKind { Operator, FirstOperator };
// The logon of this desk. `Operator`: the session of the operator `login`
// when `password` is theirs (checked by verifyOperatorPassword; a password
// typed into the database by hand is accepted once and stored hashed from
// then on); nothing otherwise, an operator without a password included.
// `FirstOperator`: adds the system administrator `login` with `password`
// and every right, and returns its session; only while the Operator table is
// empty (an error when another desk added an operator meanwhile).
// Each logon, failed logon and first operator is written to the operations
// log. Five failed logons of one login within ten minutes lock it for ten
// minutes on every desk: a logon of a locked login is refused without looking
// at the password, nothing is returned and `refused` (when given) receives
// the clerk's message; it also receives it when this failure locked the login.
std::optional<Session> logOn(const QString& login, const QString& password,
                             LogOnKind kind = LogOnKind::Operator, QString* refused = nullptr);
// Writes the logoff of the session's operator to the operations log.
void logOff();

// Adds an operator with these rights and no password, the names without the
// blanks around them and cut to their columns' lengths. False, and nothing
// stored, when another operator has the login name (blanks around a stored
// name not counted); an error when the login name is blank.
bool addOperator(const QString& staffer, const QString& stafferName,
                 const OperatorRightValues& rights);

// Sets the first password of the operator with key `operatorId`. False, and
// nothing changed, when that operator has a password already (set meanwhile
// at another desk) or is gone.
bool setFirstPassword(const QVariant& operatorId, const QString& password);

enum class DeleteOperatorResult { Deleted, LastSuperAdministrator, Missing };
// Deletes the operator with key `operatorId`, keeping at least one super
// administrator (an operator with the OperatorManage right). The check and
// the delete are one transaction that two desks cannot interleave.
DeleteOperatorResult deleteOperator(const QVariant& operatorId);

// Whether `password` is the password of the operator `staffer`; on success
// `stored` receives the stored value (for changeOperatorPassword). An
// operator without a password never matches.
bool verifyOperatorPassword(const QString& staffer, const QString& password,
                            QString* stored = nullptr);
// Replaces the password of `staffer` with `newPassword`, but only while the
// row still holds `verifiedStored` (the value verifyOperatorPassword gave):
// a change made at another desk in between is not overwritten. False then.
bool changeOperatorPassword(const QString& staffer, const QString& verifiedStored,
                            const QString& newPassword);

}  // namespace qv
