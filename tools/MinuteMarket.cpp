// The minute market's model.
//
// Calendar: the weekdays of the period without the fixed Korean holidays. KOSPI: a trend from 500
// to about 2,700 points with a mean-reverting deviation; a day's opening index is the previous
// close with a small gap.
//
// Stocks: each day is its date record, the base price (the previous close, never traded), then
// the day's prices: a walk of minute steps from an opening gap, sized so that a day's high-low
// range is about `dailyRangePct` of the base on average, kept within +-15 % of the base and on
// the tick of its price band. Gaps: a stock-day now and then has no prices (a halt) or no record
// at all; one stock is suspended for six weeks; one is listed late and one ends early. Two stocks
// split (the base becomes a fifth of the close, or five times it).

#include "tools/MinuteMarket.h"

#include "engine/Dates.h"
#include "engine/MarketData.h"
#include "engine/TickRound.h"
#include "platform/core/Cp949.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"
#include "tools/Random.h"
#include "tools/SampleMarket.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace kestrelan {

namespace {

std::vector<std::int32_t> tradingDays(std::int32_t first, std::int32_t last)
{
    static constexpr int holidays[] = {101, 301, 505, 606, 815, 1003, 1225, 1231};
    return weekdaysBetween(first, last, [](std::int32_t date) {
        return std::find(std::begin(holidays), std::end(holidays), date % 10000) != std::end(holidays);
    });
}

struct IndexDay
{
    double open;
    double close;
};

// A trend from 500 to about 2,700 points with a mean-reverting deviation around it.
std::vector<IndexDay> indexPath(std::size_t days, Random& rng)
{
    std::vector<IndexDay> path;
    double deviation = 0, close = 500;
    for (std::size_t i = 0; i < days; ++i) {
        const double trend = 500.0 * std::exp(1.7 * static_cast<double>(i) / static_cast<double>(days));
        const double open = close * (1.0 + 0.003 * rng.quickNormal());
        deviation = 0.985 * deviation + 0.012 * rng.quickNormal();
        close = trend * (1.0 + deviation);
        path.push_back({open, close});
    }
    return path;
}

// What happens to one stock over the period, as positions in the calendar.
struct StockEvents
{
    std::size_t listed = 0;                                   // first day with data
    std::size_t delisted = SIZE_MAX;                          // last day with data
    std::size_t suspendFrom = SIZE_MAX, suspendTo = SIZE_MAX; // no data in between
    std::size_t split = SIZE_MAX;                             // the base becomes close / 5
    std::size_t consolidation = SIZE_MAX;                     // the base becomes close x 5
};

StockEvents eventsOf(int stock, std::size_t days)
{
    StockEvents e;
    switch (stock) {
    case 1: e.suspendFrom = days * 4 / 10, e.suspendTo = e.suspendFrom + 30; break;
    case 2: e.split = days * 4 / 10; break;
    case 3: e.listed = days / 7; break;
    case 4: e.delisted = days * 6 / 10; break;
    case 5: e.consolidation = days * 7 / 10; break;
    default: break;
    }
    return e;
}

std::int32_t onTick(double x, std::int32_t low, std::int32_t high)
{
    const auto down = tickRound(static_cast<std::int32_t>(x), Round::Down);
    const auto up = tickRound(static_cast<std::int32_t>(x), Round::Up);
    return std::clamp((x - down <= up - x) ? down : up, low, high);
}

struct StockFile
{
    std::string bytes;
    std::int64_t records = 0;
    double rangeSum = 0;
    std::int64_t rangedDays = 0;
};

StockFile stockFile(int stock, const MinuteMarketShape& shape, const std::vector<std::int32_t>& days,
                    const std::vector<IndexDay>& index)
{
    Random rng(shape.seed * 1000003 + static_cast<std::uint64_t>(stock));
    const StockEvents events = eventsOf(stock, days.size());
    StockFile out;
    out.bytes.reserve(days.size() * (static_cast<std::size_t>(shape.ticksPerDay) + 2) * priceRecordSize);
    auto put = [&](std::int32_t n) {
        out.bytes += priceRecordBytes(n);
        ++out.records;
    };
    const double beta = 0.6 + 0.9 * rng.uniform();
    const double scale = 0.7 + 0.6 * rng.uniform();
    // A walk of n steps of size s spans about 1.6 s sqrt(n) from its high to its low.
    const double step = shape.dailyRangePct * 0.01 * scale / (1.6 * std::sqrt(static_cast<double>(shape.ticksPerDay)));
    double close = 1000.0 * rng.between(2, 400);
    for (std::size_t i = 0; i < days.size(); ++i) {
        const double indexMove = i == 0 ? 0.0 : index[i].close / index[i - 1].close - 1.0;
        const int dayKind = rng.between(0, 999);
        const int ticks = shape.randomTicks ? rng.between(1, shape.ticksPerDay) : shape.ticksPerDay;
        const bool absent = i < events.listed || i > events.delisted
            || (i >= events.suspendFrom && i <= events.suspendTo) || dayKind == 0;
        if (absent) {
            close *= 1.0 + beta * indexMove;
            continue;
        }
        std::int32_t base = tickRound(static_cast<std::int32_t>(close), Round::Down);
        if (i == events.split)
            base = tickRound(base / 5, Round::Down);
        else if (i == events.consolidation)
            base = tickRound(static_cast<std::int32_t>(std::min(base * 5.0, 3.0e6)), Round::Down);
        base = std::max<std::int32_t>(base, 100);
        const std::int32_t high = tickRound(static_cast<std::int32_t>(base * 1.15), Round::Down);
        const std::int32_t low = tickRound(static_cast<std::int32_t>(base * 0.85), Round::Up);
        put(days[i]);
        put(base);
        if (dayKind <= 2) { // a halt: the base price alone
            close = base;
            continue;
        }
        // The day leans with the index; the minute steps carry the rest.
        const double lean = beta * indexMove / ticks;
        double x = base * (1.0 + 0.003 * rng.quickNormal());
        std::int32_t top = 0, bottom = high, last = base;
        for (int j = 0; j < ticks; ++j) {
            x = std::clamp(x * (1.0 + lean + step * rng.quickNormal()), static_cast<double>(low),
                           static_cast<double>(high));
            last = onTick(x, low, high);
            top = std::max(top, last);
            bottom = std::min(bottom, last);
            put(last);
        }
        out.rangeSum += static_cast<double>(top - bottom) / base;
        ++out.rangedDays;
        close = last;
    }
    return out;
}

} // namespace

MinuteMarketSummary writeMinuteMarket(const std::filesystem::path& dir, const MinuteMarketShape& shape)
{
    if (shape.stocks < 1 || shape.stocks > maxMinuteStocks || shape.ticksPerDay < 1
        || shape.ticksPerDay > maxTicksPerDay)
        throw std::invalid_argument(
            format("minute market: 1 to %d stocks and 1 to %d prices a day", maxMinuteStocks, maxTicksPerDay));
    std::filesystem::create_directories(dir / "StockData");
    const auto days = tradingDays(shape.firstDay, shape.lastDay);
    Random rng(shape.seed);
    const auto index = indexPath(days.size(), rng);

    MinuteMarketSummary summary;
    summary.tradingDays = static_cast<int>(days.size());
    summary.stocks = shape.stocks;
    std::string kospi;
    for (std::size_t i = 0; i < days.size(); ++i)
        kospi += indexRecordBytes(days[i], static_cast<std::int32_t>(index[i].open * 100 + 0.5),
                                  static_cast<std::int32_t>(index[i].close * 100 + 0.5));
    writeMarketFile(dir / "kospi.lst", kospi);
    std::string codes;
    for (int s = 0; s < shape.stocks; ++s)
        codes += codeRecordBytes(format("%06d", 900000 + s), toCp949(format("분봉종목%03d", s + 1)));
    writeMarketFile(dir / "code.lst", codes);
    // Bands that reach the index levels of the period.
    writeMarketFile(dir / "ksp.txt",
              rangeTableBytes(sampleRangeTable(kospiBandEdges)));

    // The stocks on every core; each file is written as soon as it is made.
    std::atomic<int> next{0};
    std::mutex mutex;
    double rangeSum = 0;
    std::int64_t rangedDays = 0;
    std::exception_ptr failure;
    auto work = [&] {
        for (int s = next++; s < shape.stocks; s = next++) {
            try {
                StockFile file = stockFile(s, shape, days, index);
                writeMarketFile(priceFilePath(dir, format("%06d", 900000 + s)), file.bytes);
                std::lock_guard lock(mutex);
                summary.priceRecords += file.records;
                summary.bytes += static_cast<std::int64_t>(file.bytes.size());
                rangeSum += file.rangeSum;
                rangedDays += file.rangedDays;
            } catch (...) {
                std::lock_guard lock(mutex);
                failure = std::current_exception();
            }
        }
    };
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < std::max(1u, std::thread::hardware_concurrency()); ++t)
        workers.emplace_back(work);
    for (auto& w : workers)
        w.join();
    if (failure)
        std::rethrow_exception(failure);
    summary.meanDailyRangePct = rangedDays ? 100.0 * rangeSum / static_cast<double>(rangedDays) : 0.0;
    return summary;
}

} // namespace kestrelan
