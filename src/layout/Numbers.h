#pragma once

#include <QString>
#include <optional>

namespace qv {

// Numbers typed into the boxes of the layout windows. Blanks around the
// number are ignored; the decimal point is ".".

// A bed count or price: a number of zero or more ("288", "2", "328.5").
std::optional<double> amountFromText(const QString& text);

// A district number: a whole number from 1 to 65535 (a card holds it in one
// word); "03" is 3.
std::optional<int> districtNumberFromText(const QString& text);

}  // namespace qv
