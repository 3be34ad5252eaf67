#pragma once
// stats.csv: the risk figures of every fund of a run, one line a fund, beside the result files.
// Its header names each column in English so that other tools can read it: the fund's and the
// index's figures (a series of one stock adds hold_return_pct after them, a run that pays
// dividends dividends_won), then what the fund's trading came to (costs paid, fills, days outside
// the grid, idle cash) and the fund against the index (Sortino, Calmar, beta, alpha, tracking
// error, information ratio). Dates are YYYY-MM-DD (empty when there is none), percentages and
// ratios have two decimals (empty when they cannot be figured), amounts in won none, a drawdown is
// a positive percentage. CR LF line ends, as every file the program writes.

#include "formats/FieldReader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelan {

/// Trading days in a year, for annualising daily figures.
constexpr double tradingDaysPerYear = 252;
/// A path of fewer valuation days than this is too short for its yearly figures (CAGR,
/// volatility, Sharpe ratio) to mean much: the displays mark them as extrapolated.
constexpr int shortPeriodDays = 20;

/// The figures of one path of values.
struct RiskFigures
{
    int days = 0;                    // valuation days
    std::optional<double> returnPct; // (last / first - 1) x 100
    std::optional<double> cagrPct;   // the yearly rate that gives the same return
    double maxDrawdownPct = 0;       // the largest fall from a running peak, as a positive %
    std::int32_t peakDate = 0;       // of that fall (0: none)
    std::int32_t troughDate = 0;
    std::int32_t recoveryDate = 0;       // the first day back at the peak (0: not yet)
    std::optional<double> volatilityPct; // of the daily returns, annualised
    std::optional<double> sharpe;        // mean daily excess return over its deviation, annualised
    int underwaterDays = 0;              // days below the running peak
    std::optional<double> sortino;       // mean daily excess return over the downside deviation, annualised
    std::optional<double> calmar;        // the yearly rate over the largest fall
};

/// A fund's daily returns set against the index's over the same days.
struct IndexComparison
{
    std::optional<double> beta;             // cov(r, i) / var(i)
    std::optional<double> alphaPct;         // (mean r - beta x mean i), a year's worth
    std::optional<double> trackingErrorPct; // the deviation of r - i, annualised
    std::optional<double> informationRatio; // the yearly mean of r - i over the tracking error
};

/// What a fund's trading on its grids came to. Empty in a stats.csv written before they were kept.
struct GridFigures
{
    std::optional<double> commissionWon; // what the fund paid, the opening trades included
    std::optional<double> taxWon;
    std::optional<std::int64_t> fills;          // grid trades, purchases and sales, the opening not counted
    std::optional<double> daysOutsideGridPct;   // of the stock-days, those ending outside the stock's grid
    std::optional<double> cashShareMeanPct;     // the mean over the days of cash / value
};

/// One fund: its period and the figures of the fund and of the index over the same days.
struct StatsCsvRow
{
    std::int32_t startDate = 0;
    std::int32_t endDate = 0;
    RiskFigures fund;
    RiskFigures index;
    /// A series of one stock: the stock's own change over the fund in percent, adjusted for
    /// splits (what result.csv's index column holds there); written after the others.
    std::optional<double> holdReturnPct;
    /// A run that pays dividends into the cash: what the fund's stocks got, in won after the tax
    /// withheld; written after the others (and hold_return_pct).
    std::optional<double> dividendsWon;
    GridFigures grid;
    IndexComparison comparison;
};

/// How a risk figure reads: a percentage, a date, a ratio, a count of days out of the path's, an
/// amount in won, or a count.
enum class RiskKind
{
    Percent,
    Date,
    Ratio,
    DaysOf,
    Won,
    Count
};

/// A row of a single fund's risk figures as every display shows them (the results window, `show`,
/// the workbook), the fund's beside the index's. A new figure: its member of RiskFigures (or of
/// the row, for a figure of the fund alone), its columns of stats.csv and its row here.
struct RiskRow
{
    const char* label; // Korean
    RiskKind kind;
    bool yearly; // stretched to a year: marked when the path is shorter than shortPeriodDays
    std::optional<double> (*value)(const RiskFigures&); // a date as yyyymmdd; nullopt: none
    /// A figure of the fund alone (its trading, or the fund against the index): used instead of
    /// `value`, and the index has none.
    std::optional<double> (*fundValue)(const StatsCsvRow&) = nullptr;
};
const std::vector<RiskRow>& riskRows();
/// A row's figure for the fund (`fund`) or for the index.
std::optional<double> riskValue(const RiskRow& row, const StatsCsvRow& stats, bool fund);

/// The header line and "\n"; `hold`: with the column of a series of one stock, hold_return_pct;
/// `dividends`: with dividends_won. Readers find these two by their names.
std::string statsCsvHeader(bool hold = false, bool dividends = false);
/// The line of a row (with hold_return_pct when the row has it).
std::string statsCsvLine(const StatsCsvRow& row);
/// The complete data lines of stats.csv's bytes, the header skipped.
std::vector<StatsCsvRow> readStatsCsv(std::string_view bytes);

} // namespace kestrelan
