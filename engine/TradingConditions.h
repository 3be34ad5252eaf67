#pragma once
// What a fund trades with: the grid's conditions and what a trade costs. They are the settings a
// sweep may give each combination; a run takes them from its own settings (SimParams holds them
// as its first part). Every fund reads all of them from one value, its costs included, so no
// combination can trade on one run's conditions and another's costs.

#include <cstdint>

namespace kestrelan {

/// Which column group of the trading range table applies. The values are the form's radio indices.
enum class RiskProfile : std::int32_t
{
    Aggressive = 0,
    Stable = 1,
    Conservative = 2
};

/// The sales tax that includeTax adds to every sale, as a fraction of the proceeds.
constexpr double salesTaxRate = 0.003;

/// The conditions of one fund's trading, with the settings form's defaults.
struct TradingConditions
{
    std::int32_t marginPct = 10;    // trading margin
    std::int32_t secondPct = 10;    // second condition
    std::int32_t rangeLowPct = 50;  // lower edge of the trading range, % of the start price
    std::int32_t rangeHighPct = 150;
    std::int32_t initialBuyPct = 50;
    RiskProfile riskProfile = RiskProfile::Stable; // the row group of ksp.txt with automatic setting
    double commissionPct = 0.2;                    // on every trade
    bool includeTax = true;                        // salesTaxRate on every sale

    /// The commission as a fraction of a trade's amount.
    double commission() const { return commissionPct * 0.01; }

    bool operator==(const TradingConditions&) const = default;
};

} // namespace kestrelan
