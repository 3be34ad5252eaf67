// The trading rules over the loaded price files: the initial purchase with its grid, the
// day-by-day rebalancing and the split adjustment.

#include "engine/TradingRules.h"

#include "engine/CSimEngine.h"
#include "engine/Dates.h"
#include "engine/ResultLines.h"
#include "engine/TickRound.h"
#include "formats/ClosingCsv.h"

#include <algorithm>
#include <bit>
#include <limits>

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

/// The first unit: a span's share of the shares, down to whole tens, at least ten.
std::int32_t firstUnit(std::int32_t v)
{
    std::int32_t w = v / widestSpan;
    w -= w % shareStep;
    return w == 0 ? shareStep : w;
}

/// Grid unit w and span n from the shares bought v and the first unit w, after the minimum lot.
void sizeSpan(std::int32_t v, std::int32_t& w, std::int32_t& n)
{
    if (static_cast<std::int64_t>(v) > static_cast<std::int64_t>(widestSpan) * w)
        w += shareStep;
    n = widestSpan;
    while (static_cast<std::int64_t>(n) * w - v >= w)
        --n;
    if (v == minimumShares || n < narrowestSpan) {
        n = narrowestSpan;
        w = v / narrowestSpan;
    }
}

/// The upper target: the top of the range less the margin.
std::int32_t upperTarget(std::int32_t rangeHighPct, std::int32_t p, std::int32_t marginPct)
{
    const std::int32_t top = trunc32(static_cast<double>(static_cast<std::int64_t>(rangeHighPct) * p) * 0.01);
    return trunc32(top * 100.0 / (marginPct + 100));
}

std::int32_t rangeBottom(std::int32_t rangeLowPct, std::int32_t p)
{
    return tickRound(trunc32(static_cast<double>(static_cast<std::int64_t>(rangeLowPct) * p) * 0.01), Round::Down);
}

/// The divisor of the step below the base: about the cash left after the initial buy, spread
/// over buying w shares at every level from the base q down to the bottom b.
double downDivisor(double amount, double ratio, std::int32_t q, std::int32_t b, std::int32_t w)
{
    return 2 * (amount - amount * ratio) + static_cast<double>(static_cast<std::int64_t>(q - b) * w);
}

std::int32_t downStepFor(double divisor, std::int32_t q, std::int32_t b, std::int32_t w)
{
    return trunc32(static_cast<double>(q + b) * (q - b) * w / divisor);
}

/// The slot after the opening trade: the kept shares, the grid's unit, span and steps, the
/// trade's side at the base level, and the money.
void openPosition(StockSlot& s, std::int32_t kept, std::int32_t unit, std::int32_t span, std::int32_t up,
                  std::int32_t down, char side, std::int32_t price, double cash, double bought, double sold)
{
    s.firstVol = kept;
    s.sellStep = span;
    s.autoVol = unit;
    s.upStep = up;
    s.downStep = down;
    s.level = span + baseOffset;
    s.lastSide = side;
    s.last = price;
    s.cash = cash;
    s.totBuy = bought;
    s.totSell = sold;
    s.gain = 0;
}

struct BuySummary
{
    std::int32_t count = 0;
    double amount = 0;
    double commission = 0;
};

struct SaleSummary
{
    std::int32_t count = 0;
    double amount = 0;
    double commission = 0;
    double tax = 0;
};

} // namespace

int CSimEngine::initialPurchase(InvestMode investMode, int stock, std::int32_t pos, bool logEnabled, double commission,
                                bool includeTax)
{
    const PriceFile& prices = *priceFile[stock];
    StockSlot& s = slots[stock];
    const std::int32_t first = pos / priceRecordSize;
    if (first < 0 || first + 2 >= prices.recordCount())
        return -1; // a short read: no start price
    const std::int32_t d = prices.value(first);
    const std::int32_t late = dayCount(s.sDate, d);
    if (late > latestStartDays || late < 0)
        return -1;
    const std::int32_t p = prices.value(first + 2); // the base price is skipped
    if (p <= 0)
        return -1; // a corrupt record; the minimum lot could never be reached
    s.initial = p;

    const double r = s.initRatio;
    const std::int32_t m = s.marginPct;
    if (m + 100 <= 0)
        return -1; // a margin of -100 % or less leaves no grid above the base
    const double tax = includeTax ? taxRate : 0.0;

    if (investMode != InvestMode::ShareCount) {
        const std::int32_t a = s.invest;
        std::int32_t v = trunc32(a * r / p);
        v -= v % shareStep;
        if (r == 0.0)
            return -1;
        if (v < minimumShares) {
            if (a <= static_cast<std::int64_t>(minimumShares) * p)
                return -1;
            v = minimumShares;
        }
        std::int32_t w = firstUnit(v);
        const std::int64_t minimumLot = a > largeLotBudget ? largeLotValue : smallLotValue;
        while (static_cast<std::int64_t>(w) * p < minimumLot)
            w += shareStep;
        std::int32_t n = 0;
        sizeSpan(v, w, n);
        const std::int32_t x = upperTarget(s.rangeHighPct, p, m);
        const std::int32_t up = (x - p) / (n - 1);
        const std::int32_t b = rangeBottom(s.rangeLowPct, p);
        const double divisor = downDivisor(a, r, p, b, w);
        if (divisor <= 0)
            return -1;
        const std::int32_t g = downStepFor(divisor, p, b, w);
        layoutGrid(stock, p, w, n, up, g, m);
        const std::int64_t cost = static_cast<std::int64_t>(v) * p;
        const std::int32_t fee = trunc32(static_cast<double>(cost) * commission);
        s.shares = v;
        openPosition(s, v, w, n, up, g, 'B', p, static_cast<double>(a) - fee - static_cast<double>(cost),
                     static_cast<double>(cost), 0);
        return 0;
    }

    // Share-count mode: the fund starts holding S shares, keeps v of them and sells the rest.
    const std::int32_t shareCount = s.invest;
    if (r == 0.0)
        return -1;
    const std::int64_t kept = static_cast<std::int64_t>(shareStep) * trunc32(shareCount * r * 0.1); // whole tens
    const std::int32_t v = static_cast<std::int32_t>(std::min<std::int64_t>(kept, largestQuantity));
    if (v < minimumShares)
        return -1;
    std::int32_t w = firstUnit(v);
    while (static_cast<std::int64_t>(w) * p < smallLotValue)
        w += shareStep;
    std::int32_t n = 0;
    sizeSpan(v, w, n);
    const std::int32_t q
        = tickRound(static_cast<std::int32_t>(static_cast<std::int64_t>(p) * 100 / (m + 100)), Round::Down);
    const std::int32_t x = upperTarget(s.rangeHighPct, p, m);
    const double holding = static_cast<double>(shareCount) * p;
    if (holding > largestHolding)
        return -1;
    const std::int32_t up = (x - q) / (n - 1);
    const std::int32_t newInvest = static_cast<std::int32_t>(holding);
    const std::int32_t b = rangeBottom(s.rangeLowPct, p);
    const double divisor = downDivisor(newInvest, r, q, b, w);
    if (divisor <= 0)
        return -1;
    const std::int32_t g = downStepFor(divisor, q, b, w);
    if (logEnabled)
        writeTrade(tradeLine(dateText(s.sDate), s, TradeKind::Initial, shareCount, p, 0, 0, 0));
    s.startSold = shareCount - v;
    s.shares = v;
    s.invest = newInvest;
    layoutGrid(stock, q, w, n, up, g, m);
    const std::int64_t proceeds = static_cast<std::int64_t>(shareCount - v) * p;
    const std::int32_t fee = trunc32((tax + commission) * static_cast<double>(proceeds));
    openPosition(s, v, w, n, up, g, 'S', p, static_cast<double>(proceeds) - fee, 0, static_cast<double>(proceeds));
    return 0;
}

// Why a stretch of prices that can change nothing is passed without reading it.
//
// What one price t of a day changes, read one by one:
//   - a date record (above dateThreshold) ends the call when it is after `until`, else it opens a
//     day: `day` = t, the next value is the base price;
//   - the base price is never traded; it sets prev, clears onGrid, compares itself with `last` for
//     a split (which may rescale the holding and the grid) and marks the stock started;
//   - a price of a day before the fund's start changes nothing at all;
//   - any other price runs the sale pass (prev < t) or the purchase pass (t <= prev), then sets
//     prev = last = t and onGrid (the top and bottom of the grid leave onGrid alone).
// The sale pass trades only when t reaches the sell price of the next level up (level - 1 after a
// sale, else level) and at least ten shares are held; the purchase pass only when t is at or below
// the price of the next level down (level + 1 after a purchase, else level) and the cash pays for
// its quantity. Once the day's first check has run (onGrid), a purchase is priced at the level's
// price, not at t, so whether the cash pays does not depend on t. Every trade, and every split
// comparison, moves `level`, `lastSide`, the shares, the cash or the grid, and with them the two
// levels; nothing else does.
//
// So between two trades the prices split in three: those at or below the next purchase level
// (buyAt below; no level when the cash cannot pay for it), those at or above the next sell price
// (sellAt; none with fewer than ten shares), and the quiet band in between, in which a price does
// nothing but set prev = last = t (onGrid is already set). A stretch of one day's prices after its
// first check, in a day of the fund, whose low is above buyAt and whose high is below sellAt holds
// no date, no base price and no first check, and no price in it can trade: read one by one, it
// would leave every field as it found it except prev and last, which end at its last price. That
// is what passing it does; `day`, `dayOpen`, `onGrid`, `stockStarted` and the records-covered
// count are as the reading would leave them, and only the records-read count differs.
//
// Whole days go the same way when each of them changes nothing either: the stock has started (so
// its base price is compared, not its first), each base price is trading against the price read
// before it (splitLeavesAlone, which the index checks between days and the walk for the first
// one), each first check lies inside the band with its purchase side at the level's price (a first
// check is priced at its own price, so the cash does not open that side), every date lies within
// the fund and not after `until`, and the grid's top is not reached (a rise there leaves onGrid
// unset). Afterwards the walk stands where reading them would leave it: after the last day's
// last price, with that day open and its first check done.
//
// The price file's day index (PriceIndex.h) gives each day's first prices and the low, high and
// last of its rest, bounds of the prices of blocks of blockSize and of windows of whole days. The
// bounds are rounded outwards, so a stretch they pass would be passed by its prices. The date,
// the base price and the first check of a day that is not passed whole are read one by one, as is
// every block that may trade.
std::int32_t CSimEngine::rebalance(InvestMode investMode, int stock, std::int32_t until, std::int32_t pos,
                                   bool includeTax, bool logEnabled, double commission)
{
    const PriceFile& file = *priceFile[stock];
    const std::span<const std::int32_t> values = file.values();
    StockSlot& s = slots[stock];
    std::int32_t* const price = levelPrice[stock].data();
    std::int32_t* const qty = levelQty[stock].data();
    std::int32_t* const sell = sellPrice[stock].data();
    const double tax = includeTax ? taxRate : 0.0;

    BuySummary bought;
    SaleSummary sold;
    if (logEnabled && stockStarted[stock] == 0) {
        // The stock's first call in the fund: the summaries start from the initial trade.
        if (investMode == InvestMode::ShareCount) {
            sold.count = s.startSold;
            sold.amount = static_cast<double>(static_cast<std::int64_t>(s.initial) * s.startSold);
            sold.commission = trunc32(sold.amount * commission);
            sold.tax = trunc32(sold.amount * tax);
        } else {
            bought.count = s.firstVol;
            bought.amount = static_cast<double>(static_cast<std::int64_t>(s.initial) * s.firstVol);
            bought.commission = trunc32(bought.amount * commission);
        }
    }

    std::int32_t day = 0;
    std::int32_t prev = 0;
    bool dayOpen = false; // the day's first value has been read
    bool onGrid = false;  // the day's first trade check has run
    // The hot state lives in locals while records are walked, and goes back to the slot before
    // anything else reads it.
    std::int32_t shares = s.shares;
    double cash = s.cash;
    std::int32_t level = s.level;
    char lastSide = s.lastSide;
    std::int32_t last = s.last;
    const std::int32_t fundStart = s.sDate;
    bool trading = false; // dayOpen, in a day of the fund: a price runs a pass
    bool moved = true;    // a pass or a split comparison since the quiet band was worked out

    // The prices at which the pass a price runs stops at its first level: the sell price of the
    // next level up and the price of the next level down. A price strictly between them does
    // nothing but set prev, last and onGrid, whichever pass it runs; any other goes through the
    // pass. At the top and bottom of the grid every price goes through it.
    std::int32_t saleFirst = 0;
    std::int32_t buyFirst = 0;
    auto findFirstLevels = [&]() __attribute__((always_inline))
    {
        const std::int32_t up = lastSide == 'S' ? level - 1 : level;
        const std::int32_t down = lastSide == 'B' ? level + 1 : level;
        saleFirst = up > 0 && up < gridLevels ? sell[up] : std::numeric_limits<std::int32_t>::min();
        buyFirst = down > 0 && down < gridLevels ? price[down] : std::numeric_limits<std::int32_t>::max();
    };
    findFirstLevels();

    // The sale or the purchase pass for price t.
    auto runPass = [&](std::int32_t t) __attribute__((always_inline))
    {
        moved = true;
        if (prev < t) {
            // Sale pass: the price rose; sell level by level while it reaches the sell price.
            std::int32_t u = level;
            if (lastSide == 'S') {
                if (level == topLevel) {
                    prev = last = t;
                    return;
                }
                u = level - 1;
            }
            for (; u > 0; --u) {
                const std::int32_t c = sell[u];
                if (t < c)
                    break;
                const std::int32_t held = (shares / shareStep) * shareStep;
                if (held == 0)
                    break;
                const std::int32_t x = onGrid ? c : t;
                const std::int32_t q = shares >= qty[u] ? qty[u] : held;
                const double h = static_cast<double>(static_cast<std::int64_t>(q) * x);
                const std::int32_t fee = trunc32(h * commission);
                const std::int32_t levy = trunc32(h * tax);
                sold.count += q;
                sold.amount += h;
                sold.commission += fee;
                sold.tax += levy;
                cash += h - fee - levy;
                shares -= q;
                s.totSell += h;
                s.gain += static_cast<double>(static_cast<std::int64_t>(x - price[u]) * q) - fee - levy;
                level = u;
                lastSide = 'S';
                // The second condition: the level's next sale needs a price about secondPct
                // percent higher, in steps of ten won.
                const std::int64_t raise = static_cast<std::int64_t>(sell[u]) * s.secondPct / (100 * secondStepWon);
                sell[u] = capPrice(sell[u] + raise * secondStepWon);
            }
        } else {
            // Purchase pass: the price fell or stayed; buy level by level while it reaches
            // the level's price and the cash pays for it in full.
            std::int32_t u = level;
            if (lastSide == 'B') {
                if (level == bottomLevel) {
                    prev = last = t;
                    return;
                }
                u = level + 1;
            }
            for (; u < gridLevels; ++u) {
                const std::int32_t l = price[u];
                if (t > l)
                    break;
                const std::int32_t x = onGrid ? l : t;
                const std::int32_t q = qty[u];
                const std::int64_t k = static_cast<std::int64_t>(q) * x;
                const std::int32_t fee = trunc32(static_cast<double>(k) * commission);
                if (cash - static_cast<double>(k) - fee < 0)
                    break;
                bought.count += q;
                bought.amount += static_cast<double>(k);
                bought.commission += fee;
                cash -= static_cast<double>(k) + fee;
                shares += q;
                s.totBuy += static_cast<double>(k);
                level = u;
                lastSide = 'B';
            }
        }
        prev = last = t;
        onGrid = true;
    };

    // The days of a valuation that end before date t end with the state as it stands: a walk
    // stopped at such a day would stop at this date record.
    DayValuation* const valuation = this->valuation;
    auto valueDaysBefore = [&](std::int64_t t) {
        std::size_t k = valuation->next;
        if (k == valuation->count || valuation->dates[k] >= t)
            return;
        const double held = static_cast<double>(static_cast<std::int64_t>(shares) + s.shares2);
        const std::int32_t lastPrice = last;
        const double money = cash;
        do {
            valuation->values[k] += held * lastPrice + money;
        } while (++k < valuation->count && valuation->dates[k] < t);
        valuation->next = k;
    };

    // One record, as the rules read it. True: a date after `until`, which ends the call.
    auto record = [&](std::int32_t t) __attribute__((always_inline))->bool
    {
        if (t <= dateThreshold && trading) {
            if (t > buyFirst && t < saleFirst) {
                prev = last = t;
                onGrid = true;
            } else {
                runPass(t);
                findFirstLevels();
            }
            return false;
        }
        if (t > dateThreshold) {
            if (valuation)
                valueDaysBefore(t);
            if (t > until)
                return true;
            day = t;
            dayOpen = false;
            trading = false;
            return false;
        }
        if (!dayOpen) {
            // The day's first value, the base price: never traded, compared for a split.
            dayOpen = true;
            trading = day >= fundStart;
            onGrid = false;
            prev = last;
            if (stockStarted[stock] == 1 && last != t) {
                // Only a jump outside the split bands changes the holding or the grid.
                if (!splitLeavesAlone(t, last)) {
                    s.shares = shares;
                    const std::int32_t change = adjustForSplit(stock, t, last);
                    shares = s.shares;
                    moved = true;
                    findFirstLevels();
                    if (change != 0 && logEnabled)
                        writeTrade(tradeLine(dateText(day), s, TradeKind::Adjustment, change, last, t, 0, 0));
                }
                prev = t;
                last = t;
            }
            stockStarted[stock] = 1;
        }
        return false; // or a price of a day before the fund's start
    };

    // The quiet band of the current state: a price above buyAt and below sellAt trades nothing
    // once the day's first check has run (see above).
    std::int64_t buyAt = 0;
    std::int64_t sellAt = 0;
    auto workOutBand = [&]() __attribute__((always_inline))
    {
        moved = false;
        const std::int32_t up = lastSide == 'S' ? level - 1 : level;
        const bool canSell = !(lastSide == 'S' && level == topLevel) && up > 0 && (shares / shareStep) * shareStep != 0;
        sellAt = canSell ? sell[up] : std::numeric_limits<std::int64_t>::max();
        const std::int32_t down = lastSide == 'B' ? level + 1 : level;
        bool canBuy = !(lastSide == 'B' && level == bottomLevel) && down < gridLevels;
        if (canBuy) {
            const std::int64_t k = static_cast<std::int64_t>(qty[down]) * price[down];
            const std::int32_t fee = trunc32(static_cast<double>(k) * commission);
            canBuy = !(cash - static_cast<double>(k) - fee < 0);
        }
        buyAt = canBuy ? price[down] : std::numeric_limits<std::int64_t>::min();
    };
    // Whether prices from `low` to `high`, next in the current day, can be passed.
    auto quiet = [&](std::int64_t low, std::int64_t high) __attribute__((always_inline))
    {
        if (!(trading && onGrid))
            return false;
        if (moved)
            workOutBand();
        return low > buyAt && high < sellAt;
    };

    const auto count = static_cast<std::int32_t>(values.size());
    const std::int32_t* const number = values.data();
    std::int32_t i = pos >= 0 ? pos / priceRecordSize : count;
    std::int64_t walked = 0;

    // Records i to `stop` one by one. A run of prices that stop their pass at once is read in a
    // loop of its own, which leaves what each of them would: prev and last at the run's last
    // price, onGrid set. True: a date after `until` was read; i is left on it.
    auto walkTo = [&](std::int32_t stop) __attribute__((always_inline))->bool
    {
        const std::int32_t from = i;
        bool ended = false;
        while (i < stop) {
            if (trading) {
                const std::int32_t low = buyFirst;
                const std::int32_t high = std::min(saleFirst, dateThreshold + 1);
                std::int32_t j = i;
                while (j < stop && number[j] > low && number[j] < high)
                    ++j;
                if (j > i) {
                    prev = last = number[j - 1];
                    onGrid = true;
                    i = j;
                    if (i == stop)
                        break;
                }
            }
            if (record(number[i])) {
                ended = true;
                break;
            }
            ++i;
        }
        walked += i - from;
        return ended;
    };

    // How many days from day k (at record i) can be passed whole.
    const PriceIndex& index = file.index();
    // Days at or past this one are after `until`, where the dates ascend.
    const std::size_t untilDay = walk == WalkMode::Skipping && index.ascending() ? index.dayAfter(until) : 0;
    auto wholeDays = [&](std::size_t k, const PriceIndex::Day& d) __attribute__((always_inline))->std::size_t
    {
        // The bounds of the day's blocks, in its second line, in case the day is walked.
        __builtin_prefetch(d.block);
        if (stockStarted[stock] != 1 || d.date < fundStart || !splitLeavesAlone(d.base, last)
            || (lastSide == 'S' && level == topLevel))
            return 0;
        if (moved)
            workOutBand();
        // A window's first checks are priced at their own price, so the cash does not widen the
        // band for them: the window's lowest price must lie above the next purchase level.
        // The longest window that holds, found without a branch per window.
        const auto band = d.limits(buyFirst, sellAt);
        unsigned windows = 0;
        for (int j = 0; j < PriceIndex::spanLevels; ++j)
            windows |= static_cast<unsigned>(band.hold(d.span[j])) << j;
        windows &= d.whole;
        if (index.ascending()) {
            // Windows of 2 << j days up to `until`: j up to bit_width(room) - 2.
            const std::size_t room = untilDay > k ? untilDay - k : 0;
            const int widest = std::min(static_cast<int>(std::bit_width(room)) - 2, PriceIndex::spanLevels - 1);
            windows &= widest < 0 ? 0u : (2u << widest) - 1;
        } else {
            for (int j = 0; j < PriceIndex::spanLevels; ++j)
                if ((windows >> j & 1) && index.day(k + (std::size_t{2} << j) - 1).date > until)
                    windows &= ~(1u << j);
        }
        if (windows != 0) {
            // The day after the window is read next, and its blocks if it may trade.
            const std::size_t n = std::size_t{2} << (std::bit_width(windows) - 1);
            __builtin_prefetch(&index.day(k + n));
            __builtin_prefetch(index.day(k + n).block);
            return n;
        }
        // The day alone.
        const bool quietDay
            = d.date <= until && d.first > buyFirst && d.first < sellAt && d.low > buyAt && d.high < sellAt;
        return quietDay && index.dayEnd(k) - d.at > 2 ? 1 : 0;
    };

    if (walk == WalkMode::Plain || index.dayCount() == 0) {
        walkTo(count);
    } else {
        for (std::size_t k = index.dayFrom(i);; ++k) {
            // Records before the next day's date one by one: values with no date before them at
            // the start of a file, or the rest of a day a call began within.
            if (walkTo(k < index.dayCount() ? index.day(k).at : count) || i >= count)
                break;
            const PriceIndex::Day& d = index.day(k);
            if (const std::size_t n = wholeDays(k, d)) {
                // Days passed whole: each day's base price trading against the day before, its
                // first check and its rest within the band.
                if (valuation) {
                    // The holding and the cash stay as they are over the window; each day's value
                    // is the holding at the last price of the day before it.
                    const double held = static_cast<double>(static_cast<std::int64_t>(shares) + s.shares2);
                    const double money = cash;
                    const std::int32_t* const dates = valuation->dates;
                    double* const values = valuation->values;
                    std::size_t v = valuation->next;
                    for (const PriceIndex::DayEnd* e = index.dayEnds() + k; e != index.dayEnds() + k + n; ++e) {
                        for (; v < valuation->count && dates[v] < e->date; ++v)
                            values[v] += held * last + money;
                        last = e->last;
                    }
                    valuation->next = v;
                }
                k += n - 1;
                const PriceIndex::Day& e = index.day(k);
                i = index.dayEnd(k);
                day = e.date;
                dayOpen = trading = onGrid = true;
                prev = last = e.last;
                counts.days += static_cast<std::int64_t>(n);
                counts.daysPassed += static_cast<std::int64_t>(n);
                continue;
            }
            const std::int32_t end = index.dayEnd(k);
            const std::int32_t blocks = index.blockCount(k);
            if (blocks > 0) {
                // The prices of the first block that may trade lie far away in memory: asked for
                // now, they arrive while the day's first records are read.
                if (moved)
                    workOutBand();
                const PriceIndex::Bounds* bounds = index.blockBounds(k);
                const auto band = d.limits(buyAt, sellAt);
                for (std::int32_t b = 0; b < blocks; ++b) {
                    if (!band.hold(bounds[b])) {
                        const std::int32_t* first = number + d.at + PriceIndex::restOffset + b * PriceIndex::blockSize;
                        __builtin_prefetch(first - 1);
                        __builtin_prefetch(first + PriceIndex::blockSize - 1);
                        break;
                    }
                }
            }
            if (record(d.date))
                break;
            ++i, ++walked;
            if (i < end) {
                record(d.base);
                ++i, ++walked;
            }
            if (i < end) {
                record(d.first);
                ++i, ++walked;
            }
            if (i == end)
                continue;
            ++counts.days;
            if (quiet(d.low, d.high)) {
                prev = last = d.last;
                i = end;
                ++counts.daysPassed;
                continue;
            }
            if (blocks == 0) {
                walkTo(end); // a value record never ends the call
                continue;
            }
            // Blocks: those whose prices cannot trade are passed, the others walked.
            const PriceIndex::Bounds* bounds = index.blockBounds(k);
            const std::int32_t rest = i;
            for (std::int32_t b = 0; b < blocks; ++b) {
                const std::int32_t from = b;
                if (trading && onGrid) {
                    if (moved)
                        workOutBand();
                    const auto band = d.limits(buyAt, sellAt);
                    while (b < blocks && band.hold(bounds[b]))
                        ++b;
                }
                counts.blocks += b - from + (b < blocks);
                counts.blocksPassed += b - from;
                if (b == blocks) {
                    prev = last = d.last;
                    i = end;
                    break;
                }
                if (b > from) {
                    i = rest + b * PriceIndex::blockSize;
                    prev = last = number[i - 1];
                }
                walkTo(std::min(i + PriceIndex::blockSize, end));
            }
        }
    }
    counts.recordsWalked += walked;
    if (valuation)
        valueDaysBefore(static_cast<std::int64_t>(until) + 1);
    s.shares = shares;
    s.cash = cash;
    s.level = level;
    s.lastSide = lastSide;
    s.last = last;

    // The end of the call: a date after `until`, or the end of the stock's data, which closes
    // the day the same way.
    if (prev > 0)
        s.last = prev;
    const std::int32_t result = i < count ? i * priceRecordSize : endOfData;
    if (!logEnabled)
        return result;
    closingLog.write(closingCsvField(s.last));
    if (day > 0) {
        const std::string date = dateText(day);
        if (bought.count > 0)
            writeTrade(
                tradeSummaryLine(date, s, TradeKind::Purchases, bought.count, bought.amount, bought.commission, 0));
        if (sold.count > 0)
            writeTrade(tradeSummaryLine(date, s, TradeKind::Sales, sold.count, sold.amount, sold.commission, sold.tax));
    }
    return result;
}

// Levels 1 to span + baseOffset - 1 lie above the base level, one upward step apart; the levels
// below step down to the bottom and beyond it, where a level whose price would be 0 or less is
// all zeros. Every level sells at its price plus the margin.
void CSimEngine::layoutGrid(int stock, std::int32_t base, std::int32_t unit, std::int32_t span, std::int32_t upStep,
                            std::int32_t downStep, std::int32_t marginPct)
{
    auto& price = levelPrice[stock];
    auto& qty = levelQty[stock];
    auto& sell = sellPrice[stock];
    const std::int32_t baseLevel = span + baseOffset;
    for (std::int32_t k = 1; k < gridLevels; ++k) {
        const std::int64_t raw = k < baseLevel
            ? static_cast<std::int64_t>(base) + static_cast<std::int64_t>(baseLevel - k) * upStep
            : static_cast<std::int64_t>(base) - static_cast<std::int64_t>(k - baseLevel) * downStep;
        if (raw <= 0) {
            price[k] = qty[k] = sell[k] = 0;
            continue;
        }
        const std::int32_t l = tickRound(capPrice(raw), k < baseLevel ? Round::Up : Round::Down);
        price[k] = l;
        qty[k] = unit;
        sell[k] = tickRound(capPrice(l + trunc32(static_cast<double>(static_cast<std::int64_t>(l) * marginPct) * 0.01)),
                            Round::Up);
    }
}

std::int32_t CSimEngine::adjustForSplit(int stock, std::int32_t t, std::int32_t p)
{
    if (splitLeavesAlone(t, p))
        return 0;
    StockSlot& s = slots[stock];
    auto& price = levelPrice[stock];
    auto& qty = levelQty[stock];
    auto& sell = sellPrice[stock];
    const std::int64_t total = static_cast<std::int64_t>(s.shares) + s.shares2;
    std::int32_t held = 0;
    if (p > t) {
        const double f = static_cast<double>(p) / t;
        const double d = static_cast<double>(p - t) / p;
        if (d >= gridSplitBand) {
            for (int k = 1; k < gridLevels; ++k) {
                if (price[k] <= 0)
                    continue;
                price[k] = tickRound(trunc32(price[k] / f), Round::Down);
                sell[k] = tickRound(trunc32(sell[k] / f), Round::Up);
                qty[k] = roundTen(trunc32(qty[k] * f));
            }
        }
        held = trunc32(static_cast<double>(p) * static_cast<double>(total) / t);
        s.mult *= f;
    } else {
        const double g = static_cast<double>(t) / p;
        for (int k = 1; k < gridLevels; ++k) {
            if (price[k] <= 0)
                continue;
            price[k] = tickRound(capPrice(static_cast<std::int64_t>(trunc32(price[k] * g))), Round::Down);
            sell[k] = tickRound(capPrice(static_cast<std::int64_t>(trunc32(sell[k] * g))), Round::Up);
            qty[k] = roundTen(trunc32(qty[k] / g));
        }
        held = trunc32(static_cast<double>(total) / g);
        s.mult *= 1 / g;
    }
    s.shares = held;
    s.shares2 = 0;
    return static_cast<std::int32_t>(held - total);
}

void CSimEngine::writeTrade(const std::string& line) { tradeLog.write(line); }

} // namespace kestrelan
