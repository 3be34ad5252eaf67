#include "tools/RunCommand.h"
#include "engine/MarketData.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kestrelan;

namespace {

struct RunCommandTest : ::testing::Test
{
    RunCommandTest() { dir.write("kospi.lst", indexRecordBytes(20050311, 1, 1) + indexRecordBytes(20050314, 1, 1)); }
    RunOptions parse(std::vector<std::string> args) { return parseRunOptions(args, dir.path(), "/prog"); }
    test::TempDir dir;
};

} // namespace

TEST_F(RunCommandTest, DefaultsAreTheFormDefaults)
{
    const RunOptions o = parse({});
    const SimParams& p = o.params;
    EXPECT_EQ(p.investMode, InvestMode::PerStock);
    EXPECT_EQ(p.startDate, 20030301);
    EXPECT_EQ(p.endDate, 20050228);
    EXPECT_EQ(p.fundCadence, FundCadence::ThriceMonthly);
    EXPECT_EQ(p.years, 1);
    EXPECT_EQ(p.marginPct, 10);
    EXPECT_EQ(p.secondPct, 10);
    EXPECT_EQ(p.rangeLowPct, 50);
    EXPECT_EQ(p.rangeHighPct, 150);
    EXPECT_EQ(p.initialBuyPct, 50);
    EXPECT_DOUBLE_EQ(p.commissionPct, 0.2);
    EXPECT_EQ(p.autoSet, 1);
    EXPECT_EQ(p.riskProfile, RiskProfile::Stable);
    EXPECT_EQ(p.yieldStats, 0);
    EXPECT_EQ(p.includeTax, 1);
    EXPECT_EQ(o.amount, 100000000);
    EXPECT_EQ(o.programDir, "/prog");
}

TEST_F(RunCommandTest, ModeDependentDefaults)
{
    EXPECT_EQ(parse({"--stocks", "005930", "--invest-mode", "2"}).amount, 10000);
    EXPECT_EQ(parse({"--stocks", "005930", "--amount", "2000000000", "--invest-mode", "2"}).amount, 2000000000);
    const RunOptions series = parse({"--yield-stats", "1"});
    EXPECT_EQ(series.params.startDate, 20000101);
    EXPECT_EQ(series.params.endDate, 20050228);
    EXPECT_EQ(parse({"--start", "20040105", "--end", "20040110"}).params.endDate, 20040110);
}

TEST_F(RunCommandTest, BadOptionsAreRefused)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--cadence", "3"},
        {"--start", "2004-02-30"},
        {"--start", "20041305"},
        {"--margin", "0"},
        {"--stocks"},
        {"--unknown", "1"},
        {"--commission", "x"},
        {"--amount", "-5"},
        // a period that ends before it starts, and nothing to invest: runs with no result
        {"--start", "20050101", "--end", "20040101"},
        {"--stocks", "005930", "--amount", "0"},
        // beyond the largest amount: refused rather than cut to it
        {"--stocks", "005930", "--amount", "2100000000"},
        {"--stocks", "005930", "--amount", "2000000001", "--invest-mode", "2"},
    };
    for (const auto& args : bad)
        EXPECT_THROW(parse(args), std::invalid_argument) << args[0];
}

// Without --stocks the run reads an existing SimItem.lst: its amounts were written for the mode
// they were written in, and neither a mode nor an amount given now can reach them.
TEST_F(RunCommandTest, InvestModeAndAmountOnlyWithStocks)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--invest-mode", "2"},
                                                 {"--amount", "5000"},
                                                 {"--stocks", ",", "--invest-mode", "1"}}) {
        try {
            parse(args);
            ADD_FAILURE() << args[0] << " was taken";
        } catch (const std::invalid_argument& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find("--invest-mode"), std::string::npos) << text;
            EXPECT_NE(text.find("--amount"), std::string::npos) << text;
        }
    }
    EXPECT_EQ(parse({"--stocks", "005930,000660", "--invest-mode", "1"}).params.investMode, InvestMode::Total);
    EXPECT_NO_THROW(parse({"--yield-stats", "1"})); // the other settings apply to any SimItem.lst
}

TEST_F(RunCommandTest, OptionsWithoutIndexNeedExplicitDates)
{
    test::TempDir noIndex;
    EXPECT_THROW(parseRunOptions({}, noIndex.path(), "/prog"), std::invalid_argument);
    EXPECT_NO_THROW(parseRunOptions({"--start", "20040101", "--end", "20041231"}, noIndex.path(), "/prog"));
}

// As the form's start calendar: no start before the first date a price file can hold.
TEST_F(RunCommandTest, StartsBeforeTheMarketsFirstDateAreClamped)
{
    const RunOptions o = parse({"--start", "19900101", "--end", "20041231"});
    EXPECT_EQ(o.params.startDate, 19960101);
    ASSERT_EQ(o.notes.size(), 1u);
    EXPECT_NE(o.notes[0].find("1996-01-01"), std::string::npos) << o.notes[0];
    EXPECT_EQ(parse({"--start", "19960102", "--end", "20041231"}).params.startDate, 19960102);
}

// A condition the automatic setting replaces, or the risk profile without it, is said not to be
// used; the ones the run takes say nothing.
TEST_F(RunCommandTest, ConditionsTheRunDoesNotUseAreSaid)
{
    struct Row
    {
        std::vector<std::string> args;
        const char* note; // nullptr: none
    };
    const Row rows[] = {
        {{"--range-low", "30", "--initial", "40"}, "ksp.txt가 매매범위와 최초매수비율을 정하므로 쓰지 않았습니다: --range-low, --initial"},
        {{"--auto-set", "0", "--range-high", "120", "--risk", "2"}, "쓰지 않았습니다: --risk"},
        {{"--auto-set", "0", "--range-low", "30"}, nullptr},
        {{"--risk", "0", "--margin", "5"}, nullptr},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = {"--start", "20040101", "--end", "20041231"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const RunOptions o = parse(args);
        if (!row.note) {
            EXPECT_TRUE(o.notes.empty()) << row.args[0];
            continue;
        }
        ASSERT_EQ(o.notes.size(), 1u) << row.args[0];
        EXPECT_NE(o.notes[0].find(row.note), std::string::npos) << o.notes[0];
    }
}

// A margin below a round trip's costs (twice the commission, and the tax when paid) runs, with a
// note; at or above them, or without the tax that makes the difference, no note.
// The note goes by the tax of the rules chosen, on the days of the period: under krx 0.30 % to
// 2019-06-02, 0.25 % from then, 0.18 % in 2024, 0.15 % in 2025.
TEST_F(RunCommandTest, AMarginBelowTheCostsIsNoted)
{
    struct Row
    {
        std::vector<std::string> args;
        const char* note; // nullptr: none
    };
    const std::vector<std::string> in2004 = {"--start", "20040101", "--end", "20041231"};
    const Row rows[] = {
        {{"--margin", "1", "--commission", "0.5"}, "매매차익 1%가 한 번 사고파는 비용 1.3%보다 작습니다."},
        {{"--margin", "1", "--commission", "0.5", "--include-tax", "0"}, nullptr},
        {{"--margin", "-5", "--commission", "0"}, "매매차익 -5%가 한 번 사고파는 비용 0.3%보다 작습니다."},
        {{"--margin", "1", "--commission", "0.35"}, nullptr}, // exactly the costs
        {{}, nullptr},
        {{"--margin", "1", "--commission", "0.4", "--rules", "krx"}, "매매차익 1%가 한 번 사고파는 비용 1.1%보다 작습니다."},
        {{"--margin", "1", "--commission", "0.4", "--rules", "krx", "--start", "20250101", "--end", "20251231"},
         nullptr},
        {{"--margin", "1", "--commission", "0.45", "--rules", "krx", "--start", "20190101", "--end", "20191231"},
         "매매차익 1%가 한 번 사고파는 비용 1.15~1.2%보다 작습니다."},
        {{"--margin", "1", "--commission", "0.42", "--rules", "krx", "--start", "20240601", "--end", "20250630"},
         "매매차익 1%가 이 기간의 일부 날에 한 번 사고파는 비용(가장 높을 때 1.02%)보다 작습니다."},
        {{"--margin", "1", "--commission", "0.5", "--rules", "no-such-rules.csv"}, nullptr}, // the run refuses it
    };
    for (const auto& row : rows) {
        std::vector<std::string> args = row.args;
        if (std::find(args.begin(), args.end(), "--start") == args.end())
            args.insert(args.begin(), in2004.begin(), in2004.end());
        const RunOptions o = parse(args);
        if (row.note) {
            ASSERT_EQ(o.notes.size(), 1u) << row.note;
            EXPECT_EQ(o.notes[0], row.note);
        } else {
            EXPECT_TRUE(o.notes.empty()) << (o.notes.empty() ? "" : o.notes[0]);
        }
    }
}

// New days in Update.new are in kospi.lst already but not yet in the price files: no run until
// they are merged, and the message names the command that merges them.
TEST_F(RunCommandTest, NoRunWhileAnUpdateWaits)
{
    dir.write("Update.new", "A005930\r\n0\r\n20050315\r\n");
    dir.write("result.csv", "the last run's");
    testing::internal::CaptureStderr();
    const int status = runCommand(parse({"--start", "20050101", "--end", "20050314"}), dir.path());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, exitFailed);
    EXPECT_NE(said.find("kestrelan-cli merge-update"), std::string::npos) << said;
    EXPECT_EQ(dir.read("result.csv"), "the last run's");
}
