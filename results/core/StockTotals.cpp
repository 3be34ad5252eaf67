#include "results/core/StockTotals.h"

namespace kestrelan {

StockTotal stockTotal(const GenCsvRow& row)
{
    return {row.invest, static_cast<double>(row.shares) * row.lastPrice * 0.001 + row.cash, row.gain};
}

StockTotals stockTotals(const std::vector<GenCsvRow>& rows)
{
    StockTotals t;
    for (const auto& row : rows) {
        if (!row.extent.complete)
            continue;
        const StockTotal s = stockTotal(row);
        t.stocks.push_back(s);
        ++t.count;
        t.invest += s.invest;
        t.value += s.value;
        t.gain += s.gain;
    }
    return t;
}

} // namespace kestrelan
