#pragma once
// Dates are yyyymmdd integers throughout the engine.

#include "formats/DateText.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrelan {

/// Days from a to b, counted on a calendar without leap days whose years 2000-2089 follow
/// 1990-1999 (only the last two digits of the year count).
std::int32_t dayCount(std::int32_t a, std::int32_t b);

/// The last day of the month before the date's month, on the real calendar.
std::int32_t endOfPreviousMonth(std::int32_t date);

/// Days in a month (1-12) of the real calendar.
std::int32_t daysInMonth(std::int32_t year, std::int32_t month);

/// Whether a yyyymmdd date exists on the real calendar (20240229 does, 20230229 and 20231301
/// do not).
bool isCalendarDate(std::int32_t date);

/// Days since 1970-01-01 of a yyyymmdd date on the real calendar, and the date of such a number.
std::int64_t calendarDayNumber(std::int32_t date);
std::int32_t dateOfDayNumber(std::int64_t dayNumber);
/// The weekdays from `first` to `last` (both yyyymmdd) for which `holiday` is false.
template <class Holiday>
std::vector<std::int32_t> weekdaysBetween(std::int32_t first, std::int32_t last, Holiday&& holiday)
{
    std::vector<std::int32_t> days;
    for (std::int64_t n = calendarDayNumber(first), end = calendarDayNumber(last); n <= end; ++n) {
        const std::int64_t weekday = (n + 4) % 7; // 1970-01-01 was a Thursday; 0 is Sunday
        const std::int32_t date = dateOfDayNumber(n);
        if (weekday != 0 && weekday != 6 && !holiday(date))
            days.push_back(date);
    }
    return days;
}

inline std::int32_t dateMonth(std::int32_t date) { return (date % 10000) / 100; }
inline std::int32_t dateDay(std::int32_t date) { return date % 100; }

} // namespace kestrelan
