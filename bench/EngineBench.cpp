// Engine benchmarks on the sample market (30 stocks, 1998-2006, about 930,000 price records).
//
//   StatisticsDailyRun   a fund series started every trading day, one-year funds, 2000-01-01
//                        to the last whole month, all stocks: runSimulation as the form calls it
//   SingleFundWholePeriod one fund over the whole sample with every detail file written
//   Walk/<reader>        the same funds and rules over two readers: the loaded price file, and
//                        one that seeks and reads 14 bytes for every record as the first design did
//
// records/s counts the price records the rebalancing walked.

#include "engine/CSimEngine.h"
#include "engine/Calendar.h"
#include "engine/Dates.h"
#include "engine/Portfolio.h"
#include "engine/TradingRules.h"
#include "tools/SampleMarket.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <stdlib.h>

using namespace kestrelan;

namespace {

struct Market
{
    Market()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrelan-bench-XXXXXX").string();
        dir = mkdtemp(pattern.data());
        writeSampleMarket(dir);
        codes = *loadCodeList(dir / "code.lst");
        kospi = *IndexFile::load(dir / "kospi.lst");
        writeSimItems(dir, codes, 0, 100000000);
    }
    ~Market() { std::filesystem::remove_all(dir); }
    std::filesystem::path dir;
    std::vector<std::string> codes;
    IndexFile kospi = IndexFile::fromBytes("");
};

Market& market()
{
    static Market m;
    return m;
}

struct Quiet : IMessageSink
{
    Answer show(std::string_view, Buttons) override { return Answer::Ok; }
};

void runOnce(benchmark::State& state, SimParams p)
{
    Market& m = market();
    Quiet quiet;
    std::int64_t walked = 0;
    for (auto _ : state) {
        RunContext c;
        c.workDir = m.dir;
        c.programDir = m.dir;
        c.messages = &quiet;
        c.threads = static_cast<int>(state.range(0));
        CSimEngine engine(c);
        if (engine.runSimulation(p) != runFinished)
            state.SkipWithError("run stopped");
        walked += engine.recordsWalked;
    }
    state.counters["records"] = benchmark::Counter(static_cast<double>(walked) / state.iterations());
    state.counters["records/s"] = benchmark::Counter(static_cast<double>(walked), benchmark::Counter::kIsRate);
}

void StatisticsDailyRun(benchmark::State& state)
{
    SimParams p;
    p.yieldStats = 1;
    p.fundCadence = FundCadence::Daily;
    p.years = 1;
    p.startDate = seriesStartDate;
    p.endDate = defaultPeriod(market().kospi.records().back().date).endDate;
    runOnce(state, p);
}
BENCHMARK(StatisticsDailyRun)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void SingleFundWholePeriod(benchmark::State& state)
{
    SimParams p;
    p.startDate = 19980101;
    p.endDate = 20061231;
    runOnce(state, p);
}
BENCHMARK(SingleFundWholePeriod)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// One seek and one 14-byte read for every record.
class SeekingPrices
{
public:
    explicit SeekingPrices(const std::filesystem::path& path)
        : file(std::fopen(path.c_str(), "rb"))
    {
        std::fseek(file, 0, SEEK_END);
        count = static_cast<std::int32_t>(std::ftell(file) / priceRecordSize);
    }
    ~SeekingPrices() { std::fclose(file); }
    SeekingPrices(const SeekingPrices&) = delete;
    std::int32_t recordCount() const { return count; }
    std::int32_t value(std::int32_t i) const
    {
        char record[priceRecordSize];
        std::fseek(file, static_cast<long>(i) * priceRecordSize, SEEK_SET);
        if (std::fread(record, 1, sizeof record, file) != sizeof record)
            return 0;
        return parsePriceRecord(std::string_view(record, sizeof record));
    }

private:
    std::FILE* file;
    std::int32_t count = 0;
};

template <class Prices>
std::int32_t firstOnOrAfter(const Prices& prices, std::int32_t date)
{
    for (std::int32_t i = 0; i < prices.recordCount(); ++i)
        if (prices.value(i) >= date)
            return i * priceRecordSize;
    return 0;
}

// Monthly one-year funds from 2000 over every stock: position, initial purchase, one walk.
template <class Prices, class Open>
void walkFunds(benchmark::State& state, Open open)
{
    Market& m = market();
    const auto funds = calendarLines(20000101, 20061130, CalendarMode::Monthly, 1, m.kospi);
    std::int64_t walked = 0;
    for (auto _ : state) {
        CSimEngine engine;
        for (std::size_t i = 0; i < m.codes.size(); ++i) {
            auto prices = open(m.dir / "StockData" / (std::string(entryCode(m.codes[i])) + ".real"));
            for (const auto& fund : funds) {
                StockSlot& s = engine.slots[0];
                s = StockSlot{};
                std::memcpy(s.itemText, m.codes[i].data(), 27);
                s.sDate = fund.start;
                s.eDate = fund.end;
                s.rangeHighPct = 150;
                s.rangeLowPct = 50;
                s.marginPct = 10;
                s.secondPct = 10;
                s.initRatio = 0.5;
                s.invest = 100000000;
                s.mult = 1.0;
                engine.stockStarted[0] = 0;
                const std::int32_t pos = firstOnOrAfter(*prices, fund.start);
                if (engine.initialPurchaseOn(*prices, InvestMode::PerStock, 0, pos, false, 0.002, true) == 0)
                    engine.rebalanceOn(*prices, InvestMode::PerStock, 0, fund.end, pos, true, false, 0.002);
            }
        }
        walked += engine.recordsWalked;
    }
    state.counters["records/s"] = benchmark::Counter(static_cast<double>(walked), benchmark::Counter::kIsRate);
}

// The engine's own reader: the file loaded and parsed once.
struct LoadedPrices
{
    explicit LoadedPrices(const std::filesystem::path& path)
        : file(*PriceFile::load(path))
    {
    }
    std::int32_t recordCount() const { return file.recordCount(); }
    std::int32_t value(std::int32_t i) const { return file.value(i); }
    PriceFile file;
};

void WalkLoaded(benchmark::State& state)
{
    walkFunds<LoadedPrices>(state,
                            [](const std::filesystem::path& path) { return std::make_unique<LoadedPrices>(path); });
}
BENCHMARK(WalkLoaded)->Name("Walk/loaded")->Unit(benchmark::kMillisecond)->UseRealTime();

void WalkSeeking(benchmark::State& state)
{
    walkFunds<SeekingPrices>(state,
                             [](const std::filesystem::path& path) { return std::make_unique<SeekingPrices>(path); });
}
BENCHMARK(WalkSeeking)->Name("Walk/seek-and-read")->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
