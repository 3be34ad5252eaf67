#include "engine/CSimEngine.h"

#include "engine/TradingRules.h"

namespace kestrelan {

int CSimEngine::initialPurchase(InvestMode investMode, int stock, std::int32_t pos, bool logEnabled, double commission,
                                bool includeTax)
{
    return initialPurchaseOn(MemoryPrices{*priceFile[stock]}, investMode, stock, pos, logEnabled, commission,
                             includeTax);
}

std::int32_t CSimEngine::rebalance(InvestMode investMode, int stock, std::int32_t until, std::int32_t pos,
                                   bool includeTax, bool logEnabled, double commission)
{
    return rebalanceOn(MemoryPrices{*priceFile[stock]}, investMode, stock, until, pos, includeTax, logEnabled,
                       commission);
}

// Levels 1 to n + 129 lie above the base level n + 130, one upward step apart; the levels below
// step down to the bottom and beyond it, where a level whose price would be 0 or less is all
// zeros. Every level sells at its price plus the margin.
void CSimEngine::layoutGrid(int stock, std::int32_t base, std::int32_t unit, std::int32_t span, std::int32_t upStep,
                            std::int32_t downStep, std::int32_t marginPct)
{
    using namespace rules;
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
    using namespace rules;
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
        if (d <= 0.15)
            return 0;
        if (d >= 0.49) {
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
        if (e <= 0.15)
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
