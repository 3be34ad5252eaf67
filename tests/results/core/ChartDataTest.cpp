#include "results/core/ChartData.h"
#include "platform/core/Cp949.h"

#include <gtest/gtest.h>

using namespace kestrelan;

TEST(ChartDataTest, YieldAxes)
{
    SummaryTables t;
    auto add = [&](std::int32_t kospi, std::int32_t fund, std::int32_t profit, std::int32_t share) {
        ResultRow r;
        r.kospiYieldPm = kospi;
        r.fundYieldPm = fund;
        r.profitRatePm = profit;
        r.stockSharePm = share;
        t.rows.push_back(r);
        t.rowDates.push_back("04-01-0" + std::to_string(t.rows.size()));
        t.rowCount = static_cast<int>(t.rows.size());
    };
    add(30, 470, 100, 1000); // 3 % to 47 %; a 100 % share does not move the left axis
    auto d = yieldChartData(t);
    EXPECT_EQ(d.left.minimum, 0);
    EXPECT_EQ(d.left.maximum, 50);
    EXPECT_EQ(d.right.maximum, 100);
    EXPECT_EQ(d.series[0].size(), 1u);
    EXPECT_EQ(d.series[2][0].colour, colours::red);
    add(-135, 0, 0, 0);
    d = yieldChartData(t);
    EXPECT_EQ(d.left.minimum, -20);

    const auto none = yieldChartData(SummaryTables{});
    EXPECT_EQ(none.left.minimum, 0);
    EXPECT_EQ(none.left.maximum, 10);
}

TEST(ChartDataTest, SeriesPointsAndAxes)
{
    SummaryTables t;
    for (auto [k, f] : {std::pair{123, -41}, {-50, 20}, {300, 250}, {80, 60}}) {
        ResultRow r;
        r.kospiYieldPm = k;
        r.fundYieldPm = f;
        t.rows.push_back(r);
    }
    t.rowCount = 4;
    const auto d = seriesChartData(t);
    EXPECT_DOUBLE_EQ(d.funds[0].x, 12.3);
    EXPECT_DOUBLE_EQ(*d.funds[0].y, -4.1);
    EXPECT_EQ(d.bottom.minimum, -10);
    EXPECT_EQ(d.bottom.maximum, 40);
    EXPECT_EQ(d.left.minimum, -10);
    EXPECT_EQ(d.left.maximum, 30);
    EXPECT_EQ(d.trend.size(), 2u);
    EXPECT_FALSE(d.curveFit.empty());
    const auto none = seriesChartData(SummaryTables{});
    EXPECT_LT(none.bottom.minimum, none.bottom.maximum);
    EXPECT_LT(none.left.minimum, none.left.maximum);
}

TEST(ChartDataTest, StockAxisAndMarks)
{
    struct Row
    {
        std::int32_t low, high;
        double bottom, top, step;
    };
    // prices | axis: 8,200-9,400 -> 7,000..10,000 step 300; 3,000-4,000 -> 2,000..5,000
    const Row rows[] = {{8200, 9400, 7000, 10000, 300}, {3000, 4000, 2000, 5000, 300}};
    for (const auto& row : rows) {
        SummaryTables t;
        t.stockCodes = {"123450"};
        for (auto p : {row.low, row.high}) {
            ResultRow r;
            r.closing = {p};
            t.rows.push_back(r);
        }
        t.rowDates = {"04-01-05", "04-01-06"};
        t.rowCount = 2;
        const std::string log = toCp949("2004-1-5,123450,가,매수,30,12345.678900,370370,740,0\r\n"
                                        "2004-01-05,123450,가,매수,10,12000.000000,120000,240,0\r\n"
                                        "2004-01-06,123450,가,매도,10,9500.500000,95005,190,285\r\n"
                                        "2004-01-06,123450,가,초매,1000,9000,0,0,0\r\n"
                                        "2004-01-06,999999,나,매수,10,1.000000,10,0,0\r\n");
        const auto d = stockChartData(t, 0, log);
        EXPECT_EQ(d.left.minimum, row.bottom);
        EXPECT_EQ(d.left.maximum, row.top);
        EXPECT_EQ(d.left.increment, row.step);
        EXPECT_EQ(*d.buys[0].y, 12000); // the later purchase line of the day wins
        EXPECT_FALSE(d.buys[1].y.has_value());
        EXPECT_EQ(*d.sells[1].y, 9500);
        EXPECT_FALSE(d.sells[0].y.has_value());
    }
    const auto marks = tradeMarks(SummaryTables{}, 0, "");
    EXPECT_TRUE(marks.buy.empty());
}

TEST(ChartDataTest, LabelsEverySecondOrFifthWhenTheyWouldCrowd)
{
    struct Row
    {
        AxisRange range;
        double axisPixels, labelPixels;
        int every;
    };
    // range and increment | axis length | label size | every how many increments a label
    const Row rows[] = {
        {{0, 50, 10}, 250, 16, 1},       // six labels fit
        {{-50, 310, 10}, 250, 16, 5},    // 37 would not, 19 neither
        {{-100, 1000, 10}, 250, 16, 10}, // a yield of 1000 %
        {{7000, 10000, 300}, 100, 16, 2}, {{-100, 5000, 10}, 250, 16, 50}, {{0, 10, 0}, 250, 16, 1}, // no increment
        {{10, 10, 10}, 250, 16, 1},
    };
    for (const auto& row : rows)
        EXPECT_EQ(labelEvery(row.range, row.axisPixels, row.labelPixels), row.every)
            << row.range.minimum << ".." << row.range.maximum;
}
