#pragma once
// closing.csv: one line per simulated day of a single fund, no header: the day's date, then a
// field for each stock that trades in the fund, in portfolio order: its closing price, or
// nothing once its data has ended. A stock that sits the fund out adds no field.

#include "formats/FieldReader.h"

#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelan {

struct ClosingCsvRow
{
    std::string_view date;                           // as dateText writes it
    std::vector<std::optional<std::int32_t>> prices; // nullopt: an empty field, no price
    LineExtent extent;                               // as read; the writer ignores it
};

/// One price field with its comma in front: ",11200", or "," for no price. A day's line is the
/// date, its price fields and "\n", so a run may write the fields as the stocks close.
std::string closingCsvField(std::optional<std::int32_t> price);

/// The line of a row.
std::string closingCsvLine(const ClosingCsvRow& row);

/// The lines of closing.csv's bytes; a cut last line keeps the prices before its last comma.
/// The dates view into `bytes`.
std::vector<ClosingCsvRow> readClosingCsv(std::string_view bytes);
// The rows point into the bytes: a temporary string would leave them dangling.
template <class S>
    requires std::same_as<S, std::string>
std::vector<ClosingCsvRow> readClosingCsv(S&&) = delete;

} // namespace kestrelan
