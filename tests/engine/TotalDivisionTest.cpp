#include "engine/TotalDivision.h"
#include "support/PriceBuilder.h"
#include "support/Recorders.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numeric>

using namespace kestrelan;

namespace {

// Stocks whose last price before the fund (starting 2004-01-05) is `close`; close 0 stands for
// a stock whose data begins on the fund's first day.
struct Portfolio
{
    explicit Portfolio(std::vector<std::int32_t> closes)
    {
        for (auto close : closes) {
            if (close == 0)
                files.push_back(PriceFile::fromBytes(test::priceBytes({{20040105, {9000, 9000}}})));
            else
                files.push_back(
                    PriceFile::fromBytes(test::priceBytes({{20040102, {close, close}}, {20040105, {close, close}}})));
        }
        for (const auto& f : files) {
            pointers.push_back(&f);
            positions.push_back(test::positionOf(f, 20040105));
        }
        amounts.assign(files.size(), -1);
    }
    std::optional<double> divide(std::int32_t total, double ratio)
    {
        return divideTotal(20040105, total, ratio, pointers, positions, amounts, sink);
    }
    std::vector<PriceFile> files;
    std::vector<const PriceFile*> pointers;
    std::vector<std::int32_t> positions;
    std::vector<std::int32_t> amounts;
    test::RecordingSink sink;
};

} // namespace

TEST(TotalDivisionTest, EvenSharesWithTheRemainderToTheFirstStock)
{
    // Unit cost 10,100 (10,000 plus 1 %): 5,050,000 at ratio 0.5 buys exactly 250 shares each.
    Portfolio p({10000, 10000});
    EXPECT_EQ(p.divide(10101500, 0.5), 0.5);
    EXPECT_EQ(p.amounts, (std::vector<std::int32_t>{5051500, 5050000}));
    EXPECT_TRUE(p.sink.shown.empty());
}

TEST(TotalDivisionTest, UnavailableStocksGetNothingButTheFirstKeepsTheRemainder)
{
    Portfolio p({0, 10000, 10000});
    EXPECT_EQ(p.divide(10101500, 0.5), 0.5);
    EXPECT_EQ(p.amounts, (std::vector<std::int32_t>{1500, 5050000, 5050000}));
    Portfolio none({0, 0});
    EXPECT_EQ(none.divide(10000000, 0.5), std::nullopt);
    EXPECT_TRUE(none.sink.shown.empty());
}

TEST(TotalDivisionTest, LateFirstDayIsUnavailable)
{
    // The fund starts 2003-12-31; the first date on or after it is 2004-01-05, five counted days later.
    Portfolio p({10000, 10000});
    const auto ratio = divideTotal(20031231, 10101500, 0.5, p.pointers, p.positions, p.amounts, p.sink);
    EXPECT_EQ(ratio, std::nullopt);
    const auto inTime = divideTotal(20040101, 10101500, 0.5, p.pointers, p.positions, p.amounts, p.sink);
    EXPECT_EQ(inTime, 0.5);
}

TEST(TotalDivisionTest, RatioRisesUntilTheSharesReachIt)
{
    Portfolio p({10000, 20000, 33000});
    const std::int32_t total = 10000000;
    const auto ratio = p.divide(total, 0.5);
    ASSERT_TRUE(ratio);
    EXPECT_GT(*ratio, 0.5);
    const double steps = (*ratio - 0.5) / 0.001;
    EXPECT_NEAR(steps, std::round(steps), 1e-6);
    EXPECT_EQ(std::accumulate(p.amounts.begin(), p.amounts.end(), std::int64_t{0}), total);
}

TEST(TotalDivisionTest, TotalTooSmallForTheMinimumQuantities)
{
    // 20 shares each at 10,100 and 20,200 need 606,000; half of 1,000,000 is less.
    Portfolio p({10000, 20000});
    EXPECT_EQ(p.divide(1000000, 0.5), std::nullopt);
    ASSERT_EQ(p.sink.shown.size(), 1u);
    EXPECT_EQ(p.sink.shown[0], "시작일 20040105 : 전종목 최소수량으로도 매수불가능한 초기비중");
}

TEST(TotalDivisionTest, RoundedMinimumAmountsAboveTheTotalEndTheFund)
{
    // Unit cost 10,115: 20 shares at ratio 0.5 need 404,600 each, rounded to 405,000; the total
    // of 809,200 passes the first check but can never hold both.
    Portfolio p({10015, 10015});
    EXPECT_EQ(p.divide(809200, 0.5), std::nullopt);
    ASSERT_EQ(p.sink.shown.size(), 1u);
}
