#pragma once
// What a number of a price file means to every reader of one, the day index and the trading rule
// alike: a date record or a price, and whether a day's first price against the price before it
// is trading or a split.

#include <cstdint>

namespace kestrelan {

/// A number above it in a price file is a date record, one at or below it a price.
constexpr std::int32_t dateThreshold = 19960000;

/// A jump of the day's first value against the previous price by at most this fraction is
/// trading; beyond it the holding is rescaled as for a split or consolidation.
constexpr double splitBand = 0.15;
/// A fall by at least this fraction rescales the grid too; a smaller one the holding only.
constexpr double gridSplitBand = 0.49;

/// Whether a day's first value t against the previous price p is trading, not a split or a
/// consolidation: the holding and the grid stay as they are. Non-positive numbers (corrupt
/// records) give no ratio and rescale nothing either.
inline bool splitLeavesAlone(std::int32_t t, std::int32_t p)
{
    if (t == p || t <= 0 || p <= 0)
        return true;
    if (p > t)
        return static_cast<double>(p - t) / p <= splitBand;
    return static_cast<double>(t - p) / t <= splitBand;
}

} // namespace kestrelan
