#pragma once
// The risk a fund took, from its value day by day: the total return and its yearly rate, the
// largest fall from a running peak (with the dates of the peak, the trough and the recovery),
// the volatility of the daily returns and the Sharpe ratio, and the days spent under water.
// The same figures are kept for the index over the same days, so the two can be compared, and
// the fund's daily returns are set against the index's (beta, alpha, tracking error).

#include "formats/StatsCsv.h"

#include <cstdint>

namespace kestrelan {

/// Follows one path: its starting value on the start date, then one value a day. Constant memory,
/// a few operations a day, so every fund of a series can keep one for itself and its index.
class RiskTracker
{
public:
    /// The path starts at `value` (the amount invested, or the start index) on `date`.
    void start(std::int32_t date, double value);
    /// The value at the end of a trading day.
    void day(std::int32_t date, double value);
    /// The figures so far; `riskFreePct` is the yearly risk-free rate of the Sharpe ratio.
    RiskFigures figures(double riskFreePct = 0) const;

private:
    std::int32_t startDate = 0, lastDate = 0;
    double first = 0, previous = 0, last = 0;
    double peak = 0;
    std::int32_t peakDate = 0;
    RiskFigures worst; // the largest fall so far, with its dates
    double worstPeak = 0;
    int days = 0, underwater = 0;
    double sum = 0, sumSquares = 0; // of the daily returns
    double downSquares = 0;         // of the daily returns below 0
    int returns = 0, downs = 0;
};

/// Sets a fund's path against the index's, day by day: both start on the same day (the amount
/// invested, the start index) and get a value at the end of the same days.
class ComparisonTracker
{
public:
    void start(double fund, double index);
    void day(double fund, double index);
    IndexComparison figures() const;

private:
    double fundPrevious = 0, indexPrevious = 0;
    int returns = 0;
    double sumFund = 0, sumIndex = 0, sumProducts = 0, sumIndexSquares = 0; // of r, i, r x i, i x i
    double sumExcess = 0, sumExcessSquares = 0;                             // of r - i
};

} // namespace kestrelan
