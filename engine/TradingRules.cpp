// The trading rules over the loaded price files: the initial purchase with its grid, the
// day-by-day rebalancing and the split adjustment.

#include "engine/TradingRules.h"

#include "engine/CSimEngine.h"
#include "engine/Dates.h"
#include "engine/ResultLines.h"
#include "engine/TickRound.h"
#include "formats/ClosingCsv.h"

#include <algorithm>

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

std::int32_t CSimEngine::rebalance(InvestMode investMode, int stock, std::int32_t until, std::int32_t pos,
                                   bool includeTax, bool logEnabled, double commission)
{
    const std::span<const std::int32_t> values = priceFile[stock]->values();
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

    const auto count = static_cast<std::int32_t>(values.size());
    std::int32_t i = pos >= 0 ? pos / priceRecordSize : count;
    for (; i < count; ++i) {
        const std::int32_t t = values[static_cast<std::size_t>(i)];
        if (t > dateThreshold) {
            if (t > until)
                break;
            day = t;
            dayOpen = false;
            continue;
        }
        if (!dayOpen) {
            // The day's first value, the base price: never traded, compared for a split.
            dayOpen = true;
            onGrid = false;
            prev = last;
            if (stockStarted[stock] == 1 && last != t) {
                s.shares = shares;
                const std::int32_t change = adjustForSplit(stock, t, last);
                shares = s.shares;
                if (change != 0 && logEnabled)
                    writeTrade(tradeLine(dateText(day), s, TradeKind::Adjustment, change, last, t, 0, 0));
                prev = t;
                last = t;
            }
            stockStarted[stock] = 1;
            continue;
        }
        if (day < s.sDate)
            continue;
        if (prev < t) {
            // Sale pass: the price rose; sell level by level while it reaches the sell price.
            std::int32_t u = level;
            if (lastSide == 'S') {
                if (level == topLevel) {
                    prev = last = t;
                    continue;
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
                    continue;
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
    }
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
    if (t <= 0 || p <= 0)
        return 0; // a corrupt record: no ratio to adjust by
    StockSlot& s = slots[stock];
    auto& price = levelPrice[stock];
    auto& qty = levelQty[stock];
    auto& sell = sellPrice[stock];
    const std::int64_t total = static_cast<std::int64_t>(s.shares) + s.shares2;
    std::int32_t held = 0;
    if (p > t) {
        const double f = static_cast<double>(p) / t;
        const double d = static_cast<double>(p - t) / p;
        if (d <= splitBand)
            return 0;
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
        const double e = static_cast<double>(t - p) / t;
        if (e <= splitBand)
            return 0;
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
