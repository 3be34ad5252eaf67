#include "engine/TotalDivision.h"

#include "engine/Dates.h"
#include "engine/TradingRules.h"
#include "platform/core/Format.h"

#include <vector>

namespace kestrelan {

namespace {

void tooSmall(std::int32_t fundStart, IMessageSink& messages)
{
    messages.show(format("시작일 %d : 전종목 최소수량으로도 매수불가능한 초기비중", fundStart));
}

// A stock's unit cost: its last price before the fund's first trading day plus 1 %; 0 when the
// stock has no such price (its data starts with that day) or starts trading more than 4 counted
// days after the fund.
std::int32_t unitCost(std::int32_t fundStart, const PriceFile& file, std::int32_t position)
{
    const std::int32_t index = position / priceRecordSize;
    if (index <= 0 || index >= file.recordCount())
        return 0;
    if (dayCount(fundStart, file.value(index)) > 4)
        return 0;
    return rules::trunc32(file.value(index - 1) * 1.01);
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
        need += 20.0 * unit[i];
    }
    if (ratio * total < need) {
        tooSmall(fundStart, messages);
        return std::nullopt;
    }
    if (unavailable == n)
        return std::nullopt;

    const double target = ratio;
    std::int32_t share = total / static_cast<std::int32_t>(n - unavailable);
    share = share / 1000 * 1000;
    for (;;) {
        std::int32_t r = share;
        double sum = 0;
        for (;;) {
            sum = 0;
            const double x = static_cast<double>(r) * ratio;
            for (std::size_t i = 0; i < n; ++i) {
                if (20.0 * unit[i] > x) {
                    amounts[i] = rules::trunc32(20.0 * unit[i] / ratio + 500) / 1000 * 1000;
                    quantity[i] = 20;
                } else if (unit[i] > 0) {
                    amounts[i] = r;
                    quantity[i] = rules::trunc32(x / unit[i]) / 10 * 10;
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
            r -= 1000;
        }
        amounts[0] += static_cast<std::int32_t>(total - sum);
        double estimate = 0;
        for (std::size_t i = 0; i < n; ++i)
            estimate += static_cast<double>(quantity[i]) * unit[i];
        if (estimate / total - target > -0.001)
            return ratio;
        ratio += 0.001;
    }
}

} // namespace kestrelan
