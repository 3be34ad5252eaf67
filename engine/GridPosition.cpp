// The grid's layout and its rescaling for a split, and a position taken from and put back into
// a stock's slot.

#include "engine/GridPosition.h"

namespace kestrelan {

using namespace rules;

namespace {

/// A grid price that would not fit is capped (see highestGridPrice).
std::int32_t capPrice(std::int64_t price)
{
    return static_cast<std::int32_t>(price > highestGridPrice ? highestGridPrice : price);
}

/// Rounded to the nearest whole tens; a last digit of 5 or more rounds up.
std::int32_t roundTen(std::int32_t q)
{
    const std::int32_t rest = q % shareStep;
    return rest >= shareStep / 2 ? q - rest + shareStep : q - rest;
}

} // namespace

void Grid::layOut(std::int32_t base, std::int32_t unit, std::int32_t span, std::int32_t upStep, std::int32_t downStep,
                  std::int32_t marginPct, const TickTable* ticks)
{
    const std::int32_t baseLevel = span + baseOffset;
    for (std::int32_t k = 1; k < gridLevels; ++k) {
        const std::int64_t raw = k < baseLevel
            ? static_cast<std::int64_t>(base) + static_cast<std::int64_t>(baseLevel - k) * upStep
            : static_cast<std::int64_t>(base) - static_cast<std::int64_t>(k - baseLevel) * downStep;
        if (raw <= 0) {
            price[k] = qty[k] = sell[k] = 0;
            continue;
        }
        const std::int32_t l = tickRound(capPrice(raw), k < baseLevel ? Round::Up : Round::Down, ticks);
        price[k] = l;
        qty[k] = unit;
        sell[k] = tickRound(capPrice(l + trunc32(static_cast<double>(static_cast<std::int64_t>(l) * marginPct) * 0.01)),
                            Round::Up, ticks);
    }
}

void Grid::divide(double f, const TickTable* ticks)
{
    for (int k = 1; k < gridLevels; ++k) {
        if (price[k] <= 0)
            continue;
        price[k] = tickRound(trunc32(price[k] / f), Round::Down, ticks);
        sell[k] = tickRound(trunc32(sell[k] / f), Round::Up, ticks);
        qty[k] = roundTen(trunc32(qty[k] * f));
    }
}

void Grid::multiply(double g, const TickTable* ticks)
{
    for (int k = 1; k < gridLevels; ++k) {
        if (price[k] <= 0)
            continue;
        price[k] = tickRound(capPrice(static_cast<std::int64_t>(trunc32(price[k] * g))), Round::Down, ticks);
        sell[k] = tickRound(capPrice(static_cast<std::int64_t>(trunc32(sell[k] * g))), Round::Up, ticks);
        qty[k] = roundTen(trunc32(qty[k] / g));
    }
}

std::int32_t Grid::floor() const
{
    // The prices fall from level to level, and the levels that would be priced at 0 or less
    // come last: the lowest priced level is where the prices above 0 end.
    const auto end = std::partition_point(price.begin() + 1, price.end(), [](std::int32_t p) { return p > 0; });
    return end == price.begin() + 1 ? 0 : *(end - 1);
}

GridPosition::GridPosition(const StockSlot& slot, Grid& grid, TradeCosts costs)
    : shares(slot.shares)
    , shares2(slot.shares2)
    , cash(slot.cash)
    , level(slot.level)
    , lastSide(slot.lastSide)
    , last(slot.last)
    , prev(0)
    , totBuy(slot.totBuy)
    , totSell(slot.totSell)
    , gain(slot.gain)
    , mult(slot.mult)
    , fills(slot.fills)
    , commissionPaid(slot.commissionPaid)
    , taxPaid(slot.taxPaid)
    , grid(&grid)
    , costs(costs)
    , secondPct(slot.secondPct)
    , floorPrice(grid.floor())
{
    moved();
}

void GridPosition::storeInto(StockSlot& slot) const
{
    slot.shares = shares;
    slot.shares2 = shares2;
    slot.cash = cash;
    slot.level = level;
    slot.lastSide = lastSide;
    slot.last = prev > 0 ? prev : last;
    slot.totBuy = totBuy;
    slot.totSell = totSell;
    slot.gain = gain;
    slot.mult = mult;
    slot.fills = fills;
    slot.commissionPaid = commissionPaid;
    slot.taxPaid = taxPaid;
}

// A fall by the factor f = p / t multiplies the holding by f, and from the grid split band on
// divides the grid by it; a rise by g = t / p divides the holding and the grid by g. The holding
// is both share counters, folded into the first.
std::int32_t GridPosition::rescale(std::int32_t t, std::int32_t p)
{
    const std::int64_t total = static_cast<std::int64_t>(shares) + shares2;
    std::int32_t held = 0;
    if (p > t) {
        const double f = static_cast<double>(p) / t;
        const double d = static_cast<double>(p - t) / p;
        if (d >= gridSplitBand)
            grid->divide(f, ticks);
        held = trunc32(static_cast<double>(p) * static_cast<double>(total) / t);
        mult *= f;
    } else {
        const double g = static_cast<double>(t) / p;
        grid->multiply(g, ticks);
        held = trunc32(static_cast<double>(total) / g);
        mult *= 1 / g;
    }
    shares = held;
    shares2 = 0;
    floorPrice = grid->floor();
    return static_cast<std::int32_t>(held - total);
}

} // namespace kestrelan
