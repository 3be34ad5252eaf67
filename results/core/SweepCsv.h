#pragma once
// sweep.csv: one line per combination of settings of a parameter sweep, with the summary of the
// fund series that combination gave (formats/SummaryCsv.h). English column names, so that other
// tools can read it; the first column numbers the combination (from 1, in the sweep's own order),
// so that the files of a sweep spread over several machines join into the file of one sweep.
//
// Above the column names, lines that start with "#" say which sweep the file belongs to: every
// setting and its values, the stocks and their amounts, the period, the automatic setting as the
// funds ran, a fingerprint of each market file read, the number of combinations and which shards
// of the sweep the file holds. A CSV reader skips them (pandas: comment="#"); sweep-merge joins
// only files of one sweep.
//
// A sweep that names its figure (`# rank=`) adds, once the file holds the whole sweep, each
// combination's rank by that figure and its plateau (results/core/SweepRanks.h); a sweep with a
// judge span adds that span's summary as judge_ columns and its rank; a walk (`# walk=`) has a
// line per combination and window (window 0: the whole period). A file of a shard, or of a sweep
// cut short, leaves the ranks empty: they are made over the whole sweep.

#include "formats/Settings.h"
#include "formats/SummaryCsv.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelan {

/// The most combinations a sweep runs, and the most shards it is split into; a file that says
/// more is not a sweep's.
inline constexpr std::int64_t maxSweepCombinations = 1000000;

/// The settings a sweep can vary, in the order the combinations count them: the columns of
/// sweep.csv that hold them, in that order.
inline constexpr const SettingSpec* sweepSettings[] = {&setting::margin,    &setting::second,     &setting::rangeLow,
                                                       &setting::rangeHigh, &setting::initialBuy, &setting::riskProfile};

/// Whether the funds take a setting a sweep varies: with automatic setting ksp.txt sets the range
/// and the initial ratio by the risk profile; without it the risk profile chooses nothing.
bool sweepSettingUsed(const SettingSpec& setting, bool autoSet);

/// The settings a sweep can vary, in the order the combinations count them.
struct SweepSettings
{
    std::int32_t marginPct = 0;
    std::int32_t secondPct = 0;
    std::int32_t rangeLowPct = 0;
    std::int32_t rangeHighPct = 0;
    std::int32_t initialBuyPct = 0;
    std::int32_t riskProfile = 0;

    bool operator==(const SweepSettings&) const = default;
};

struct SweepLine
{
    std::int64_t combination = 0; // from 1
    SweepSettings settings;
    /// The funds took the range and the initial ratio from ksp.txt by the risk profile: those
    /// columns are empty. Without it the risk profile's column is empty.
    bool autoSet = false;
    std::optional<SeriesSummary> summary; // none when no fund of the series was whole
    std::int32_t window = 0;              // a walk's window; 0: the whole period (every other sweep)
    std::optional<SeriesSummary> judge = std::nullopt; // the judge span's (a sweep that has one)
    // Made over the whole sweep (SweepRanks.h); 0 and none while the file lacks a combination.
    std::int64_t rank = 0, judgeRank = 0; // 1: the best of its window
    std::optional<double> plateau = std::nullopt;

    bool operator==(const SweepLine&) const = default;
};

/// Which shards of a sweep a file holds: combination n belongs to shard k of N when n - 1 leaves
/// k - 1 divided by N. A whole sweep is shard 1 of 1.
struct SweepShards
{
    std::vector<std::int64_t> parts = {1}; // ascending
    std::int64_t of = 1;

    bool holds(std::int64_t combination) const;
    bool operator==(const SweepShards&) const = default;
};

/// What makes a sweep the sweep it is.
struct SweepIdentity
{
    std::vector<SettingLine> settings; // name=value, in the order written
    std::int64_t combinations = 0;
    SweepShards shards;
};

struct SweepFile
{
    SweepIdentity identity;
    std::vector<SweepLine> lines; // in combination order (then window)
};

/// Which columns a sweep's file has, from its identity.
struct SweepLayout
{
    std::string figure;   // the summary column ranked by (`# rank=`); empty: no rank columns
    bool judged = false;  // judge_ columns (`# judge_start_date=` or a walk)
    bool walk = false;    // a window column (`# walk=`)
    std::int32_t windows = 0; // a walk's windows besides the whole period (`# windows=`)
    /// The summary's columns as a file written before the medians of the funds' trading has them
    /// (olderSummaryColumns()); the reader takes it from the header, a writer writes today's.
    bool olderSummary = false;
};
SweepLayout sweepLayout(const SweepIdentity& identity);
/// The value of an identity's setting, or nullopt.
std::optional<std::string> identitySetting(const SweepIdentity& identity, std::string_view name);

/// The column names ("\n" end).
std::string sweepCsvHeader(const SweepLayout& layout = {});
/// The line of a combination ("\n" end; the file is written in text mode).
std::string sweepCsvLine(const SweepLine& line, const SweepLayout& layout = {});
/// Whether the file holds every line of the whole sweep (one shard of one).
bool sweepComplete(const SweepFile& file);
/// The first combination of the file's shards that lacks a line, or nullopt.
std::optional<std::int64_t> firstMissingCombination(const SweepFile& file);
/// The whole file: the identity, the column names and the lines, with the ranks and plateaus of
/// a complete file made over it (and left empty in any other).
std::string sweepCsvText(const SweepFile& file);

/// A sweep.csv's contents, or the first line (from 1) that is not what its writer writes. A file
/// with the older summary columns reads with the newer figures empty.
struct SweepCsvRead
{
    std::optional<SweepFile> file;
    std::size_t badLine = 0;
    std::string problem; // Korean
};
SweepCsvRead readSweepCsv(std::string_view bytes);

/// The first setting in which two sweeps differ (shards aside), as "name: a / b"; nullopt when
/// they are one sweep.
std::optional<std::string> sweepDifference(const SweepIdentity& a, const SweepIdentity& b);

} // namespace kestrelan
