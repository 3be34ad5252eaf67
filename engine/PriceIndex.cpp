#include "engine/PriceIndex.h"

#include "engine/PriceNumbers.h"

#include <algorithm>
#include <bit>

namespace kestrelan {

namespace {

constexpr std::uint16_t unknownHigh = std::numeric_limits<std::uint16_t>::max();

// A lowest price in units of 2^shift, rounded down; 0 when it does not fit.
std::uint16_t lowBound(std::int64_t low, int shift)
{
    if (low < (std::int64_t{1} << shift))
        return 0;
    return static_cast<std::uint16_t>(std::min<std::int64_t>(low >> shift, unknownHigh - 1));
}

// A highest price in units of 2^shift, rounded up; all ones when it does not fit.
std::uint16_t highBound(std::int64_t high, int shift)
{
    if (high <= 0)
        return 0;
    return static_cast<std::uint16_t>(
        std::min<std::int64_t>((high + (std::int64_t{1} << shift) - 1) >> shift, unknownHigh));
}

} // namespace

PriceIndex::Builder::Builder(std::size_t records)
{
    // A day's rest of r > blockSize records takes at most r / blockSize + 1 blocks, and such a
    // day spans more than blockSize + restOffset records. Pages reserved but never written cost
    // no memory.
    if (records > 0)
        blocks.reserve(records / blockSize + records / (blockSize + restOffset + 1) + 1);
}

void PriceIndex::Builder::closeDay(std::int32_t end)
{
    Day& d = index.days.back();
    // A rest of one block is covered by the day itself.
    if (end - d.at - restOffset <= blockSize && d.firstBlock >= 0) {
        blocks.pop_back();
        d.firstBlock = -1;
    }
}

void PriceIndex::Builder::add(std::span<const std::int32_t> values)
{
    const std::size_t n = values.size();
    for (std::size_t j = 0; j < n;) {
        const std::int32_t v = values[j];
        if (v > dateThreshold) {
            if (open)
                closeDay(next);
            index.days.push_back(Day{next, v, 0, 0});
            open = true;
            ++j, ++next;
            continue;
        }
        if (!open) {
            ++j, ++next; // values before the first date record belong to no day
            continue;
        }
        Day& d = index.days.back();
        const std::int32_t offset = next - d.at;
        if (offset < restOffset) {
            (offset == 1 ? d.base : d.first) = v;
            d.last = v;
            ++j, ++next;
            continue;
        }
        // The rest: a run of values up to the next date, the block's end or the chunk's end, its
        // low and high kept in registers.
        const std::int32_t inBlock = (offset - restOffset) % blockSize;
        const std::size_t limit = std::min(n, j + static_cast<std::size_t>(blockSize - inBlock));
        std::int32_t low = v, high = v;
        std::size_t k = j + 1;
        for (; k < limit && values[k] <= dateThreshold; ++k) {
            low = std::min(low, values[k]);
            high = std::max(high, values[k]);
        }
        d.low = std::min(d.low, low);
        d.high = std::max(d.high, high);
        d.last = values[k - 1];
        if (inBlock == 0) {
            if (d.firstBlock < 0)
                d.firstBlock = static_cast<std::int32_t>(blocks.size());
            blocks.push_back({low, high});
        } else {
            Range& b = blocks.back();
            b.low = std::min(b.low, low);
            b.high = std::max(b.high, high);
        }
        next += static_cast<std::int32_t>(k - j);
        j = k;
    }
}

PriceIndex PriceIndex::Builder::finish()
{
    if (open)
        closeDay(next);
    index.days.push_back(Day{next, 0, 0, 0});
    open = false;
    findBounds();
    index.ends.reserve(index.dayCount());
    for (std::size_t k = 0; k < index.dayCount(); ++k)
        index.ends.push_back({index.days[k].date, index.days[k].last});
    return std::move(index);
}

// Each day's unit, the bounds of its blocks, and its windows of whole days.
void PriceIndex::Builder::findBounds()
{
    auto& days = index.days;
    const std::size_t n = index.dayCount();
    struct Window
    {
        std::int32_t low, high;
        bool whole;
    };
    std::vector<Window> below(n); // the windows of the level below; day k alone first
    std::vector<char> joins(n);   // day k follows day k - 1 within a window
    for (std::size_t k = 0; k < n; ++k) {
        Day& d = days[k];
        d.length = static_cast<std::uint16_t>(std::min(days[k + 1].at - d.at, 0xFFFF));
        // About eleven significant bits of the first check: room for prices up to 32 times it.
        const auto magnitude = static_cast<std::uint32_t>(std::max(d.first, 1));
        d.shift = static_cast<std::uint8_t>(std::max(0, static_cast<int>(std::bit_width(magnitude)) - 12));
        if (d.firstBlock >= 0) {
            // In the day itself, or after the longer rests before it.
            const std::int32_t count = index.blockCount(k);
            const Range* from = blocks.data() + d.firstBlock;
            d.firstBlock = count > dayBlocks ? static_cast<std::int32_t>(index.blocks.size()) : -1;
            Bounds* to = d.firstBlock >= 0 ? &*index.blocks.insert(index.blocks.end(), count, Bounds{}) : d.block;
            for (std::int32_t b = 0; b < count; ++b)
                to[b] = {lowBound(from[b].low, d.shift), highBound(from[b].high, d.shift)};
        }
        below[k] = {std::min(d.first, d.low), std::max(d.first, d.high), index.dayEnd(k) - d.at > 2};
        joins[k] = k > 0 && below[k - 1].whole && d.date > days[k - 1].date
            && splitLeavesAlone(d.base, days[k - 1].last);
        if (k > 0 && d.date <= days[k - 1].date)
            index.sorted = false;
    }
    blocks = {};
    std::vector<Window> level(n);
    for (int j = 0; j < spanLevels; ++j) {
        const std::size_t half = std::size_t{1} << j;
        for (std::size_t k = 0; k < n; ++k) {
            if (k + 2 * half > n) {
                level[k].whole = false; // a window that would run past the last day
                continue;
            }
            const Window& a = below[k];
            const Window& b = below[k + half];
            level[k] = {std::min(a.low, b.low), std::max(a.high, b.high), a.whole && b.whole && joins[k + half]};
            Day& d = days[k];
            if (level[k].whole)
                d.whole |= static_cast<std::uint8_t>(1u << j);
            d.span[j] = {lowBound(level[k].low, d.shift), highBound(level[k].high, d.shift)};
        }
        std::swap(below, level);
    }
}

PriceIndex PriceIndex::build(std::span<const std::int32_t> values)
{
    Builder builder(values.size());
    builder.add(values);
    return builder.finish();
}

std::size_t PriceIndex::dayFrom(std::int32_t i) const
{
    const auto end = days.end() - (days.empty() ? 0 : 1);
    return static_cast<std::size_t>(
        std::lower_bound(days.begin(), end, i, [](const Day& d, std::int32_t at) { return d.at < at; }) - days.begin());
}

std::size_t PriceIndex::dayAfter(std::int32_t date) const
{
    const auto end = days.end() - (days.empty() ? 0 : 1);
    return static_cast<std::size_t>(
        std::upper_bound(days.begin(), end, date, [](std::int32_t x, const Day& d) { return x < d.date; })
        - days.begin());
}

} // namespace kestrelan
