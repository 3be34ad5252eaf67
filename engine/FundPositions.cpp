#include "engine/FundPositions.h"

#include <algorithm>

namespace kestrelan {

std::vector<std::int32_t> fundPositions(const PriceFile& file, std::span<const std::int32_t> fundStarts)
{
    const std::int32_t count = file.recordCount();
    std::vector<std::int32_t> pos(fundStarts.size(), 0);
    if (fundStarts.empty())
        return pos;
    const std::int32_t lastStart = fundStarts.back();
    std::int32_t lastRead = 0;
    bool exhaustedFromStart = false; // a search from record 0 found nothing: later starts won't either
    for (std::size_t k = 0; k < fundStarts.size(); ++k) {
        if (exhaustedFromStart)
            break;
        std::int32_t i = k > 0 ? pos[k - 1] / priceRecordSize : 0;
        const std::int32_t from = i;
        for (; i < count; ++i) {
            lastRead = file.value(i);
            if (lastRead >= fundStarts[k])
                break;
        }
        if (i < count) {
            pos[k] = i * priceRecordSize;
        } else if (from == 0) {
            exhaustedFromStart = true;
        }
        if (lastRead > lastStart) {
            std::fill(pos.begin() + static_cast<std::ptrdiff_t>(k) + 1, pos.end(), pos[k]);
            break;
        }
    }
    return pos;
}

} // namespace kestrelan
