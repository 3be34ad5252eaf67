#pragma once
// sweep.csv: one line per combination of settings of a parameter sweep, with the summary of the
// fund series that combination gave. English column names, so that other tools can read it;
// the first column numbers the combination (from 1, in the sweep's own order), so that the
// files of a sweep spread over several machines join into the file of one sweep.

#include "results/core/SeriesSummary.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelan {

/// The columns of sweep.csv that hold the settings, in the order the combinations count them.
inline constexpr const char* sweepSettingNames[]
    = {"margin_pct", "second_pct", "range_low_pct", "range_high_pct", "initial_buy_pct", "risk_profile"};

/// The settings a sweep can vary, in the order the combinations count them.
struct SweepSettings
{
    std::int32_t marginPct = 0;
    std::int32_t secondPct = 0;
    std::int32_t rangeLowPct = 0;
    std::int32_t rangeHighPct = 0;
    std::int32_t initialBuyPct = 0;
    std::int32_t riskProfile = 0;
};

struct SweepLine
{
    std::int64_t combination = 0; // from 1
    SweepSettings settings;
    std::optional<SeriesSummary> summary; // none when no fund of the series was whole
};

const std::string& sweepCsvHeader();
/// The line of a combination ("\n" end; the file is written in text mode).
std::string sweepCsvLine(const SweepLine& line);
/// The lines of a sweep.csv: its combination number and the line's own text, the header
/// skipped. A file whose header is not sweep.csv's gives nullopt.
std::optional<std::map<std::int64_t, std::string>> readSweepCsvLines(std::string_view bytes);

} // namespace kestrelan
