#pragma once
// result.txt: the report of each stock, for the user (nothing in the system reads it back). A
// header line, then per simulated day and per fund one line for each stock that has bought.

#include "formats/FieldReader.h"

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelan {

enum class ResultTxtColumn
{
    Code,
    Item,
    StartDate,
    EndDate,
    StartIndex,
    EndIndex,
    Invest,
    Init,
    FirstVol,
    AutoVol,
    SellStep,
    Top,
    Bottom,
    Sell,
    Second,
    Yield,
    Initial,
    Last,
    Share,
    Trade,
    TotBuy,
    TotSell,
    Mult,
    Gain
};
constexpr std::size_t resultTxtColumns = 24;

/// The heading of each column as the header line spells it, blanks in front included.
const std::array<std::string, resultTxtColumns>& resultTxtHeadings();
/// The header line: the headings joined by commas, and "\n".
const std::string& resultTxtHeader();

/// One stock's line.
struct ResultTxtRow
{
    std::string_view code;      // 6 characters
    std::string_view name;      // 20 characters, trailing blanks kept
    std::string_view startDate; // as dateText writes it
    std::string_view endDate;   // the simulated day, or the fund's end
    double startIndex = 0;      // KOSPI at the fund's start and end, two decimals
    double endIndex = 0;
    std::int32_t invest = 0;   // won, or shares in share-count mode
    double initialAmount = 0;  // start price × shares of the initial purchase
    std::int32_t firstVol = 0; // shares of the initial purchase
    std::int32_t autoVol = 0;  // grid unit
    std::int32_t sellStep = 0; // levels above the base
    std::int32_t rangeHighPct = 0;
    std::int32_t rangeLowPct = 0;
    std::int32_t marginPct = 0;
    std::int32_t secondPct = 0;
    double value = 0; // valuation in won
    std::int32_t initialPrice = 0;
    std::int32_t lastPrice = 0;
    std::int32_t shares = 0; // shares held
    double trade = 0;        // bought + sold
    double totBuy = 0;
    double totSell = 0;
    double mult = 0;                           // price adjustment factor, six decimals
    double gain = 0;                           // trading gain
    LineExtent extent{resultTxtColumns, true}; // as read; the writer ignores it

    bool has(ResultTxtColumn c) const { return extent.fields > static_cast<std::size_t>(c); }
};

/// The line of a row.
std::string resultTxtLine(const ResultTxtRow& row);

/// The stock lines of result.txt's bytes, the header line skipped; the texts view into `bytes`.
std::vector<ResultTxtRow> readResultTxt(std::string_view bytes);
// The rows point into the bytes: a temporary string would leave them dangling.
template <class S>
    requires std::same_as<S, std::string>
std::vector<ResultTxtRow> readResultTxt(S&&) = delete;

} // namespace kestrelan
