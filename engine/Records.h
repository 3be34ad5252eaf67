#pragma once
// The engine's plain records: a stock's slot within the current fund and a day's totals over the
// stocks. Result lines are formed from them; nothing here runs a rule.

#include "engine/SimParams.h"

#include <cstdint>

namespace kestrelan {

constexpr int gridLevels = 250; // levels 1-249; index 0 is never used

/// One stock within the current fund.
struct StockSlot
{
    char itemText[28];  // code (1-6), separator, name (8-27), NUL
    std::int32_t sDate; // fund start
    std::int32_t eDate; // fund end
    float sKospi;       // KOSPI at the fund start
    float eKospi;       // KOSPI at the fund end
    std::int32_t rangeHighPct;
    std::int32_t rangeLowPct;
    std::int32_t marginPct;
    std::int32_t secondPct;
    double initRatio;       // initial purchase ratio in force, as a fraction
    std::int32_t invest;    // amount in won, or the share count in share-count mode
    std::int32_t startSold; // shares sold at the start in share-count mode
    std::int32_t initial;   // start price
    std::int32_t last;      // latest price read
    std::int32_t firstVol;  // shares bought (or kept) by the initial purchase
    std::int32_t autoVol;   // grid unit
    std::int32_t sellStep;  // levels in the span above the base
    double value;           // valuation on the latest simulated day
    double cash;
    std::int32_t shares;
    std::int32_t shares2; // second share counter; always valued with `shares`
    double totBuy;
    double totSell;
    char lastSide;         // 'B' or 'S': side of the latest trade
    double gain;           // realised trading gain
    std::int32_t upStep;   // grid step above the base
    std::int32_t downStep; // grid step below the base
    std::int32_t level;    // grid index of the latest trade
    double mult;           // price adjustment factor (splits)
    std::int32_t fills;    // grid trades since the initial purchase, purchases and sales
    double commissionPaid; // the commission and the tax paid, the opening trade's included
    double taxPaid;
};

/// The shares held (both counters) at the latest price.
inline double heldValue(const StockSlot& s)
{
    return static_cast<double>(static_cast<std::int64_t>(s.shares) + s.shares2) * s.last;
}

/// One simulated day's totals over the stocks that have bought (firstVol > 0).
struct DaySums
{
    double investSum = 0;
    double initialSum = 0;
    double stockValueSum = 0;
    double valueSum = 0;
    double tradeSum = 0;
    double gainSum = 0;
};

/// What rebalance returns when the stock's price file ended before a date after `until`: no
/// position, since 0 is a valid one (a stock listed after the fund start begins at record 0).
constexpr std::int32_t endOfData = -1;

} // namespace kestrelan
