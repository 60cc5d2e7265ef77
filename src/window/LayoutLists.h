#pragma once

#include <QString>
#include <optional>

class QComboBox;

namespace qv {

// The building and floor filters of the room board and the room list: the
// values that rooms have, ascending, then the "all" entry, which is chosen.
// `kind` is Tdm::Buildings or Tdm::Floors (or Tdm::Districts). Filling is not
// an operator's change: the box's signals are blocked meanwhile.
void fillLayoutFilter(QComboBox* box, int kind, const QString& allText);
// The chosen value of a filter box, or nothing for the "all" entry (the last).
std::optional<int> layoutFilterValue(const QComboBox* box);

}  // namespace qv
