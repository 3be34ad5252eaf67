#pragma once
// Where each fund of a calendar begins in a stock's price file.

#include "engine/MarketData.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kestrelan {

/// For each fund start (in calendar order), the byte position of the first record at or after
/// it, searched forward from the previous fund's position. A stock without data on or after a
/// start gets 0 for that fund; once a record beyond the last start is reached, the later funds
/// share its position.
std::vector<std::int32_t> fundPositions(const PriceFile& file, std::span<const std::int32_t> fundStarts);

} // namespace kestrelan
