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
        if (r < 0) {
            downSquares += r * r;
            ++downs;
        }
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
    const double riskFreeDaily = std::pow(1 + riskFreePct / 100, 1 / tradingDaysPerYear) - 1;
    if (downs > 0)
        f.sortino = (sum / returns - riskFreeDaily) / std::sqrt(downSquares / returns) * std::sqrt(tradingDaysPerYear);
    if (f.cagrPct && f.maxDrawdownPct > 0)
        f.calmar = *f.cagrPct / f.maxDrawdownPct;
    if (returns >= 2) {
        const double mean = sum / returns;
        const double variance = (sumSquares - returns * mean * mean) / (returns - 1);
        const double deviation = variance > 0 ? std::sqrt(variance) : 0;
        f.volatilityPct = deviation * std::sqrt(tradingDaysPerYear) * 100;
        if (deviation > 0) {
            f.sharpe = (mean - riskFreeDaily) / deviation * std::sqrt(tradingDaysPerYear);
        }
    }
    return f;
}

void ComparisonTracker::start(double fund, double index)
{
    *this = ComparisonTracker{};
    fundPrevious = fund;
    indexPrevious = index;
}

void ComparisonTracker::day(double fund, double index)
{
    if (fundPrevious > 0 && indexPrevious > 0) {
        const double r = fund / fundPrevious - 1;
        const double i = index / indexPrevious - 1;
        ++returns;
        sumFund += r;
        sumIndex += i;
        sumProducts += r * i;
        sumIndexSquares += i * i;
        sumExcess += r - i;
        sumExcessSquares += (r - i) * (r - i);
    }
    fundPrevious = fund;
    indexPrevious = index;
}

IndexComparison ComparisonTracker::figures() const
{
    IndexComparison c;
    if (returns < 2)
        return c;
    const double m = returns;
    const double meanFund = sumFund / m, meanIndex = sumIndex / m, meanExcess = sumExcess / m;
    const double covariance = (sumProducts - m * meanFund * meanIndex) / (m - 1);
    const double indexVariance = (sumIndexSquares - m * meanIndex * meanIndex) / (m - 1);
    const double excessVariance = (sumExcessSquares - m * meanExcess * meanExcess) / (m - 1);
    if (indexVariance > 0) {
        c.beta = covariance / indexVariance;
        c.alphaPct = (meanFund - *c.beta * meanIndex) * tradingDaysPerYear * 100;
    }
    if (excessVariance > 0) {
        c.trackingErrorPct = std::sqrt(excessVariance) * std::sqrt(tradingDaysPerYear) * 100;
        c.informationRatio = meanExcess * tradingDaysPerYear * 100 / *c.trackingErrorPct;
    }
    return c;
}

} // namespace kestrelan
