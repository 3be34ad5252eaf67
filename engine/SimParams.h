#pragma once
// The settings of one run, as the settings form and the command line hand them to the engine.

#include <cstdint>

namespace kestrelan {

/// The fifteen run parameters, in the order the settings form hands them over.
struct SimParams
{
    std::int32_t investMode = 0;   // 0 amount per stock, 1 total amount, 2 share count
    std::int32_t startDate = 0;    // yyyymmdd
    std::int32_t endDate = 0;      // yyyymmdd
    std::int32_t fundCadence = 0;  // statistics mode: 0 three times a month, 1 monthly, 2 daily
    std::int32_t years = 1;        // length of each fund of a series; 0 is half a year
    std::int32_t marginPct = 10;   // trading margin
    std::int32_t secondPct = 10;   // second condition
    std::int32_t rangeLowPct = 50; // lower edge of the trading range, % of the start price
    std::int32_t rangeHighPct = 150;
    std::int32_t initialBuyPct = 50;
    double commissionPct = 0.2;
    std::int32_t autoSet = 1;     // take the range and the ratio from ksp.txt per fund
    std::int32_t riskProfile = 1; // 0 aggressive, 1 stable, 2 conservative
    std::int32_t yieldStats = 0;  // 0 one fund day by day, else a series of funds
    std::int32_t includeTax = 1;  // sales tax of 0.3 %
};

} // namespace kestrelan
