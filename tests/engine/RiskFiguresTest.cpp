#include "engine/RiskFigures.h"

#include <gtest/gtest.h>
#include <vector>

using namespace kestrelan;

namespace {

struct Day
{
    std::int32_t date;
    double value;
};

RiskFigures follow(Day start, const std::vector<Day>& days, double riskFreePct = 0)
{
    RiskTracker t;
    t.start(start.date, start.value);
    for (const Day& d : days)
        t.day(d.date, d.value);
    return t.figures(riskFreePct);
}

} // namespace

TEST(RiskFiguresTest, AFundThatOnlyRisesNeverFalls)
{
    const auto f = follow({20040101, 100}, {{20040102, 101}, {20040105, 102}, {20040106, 103}});
    EXPECT_EQ(f.days, 3);
    EXPECT_NEAR(*f.returnPct, 3.0, 1e-9);
    EXPECT_EQ(f.maxDrawdownPct, 0);
    EXPECT_EQ(f.peakDate, 0);
    EXPECT_EQ(f.troughDate, 0);
    EXPECT_EQ(f.recoveryDate, 0);
    EXPECT_EQ(f.underwaterDays, 0);
}

// A V: down 20 % from the start to the third day, back at the start on the fifth, above it on the
// sixth. Returns -10 %, -11.1 %, +18.75 %, +5.26 %, +5 % (worked out by hand: a sample deviation
// of 12.40 % a day, 196.87 % a year; a mean of 1.58 % a day, a Sharpe ratio of 2.023).
TEST(RiskFiguresTest, AVShapedPathHasItsFallAndItsDates)
{
    const std::vector<Day> days
        = {{20040102, 90}, {20040105, 80}, {20040106, 95}, {20040107, 100}, {20040108, 105}};
    const auto f = follow({20040101, 100}, days);
    EXPECT_NEAR(f.maxDrawdownPct, 20.0, 1e-9);
    EXPECT_EQ(f.peakDate, 20040101); // the start itself is the peak
    EXPECT_EQ(f.troughDate, 20040105);
    EXPECT_EQ(f.recoveryDate, 20040107); // back at the peak's value
    EXPECT_EQ(f.underwaterDays, 3);
    EXPECT_NEAR(*f.returnPct, 5.0, 1e-9);
    EXPECT_NEAR(*f.volatilityPct, 196.8745644, 1e-6);
    EXPECT_NEAR(*f.sharpe, 2.0229285, 1e-6);
    EXPECT_NEAR(*follow({20040101, 100}, days, 3).sharpe, 2.0079135, 1e-6);
    // A later, smaller fall keeps the larger one; a deeper one from a new peak replaces it.
    auto more = days;
    more.push_back({20040109, 100});
    EXPECT_EQ(follow({20040101, 100}, more).troughDate, 20040105);
    more.push_back({20040112, 80});
    const auto deeper = follow({20040101, 100}, more);
    EXPECT_NEAR(deeper.maxDrawdownPct, 100.0 * 25 / 105, 1e-9);
    EXPECT_EQ(deeper.peakDate, 20040108);
    EXPECT_EQ(deeper.troughDate, 20040112);
    EXPECT_EQ(deeper.recoveryDate, 0);
}

TEST(RiskFiguresTest, YearlyRateAndWhatCannotBeFigured)
{
    // 10 % over 366 days (2000 is a leap year): a little less than 10 % a year.
    EXPECT_NEAR(*follow({20000101, 100}, {{20010101, 110}}).cagrPct, 9.9785182, 1e-6);
    const auto nothing = follow({20040101, 0}, {{20040102, 0}});
    EXPECT_FALSE(nothing.returnPct);
    EXPECT_FALSE(nothing.cagrPct);
    const auto oneDay = follow({20040101, 100}, {{20040102, 101}});
    EXPECT_FALSE(oneDay.volatilityPct); // a deviation needs two returns
    EXPECT_FALSE(follow({20040101, 100}, {{20040102, 100}, {20040105, 100}}).sharpe); // no deviation
}
