#include "results/core/ChartData.h"

#include "formats/TradeCsv.h"

#include <algorithm>
#include <cmath>

namespace kestrelan {

namespace {

// Outward to a multiple of 10 beyond the value: (trunc(v + 10) div 10) x 10 above,
// (trunc(v - 10) div 10) x 10 below, truncating toward zero.
double tenAbove(double v) { return static_cast<double>(static_cast<std::int64_t>(v + 10) / 10 * 10); }

double tenBelow(double v) { return static_cast<double>(static_cast<std::int64_t>(v - 10) / 10 * 10); }

// Least squares: coefficients c0..cn of c0 + c1 x + ... for the points, or nothing when the
// system is singular.
std::optional<std::vector<double>> polynomialFit(const std::vector<ChartPoint>& points, int degree)
{
    const int n = degree + 1;
    std::vector<std::vector<double>> a(static_cast<std::size_t>(n),
                                       std::vector<double>(static_cast<std::size_t>(n + 1), 0));
    for (const auto& p : points) {
        std::vector<double> powers(static_cast<std::size_t>(2 * n), 1);
        for (std::size_t k = 1; k < powers.size(); ++k)
            powers[k] = powers[k - 1] * p.x;
        for (int r = 0; r < n; ++r) {
            for (int c = 0; c < n; ++c)
                a[r][c] += powers[static_cast<std::size_t>(r + c)];
            a[r][n] += powers[static_cast<std::size_t>(r)] * *p.y;
        }
    }
    for (int col = 0; col < n; ++col) {
        int pivot = col;
        for (int r = col + 1; r < n; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col]))
                pivot = r;
        if (std::fabs(a[pivot][col]) < 1e-12)
            return std::nullopt;
        std::swap(a[col], a[pivot]);
        for (int r = 0; r < n; ++r) {
            if (r == col)
                continue;
            const double f = a[r][col] / a[col][col];
            for (int c = col; c <= n; ++c)
                a[r][c] -= f * a[col][c];
        }
    }
    std::vector<double> coefficients(static_cast<std::size_t>(n));
    for (int r = 0; r < n; ++r)
        coefficients[static_cast<std::size_t>(r)] = a[r][n] / a[r][r];
    return coefficients;
}

std::vector<ChartPoint> curve(const std::vector<double>& c, double from, double to, int steps)
{
    std::vector<ChartPoint> out;
    for (int i = 0; i <= steps; ++i) {
        const double x = from + (to - from) * i / steps;
        double y = 0;
        for (std::size_t k = c.size(); k-- > 0;)
            y = y * x + c[k];
        out.push_back({x, y, {}, std::nullopt}); // drawn in its series' colour, as the chart computes it
    }
    return out;
}

// A trade log date with its century dropped, widened to yy-mm-dd where the month or day has one digit.
std::string widenDate(std::string_view text)
{
    if (text.size() == 6 || text.size() == 7)
        return *shortDate(text);
    return std::string(text);
}

} // namespace

int labelEvery(const AxisRange& range, double axisPixels, double labelPixels)
{
    const double span = range.maximum - range.minimum;
    if (!(range.increment > 0) || !(span > 0) || !(labelPixels > 0))
        return 1;
    int every = 1;
    for (;;) {
        const double labels = std::floor(span / (range.increment * every)) + 1;
        if (labels * labelPixels <= axisPixels || labels <= 2)
            return every;
        int power = 1;
        while (every / power >= 10)
            power *= 10;
        every = every / power == 2 ? 5 * power : 2 * every; // 1, 2, 5, 10, 20, 50, ...
    }
}

YieldChartData yieldChartData(const SummaryTables& t)
{
    YieldChartData d;
    double maximum = 0.0, minimum = 100.0;
    for (int i = 0; i < t.rowCount; ++i) {
        const ResultRow& r = t.rows[static_cast<std::size_t>(i)];
        const std::string& label = t.rowDates[static_cast<std::size_t>(i)];
        const double x = i;
        const double values[3] = {r.kospiYieldPm * 0.1, r.fundYieldPm * 0.1, r.profitRatePm * 0.1};
        d.series[1].push_back({x, values[0], label, colours::black});
        d.series[2].push_back({x, values[1], label, colours::red});
        d.series[3].push_back({x, values[2], label, colours::blue});
        d.series[0].push_back({x, r.stockSharePm * 0.1, label, colours::paleYellow});
        for (double v : values) {
            maximum = std::max(maximum, v);
            minimum = std::min(minimum, v);
        }
    }
    if (t.rowCount > 0)
        d.left = {tenBelow(minimum), tenAbove(maximum), 10};
    return d;
}

SeriesChartData seriesChartData(const SummaryTables& t)
{
    SeriesChartData d;
    double maxX = -100, minX = 100, maxY = -100, minY = 100;
    for (int i = 0; i < t.rowCount; ++i) {
        const ResultRow& r = t.rows[static_cast<std::size_t>(i)];
        const double x = r.kospiYieldPm * 0.1, y = r.fundYieldPm * 0.1;
        d.funds.push_back({x, y, {}, colours::blue});
        maxX = std::max(maxX, x);
        minX = std::min(minX, x);
        maxY = std::max(maxY, y);
        minY = std::min(minY, y);
    }
    if (t.rowCount == 0) {
        d.bottom = {0, 10, 10};
        return d;
    }
    d.left = {tenBelow(minY), tenAbove(maxY), 10};
    d.bottom = {tenBelow(minX), tenAbove(maxX), 10};
    d.zeroLine = {{d.bottom.minimum, 0.0, {}, colours::black}, {d.bottom.maximum, 0.0, {}, colours::black}};
    if (const auto line = polynomialFit(d.funds, 1); line && d.funds.size() >= 2)
        d.trend = curve(*line, minX, maxX, 1);
    if (const auto cubic = polynomialFit(d.funds, 3); cubic && d.funds.size() >= 4)
        d.curveFit = curve(*cubic, minX, maxX, 60);
    return d;
}

TradeMarks tradeMarks(const SummaryTables& t, std::size_t stock, std::string_view tradeLog)
{
    TradeMarks m{std::vector<std::int32_t>(static_cast<std::size_t>(t.rowCount), 0),
                 std::vector<std::int32_t>(static_cast<std::size_t>(t.rowCount), 0)};
    if (stock >= t.stockCodes.size())
        return m;
    for (const TradeCsvRow& r : readTradeCsv(tradeLog)) {
        if (!r.extent.complete || r.code != t.stockCodes[stock])
            continue;
        const std::string date = widenDate(r.date.size() > 2 ? r.date.substr(2) : std::string_view());
        const auto day = std::find(t.rowDates.begin(), t.rowDates.begin() + t.rowCount, date);
        if (day == t.rowDates.begin() + t.rowCount)
            continue;
        const auto j = static_cast<std::size_t>(day - t.rowDates.begin());
        if (r.kind == TradeKind::Purchases)
            m.buy[j] = truncatedInteger(r.price);
        else if (r.kind == TradeKind::Sales)
            m.sell[j] = truncatedInteger(r.price);
    }
    return m;
}

StockChartData stockChartData(const SummaryTables& t, std::size_t stock, std::string_view tradeLog)
{
    StockChartData d;
    const TradeMarks marks = tradeMarks(t, stock, tradeLog);
    std::int64_t hi0 = 0, lo0 = 10000000;
    bool priced = false;
    for (int j = 0; j < t.rowCount; ++j) {
        const auto& closing = t.rows[static_cast<std::size_t>(j)].closing;
        const std::string& label = t.rowDates[static_cast<std::size_t>(j)];
        const double x = j;
        std::optional<double> price;
        if (stock < closing.size() && closing[stock]) {
            const std::int32_t p = *closing[stock];
            hi0 = std::max<std::int64_t>(hi0, p);
            lo0 = std::min<std::int64_t>(lo0, p);
            priced = true;
            price = p;
        }
        d.price.push_back({x, price, label, colours::black});
        const std::int32_t b = marks.buy[static_cast<std::size_t>(j)];
        const std::int32_t s = marks.sell[static_cast<std::size_t>(j)];
        d.buys.push_back({x, b != 0 ? std::optional<double>(b) : std::nullopt, label, colours::red});
        d.sells.push_back({x, s != 0 ? std::optional<double>(s) : std::nullopt, label, colours::blue});
    }
    if (!priced) {
        d.left = {0, 10, 1};
        return d;
    }
    std::int64_t hi = static_cast<std::int64_t>(hi0 * 1.1) / 1000 * 1000;
    if (hi < 10000)
        hi += 1000;
    const std::int64_t lo = static_cast<std::int64_t>(lo0 * 0.9) / 1000 * 1000;
    d.left = {static_cast<double>(lo), static_cast<double>(hi), static_cast<double>((hi - lo) / 10)};
    return d;
}

HistogramData histogramData(const SummaryTables& t)
{
    HistogramData d;
    if (t.rowCount == 0)
        return d;
    double low = 0, high = 0;
    for (int i = 0; i < t.rowCount; ++i) {
        const ResultRow& r = t.rows[static_cast<std::size_t>(i)];
        for (const double v : {r.fundYieldPm * 0.1, r.kospiYieldPm * 0.1}) {
            low = std::min(low, v);
            high = std::max(high, v);
        }
    }
    double width = 1;
    for (const double w : {1.0, 2.0, 5.0, 10.0, 20.0, 50.0, 100.0}) {
        width = w;
        if ((std::floor(high / w) - std::floor(low / w) + 1) <= 20)
            break;
    }
    const double first = std::floor(low / width) * width;
    const auto bins = static_cast<std::size_t>(std::floor(high / width) - std::floor(low / width) + 1);
    std::array<std::vector<int>, 2> counts{std::vector<int>(bins, 0), std::vector<int>(bins, 0)};
    for (int i = 0; i < t.rowCount; ++i) {
        const ResultRow& r = t.rows[static_cast<std::size_t>(i)];
        const double values[2] = {r.fundYieldPm * 0.1, r.kospiYieldPm * 0.1};
        for (int s = 0; s < 2; ++s) {
            const auto bin = static_cast<std::size_t>(std::floor((values[s] - first) / width));
            ++counts[static_cast<std::size_t>(s)][std::min(bin, bins - 1)];
        }
    }
    int most = 0;
    const std::uint32_t colour[2] = {colours::blue, colours::black};
    for (int s = 0; s < 2; ++s) {
        auto& series = d.series[static_cast<std::size_t>(s)];
        series.push_back({first, 0.0, {}, colour[s]});
        for (std::size_t b = 0; b < bins; ++b) {
            const double left = first + width * static_cast<double>(b);
            const int n = counts[static_cast<std::size_t>(s)][b];
            series.push_back({left, static_cast<double>(n), {}, colour[s]});
            series.push_back({left + width, static_cast<double>(n), {}, colour[s]});
            most = std::max(most, n);
        }
        series.push_back({first + width * static_cast<double>(bins), 0.0, {}, colour[s]});
    }
    d.bottom = {first, first + width * static_cast<double>(bins), width};
    const double step = most <= 10 ? 1 : most <= 50 ? 5 : most <= 100 ? 10 : std::pow(10, std::floor(std::log10(most)));
    d.left = {0, std::ceil((most + 1) / step) * step, step};
    return d;
}

UnderwaterData underwaterData(const std::vector<ResultCsvRow>& days)
{
    UnderwaterData d;
    if (days.empty())
        return d;
    double fundPeak = days.front().invest, indexPeak = days.front().startIndex, lowest = 0;
    const std::uint32_t colour[2] = {colours::blue, colours::black};
    for (std::size_t i = 0; i < days.size(); ++i) {
        const ResultCsvRow& r = days[i];
        const std::string label = std::string(r.endDate.substr(std::min<std::size_t>(2, r.endDate.size())));
        fundPeak = std::max(fundPeak, r.value);
        indexPeak = std::max(indexPeak, r.endIndex);
        const double falls[2] = {fundPeak > 0 ? (r.value / fundPeak - 1) * 100 : 0.0,
                                 indexPeak > 0 ? (r.endIndex / indexPeak - 1) * 100 : 0.0};
        for (int s = 0; s < 2; ++s) {
            d.series[static_cast<std::size_t>(s)].push_back({static_cast<double>(i), falls[s], label, colour[s]});
            lowest = std::min(lowest, falls[s]);
        }
    }
    d.left = {tenBelow(lowest), 0, 10};
    return d;
}

} // namespace kestrelan
