// The commands that write market data, as the command line carries them out.

#include "tools/DataCommands.h"
#include "engine/MarketData.h"
#include "engine/Portfolio.h"
#include "support/CommandLineRun.h"
#include "support/PriceBuilder.h"
#include "support/SmallMarket.h"
#include "support/TempDir.h"

#include <functional>
#include <gtest/gtest.h>

using namespace kestrelan;
using test::commandLine;
using test::records;

// sample-data --minutes writes the minute market of the options and prints its summary.
TEST(DataCommandsTest, MinuteMarket)
{
    test::TempDir dir;
    const test::CliOutcome o = commandLine(
        {"sample-data", "--minutes", "--stocks=2", "--years", "2004:2004", "--ticks", "3", (dir / "m").string()});
    EXPECT_EQ(o.status, exitDone) << o.err;
    EXPECT_NE(o.out.find(": 258 trading days, 2 stocks, "), std::string::npos) << o.out;
    EXPECT_NE(o.out.find(" bytes, mean daily range "), std::string::npos) << o.out;
    EXPECT_EQ(loadCodeList(dir / "m" / "code.lst")->size(), 2u);
}

TEST(DataCommandsTest, AGeneratedMarketNeverGoesOverAUsersMarket)
{
    struct Row
    {
        const char* name;
        std::function<void(const test::TempDir&)> market;
    };
    // case | what the folder holds of a market
    const Row rows[] = {
        {"code.lst alone", [](const test::TempDir& d) { d.write("code.lst", "mine"); }},
        {"a kospi.lst that is a dangling link",
         [](const test::TempDir& d) { std::filesystem::create_symlink(d / "gone", d / "kospi.lst"); }},
        {"price files alone", [](const test::TempDir& d) { d.write("StockData/005930.real", "mine"); }},
    };
    for (const auto& row : rows) {
        test::TempDir dir;
        row.market(dir);
        const test::CliOutcome refused = commandLine({"sample-data", dir.path().string()});
        EXPECT_EQ(refused.status, exitFailed) << row.name;
        EXPECT_NE(refused.err.find("--force"), std::string::npos) << row.name;
        EXPECT_FALSE(dir.exists("ksp.txt")) << row.name;
        EXPECT_EQ(commandLine({"sample-data", dir.path().string(), "--force"}).status, exitDone) << row.name;
        EXPECT_TRUE(dir.exists("ksp.txt")) << row.name;
    }
}

namespace {

// The process's working folder for the time of a test: kestrelan-cli's commands work in it.
struct WorkingFolder
{
    explicit WorkingFolder(const std::filesystem::path& dir)
        : before(std::filesystem::current_path())
    {
        std::filesystem::current_path(dir);
    }
    ~WorkingFolder() { std::filesystem::current_path(before); }
    std::filesystem::path before;
};

} // namespace

// After import-csv --update, run refuses until merge-update has merged the new days, as the
// desktop program's start merges them; then the market is the one a single import makes.
TEST(DataCommandsTest, MergeUpdateBeforeTheNextRun)
{
    test::TempDir in, market, whole;
    in.write("prices/111110.csv", "Date,Close\n2004-01-05,10000\n2004-01-06,10100\n2004-01-07,10200\n");
    in.write("index.csv", "Date,Close\n2004-01-05,800\n2004-01-06,801\n2004-01-07,802\n");
    in.write("names.csv", "111110,ONE\n");
    const auto import = [&](const test::TempDir& out, std::vector<std::string> more) {
        std::vector<std::string> args = {"import-csv",
                                         "--prices",
                                         (in / "prices").string(),
                                         "--index",
                                         (in / "index.csv").string(),
                                         "--names",
                                         (in / "names.csv").string(),
                                         "--out",
                                         out.path().string()};
        args.insert(args.end(), more.begin(), more.end());
        return commandLine(args);
    };
    ASSERT_EQ(import(whole, {}).status, exitDone);
    ASSERT_EQ(import(market, {"--to", "20040106"}).status, exitDone);
    const test::CliOutcome update = import(market, {"--update"});
    ASSERT_EQ(update.status, exitDone) << update.err;
    EXPECT_NE(update.out.find("merge-update"), std::string::npos) << update.out;

    const WorkingFolder here(market.path());
    const std::vector<std::string> run
        = {"run", "--stocks", "111110", "--start", "20040105", "--end", "20040107", "--program-dir", "."};
    testing::internal::CaptureStderr();
    EXPECT_EQ(commandLine(run).status, exitFailed);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("kestrelan-cli merge-update"), std::string::npos);

    const test::CliOutcome merged = commandLine({"merge-update", "--program-dir", "."});
    EXPECT_EQ(merged.status, exitDone) << merged.err;
    EXPECT_NE(merged.out.find("1개 종목"), std::string::npos) << merged.out;
    for (const char* f : {"kospi.lst", "code.lst", "StockData/111110.real"})
        EXPECT_EQ(market.read(f), whole.read(f)) << f;
    const test::CliOutcome again = commandLine({"merge-update", "--program-dir", "."});
    EXPECT_EQ(again.status, exitDone);
    EXPECT_NE(again.out.find("반영할 Update.new가 없습니다"), std::string::npos) << again.out;

    testing::internal::CaptureStderr();
    EXPECT_EQ(commandLine(run).status, exitDone);
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(market.exists("result.csv"));
}

// A market written by sample-data holds its price files and a portfolio: `run` in its folder runs
// without --program-dir, wherever the programs are (installed under /usr/bin, or the tests'
// build folder here). A portfolio already in the folder stays.
TEST(DataCommandsTest, ASampleMarketRunsWhereItIs)
{
    test::TempDir market;
    ASSERT_EQ(commandLine({"sample-data", market.path().string()}).status, exitDone);
    const WorkingFolder here(market.path());
    testing::internal::CaptureStderr();
    const test::CliOutcome run = commandLine({"run", "--start", "20040102", "--end", "20040331"});
    const std::string said = testing::internal::GetCapturedStderr();
    ASSERT_EQ(run.status, exitDone) << said;
    EXPECT_EQ(readSimItems(market / "SimItem.lst")->size(), 5u);
    EXPECT_TRUE(market.exists("result.csv"));

    ASSERT_EQ(commandLine({"run", "--stocks", "005930", "--start", "20040102", "--end", "20040331"}).status, exitDone);
    ASSERT_EQ(commandLine({"sample-data", market.path().string(), "--force"}).status, exitDone);
    EXPECT_EQ(readSimItems(market / "SimItem.lst")->size(), 1u);
}

// Every finished run is kept: `history` lists them newest first, `show --run N` shows each as
// `show` did right after it, and --keep removes the oldest.
TEST(DataCommandsTest, EveryRunIsKeptAndShownAsItWas)
{
    test::TempDir market;
    ASSERT_EQ(commandLine({"sample-data", market.path().string()}).status, exitDone);
    const WorkingFolder here(market.path());
    testing::internal::CaptureStderr();
    std::vector<std::string> shown;
    for (const auto& run : std::vector<std::vector<std::string>>{
             {"run", "--stocks", "005930,000660", "--start", "20040102", "--end", "20040331"},
             {"run", "--yield-stats", "1", "--cadence", "1", "--years", "1"}}) {
        ASSERT_EQ(commandLine(run).status, exitDone);
        shown.push_back(commandLine({"show", "--format", "json"}).out);
    }
    const test::CliOutcome history = commandLine({"history"});
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(history.status, exitDone) << history.err;
    const auto second = history.out.find("\n2 "), first = history.out.find("\n1 ");
    ASSERT_TRUE(second != std::string::npos && first != std::string::npos && second < first) << history.out;
    EXPECT_NE(history.out.find("단일 펀드", first), std::string::npos);
    EXPECT_NE(history.out.substr(second, first - second).find("수익률 통계"), std::string::npos);
    EXPECT_NE(history.out.find("2004-01-02 ~ 2004-03-31"), std::string::npos);
    for (int n : {1, 2})
        EXPECT_EQ(commandLine({"show", "--format", "json", "--run", std::to_string(n)}).out, shown[n - 1]);
    EXPECT_EQ(commandLine({"show", "--run", "3"}).status, exitFailed);

    testing::internal::CaptureStderr();
    ASSERT_EQ(commandLine({"run", "--keep", "1", "--start", "20040102", "--end", "20040331"}).status, exitDone);
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(market.exists("history/000001") || market.exists("history/000002"));
    EXPECT_TRUE(market.exists("history/000003/result.csv"));
}

// A link planted at a name the commands once wrote their scratch files, staged files and journals
// under points outside the folder: a run, a sweep, an update and its merge write through none.
TEST(DataCommandsTest, NoCommandWritesThroughALinkItDidNotChoose)
{
    // A year and a half of days, so that a sweep has funds.
    test::SmallMarket m;
    std::string kospi, one, two;
    for (std::int32_t month = 0; month < 18; ++month)
        for (std::int32_t day = 1; day <= 28; day += 3) {
            const std::int32_t date = (2004 + month / 12) * 10000 + (month % 12 + 1) * 100 + day;
            kospi += indexRecordBytes(date, 80000, 80100);
            one += records({date, 10000, 9500, 10300});
            two += records({date, 5000, 4500, 5300});
        }
    m.dir.write("kospi.lst", kospi);
    m.dir.write("StockData/111110.real", one);
    m.dir.write("StockData/222220.real", two);
    m.dir.write("code.lst", codeRecordBytes("111110", "ONE") + codeRecordBytes("222220", "TWO"));
    test::TempDir outside, in;
    outside.write("victim", "mine");
    for (const char* name : {"date.tmp", "SimItem.lst.tmp", "result.csv.results.new", "stats.csv.results.new",
                             "results.journal.tmp", "sweep.csv.tmp", "Update.jnl", "Update.jnl.tmp", "Update.rej.tmp",
                             "kospi.lst.import.new", "Update.new.import.new", "import.journal.tmp"})
        std::filesystem::create_symlink(outside / "victim", m.dir / name);
    in.write("prices/111110.csv", "Date,Close\n2005-06-30,10400\n");
    in.write("index.csv", "Date,Close\n2005-06-30,802\n");
    in.write("names.csv", "111110,ONE\n");

    const WorkingFolder here(m.dir.path());
    const std::vector<std::vector<std::string>> commands = {
        {"run", "--stocks", "111110,222220", "--start", "20040101", "--end", "20040131", "--program-dir", "."},
        {"sweep", "--margin", "5,10", "--years", "0", "--cadence", "1", "--start", "20040101", "--end", "20050531",
         "--program-dir", "."},
        {"import-csv", "--update", "--prices", (in / "prices").string(), "--index", (in / "index.csv").string(),
         "--names", (in / "names.csv").string(), "--out", "."},
        {"merge-update", "--program-dir", "."},
    };
    for (const auto& command : commands) {
        testing::internal::CaptureStderr();
        const test::CliOutcome o = commandLine(command);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(o.status, exitDone) << command[0] << ": " << o.err << err;
        EXPECT_EQ(outside.read("victim"), "mine") << command[0];
    }
    EXPECT_TRUE(m.dir.exists("sweep.csv"));
    EXPECT_EQ(m.dir.read("StockData/111110.real"), one + records({20050630, 10300, 10400}));
}
