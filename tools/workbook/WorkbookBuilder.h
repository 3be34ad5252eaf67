#pragma once
// The workbook an export hands the finished run to: kestrelan-workbook reads the hand-off file
// (formats/Handoff.h: the name the user chose and the stock count) and the result files, and writes "<name>.xlsx" with the summary, the main table, the daily yields or the fund
// series with native charts, and the trade log. An existing workbook is never replaced: the new
// one takes the next free name, "<name> (2).xlsx" and so on.

#include "formats/Handoff.h"

#include <filesystem>
#include <optional>
#include <string>

namespace kestrelan {

/// "<name>.xlsx" in `folder`, or the first "<name> (n).xlsx" that does not exist.
std::filesystem::path freeWorkbookPath(const std::filesystem::path& folder, const std::string& name);

/// Which two settings of a sweep.csv the comparison sheet sets against each other (empty: the
/// first two the sweep varied) and the figure in its cells (a column of sweep.csv).
struct SweepChoice
{
    std::string x, y;
    std::string figure = "fund_median_pct";
};

/// Writes the workbook of the result files in `resultsDir` into `outDir` (created if needed) and
/// returns its path: the summary (with the series summary), the main table, the daily yields or
/// the fund series with native charts, the trade log, a single fund's risk figures, and a sweep's
/// combinations with a colour-scaled comparison of two settings when sweep.csv is there. Throws
/// std::runtime_error when it cannot be written; nothing is left then.
std::filesystem::path buildWorkbook(const Handoff& handoff, const std::filesystem::path& resultsDir,
                                    const std::filesystem::path& outDir, const SweepChoice& sweepChoice = {});

} // namespace kestrelan
