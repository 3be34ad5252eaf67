#pragma once
// A single fund's return and the index's, month by month, as a table of years by months: what the
// results window's statistics view, `show` and the workbook give a single fund beside its figures.

#include "formats/ResultCsv.h"
#include "results/core/SummaryTables.h"

#include <array>
#include <optional>
#include <vector>

namespace kestrelan {

/// One year's returns in percent: each month's from the last value before it (the amount
/// invested, the start index, for the fund's first month) to its last day's, and the year's.
/// A month the fund did not reach has none.
struct MonthlyYear
{
    int year = 0;
    std::array<std::optional<double>, 12> fund{};
    std::array<std::optional<double>, 12> index{};
    std::optional<double> fundYear;
    std::optional<double> indexYear;
};

/// The years of a single fund's result.csv lines (one a day, in order); lines whose date does not
/// read are left out.
std::vector<MonthlyYear> monthlyReturns(const std::vector<ResultCsvRow>& days);

/// What the displays call the table.
inline constexpr const char* monthlyTableTitle = "월별 수익률 (%)";

/// The years as a table: a row for the fund and one for the index in each year, a column a month
/// and one for the year; a month without a return shows "".
ListTable monthlyTable(const std::vector<MonthlyYear>& years);

/// How a cell of the table reads for colouring: above 0, below 0, or neither (empty, 0, a label).
int monthlyCellSign(const std::string& cell);

} // namespace kestrelan
