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

std::string dateText(std::int32_t date)
{
    std::string out = std::to_string(date / 10000);
    out += '-';
    appendTwoDigits(out, (date % 10000) / 100);
    out += '-';
    appendTwoDigits(out, date % 100);
    return out;
}

std::int32_t dayCount(std::int32_t a, std::int32_t b)
{
    return days(b) - days(a);
}

} // namespace kestrelan
