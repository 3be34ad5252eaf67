#pragma once
// What a run says as a whole, beyond one line per fund, as the results window, `kestrelan-cli
// show`, the run's own end and the workbook show it: a fund series' summary (formats/SummaryCsv.h)
// as a table, or a single fund's risk figures beside the index's. Texts are UTF-8.

#include "formats/ResultCsv.h"
#include "formats/StatsCsv.h"
#include "formats/SummaryCsv.h"
#include "results/core/ChartData.h"
#include "results/core/SummaryTables.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrelan {

/// The summary of the fund series whose result files are in `dir`: summary.csv as the run wrote
/// it; for the files of an older run without it, made from result.csv and stats.csv (whose falls
/// are rounded). nullopt when no fund is whole.
std::optional<SeriesSummary> loadSeriesSummary(const std::filesystem::path& dir);

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
