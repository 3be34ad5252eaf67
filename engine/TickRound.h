#pragma once
// Prices move in ticks that grow with the price band.

#include <cstdint>

namespace kestrelan {

/// The tick of the band a price lies in: 5 won below 5,000, 10 to 9,999, 50 to 49,999, 100 to
/// 99,999, 500 to 499,999, 1,000 from 500,000.
constexpr std::int32_t priceTick(std::int32_t price)
{
    if (price < 5000)
        return 5;
    if (price < 10000)
        return 10;
    if (price < 50000)
        return 50;
    if (price < 100000)
        return 100;
    if (price < 500000)
        return 500;
    return 1000;
}

enum class Round
{
    Down,
    Up
};

/// The price rounded to the tick of its own band (chosen by the unrounded price): down subtracts
/// the remainder; up first adds a tick when there is a remainder, so 4,998 goes to 5,000.
constexpr std::int32_t tickRound(std::int32_t price, Round direction)
{
    // The same bands as priceTick, each dividing by its own constant (a multiply, not a divide:
    // a fund lays out hundreds of levels per stock).
    std::int32_t tick, rest;
    if (price < 5000)
        tick = 5, rest = price % 5;
    else if (price < 10000)
        tick = 10, rest = price % 10;
    else if (price < 50000)
        tick = 50, rest = price % 50;
    else if (price < 100000)
        tick = 100, rest = price % 100;
    else if (price < 500000)
        tick = 500, rest = price % 500;
    else
        tick = 1000, rest = price % 1000;
    if (direction == Round::Up && rest != 0)
        price += tick;
    return price - rest;
}

} // namespace kestrelan
