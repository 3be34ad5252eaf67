// Why a stretch of prices that can change nothing is passed without reading it.
//
// What one price t of a day changes, read one by one (PriceWalk::record):
//   - a date record (above dateThreshold) ends the call when it is after `until`, else it opens a
//     day: `day` = t, the next value is the base price;
//   - the base price is never traded; it sets prev, clears onGrid, compares itself with `last` for
//     a split (which may rescale the holding and the grid) and marks the stock started;
//   - a price of a day before the fund's start changes nothing at all;
//   - any other price runs the sale pass (prev < t) or the purchase pass (t <= prev), then sets
//     prev = last = t and onGrid (the top and bottom of the grid leave onGrid alone).
// The sale pass trades only when t reaches the sell price of the next level up and at least ten
// shares are held; the purchase pass only when t is at or below the price of the next level down
// and the cash pays for its quantity (GridPosition::nextLevels names both levels). Once the day's
// first check has run (onGrid), a purchase is priced at the level's price, not at t, so whether
// the cash pays does not depend on t. Every trade, and every split comparison, moves the level,
// the last side, the shares, the cash or the grid, and with them the two levels; nothing else
// does.
//
// So between two trades the prices split in three: those at or below the next purchase level
// (no level when the cash cannot pay for it), those at or above the next sell price (none with
// fewer than ten shares), and the quiet band in between (GridPosition::quietBand), in which a
// price does nothing but set prev = last = t (onGrid is already set). A stretch of one day's
// prices after its first check, in a day of the fund, inside the quiet band holds no date, no
// base price and no first check, and no price in it can trade: read one by one, it would leave
// every field as it found it except prev and last, which end at its last price. That is what
// passing it does; `day`, `dayOpen`, `onGrid`, `started` and the records-covered count are as the
// reading would leave them, and only the records-read count differs.
//
// Whole days go the same way when each of them changes nothing either: the stock has started (so
// its base price is compared, not its first), each base price is trading against the price read
// before it (splitLeavesAlone, which the index checks between days and the walk for the first
// one), each first check lies inside the band of a first check (GridPosition::firstCheckBand: its
// purchase side at the level's price, since a first check is priced at its own price and the cash
// does not open that side; none at the grid's top after a sale there, where a rise leaves onGrid
// unset) and each rest inside the quiet band, and every date lies within the fund and not after
// `until`. Afterwards the walk stands where reading them would leave it: after the last day's last
// price, with that day open and its first check done.
// A day with a dividend is never passed whole: the dividend changes the cash before the day's
// first price, and with it the quiet band. The rules by date (the tax of a sale, the ticks of a
// rounding) change nothing a band reads, and the grid is rounded only on a split, never passed.
//
// The price file's day index (PriceIndex.h) gives each day's first prices and the low, high and
// last of its rest, bounds of the prices of blocks of blockSize and of windows of whole days. The
// bounds are rounded outwards, so a stretch they pass would be passed by its prices. The date,
// the base price and the first check of a day that is not passed whole are read one by one, as is
// every block that may trade.

#include "engine/SkippingWalk.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <type_traits>

namespace kestrelan {

namespace {

class SkippingWalk
{
public:
    SkippingWalk(PriceWalk& walk, const PriceIndex& index, WalkCounts& counts)
        : walk(walk)
        , position(walk.position)
        , index(index)
        , counts(counts)
        // Days at or past this one are after `until`, where the dates ascend.
        , untilDay(index.ascending() ? index.dayAfter(walk.until) : 0)
    {
    }

    void run()
    {
        for (std::size_t k = index.dayFrom(walk.i);; ++k) {
            // Records before the next day's date one by one: values with no date before them at
            // the start of a file, or the rest of a day a call began within.
            if (walk.walkTo(k < index.dayCount() ? index.day(k).at : walk.count) || walk.i >= walk.count)
                break;
            const PriceIndex::Day& d = index.day(k);
            if (const std::size_t n = wholeDays(k, d)) {
                passDays(k, n);
                k += n - 1;
                continue;
            }
            if (walkDay(k, d))
                break;
        }
    }

private:
    // How many days from day k can be passed whole: the longest window of whole days that holds,
    // else the day alone, else none.
    __attribute__((always_inline)) std::size_t wholeDays(std::size_t k, const PriceIndex::Day& d)
    {
        // The bounds of the day's blocks, in its second line, in case the day is walked.
        __builtin_prefetch(d.block);
        if (!walk.started || d.date < walk.fundStart || !splitLeavesAlone(d.base, position.lastPrice()))
            return 0;
        // A dividend changes the cash before its day's first price: no day passed whole holds one.
        std::size_t limit = untilDay;
        if (walk.hasDividends()) {
            const std::int32_t next = walk.dividendFrom(d.date);
            if (next == d.date || (next != std::numeric_limits<std::int32_t>::max() && !index.ascending()))
                return 0;
            if (next != std::numeric_limits<std::int32_t>::max())
                limit = std::min(limit, index.dayAfter(next - 1));
        }
        const PriceBand first = position.firstCheckBand();
        if (const unsigned windows = quietWindows(k, d, first, limit)) {
            // The day after the window is read next, and its blocks if it may trade.
            const std::size_t n = std::size_t{2} << (std::bit_width(windows) - 1);
            __builtin_prefetch(&index.day(k + n));
            __builtin_prefetch(index.day(k + n).block);
            return n;
        }
        const bool quietDay
            = d.date <= walk.until && first.holds(d.first, d.first) && position.quietBand().holds(d.low, d.high);
        return quietDay && index.dayEnd(k) - d.at > 2 ? 1 : 0;
    }

    // Bit j: window j of day k (2 << j days) is whole, ends by `until` (before day `limit` where
    // the dates ascend), and its first checks and rests lie inside the band of a first check,
    // which is inside the quiet band. Found without a branch per window.
    __attribute__((always_inline)) unsigned quietWindows(std::size_t k, const PriceIndex::Day& d,
                                                         const PriceBand& first, std::size_t limit) const
    {
        const auto band = d.limits(first.below, first.above);
        unsigned windows = 0;
        for (int j = 0; j < PriceIndex::spanLevels; ++j)
            windows |= static_cast<unsigned>(band.hold(d.span[j])) << j;
        windows &= d.whole;
        if (index.ascending()) {
            // Windows of 2 << j days up to `until`: j up to bit_width(room) - 2.
            const std::size_t room = limit > k ? limit - k : 0;
            const int widest = std::min(static_cast<int>(std::bit_width(room)) - 2, PriceIndex::spanLevels - 1);
            windows &= widest < 0 ? 0u : (2u << widest) - 1;
        } else {
            for (int j = 0; j < PriceIndex::spanLevels; ++j)
                if ((windows >> j & 1) && index.day(k + (std::size_t{2} << j) - 1).date > walk.until)
                    windows &= ~(1u << j);
        }
        return windows;
    }

    // Days k to k + n - 1 passed whole: each day's base price trading against the day before, its
    // first check and its rest within the band. The holding, the cash and the grid stay as they
    // are over them; a valuation gets each day's value (the holding at the last price of the day
    // before), its cash, and whether that price lay outside the grid.
    __attribute__((always_inline)) void passDays(std::size_t k, std::size_t n)
    {
        if (DayValuation* const valuation = walk.valuation) {
            // Kept in locals: the stores into the days' values would otherwise reload them.
            const Holding held = position.holding();
            const GridEnds grid = position.gridEnds();
            std::int32_t last = position.lastPrice();
            const std::int32_t* const dates = valuation->dates;
            double* const values = valuation->values;
            double* const cash = valuation->cash;
            const std::size_t count = valuation->count;
            std::size_t v = valuation->next;
            std::int64_t outside = 0;
            const PriceIndex::DayEnd* e = index.dayEnds() + k;
            const PriceIndex::DayEnd* const end = e + n;
            // The days before day e's date take the last price before it: their value, their cash,
            // and (`check`) whether that price lies outside the grid.
            const auto valueDays = [&](auto check) __attribute__((always_inline)) {
                for (; e != end; ++e) {
                    const std::size_t from = v;
                    const double value = held.at(last);
                    for (; v < count && dates[v] < e->date; ++v) {
                        values[v] += value;
                        cash[v] += held.cash;
                    }
                    if constexpr (decltype(check)::value)
                        outside += static_cast<std::int64_t>(v - from) * grid.outside(last);
                    last = e->last;
                }
            };
            // The first days take the price read before the stretch, the others a passed day's last
            // price, which lies inside the quiet band: when both lie inside the grid, every one does.
            const PriceBand& quiet = position.quietBand();
            if (!grid.outside(last) && quiet.below >= grid.floor - 1 && quiet.above <= std::int64_t{grid.top} + 1)
                valueDays(std::false_type());
            else
                valueDays(std::true_type());
            valuation->next = v;
            valuation->outside += outside;
        }
        const std::size_t lastDay = k + n - 1;
        const PriceIndex::Day& e = index.day(lastDay);
        walk.passDaysTo(index.dayEnd(lastDay), e.date, e.last);
        counts.days += static_cast<std::int64_t>(n);
        counts.daysPassed += static_cast<std::int64_t>(n);
    }

    // Day k, not passed whole: its date, base price and first check one by one, then its rest
    // passed whole, passed block by block, or walked. True: its date is after `until`.
    __attribute__((always_inline)) bool walkDay(std::size_t k, const PriceIndex::Day& d)
    {
        const std::int32_t end = index.dayEnd(k);
        const std::int32_t blocks = index.blockCount(k);
        if (blocks > 0)
            prefetchFirstBlockThatMayTrade(k, d, blocks);
        if (walk.step(d.date))
            return true;
        if (walk.i < end)
            walk.step(d.base);
        if (walk.i < end)
            walk.step(d.first);
        if (walk.i == end)
            return false;
        ++counts.days;
        if (restIsQuiet(d.low, d.high)) {
            walk.passTo(end, d.last);
            ++counts.daysPassed;
        } else if (blocks == 0) {
            walk.walkTo(end); // a value record never ends the call
        } else {
            walkBlocks(k, d, end, blocks);
        }
        return false;
    }

    // The prices of the first block that may trade lie far away in memory: asked for now, they
    // arrive while the day's first records are read.
    __attribute__((always_inline)) void prefetchFirstBlockThatMayTrade(std::size_t k, const PriceIndex::Day& d,
                                                                       std::int32_t blocks)
    {
        const PriceBand& quiet = position.quietBand();
        const PriceIndex::Bounds* bounds = index.blockBounds(k);
        const auto band = d.limits(quiet.below, quiet.above);
        for (std::int32_t b = 0; b < blocks; ++b) {
            if (!band.hold(bounds[b])) {
                const std::int32_t* first = walk.number + d.at + PriceIndex::restOffset + b * PriceIndex::blockSize;
                __builtin_prefetch(first - 1);
                __builtin_prefetch(first + PriceIndex::blockSize - 1);
                break;
            }
        }
    }

    // Whether prices from `low` to `high`, next in the current day, can be passed.
    __attribute__((always_inline)) bool restIsQuiet(std::int64_t low, std::int64_t high)
    {
        return walk.trading && position.firstCheckDone() && position.quietBand().holds(low, high);
    }

    // The rest of day k by blocks: those whose prices cannot trade are passed, the others walked.
    __attribute__((always_inline)) void walkBlocks(std::size_t k, const PriceIndex::Day& d, std::int32_t end,
                                                   std::int32_t blocks)
    {
        const PriceIndex::Bounds* bounds = index.blockBounds(k);
        const std::int32_t rest = walk.i;
        for (std::int32_t b = 0; b < blocks; ++b) {
            const std::int32_t from = b;
            if (walk.trading && position.firstCheckDone()) {
                const PriceBand& quiet = position.quietBand();
                const auto band = d.limits(quiet.below, quiet.above);
                while (b < blocks && band.hold(bounds[b]))
                    ++b;
            }
            counts.blocks += b - from + (b < blocks);
            counts.blocksPassed += b - from;
            if (b == blocks) {
                walk.passTo(end, d.last);
                return;
            }
            if (b > from) {
                const std::int32_t at = rest + b * PriceIndex::blockSize;
                walk.passTo(at, walk.number[at - 1]);
            }
            walk.walkTo(std::min(walk.i + PriceIndex::blockSize, end));
        }
    }

    PriceWalk& walk;
    GridPosition& position;
    const PriceIndex& index;
    WalkCounts& counts;
    const std::size_t untilDay;
};

} // namespace

void walkSkipping(PriceWalk& walk, const PriceIndex& index, WalkCounts& counts)
{
    SkippingWalk(walk, index, counts).run();
}

} // namespace kestrelan
