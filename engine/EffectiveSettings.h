#pragma once
// The settings a run goes by, worked out in one place for the settings form, `run` and `sweep`:
// the period's defaults (the last two whole years of kospi.lst, or from seriesStartDate for a
// fund series), the earliest start, the largest amount of the invest mode and the calendar the
// funds are laid out by.

#include "engine/Calendar.h"
#include "engine/SimParams.h"

#include <cstdint>
#include <optional>

namespace kestrelan {

struct EffectiveSettings
{
    SimParams params;                    ///< the period filled in, the start no earlier than minStartDate
    CalendarMode calendar;               ///< how date.lst lays out the funds
    std::uint32_t amountLimit;           ///< the largest amount in won, or share count, the invest mode takes
    std::optional<std::int32_t> startCut; ///< the start given, when it was before minStartDate
};

/// The calendar of the settings: one fund, or a series at the settings' cadence.
CalendarMode calendarMode(const SimParams& params);

/// The largest amount (won) or share count (share-count mode) the invest mode takes.
std::uint32_t amountLimit(InvestMode mode);

/// The settings a run goes by. A start or end date of 0 is not given: it takes its default from
/// `lastIndexDate` (kospi.lst's last date, needed only then): the period of defaultPeriod, a
/// fund series starting on seriesStartDate. A start before minStartDate becomes minStartDate
/// (no price file holds an earlier date), and startCut says so.
EffectiveSettings effectiveSettings(const SimParams& given, std::optional<std::int32_t> lastIndexDate);

} // namespace kestrelan
