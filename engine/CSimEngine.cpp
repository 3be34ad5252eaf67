// The engine's two steps for one stock over its loaded price file: the initial purchase, which
// sizes and lays out the stock's grid, and a rebalancing call, which walks the prices up to a day
// with the stock's GridPosition and writes the detail logs.

#include "engine/CSimEngine.h"

#include "engine/Dates.h"
#include "engine/ResultLines.h"
#include "engine/SkippingWalk.h"
#include "engine/TickRound.h"
#include "engine/TradingRules.h"
#include "formats/ClosingCsv.h"

#include <algorithm>

namespace kestrelan {

using namespace rules;

namespace {

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

std::int32_t rangeBottom(std::int32_t rangeLowPct, std::int32_t p, const TickTable* ticks)
{
    return tickRound(trunc32(static_cast<double>(static_cast<std::int64_t>(rangeLowPct) * p) * 0.01), Round::Down,
                     ticks);
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
/// trade's side at the base level, and the money (with what the trade paid, as trade.csv shows it).
void openPosition(StockSlot& s, std::int32_t kept, std::int32_t unit, std::int32_t span, std::int32_t up,
                  std::int32_t down, char side, std::int32_t price, double cash, double bought, double sold,
                  const TradeTally& paid)
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
    s.fills = 0;
    s.commissionPaid = paid.commission;
    s.taxPaid = paid.tax;
}

/// The opening trade among the first day's fills: the purchase in the amount modes, the sale of
/// the shares not kept in share-count mode.
void countOpeningTrade(GridPosition& position, InvestMode investMode, const StockSlot& s, const TradeCosts& costs)
{
    TradeTally bought, sold;
    if (investMode == InvestMode::ShareCount) {
        sold.count = s.startSold;
        sold.amount = static_cast<double>(static_cast<std::int64_t>(s.initial) * s.startSold);
        sold.commission = trunc32(sold.amount * costs.commission);
        sold.tax = trunc32(sold.amount * costs.tax);
    } else {
        bought.count = s.firstVol;
        bought.amount = static_cast<double>(static_cast<std::int64_t>(s.initial) * s.firstVol);
        bought.commission = trunc32(bought.amount * costs.commission);
    }
    position.countOpening(bought, sold);
}

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
    // The opening day's rules: its ticks lay out the grid, its tax is on the opening sale.
    const DayRules day = rules->on(d).day;
    const double tax = includeTax ? day.salesTax : 0.0;

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
        const std::int32_t b = rangeBottom(s.rangeLowPct, p, day.ticks);
        const double divisor = downDivisor(a, r, p, b, w);
        if (divisor <= 0)
            return -1;
        const std::int32_t g = downStepFor(divisor, p, b, w);
        grids[stock].layOut(p, w, n, up, g, m, day.ticks);
        const std::int64_t cost = static_cast<std::int64_t>(v) * p;
        const std::int32_t fee = trunc32(static_cast<double>(cost) * commission);
        s.shares = v;
        openPosition(s, v, w, n, up, g, 'B', p, static_cast<double>(a) - fee - static_cast<double>(cost),
                     static_cast<double>(cost), 0, {.commission = static_cast<double>(fee)});
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
        = tickRound(static_cast<std::int32_t>(static_cast<std::int64_t>(p) * 100 / (m + 100)), Round::Down, day.ticks);
    const std::int32_t x = upperTarget(s.rangeHighPct, p, m);
    const double holding = static_cast<double>(shareCount) * p;
    if (holding > largestHolding)
        return -1;
    const std::int32_t up = (x - q) / (n - 1);
    const std::int32_t newInvest = static_cast<std::int32_t>(holding);
    const std::int32_t b = rangeBottom(s.rangeLowPct, p, day.ticks);
    const double divisor = downDivisor(newInvest, r, q, b, w);
    if (divisor <= 0)
        return -1;
    const std::int32_t g = downStepFor(divisor, q, b, w);
    if (logEnabled)
        writeTrade(tradeLine(dateText(s.sDate), s, TradeKind::Initial, shareCount, p, 0, 0, 0));
    s.startSold = shareCount - v;
    s.shares = v;
    s.invest = newInvest;
    grids[stock].layOut(q, w, n, up, g, m, day.ticks);
    const std::int64_t proceeds = static_cast<std::int64_t>(shareCount - v) * p;
    const std::int32_t fee = trunc32((tax + commission) * static_cast<double>(proceeds));
    const TradeTally paid{.commission = static_cast<double>(trunc32(static_cast<double>(proceeds) * commission)),
                          .tax = static_cast<double>(trunc32(static_cast<double>(proceeds) * tax))};
    openPosition(s, v, w, n, up, g, 'S', p, static_cast<double>(proceeds) - fee, 0, static_cast<double>(proceeds), paid);
    return 0;
}

std::int32_t CSimEngine::rebalance(InvestMode investMode, int stock, std::int32_t until, std::int32_t pos,
                                   bool includeTax, bool logEnabled, double commission, DayValuation* valuation)
{
    const PriceFile& file = *priceFile[stock];
    StockSlot& s = slots[stock];
    const std::int32_t first = pos >= 0 ? pos / priceRecordSize : -1;
    // The tax of the opening day (the first call starts at its date record), as the opening sale paid.
    const std::int32_t opening = first >= 0 && first < file.recordCount() && file.value(first) > dateThreshold
        ? file.value(first)
        : s.sDate;
    const TradeCosts costs{commission, includeTax ? rules->on(opening).day.salesTax : 0.0};
    std::vector<SplitNote> splits;
    PriceWalk walk(GridPosition(s, grids[stock], costs), file.values(), first, s.sDate, until,
                   stockStarted[stock] == 1, valuation, logEnabled ? &splits : nullptr, *rules, includeTax);
    std::vector<DividendNote> paid;
    walk.payDividends(dividends[stock], logEnabled ? &paid : nullptr);
    if (logEnabled && stockStarted[stock] == 0)
        countOpeningTrade(walk.position, investMode, s, costs); // the day's summaries start from it
    if (this->walk == WalkMode::Skipping && file.index().dayCount() > 0)
        walkSkipping(walk, file.index(), counts);
    else
        walk.walkTo(walk.count);
    counts.recordsWalked += walk.walked;
    if (valuation)
        walk.valueDaysBefore(static_cast<std::int64_t>(until) + 1);
    walk.position.storeInto(s);
    stockStarted[stock] = walk.started ? 1 : 0;
    dividendsPaid[stock] += walk.dividendsPaid();
    if (logEnabled)
        writeDayLogs(s, walk.day, splits, paid, walk.position);
    // A date after `until`, or the end of the stock's data.
    return walk.i < walk.count ? walk.i * priceRecordSize : endOfData;
}

// The call's lines of the detail logs: its dividends and splits, the stock's closing price, and the day's
// purchases and sales.
void CSimEngine::writeDayLogs(const StockSlot& s, std::int32_t day, const std::vector<SplitNote>& splits,
                              const std::vector<DividendNote>& paid, const GridPosition& position)
{
    for (const DividendNote& d : paid)
        writeTrade(tradeLine(dateText(d.date), s, TradeKind::Dividend, d.shares, d.wonPerShare, d.gross, 0, d.tax));
    for (const SplitNote& split : splits)
        writeTrade(tradeLine(dateText(split.date), s, TradeKind::Adjustment, split.change, split.from, split.to, 0, 0));
    closingLog.write(closingCsvField(s.last));
    if (day <= 0)
        return;
    const std::string date = dateText(day);
    const TradeTally& bought = position.purchases();
    const TradeTally& sold = position.sales();
    if (bought.count > 0)
        writeTrade(tradeSummaryLine(date, s, TradeKind::Purchases, bought.count, bought.amount, bought.commission, 0));
    if (sold.count > 0)
        writeTrade(tradeSummaryLine(date, s, TradeKind::Sales, sold.count, sold.amount, sold.commission, sold.tax));
}

void CSimEngine::writeTrade(const std::string& line) { tradeLog.write(line); }

} // namespace kestrelan
