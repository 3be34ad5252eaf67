#pragma once
// What a sweep's file says beside each combination's figures, made over the whole sweep: its
// rank by the sweep's figure among the combinations of its window (on the choose span, and on
// the judge span when there is one), and its plateau, the median of the figure over it and its
// neighbours (one step either way on each swept setting), so that a winner on a narrow peak
// stands apart from one on a broad rise.
//
// Everything is made of the figures as the file holds them (two decimals), so that the file of a
// sweep run at once, its shards merged, and a sweep cut short and resumed say the same.

#include "formats/SummaryCsv.h"
#include "results/core/SweepCsv.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelan {

/// The words of --rank with the summary column each ranks by.
struct RankFigure
{
    const char* word;   // "median"
    const char* column; // "fund_median_pct"
    const char* label;  // Korean, as the printed lines name it
};
const std::vector<RankFigure>& rankFigures();
/// The summary column of a --rank word, or nullopt.
std::optional<std::string> rankFigureColumn(std::string_view word);
/// Whether a smaller value of the column is the better one (a fall).
bool lowerIsBetter(std::string_view column);

/// A summary's figure of a column as the file holds it; nullopt when the field is empty.
std::optional<double> summaryFigure(const std::optional<SeriesSummary>& summary, std::string_view column);

/// Each line's rank, judge rank and plateau by `column` among the lines of its window; a line
/// without the figure has no rank (0) and no plateau. Ties rank by the combination's number.
void rankSweepLines(std::vector<SweepLine>& lines, const std::string& column);
/// The same fields emptied (a file that lacks a combination).
void clearSweepRanks(std::vector<SweepLine>& lines);

/// The median of values (between the two middle ones for an even count); nullopt for none.
std::optional<double> medianValue(std::vector<double> values);

} // namespace kestrelan
