#include "engine/RiskFigures.h"

#include <gtest/gtest.h>
#include <optional>
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

// Sortino and Calmar on the V above (its down days -10 % and -11.1 %: a downside deviation of
// 6.685 % a day), and where they cannot be figured.
TEST(RiskFiguresTest, SortinoAndCalmar)
{
    const std::vector<Day> v = {{20040102, 90}, {20040105, 80}, {20040106, 95}, {20040107, 100}, {20040108, 105}};
    const auto f = follow({20040101, 100}, v);
    EXPECT_NEAR(*f.sortino, 3.7528230, 1e-6);
    EXPECT_NEAR(*follow({20040101, 100}, v, 3).sortino, 3.7249682, 1e-6); // the Sharpe ratio's risk-free rate
    EXPECT_NEAR(*f.calmar, *f.cagrPct / 20, 1e-9);
    const auto rising = follow({20040101, 100}, {{20040102, 101}, {20040105, 102}});
    EXPECT_FALSE(rising.sortino); // no down day
    EXPECT_FALSE(rising.calmar);  // no fall
}

// The fund against an index that only rises: each day the fund gains twice the index's return
// and 0.1 % more, so beta is 2 and alpha 0.1 % a day (25.2 % a year); the tracking error and the
// information ratio worked out beside the test from the same paths.
TEST(RiskFiguresTest, TheFundAgainstTheIndex)
{
    const std::vector<double> index = {100, 101, 103, 104, 107, 108};
    struct Row
    {
        const char* name;
        std::vector<double> fund;
        std::optional<double> beta, alpha, trackingError, informationRatio;
    };
    std::vector<double> twice = {100};
    for (std::size_t k = 1; k < index.size(); ++k)
        twice.push_back(twice.back() * (1 + 2 * (index[k] / index[k - 1] - 1) + 0.001));
    const Row rows[] = {
        {"twice the index and 0.1 % a day", twice, 2.0, 25.2, 13.7082972, 30.4065073},
        {"the index itself", index, 1.0, 0.0, std::nullopt, std::nullopt}, // no deviation from it
        {"a fund that never moves", std::vector<double>(6, 100), 0.0, 0.0, 13.7082972, -28.5682046},
    };
    for (const auto& row : rows) {
        ComparisonTracker t;
        t.start(row.fund[0], index[0]);
        for (std::size_t k = 1; k < index.size(); ++k)
            t.day(row.fund[k], index[k]);
        const IndexComparison c = t.figures();
        const auto expectNear = [&](const std::optional<double>& got, const std::optional<double>& want, const char* what) {
            ASSERT_EQ(got.has_value(), want.has_value()) << row.name << ": " << what;
            if (want) {
                EXPECT_NEAR(*got, *want, 1e-6) << row.name << ": " << what;
            }
        };
        expectNear(c.beta, row.beta, "beta");
        expectNear(c.alphaPct, row.alpha, "alpha");
        expectNear(c.trackingErrorPct, row.trackingError, "tracking error");
        expectNear(c.informationRatio, row.informationRatio, "information ratio");
    }
    ComparisonTracker flat; // an index that never moves has no beta
    flat.start(100, 100);
    flat.day(101, 100);
    flat.day(99, 100);
    EXPECT_FALSE(flat.figures().beta);
}
