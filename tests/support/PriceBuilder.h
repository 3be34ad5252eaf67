#pragma once
// Small price files written by hand: each day is its date, its base price, then its values.

#include "engine/MarketData.h"
#include "engine/Records.h"

#include <cstring>

#include <initializer_list>
#include <string>
#include <vector>

namespace kestrelan::test {

/// A slot filled as a fund start fills it for the worked example: 10,000,000 won from
/// 2004-01-02, half bought at the start, range 50-150 %, margin and second condition 10 %.
/// `item` is the 27 bytes of its SimItem.lst entry.
inline void fillWorkedSlot(StockSlot& s, const char* item)
{
    std::memcpy(s.itemText, item, 27);
    s.sDate = 20040102;
    s.eDate = 20041231;
    s.rangeHighPct = 150;
    s.rangeLowPct = 50;
    s.marginPct = 10;
    s.secondPct = 10;
    s.initRatio = 0.5;
    s.invest = 10000000;
    s.mult = 1.0;
}

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
