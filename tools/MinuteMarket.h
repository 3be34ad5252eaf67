#pragma once
// A market of minute prices for measuring and for differential tests: every stock trades a day
// of many prices, as a real minute file holds them (09:00-15:30 is 390 minutes).

#include <cstdint>
#include <filesystem>

namespace kestrelan {

/// The most stocks a minute market has (their codes are 900000 to 900998).
constexpr int maxMinuteStocks = 999;
/// The most prices a day: one a second over the 6.5 hours of a trading day.
constexpr int maxTicksPerDay = 23400;

struct MinuteMarketShape
{
    int stocks = 50;
    std::int32_t firstDay = 20010101;
    std::int32_t lastDay = 20201231;
    int ticksPerDay = 390;      // prices of a full trading day
    bool randomTicks = false;   // each stock-day draws its count from 1 to ticksPerDay
    double dailyRangePct = 3.0; // the mean high-low range of a day the walk aims at
    std::uint64_t seed = 20010101;
};

struct MinuteMarketSummary
{
    int tradingDays = 0;
    int stocks = 0;
    std::int64_t priceRecords = 0;
    std::int64_t bytes = 0;
    double meanDailyRangePct = 0; // (high - low) / base over every stock-day with prices
};

/// Writes kospi.lst, code.lst, ksp.txt and StockData/<code>.real into `dir`. The prices are a
/// random walk with gaps (halts, missing days, a suspension), two splits, a late listing and a
/// delisting; the same shape always gives the same bytes. Throws std::invalid_argument for a
/// shape beyond the limits above and std::runtime_error when a file cannot be written.
MinuteMarketSummary writeMinuteMarket(const std::filesystem::path& dir, const MinuteMarketShape& shape);

} // namespace kestrelan
