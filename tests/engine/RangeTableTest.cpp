#include "engine/RangeTable.h"
#include "engine/MarketData.h"

#include <gtest/gtest.h>

using namespace kestrelan;

namespace {

// Bands: row 0 from 1000 up, rows 1-9 from 950 down to 550 in steps of 50 (row 9: 550-600), row
// 10 below 550. Each profile's percentages carry the row number so the choice can be read back.
std::string table(const char* separator = "\t")
{
    std::string text;
    for (int r = 0; r < 11; ++r) {
        const int low = r == 10 ? 0 : 1000 - 50 * r;
        const int high = r == 0 ? 0 : 1050 - 50 * r;
        const int fields[11] = {low, high, 10 + r, 20 + r, 130 + r, 30 + r, 40 + r, 140 + r, 50 + r, 60 + r, 150 + r};
        for (int f = 0; f < 11; ++f) {
            text += std::to_string(fields[f]);
            text += f == 10 ? "\r\n" : separator;
        }
    }
    return text;
}

} // namespace

TEST(RangeTableTest, ChoosesTheBandOfTheLevel)
{
    const auto t = parseRangeTable(table());
    ASSERT_TRUE(t.usable());
    struct Row
    {
        float level;
        int row;
    };
    // level | row: the low edge belongs to the band, the high edge to the band above
    const Row rows[] = {
        {1500.0f, 0},
        {1000.0f, 0},
        {999.99f, 1},
        {950.0f, 1},
        {949.99f, 2},
        {600.0f, 8},
        {599.0f, 9},
        {550.0f, 9},
        {549.99f, 10},
        {0.0f, 10},
        {indexPoints(100000), 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(selectRangeRow(t, row.level), row.row) << row.level;
}

TEST(RangeTableTest, OpenBandsOverrideTheClosedOnes)
{
    // Row 1 also covers 1,000, but a level at row 0's bottom takes row 0; row 10 reaching up to
    // 700 wins over rows 7-9 below it.
    std::string text = table();
    auto t = parseRangeTable(text);
    t.rows[1].field[1] = 1100;
    EXPECT_EQ(selectRangeRow(t, 1000.0f), 0);
    t.rows[10].field[1] = 700;
    EXPECT_EQ(selectRangeRow(t, 650.0f), 10);
    EXPECT_EQ(selectRangeRow(t, 700.0f), 6);
}

TEST(RangeTableTest, ProfilesShareTheBands)
{
    const auto t = parseRangeTable(table());
    const auto& row = t.rows[selectRangeRow(t, 720.0f)];
    EXPECT_EQ(row.initialBuyPct(0), 16);
    EXPECT_EQ(row.rangeLowPct(0), 26);
    EXPECT_EQ(row.rangeHighPct(0), 136);
    EXPECT_EQ(row.initialBuyPct(1), 36);
    EXPECT_EQ(row.rangeHighPct(2), 156);
}

TEST(RangeTableTest, BlanksAreSkippedTabsSeparate)
{
    const auto tabs = parseRangeTable(table());
    const auto mixed = parseRangeTable(table(" \t "));
    for (int r = 0; r < 11; ++r)
        EXPECT_EQ(mixed.rows[r].field, tabs.rows[r].field) << r;
    // Blanks alone do not separate: the line collapses into one field.
    const auto blanks = parseRangeTable("1 000 0 30\n");
    EXPECT_EQ(blanks.rows[0].field[0], 1000030);
}

TEST(RangeTableTest, ShortLinesKeepThePreviousFields)
{
    const auto t = parseRangeTable("1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11\n20\t30\n\n");
    ASSERT_EQ(t.rows.size(), 3u);
    EXPECT_EQ(t.rows[1].field[0], 20);
    EXPECT_EQ(t.rows[1].field[1], 30);
    EXPECT_EQ(t.rows[1].field[2], 3);
    EXPECT_EQ(t.rows[1].field[10], 11);
    EXPECT_EQ(t.rows[2].field[0], 0); // an empty line is one empty field
    EXPECT_EQ(t.rows[2].field[1], 30);
    EXPECT_FALSE(t.usable());
}

TEST(RangeTableTest, LastLineWithoutLineFeedAndExtraRowsAndFields)
{
    std::string text = table();
    text.resize(text.size() - 2);
    const auto t = parseRangeTable(text + "\r\n" + "9\t9\t9\t9\t9\t9\t9\t9\t9\t9\t9\t9\t9\n");
    ASSERT_EQ(t.rows.size(), 11u);
    EXPECT_EQ(t.rows[10].field[10], 160);
    const auto noEnd = parseRangeTable(text);
    EXPECT_EQ(noEnd.rows[10].field, t.rows[10].field);
    const auto wide = parseRangeTable("1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11\t12\t13\n");
    EXPECT_EQ(wide.rows[0].field[10], 11);
}

TEST(RangeTableTest, FieldsThatAreNotNumbersReadAsZero)
{
    const auto t = parseRangeTable("abc\t12x\t\xC1\xF6\n");
    EXPECT_EQ(t.rows[0].field[0], 0);
    EXPECT_EQ(t.rows[0].field[1], 12);
    EXPECT_EQ(t.rows[0].field[2], 0);
}
