#include "engine/TotalDivision.h"

#include "engine/Dates.h"
#include "engine/TradingRules.h"
#include "platform/core/Format.h"

#include <vector>

namespace kestrelan {

namespace {

using rules::minimumShares;
using rules::trunc32;

constexpr double unitCostFactor = 1.01; // the last price before the fund plus 1 %
constexpr std::int32_t latestTradingDays = 4;
constexpr std::int32_t amountStep = 1000; // amounts are whole thousands of won
constexpr double ratioStep = 0.001;

void tooSmall(std::int32_t fundStart, IMessageSink& messages)
{
    messages.show(format("시작일 %d : 전종목 최소수량으로도 매수불가능한 초기비중", fundStart));
}

// A stock's unit cost: its last price before the fund's first trading day plus 1 %; 0 when the
// stock has no such price (its data starts with that day) or starts trading more than
// latestTradingDays counted days after the fund.
std::int32_t unitCost(std::int32_t fundStart, const PriceFile& file, std::int32_t position)
{
    const std::int32_t index = position / priceRecordSize;
    if (index <= 0 || index >= file.recordCount())
        return 0;
    if (dayCount(fundStart, file.value(index)) > latestTradingDays)
        return 0;
    return trunc32(file.value(index - 1) * unitCostFactor);
}

} // namespace

std::optional<double> divideTotal(std::int32_t fundStart, std::int32_t total, double ratio,
                                  std::span<const PriceFile* const> files, std::span<const std::int32_t> positions,
                                  std::span<std::int32_t> amounts, IMessageSink& messages)
{
    const std::size_t n = files.size();
    std::vector<std::int32_t> unit(n), quantity(n, 0);
    std::size_t unavailable = 0;
    double need = 0;
    for (std::size_t i = 0; i < n; ++i) {
        unit[i] = unitCost(fundStart, *files[i], positions[i]);
        unavailable += unit[i] == 0;
        need += static_cast<double>(minimumShares) * unit[i];
    }
    if (ratio * total < need) {
        tooSmall(fundStart, messages);
        return std::nullopt;
    }
    if (unavailable == n)
        return std::nullopt;

    const double target = ratio;
    std::int32_t share = total / static_cast<std::int32_t>(n - unavailable);
    share = share / amountStep * amountStep;
    for (;;) {
        std::int32_t r = share;
        double sum = 0;
        for (;;) {
            sum = 0;
            const double x = static_cast<double>(r) * ratio;
            for (std::size_t i = 0; i < n; ++i) {
                const double minimumCost = static_cast<double>(minimumShares) * unit[i];
                if (minimumCost > x) {
                    // Rounded to the nearest thousand.
                    amounts[i] = trunc32(minimumCost / ratio + amountStep / 2) / amountStep * amountStep;
                    quantity[i] = minimumShares;
                } else if (unit[i] > 0) {
                    amounts[i] = r;
                    quantity[i] = trunc32(x / unit[i]) / rules::shareStep * rules::shareStep;
                } else {
                    amounts[i] = 0;
                }
                sum += amounts[i];
            }
            if (sum <= total)
                break;
            if (r <= 0) {
                // Even the minimum amounts, rounded up to thousands, exceed the total.
                tooSmall(fundStart, messages);
                return std::nullopt;
            }
            r -= amountStep;
        }
        amounts[0] += static_cast<std::int32_t>(total - sum);
        double estimate = 0;
        for (std::size_t i = 0; i < n; ++i)
            estimate += static_cast<double>(quantity[i]) * unit[i];
        if (estimate / total - target > -ratioStep)
            return ratio;
        ratio += ratioStep;
    }
}

} // namespace kestrelan
