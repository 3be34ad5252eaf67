#pragma once
// What the three charts of the results window draw, computed from the loaded tables: points
// with their labels and colours, and the axis ranges.

#include "formats/ResultCsv.h"
#include "results/core/SummaryTables.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelan {

/// Colours as Windows writes them: 0x00BBGGRR.
namespace colours {
constexpr std::uint32_t black = 0;
constexpr std::uint32_t red = 255;
constexpr std::uint32_t blue = 16711680;
constexpr std::uint32_t paleYellow = 7929855;
} // namespace colours

struct ChartPoint
{
    double x = 0;            // the point's position; the day's index on a category axis
    std::optional<double> y; // nullopt: an empty point
    std::string label;
    std::optional<std::uint32_t> colour; // the point's own colour, which wins over its series'; nullopt: the series'
};

struct AxisRange
{
    double minimum = 0;
    double maximum = 10;
    double increment = 10;
};

/// Every how many increments an axis shows a label so that its labels, `labelPixels` each along
/// the axis, fit its `axisPixels`: 1, 2, 5, 10, 20, 50 and so on. The range and the increment
/// stay as they are; the labels left out still have their grid lines.
int labelEvery(const AxisRange& range, double axisPixels, double labelPixels);

/// A single fund day by day: series 0 stock share (right axis), 1 KOSPI, 2 fund yield,
/// 3 trading profit, all in percent.
struct YieldChartData
{
    std::array<std::vector<ChartPoint>, 4> series;
    AxisRange left;
    AxisRange right{0, 100, 20};
};
YieldChartData yieldChartData(const SummaryTables& tables);

/// A fund series: each fund's yield against the index yield of its period, a least-squares
/// trend through them, the zero line and a cubic curve fit.
struct SeriesChartData
{
    std::vector<ChartPoint> funds;
    std::vector<ChartPoint> trend;
    std::vector<ChartPoint> zeroLine;
    std::vector<ChartPoint> curveFit;
    AxisRange left;
    AxisRange bottom;
};
SeriesChartData seriesChartData(const SummaryTables& tables);

/// One stock of a traded single fund: its closing prices, and its buy and sell marks at the
/// day's average trade price from trade.csv (CP949 bytes); one point a day in each series, empty
/// where there is no price or no trade.
struct StockChartData
{
    std::vector<ChartPoint> price;
    std::vector<ChartPoint> buys;
    std::vector<ChartPoint> sells;
    AxisRange left;
};
StockChartData stockChartData(const SummaryTables& tables, std::size_t stock, std::string_view tradeLog);

/// The buy and sell marks of one stock per day of the tables (0: none).
struct TradeMarks
{
    std::vector<std::int32_t> buy;
    std::vector<std::int32_t> sell;
};
TradeMarks tradeMarks(const SummaryTables& tables, std::size_t stock, std::string_view tradeLog);

/// A fund series' yields as a histogram, the funds' beside the index's: bins of one width (1, 2, 5,
/// 10, 20 or 50 %, at most 20 bins) over both, each bin outlined as a step; series 0 the funds, 1
/// the index; the left axis counts funds.
struct HistogramData
{
    std::array<std::vector<ChartPoint>, 2> series;
    AxisRange left{0, 10, 1};
    AxisRange bottom;
};
HistogramData histogramData(const SummaryTables& tables);

/// A single fund's fall below its running peak day by day, in percent (0 at a peak, below 0
/// under water): series 0 the fund's value from the amount invested, 1 the index from its start.
struct UnderwaterData
{
    std::array<std::vector<ChartPoint>, 2> series;
    AxisRange left{-10, 0, 10};
};
UnderwaterData underwaterData(const std::vector<ResultCsvRow>& days);

} // namespace kestrelan
