#include "engine/Dates.h"

#include <cstdio>

namespace kestrelan {

namespace {

void appendTwoDigits(std::string& out, std::int32_t v)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, v < 10 ? "0%d" : "%d", v);
    out += buffer;
}

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
    static constexpr std::int32_t length[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    std::int32_t day = length[(month - 1) % 12];
    if (month == 2 && (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)))
        day = 29;
    return year * 10000 + month * 100 + day;
}

std::string dateText(std::int32_t date)
{
    std::string out = std::to_string(date / 10000);
    out += '-';
    appendTwoDigits(out, (date % 10000) / 100);
    out += '-';
    appendTwoDigits(out, date % 100);
    return out;
}

std::int32_t dayCount(std::int32_t a, std::int32_t b) { return days(b) - days(a); }

} // namespace kestrelan
