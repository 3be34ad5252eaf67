#include "results/core/SummaryTables.h"
#include "platform/core/Cp949.h"
#include "results/core/ChartData.h"
#include "support/GoldenCases.h"
#include "support/Recorders.h"
#include "support/TempDir.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace kestrelan;

namespace {

const std::string header = toCp949("시작일,종료일,시작일지수,종료일지수,총투자비,최초매수액, 주식평가액, 최종평가액,"
                                   "KOSPI수익률,수익률,총매매금액,매매회전수,매매차익\r\n");
} // namespace

TEST(SummaryTablesTest, FormatAmountsGroupAndPad)
{
    struct Row
    {
        const char* text;
        std::size_t width;
        const char* shown;
    };
    // text | width | cell
    const Row rows[] = {
        {"100000", 12, "     100,000"},
        {"0", 12, "           -"},
        {"1234567", 10, " 1,234,567"},
        {"123", 5, "  123"},
        {"1234567890", 5, "1,234,567,890"},
        {"-1234", 8, "  -1,234"},
        {"-123", 6, "  -123"},
        {"-123456", 0, "-123,456"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(formatAmount(row.text, row.width), row.shown) << row.text;
}

TEST(SummaryTablesTest, FormatPerMilleToPercent)
{
    struct Row
    {
        const char* text;
        const char* shown;
    };
    // tenths of a percent | cell: 0.1234 -> 123 -> 12.3%; -0.004 -> -4; 0.004 -> 4; 0
    const Row rows[] = {{"123", "12.3%"},   {"-4", "-0.4%"},      {"4", "0.4%"},   {"0", "0.0%"},
                        {"1234", "123.4%"}, {"-1234", "-123.4%"}, {"-0", "-0.0%"}, {"10", "1.0%"}};
    for (const auto& row : rows)
        EXPECT_EQ(formatPerMille(row.text), row.shown) << row.text;
}

TEST(SummaryTablesTest, FormatShortDates)
{
    EXPECT_EQ(shortDate("04-1-5"), "04-01-05");
    EXPECT_EQ(shortDate("04-12-5"), "04-12-05");
    EXPECT_EQ(shortDate("04-1-15"), "04-01-15");
    EXPECT_EQ(shortDate("04-01-05"), "04-01-05");
    EXPECT_EQ(shortDate("04-1"), std::nullopt);
    EXPECT_EQ(shortDate(""), std::nullopt);
}

TEST(SummaryTablesTest, FormatRoundingOnTheFirstDecimal)
{
    EXPECT_EQ(roundFirstDecimal(12.5), 13);
    EXPECT_EQ(roundFirstDecimal(12.4), 12);
    EXPECT_EQ(roundFirstDecimal(-12.5), -12);
    EXPECT_EQ(roundFirstDecimal(5588.65), 5589);
}

// Found by fuzz_results: a gen.csv amount of 3e18 thousand won overflowed the conversion.
TEST(SummaryTablesTest, FormatRoundingSaturatesBeyondThe32BitRange)
{
    EXPECT_EQ(roundFirstDecimal(3e18), 2147483647);
    EXPECT_EQ(roundFirstDecimal(-3e18), -2147483647);
    EXPECT_EQ(roundFirstDecimal(std::nan("")), 0);
}

TEST(SummaryTablesTest, ClassifyKindsFromTheFirstTwoStartDates)
{
    struct Row
    {
        const char* name;
        std::string results; // empty: no result.csv
        bool trades;
        ResultKind kind;
    };
    // case | result.csv | trade.csv present | kind
    const Row rows[] = {
        {"a series", header + "2004-01-05,x\r\n2004-02-02,y\r\n", false, ResultKind::FundSeries},
        {"a single fund", header + "2004-01-05,a\r\n2004-01-05,b\r\n", false, ResultKind::SingleFund},
        {"a traded single fund", header + "2004-01-05,a\r\n2004-01-05,b\r\n", true, ResultKind::SingleFundTraded},
        {"a series starting twice on one day", header + "2004-01-05,a\r\n2004-01-05,c\r\n", false,
         ResultKind::SingleFund},
        {"one data line", header + "2004-01-05,a\r\n", false, ResultKind::FundSeries},
        {"one data line and a trade log", header + "2004-01-05,a\r\n", true, ResultKind::SingleFundTraded},
        {"header only", header, false, ResultKind::SingleFund},
        {"no result file", "", false, ResultKind::SingleFund},
        {"second line not closed", header + "2004-01-05,a\r\n2004-01-05,b", false, ResultKind::FundSeries},
    };
    for (const auto& row : rows) {
        test::TempDir dir;
        if (!row.results.empty())
            dir.write("result.csv", row.results);
        if (row.trades)
            dir.write("trade.csv", "");
        EXPECT_EQ(classifyResult(dir.path()), row.kind) << row.name;
    }
}

TEST(SummaryTablesTest, SingleFundFromTheWorkedExample)
{
    test::GoldenResults g("worked-single-amount");
    test::RecordingSink messages;
    const auto t = fillSummaryTables(ResultKind::SingleFundTraded, g.dir.path(), messages);
    EXPECT_TRUE(messages.shown.empty());
    ASSERT_EQ(t.rowCount, 3);
    EXPECT_EQ(t.rowDates, (std::vector<std::string>{"04-01-02", "04-01-05", "04-01-06"}));
    EXPECT_EQ(t.rows[1].kospiYieldPm, 12); // "%.0f" of 12.5 rounds to the even 12
    EXPECT_EQ(t.rows[1].fundYieldPm, 63);
    EXPECT_EQ(t.rows[1].profitRatePm, 9);
    EXPECT_EQ(t.rows[1].stockSharePm, 474);
    ASSERT_EQ(t.rows[1].closing.size(), 1u);
    EXPECT_EQ(t.rows[1].closing[0], 11200);
    EXPECT_EQ(t.stockCodes, std::vector<std::string>{"123450"});
    EXPECT_EQ(t.stockCombo, std::vector<std::string>{"가람전자"});
    ASSERT_EQ(t.mainList.rows.size(), 1u);
    EXPECT_EQ(t.mainList.rows[0],
              (std::vector<std::string>{"가람전자            ", "6.3%", "12.0%", "    11,200", "    10,000",
                                        "    10,000", "     5,589", "       450"}));
    ASSERT_EQ(t.summaryList.rows.size(), 1u);
    EXPECT_EQ(
        t.summaryList.rows[0],
        (std::vector<std::string>{"         1", "    10,000", "    10,629", "2.5%", "6.3%", "        93", "0.9%"}));
}

TEST(SummaryTablesTest, FundSeriesTable)
{
    test::GoldenResults g("flat-series-monthly");
    test::RecordingSink messages;
    const auto t = fillSummaryTables(ResultKind::FundSeries, g.dir.path(), messages);
    ASSERT_EQ(t.rowCount, 2);
    ASSERT_EQ(t.mainList.rows.size(), 2u);
    EXPECT_EQ(t.mainList.rows[1],
              (std::vector<std::string>{"04-02-01", "04-07-30", "10.0%", "4.9%", "0.5%", "      10,000", "      10,487",
                                        "          47"}));
    EXPECT_EQ(t.mainList.columns.size(), 8u);
    EXPECT_TRUE(t.summaryList.rows.empty());
}

TEST(SummaryTablesTest, InvalidDateStopsOnce)
{
    test::TempDir dir;
    dir.write("result.csv",
              header
                  + "2004-01-05,2004-02-02,1,1,1000,0,0,1000,0.1234,0.05,0,0,0\r\n"
                    "2004-1,2004-02-03,1,1,1000,0,0,1000,0.1,0.05,0,0,0\r\n"
                    "2004-01-07,2004-02-03,1,1,1000,0,0,1000,0.1,0.05,0,0,0\r\n");
    test::RecordingSink messages;
    const auto t = fillSummaryTables(ResultKind::FundSeries, dir.path(), messages);
    EXPECT_EQ(messages.shown, std::vector<std::string>{"잘못된 날짜가 있습니다."});
    EXPECT_EQ(t.mainList.rows.size(), 1u);
    EXPECT_EQ(t.mainList.rows[0][2], "12.3%");
    EXPECT_EQ(t.rowCount, 0);
}

TEST(SummaryTablesTest, UndefinedCellsAndMissingFiles)
{
    test::TempDir dir;
    // A last line without its line feed is not a line; a zero investment has no yield.
    dir.write("result.csv", header + "2004-01-05,2004-01-05,1,1,0,0,0,0,0,0,0,0,0\r\n2004-01-05,2004-01-06,1");
    test::RecordingSink messages;
    auto t = fillSummaryTables(ResultKind::SingleFund, dir.path(), messages);
    EXPECT_EQ(t.rowCount, 1);
    ASSERT_EQ(t.summaryList.rows.size(), 1u);
    EXPECT_EQ(t.summaryList.rows[0][0], "         -");
    EXPECT_EQ(t.summaryList.rows[0][4], "-");
    EXPECT_EQ(t.summaryList.rows[0][6], "-");
    EXPECT_TRUE(t.stockCombo.empty());

    test::TempDir empty;
    t = fillSummaryTables(ResultKind::SingleFund, empty.path(), messages);
    EXPECT_EQ(t.rowCount, 0);
    EXPECT_TRUE(t.summaryList.rows.empty());
}

TEST(SummaryTablesTest, EmptyClosingFieldsMeanNoPrice)
{
    test::GoldenResults g("sample-single-delisted");
    test::RecordingSink messages;
    const auto t = fillSummaryTables(ResultKind::SingleFundTraded, g.dir.path(), messages);
    ASSERT_GT(t.rowCount, 30);
    const auto& late = t.rows[static_cast<std::size_t>(t.rowCount - 1)].closing;
    ASSERT_EQ(late.size(), 3u);
    EXPECT_FALSE(late[0].has_value()); // 001460's data ended on 2004-06-30
    EXPECT_TRUE(late[1].has_value());
    const auto chart = stockChartData(t, 0, g.dir.read("trade.csv"));
    EXPECT_EQ(chart.price.size(), static_cast<std::size_t>(t.rowCount));
    EXPECT_FALSE(chart.price.back().y.has_value());
}

// The files a run writes are sound, every golden run's; the export's stock count is the stocks
// they name.
TEST(SummaryTablesTest, GoldenResultsAreSoundAndNameTheirStocks)
{
    const auto cases = test::goldenExpected("worked-single-amount").parent_path().parent_path();
    for (const auto& entry : std::filesystem::directory_iterator(cases)) {
        const std::string name = entry.path().filename().string();
        test::GoldenResults r(name);
        const auto damaged = findDamagedLine(classifyResult(r.dir.path()), r.dir.path());
        EXPECT_FALSE(damaged) << name << ": " << damaged->file << " " << damaged->line;
    }
    struct Row
    {
        const char* goldenCase;
        int stocks;
    };
    const Row rows[] = {{"sample-single-delisted", 3}, {"sample-series-monthly-total", 4}, {"worked-single-amount", 1}};
    for (const auto& row : rows)
        EXPECT_EQ(resultStockCount(test::GoldenResults(row.goldenCase).dir.path()), row.stocks) << row.goldenCase;
    test::TempDir none;
    EXPECT_EQ(resultStockCount(none.path()), 0);
}

TEST(SummaryTablesTest, ADamagedLineIsFoundInTheFilesOfItsKind)
{
    test::TempDir dir;
    dir.write("result.csv",
              header
                  + "2004-01-05,2004-01-05,1,1,0,0,0,0,0,0,0,0,0\r\n"
                    "2004-01-05,2004-01-06,1,1,0,0,0,0,0,0,0,0,0\r\n");
    dir.write("gen.csv", "005930,ABC,11200,10000,10000,5588,450\r\n"); // short of its trading gain
    EXPECT_FALSE(findDamagedLine(ResultKind::FundSeries, dir.path())); // a series reads no gen.csv
    const auto damaged = findDamagedLine(ResultKind::SingleFund, dir.path());
    ASSERT_TRUE(damaged);
    EXPECT_EQ(damaged->file, "gen.csv");
    EXPECT_EQ(damaged->line, 1u);
    dir.write("result.csv", header + "2004-01-05,2004-01-05,1,1,0,0,0,0,0,0,0,0,0\r\n2004-0"); // no comma
    EXPECT_EQ(findDamagedLine(ResultKind::FundSeries, dir.path())->line, 3u);
}
