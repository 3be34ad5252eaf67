#pragma once
// result.csv: a header line, then one line per simulated day of a single fund, or one line per
// fund of a series. CP949 text with "\n" line ends (written in text mode, so CR LF on disk).

#include "formats/FieldReader.h"

#include <array>
#include <concepts>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelan {

enum class ResultCsvColumn
{
    StartDate,
    EndDate,
    StartIndex,
    EndIndex,
    Invest,
    Initial,
    StockValue,
    Value,
    KospiYield,
    FundYield,
    Trade,
    Turnover,
    Gain
};
constexpr std::size_t resultCsvColumns = 13;

/// The heading of each column (CP949) as the header line spells it, blanks in front included.
const std::array<std::string, resultCsvColumns>& resultCsvHeadings();
/// The header line: the headings joined by commas, and "\n".
const std::string& resultCsvHeader();

/// One data line. The sums are over the stocks that have bought; amounts in won.
struct ResultCsvRow
{
    std::string_view startDate; // the fund's start, as dateText writes it
    std::string_view endDate;   // the day's end (single fund) or the fund's end
    double startIndex = 0;      // KOSPI at the start, written with two decimals
    double endIndex = 0;
    double invest = 0;     // Σ invest
    double initial = 0;    // Σ start price × shares of the initial purchase
    double stockValue = 0; // Σ shares held × last price
    double value = 0;      // Σ valuation
    double kospiYield = 0; // ratio
    double fundYield = 0;  // ratio
    double trade = 0;      // Σ bought + sold
    double turnover = 0;
    double gain = 0;                           // Σ trading gain
    LineExtent extent{resultCsvColumns, true}; // as read; the writer ignores it

    bool has(ResultCsvColumn c) const { return extent.fields > static_cast<std::size_t>(c); }
};

/// The line of a row.
std::string resultCsvLine(const ResultCsvRow& row);

/// The data lines of result.csv's bytes, the header line skipped; the texts view into `bytes`.
std::vector<ResultCsvRow> readResultCsv(std::string_view bytes);
// The rows point into the bytes: a temporary string would leave them dangling.
template <class S>
    requires std::same_as<S, std::string>
std::vector<ResultCsvRow> readResultCsv(S&&) = delete;

} // namespace kestrelan
