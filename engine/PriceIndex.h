#pragma once
// The day index of a loaded price file: where each trading day begins, its first two prices, the
// lowest, highest and last of the rest of its prices, bounds of the prices of its blocks, and of
// windows of whole days from it. The rebalancing walk passes a stretch of prices through it
// without reading them when no price of the stretch can trade (see SkippingWalk.cpp).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace kestrelan {

class PriceIndex
{
public:
    /// Prices per block of a day's rest; the day's last block may hold fewer. A rest of one
    /// block or less has no blocks: the day's own low and high cover it.
    static constexpr std::int32_t blockSize = 32;
    /// The bounds of this many blocks are kept in the day itself, the bounds of a longer rest's
    /// blocks elsewhere.
    static constexpr std::int32_t dayBlocks = 16;
    /// A day's records after its date: the base price, the first check, then the rest.
    static constexpr std::int32_t restOffset = 3;
    /// Windows of whole days from each day: 2, 4, ... 128 (2^spanLevels) days. A window is whole when
    /// each of its days holds a base price and a first check, its dates ascend, and every base
    /// price after its first day is trading against the day before (splitLeavesAlone): read one
    /// by one, such days change nothing but the prices read, unless a first check or a price of
    /// a rest trades.
    static constexpr int spanLevels = 7;

    /// A bound in 16 bits, in units of 2^shift won of its day: a low rounded down (0: unknown)
    /// and a high rounded up (all ones: unknown). Prices between the bounds of a stretch include
    /// every price of it, so a stretch passed by its bounds would be passed by its prices.
    struct Bounds
    {
        std::uint16_t low;
        std::uint16_t high;
    };

    /// One trading day: its date record and the records up to the next date record, in two cache
    /// lines (the bounds of its blocks in the second). A record is a date when its number is
    /// above the walk's date threshold, as the walk reads it.
    struct alignas(128) Day
    {
        std::int32_t at;    ///< record index of the date record
        std::int32_t date;  ///< its number
        std::int32_t base;  ///< record at + 1, the base price (when the day holds it)
        std::int32_t first; ///< record at + 2, the day's first check (when the day holds it)
        /// Lowest and highest of the rest (records at + 3 to the day's end); an empty rest has
        /// low above high.
        std::int32_t low = std::numeric_limits<std::int32_t>::max();
        std::int32_t high = std::numeric_limits<std::int32_t>::min();
        /// The day's last value (its rest's last, else its first check or base price).
        std::int32_t last = 0;
        /// Where the bounds of a rest of more than dayBlocks blocks begin; -1 otherwise.
        std::int32_t firstBlock = -1;
        /// Bit j: window j (2^(j+1) days from this one) is whole.
        std::uint8_t whole = 0;
        /// The unit of the day's bounds: 2^shift won, about a 2,048th of its first check.
        std::uint8_t shift = 0;
        /// Records from the date record to the day's end; all ones for 65,535 and more.
        std::uint16_t length = 0;
        /// The lowest and highest first check or price of a rest of window j.
        Bounds span[spanLevels] = {};
        /// The bounds of the rest's blocks, for a rest of up to dayBlocks blocks.
        alignas(64) Bounds block[dayBlocks] = {};

        /// A band of prices in the units of this day's bounds (below).
        struct Limits
        {
            std::uint32_t low;
            std::uint32_t high;
            /// Every price the bounds hold lies within the band.
            bool hold(Bounds b) const { return b.low > low && b.high < high; }
        };
        /// The band of prices above `below` and below `above`: Limits::hold(b) is true exactly
        /// when lowest(b) > below and highest(b) < above, without a conversion per bound.
        Limits limits(std::int64_t below, std::int64_t above) const
        {
            constexpr std::int64_t unknown = std::numeric_limits<std::uint16_t>::max();
            const auto low = below < 0 ? 0 : std::min(below >> shift, unknown);
            const auto high = above == std::numeric_limits<std::int64_t>::max()
                ? unknown + 1 // even a bound that cannot say lies below it
                : above <= 0 ? 0
                             : std::min((above + (std::int64_t{1} << shift) - 1) >> shift, unknown);
            return {static_cast<std::uint32_t>(low), static_cast<std::uint32_t>(high)};
        }
        /// At most the lowest price the bounds hold (the lowest number when they cannot say).
        std::int64_t lowest(Bounds b) const
        {
            return b.low == 0 ? std::numeric_limits<std::int64_t>::min() : static_cast<std::int64_t>(b.low) << shift;
        }
        /// At least the highest price the bounds hold (the highest number when they cannot say).
        std::int64_t highest(Bounds b) const
        {
            return b.high == std::numeric_limits<std::uint16_t>::max() ? std::numeric_limits<std::int64_t>::max()
                                                                       : static_cast<std::int64_t>(b.high) << shift;
        }
    };

    static_assert(sizeof(Day) == 128 && offsetof(Day, block) == 64);

    /// The index over a file's numbers, built in one pass.
    static PriceIndex build(std::span<const std::int32_t> values);

    /// The days in file order, then an end marker whose `at` is the record count.
    std::size_t dayCount() const { return days.empty() ? 0 : days.size() - 1; }
    const Day& day(std::size_t k) const { return days[k]; }
    /// One past the last record of day k: the next date record or the end of the file.
    std::int32_t dayEnd(std::size_t k) const
    {
        const Day& d = days[k];
        return d.length != std::numeric_limits<std::uint16_t>::max() ? d.at + d.length : days[k + 1].at;
    }
    /// How many blocks day k's rest has (0: none, the day's low and high cover it).
    std::int32_t blockCount(std::size_t k) const
    {
        const std::int32_t rest = dayEnd(k) - days[k].at - restOffset;
        return rest > blockSize ? (rest + blockSize - 1) / blockSize : 0;
    }
    /// The bounds of the blocks of day k's rest.
    const Bounds* blockBounds(std::size_t k) const
    {
        return days[k].firstBlock >= 0 ? blocks.data() + days[k].firstBlock : days[k].block;
    }
    /// True when the dates of the days ascend throughout the file (a sound file).
    bool ascending() const { return sorted; }
    /// The first day whose date record lies at or after record i (dayCount() when none does).
    std::size_t dayFrom(std::int32_t i) const;
    /// The first day dated after `date` (dayCount() when none is); for ascending dates only.
    std::size_t dayAfter(std::int32_t date) const;
    /// The date and the last value of each day, side by side, for walks that value days they pass.
    struct DayEnd
    {
        std::int32_t date;
        std::int32_t last;
    };
    const DayEnd* dayEnds() const { return ends.data(); }
    /// Bytes the index holds.
    std::size_t bytes() const
    {
        return days.size() * sizeof(Day) + blocks.size() * sizeof(Bounds) + ends.size() * sizeof(DayEnd);
    }

    /// Builds the index piece by piece while a file is parsed (below).
    class Builder;

private:
    std::vector<Day> days;
    std::vector<Bounds> blocks;
    std::vector<DayEnd> ends;
    bool sorted = true;
};

/// Builds the index chunk by chunk while a file is parsed, so that each chunk is indexed while
/// it is still in the cache.
class PriceIndex::Builder
{
public:
    /// `records`: how many records the file holds, to reserve the blocks once (0: unknown).
    explicit Builder(std::size_t records = 0);
    /// The next `values` of the file.
    void add(std::span<const std::int32_t> values);
    PriceIndex finish();

private:
    struct Range
    {
        std::int32_t low, high;
    };
    void closeDay(std::int32_t end);
    void findBounds();

    PriceIndex index;
    std::vector<Range> blocks; // the blocks' lowest and highest prices, bounded at the end
    std::int32_t next = 0;     // record index of the next value added
    bool open = false;         // a day is open: index.days.back()
};

} // namespace kestrelan
