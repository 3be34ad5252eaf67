#pragma once
// gen.csv: one line per stock that has bought, written once after a single fund; no header.
// Amounts are in thousands of won.

#include "formats/FieldReader.h"

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelan {

enum class GenCsvColumn
{
    Code,
    Name,
    LastPrice,
    StartPrice,
    Invest,
    Cash,
    Shares,
    Gain
};
constexpr std::size_t genCsvColumns = 8;

struct GenCsvRow
{
    std::string_view code;                  // 6 characters
    std::string_view name;                  // 20 characters, trailing blanks kept
    std::int32_t lastPrice = 0;             // won
    std::int32_t startPrice = 0;            // won
    double invest = 0;                      // thousands of won
    double cash = 0;                        // thousands of won
    std::int32_t shares = 0;                // shares held
    double gain = 0;                        // trading gain, thousands of won
    LineExtent extent{genCsvColumns, true}; // as read; the writer ignores it

    bool has(GenCsvColumn c) const { return extent.fields > static_cast<std::size_t>(c); }
};

/// The line of a row.
std::string genCsvLine(const GenCsvRow& row);

/// The lines of gen.csv's bytes; the texts view into `bytes`.
std::vector<GenCsvRow> readGenCsv(std::string_view bytes);
// The rows point into the bytes: a temporary string would leave them dangling.
template <class S>
    requires std::same_as<S, std::string>
std::vector<GenCsvRow> readGenCsv(S&&) = delete;

} // namespace kestrelan
