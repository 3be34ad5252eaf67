#include "engine/CSimEngine.h"
#include "engine/Portfolio.h"
#include "support/PriceBuilder.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "tools/SampleMarket.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

using namespace kestrelan;

namespace {

// The sample market in a temporary folder, written once for the suite.
struct SampleRun : ::testing::Test
{
    static void SetUpTestSuite()
    {
        market = new test::TempDir;
        writeSampleMarket(market->path());
    }
    static void TearDownTestSuite() { delete market; }

    int run(const SimParams& p, const std::vector<std::string>& codes, int mode, std::int64_t amount, int threads = 0)
    {
        const auto all = loadCodeList(*market / "code.lst");
        std::vector<std::string> picked;
        for (const auto& code : codes)
            for (const auto& e : *all)
                if (entryCode(e) == code)
                    picked.push_back(e);
        writeSimItems(market->path(), picked, mode, amount);
        RunContext c;
        c.workDir = market->path();
        c.programDir = market->path();
        c.messages = &messages;
        c.progress = &progress;
        c.threads = threads;
        walked = 0;
        c.recordsWalked = &walked;
        CSimEngine engine(c);
        return engine.runSimulation(p);
    }

    static test::TempDir* market;
    test::RecordingSink messages;
    test::RecordingProgress progress;
    std::int64_t walked = 0;
};
test::TempDir* SampleRun::market = nullptr;

SimParams series(FundCadence cadence)
{
    SimParams p;
    p.yieldStats = 1;
    p.fundCadence = cadence;
    p.startDate = 20020101;
    p.endDate = 20051231;
    p.years = 1;
    return p;
}

} // namespace

TEST_F(SampleRun, SeriesIsTheSameOnAnyNumberOfWorkers)
{
    const std::vector<std::string> codes = {"005930", "000660", "035420", "001460", "036570"};
    ASSERT_EQ(run(series(FundCadence::Daily), codes, 1, 500000000, 1), runFinished);
    const std::string csv = market->read("result.csv"), txt = market->read("result.txt");
    ASSERT_EQ(run(series(FundCadence::Daily), codes, 1, 500000000, 3), runFinished);
    EXPECT_EQ(market->read("result.csv"), csv);
    EXPECT_EQ(market->read("result.txt"), txt);
    EXPECT_GT(walked, 0);
    EXPECT_GT(std::count(csv.begin(), csv.end(), '\n'), 500);
}

TEST_F(SampleRun, ProgressMovesToTheEndAndCloses)
{
    SimParams p;
    p.startDate = 20040101;
    p.endDate = 20040331;
    ASSERT_EQ(run(p, {"005930"}, 0, 100000000), runFinished);
    EXPECT_EQ(progress.text, "시뮬레이션 진행중입니다....");
    ASSERT_FALSE(progress.positions.empty());
    EXPECT_EQ(progress.positions.back(), 100);
    EXPECT_TRUE(std::is_sorted(progress.positions.begin(), progress.positions.end()));
    EXPECT_EQ(progress.ended, 1);
}

TEST_F(SampleRun, MoreThanFiftyStocksStopBeforeAnyResultFile)
{
    std::filesystem::remove(*market / "result.csv");
    std::vector<std::string> codes(51, "005930");
    SimParams p;
    p.startDate = 20040101;
    p.endDate = 20040331;
    EXPECT_EQ(run(p, codes, 0, 100000000), runStopped);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], "시뮬레이션은 50종목까지 가능합니다.");
    EXPECT_FALSE(market->exists("result.csv"));
}

TEST_F(SampleRun, NoFundLeavesTheHeadersOnly)
{
    SimParams p;
    p.startDate = 20040103; // a Saturday and Sunday only
    p.endDate = 20040104;
    ASSERT_EQ(run(p, {"005930"}, 0, 100000000), runFinished);
    const std::string csv = market->read("result.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1);
    EXPECT_EQ(market->read("trade.csv"), "");
    EXPECT_EQ(market->read("gen.csv"), "");
}

TEST_F(SampleRun, AutoSetFollowsTheIndexLevelOfEachFund)
{
    // Monthly half-year funds over 2001-2002: the index moves from below 600 to above 850, so
    // the stable profile's ranges change from fund to fund.
    SimParams p = series(FundCadence::Monthly);
    p.startDate = 20010101;
    p.years = 0;
    ASSERT_EQ(run(p, {"005930"}, 0, 100000000), runFinished);
    std::set<std::string> tops;
    const std::string txt = market->read("result.txt");
    std::size_t line = txt.find('\n') + 1;
    while (line < txt.size()) {
        const std::size_t end = txt.find('\n', line);
        std::vector<std::string> f;
        std::size_t a = line;
        for (int i = 0; i < 13; ++i) {
            const std::size_t comma = txt.find(',', a);
            f.push_back(txt.substr(a, comma - a));
            a = comma + 1;
        }
        tops.insert(f[11]); // Top
        line = end + 1;
    }
    EXPECT_GE(tops.size(), 3u);
}

TEST_F(SampleRun, StockWithoutASlotWritesNothing)
{
    // Total amount too small for the minimum quantities: every fund ends at the division.
    SimParams p;
    p.startDate = 20040101;
    p.endDate = 20040331;
    ASSERT_EQ(run(p, {"090430", "017670"}, 1, 1000000), runFinished);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].rfind("시작일 20040101 : ", 0), 0u);
    EXPECT_EQ(market->read("gen.csv"), "");
    EXPECT_EQ(market->read("trade.csv"), "");
}
