#include "engine/ResultLines.h"

#include "engine/Dates.h"
#include "platform/core/Cp949.h"
#include "platform/core/Format.h"

#include <cstring>

namespace kestrelan {

const std::string& resultCsvHeader()
{
    static const std::string text = toCp949("시작일,종료일,시작일지수,종료일지수,총투자비,최초매수액, 주식평가액, "
                                            "최종평가액,KOSPI수익률,수익률,총매매금액,매매회전수,매매차익\n");
    return text;
}

const std::string& resultTxtHeader()
{
    static const std::string text
        = "Code, Item, sDate, eDate, sKospi, eKospi, Invest, Init, First Vol, Auto Vol, SellStep, Top, Bottom, "
          "Sell, Second, Yield, Initial, Last, Share, Trade, totBuy, totSell, mult, Gain\n";
    return text;
}

double indexYield(float endIndex, float startIndex)
{
    const float yield = endIndex / startIndex - 1.0f;
    return static_cast<double>(yield);
}

std::string resultCsvLine(std::string_view startText, std::string_view endText, float startIndex, float endIndex,
                          const DaySums& sums, double kospiYield)
{
    const bool invested = sums.investSum != 0;
    const double fundYield = invested ? sums.valueSum / sums.investSum - 1 : 0.0;
    const double turnover = invested ? sums.tradeSum / sums.investSum * 0.5 : 0.0;
    return format("%.*s,%.*s,%.2f,%.2f,%.0f,%.0f,%.0f,%.0f,%f,%f,%.0f,%f,%.0f\n", static_cast<int>(startText.size()),
                  startText.data(), static_cast<int>(endText.size()), endText.data(), static_cast<double>(startIndex),
                  static_cast<double>(endIndex), sums.investSum, sums.initialSum, sums.stockValueSum, sums.valueSum,
                  kospiYield, fundYield, sums.tradeSum, turnover, sums.gainSum);
}

std::string_view slotCode(const StockSlot& slot) { return std::string_view(slot.itemText, strnlen(slot.itemText, 6)); }

std::string_view slotName(const StockSlot& slot)
{
    if (strnlen(slot.itemText, 7) < 7)
        return {};
    return std::string_view(slot.itemText + 7, strnlen(slot.itemText + 7, 20));
}

namespace {

std::string sv(std::string_view s) { return std::string(s); }

const std::string& kindText(TradeKind kind)
{
    static const std::string initial = toCp949("초매");
    static const std::string adjustment = toCp949("조정");
    static const std::string purchases = toCp949("매수");
    static const std::string sales = toCp949("매도");
    switch (kind) {
    case TradeKind::Initial: return initial;
    case TradeKind::Adjustment: return adjustment;
    case TradeKind::Purchases: return purchases;
    default: return sales;
    }
}

} // namespace

std::string resultTxtLine(const StockSlot& s, std::string_view startText, std::string_view endText)
{
    return format("%s,%s,%s,%s,%.2f,%.2f,%d,%.0f,%d,%d,%d,%d,%d,%d,%d,%.0f,%d,%d,%d,%.0f,%.0f,%.0f,%f,%.0f\n",
                  sv(slotCode(s)).c_str(), sv(slotName(s)).c_str(), sv(startText).c_str(), sv(endText).c_str(),
                  static_cast<double>(s.sKospi), static_cast<double>(s.eKospi), s.invest,
                  static_cast<double>(s.initial) * s.firstVol, s.firstVol, s.autoVol, s.sellStep, s.rangeHighPct,
                  s.rangeLowPct, s.marginPct, s.secondPct, s.value, s.initial, s.last,
                  static_cast<std::int32_t>(static_cast<std::int64_t>(s.shares) + s.shares2), s.totBuy + s.totSell,
                  s.totBuy, s.totSell, s.mult, s.gain);
}

std::string genCsvLine(const StockSlot& s)
{
    return format("%s,%s,%d,%d,%f,%f,%d,%f\n", sv(slotCode(s)).c_str(), sv(slotName(s)).c_str(), s.last, s.initial,
                  s.invest * 0.001, s.cash * 0.001,
                  static_cast<std::int32_t>(static_cast<std::int64_t>(s.shares) + s.shares2), s.gain * 0.001);
}

std::string tradeLine(std::string_view date, const StockSlot& slot, TradeKind kind, std::int32_t count,
                      std::int32_t price, double f7, double f8, double f9)
{
    return format("%s,%s,%s,%s,%d,%d,%.0f,%.0f,%.0f\n", sv(date).c_str(), sv(slotCode(slot)).c_str(),
                  sv(slotName(slot)).c_str(), kindText(kind).c_str(), count, price, f7, f8, f9);
}

std::string tradeSummaryLine(std::string_view date, const StockSlot& slot, TradeKind kind, std::int32_t count,
                             double amount, double commission, double tax)
{
    return format("%s,%s,%s,%s,%d,%f,%.0f,%.0f,%.0f\n", sv(date).c_str(), sv(slotCode(slot)).c_str(),
                  sv(slotName(slot)).c_str(), kindText(kind).c_str(), count, amount / count, amount, commission, tax);
}

} // namespace kestrelan
