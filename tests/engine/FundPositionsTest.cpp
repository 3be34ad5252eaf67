#include "engine/FundPositions.h"
#include "support/PriceBuilder.h"

#include <gtest/gtest.h>

using namespace kestrelan;
using test::PriceDay;

TEST(FundPositionsTest, FirstRecordAtOrAfterEachStart)
{
    constexpr std::int32_t r = priceRecordSize;
    const std::string threeDays
        = test::priceBytes({{20040105, {100, 101}}, {20040106, {100, 102}}, {20040108, {100, 103}}});
    const std::string twoDays = test::priceBytes({{20040105, {100, 101}}, {20040106, {100, 102}}});
    const std::string lateListing = test::priceBytes({{20040106, {100, 102}}});
    struct Row
    {
        const char* name;
        std::string bytes;
        std::vector<std::int32_t> starts, positions;
    };
    // case | price file | fund starts | positions
    const Row rows[] = {
        {"each start's day or the next", threeDays, {20040105, 20040106, 20040107}, {0, 3 * r, 6 * r}},
        {"listed after the first start", lateListing, {20040105, 20040106}, {0, 0}},
        {"data ends before a start: 0 from then on", twoDays, {20040106, 20040107, 20040108}, {3 * r, 0, 0}},
        {"no data after any start", twoDays, {20040201, 20040202}, {0, 0}},
        {"a record beyond the last start ends the search",
         threeDays,
         {20040106, 20040106, 20040106},
         {3 * r, 3 * r, 3 * r}},
        {"an empty file", "", {20040105, 20040106}, {0, 0}},
        {"no funds", threeDays, {}, {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(fundPositions(PriceFile::fromBytes(row.bytes), row.starts), row.positions) << row.name;
}
