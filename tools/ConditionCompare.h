#pragma once
// The condition-comparison window's work, without a window: the form's settings and portfolio,
// with one or two trading conditions given as ranges or lists, become the command line of
// `kestrelan-cli sweep`, so that the window refuses what the command refuses and shows the figures
// it writes into sweep.csv. Also the figure over the two settings as a table (the heatmap) and its
// colours.

#include "engine/SimParams.h"
#include "formats/Settings.h"
#include "results/core/SweepCsv.h"
#include "tools/CommandLine.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrelan {

struct ComparisonRequest
{
    SimParams settings;             // the form's
    std::vector<std::string> codes; // the portfolio's stock codes, in order
    std::uint32_t amount = 0;
    struct Range
    {
        const SettingSpec* setting; // one of sweepSettings
        std::string text;           // "A:B:STEP", "A,B,C" or "A"
    };
    std::vector<Range> ranges; // one or two
    std::string rank = "median";
    std::string choose, judge; // "START:END" each, or empty
};

/// The sweep's command line of a comparison, writing `out`. The form's conditions go in as the
/// command takes them: those the automatic setting leaves to ksp.txt (or, without it, the risk
/// profile) only when swept, so that sweeping one is refused as the command refuses it.
OptionValues comparisonOptions(const ComparisonRequest& request, const std::filesystem::path& out);

struct Comparison
{
    enum class Status
    {
        Done,
        Refused,   // the command line would be refused: `message` says why, in the window's words
        Failed,    // the sweep stopped: `message` says why
        Cancelled, // stopped by the user; nothing was written
    };
    Status status = Status::Failed;
    std::string message;      // also the notes of a sweep that finished
    SweepFile file;           // Done: every combination, ranked
    std::string column;       // the figure ranked by (a column of sweep.csv)
    std::string verdict;      // with a judge span: what it says of the choice
};

/// Runs the comparison in `workDir` as `kestrelan-cli sweep` would, writing sweep.csv there only
/// once it is whole. `combinationDone` is told each finished combination; false cancels.
Comparison compareConditions(const ComparisonRequest& request, const std::filesystem::path& workDir,
                             const std::filesystem::path& programDir,
                             const std::function<bool(std::int64_t done, std::int64_t total)>& combinationDone);

/// A message of the command line with its option named as the window names it
/// ("--second: ..." -> "2차조건: ...").
std::string windowWords(const std::string& message);

/// A setting's value in a combination.
std::int32_t settingValue(const SweepSettings& settings, const SettingSpec& setting);
/// The same combination with a setting's value changed.
void setSettingValue(SweepSettings& settings, const SettingSpec& setting, std::int32_t value);

/// The figure over two settings (y may be null: one row): the lines of the whole period by the
/// values each setting takes, in the order of the combinations.
struct FigureGrid
{
    std::vector<std::int32_t> xs, ys;
    std::vector<std::vector<const SweepLine*>> cells; // [y][x]; null where no line is
    std::optional<double> low, high;                  // of the figure over the cells
};
FigureGrid figureGrid(const SweepFile& file, const std::string& column, const SettingSpec& x, const SettingSpec* y);

/// A cell's colour (RGB) on the scale from the worst (red) over the middle (yellow) to the best
/// (green) of low..high; a smaller value is the better one for a fall.
std::array<int, 3> heatColour(double value, double low, double high, bool lowerIsBetter);

} // namespace kestrelan
