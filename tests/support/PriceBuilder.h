#pragma once
// Small price files written by hand: each day is its date, its base price, then its values.

#include "engine/MarketData.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace kestrelan::test {

struct PriceDay
{
    std::int32_t date;
    std::vector<std::int32_t> values; // the base price first
};

inline std::string priceBytes(std::initializer_list<PriceDay> days)
{
    std::string bytes;
    for (const auto& day : days) {
        bytes += priceRecordBytes(day.date);
        for (auto v : day.values)
            bytes += priceRecordBytes(v);
    }
    return bytes;
}

/// The records of the numbers, in order.
inline std::string records(std::initializer_list<std::int32_t> numbers)
{
    std::string bytes;
    for (auto n : numbers)
        bytes += priceRecordBytes(n);
    return bytes;
}

/// The byte position of a day's date record.
inline std::int32_t positionOf(const PriceFile& file, std::int32_t date)
{
    for (std::int32_t i = 0; i < file.recordCount(); ++i)
        if (file.value(i) == date)
            return i * priceRecordSize;
    return -1;
}

} // namespace kestrelan::test
