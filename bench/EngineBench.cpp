// Engine benchmarks on the sample market (30 stocks, 1998-2006, about 930,000 price records).
//
//   StatisticsDailyRun   a fund series started every trading day, one-year funds, 2000-01-01
//                        to the last whole month, all stocks: runSimulation as the form calls it
//   SingleFundWholePeriod one fund over the whole sample with every detail file written
//
// records/s counts the price records the rebalancing walked.

#include "engine/CSimEngine.h"
#include "engine/Portfolio.h"
#include "tools/SampleMarket.h"

#include <benchmark/benchmark.h>
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
        c.recordsWalked = &walked;
        CSimEngine engine(c);
        if (engine.runSimulation(p) != runFinished)
            state.SkipWithError("run stopped");
    }
    state.counters["records"] = benchmark::Counter(static_cast<double>(walked) / state.iterations());
    state.counters["records/s"] = benchmark::Counter(static_cast<double>(walked), benchmark::Counter::kIsRate);
}

void StatisticsDailyRun(benchmark::State& state)
{
    SimParams p;
    p.yieldStats = true;
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

} // namespace

BENCHMARK_MAIN();
