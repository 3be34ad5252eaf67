#pragma once
// The trading rule as a value: one stock's position on its grid, and the steps the rule is made of.
//
// A position holds the shares, the cash, the level and side of the latest trade, the last and the
// previous price, whether the day's first check has run, the fund's totals and the stock's grid.
// Its steps:
//   - openDay: a day's first value, the base price, is never traded; against the last price it
//     is trading, or a split or consolidation that rescales the holding and the grid;
//   - trade: a price above the previous one runs the sale pass, any other the purchase pass. The
//     day's first check trades at its own price, every later one at the level's price;
//   - nextLevels: the level the next sale and the next purchase would trade. It is the one rule
//     for which level trades next: the passes start from it, and the bands of prices that cannot
//     trade (firstLevels, quietBand, firstCheckBand) are read from it.
// The walks (PriceWalk.h, SkippingWalk.h) only say which prices the position sees; what a price
// does is decided here.

#include "engine/MarketRules.h"
#include "engine/Records.h"
#include "engine/TickRound.h"
#include "engine/TradingRules.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <optional>

namespace kestrelan {

/// One stock's grid: for each level 1 to gridLevels - 1 its purchase price, quantity and sell
/// price (index 0 is never used; a level whose price would be 0 or less is all zeros).
struct Grid
{
    using Column = std::array<std::int32_t, gridLevels>;
    Column price{};
    Column qty{};
    Column sell{};

    /// Levels 1 to span + baseOffset - 1 lie above the base level, one upward step apart; the
    /// levels below step down to the bottom and beyond it. Every level sells at its price plus
    /// the margin. Prices are rounded to the ticks of `ticks` (nullptr: the default table).
    void layOut(std::int32_t base, std::int32_t unit, std::int32_t span, std::int32_t upStep, std::int32_t downStep,
                std::int32_t marginPct, const TickTable* ticks);
    /// Prices divided by f (a split), quantities multiplied by it.
    void divide(double f, const TickTable* ticks);
    /// Prices multiplied by g (a consolidation), quantities divided by it.
    void multiply(double g, const TickTable* ticks);
    /// The price of the lowest level with a price above 0 (0: no such level). Only a split or a
    /// consolidation moves it.
    std::int32_t floor() const;
    /// Whether a price lies outside the grid: below its floor, or above level 1's sell price.
    bool outside(std::int32_t price, std::int32_t floorPrice) const { return price < floorPrice || price > sell[1]; }
};

/// What a trade costs, as fractions of its amount: the commission on every trade and the tax on
/// every sale.
struct TradeCosts
{
    double commission = 0;
    double tax = 0;
};

/// The trades of one side since the position was taken: shares, amount, commission and tax.
struct TradeTally
{
    std::int32_t count = 0;
    double amount = 0;
    double commission = 0;
    double tax = 0;
};

/// The prices at which a pass stops at its first level: one strictly between them does nothing
/// but set the last price (and mark the first check done), whichever pass it runs.
struct FirstLevels
{
    std::int32_t buy;  ///< the price of the next level down (highest number: none)
    std::int32_t sell; ///< the sell price of the next level up (lowest number: none)
};

/// The prices strictly between `below` and `above`.
struct PriceBand
{
    std::int64_t below;
    std::int64_t above;

    bool holds(std::int64_t low, std::int64_t high) const { return low > below && high < above; }
};

/// The shares held (both counters) and the cash: the stock's value at a price.
/// Where a grid ends: a price below `floor` or above `top` (level 1's sell price) lies outside it.
struct GridEnds
{
    std::int32_t floor;
    std::int32_t top;

    /// 1 outside, 0 inside, to count without a branch.
    std::int64_t outside(std::int32_t price) const { return (price < floor) | (price > top); }
};

struct Holding
{
    double shares;
    double cash;

    double at(std::int32_t price) const { return shares * price + cash; }
};

class GridPosition
{
public:
    /// The level the next sale and the next purchase would trade. Off the grid (0 or
    /// gridLevels) at its top after a sale there and at its bottom after a purchase there.
    struct NextLevels
    {
        std::int32_t up;
        std::int32_t down;
    };

    /// The position a stock's slot holds, on the stock's grid, trading at these costs. The
    /// previous price is none yet and the first check to come.
    GridPosition(const StockSlot& slot, Grid& grid, TradeCosts costs);
    /// The position back into the slot; the last price is the previous one once a day was opened.
    void storeInto(StockSlot& slot) const;
    /// The day's rules: the tax on its sales and the ticks a split's rescaling rounds to.
    void setDay(double salesTax, const TickTable* dayTicks)
    {
        costs.tax = salesTax;
        ticks = dayTicks;
    }
    /// A dividend paid into the cash (after the tax withheld).
    void credit(double won) { cash += won; bandStale = true; }

    // ---- the rule -----------------------------------------------------------------------------

    /// The one rule for which level trades next: after a sale the level above it sells next and
    /// the level itself buys; after a purchase the level itself sells and the level below buys.
    __attribute__((always_inline)) NextLevels nextLevels() const;
    static bool onTheGrid(std::int32_t k) { return k > 0 && k < gridLevels; }
    /// The day's base price: never traded. Unless it is the stock's first in the fund (`started`
    /// false), against the last price it is trading or a split; a split rescales the holding and
    /// the grid and gives the change in shares held. Either way it becomes the last price.
    __attribute__((always_inline)) std::optional<std::int32_t> openDay(std::int32_t base, bool started);
    /// A price of a trading day: the sale pass when it rose, else the purchase pass.
    __attribute__((always_inline)) void trade(std::int32_t t);
    /// A price (or the last of a stretch of prices) that trades nothing after the day's first
    /// check: it only becomes the last price.
    __attribute__((always_inline)) void pass(std::int32_t t);

    // ---- the prices that cannot trade, read from the next levels ------------------------------

    /// Where the passes stop at once, whatever the cash and the shares (see FirstLevels).
    FirstLevels firstLevels() const { return first; }
    /// The quiet band: once the day's first check has run, a price inside it trades nothing. The
    /// next purchase level when the cash pays for it (else no lower bound), the next sell price
    /// when at least ten shares are held (else no upper bound).
    __attribute__((always_inline)) const PriceBand& quietBand();
    /// The band of a day's first check: priced at its own price, so the cash does not open the
    /// purchase side; at the top of the grid after a sale there a rise leaves the check to come,
    /// so no price is inside.
    __attribute__((always_inline)) PriceBand firstCheckBand();

    // ---- what the walks and the logs read -----------------------------------------------------

    std::int32_t lastPrice() const { return last; }
    /// Whether a price lies outside the stock's grid as it stands.
    bool outsideGrid(std::int32_t price) const { return grid->outside(price, floorPrice); }
    /// The grid's two ends as they stand, for a stretch over which the grid does not move.
    GridEnds gridEnds() const { return {floorPrice, grid->sell[1]}; }
    bool firstCheckDone() const { return onGrid; }
    Holding holding() const { return {static_cast<double>(static_cast<std::int64_t>(shares) + shares2), cash}; }
    const TradeTally& purchases() const { return bought; }
    const TradeTally& sales() const { return sold; }
    /// The opening trade counted among the fills (trade.csv's first summary lines).
    void countOpening(const TradeTally& purchase, const TradeTally& sale);

private:
    __attribute__((always_inline)) void salePass(std::int32_t t);
    __attribute__((always_inline)) void purchasePass(std::int32_t t);
    __attribute__((always_inline)) void sellLevel(std::int32_t u, std::int32_t x);
    __attribute__((always_inline)) bool buyLevel(std::int32_t u, std::int32_t x);
    __attribute__((always_inline)) void moved();
    __attribute__((always_inline)) PriceBand findQuietBand() const;
    std::int32_t rescale(std::int32_t t, std::int32_t p);

    // The rule's state.
    std::int32_t shares;
    std::int32_t shares2; // the second share counter, valued with `shares`; a split folds it in
    double cash;
    std::int32_t level;  // 1 to gridLevels - 1
    char lastSide;       // 'B' or 'S'
    std::int32_t last;   // the latest price read
    std::int32_t prev;   // the price a pass compares with: the last, once a day is open
    bool onGrid = false; // the day's first check has run
    // What the trades add up to: the fund's totals, and each side's fills since the position was
    // taken.
    double totBuy;
    double totSell;
    double gain;
    double mult; // the splits' price factor
    std::int32_t fills;
    double commissionPaid;
    double taxPaid;
    TradeTally bought;
    TradeTally sold;
    // The stock's grid and conditions.
    Grid* grid;
    TradeCosts costs;
    const TickTable* ticks = nullptr; // the day's tick table (nullptr: the default)
    std::int32_t secondPct;
    std::int32_t floorPrice; // the grid's floor (see Grid::floor)
    // What the next levels give, kept until they move.
    FirstLevels first;
    PriceBand band{};
    bool bandStale = true;
};

// ---- the steps, inline: the walks run them for every price that may trade -------------------

inline GridPosition::NextLevels GridPosition::nextLevels() const
{
    return {lastSide == 'S' ? level - 1 : level, lastSide == 'B' ? level + 1 : level};
}

inline std::optional<std::int32_t> GridPosition::openDay(std::int32_t base, bool started)
{
    onGrid = false;
    prev = last;
    if (!started || last == base)
        return std::nullopt;
    std::optional<std::int32_t> change;
    if (!splitLeavesAlone(base, last)) {
        change = rescale(base, last);
        moved();
    }
    prev = last = base;
    return change;
}

inline void GridPosition::trade(std::int32_t t)
{
    if (prev < t)
        salePass(t);
    else
        purchasePass(t);
    moved();
}

inline void GridPosition::pass(std::int32_t t)
{
    prev = last = t;
    onGrid = true;
}

inline const PriceBand& GridPosition::quietBand()
{
    if (bandStale) {
        band = findQuietBand();
        bandStale = false;
    }
    return band;
}

inline PriceBand GridPosition::firstCheckBand()
{
    const std::int64_t above = nextLevels().up == 0 ? std::numeric_limits<std::int64_t>::min() : quietBand().above;
    return {first.buy, above};
}

inline void GridPosition::countOpening(const TradeTally& purchase, const TradeTally& sale)
{
    bought = purchase;
    sold = sale;
}

// Sells level by level from the next level up while the price reaches the sell price and ten
// shares are held.
inline void GridPosition::salePass(std::int32_t t)
{
    std::int32_t u = nextLevels().up;
    if (u == 0) {
        prev = last = t; // the top after a sale there: the first check is still to come
        return;
    }
    for (; u > 0 && t >= grid->sell[u] && shares / rules::shareStep != 0; --u)
        sellLevel(u, onGrid ? grid->sell[u] : t);
    prev = last = t;
    onGrid = true;
}

// Buys level by level from the next level down while the price reaches the level's price and
// the cash pays for it in full.
inline void GridPosition::purchasePass(std::int32_t t)
{
    std::int32_t u = nextLevels().down;
    if (u == gridLevels) {
        prev = last = t; // the bottom after a purchase there
        return;
    }
    for (; u < gridLevels && t <= grid->price[u]; ++u)
        if (!buyLevel(u, onGrid ? grid->price[u] : t))
            break;
    prev = last = t;
    onGrid = true;
}

// One sale at level u at price x: the level's quantity, or the whole tens held when fewer. The
// second condition then raises the level's sell price by about secondPct percent, in steps of
// ten won.
inline void GridPosition::sellLevel(std::int32_t u, std::int32_t x)
{
    const std::int32_t held = (shares / rules::shareStep) * rules::shareStep;
    const std::int32_t q = shares >= grid->qty[u] ? grid->qty[u] : held;
    const double h = static_cast<double>(static_cast<std::int64_t>(q) * x);
    const std::int32_t fee = rules::trunc32(h * costs.commission);
    const std::int32_t levy = rules::trunc32(h * costs.tax);
    sold.count += q;
    sold.amount += h;
    sold.commission += fee;
    sold.tax += levy;
    ++fills;
    commissionPaid += fee;
    taxPaid += levy;
    cash += h - fee - levy;
    shares -= q;
    totSell += h;
    gain += static_cast<double>(static_cast<std::int64_t>(x - grid->price[u]) * q) - fee - levy;
    level = u;
    lastSide = 'S';
    std::int32_t& sell = grid->sell[u];
    const std::int64_t raise = static_cast<std::int64_t>(sell) * secondPct / (100 * rules::secondStepWon);
    sell = static_cast<std::int32_t>(
        std::min<std::int64_t>(sell + raise * rules::secondStepWon, rules::highestGridPrice));
}

// One purchase at level u at price x; false (nothing bought) when the cash does not pay for the
// quantity and its commission.
inline bool GridPosition::buyLevel(std::int32_t u, std::int32_t x)
{
    const std::int32_t q = grid->qty[u];
    const std::int64_t k = static_cast<std::int64_t>(q) * x;
    const std::int32_t fee = rules::trunc32(static_cast<double>(k) * costs.commission);
    if (cash - static_cast<double>(k) - fee < 0)
        return false;
    bought.count += q;
    bought.amount += static_cast<double>(k);
    bought.commission += fee;
    ++fills;
    commissionPaid += fee;
    cash -= static_cast<double>(k) + fee;
    shares += q;
    totBuy += static_cast<double>(k);
    level = u;
    lastSide = 'B';
    return true;
}

// After a pass or a split: the next levels may have moved.
inline void GridPosition::moved()
{
    const NextLevels next = nextLevels();
    first.sell = onTheGrid(next.up) ? grid->sell[next.up] : std::numeric_limits<std::int32_t>::min();
    first.buy = onTheGrid(next.down) ? grid->price[next.down] : std::numeric_limits<std::int32_t>::max();
    bandStale = true;
}

inline PriceBand GridPosition::findQuietBand() const
{
    const NextLevels next = nextLevels();
    const bool canSell = onTheGrid(next.up) && shares / rules::shareStep != 0;
    bool canBuy = onTheGrid(next.down);
    if (canBuy) {
        const std::int64_t k = static_cast<std::int64_t>(grid->qty[next.down]) * grid->price[next.down];
        const std::int32_t fee = rules::trunc32(static_cast<double>(k) * costs.commission);
        canBuy = !(cash - static_cast<double>(k) - fee < 0);
    }
    return {canBuy ? grid->price[next.down] : std::numeric_limits<std::int64_t>::min(),
            canSell ? grid->sell[next.up] : std::numeric_limits<std::int64_t>::max()};
}

} // namespace kestrelan
