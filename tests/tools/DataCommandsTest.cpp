// The commands that write market data, as the command line carries them out.

#include "tools/DataCommands.h"
#include "engine/MarketData.h"
#include "support/CommandLineRun.h"
#include "support/TempDir.h"

#include <functional>
#include <gtest/gtest.h>

using namespace kestrelan;
using test::commandLine;

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
