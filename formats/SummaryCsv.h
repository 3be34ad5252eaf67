#pragma once
// The summary of a fund series: how the yields of its funds spread (mean, median, the 10th and
// 90th percentiles, the worst and the best with their start dates) for the fund, the KOSPI and
// the fund's excess over the KOSPI, how many funds gained and how many beat the KOSPI, and the
// median of their largest falls. A series of one stock also sets each fund against the stock
// bought and held over the same days (result.csv's index column holds the stock's own change
// there).
//
// It is computed in one place, from result.csv's lines and the funds' risk figures as the run
// has them in memory (not stats.csv's rounded ones), and written with the same fields wherever
// it goes: summary.csv beside a series' result files, sweep.csv's line of a combination, the
// summary object of `kestrelan-cli show --format json`. Numbers have two decimals, dates are
// YYYY-MM-DD, a figure that cannot be made is an empty field.

#include "formats/ResultCsv.h"
#include "formats/StatsCsv.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrelan {

/// What a series of one stock sets each fund against: the stock bought and held.
inline constexpr std::string_view stockHeldLabel = "종목 보유";

/// How one figure spreads over the funds of a series, in percent.
struct Spread
{
    double mean = 0, median = 0, p10 = 0, p90 = 0;
    double worst = 0, best = 0;
    std::string worstStart, bestStart; // the funds' start dates

    bool operator==(const Spread&) const = default;
};

/// A one-stock series against the stock bought and held.
struct HoldFigures
{
    Spread hold;          // the stock's own change over each fund, adjusted for splits
    Spread excess;        // fund - hold
    double beatShare = 0; // percent of the funds above the hold

    bool operator==(const HoldFigures&) const = default;
};

struct SeriesSummary
{
    int funds = 0;
    Spread fund, index, excess;               // yields in percent; index: the KOSPI; excess = fund - KOSPI
    double gainShare = 0, beatShare = 0;      // percent of the funds above 0, and above the KOSPI (a tie is not)
    std::optional<double> medianFundDrawdown; // percent, from the funds' risk figures
    std::optional<double> medianIndexDrawdown;
    std::optional<HoldFigures> hold; // a series of one stock
    // Medians over the funds of what their trading came to (from the funds' risk figures; none in
    // a summary written before they were kept, or when no fund has the figure).
    std::optional<double> medianSortino, medianCalmar;
    std::optional<double> medianOutsideGridPct; // days_outside_grid_pct
    std::optional<double> medianCashSharePct;   // cash_share_mean_pct
    /// The commission and tax a fund paid per 100 won of its trading gain (result.csv's); only the
    /// funds whose trading gained something.
    std::optional<double> medianCostSharePct;

    bool operator==(const SeriesSummary&) const = default;
};

/// The summary of a series from its result.csv rows and its funds' risk figures; the rows of a
/// cut last line are left out. `oneStock`: result.csv's index column holds the stock's own change
/// (a series of one stock), and the KOSPI's yield comes from the fund's start and end index.
/// nullopt when no fund is whole.
std::optional<SeriesSummary> summarizeSeries(const std::vector<ResultCsvRow>& results,
                                             const std::vector<StatsCsvRow>& stats, bool oneStock);

/// The value at fraction q (0 to 1) of sorted values, between the two nearest ranks.
double percentile(const std::vector<double>& sorted, double q);

/// The KOSPI's yield over a fund of a result line, as result.csv's index column holds it for a
/// portfolio of more than one stock.
double kospiYieldOf(const ResultCsvRow& row);

/// The columns a display of the summary sets side by side: the fund, the KOSPI and the fund's
/// excess over it; a series of one stock adds the stock held and the fund's excess over that.
enum class SummarySubject
{
    Fund,
    Index,
    Excess,
    Hold,
    HoldExcess
};

/// How a figure of the summary reads.
enum class FigureKind
{
    Count,
    Percent,
    Date,
    Ratio
};

/// A row of the summary as every display shows it (the results window, `show`, the workbook, a
/// sweep's best combinations): its label and, per subject, the column of summary.csv that holds
/// its value. A subject without a column shows nothing in the row.
struct SummaryRow
{
    std::string label;     // Korean
    std::string holdLabel; // what a series of one stock calls it, when that differs
    FigureKind kind = FigureKind::Percent;
    bool holdOnly = false; // shown for a series of one stock only
    std::vector<std::pair<SummarySubject, std::string>> cells;

    const std::string& labelFor(bool hold) const;
    /// The column of a subject in this row; nullptr when it has none.
    const std::string* column(SummarySubject subject) const;
};

/// The rows in the order every display shows them. A new figure of the summary is a column of
/// summary.csv (formats/SummaryCsv.cpp, beside the others) and its row here.
const std::vector<SummaryRow>& summaryRows();
/// The subjects a display shows, in order: a series of one stock sets the fund against the stock
/// held first, then against the KOSPI.
std::vector<SummarySubject> summarySubjects(bool hold);
/// A subject's heading ("펀드", "KOSPI", "초과수익"; beside the stock held, "KOSPI 대비").
std::string_view subjectHeading(SummarySubject subject, bool hold);

/// The summary's column names in order: funds, fund_mean_pct, ..., index_median_drawdown_pct,
/// then the hold's (empty unless one stock), then the medians of the funds' trading.
const std::vector<std::string>& summaryColumnNames();
/// The columns a file written before the medians of the funds' trading has: the first this many
/// of summaryColumnNames() (a new column only ever comes last). Readers take either set, as the
/// file's header names it.
std::size_t olderSummaryColumns();
/// The fields of a summary in the order of summaryColumnNames(), the first `columns` of them;
/// none: "0" funds and empty fields.
std::vector<std::string> summaryFields(const std::optional<SeriesSummary>& summary, std::size_t columns = 0);
/// The summary its fields give back, the fields being the first `columns` (0: all) of
/// summaryColumnNames(); nullopt (and `ok` false) for another count or a field that is not what
/// summaryFields writes; nullopt with `ok` true for none. Columns a file lacks stay empty.
std::optional<SeriesSummary> parseSummaryFields(std::span<const std::string_view> fields, bool& ok,
                                                std::size_t columns = 0);

/// A summary's fields by column name, as summary.csv holds them ("" for none).
class SummaryFieldTexts
{
public:
    explicit SummaryFieldTexts(const std::optional<SeriesSummary>& summary);
    const std::string& operator[](std::string_view column) const;

private:
    std::vector<std::string> texts;
};

/// summary.csv's text: the column names and the line of the summary ("\n" ends).
std::string summaryCsvText(const std::optional<SeriesSummary>& summary);
/// The summary summary.csv's bytes hold (today's columns or the older set); nullopt when there is
/// none or the file is not sound.
std::optional<SeriesSummary> readSummaryCsv(std::string_view bytes);

} // namespace kestrelan
