// The run over the sample market, and over a small market under faults: folders it may not
// write, a full disk, missing, empty and truncated files, files that change between runs and a
// second run in the folder. Each fault gives one clear message or a defined result.

#include "engine/CSimEngine.h"
#include "engine/MarketData.h"
#include "engine/Portfolio.h"
#include "engine/SeriesSession.h"
#include "formats/ResultCsv.h"
#include "formats/ResultSet.h"
#include "formats/StatsCsv.h"
#include "formats/TradeCsv.h"
#include "formats/RunHistory.h"
#include "platform/core/TextFile.h"
#include "platform/core/FolderLock.h"
#include "support/Faults.h"
#include "support/Recorders.h"
#include "support/SmallMarket.h"
#include "support/TempDir.h"
#include "tools/SampleMarket.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <set>

using namespace kestrelan;

namespace {

struct SimulationRunTest : ::testing::Test
{
    static void TearDownTestSuite()
    {
        delete sample;
        sample = nullptr;
    }

    // The sample market in a temporary folder, written once for the suite when a test first
    // needs it.
    static test::TempDir& market()
    {
        if (!sample) {
            sample = new test::TempDir;
            writeSampleMarket(sample->path());
        }
        return *sample;
    }

    RunStatus run(const SimParams& p, const std::vector<std::string>& codes, int mode, std::int64_t amount, int threads = 0)
    {
        const auto all = loadCodeList(market() / "code.lst");
        std::vector<std::string> picked;
        for (const auto& code : codes)
            for (const auto& e : *all)
                if (entryCode(e) == code)
                    picked.push_back(e);
        writeSimItems(market().path(), picked, mode, amount);
        RunContext c;
        c.workDir = market().path();
        c.programDir = market().path();
        c.messages = &messages;
        c.progress = &progress;
        c.threads = threads;
        counts = {};
        c.counts = &counts;
        CSimEngine engine(c);
        return engine.runSimulation(p).status;
    }

    static test::TempDir* sample;
    test::RecordingSink messages;
    test::RecordingProgress progress;
    WalkCounts counts;
};
test::TempDir* SimulationRunTest::sample = nullptr;

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

TEST_F(SimulationRunTest, SeriesIsTheSameOnAnyNumberOfWorkers)
{
    const std::vector<std::string> codes = {"005930", "000660", "035420", "001460", "036570"};
    ASSERT_EQ(run(series(FundCadence::Daily), codes, 1, 500000000, 1), runFinished);
    const std::string csv = market().read("result.csv"), txt = market().read("result.txt");
    ASSERT_EQ(run(series(FundCadence::Daily), codes, 1, 500000000, 3), runFinished);
    EXPECT_EQ(market().read("result.csv"), csv);
    EXPECT_EQ(market().read("result.txt"), txt);
    EXPECT_GT(counts.recordsCovered, 0);
    EXPECT_GT(std::count(csv.begin(), csv.end(), '\n'), 500);
}

TEST_F(SimulationRunTest, ProgressMovesToTheEndAndCloses)
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

TEST_F(SimulationRunTest, MoreThanFiftyStocksStopBeforeAnyResultFile)
{
    std::filesystem::remove(market() / "result.csv");
    std::vector<std::string> codes(51, "005930");
    SimParams p;
    p.startDate = 20040101;
    p.endDate = 20040331;
    EXPECT_EQ(run(p, codes, 0, 100000000), runStopped);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], "시뮬레이션은 50종목까지 가능합니다.");
    EXPECT_FALSE(market().exists("result.csv"));
}

// A period that holds no fund stops the run with a message and leaves the previous results: a
// single fund without a trading day, a series whose funds are longer than the period.
TEST_F(SimulationRunTest, NoFundStopsTheRunAndKeepsThePreviousResults)
{
    SimParams single;
    single.startDate = 20040601;
    single.endDate = 20040630;
    ASSERT_EQ(run(single, {"005930"}, 0, 100000000), runFinished);
    const std::string before = market().read("result.csv");
    SimParams weekend = single;
    weekend.startDate = 20040103; // a Saturday and Sunday only
    weekend.endDate = 20040104;
    SimParams longer = series(FundCadence::Monthly);
    longer.startDate = 20030101;
    longer.endDate = 20051231;
    longer.years = 4;
    for (const SimParams& p : {weekend, longer}) {
        messages.shown.clear();
        EXPECT_EQ(run(p, {"005930"}, 0, 100000000), runStopped);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_NE(messages.shown[0].find("실행할 펀드가 없습니다"), std::string::npos) << messages.shown[0];
        EXPECT_EQ(market().read("result.csv"), before);
    }
}

TEST_F(SimulationRunTest, AutoSetFollowsTheIndexLevelOfEachFund)
{
    // Monthly half-year funds over 2001-2002: the index moves from below 600 to above 850, so
    // the stable profile's ranges change from fund to fund.
    SimParams p = series(FundCadence::Monthly);
    p.startDate = 20010101;
    p.years = 0;
    ASSERT_EQ(run(p, {"005930"}, 0, 100000000), runFinished);
    std::set<std::string> tops;
    const std::string txt = market().read("result.txt");
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

TEST_F(SimulationRunTest, StockWithoutASlotWritesNothing)
{
    // Total amount too small for the minimum quantities: every fund ends at the division.
    SimParams p;
    p.startDate = 20040101;
    p.endDate = 20040331;
    ASSERT_EQ(run(p, {"090430", "017670"}, 1, 1000000), runFinished);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].rfind("시작일 20040101 : ", 0), 0u);
    EXPECT_EQ(market().read("gen.csv"), "");
    EXPECT_EQ(market().read("trade.csv"), "");
}

// The run under faults.

// A price file beyond 32-bit positions (3 GB, sparse) stops the run with one message.
TEST_F(SimulationRunTest, PriceFileTheLoaderCannotHoldStopsTheRun)
{
    test::SmallMarket m;
    std::filesystem::resize_file(m.dir / "StockData/222220.real", std::uint64_t{3} << 30); // no disk blocks
    // Refused by its size before a byte is read: no memory is spent on it.
    EXPECT_EQ(m.run(), runStopped);
    ASSERT_EQ(m.messages.shown.size(), 1u);
    EXPECT_NE(m.messages.shown[0].find("222220.real"), std::string::npos) << m.messages.shown[0];
    EXPECT_NE(m.messages.shown[0].find("너무 큽니다"), std::string::npos) << m.messages.shown[0];
}

TEST_F(SimulationRunTest, ReadOnlyWorkingFolder)
{
    test::SmallMarket m;
    test::ReadOnlyCopy ro(m.dir.path());
    if (!ro.usable)
        GTEST_SKIP() << "this machine lets the test neither mount a read-only folder nor drop write access";
    EXPECT_EQ(m.run(0, ro.mountPoint), runStopped);
    ASSERT_EQ(m.messages.shown.size(), 1u);
    EXPECT_NE(m.messages.shown[0].find("result.csv"), std::string::npos);
}

TEST_F(SimulationRunTest, FullDiskLeavesNoResultToTrust)
{
    test::SmallMarket m;
    test::SmallDisk disk(m.dir.path(), {}, false, "1m");
    if (!disk.usable)
        GTEST_SKIP() << "this machine does not let the test mount a small tmpfs";
    RunContext c;
    c.workDir = c.programDir = disk.mountPoint;
    c.messages = &m.messages;
    SimParams p;
    p.startDate = 20040101;
    p.endDate = 20040131;
    p.autoSet = 0;
    ASSERT_EQ(CSimEngine(c).runSimulation(p).status, runFinished);
    // The previous run's files go first; the new ones need a page more than they gave back.
    disk.fill();
    EXPECT_EQ(CSimEngine(c).runSimulation(p).status, runStopped);
    ASSERT_FALSE(m.messages.shown.empty());
    EXPECT_NE(m.messages.shown.back().find("디스크"), std::string::npos);
    for (const char* file : {"result.csv", "result.txt", "trade.csv", "closing.csv", "gen.csv"})
        EXPECT_FALSE(std::filesystem::exists(disk.mountPoint / file)) << file; // neither new nor previous
}

TEST_F(SimulationRunTest, MissingAndEmptyInputs)
{
    struct Row
    {
        const char* name;
        const char* file;
        bool remove; // else emptied
        RunStatus status;
        const char* message; // a part of the one message, or "" for none
    };
    // case | file | removed or emptied | run status | message
    const Row rows[] = {
        {"no kospi.lst", "kospi.lst", true, runStopped, "kospi.lst"},
        {"empty kospi.lst", "kospi.lst", false, runStopped, "kospi.lst"},
        {"no SimItem.lst", "SimItem.lst", true, runStopped, "SimItem.lst"},
        {"empty SimItem.lst", "SimItem.lst", false, runStopped, "SimItem.lst"},
        {"no price file", "StockData/222220.real", true, runStopped, "주가데이터파일이 없습니다"},
        {"empty price file: the stock sits out, and that is said", "StockData/222220.real", false, runFinished,
         "222220 종목은 주가 자료가 없어 펀드에 넣지 않았습니다"},
        {"no ksp.txt with automatic setting", "ksp.txt", true, runFinished, "ksp.txt"},
    };
    for (const auto& row : rows) {
        test::SmallMarket m;
        if (row.remove)
            std::filesystem::remove(m.dir / row.file);
        else
            m.dir.write(row.file, "");
        EXPECT_EQ(m.run(1), row.status) << row.name;
        if (*row.message) {
            ASSERT_EQ(m.messages.shown.size(), 1u) << row.name;
            EXPECT_NE(m.messages.shown[0].find(row.message), std::string::npos)
                << row.name << ": " << m.messages.shown[0];
        } else {
            EXPECT_TRUE(m.messages.shown.empty()) << row.name;
        }
    }
    test::SmallMarket sitsOut;
    sitsOut.dir.write("StockData/222220.real", "");
    sitsOut.run();
    const std::string gen = sitsOut.dir.read("gen.csv");
    EXPECT_EQ(std::count(gen.begin(), gen.end(), '\n'), 1);
}

TEST_F(SimulationRunTest, TruncatedLastRecordsAreLeftOut)
{
    test::SmallMarket whole;
    whole.run();
    test::SmallMarket cut;
    cut.dir.write("StockData/111110.real", test::SmallMarket::prices(10000) + "2004010");
    cut.dir.write("kospi.lst", cut.dir.read("kospi.lst") + "20040109 801");
    cut.dir.write("SimItem.lst", cut.dir.read("SimItem.lst") + "333330 TH");
    EXPECT_EQ(cut.run(), runFinished);
    for (const char* f : {"result.csv", "result.txt", "trade.csv", "closing.csv", "gen.csv"})
        EXPECT_EQ(cut.dir.read(f), whole.dir.read(f)) << f;
}

// What a crash leaves at the end of kospi.lst or a price file is left out and said, once; dates
// that go back (an update appended twice) stop the run with the file, the record and what to do.
TEST_F(SimulationRunTest, DamagedEndsAreLeftOutAndDatesThatGoBackStopTheRun)
{
    test::SmallMarket whole;
    ASSERT_EQ(whole.run(), runFinished);
    const std::string nul(50, '\0');
    struct Row
    {
        const char* name;
        const char* file;
        std::string tail;
        RunStatus status;
        const char* said;
    };
    // case | file | what follows its records | the run | part of its one message
    const Row rows[] = {
        {"kospi.lst ends in NUL bytes", "kospi.lst", nul, runFinished, "kospi.lst의 5번째 레코드부터 끝까지(2개)"},
        {"a price file ends in NUL bytes", "StockData/111110.real", nul, runFinished,
         "111110.real의 17번째 레코드부터"},
        {"kospi.lst holds its days twice", "kospi.lst", indexRecordBytes(20040105, 80000, 80100), runStopped,
         "kospi.lst의 5번째 레코드의 날짜(2004-01-05)"},
        {"a price file holds its days twice", "StockData/111110.real", test::SmallMarket::prices(10000), runStopped,
         "111110.real의 17번째 레코드의 날짜(2004-01-05)"},
    };
    for (const auto& row : rows) {
        test::SmallMarket m;
        m.dir.write(row.file, m.dir.read(row.file) + row.tail);
        EXPECT_EQ(m.run(), row.status) << row.name;
        ASSERT_EQ(m.messages.shown.size(), 1u) << row.name;
        EXPECT_NE(m.messages.shown[0].find(row.said), std::string::npos) << row.name << ": " << m.messages.shown[0];
        if (row.status == runFinished)
            EXPECT_EQ(m.dir.read("result.csv"), whole.dir.read("result.csv")) << row.name;
        else
            EXPECT_FALSE(m.dir.exists("result.csv")) << row.name;
    }
}

TEST_F(SimulationRunTest, PriceFilesThatChangeBetweenRunsAreReadAnew)
{
    test::SmallMarket m;
    ASSERT_EQ(m.run(), runFinished);
    const std::string before = m.dir.read("result.csv");
    // A day more, then the file cut in the middle of a record.
    m.dir.write("kospi.lst", m.dir.read("kospi.lst") + indexRecordBytes(20040109, 80100, 80200));
    m.dir.write("StockData/111110.real",
                test::SmallMarket::prices(10000) + priceRecordBytes(20040109) + priceRecordBytes(10000)
                    + priceRecordBytes(11000));
    // The other stock has the day too: a stock whose data ends before the fund is told of.
    m.dir.write("StockData/222220.real",
                test::SmallMarket::prices(5000) + priceRecordBytes(20040109) + priceRecordBytes(5000)
                    + priceRecordBytes(5300));
    ASSERT_EQ(m.run(), runFinished);
    EXPECT_GT(m.dir.read("result.csv").size(), before.size());
    EXPECT_NE(m.dir.read("closing.csv").find("2004-01-09,11000"), std::string::npos);
    const std::string full = m.dir.read("StockData/111110.real");
    m.dir.write("StockData/111110.real", full.substr(0, full.size() - 20));
    ASSERT_EQ(m.run(), runFinished);
    EXPECT_TRUE(m.messages.shown.empty());
}

TEST_F(SimulationRunTest, AKilledRunLeavesNoResultThatLooksFinished)
{
    test::SmallMarket reference;
    ASSERT_EQ(reference.run(), runFinished);
    int kills = 0;
    for (int n = 1;; ++n) {
        test::SmallMarket m;
        ASSERT_EQ(m.run(), runFinished); // the previous run's results, which the next run removes
        std::string point;
        if (!test::killedAtPoint(
                n, [&] { m.run(); }, &point))
            break;
        ++kills;
        recoverResults(m.dir.path()); // what the results window and show do before they read
        const bool finished = m.dir.exists("result.csv");
        for (const char* f : {"result.csv", "result.txt", "trade.csv", "closing.csv", "gen.csv"}) {
            EXPECT_EQ(m.dir.exists(f), finished) << f << ", killed at point " << n << " (" << point << ")";
            if (finished && m.dir.exists(f)) {
                EXPECT_EQ(m.dir.read(f), reference.dir.read(f)) << f << ", killed at " << point;
            }
        }
        EXPECT_FALSE(m.dir.exists("results.journal")) << point;
        // history/ holds the run that finished before and, only where the working folder has
        // result files, this one: each whole, and no folder of a half run that a reader would
        // take for a run.
        const auto runs = pastRuns(m.dir.path());
        ASSERT_TRUE(runs.size() == 1 || (runs.size() == 2 && finished)) << runs.size() << ", " << point;
        for (const auto& run : runs)
            for (const char* f : {"result.csv", "result.txt", "trade.csv", "closing.csv", "gen.csv", "settings.csv"})
                EXPECT_EQ(readWholeFile(run.folder / f).value_or(""), reference.dir.read(f)) << run.number << "/" << f << ", " << point;
        // The next run clears what the kill left and numbers itself after the last whole run.
        ASSERT_EQ(m.run(), runFinished);
        std::size_t folders = 0;
        for (const auto& entry : std::filesystem::directory_iterator(m.dir / "history")) {
            (void)entry;
            ++folders;
        }
        EXPECT_EQ(folders, runs.size() + 1) << point;
        EXPECT_EQ(pastRuns(m.dir.path()).back().number, runs.back().number + 1) << point;
    }
    EXPECT_GE(kills, 8); // the days of the fund, the commit's steps
}

// The runs kept: the last N, the oldest going first; --keep 1 keeps the newest.
TEST_F(SimulationRunTest, HistoryKeepsTheLastRuns)
{
    test::SmallMarket m;
    m.runsKept = 2;
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(m.run(), runFinished);
    auto numbers = [&] {
        std::vector<int> out;
        for (const auto& run : pastRuns(m.dir.path()))
            out.push_back(run.number);
        return out;
    };
    EXPECT_EQ(numbers(), (std::vector<int>{3, 4}));
    m.runsKept = 1;
    ASSERT_EQ(m.run(), runFinished);
    EXPECT_EQ(numbers(), (std::vector<int>{5}));
    EXPECT_EQ(m.dir.read("history/000005/result.csv"), m.dir.read("result.csv"));
    // A run that stops (no fund in its period) keeps nothing.
    SimParams none;
    none.startDate = none.endDate = 20040103; // a Saturday
    RunContext c;
    c.workDir = c.programDir = m.dir.path();
    c.messages = &m.messages;
    CSimEngine engine(c);
    EXPECT_EQ(engine.runSimulation(none).status, RunStatus::Stopped);
    EXPECT_EQ(numbers(), (std::vector<int>{5}));
}

TEST_F(SimulationRunTest, TwoRunsInOneFolderOneAtATime)
{
    test::SmallMarket m;
    test::LockHolder holder(m.dir.path());
    ASSERT_TRUE(holder.held);
    EXPECT_EQ(m.run(), runStopped);
    holder.release();
    ASSERT_EQ(m.messages.shown.size(), 1u);
    EXPECT_EQ(m.messages.shown[0], folderBusyMessage);
    EXPECT_EQ(m.run(), runFinished);
}

TEST_F(SimulationRunTest, FilesBeyondTheirReadersLimits)
{
    // A ksp.txt that never ends is an unusable table: one message, the form's conditions.
    test::SmallMarket endless;
    std::filesystem::remove(endless.dir / "ksp.txt");
    std::filesystem::create_symlink("/dev/zero", endless.dir / "ksp.txt");
    EXPECT_EQ(endless.run(1), runFinished);
    ASSERT_EQ(endless.messages.shown.size(), 1u);
    EXPECT_NE(endless.messages.shown[0].find("ksp.txt"), std::string::npos);
    // A SimItem.lst far beyond fifty lines stops the run with a message that names it.
    test::SmallMarket huge;
    std::filesystem::remove(huge.dir / "SimItem.lst");
    std::filesystem::create_symlink("/dev/zero", huge.dir / "SimItem.lst");
    EXPECT_EQ(huge.run(), runStopped);
    ASSERT_EQ(huge.messages.shown.size(), 1u);
    EXPECT_NE(huge.messages.shown[0].find("SimItem.lst"), std::string::npos);
}

// What a result cannot show is said once, before the funds, and changes no result file: a stock
// whose data ends inside the fund, a portfolio stock code.lst does not hold, a period outside
// kospi.lst (the small market holds 2004-01-05 to 2004-01-08).
TEST_F(SimulationRunTest, NotesSayWhatTheResultsCannotShow)
{
    struct Row
    {
        const char* name;
        std::function<void(test::SmallMarket&)> change;
        bool series;
        std::int32_t start;
        const char* says; // a part of the one message, or "" for none
    };
    // case | change to the market | a fund series | start | note
    const Row rows[] = {
        {"nothing to say", [](test::SmallMarket&) {}, false, 20040101, ""},
        {"data that ends inside the fund",
         [](test::SmallMarket& m) {
             m.dir.write("StockData/222220.real", test::SmallMarket::prices(5000).substr(0, 3 * 4 * priceRecordSize));
         },
         false, 20040101, "222220 종목의 주가 자료가 2004-01-07에 끝나, 펀드가 끝나는 2004-01-08까지"},
        {"a stock code.lst does not hold",
         [](test::SmallMarket& m) { m.dir.write("code.lst", codeRecordBytes("111110", "ONE")); }, false, 20040101,
         "222220 종목이 code.lst에 없습니다"},
        {"a single fund before kospi.lst", [](test::SmallMarket&) {}, false, 20031101,
         "펀드는 2004-01-05부터 매매합니다"},
    };
    test::SmallMarket plain;
    ASSERT_EQ(plain.run(), runFinished);
    for (const auto& row : rows) {
        test::SmallMarket m;
        row.change(m);
        RunContext c;
        c.workDir = c.programDir = m.dir.path();
        c.messages = &m.messages;
        SimParams p;
        p.startDate = row.start;
        p.endDate = 20040131;
        p.autoSet = false;
        p.yieldStats = row.series;
        p.years = 0;
        CSimEngine engine(c);
        EXPECT_EQ(engine.runSimulation(p).status, runFinished) << row.name;
        if (*row.says) {
            ASSERT_EQ(m.messages.shown.size(), 1u) << row.name;
            EXPECT_NE(m.messages.shown[0].find(row.says), std::string::npos) << row.name << ": " << m.messages.shown[0];
        } else {
            EXPECT_TRUE(m.messages.shown.empty()) << row.name << ": " << m.messages.shown[0];
        }
        // The note says the fund trades from the index's first day, and its stocks do.
        if (std::string(row.name) == "a single fund before kospi.lst")
            EXPECT_NE(m.dir.read("gen.csv"), "") << row.name;
        if (std::string(row.name).find("code.lst") != std::string::npos) {
            for (const char* f : {"result.csv", "result.txt", "trade.csv", "closing.csv", "gen.csv"})
                EXPECT_EQ(m.dir.read(f), plain.dir.read(f)) << row.name << ": " << f;
        }
    }
}

// Every stock that sits a fund out is named once per reason with the number of funds, after the
// funds; a fund that starts on a stock's last day buys it and values it at its last price.
TEST_F(SimulationRunTest, EveryStockThatSitsOutIsNamedWithItsReason)
{
    struct Row
    {
        const char* name;
        std::int32_t start, end;
        bool series;
        std::vector<std::string> codes;
        int mode;
        std::int64_t amount;
        const char* says;
    };
    // case | period | a monthly series of half-year funds | stocks | invest mode, amount | note
    const Row rows[] = {
        {"a listing more than a month after the start", 20020101, 20020329, false, {"036570", "005930"}, 0, 100000000,
         "036570 종목은 펀드 시작일(2002-01-01)부터 30일 안에 주가 자료가 없어 펀드에 넣지 않았습니다."},
        {"the same in a series", 20011001, 20030131, true, {"036570", "005930"}, 0, 100000000,
         "036570 종목은 펀드 시작일(2001-10-01 등)부터 30일 안에 주가 자료가 없어 펀드 5개에 넣지 않았습니다."},
        {"shares worth more than the largest amount", 20040601, 20040630, false, {"017670", "000660"}, 2, 10000,
         "017670 종목은 주식수 10,000주가 시작 가격으로 2,000,000,000원을 넘어 펀드에 넣지 않았습니다."},
        {"too little for twenty shares", 20040601, 20040630, false, {"090430", "000660"}, 0, 1000000,
         "090430 종목은 투자금액으로 최소 20주를 살 수 없어"},
        {"a total with no price before the start", 20020304, 20020329, false, {"036570", "005930"}, 1, 200000000,
         "036570 종목은 펀드 시작 전날의 가격이 없거나"},
        {"data that ends on the fund's first day", 20040630, 20040730, false, {"001460", "005930"}, 0, 100000000,
         "001460 종목의 주가 자료가 2004-06-30에 끝나, 펀드가 끝나는 2004-07-30까지 그날의 마지막 가격으로 평가합니다."},
    };
    for (const auto& row : rows) {
        SimParams p = row.series ? series(FundCadence::Monthly) : SimParams{};
        p.startDate = row.start;
        p.endDate = row.end;
        p.years = 0;
        p.autoSet = false;
        p.investMode = static_cast<InvestMode>(row.mode);
        messages.shown.clear();
        ASSERT_EQ(run(p, row.codes, row.mode, row.amount), runFinished) << row.name;
        ASSERT_EQ(messages.shown.size(), 1u) << row.name;
        EXPECT_NE(messages.shown[0].find(row.says), std::string::npos) << row.name << ": " << messages.shown[0];
    }
    // The stock whose data ends on the first day bought: it is in gen.csv.
    EXPECT_NE(market().read("gen.csv").find("001460"), std::string::npos);
}

// A fund of a series walks each stock to its end at once and notes its value day by day on the
// way; a single fund walks every stock a day at a time. Both must find the same daily values,
// through splits, a late listing and a delisting, so the same risk figures.
TEST_F(SimulationRunTest, SeriesFundsHaveTheRiskFiguresOfTheSameFundRunAlone)
{
    const std::vector<std::string> codes = {"005930", "000660", "035420", "001460", "036570"};
    SimParams p = series(FundCadence::Monthly);
    ASSERT_EQ(run(p, codes, 1, 500000000), runFinished);
    const std::string stats = market().read("stats.csv");
    std::vector<std::string> lines;
    for (std::size_t at = stats.find('\n') + 1, end; (end = stats.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(stats.substr(at, end + 1 - at));
    ASSERT_GT(lines.size(), 20u);
    for (std::size_t k = 0; k < lines.size(); k += 7) {
        const auto date = [&](std::size_t from) {
            const std::string t = lines[k].substr(from, 10); // yyyy-mm-dd
            return std::stoi(t.substr(0, 4) + t.substr(5, 2) + t.substr(8, 2));
        };
        SimParams single;
        single.startDate = date(0);
        single.endDate = date(11);
        ASSERT_EQ(run(single, codes, 1, 500000000), runFinished);
        const std::string alone = market().read("stats.csv");
        EXPECT_EQ(alone.substr(alone.find('\n') + 1), lines[k]) << "fund " << k;
    }
}

// A sweep's combination trades on its own costs, the commission and the tax alike: each gives
// the result lines a run with those settings writes, and each cost changes them.
TEST_F(SimulationRunTest, ASweepOverCostsTradesOnEachCombinationsCosts)
{
    const std::vector<std::string> codes = {"005930", "000660", "035420"};
    const SimParams base = series(FundCadence::Monthly);
    const auto lines = [](std::string text) {
        std::erase(text, '\r');
        return text.substr(text.find('\n') + 1); // past the header
    };
    ASSERT_EQ(run(base, codes, 0, 100000000), runFinished);
    const std::string baseLines = lines(market().read("result.csv"));
    RunContext c;
    c.workDir = market().path();
    c.programDir = market().path();
    c.messages = &messages;
    const SeriesSession session(c, base);
    struct Row
    {
        const char* name;
        double commissionPct;
        bool includeTax;
    };
    const Row rows[] = {{"another commission", 1.5, true}, {"no tax", 0.2, false}, {"both", 0, false}};
    for (const Row& row : rows) {
        SimParams p = base;
        p.commissionPct = row.commissionPct;
        p.includeTax = row.includeTax;
        std::string swept;
        for (const FundResult& fund : session.run(p))
            swept += fund.resultCsvLine;
        ASSERT_EQ(run(p, codes, 0, 100000000), runFinished) << row.name;
        const std::string alone = lines(market().read("result.csv"));
        EXPECT_EQ(lines(resultCsvHeader() + swept), alone) << row.name;
        EXPECT_NE(alone, baseLines) << row.name << ": the costs changed nothing";
    }
}

// A single fund's costs, fills and figures against the index, worked out here from its own
// files: the costs are trade.csv's sums, the returns those of result.csv's daily values and
// indexes (written with fewer digits, hence the tolerance). A fund that pays no commission and
// no tax, over a day, trades nothing and pays nothing.
TEST_F(SimulationRunTest, AFundsNewFiguresAgreeWithItsOwnFiles)
{
    const std::vector<std::string> codes = {"005930", "000660", "035420"};
    SimParams p;
    p.startDate = 20030102;
    p.endDate = 20041231;
    ASSERT_EQ(run(p, codes, 0, 30000000), runFinished);
    const auto stats = readStatsCsv(market().read("stats.csv"));
    ASSERT_EQ(stats.size(), 1u);
    const StatsCsvRow& s = stats[0];
    double commission = 0, tax = 0;
    const std::string trades = market().read("trade.csv");
    for (const TradeCsvRow& t : readTradeCsv(trades)) {
        commission += t.commission;
        tax += t.tax;
    }
    EXPECT_EQ(s.grid.commissionWon, commission);
    EXPECT_EQ(s.grid.taxWon, tax);
    EXPECT_GT(tax, 0);
    EXPECT_GE(*s.grid.fills, 1);
    ASSERT_TRUE(s.grid.daysOutsideGridPct && s.grid.cashShareMeanPct);
    EXPECT_GT(*s.grid.cashShareMeanPct, 0);
    EXPECT_LT(*s.grid.cashShareMeanPct, 100);

    const std::string results = market().read("result.csv");
    const auto lines = readResultCsv(results);
    ASSERT_GT(lines.size(), 400u);
    std::vector<double> r, i;
    double fund = lines[0].invest, index = lines[0].startIndex;
    for (const ResultCsvRow& line : lines) {
        r.push_back(line.value / fund - 1);
        i.push_back(line.endIndex / index - 1);
        fund = line.value;
        index = line.endIndex;
    }
    const double m = static_cast<double>(r.size());
    double mr = 0, mi = 0, down = 0;
    for (std::size_t k = 0; k < r.size(); ++k) {
        mr += r[k] / m;
        mi += i[k] / m;
        down += std::min(r[k], 0.0) * std::min(r[k], 0.0) / m;
    }
    double cov = 0, var = 0, excess = 0;
    for (std::size_t k = 0; k < r.size(); ++k) {
        cov += (r[k] - mr) * (i[k] - mi) / (m - 1);
        var += (i[k] - mi) * (i[k] - mi) / (m - 1);
        excess += (r[k] - i[k] - (mr - mi)) * (r[k] - i[k] - (mr - mi)) / (m - 1);
    }
    const double beta = cov / var, trackingError = std::sqrt(excess * 252) * 100;
    EXPECT_NEAR(*s.fund.sortino, mr / std::sqrt(down) * std::sqrt(252.0), 0.02);
    EXPECT_NEAR(*s.fund.calmar, *s.fund.cagrPct / s.fund.maxDrawdownPct, 0.01);
    EXPECT_NEAR(*s.comparison.beta, beta, 0.01);
    EXPECT_NEAR(*s.comparison.alphaPct, (mr - beta * mi) * 252 * 100, 0.05);
    EXPECT_NEAR(*s.comparison.trackingErrorPct, trackingError, 0.05);
    EXPECT_NEAR(*s.comparison.informationRatio, (mr - mi) * 252 * 100 / trackingError, 0.01);

    // All of the money in the opening purchase and a margin no price reaches: no fill, and
    // without costs nothing paid.
    SimParams idle = p;
    idle.autoSet = false;
    idle.initialBuyPct = 100;
    idle.marginPct = 5000;
    idle.commissionPct = 0;
    idle.includeTax = false;
    ASSERT_EQ(run(idle, codes, 0, 30000000), runFinished);
    const auto quiet = readStatsCsv(market().read("stats.csv"));
    ASSERT_EQ(quiet.size(), 1u);
    EXPECT_EQ(quiet[0].grid.commissionWon, 0.0);
    EXPECT_EQ(quiet[0].grid.taxWon, 0.0);
    EXPECT_EQ(quiet[0].grid.fills, 0);
}
