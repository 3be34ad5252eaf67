#pragma once
// The settings form's rules that are not drawing: the amount display and the enabled states.
// The settings' defaults, limits and default period are the run's (engine/SimParams.h).

#include "engine/SimParams.h"

#include <cstdint>
#include <string>

namespace kestrelan {

/// The amount in Korean units: "원" below 10,000, "1만원", "1억5000만원", "20억원".
std::string amountText(std::uint32_t amount);

/// Which controls the two check boxes enable.
struct AutoSetEnables
{
    bool ranges;      // the two band edits and the initial ratio
    bool riskProfile; // the three risk radios
};
AutoSetEnables autoSetEnables(std::int32_t autoSet);
/// The cadence radios and the years edit follow yield statistics.
inline bool seriesControlsEnabled(std::int32_t yieldStats) { return yieldStats != 0; }

} // namespace kestrelan
