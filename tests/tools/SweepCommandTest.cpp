#include "tools/SweepCommand.h"

#include "engine/MarketData.h"
#include "formats/ResultCsv.h"
#include "formats/StatsCsv.h"
#include "platform/core/TextFile.h"
#include "support/CommandLineRun.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
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
    EXPECT_THROW(plan({{"--rank", "best"}}), UsageError);
    EXPECT_THROW(plan({{"--shard", "3/2"}}), UsageError);
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

TEST(SweepCommandTest, ShardFilesJoinIntoTheFileOfOneSweep)
{
    test::TempDir dir;
    std::string whole = sweepCsvHeader(), odd = sweepCsvHeader(), even = sweepCsvHeader();
    for (int n = 1; n <= 5; ++n) {
        SweepLine line{n, {5 * n, 10, 50, 150, 50, 1}, std::nullopt};
        if (n != 3) {
            SeriesSummary s;
            s.funds = 10 + n;
            s.fund.median = n * 1.5;
            s.fund.worstStart = s.fund.bestStart = "2004-01-01";
            line.summary = s;
        }
        whole += sweepCsvLine(line);
        (n % 2 ? odd : even) += sweepCsvLine(line);
    }
    dir.write("even.csv", toCrLf(even));
    dir.write("odd.csv", toCrLf(odd));
    const auto merged = test::commandLine({"sweep-merge", (dir / "even.csv").string(), (dir / "odd.csv").string(),
                                           "--out", (dir / "sweep.csv").string()});
    EXPECT_EQ(merged.status, exitDone) << merged.err;
    EXPECT_EQ(dir.read("sweep.csv"), toCrLf(whole));
    dir.write("other.csv", toCrLf(sweepCsvHeader() + "1,99,10,50,150,50,1,0" + std::string(28, ',') + "\n"));
    EXPECT_EQ(test::commandLine({"sweep-merge", (dir / "odd.csv").string(), (dir / "other.csv").string()}).status,
              exitFailed);
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
    const auto summary = summarizeSeries(readResultCsv(results), readStatsCsv(stats));
    ASSERT_TRUE(summary);
    EXPECT_GT(summary->funds, 10);
    const std::string line = sweepCsvLine({1, {15, 10, 50, 150, 50, 1}, summary});
    EXPECT_EQ(dir.read("sweep.csv"), toCrLf(sweepCsvHeader() + line));
}
