#pragma once
// The settings form's rules that are not drawing: the amount display, the enabled states, the
// dates of the default period and their limits.

#include <cstdint>
#include <string>

namespace kestrelan {

constexpr std::uint32_t maxInvestAmount = 2000000000;
constexpr std::uint32_t defaultAmount = 100000000;
constexpr std::uint32_t defaultShareCount = 10000;
constexpr int shareCountMode = 2;

/// The amount in Korean units: "원" below 10,000, "1만원", "1억5000만원", "20억원".
std::string amountText(std::uint32_t amount);

/// The dates the form holds from start-up, as yyyymmdd.
struct FormDates
{
    std::int32_t startDate;
    std::int32_t endDate;
    std::int32_t latestEndDate;
    std::int32_t defaultStartDate;
    std::int32_t earliestStartDate;
};

/// From the date of kospi.lst's last record: the 24 whole months before its month.
FormDates startupDates(std::int32_t lastIndexDate);

/// Which controls the two check boxes enable.
struct AutoSetEnables
{
    bool ranges;      // the two band edits and the initial ratio
    bool riskProfile; // the three risk radios
};
AutoSetEnables autoSetEnables(std::int32_t autoSet);
/// The cadence radios and the years edit follow yield statistics.
inline bool seriesControlsEnabled(std::int32_t yieldStats) { return yieldStats != 0; }

/// The start a fund series begins with when yield statistics is switched on.
constexpr std::int32_t seriesStartDate = 20000101;

} // namespace kestrelan
