#include "engine/EffectiveSettings.h"

namespace kestrelan {

CalendarMode calendarMode(const SimParams& params)
{
    return params.yieldStats ? static_cast<CalendarMode>(static_cast<int>(params.fundCadence))
                             : CalendarMode::SingleFund;
}

std::uint32_t amountLimit(InvestMode mode)
{
    return mode == InvestMode::ShareCount ? maxShareCount : maxInvestAmount;
}

EffectiveSettings effectiveSettings(const SimParams& given, std::optional<std::int32_t> lastIndexDate)
{
    EffectiveSettings e{given, calendarMode(given), amountLimit(given.investMode), std::nullopt};
    SimParams& p = e.params;
    if ((p.startDate == 0 || p.endDate == 0) && lastIndexDate) {
        const Period period = defaultPeriod(*lastIndexDate);
        if (p.startDate == 0)
            p.startDate = p.yieldStats ? seriesStartDate : period.startDate;
        if (p.endDate == 0)
            p.endDate = period.endDate;
    }
    if (p.startDate != 0 && p.startDate < minStartDate) {
        e.startCut = p.startDate;
        p.startDate = minStartDate;
    }
    return e;
}

} // namespace kestrelan
