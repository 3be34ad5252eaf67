#include "tools/SweepCommand.h"

#include "engine/MarketData.h"
#include "formats/ResultCsv.h"
#include "formats/StatsCsv.h"
#include "platform/core/TextFile.h"
#include "support/CommandLineRun.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <functional>
#include <set>

using namespace kestrelan;

namespace {

SweepPlan plan(std::map<std::string, std::string> options)
{
    test::TempDir dir;
    dir.write("kospi.lst", indexRecordBytes(20050311, 1, 1) + indexRecordBytes(20050314, 1, 1));
    return readSweepPlan(OptionValues("sweep", std::move(options)), dir.path(), "/prog");
}

} // namespace

TEST(SweepCommandTest, RangesListsAndWhatIsRefused)
{
    struct Row
    {
        std::string text;
        std::vector<std::int32_t> values; // empty: refused
    };
    // --margin's text | its values
    const Row rows[] = {
        {"5:20:5", {5, 10, 15, 20}},
        {"5:19:5", {5, 10, 15}},
        {"30,50", {30, 50}},
        {"7", {7}},
        {"5:20:0", {}},
        {"20:5:5", {}},
        {"5:x:5", {}},
        {"5:20", {}},
        {"1,,2", {}},
        {"2x", {}},
        {"-100", {}},
        {"0:20000:5000", {}},
        {"5,10,5", {}}, // a value twice would run the same combination twice
    };
    for (const auto& row : rows) {
        const OptionValues values("sweep", {{"--margin", row.text}});
        if (row.values.empty()) {
            EXPECT_THROW(sweepValues(values, "--margin", minMarginPct, percentLimit), UsageError) << row.text;
        } else {
            EXPECT_EQ(sweepValues(values, "--margin", minMarginPct, percentLimit), row.values) << row.text;
        }
    }
    // With automatic setting, ksp.txt sets the range: sweeping it is refused.
    EXPECT_THROW(plan({{"--range-low", "30,50"}}), UsageError);
    EXPECT_NO_THROW(plan({{"--range-low", "30,50"}, {"--auto-set", "0"}}));
    // Without it the risk profile chooses nothing; no figure of a sweep is a Sharpe ratio.
    EXPECT_NO_THROW(plan({{"--risk", "0,2"}}));
    EXPECT_THROW(plan({{"--risk", "0,2"}, {"--auto-set", "0"}}), UsageError);
    EXPECT_THROW(plan({{"--risk-free", "2"}}), UsageError);
    EXPECT_THROW(plan({{"--rank", "best"}}), UsageError);
    EXPECT_THROW(plan({{"--shard", "3/2"}}), UsageError);
    EXPECT_THROW(plan({{"--shard", "1/9223372036854775807"}}), UsageError); // the next shard would overflow
    // Without --start a sweep starts its funds where a statistics run does, not at a single
    // fund's default start.
    EXPECT_EQ(plan({}).base.params.startDate, seriesStartDate);
}

TEST(SweepCommandTest, CombinationsInOrderAndShardsThatCoverThemOnce)
{
    const SweepPlan p = plan({{"--margin", "5:10:5"}, {"--second", "5,10,15"}, {"--risk", "0,2"}});
    ASSERT_EQ(combinationCount(p), 12);
    EXPECT_EQ(combination(p, 1).marginPct, 5);
    EXPECT_EQ(combination(p, 1).secondPct, 5);
    EXPECT_EQ(combination(p, 1).riskProfile, 0);
    EXPECT_EQ(combination(p, 2).riskProfile, 2); // the last axis changes fastest
    EXPECT_EQ(combination(p, 3).secondPct, 10);
    EXPECT_EQ(combination(p, 7).marginPct, 10);
    EXPECT_EQ(combination(p, 12).secondPct, 15);
    EXPECT_EQ(combination(p, 12).rangeLowPct, SimParams{}.rangeLowPct); // not swept: the base value
    EXPECT_TRUE(paramsOf(p, combination(p, 1)).yieldStats);
    std::multiset<std::int64_t> covered;
    for (int k = 1; k <= 5; ++k) {
        SweepPlan shard = p;
        shard.shard = k;
        shard.shards = 5;
        for (std::int64_t n = shard.shard; n <= combinationCount(shard); n += shard.shards)
            covered.insert(n);
    }
    EXPECT_EQ(covered.size(), 12u);
    EXPECT_EQ(std::set<std::int64_t>(covered.begin(), covered.end()).size(), 12u);
}

namespace {

// The file of a sweep of five combinations, or of some of its shards.
SweepFile fiveCombinations(const std::string& years, SweepShards shards)
{
    SweepFile f;
    f.identity.settings = {{"stocks", "005930"}, {"years", years}, {"market_kospi.lst", "0123456789abcdef"}};
    f.identity.combinations = 5;
    f.identity.shards = shards;
    for (int n = 1; n <= 5; ++n) {
        if (!shards.holds(n))
            continue;
        SweepLine line{n, {5 * n, 10, 50, 150, 50, 1}, false, std::nullopt};
        if (n != 3) {
            SeriesSummary s;
            s.funds = 10 + n;
            s.fund.median = n * 1.5;
            for (Spread* x : {&s.fund, &s.index, &s.excess})
                x->worstStart = x->bestStart = "2004-01-01";
            line.summary = s;
        }
        f.lines.push_back(line);
    }
    return f;
}

} // namespace

// Shards of one sweep join into the file the sweep would have written on one machine; files of
// another sweep, a shard twice, a missing shard and a line the sweep did not write are refused,
// each naming the file.
TEST(SweepCommandTest, ShardFilesJoinIntoTheFileOfOneSweepAndNothingElse)
{
    test::TempDir dir;
    const auto write = [&](const std::string& name, const SweepFile& f) {
        dir.write(name, toCrLf(sweepCsvText(f)));
        return (dir / name).string();
    };
    const auto whole = fiveCombinations("1", {});
    const auto odd = write("odd.csv", fiveCombinations("1", {{1}, 2}));
    const auto even = write("even.csv", fiveCombinations("1", {{2}, 2}));
    const auto out = (dir / "sweep.csv").string();
    const auto merged = test::commandLine({"sweep-merge", even, odd, "--out", out});
    EXPECT_EQ(merged.status, exitDone) << merged.err;
    EXPECT_EQ(dir.read("sweep.csv"), toCrLf(sweepCsvText(whole)));
    ASSERT_TRUE(readSweepCsv(dir.read("sweep.csv")).file);

    struct Row
    {
        const char* name;
        std::vector<std::string> files;
        std::string said; // in the message
    };
    auto longer = sweepCsvText(fiveCombinations("1", {{2}, 2}));
    const auto other = write("other.csv", fiveCombinations("2", {{2}, 2}));
    const auto junk = write("junk.csv", fiveCombinations("1", {{2}, 2}));
    dir.write("junk.csv", toCrLf(longer + "2,x\n"));
    auto cut = longer;
    cut.erase(cut.rfind('\n', cut.size() - 2) + 1); // the shard's last combination lost
    dir.write("cut.csv", toCrLf(cut));
    const Row rows[] = {
        {"another sweep", {odd, other}, "other.csv: " + odd + "와 다른 sweep의 파일입니다 (years: 1 / 2)"},
        {"a shard twice", {odd, even, odd}, "1/2 조각이"},
        {"a shard missing", {odd}, "2/2"},
        {"a junk line", {odd, junk}, "junk.csv:"},
        {"a combination lost", {odd, (dir / "cut.csv").string()}, "4번 조합이 없습니다"},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = {"sweep-merge"};
        args.insert(args.end(), row.files.begin(), row.files.end());
        args.insert(args.end(), {"--out", (dir / "refused.csv").string()});
        const auto refused = test::commandLine(args);
        EXPECT_EQ(refused.status, exitFailed) << row.name;
        EXPECT_NE(refused.err.find(row.said), std::string::npos) << row.name << ": " << refused.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "refused.csv")) << row.name;
    }
    // An incomplete set only when asked, with the combinations it lacks.
    const auto partial = test::commandLine({"sweep-merge", odd, "--allow-partial", "--out", out});
    EXPECT_EQ(partial.status, exitDone) << partial.err;
    EXPECT_NE(partial.out.find("2, 4"), std::string::npos) << partial.out;
    EXPECT_EQ(readSweepCsv(dir.read("sweep.csv")).file->identity.shards, (SweepShards{{1}, 2}));
}

namespace {

// A column a file written before the medians of the funds' trading lacks (its judge_ one too).
bool newerColumn(std::string_view name)
{
    if (name.starts_with("judge_"))
        name.remove_prefix(6);
    const auto& names = summaryColumnNames();
    return std::find(names.begin() + static_cast<std::ptrdiff_t>(olderSummaryColumns()), names.end(), name)
        != names.end();
}

// The text without the columns its header names and `drop` takes, "#" lines kept; `header` false:
// the lines keep every field (the header alone loses them).
std::string withoutColumns(const std::string& text, const std::function<bool(std::string_view)>& drop,
                           bool lines = true)
{
    std::string out;
    std::vector<bool> dropped;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.starts_with("#") || (!dropped.empty() && !lines)) {
            out += line + "\n";
            continue;
        }
        std::vector<std::string> fields;
        for (std::size_t from = 0;;) {
            const auto comma = line.find(',', from);
            fields.push_back(line.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
            if (comma == std::string::npos)
                break;
            from = comma + 1;
        }
        const bool header = dropped.empty();
        for (std::size_t i = 0; header && i < fields.size(); ++i)
            dropped.push_back(drop(fields[i]));
        std::string kept;
        for (std::size_t i = 0, n = 0; i < fields.size(); ++i)
            if (!dropped[i])
                kept += (n++ ? "," : "") + fields[i];
        out += kept + "\n";
    }
    return out;
}

void clearMedians(std::optional<SeriesSummary>& s)
{
    if (s)
        s->medianSortino = s->medianCalmar = s->medianOutsideGridPct = s->medianCashSharePct = s->medianCostSharePct
            = std::nullopt;
}

} // namespace

// An older run's summary.csv and an older sweep's file (without the medians of the funds' trading)
// read by their header with those figures empty; sweep-merge joins an older shard and a newer one
// into today's columns. A header of neither set, or lines of the other set, are refused.
TEST(SweepCommandTest, OlderSummaryColumnsReadByTheirHeader)
{
    ASSERT_EQ(olderSummaryColumns(), 46u); // the older set ends with the hold's last figure
    EXPECT_EQ(summaryColumnNames()[45], "beat_hold_share_pct");
    const auto withMedians = [](SweepFile f) {
        f.identity.settings.insert(f.identity.settings.begin(),
                                   {{"rank", "median"}, {"judge_start_date", "2005-01-01"}});
        for (auto& l : f.lines)
            if (l.summary) {
                l.summary->medianSortino = 1.25;
                l.summary->medianCostSharePct = 0.5 * static_cast<double>(l.combination);
                l.judge = l.summary;
                l.judge->medianCalmar = -0.75;
            }
        return f;
    };
    const auto older = [](SweepFile f) {
        for (auto& l : f.lines) {
            clearMedians(l.summary);
            clearMedians(l.judge);
        }
        return f;
    };
    const SweepFile whole = withMedians(fiveCombinations("1", {}));
    const std::string today = sweepCsvText(whole);
    const std::string summary = summaryCsvText(whole.lines[0].summary);
    const auto calmarOnly = [](std::string_view name) { return name == "fund_median_calmar"; };
    struct Row
    {
        const char* name;
        std::string text;
        bool sweep;
        std::optional<SweepFile> read; // the summary of its first line for a summary.csv; none: refused
    };
    const Row rows[] = {
        {"summary.csv of today", summary, false, whole},
        {"an older summary.csv", withoutColumns(summary, newerColumn), false, older(whole)},
        {"an older header over today's line", withoutColumns(summary, newerColumn, false), false, std::nullopt},
        {"a newer column missing", withoutColumns(summary, calmarOnly), false, std::nullopt},
        {"sweep.csv of today", today, true, whole},
        {"an older sweep.csv, ranked and judged", withoutColumns(today, newerColumn), true, older(whole)},
        {"an older sweep header over today's lines", withoutColumns(today, newerColumn, false), true, std::nullopt},
        {"a sweep.csv missing a newer column", withoutColumns(today, calmarOnly), true, std::nullopt},
    };
    for (const Row& row : rows) {
        if (!row.sweep) {
            const auto read = readSummaryCsv(row.text);
            EXPECT_EQ(read.has_value(), row.read.has_value()) << row.name;
            if (read && row.read)
                EXPECT_EQ(summaryFields(read), summaryFields(row.read->lines[0].summary)) << row.name;
            continue;
        }
        const SweepCsvRead read = readSweepCsv(row.text);
        EXPECT_EQ(read.file.has_value(), row.read.has_value()) << row.name << ": " << read.problem;
        if (read.file && row.read) // written back with today's columns
            EXPECT_EQ(sweepCsvText(*read.file), sweepCsvText(*row.read)) << row.name;
    }

    // An older shard and a newer one merge into today's columns, the older lines' medians empty.
    test::TempDir dir;
    const SweepFile odd = withMedians(fiveCombinations("1", {{1}, 2}));
    const SweepFile even = withMedians(fiveCombinations("1", {{2}, 2}));
    dir.write("odd.csv", toCrLf(withoutColumns(sweepCsvText(odd), newerColumn)));
    dir.write("even.csv", toCrLf(sweepCsvText(even)));
    const auto merged = test::commandLine({"sweep-merge", (dir / "odd.csv").string(), (dir / "even.csv").string(),
                                           "--out", (dir / "sweep.csv").string()});
    ASSERT_EQ(merged.status, exitDone) << merged.err;
    SweepFile expected = whole;
    for (auto& l : expected.lines)
        if (l.combination % 2 == 1) {
            clearMedians(l.summary);
            clearMedians(l.judge);
        }
    EXPECT_EQ(dir.read("sweep.csv"), toCrLf(sweepCsvText(expected)));
}

// Only what a sweep writes reads back: a figure with other digits, a line of another shard, a
// missing identity line, a cut last line are each named by their line.
TEST(SweepCommandTest, ReadsBackOnlyWhatASweepWrites)
{
    const std::string whole = sweepCsvText(fiveCombinations("1", {{1}, 2}));
    ASSERT_TRUE(readSweepCsv(whole).file);
    const auto edited = [&](const std::string& from, const std::string& to) {
        std::string text = whole;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    struct Row
    {
        const char* name;
        std::string text;
        std::size_t line;
    };
    // case | the file | the line named (the identity takes lines 1 to 6, the header 7)
    const Row rows[] = {
        {"a figure written otherwise", edited(",1.50,", ",1.5,"), 8},
        {"a combination of another shard", edited("\n3,15,", "\n2,15,"), 9},
        {"no shard line", edited("# shard=1/2\n", ""), 6},
        {"more combinations than a sweep runs", edited("# combinations=5\n", "# combinations=999999999999\n"), 5},
        {"a cut last line", whole.substr(0, whole.size() - 1), 10},
        {"another file", "combination,margin_pct\n1,5\n", 1},
    };
    for (const Row& row : rows) {
        const SweepCsvRead read = readSweepCsv(row.text);
        EXPECT_FALSE(read.file) << row.name;
        EXPECT_EQ(read.badLine, row.line) << row.name << ": " << read.problem;
    }
}

// A sweep of one combination gives the summary a run with the same settings gives, and leaves the
// run's result files as they were.
TEST(SweepCommandTest, OneCombinationIsTheRun)
{
    test::TempDir dir;
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const std::vector<std::string> settings = {"--stocks",      "005930,000660,016360",
                                               "--program-dir", ".",
                                               "--cadence",     "1",
                                               "--years",       "1",
                                               "--start",       "20030101",
                                               "--end",         "20051231",
                                               "--margin",      "15"};
    auto run = std::vector<std::string>{"run", "--yield-stats", "1"};
    run.insert(run.end(), settings.begin(), settings.end());
    auto sweep = std::vector<std::string>{"sweep", "--second", "10"};
    sweep.insert(sweep.end(), settings.begin(), settings.end());
    const auto made = test::commandLine({"sample-data", "."});
    const auto ran = test::commandLine(run);
    const std::string results = dir.read("result.csv"), stats = dir.read("stats.csv");
    const auto swept = test::commandLine(sweep);
    std::filesystem::current_path(here);
    ASSERT_EQ(made.status, exitDone);
    ASSERT_EQ(ran.status, exitDone) << ran.err;
    ASSERT_EQ(swept.status, exitDone) << swept.err;
    EXPECT_EQ(dir.read("result.csv"), results);
    EXPECT_EQ(dir.read("stats.csv"), stats);
    // The line of the combination holds the run's summary, field for field.
    const auto read = readSweepCsv(dir.read("sweep.csv"));
    ASSERT_TRUE(read.file) << read.problem;
    ASSERT_EQ(read.file->lines.size(), 1u);
    const auto summary = readSummaryCsv(dir.read("summary.csv"));
    ASSERT_TRUE(summary);
    EXPECT_GT(summary->funds, 10);
    EXPECT_EQ(summaryFields(read.file->lines[0].summary), summaryFields(summary));
    EXPECT_EQ(read.file->lines[0].settings.marginPct, 15);
    EXPECT_TRUE(read.file->lines[0].autoSet);
    EXPECT_EQ(read.file->identity.combinations, 1);
    EXPECT_EQ(swept.out.find("50~150"), std::string::npos) << "the range came from ksp.txt: " << swept.out;
}
