#pragma once
// A deterministic sample market, so the program runs out of the box and the tests have data.

#include "engine/RangeTable.h"

#include <array>
#include <cstdint>
#include <filesystem>

namespace kestrelan {

struct SampleMarketSummary
{
    int tradingDays = 0;
    int stocks = 0;
    std::int64_t priceRecords = 0;
};

/// The sample markets' trading range table over ten KOSPI band edges, from the top band's
/// bottom down to the lowest band's top; the profiles' percentages are the same for every band
/// set.
RangeTable sampleRangeTable(const std::array<std::int32_t, rangeRowCount - 1>& bandEdges);

/// Band edges for markets whose index moves over the whole of KOSPI's history (an import, the
/// minute market).
constexpr std::array<std::int32_t, rangeRowCount - 1> kospiBandEdges
    = {2500, 2250, 2000, 1750, 1500, 1250, 1000, 850, 700, 600};

/// Replaces the file with the bytes at once; throws std::runtime_error when it cannot.
void writeMarketFile(const std::filesystem::path& path, const std::string& bytes);

/// Writes kospi.lst, code.lst, ksp.txt and StockData/<code>.real into `dir` (created if needed).
/// The same call always writes the same bytes. Throws std::runtime_error when a file cannot be
/// written.
SampleMarketSummary writeSampleMarket(const std::filesystem::path& dir);

} // namespace kestrelan
