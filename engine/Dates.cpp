#include "engine/Dates.h"

#include <chrono>

#include <cstdio>

namespace kestrelan {

namespace {

std::int32_t days(std::int32_t d)
{
    static constexpr std::int32_t monthLength[11] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30};
    const std::int32_t yy = (d / 10000) % 100;
    const std::int32_t mm = (d % 10000) / 100;
    std::int32_t n = yy * 365 + d % 100;
    for (std::int32_t m = 1; m < mm && m <= 11; ++m)
        n += monthLength[m - 1];
    if (yy < 90)
        n += 36500;
    return n;
}

} // namespace

std::int32_t endOfPreviousMonth(std::int32_t date)
{
    std::int32_t year = date / 10000;
    std::int32_t month = (date % 10000) / 100 - 1;
    if (month < 1) {
        month = 12;
        --year;
    }
    return year * 10000 + month * 100 + daysInMonth(year, month);
}

std::int32_t daysInMonth(std::int32_t year, std::int32_t month)
{
    static constexpr std::int32_t length[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)))
        return 29;
    return length[(month - 1) % 12];
}

bool isCalendarDate(std::int32_t date)
{
    const std::int32_t month = dateMonth(date), day = dateDay(date);
    return date > 0 && month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth(date / 10000, month);
}

std::int32_t dayCount(std::int32_t a, std::int32_t b) { return days(b) - days(a); }

std::int64_t calendarDayNumber(std::int32_t d)
{
    using namespace std::chrono;
    const year_month_day ymd{year(d / 10000), month(static_cast<unsigned>(d / 100 % 100)),
                             day(static_cast<unsigned>(d % 100))};
    return sys_days(ymd).time_since_epoch().count();
}

std::int32_t dateOfDayNumber(std::int64_t dayNumber)
{
    using namespace std::chrono;
    const year_month_day ymd{sys_days(std::chrono::days(dayNumber))};
    return static_cast<int>(ymd.year()) * 10000 + static_cast<int>(static_cast<unsigned>(ymd.month())) * 100
        + static_cast<int>(static_cast<unsigned>(ymd.day()));
}

} // namespace kestrelan
