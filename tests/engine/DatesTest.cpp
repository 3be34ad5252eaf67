#include "engine/Dates.h"

#include <gtest/gtest.h>

using namespace kestrelan;

TEST(DatesTest, DayCountIgnoresLeapDaysAndCentury)
{
    struct Row
    {
        std::int32_t a, b, days;
    };
    // from | to | counted days
    const Row rows[] = {
        {19991231, 20000101, 1},  {20040228, 20040301, 1},   {20040101, 20040131, 30}, {20040101, 20050101, 365},
        {20040105, 20040102, -3}, {19980101, 19990101, 365}, {20041231, 20050104, 4},  {20040101, 20040101, 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(dayCount(row.a, row.b), row.days) << row.a << " -> " << row.b;
}

TEST(DatesTest, DateTextPadsMonthAndDay)
{
    EXPECT_EQ(dateText(20030401), "2003-04-01");
    EXPECT_EQ(dateText(20041231), "2004-12-31");
    EXPECT_EQ(dateText(0), "0-00-00");
}
