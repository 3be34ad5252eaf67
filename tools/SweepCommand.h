#pragma once
// `kestrelan-cli sweep`: a fund series run for every combination of chosen settings (the margin,
// the second condition, the range's low and high edges, the initial ratio, the risk profile),
// each summarised in a line of sweep.csv, and the best combinations by a chosen figure.
// `--shard K/N` runs every N-th combination from the K-th, so that a large sweep can be spread
// over machines; `kestrelan-cli sweep-merge` joins the shards' files into the file of one sweep.

#include "engine/RunInputs.h"
#include "formats/ResultSet.h"
#include "results/core/SweepCsv.h"
#include "tools/CommandLine.h"
#include "tools/RunCommand.h"
#include "tools/WalkForward.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace kestrelan {

/// One setting a sweep varies, with the values it takes in order.
struct SweepAxis
{
    std::string option; // "--margin"
    std::vector<std::int32_t> values;
};

struct SweepPlan
{
    RunOptions base;             // every other option, as `run` reads it
    std::vector<SweepAxis> axes; // in the order the combinations count them; one value if not swept
    std::string rank = "median"; // median | beat | beat-hold | worst | drawdown
    std::int64_t shard = 1, shards = 1;
    std::filesystem::path out = sweepCsvFile;
    SweepSpans spans;    // --judge, --walk (tools/WalkForward.h)
    bool dryRun = false; // count and estimate, run nothing
    bool resume = false; // go on from what `out` holds of this sweep
};

/// Values of a swept option: "A:B:STEP" (A to B in steps), "A,B,C", or "A". Throws UsageError
/// naming the option for anything else, a step of 0, a value outside [low, high], or a value
/// given twice.
std::vector<std::int32_t> sweepValues(const OptionValues& values, std::string_view option, std::int64_t low,
                                      std::int64_t high);

/// The plan of a sweep's command line; the default period needs kospi.lst in `workDir`. Refuses,
/// naming the option, what could not change a figure: a range or an initial ratio with automatic
/// setting (ksp.txt sets them), a risk profile without it, and --risk-free (no figure of a sweep
/// is a Sharpe ratio).
SweepPlan readSweepPlan(const OptionValues& values, const std::filesystem::path& workDir,
                        const std::filesystem::path& defaultProgramDir);

std::int64_t combinationCount(const SweepPlan& plan);
/// Combination `number` (from 1): the first axis changes slowest.
SweepSettings combination(const SweepPlan& plan, std::int64_t number);
/// The base settings with a combination's applied.
SimParams paramsOf(const SweepPlan& plan, const SweepSettings& settings);
/// The settings of `params` a sweep can vary.
SweepSettings sweepSettingsOf(const SimParams& params);
/// The member of SweepSettings that holds `setting` (one of sweepSettings; the margin's for any
/// other).
std::int32_t SweepSettings::*sweepSettingField(const SettingSpec& setting);

/// What identifies the sweep of a plan on the inputs it read (the shard included): the settings
/// with the values of each swept one, the stocks and amounts, the automatic setting as the funds
/// take it, the spans and the figure ranked by, and the market's fingerprints.
SweepIdentity sweepIdentity(const SweepPlan& plan, const RunData& inputs);

/// A combination as the user reads it: "매매차익 10%, 2차조건 5%, ..."; with automatic setting
/// the range and the ratio are "자동설정".
std::string sweepCombinationText(const SweepSettings& settings, bool autoSet);

/// The summary figures a sweep line prints after its combination.
std::string sweepFiguresText(const SeriesSummary& summary);

CommandSpec sweepCommandSpec();
int sweepCommand(const OptionValues& values, std::ostream& out, std::ostream& err);
/// The sweep of `values` in `workDir` (the command's, and the comparison window's with a
/// watch: then a busy market is not waited for and nothing goes to stderr). Throws UsageError
/// naming the option for what the command line refuses; returns the exit status.
int runSweep(const OptionValues& values, const std::filesystem::path& workDir, const std::filesystem::path& programDir,
             std::ostream& out, std::ostream& err, SweepWatch* watch = nullptr);
CommandSpec sweepMergeCommandSpec();
int sweepMergeCommand(const OptionValues& values, std::ostream& out, std::ostream& err);

} // namespace kestrelan
