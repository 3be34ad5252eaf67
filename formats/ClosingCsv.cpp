#include "formats/ClosingCsv.h"

#include "platform/core/Format.h"

namespace kestrelan {

std::string closingCsvField(std::optional<std::int32_t> price) { return price ? format(",%d", *price) : ","; }

std::string closingCsvLine(const ClosingCsvRow& row)
{
    std::string line(row.date);
    for (const auto& price : row.prices)
        line += closingCsvField(price);
    return line + "\n";
}

std::vector<ClosingCsvRow> readClosingCsv(std::string_view bytes)
{
    std::vector<ClosingCsvRow> rows;
    readLines(bytes, [&](const FieldLine& line) {
        ClosingCsvRow row{line.fields[0], {}, {line.fields.size(), line.complete, line.complete}};
        for (std::size_t i = 1; i < line.fields.size(); ++i) {
            const std::string_view text = line.fields[i];
            row.prices.push_back(text.empty() ? std::nullopt : std::optional(fieldInteger(text)));
            row.extent.parsed = row.extent.parsed && (text.empty() || isIntegerText(text));
        }
        rows.push_back(std::move(row));
        return true;
    });
    return rows;
}

} // namespace kestrelan
