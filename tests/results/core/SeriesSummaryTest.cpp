#include "results/core/SeriesSummary.h"

#include <gtest/gtest.h>

using namespace kestrelan;

// Four funds worked out by hand: fund yields 10, -5, 20, 0 %; index yields 5, 0, 25, -10 %.
TEST(SeriesSummaryTest, SpreadsSharesAndMedianFalls)
{
    const char* starts[] = {"2004-01-01", "2004-02-01", "2004-03-01", "2004-04-01"};
    const double fund[] = {0.10, -0.05, 0.20, 0.00}, index[] = {0.05, 0.00, 0.25, -0.10};
    const double falls[] = {3, 1, 2, 10};
    std::vector<ResultCsvRow> results;
    std::vector<StatsCsvRow> stats;
    for (int i = 0; i < 4; ++i) {
        ResultCsvRow r;
        r.startDate = starts[i];
        r.fundYield = fund[i];
        r.kospiYield = index[i];
        results.push_back(r);
        StatsCsvRow s;
        s.fund.maxDrawdownPct = falls[i];
        s.index.maxDrawdownPct = falls[3 - i] * 2;
        stats.push_back(s);
    }
    ResultCsvRow cut = results[0];
    cut.extent.complete = false; // a cut last line is no fund
    results.push_back(cut);

    const auto s = summarizeSeries(results, stats);
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

    EXPECT_FALSE(summarizeSeries({cut}, {}));
    EXPECT_FALSE(summarizeSeries(results, {})->medianFundDrawdown);
}
