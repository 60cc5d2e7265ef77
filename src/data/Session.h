#pragma once

#include "data/Operators.h"

#include <QString>
#include <optional>

namespace qv {

// The operator logged on at this desk, made by qv::logOn (data/Operators.h).
// Rights are read from the operator's row each time they are asked for, so a
// right taken away at another desk counts at the next look.
struct Session {
    QString login;  // Operator.Staffer
    QString name;   // Operator.StafferName
    int group = 0;  // Operator.GroupID

    // The right `column` (a column of operatorRights()); nothing when the
    // operator's row is gone. The login is bound; another column throws.
    std::optional<bool> right(const QString& column) const;
    // The right, false when the row is gone or `column` is empty.
    bool hasRight(const QString& column) const;
    // Every right in the order of operatorRights(), read in one query;
    // nothing when the operator's row is gone.
    std::optional<OperatorRightValues> rights() const;
};

// The desk's one session: empty until the logon, replaced by each logon.
Session& session();

}  // namespace qv
