#pragma once
// Spreading one total amount over the portfolio before each fund, so that every stock can buy
// at least 20 shares at the price just before the fund and the initial purchase reaches the
// fund's ratio (raised in steps of 0.001 when the whole-share rounding falls short).

#include "engine/MarketData.h"
#include "platform/core/Sinks.h"

#include <cstdint>
#include <optional>
#include <span>

namespace kestrelan {

/// Divides `total` for the fund starting on `fundStart`. files[i] and positions[i] are stock i's
/// prices and the byte position of its first date record on or after the start. On success the
/// amounts are in `amounts` (the first stock takes the remainder of the thousand-won rounding)
/// and the result is the ratio the fund runs with; nullopt ends the fund (with a message when
/// the total cannot buy the minimum quantities, silently when no stock has a price).
std::optional<double> divideTotal(std::int32_t fundStart, std::int32_t total, double ratio,
                                  std::span<const PriceFile* const> files, std::span<const std::int32_t> positions,
                                  std::span<std::int32_t> amounts, IMessageSink& messages);

} // namespace kestrelan
