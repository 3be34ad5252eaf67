#pragma once
// Dates are yyyymmdd integers throughout the engine.

#include <cstdint>
#include <string>

namespace kestrelan {

/// "2003-04-01" for 20030401: the year, then month and day with a leading zero below 10.
std::string dateText(std::int32_t date);

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

inline std::int32_t dateMonth(std::int32_t date) { return (date % 10000) / 100; }
inline std::int32_t dateDay(std::int32_t date) { return date % 100; }

} // namespace kestrelan
