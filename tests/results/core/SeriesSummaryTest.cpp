#include "results/core/SeriesSummary.h"

#include "formats/ResultSet.h"
#include "support/GoldenCases.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace kestrelan;

// Four funds worked out by hand: fund yields 10, -5, 20, 0 %; index yields 5, 0, 25, -10 %. The
// medians of the funds' trading skip a fund without the figure (no down day, no gain).
TEST(SeriesSummaryTest, SpreadsSharesAndMedianFalls)
{
    const char* starts[] = {"2004-01-01", "2004-02-01", "2004-03-01", "2004-04-01"};
    const double fund[] = {0.10, -0.05, 0.20, 0.00}, index[] = {0.05, 0.00, 0.25, -0.10};
    const double falls[] = {3, 1, 2, 10};
    const std::optional<double> sortino[] = {1, std::nullopt, 2, 4};
    const double cash[] = {40, 10, 30, 20}, gain[] = {100000, 0, 50000, 200000}, costs[] = {6000, 5000, 10000, 10000};
    std::vector<ResultCsvRow> results;
    std::vector<StatsCsvRow> stats;
    for (int i = 0; i < 4; ++i) {
        ResultCsvRow r;
        r.startDate = starts[i];
        r.fundYield = fund[i];
        r.kospiYield = index[i];
        r.gain = gain[i];
        results.push_back(r);
        StatsCsvRow s;
        s.startDate = 20040101 + 100 * i;
        s.fund.maxDrawdownPct = falls[i];
        s.index.maxDrawdownPct = falls[3 - i] * 2;
        s.fund.sortino = sortino[i];
        s.grid.cashShareMeanPct = cash[i];
        s.grid.commissionWon = costs[i] / 2;
        s.grid.taxWon = costs[i] / 2;
        stats.push_back(s);
    }
    ResultCsvRow cut = results[0];
    cut.extent.complete = false; // a cut last line is no fund
    results.push_back(cut);

    const auto s = summarizeSeries(results, stats, false);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->funds, 4);
    EXPECT_NEAR(s->fund.mean, 6.25, 1e-9);
    EXPECT_NEAR(s->fund.median, 5, 1e-9);  // between 0 and 10
    EXPECT_NEAR(s->fund.p10, -3.5, 1e-9);  // 0.3 of the way from -5 to 0
    EXPECT_NEAR(s->fund.p90, 17, 1e-9);    // 0.7 of the way from 10 to 20
    EXPECT_NEAR(s->fund.worst, -5, 1e-9);
    EXPECT_EQ(s->fund.worstStart, "2004-02-01");
    EXPECT_NEAR(s->fund.best, 20, 1e-9);
    EXPECT_EQ(s->fund.bestStart, "2004-03-01");
    EXPECT_NEAR(s->excess.best, 10, 1e-9); // 0 against -10
    EXPECT_EQ(s->excess.bestStart, "2004-04-01");
    EXPECT_NEAR(s->gainShare, 50, 1e-9); // 10 and 20 %
    EXPECT_NEAR(s->beatShare, 50, 1e-9); // the first and the last
    EXPECT_NEAR(*s->medianFundDrawdown, 2.5, 1e-9);
    EXPECT_NEAR(*s->medianIndexDrawdown, 5, 1e-9);
    EXPECT_NEAR(*s->medianSortino, 2, 1e-9);
    EXPECT_NEAR(*s->medianCashSharePct, 25, 1e-9);
    EXPECT_NEAR(*s->medianCostSharePct, 6, 1e-9); // 6, 20 and 5 % (the second fund gained nothing)
    EXPECT_FALSE(s->medianCalmar);                // no fund has one

    EXPECT_FALSE(summarizeSeries({cut}, {}, false));
    EXPECT_FALSE(summarizeSeries(results, {}, false)->medianFundDrawdown);
}

namespace {

ResultCsvRow resultRow(const char* start, double fundYield, double kospiYield, double startIndex = 100,
                       double endIndex = 100)
{
    ResultCsvRow r;
    r.startDate = start;
    r.fundYield = fundYield;
    r.kospiYield = kospiYield;
    r.startIndex = startIndex;
    r.endIndex = endIndex;
    return r;
}

StatsCsvRow fall(double fund, double index)
{
    StatsCsvRow s;
    s.fund.maxDrawdownPct = fund;
    s.index.maxDrawdownPct = index;
    return s;
}

std::string fieldOf(const std::optional<SeriesSummary>& s, const std::string& name)
{
    const auto& names = summaryColumnNames();
    return summaryFields(s)[static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin())];
}

} // namespace

// A fund that ties the index beats nothing, and one that ends where it started gained nothing.
TEST(SeriesSummaryTest, ATieIsNeitherAGainNorABeat)
{
    const auto s = summarizeSeries({resultRow("2004-01-01", 0.05, 0.05), resultRow("2004-02-01", 0.0, -0.01)}, {},
                                   false);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->beatShare, 50);  // only the second, above an index that fell
    EXPECT_EQ(s->gainShare, 50);  // only the first
    EXPECT_EQ(s->excess.worst, 0);
}

// The median fall is taken of the falls as the run has them: stats.csv's two decimals would make
// the median of 1.004 and 1.014 (1.009, shown 1.01) the median of 1.00 and 1.01 (1.005, shown 1.00).
TEST(SeriesSummaryTest, MediansComeFromUnroundedFalls)
{
    const std::vector<ResultCsvRow> results = {resultRow("2004-01-01", 0.1, 0.0), resultRow("2004-02-01", 0.2, 0.0)};
    const std::vector<StatsCsvRow> exact = {fall(1.004, 2), fall(1.014, 2)};
    EXPECT_EQ(fieldOf(summarizeSeries(results, exact, false), "fund_median_drawdown_pct"), "1.01");
    std::string text = statsCsvHeader();
    for (const auto& row : exact)
        text += statsCsvLine(row);
    EXPECT_EQ(fieldOf(summarizeSeries(results, readStatsCsv(text), false), "fund_median_drawdown_pct"), "1.00");

    // What the run writes is what the window, show and the workbook read back.
    test::TempDir dir;
    const auto summary = summarizeSeries(results, exact, false);
    dir.write(std::string(summaryCsvFile), summaryCsvText(summary));
    EXPECT_EQ(loadSeriesSummary(dir.path()), readSummaryCsv(summaryCsvText(summary)));
    EXPECT_EQ(fieldOf(loadSeriesSummary(dir.path()), "fund_median_drawdown_pct"), "1.01");
}

// A series of one stock: result.csv's index column is the stock held; the KOSPI comes from the
// fund's start and end index, and the table names both.
TEST(SeriesSummaryTest, OneStockSetsTheFundAgainstTheStockHeldAndTheKospi)
{
    // fund, stock held, KOSPI 100 -> 110 (+10 %) and 100 -> 95 (-5 %)
    const std::vector<ResultCsvRow> results = {resultRow("2004-01-01", 0.08, 0.12, 100, 110),
                                               resultRow("2004-02-01", 0.02, -0.03, 100, 95)};
    const auto s = summarizeSeries(results, {}, true);
    ASSERT_TRUE(s && s->hold);
    EXPECT_NEAR(s->index.mean, 2.5, 1e-9);
    EXPECT_NEAR(s->hold->hold.mean, 4.5, 1e-9);
    EXPECT_EQ(s->hold->beatShare, 50); // 2 % against -3 %
    EXPECT_EQ(s->beatShare, 50);       // 2 % against -5 %
    const ListTable t = seriesSummaryTable(*s);
    EXPECT_EQ(t.columns[2].heading, "종목 보유");
    EXPECT_EQ(t.columns[4].heading, "KOSPI");
    // The fields give the summary back, hold included; a many-stock summary leaves them empty.
    bool sound = false;
    const auto fields = summaryFields(s);
    const std::vector<std::string_view> views(fields.begin(), fields.end());
    EXPECT_EQ(summaryFields(parseSummaryFields(views, sound)), fields);
    EXPECT_TRUE(sound);
    EXPECT_EQ(fieldOf(summarizeSeries(results, {}, false), "hold_mean_pct"), "");
    EXPECT_EQ(fieldOf(summarizeSeries(results, {}, false), "index_mean_pct"), "4.50");
}

// Fewer than 20 valuation days: the yearly figures are marked as stretched to a year.
TEST(SeriesSummaryTest, YearlyFiguresOfAShortFundAreMarked)
{
    for (const int days : {5, 19, 20}) {
        StatsCsvRow r;
        r.fund.days = r.index.days = days;
        r.fund.cagrPct = r.index.cagrPct = 300;
        r.fund.volatilityPct = r.index.volatilityPct = 40;
        const ListTable t = riskTable(r);
        const bool marked = days < shortPeriodDays;
        EXPECT_EQ(t.rows[1][1], marked ? "300.00% *" : "300.00%") << days;
        EXPECT_EQ(t.rows[6][2], marked ? "40.00% *" : "40.00%") << days;
        EXPECT_EQ(t.rows.back()[0] == "*", marked) << days;
    }
}

// The fund's own figures (its trading, the fund against the index) leave the index's cell empty.
TEST(SeriesSummaryTest, FiguresOfTheFundAloneLeaveTheIndexEmpty)
{
    StatsCsvRow r;
    r.fund.days = r.index.days = 250;
    r.grid.commissionWon = 1727884;
    r.grid.fills = 128;
    r.comparison.beta = 0.95;
    const ListTable t = riskTable(r);
    const auto row = [&](const std::string& label) {
        for (const auto& cells : t.rows)
            if (cells[0] == label)
                return cells;
        return std::vector<std::string>{};
    };
    EXPECT_EQ(row("낸 수수료"), (std::vector<std::string>{"낸 수수료", "1,727,884원", "-"}));
    EXPECT_EQ(row("체결 횟수"), (std::vector<std::string>{"체결 횟수", "128회", "-"}));
    EXPECT_EQ(row("베타"), (std::vector<std::string>{"베타", "0.95", "-"}));
    EXPECT_EQ(row("정보비율"), (std::vector<std::string>{"정보비율", "-", "-"}));
}

// The KOSPI of a one-stock series is what a line of several stocks would hold for the same fund:
// for every fund of a series of four stocks, the yield made of its start and end index is the
// index column, to the last digit.
TEST(SeriesSummaryTest, TheKospiOfAOneStockSeriesIsWhatAManyStockLineHolds)
{
    test::GoldenResults g("sample-series-monthly-total");
    const std::string bytes = g.dir.read("result.csv");
    const auto rows = readResultCsv(bytes);
    ASSERT_GT(rows.size(), 10u);
    for (const auto& r : rows)
        EXPECT_EQ(kospiYieldOf(r), r.kospiYield) << r.startDate;
}
