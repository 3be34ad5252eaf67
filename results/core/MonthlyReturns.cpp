#include "results/core/MonthlyReturns.h"

#include "platform/core/Format.h"

#include <cstdlib>
#include <string>

namespace kestrelan {

namespace {

// yyyy-mm-dd: the year and the month (1 to 12), or nullopt.
std::optional<std::pair<int, int>> yearMonth(std::string_view date)
{
    if (date.size() != 10 || date[4] != '-' || date[7] != '-')
        return std::nullopt;
    const int year = std::atoi(std::string(date.substr(0, 4)).c_str());
    const int month = std::atoi(std::string(date.substr(5, 2)).c_str());
    if (year <= 0 || month < 1 || month > 12)
        return std::nullopt;
    return std::pair{year, month};
}

std::optional<double> change(double from, double to)
{
    return from > 0 ? std::optional((to / from - 1) * 100) : std::nullopt;
}

std::string cell(const std::optional<double>& v) { return v ? format("%.2f", *v) : std::string(); }

} // namespace

std::vector<MonthlyYear> monthlyReturns(const std::vector<ResultCsvRow>& days)
{
    struct Day
    {
        int year, month;
        double value, index;
    };
    std::vector<Day> read;
    for (const ResultCsvRow& r : days)
        if (const auto at = yearMonth(r.endDate))
            read.push_back({at->first, at->second, r.value, r.endIndex});
    std::vector<MonthlyYear> years;
    if (read.empty())
        return years;
    // The values the current month and year started from.
    double fundMonth = days.front().invest, indexMonth = days.front().startIndex;
    double fundYear = fundMonth, indexYear = indexMonth;
    for (std::size_t k = 0; k < read.size(); ++k) {
        const Day& d = read[k];
        if (years.empty() || years.back().year != d.year)
            years.push_back(MonthlyYear{.year = d.year});
        MonthlyYear& y = years.back();
        const auto m = static_cast<std::size_t>(d.month - 1);
        y.fund[m] = change(fundMonth, d.value);
        y.index[m] = change(indexMonth, d.index);
        y.fundYear = change(fundYear, d.value);
        y.indexYear = change(indexYear, d.index);
        // The month (and the year) ends where the next day is of another one.
        const bool lastOfYear = k + 1 == read.size() || read[k + 1].year != d.year;
        if (lastOfYear || read[k + 1].month != d.month) {
            fundMonth = d.value;
            indexMonth = d.index;
        }
        if (lastOfYear) {
            fundYear = d.value;
            indexYear = d.index;
        }
    }
    return years;
}

ListTable monthlyTable(const std::vector<MonthlyYear>& years)
{
    ListTable t;
    t.columns = {{"연도", 70}};
    for (int m = 1; m <= 12; ++m)
        t.columns.push_back({format("%d월", m), 52});
    t.columns.push_back({"연간", 60});
    for (const MonthlyYear& y : years) {
        for (const bool fund : {true, false}) {
            std::vector<std::string> row = {format("%d %s", y.year, fund ? "펀드" : "KOSPI")};
            for (std::size_t m = 0; m < 12; ++m)
                row.push_back(cell(fund ? y.fund[m] : y.index[m]));
            row.push_back(cell(fund ? y.fundYear : y.indexYear));
            t.rows.push_back(std::move(row));
        }
    }
    return t;
}

int monthlyCellSign(const std::string& text)
{
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size())
        return 0;
    return v > 0 ? 1 : v < 0 ? -1 : 0;
}

} // namespace kestrelan
