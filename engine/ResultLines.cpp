#include "engine/ResultLines.h"

#include <cstring>

namespace kestrelan {

namespace {

// Shares held: both counters, added in 64 bits and written as 32.
std::int32_t sharesHeld(const StockSlot& s)
{
    return static_cast<std::int32_t>(static_cast<std::int64_t>(s.shares) + s.shares2);
}

} // namespace

double indexYield(float endIndex, float startIndex)
{
    const float yield = endIndex / startIndex - 1.0f;
    return static_cast<double>(yield);
}

std::string resultCsvLine(std::string_view startText, std::string_view endText, float startIndex, float endIndex,
                          const DaySums& sums, double kospiYield)
{
    const bool invested = sums.investSum != 0;
    return resultCsvLine(ResultCsvRow{.startDate = startText,
                                      .endDate = endText,
                                      .startIndex = static_cast<double>(startIndex),
                                      .endIndex = static_cast<double>(endIndex),
                                      .invest = sums.investSum,
                                      .initial = sums.initialSum,
                                      .stockValue = sums.stockValueSum,
                                      .value = sums.valueSum,
                                      .kospiYield = kospiYield,
                                      .fundYield = invested ? sums.valueSum / sums.investSum - 1 : 0.0,
                                      .trade = sums.tradeSum,
                                      .turnover = invested ? sums.tradeSum / sums.investSum * 0.5 : 0.0,
                                      .gain = sums.gainSum});
}

std::string_view slotCode(const StockSlot& slot) { return std::string_view(slot.itemText, strnlen(slot.itemText, 6)); }

std::string_view slotName(const StockSlot& slot)
{
    if (strnlen(slot.itemText, 7) < 7)
        return {};
    return std::string_view(slot.itemText + 7, strnlen(slot.itemText + 7, 20));
}

std::string resultTxtLine(const StockSlot& s, std::string_view startText, std::string_view endText)
{
    return resultTxtLine(ResultTxtRow{.code = slotCode(s),
                                      .name = slotName(s),
                                      .startDate = startText,
                                      .endDate = endText,
                                      .startIndex = static_cast<double>(s.sKospi),
                                      .endIndex = static_cast<double>(s.eKospi),
                                      .invest = s.invest,
                                      .initialAmount = static_cast<double>(s.initial) * s.firstVol,
                                      .firstVol = s.firstVol,
                                      .autoVol = s.autoVol,
                                      .sellStep = s.sellStep,
                                      .rangeHighPct = s.rangeHighPct,
                                      .rangeLowPct = s.rangeLowPct,
                                      .marginPct = s.marginPct,
                                      .secondPct = s.secondPct,
                                      .value = s.value,
                                      .initialPrice = s.initial,
                                      .lastPrice = s.last,
                                      .shares = sharesHeld(s),
                                      .trade = s.totBuy + s.totSell,
                                      .totBuy = s.totBuy,
                                      .totSell = s.totSell,
                                      .mult = s.mult,
                                      .gain = s.gain});
}

std::string genCsvLine(const StockSlot& s)
{
    return genCsvLine(GenCsvRow{.code = slotCode(s),
                                .name = slotName(s),
                                .lastPrice = s.last,
                                .startPrice = s.initial,
                                .invest = s.invest * 0.001,
                                .cash = s.cash * 0.001,
                                .shares = sharesHeld(s),
                                .gain = s.gain * 0.001});
}

std::string tradeLine(std::string_view date, const StockSlot& slot, TradeKind kind, std::int32_t count,
                      std::int32_t price, double f7, double f8, double f9)
{
    return tradeCsvLine(TradeCsvRow{.date = date,
                                    .code = slotCode(slot),
                                    .name = slotName(slot),
                                    .kind = kind,
                                    .shares = count,
                                    .price = static_cast<double>(price),
                                    .amount = f7,
                                    .commission = f8,
                                    .tax = f9});
}

std::string tradeSummaryLine(std::string_view date, const StockSlot& slot, TradeKind kind, std::int32_t count,
                             double amount, double commission, double tax)
{
    return tradeCsvLine(TradeCsvRow{.date = date,
                                    .code = slotCode(slot),
                                    .name = slotName(slot),
                                    .kind = kind,
                                    .shares = count,
                                    .price = amount / count,
                                    .amount = amount,
                                    .commission = commission,
                                    .tax = tax});
}

} // namespace kestrelan
