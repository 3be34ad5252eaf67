#include "results/core/MonthlyReturns.h"

#include <gtest/gtest.h>

using namespace kestrelan;

// A fund of 100 won against an index of 1,000 over a year's end: each month and year from the
// last value before it, the first from the amount invested and the start index; a line whose
// date does not read is left out.
TEST(MonthlyReturnsTest, MonthsAndYearsFromTheLastValueBefore)
{
    struct Day
    {
        const char* date;
        double value, index;
    };
    const Day days[] = {{"2003-12-30", 110, 1010}, {"2004-01-05", 99, 1111}, {"bad", 1, 1},
                        {"2004-01-30", 121, 1212}, {"2004-02-02", 108.9, 1212}};
    std::vector<ResultCsvRow> rows;
    for (const Day& d : days)
        rows.push_back(ResultCsvRow{.endDate = d.date, .startIndex = 1000, .endIndex = d.index, .invest = 100,
                                    .value = d.value});
    const ListTable t = monthlyTable(monthlyReturns(rows));
    ASSERT_EQ(t.columns.size(), 14u);
    // year | Jan | Feb | Mar | Dec | the year
    const std::vector<std::vector<std::string>> expected = {
        {"2003 펀드", "", "", "", "10.00", "10.00"},
        {"2003 KOSPI", "", "", "", "1.00", "1.00"},
        {"2004 펀드", "10.00", "-10.00", "", "", "-1.00"},
        {"2004 KOSPI", "20.00", "0.00", "", "", "20.00"},
    };
    ASSERT_EQ(t.rows.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const auto& r = t.rows[k];
        EXPECT_EQ((std::vector<std::string>{r[0], r[1], r[2], r[3], r[12], r[13]}), expected[k]) << k;
    }
    EXPECT_EQ(monthlyCellSign("-10.00"), -1);
    EXPECT_EQ(monthlyCellSign("0.00"), 0);
    EXPECT_EQ(monthlyCellSign("2004 펀드"), 0);
    EXPECT_TRUE(monthlyReturns({}).empty());
}
