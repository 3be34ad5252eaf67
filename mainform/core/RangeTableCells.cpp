#include "mainform/core/RangeTableCells.h"

#include "platform/core/Format.h"

namespace kestrelan {

std::vector<std::array<std::string, 3>> rangeTableCells(const RangeTable& table, int riskProfile)
{
    std::vector<std::array<std::string, 3>> cells;
    for (const RangeRow& row : table.rows) {
        std::string band = format("%d ~ %d", row.indexLow(), row.indexHigh());
        if (row.indexLow() == 0)
            band = format("%d 이하", row.indexHigh());
        if (row.indexHigh() == 0)
            band = format("%d 이상", row.indexLow());
        cells.push_back({band, format("%d%%", row.initialBuyPct(riskProfile)),
                         format("%d%% ~ %d%%", row.rangeLowPct(riskProfile), row.rangeHighPct(riskProfile))});
    }
    return cells;
}

} // namespace kestrelan
