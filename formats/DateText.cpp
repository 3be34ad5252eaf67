#include "formats/DateText.h"

#include <algorithm>
#include <cstdio>

namespace kestrelan {

namespace {

void appendTwoDigits(std::string& out, std::int32_t v)
{
    if (v >= 0 && v < 100) { // a month or a day: no format to parse for each of a run's dates
        out += static_cast<char>('0' + v / 10);
        out += static_cast<char>('0' + v % 10);
        return;
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, v < 10 ? "0%d" : "%d", v);
    out += buffer;
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

bool isDateText(std::string_view t)
{
    return t.size() == 10 && t[4] == '-' && t[7] == '-'
        && std::all_of(t.begin(), t.end(), [](char c) { return c == '-' || (c >= '0' && c <= '9'); });
}

} // namespace kestrelan
