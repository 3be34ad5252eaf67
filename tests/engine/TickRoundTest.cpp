#include "engine/TickRound.h"

#include <gtest/gtest.h>

using namespace kestrelan;

TEST(TickRoundTest, RoundsToTheTickOfTheUnroundedBand)
{
    struct Row
    {
        std::int32_t price, down, up;
    };
    // price | rounded down | rounded up
    const Row rows[] = {
        {4998, 4995, 5000},     {4995, 4995, 4995},       {5000, 5000, 5000},       {5001, 5000, 5010},
        {9999, 9990, 10000},    {10001, 10000, 10050},    {49999, 49950, 50000},    {50001, 50000, 50100},
        {99950, 99900, 100000}, {100001, 100000, 100500}, {499999, 499500, 500000}, {500001, 500000, 501000},
        {145, 145, 145},        {159, 155, 160},          {13636, 13600, 13650},    {66156, 66100, 66200},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(tickRound(row.price, Round::Down), row.down) << row.price;
        EXPECT_EQ(tickRound(row.price, Round::Up), row.up) << row.price;
    }
}

// Each band divides by its own constant; every price of every band (and the negative ones a
// fall past zero may hand it) must round as by the band's tick.
TEST(TickRoundTest, EveryPriceAsByItsBandsTick)
{
    for (std::int32_t price = -2000; price <= 1100000; ++price) {
        const std::int32_t tick = priceTick(price), rest = price % tick;
        ASSERT_EQ(tickRound(price, Round::Down), price - rest) << price;
        ASSERT_EQ(tickRound(price, Round::Up), price - rest + (rest != 0 ? tick : 0)) << price;
    }
}
