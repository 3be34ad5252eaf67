// The result files as the results window and kestrelan-cli show read them, and sweep.csv and
// summary.csv as sweep-merge and the summary readers read them.

#include "FuzzSupport.h"
#include "platform/core/TextFile.h"
#include "results/core/ChartData.h"
#include "results/core/SummaryTables.h"
#include "results/core/SweepCsv.h"
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
    // sweep.csv and summary.csv come from other machines and older runs too.
    readSweepCsv(p[0]);
    readSummaryCsv(p[1]);
    return 0;
}
