#include "engine/RangeTable.h"

#include "platform/core/Format.h"
#include "platform/core/TextFile.h"

namespace kestrelan {

namespace {

constexpr std::size_t lineBuffer = 1024;

// Splits one line into the persisting field texts: TAB ends a field, a blank is skipped, any
// other byte (a two-byte character's halves included) is kept.
void tokenize(std::string_view line, std::array<std::string, rangeFieldCount>& fields)
{
    if (const auto nul = line.find('\0'); nul != std::string_view::npos)
        line = line.substr(0, nul); // the line is a C string
    if (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    std::size_t index = 0;
    std::string current;
    auto store = [&] {
        if (index < fields.size())
            fields[index] = current;
        ++index;
        current.clear();
    };
    for (char c : line) {
        if (c == '\t')
            store();
        else if (c != ' ')
            current.push_back(c);
    }
    store();
}

} // namespace

RangeTable parseRangeTable(std::string bytes, std::size_t maxRows)
{
    RangeTable table;
    TextReader reader(std::move(bytes));
    std::array<std::string, rangeFieldCount> fields;
    while (table.rows.size() < maxRows) {
        auto line = reader.getLine(lineBuffer);
        if (!line)
            break;
        tokenize(*line, fields);
        RangeRow row;
        for (int f = 0; f < rangeFieldCount; ++f)
            row.field[f] = atoiField(fields[f]);
        table.rows.push_back(row);
    }
    return table;
}

std::optional<RangeTable> loadRangeTable(const std::filesystem::path& path, std::size_t maxRows)
{
    // The table is eleven short lines: a file far larger (or one that never ends) is not one.
    constexpr std::size_t limit = 64 * 1024;
    std::optional<std::string> bytes;
    try {
        bytes = readWholeFile(path, limit);
    } catch (const FileTooLarge&) {
        return std::nullopt;
    }
    if (!bytes)
        return std::nullopt;
    return parseRangeTable(std::move(*bytes), maxRows);
}

std::string rangeTableBytes(const RangeTable& table)
{
    std::string text;
    for (const auto& row : table.rows)
        for (int f = 0; f < rangeFieldCount; ++f)
            text += std::to_string(row.field[static_cast<std::size_t>(f)]) + (f + 1 == rangeFieldCount ? "\n" : "\t");
    return toCrLf(text);
}

int selectRangeRow(const RangeTable& table, float level)
{
    const auto& rows = table.rows;
    int chosen = 10;
    for (int r = 1; r <= 9; ++r) {
        if (static_cast<float>(rows[r].indexLow()) <= level && static_cast<float>(rows[r].indexHigh()) > level) {
            chosen = r;
            break;
        }
    }
    if (static_cast<float>(rows[10].indexHigh()) > level)
        chosen = 10;
    if (static_cast<float>(rows[0].indexLow()) <= level)
        chosen = 0;
    return chosen;
}

} // namespace kestrelan
