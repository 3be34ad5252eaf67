#pragma once
// What a run says as a whole, beyond one line per fund, as the results window, `kestrelan-cli
// show`, the run's own end and the workbook show it: a fund series' summary (formats/SummaryCsv.h)
// as a table, or a single fund's risk figures beside the index's. Texts are UTF-8.

#include "formats/ResultCsv.h"
#include "formats/StatsCsv.h"
#include "formats/SummaryCsv.h"
#include "results/core/ChartData.h"
#include "results/core/MonthlyReturns.h"
#include "results/core/SummaryTables.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrelan {

/// The titles of the statistics view's two tables, as `show`, a run's end and the workbook name them.
inline constexpr const char* seriesSummaryTitle = "통계요약";
inline constexpr const char* riskTableTitle = "위험 지표";

/// The summary of the fund series whose result files are in `dir`: summary.csv as the run wrote
/// it; for the files of an older run without it, made from result.csv and stats.csv (whose falls
/// are rounded). nullopt when no fund is whole.
std::optional<SeriesSummary> loadSeriesSummary(const std::filesystem::path& dir);

/// The summary as a table: a row a figure (summaryRows), a column a subject (the fund, the index
/// and the excess; a series of one stock adds the stock held and the excess over it).
ListTable seriesSummaryTable(const SeriesSummary& summary);
/// A field of summary.csv as a table cell: a percentage with its "%", "-" for none.
std::string summaryCellText(FigureKind kind, const std::string& field);

/// A single fund's risk figures beside the index's: a row a figure (riskRows).
ListTable riskTable(const StatsCsvRow& row);
/// A risk figure as a table cell ("-" for none).
std::string riskCellText(const RiskRow& row, const StatsCsvRow& stats, bool fund);

/// What the statistics view of the results window shows of the result files in `dir`: the series
/// summary (a fund series) or the risk figures (a single fund) as a table, and a single fund's fall
/// below its peak day by day. An empty table when nothing can be shown.
struct Statistics
{
    ListTable table;
    UnderwaterData underwater;
    ListTable monthly; // a single fund's returns and the index's, years by months (MonthlyReturns.h)
};
Statistics loadStatistics(ResultKind kind, const std::filesystem::path& dir);
/// What loadStatistics gives when nothing can be shown: the table's columns only.
Statistics emptyStatistics(ResultKind kind);

} // namespace kestrelan
