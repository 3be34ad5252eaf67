#pragma once
// What the results window shows of a finished run, read from its result files: which kind of
// result it is, the tables in thousands of won and percent, and the rows the charts draw.
// Texts are UTF-8 here (stock names are converted from CP949 as they are read).

#include "platform/core/Sinks.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelan {

/// What the result files on disk hold: a fund series (yield statistics), a single fund, or a
/// single fund with its trade log.
enum class ResultKind
{
    FundSeries,
    SingleFund,
    SingleFundTraded
};

/// One line of result.csv as the charts use it: yields in tenths of a percent and, for a traded
/// single fund, each stock's closing price of the day (nullopt: no price that day).
struct ResultRow
{
    std::vector<std::optional<std::int32_t>> closing;
    std::int32_t kospiYieldPm = 0;
    std::int32_t fundYieldPm = 0;
    std::int32_t profitRatePm = 0;
    std::int32_t stockSharePm = 0;
};

struct Column
{
    std::string heading;
    int width; // pixels
};

struct ListTable
{
    std::vector<Column> columns;
    std::vector<std::vector<std::string>> rows;
};

struct SummaryTables
{
    ListTable mainList;     // funds (a series) or stocks (a single fund)
    ListTable summaryList;  // the fund totals row (single fund)
    ListTable stockRowList; // the stock-table columns and one empty row (single fund)
    std::vector<std::string> stockCombo;
    std::vector<ResultRow> rows;
    std::vector<std::string> rowDates; // yy-mm-dd (single fund)
    std::vector<std::string> stockCodes;
    int rowCount = 0;
    /// A series of one stock: the index column holds the stock held (its own change), not the KOSPI.
    bool stockHeld = false;
};

/// The units of the tables' amounts and yields.
inline constexpr const char* tableUnits = "단위: 천원, %";

/// The columns of the results window's tables, which `show` and the workbook take over: the fund
/// table of a series (the benchmark column names the stock held in a series of one stock), the
/// stock table of a single fund, and its totals row.
std::vector<Column> fundColumns(bool stockHeld);
const std::vector<Column>& stockColumns();
const std::vector<Column>& totalColumns();
/// The fund table's benchmark: the KOSPI's yield, or in a series of one stock the stock held.
std::string benchmarkHeading(bool stockHeld);
/// The benchmark's yield as a chart's axis names it: "지수수익률", "종목 보유 수익률".
std::string benchmarkYieldLabel(bool stockHeld);

/// Whether the result files in `dir` are a fund series of one stock, as settings.csv says: then
/// result.csv's index column holds the stock's own change over each fund (the stock bought and
/// held), not the KOSPI's.
bool isOneStockSeries(const std::filesystem::path& dir);

/// The kind of the result in `dir`: as settings.csv's yield statistics say, or without it a fund
/// series unless the first 10 characters of the first two data lines of result.csv agree; a
/// single fund with trade.csv present is traded.
ResultKind classifyResult(const std::filesystem::path& dir);

/// Fills the tables from the result files in `dir`. An invalid date in result.csv shows
/// "잘못된 날짜가 있습니다." and stops the filling there.
SummaryTables fillSummaryTables(ResultKind kind, const std::filesystem::path& dir, IMessageSink& messages);

/// The tables of a kind with their columns and no rows.
SummaryTables emptySummaryTables(ResultKind kind);

/// A line of a result file that its writer could not have written.
struct DamagedLine
{
    std::string file;
    std::size_t line = 0; // from 1
};

/// The first damaged line of the files the window reads for `kind` (result.csv, and for a single
/// fund gen.csv, closing.csv and trade.csv): a line cut short, with more or fewer fields than its
/// columns, or with a field that is no number where a number belongs. nullopt when they are sound
/// (a missing file is not damaged).
std::optional<DamagedLine> findDamagedLine(ResultKind kind, const std::filesystem::path& dir);

/// What the user is told of a damaged line: the file and the line.
std::string damagedLineMessage(const DamagedLine& damaged);

/// Why the window shows nothing of the result files in `dir` (and exports nothing): result.csv
/// missing or without a line of a fund, or a damaged line (findDamagedLine). nullopt when they
/// can be shown.
std::optional<std::string> resultFilesRefusal(ResultKind kind, const std::filesystem::path& dir);

/// The number of stocks of the run's portfolio, as settings.csv holds it (a stock given twice
/// counts twice, as the form counts it); without settings.csv (an older run), the distinct codes
/// of result.txt; 0 without either.
int resultStockCount(const std::filesystem::path& dir);

/// Thousands separators and blanks in front up to `width`; "0" becomes "-". A minus sign is
/// kept in front of the grouped digits ("-1,234").
std::string formatAmount(std::string_view text, std::size_t width);
/// Tenths of a percent as a percent: "1234" -> "123.4%", "-5" -> "-0.5%", "0" -> "0.0%".
std::string formatPerMille(std::string_view text);
/// "04-1-5" -> "04-01-05" and the other short forms; nullopt for a text of another length.
std::optional<std::string> shortDate(std::string_view text);
/// The first decimal rounded half up (toward zero for negative values).
std::int32_t roundFirstDecimal(double value);

} // namespace kestrelan
