#pragma once
// What a run says as a whole, beyond one line per fund: for a fund series, how the yields of its
// funds spread (mean, median, the 10th and 90th percentiles, the worst and the best with their
// start dates) for the fund, the index and the fund's excess over the index, how many funds
// gained and how many beat the index, and the median of their largest falls; for a single fund,
// its risk figures beside the index's. Texts are UTF-8.

#include "formats/ResultCsv.h"
#include "formats/StatsCsv.h"
#include "results/core/ChartData.h"
#include "results/core/SummaryTables.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrelan {

/// How one figure spreads over the funds of a series, in percent.
struct Spread
{
    double mean = 0, median = 0, p10 = 0, p90 = 0;
    double worst = 0, best = 0;
    std::string worstStart, bestStart; // the funds' start dates
};

struct SeriesSummary
{
    int funds = 0;
    Spread fund, index, excess;               // yields in percent; excess = fund - index
    double gainShare = 0, beatShare = 0;      // percent of the funds
    std::optional<double> medianFundDrawdown; // percent, from stats.csv
    std::optional<double> medianIndexDrawdown;
};

/// The summary of a series from its result.csv rows and (when present) its stats.csv rows; the
/// rows of a cut last line are left out. nullopt when no fund is whole.
std::optional<SeriesSummary> summarizeSeries(const std::vector<ResultCsvRow>& results,
                                             const std::vector<StatsCsvRow>& stats);

/// The value at fraction q (0 to 1) of sorted values, between the two nearest ranks.
double percentile(const std::vector<double>& sorted, double q);

/// The summary as a table: a row a figure, a column each for the fund, the index and the excess.
ListTable seriesSummaryTable(const SeriesSummary& summary);

/// A single fund's risk figures beside the index's: a row a figure.
ListTable riskTable(const StatsCsvRow& row);

/// What the statistics view of the results window shows of the result files in `dir`: the series
/// summary (a fund series) or the risk figures (a single fund) as a table, and a single fund's fall
/// below its peak day by day. An empty table when nothing can be shown.
struct Statistics
{
    ListTable table;
    UnderwaterData underwater;
};
Statistics loadStatistics(ResultKind kind, const std::filesystem::path& dir);
/// What loadStatistics gives when nothing can be shown: the table's columns only.
Statistics emptyStatistics(ResultKind kind);

/// The Korean label of a setting of settings.csv, and its value in words ("종목당", "예").
std::string settingLabel(const std::string& name);
std::string settingValueText(const std::string& name, const std::string& value);

} // namespace kestrelan
