#pragma once

#include <QString>
#include <optional>

namespace qv {

// One yes/no right of an operator: the column `right` (CheckIn, FloorCard,
// DataCard, ...) of the Operator row whose login name is `staffer`. Nothing
// when no row has that login name. The login name is bound; the column is
// one of the Operator table's right columns (anything else throws).
std::optional<bool> OperatorRight(const QString& staffer, const QString& right);

}  // namespace qv
