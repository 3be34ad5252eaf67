#include "tools/WalkForward.h"

#include "formats/SummaryCsv.h"
#include "platform/core/TextFile.h"
#include "results/core/SweepCsv.h"
#include "results/core/SweepRanks.h"
#include "support/CommandLineRun.h"
#include "support/Faults.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <map>

using namespace kestrelan;

namespace {

// The sample market, made once for the tests below; each command runs in it as its folder.
class WalkForwardTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        market = new test::TempDir;
        ASSERT_EQ(inMarket({"sample-data", "."}).status, exitDone);
    }
    static void TearDownTestSuite()
    {
        delete market;
        market = nullptr;
    }

    static test::CliOutcome inMarket(std::vector<std::string> args)
    {
        const auto here = std::filesystem::current_path();
        std::filesystem::current_path(market->path());
        auto outcome = test::commandLine(args);
        std::filesystem::current_path(here);
        return outcome;
    }

    // A statistics run's summary with the settings of a sweep's line over a period.
    static std::optional<SeriesSummary> statisticsRun(const SweepLine& line, const std::string& start,
                                                      const std::string& end)
    {
        auto args = common;
        args.insert(args.begin(), {"run", "--yield-stats", "1"});
        args.insert(args.end(), {"--start", start, "--end", end, "--margin", std::to_string(line.settings.marginPct),
                                 "--second", std::to_string(line.settings.secondPct), "--risk",
                                 std::to_string(line.settings.riskProfile)});
        const auto ran = inMarket(args);
        EXPECT_EQ(ran.status, exitDone) << ran.err;
        return readSummaryCsv(market->read("summary.csv"));
    }

    static std::vector<std::string> sweep(std::vector<std::string> more)
    {
        auto args = common;
        args.insert(args.begin(), {"sweep", "--margin", "5,15", "--second", "5,10", "--risk", "0,2"});
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }

    static inline test::TempDir* market = nullptr;
    static inline const std::vector<std::string> common
        = {"--stocks", "005930,000660,016360", "--program-dir", ".", "--cadence", "1", "--years", "0"};
};

// A CSV the program wrote, without its "#" lines, as rows of fields by column name.
std::vector<std::map<std::string, std::string>> csvRows(const std::string& bytes)
{
    std::vector<std::vector<std::string>> lines;
    for (std::size_t start = 0; start < bytes.size();) {
        auto end = bytes.find('\n', start);
        std::string line = bytes.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.starts_with("#"))
            continue;
        auto& fields = lines.emplace_back();
        for (std::size_t from = 0;;) {
            const auto comma = line.find(',', from);
            fields.push_back(line.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
            if (comma == std::string::npos)
                break;
            from = comma + 1;
        }
    }
    std::vector<std::map<std::string, std::string>> rows;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        auto& row = rows.emplace_back();
        for (std::size_t c = 0; c < lines[0].size() && c < lines[i].size(); ++c)
            row[lines[0][c]] = lines[i][c];
    }
    return rows;
}

std::string isoToDigits(std::string iso)
{
    std::erase(iso, '-');
    return iso;
}

} // namespace

// What a sweep says of the combination it chose is what a statistics run over the judge span
// with that combination's settings says: on a pair of spans, and on every window of a walk.
TEST_F(WalkForwardTest, TheChoiceIsJudgedAsAStatisticsRunOverTheJudgeSpanJudgesIt)
{
    const auto judged = inMarket(sweep({"--choose", "20000101:20021231", "--judge", "20030101:20051231"}));
    ASSERT_EQ(judged.status, exitDone) << judged.err;
    const auto read = readSweepCsv(market->read("sweep.csv"));
    ASSERT_TRUE(read.file) << read.problem;
    ASSERT_EQ(read.file->lines.size(), 8u);
    const SweepLine* chosen = nullptr;
    for (const auto& l : read.file->lines)
        if (l.rank == 1)
            chosen = &l;
    ASSERT_TRUE(chosen);
    ASSERT_TRUE(chosen->judge);
    EXPECT_GT(chosen->judge->funds, 1);
    EXPECT_EQ(summaryFields(chosen->judge), summaryFields(statisticsRun(*chosen, "20030101", "20051231")));
    EXPECT_EQ(summaryFields(chosen->summary), summaryFields(statisticsRun(*chosen, "20000101", "20021231")));
    EXPECT_NE(judged.out.find("1위는 조합 8개를 시도해 고른 것입니다"), std::string::npos) << judged.out;

    // A walk: each window's choice against a run over its judge span.
    const auto walked = inMarket(sweep({"--start", "20000101", "--end", "20061130", "--walk", "36:12"}));
    ASSERT_EQ(walked.status, exitDone) << walked.err;
    const auto windows = csvRows(market->read("walkforward.csv"));
    ASSERT_EQ(windows.size(), 4u); // the whole period, then 2003, 2004 and 2005 judged
    const auto lines = readSweepCsv(market->read("sweep.csv"));
    ASSERT_TRUE(lines.file) << lines.problem;
    for (std::size_t w = 1; w < windows.size(); ++w) {
        const auto& row = windows[w];
        EXPECT_EQ(row.at("window"), std::to_string(w));
        EXPECT_EQ(row.at("judge_start"), std::to_string(2002 + w) + "-01-01");
        const SweepLine* pick = nullptr;
        for (const auto& l : lines.file->lines)
            if (l.window == static_cast<std::int32_t>(w) && std::to_string(l.combination) == row.at("combination"))
                pick = &l;
        ASSERT_TRUE(pick) << w;
        EXPECT_EQ(pick->rank, 1) << w;
        const auto run = statisticsRun(*pick, isoToDigits(row.at("judge_start")), isoToDigits(row.at("judge_end")));
        EXPECT_EQ(SummaryFieldTexts(run)["fund_median_pct"], row.at("judge_fund_median_pct")) << w;
        EXPECT_EQ(summaryFields(pick->judge), summaryFields(run)) << w;
    }
    // The out-of-sample series holds every window's judged funds, beside the fixed choice's.
    const auto series = csvRows(market->read("walkforward-summary.csv"));
    ASSERT_EQ(series.size(), 2u);
    EXPECT_EQ(series[0].at("series"), "out_of_sample");
    EXPECT_EQ(series[1].at("series"), "fixed");
    EXPECT_EQ(series[0].at("funds"), series[1].at("funds"));
    EXPECT_EQ(series[0].at("funds"), windows[0].at("judge_funds"));
}

// A dry run counts what the sweep would run and writes nothing, not even the portfolio.
TEST_F(WalkForwardTest, ADryRunCountsAndWritesNothing)
{
    struct Row
    {
        std::vector<std::string> options;
        std::string said;
    };
    // options | what it counts (8 combinations; funds: those of a statistics run, or of every span)
    const Row rows[] = {
        {{"--start", "20000101", "--end", "20021231"}, "조합 8개, 조합마다 펀드 25개: 펀드 200번"},
        {{"--choose", "20000101:20021231", "--judge", "20030101:20051231"}, "펀드 50개 (고르는 기간 25개, 판단 기간 25개)"},
        {{"--start", "20000101", "--end", "20061130", "--walk", "36:12", "--shard", "2/3"}, "이 조각(2/3)의 3개"},
    };
    for (const Row& row : rows) {
        const auto before = market->files();
        auto options = row.options;
        options.push_back("--dry-run");
        const auto dry = inMarket(sweep(options));
        EXPECT_EQ(dry.status, exitDone) << dry.err;
        EXPECT_NE(dry.out.find(row.said), std::string::npos) << dry.out;
        EXPECT_NE(dry.out.find("펀드 하나"), std::string::npos) << dry.out;
        EXPECT_EQ(market->files(), before) << row.said;
    }
}

// A sweep killed part way and resumed with the same command writes the file an uncut sweep
// writes, byte for byte; a file of another sweep is not resumed.
TEST_F(WalkForwardTest, AKilledSweepResumedIsTheUncutOne)
{
    const auto walk = sweep({"--start", "20000101", "--end", "20061130", "--walk", "36:12", "--out", "walk.csv"});
    ASSERT_EQ(inMarket(walk).status, exitDone);
    const std::string uncut = market->read("walk.csv");
    const std::string table = market->read("walkforward.csv");
    auto resumed = walk;
    resumed.push_back("--resume");
    for (const int n : {1, 4, 7}) {
        std::filesystem::remove(market->path() / "walk.csv");
        std::filesystem::remove(market->path() / "walkforward.csv");
        std::string point;
        ASSERT_TRUE(test::killedAtPoint(n, [&] { inMarket(walk); }, &point, "sweep:combination")) << n;
        const auto cut = readSweepCsv(market->read("walk.csv"));
        ASSERT_TRUE(cut.file) << n << ": " << cut.problem;
        EXPECT_LT(cut.file->lines.size(), readSweepCsv(uncut).file->lines.size()) << n;
        const auto again = inMarket(resumed);
        ASSERT_EQ(again.status, exitDone) << again.err;
        EXPECT_EQ(market->read("walk.csv"), uncut) << n;
        EXPECT_EQ(market->read("walkforward.csv"), table) << n;
    }
    // Another sweep's file (other values of a setting) is left as it is.
    auto other = resumed;
    other[std::find(other.begin(), other.end(), "--second") - other.begin() + 1] = "5,15";
    const auto refused = inMarket(other);
    EXPECT_EQ(refused.status, exitFailed);
    EXPECT_NE(refused.err.find("다른 sweep의 파일"), std::string::npos) << refused.err;
    EXPECT_EQ(market->read("walk.csv"), uncut);
}

// Ranks and plateaus over a grid of two settings: a plateau is the median of the figure over the
// combination and its neighbours one step either way on each setting; a fall ranks the smaller
// first; a line without the figure has neither.
TEST(SweepRanksTest, PlateausAreMediansOverNeighbours)
{
    // margin 5,10,15 x second 5,10; fund_median_pct of each
    const double figures[3][2] = {{1, 2}, {9, 3}, {4, 5}};
    std::vector<SweepLine> lines;
    std::int64_t n = 0;
    for (int m = 0; m < 3; ++m)
        for (int s = 0; s < 2; ++s) {
            SeriesSummary summary;
            summary.funds = 3;
            summary.fund.median = figures[m][s];
            summary.medianFundDrawdown = figures[m][s];
            for (Spread* x : {&summary.fund, &summary.index, &summary.excess})
                x->worstStart = x->bestStart = "2004-01-01";
            lines.push_back({++n, {5 * (m + 1), 5 * (s + 1), 0, 0, 0, 1}, true, summary});
        }
    lines.push_back({++n, {20, 5, 0, 0, 0, 1}, true, std::nullopt}); // no fund
    rankSweepLines(lines, "fund_median_pct");
    struct Row
    {
        std::size_t line;
        std::int64_t rank;
        std::optional<double> plateau;
    };
    // margin 10/second 5 (9) wins alone; its neighbours 1, 4 and 3 give a plateau of 3.5.
    const Row rows[] = {{2, 1, 3.5}, {0, 6, 2}, {5, 2, 4}, {6, 0, std::nullopt}};
    for (const Row& row : rows) {
        EXPECT_EQ(lines[row.line].rank, row.rank) << row.line;
        EXPECT_EQ(lines[row.line].plateau, row.plateau) << row.line;
    }
    rankSweepLines(lines, "fund_median_drawdown_pct");
    EXPECT_EQ(lines[0].rank, 1);
    EXPECT_EQ(lines[2].rank, 6);
}
