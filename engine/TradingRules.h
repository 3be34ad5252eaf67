#pragma once
// The numbers the trading rules are made of, and the truncation every money conversion uses.
// The rule itself is GridPosition's (the grid, a day's opening, the purchases and sales); the
// numbers a price file's readers share with it (the date threshold, the split bands) are in
// PriceNumbers.h.

#include "engine/PriceNumbers.h"
#include "engine/Records.h"
#include "engine/SimParams.h"

#include <cstdint>
#include <limits>

namespace kestrelan::rules {

/// The tax on every sale with includeTax on, as a fraction of the proceeds.
constexpr double taxRate = salesTaxRate;
using kestrelan::dateThreshold;

/// The fewest shares an initial purchase buys (amount modes) or keeps (share-count mode).
constexpr std::int32_t minimumShares = 20;
/// Quantities are whole tens of shares.
constexpr std::int32_t shareStep = 10;
/// The most levels the span above the base holds; the first unit is this fraction of the shares.
constexpr std::int32_t widestSpan = 20;
/// The fewest: a smaller span is widened to it, with half the shares a unit.
constexpr std::int32_t narrowestSpan = 2;

/// The smallest value (won) of one grid unit: the large lot for a budget above the threshold, the
/// small lot otherwise and always in share-count mode.
constexpr std::int64_t smallLotValue = 300000;
constexpr std::int64_t largeLotValue = 500000;
constexpr std::int64_t largeLotBudget = 3000000;

/// A stock whose first date record lies more than this many counted days after the fund start
/// (or before it) sits out the fund.
constexpr std::int32_t latestStartDays = 30;
/// A share-count holding worth more than the largest amount (won) sits out the fund.
constexpr double largestHolding = maxInvestAmount;

/// The base level is the span plus this offset: levels 1 to span + offset - 1 lie above the base.
constexpr int baseOffset = 130;
constexpr int topLevel = 1;
constexpr int bottomLevel = gridLevels - 1;

using kestrelan::gridSplitBand;
using kestrelan::splitBand;
using kestrelan::splitLeavesAlone;

/// The second condition raises a level's sell price in steps of this many won.
constexpr std::int32_t secondStepWon = 10;
/// A grid price that would not fit: far above any price a record can hold (below 19,000,000), so
/// such a level is never reached. Capped where tick rounding up cannot overflow.
constexpr std::int64_t highestGridPrice = 2147480000;
/// The largest whole-tens quantity a 32-bit count holds.
constexpr std::int32_t largestQuantity = 2147483640;

/// A double truncated toward zero to 32 bits; values beyond the range saturate, NaN gives 0.
inline std::int32_t trunc32(double x)
{
    if (!(x == x))
        return 0;
    if (x >= 2147483647.0)
        return std::numeric_limits<std::int32_t>::max();
    if (x <= -2147483648.0)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(x);
}

} // namespace kestrelan::rules
