// The result files as the results window and kestrelan-cli show read them.

#include "FuzzSupport.h"
#include "platform/core/TextFile.h"
#include "results/core/ChartData.h"
#include "results/core/SummaryTables.h"
#include "tools/ShowCommand.h"

using namespace kestrelan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto p = fuzz::parts(data, size, 4);
    fuzz::clear();
    const char* names[] = {"result.csv", "gen.csv", "closing.csv", "trade.csv"};
    for (int i = 0; i < 4; ++i)
        if (!p[static_cast<std::size_t>(i)].empty() || i < 3)
            fuzz::write(names[i], p[static_cast<std::size_t>(i)]);
    fuzz::Quiet quiet;
    const ResultKind kind = classifyResult(fuzz::folder());
    resultStockCount(fuzz::folder());
    for (ResultKind k : {kind, ResultKind::FundSeries, ResultKind::SingleFundTraded}) {
        if (const auto damaged = findDamagedLine(k, fuzz::folder()))
            damagedLineMessage(*damaged);
        const SummaryTables t = fillSummaryTables(k, fuzz::folder(), quiet);
        yieldChartData(t);
        seriesChartData(t);
        for (std::size_t s = 0; s <= t.stockCodes.size(); ++s)
            stockChartData(t, s, p[3]);
        showTables(k, t);
    }
    return 0;
}
