#pragma once
// The trading range table ksp.txt: eleven rows from the highest KOSPI band (row 0, open above) to
// the lowest (row 10, open below), each with the band and, for three risk profiles (0 aggressive,
// 1 stable, 2 conservative), the initial purchase ratio and the low and high edge of the trading
// range in percent. Lines are TAB-separated; blanks are dropped wherever they stand.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelan {

constexpr int rangeRowCount = 11;
constexpr int rangeFieldCount = 11;

struct RangeRow
{
    std::array<std::int32_t, rangeFieldCount> field{};
    std::int32_t indexLow() const { return field[0]; }
    std::int32_t indexHigh() const { return field[1]; }
    std::int32_t initialBuyPct(int riskProfile) const { return field[2 + 3 * riskProfile]; }
    std::int32_t rangeLowPct(int riskProfile) const { return field[3 + 3 * riskProfile]; }
    std::int32_t rangeHighPct(int riskProfile) const { return field[4 + 3 * riskProfile]; }
};

struct RangeTable
{
    std::vector<RangeRow> rows; // in file order
    /// A table the engine can choose from: all eleven rows present.
    bool usable() const { return rows.size() == rangeRowCount; }
};

/// Parses the file's bytes. Lines are read as with a 1,024-byte buffer; the eleven field texts
/// persist from line to line, so a short line keeps the previous line's higher fields.
/// Fields beyond eleven are ignored, and so are rows beyond `maxRows` (eleven for the engine;
/// the table window shows every line).
RangeTable parseRangeTable(std::string bytes, std::size_t maxRows = rangeRowCount);
/// nullopt when ksp.txt cannot be opened.
std::optional<RangeTable> loadRangeTable(const std::filesystem::path& path, std::size_t maxRows = rangeRowCount);

/// The bytes of ksp.txt for a table: each row's fields TAB-separated, lines ended by CR LF.
std::string rangeTableBytes(const RangeTable& table);

/// The row for a KOSPI level: the first of rows 1-9 whose band holds it, else row 10; row 10
/// wins when the level lies below its top, row 0 when it lies at or above its bottom. The table
/// must be usable.
int selectRangeRow(const RangeTable& table, float level);

} // namespace kestrelan
