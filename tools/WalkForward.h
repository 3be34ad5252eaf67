#pragma once
// A sweep that chooses on one span and is judged on the next. `--choose A:B --judge C:D` runs
// every combination on the funds of both spans (each span's funds are those a statistics run over
// it makes) and sets the judge span's figures beside the choose span's; `--walk C:J` rolls
// windows of C months to choose and the J months after them to judge over the period, forward by
// J months, and sets the series of the judged funds, each window run with its own choice, against
// the same funds run with the one combination that the whole period ranks first.
//
// Also here: the loop that runs a sweep's combinations, writing its file as it goes (so that a
// sweep cut short can be resumed from it, `--resume`), and the estimate of `--dry-run`.

#include "engine/SeriesSession.h"
#include "results/core/SweepCsv.h"
#include "tools/CommandLine.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace kestrelan {

struct SweepPlan;

/// A walk's window: the months it chooses on and the months after them that judge the choice.
struct WalkWindow
{
    FundSpan choose, judge;
};

/// The spans of a sweep beyond its period (the period is the choose span, or the walk's whole).
struct SweepSpans
{
    std::optional<FundSpan> judge;                  // --judge
    std::int32_t chooseMonths = 0, judgeMonths = 0; // --walk; 0: no walk
    std::vector<WalkWindow> windows;

    bool walk() const { return chooseMonths > 0; }
    bool judged() const { return judge.has_value() || walk(); }
};

/// The date `months` calendar months after `date` (the day kept, or the month's last day).
std::int32_t addMonths(std::int32_t date, std::int32_t months);
/// The windows of a walk over start..end: the first chooses from `start`, each judges the
/// `judgeMonths` after its choose span, and the next starts `judgeMonths` later; a window whose
/// judge span ends after `end` is left out.
std::vector<WalkWindow> walkWindows(std::int32_t start, std::int32_t end, std::int32_t chooseMonths,
                                    std::int32_t judgeMonths);

/// The options the run options' reader takes from a sweep's command line: without the sweep's
/// own span options, with --choose's span as --start and --end. Refuses, naming the option,
/// --choose without --judge (or the other way round), --choose with --start, --end or --walk.
OptionValues runValuesOfSweep(const OptionValues& values);
/// --judge, --walk, --dry-run and --resume into the plan, once its period is read.
void readSweepSpans(const OptionValues& values, SweepPlan& plan);
/// The spans whose funds the sweep's session holds: the period, then the judge span, or each
/// window's choose and judge spans.
std::vector<FundSpan> sessionSpans(const SweepPlan& plan);
/// What the spans add to the sweep's identity: the judge span, or the walk and its windows
/// (after end_date), and the figure ranked by (after risk_profile).
void addSpanIdentity(const SweepPlan& plan, SweepIdentity& identity);

/// A sweep run by a window: each finished combination is reported (false stops the sweep, and
/// nothing is written), the file is written only whole, and its lines, ranked, are handed back.
struct SweepWatch
{
    std::function<bool(std::int64_t done, std::int64_t total)> combinationDone;
    bool cancelled = false;
    SweepFile whole; // with each line's rank, judge rank and plateau
};

/// Runs the combinations of the plan's shard that `plan.out` does not hold yet (all of them
/// unless --resume), writing the file as it goes and whole at the end; prints the best, and what
/// the judge span or the walk says of the choice; a complete walk writes walkforward.csv and
/// walkforward-summary.csv beside the file. Returns the exit status.
int runSweepSpans(const SweepPlan& plan, const SweepIdentity& identity, const SeriesSession& session,
                  std::ostream& out, std::ostream& err, SweepWatch* watch = nullptr);

/// The lines of one window (0: the whole period) ranked by `column`, the best first; lines
/// without the figure last.
std::vector<SweepLine> rankedWindowLines(const std::vector<SweepLine>& lines, std::int32_t window,
                                         const std::string& column);

/// --dry-run: the combinations and funds the sweep would run and the time one fund takes, with
/// the estimate of the whole; runs no combination and writes nothing.
int dryRunSweep(const SweepPlan& plan, const SweepIdentity& identity, const SeriesSession& session,
                double loadSeconds, std::ostream& out, std::ostream& err);

/// The names of walkforward.csv's columns for a sweep ranked by `figure` ("\n" end), and of
/// walkforward-summary.csv's.
std::string walkCsvHeader(const std::string& figure);
std::string walkSummaryCsvHeader();

} // namespace kestrelan
