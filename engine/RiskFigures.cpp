#include "engine/RiskFigures.h"

#include "engine/Dates.h"

#include <cmath>

namespace kestrelan {

void RiskTracker::start(std::int32_t date, double value)
{
    *this = RiskTracker{};
    startDate = lastDate = peakDate = date;
    first = previous = last = peak = value;
}

void RiskTracker::day(std::int32_t date, double value)
{
    ++days;
    if (previous > 0) {
        const double r = value / previous - 1;
        sum += r;
        sumSquares += r * r;
        ++returns;
    }
    previous = last = value;
    lastDate = date;
    if (value >= peak) {
        peak = value;
        peakDate = date;
    } else {
        ++underwater;
    }
    const double fall = peak > 0 ? (peak - value) / peak : 0;
    if (fall > worst.maxDrawdownPct) {
        worst.maxDrawdownPct = fall;
        worst.peakDate = peakDate;
        worst.troughDate = date;
        worst.recoveryDate = 0;
        worstPeak = peak;
    } else if (worst.troughDate != 0 && worst.recoveryDate == 0 && value >= worstPeak) {
        worst.recoveryDate = date;
    }
}

RiskFigures RiskTracker::figures(double riskFreePct) const
{
    RiskFigures f = worst;
    f.maxDrawdownPct = worst.maxDrawdownPct * 100;
    f.days = days;
    f.underwaterDays = underwater;
    if (first > 0 && days > 0) {
        const double growth = last / first;
        f.returnPct = (growth - 1) * 100;
        const double years = static_cast<double>(calendarDayNumber(lastDate) - calendarDayNumber(startDate)) / 365.25;
        if (years > 0 && growth > 0)
            f.cagrPct = (std::pow(growth, 1 / years) - 1) * 100;
    }
    if (returns >= 2) {
        const double mean = sum / returns;
        const double variance = (sumSquares - returns * mean * mean) / (returns - 1);
        const double deviation = variance > 0 ? std::sqrt(variance) : 0;
        f.volatilityPct = deviation * std::sqrt(tradingDaysPerYear) * 100;
        if (deviation > 0) {
            const double riskFreeDaily = std::pow(1 + riskFreePct / 100, 1 / tradingDaysPerYear) - 1;
            f.sharpe = (mean - riskFreeDaily) / deviation * std::sqrt(tradingDaysPerYear);
        }
    }
    return f;
}

} // namespace kestrelan
