#include "mainform/core/RangeTableCells.h"

#include <gtest/gtest.h>

using namespace kestrelan;

TEST(RangeTableCellsTest, BandsRatiosAndRanges)
{
    const auto cells
        = rangeTableCells(parseRangeTable("0\t500\t1\t2\t3\n1000\t0\t4\t5\t6\n700\t800\t7\t8\t9\n0\t0\n\n", 100), 0);
    ASSERT_EQ(cells.size(), 5u);
    EXPECT_EQ(cells[0][0], "500 이하");
    EXPECT_EQ(cells[1][0], "1000 이상");
    EXPECT_EQ(cells[2][0], "700 ~ 800");
    EXPECT_EQ(cells[2][1], "7%");
    EXPECT_EQ(cells[2][2], "8% ~ 9%");
    EXPECT_EQ(cells[3][0], "0 이상");
    // An empty last line: field 1 empty, the rest from the line before.
    EXPECT_EQ(cells[4][0], "0 이상");
    EXPECT_EQ(cells[4][1], "7%");
}
