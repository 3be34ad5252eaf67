#pragma once
// The fund calendar of a run: which funds to simulate, each a start date with the index text of
// its first trading day, and an end date (its last trading day) with that day's index text. The
// funds are written to date.lst (formats/DateLst.h).

#include "engine/MarketData.h"
#include "formats/DateLst.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kestrelan {

/// Calendar modes: funds started three times a month, monthly, daily, or one fund.
enum class CalendarMode : int
{
    ThreeTimesMonthly = 0,
    Monthly = 1,
    Daily = 2,
    SingleFund = 3
};

/// The start a fund series (modes 0 to 2) takes: a start before kospi.lst's first record becomes
/// the first day of that record's month, so that no fund is dated before the index it is
/// measured against.
std::int32_t seriesStart(std::int32_t startDate, const IndexFile& kospi);

/// The funds of a calendar, in order. `years` 0 means half a year (modes 0 to 2). A single fund
/// asked to start in a month before kospi.lst's first record starts on that record's day.
std::vector<FundLine> calendarLines(std::int32_t startDate, std::int32_t endDate, CalendarMode calendarMode,
                                    std::int32_t years, const IndexFile& kospi);

/// What a period that reaches outside kospi.lst means for the funds, in Korean, or "" when it lies
/// within: a start in a month before the index's first month (the series starts from that month,
/// the single fund trades from the first day), an end in a month after its last month for a
/// single fund, and the funds of a series dropped because they would end after the index does.
std::string periodNote(std::int32_t startDate, std::int32_t endDate, CalendarMode calendarMode, std::int32_t years,
                       const IndexFile& kospi);

/// What a run whose calendar holds no fund is told, in Korean: the period note when there is one,
/// then why no fund fits (no trading day for a single fund; for a series, no fund of `years`
/// that starts and ends within the period).
std::string noFundMessage(std::int32_t startDate, std::int32_t endDate, CalendarMode calendarMode, std::int32_t years,
                          const IndexFile& kospi);

/// Writes date.lst into `dir` (through a scratch file renamed into place) and returns its line count.
/// Throws EngineError when the file cannot be written.
int buildCalendar(std::int32_t startDate, std::int32_t endDate, CalendarMode calendarMode, std::int32_t years,
                  const IndexFile& kospi, const std::filesystem::path& dir);

} // namespace kestrelan
