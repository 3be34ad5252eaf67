#pragma once
// The cells of the trading range table window for one risk profile.

#include "engine/RangeTable.h"

#include <array>
#include <string>
#include <vector>

namespace kestrelan {

/// Per row: the index band ("700 ~ 800", "500 이하", "1000 이상"), the initial ratio ("50%") and
/// the trading range ("50% ~ 150%"), in UTF-8.
std::vector<std::array<std::string, 3>> rangeTableCells(const RangeTable& table, int riskProfile);

} // namespace kestrelan
