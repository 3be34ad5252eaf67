// Whole runs of the engine, the plain walk beside the skipping walk, in one table:
//
//   load   the 50 price files of the minute market, several at once (the run's loader)
//   a      daily fund series of 3-year funds, all 50 stocks, 2001-2020, minute market
//   b      the same, a fund started every month
//   c      one fund over 2001-2020 with every detail file (trade.csv, closing.csv, gen.csv)
//   d      the sample market's daily series of 1-year funds from 2000 (about 12 prices a day)
//
// The minute market (50 stocks x 2001-2020 x 390 prices a day, 1.4 GB) is written into the
// build tree beside this program when it is missing, and timed. Every case runs in a process of
// its own, so that its peak memory is its own. Usage:
//
//   build/bench/kestrelan_bench [--cases load,a,b,c,d] [--walks skip,plain] [--repeat N]
//                               [--threads N] [--market DIR]
//   build/bench/kestrelan_bench --micro [Google Benchmark options]   (the price record parser)
//   build/bench/kestrelan_bench --walk-forward [--repeat N]
//       the sample market's monthly series of 1-year funds, five stocks: a walk (36:12) of 100
//       combinations, a sweep of the same 100 over the whole period, the same 100 chosen on one
//       span and judged on the next, and 100 statistics runs one by one, as kestrelan-cli runs them

#include "engine/CSimEngine.h"
#include "engine/Portfolio.h"
#include "formats/ResultSet.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"
#include "tools/CommandLine.h"
#include "tools/MinuteMarket.h"
#include "tools/SampleMarket.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace kestrelan;
namespace fs = std::filesystem;

namespace {

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string loadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string one;
    in >> one;
    return one;
}

fs::path selfDir() { return fs::read_symlink("/proc/self/exe").parent_path(); }

// This process's own peak resident memory in kB (VmHWM). The rusage of a spawned child would
// also count what its parent held when it was spawned.
long ownPeakKb()
{
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

struct Quiet : IMessageSink
{
    Answer show(std::string_view text, Buttons) override
    {
        std::fprintf(stderr, "message: %.*s\n", static_cast<int>(text.size()), text.data());
        return Answer::Ok;
    }
};

// ---- in the child: one case, one walk ----------------------------------------------------------

SimParams caseParams(const std::string& name, const fs::path& work)
{
    SimParams p;
    if (name == "a" || name == "b") {
        p.yieldStats = true;
        p.fundCadence = name == "a" ? FundCadence::Daily : FundCadence::Monthly;
        p.years = 3;
        p.startDate = 20010101;
        p.endDate = 20201231;
    } else if (name == "c") {
        p.startDate = 20010101;
        p.endDate = 20201231;
    } else {
        const auto kospi = IndexFile::load(work / "kospi.lst");
        p.yieldStats = true;
        p.fundCadence = FundCadence::Daily;
        p.years = 1;
        p.startDate = seriesStartDate;
        p.endDate = defaultPeriod(kospi->records().back().date).endDate;
    }
    return p;
}

int runChild(const std::string& name, const std::string& walk, const fs::path& market, const fs::path& work,
             int threads)
{
    if (name == "load") {
        std::vector<std::string> codes;
        const auto entries = loadCodeList(market / "code.lst");
        for (const auto& entry : *entries)
            codes.emplace_back(entryCode(entry));
        const auto start = std::chrono::steady_clock::now();
        const auto files = loadPriceFiles(market, codes, threads);
        const double s = seconds(start);
        std::int64_t records = 0, held = 0, bytes = 0;
        for (std::size_t k = 0; k < files.size(); ++k) {
            records += files[k]->recordCount();
            held += static_cast<std::int64_t>(files[k]->memoryBytes());
            bytes += static_cast<std::int64_t>(fs::file_size(priceFilePath(market, codes[k])));
        }
        std::printf("%.6f %lld %lld %lld %ld\n", s, static_cast<long long>(records), static_cast<long long>(held),
                    static_cast<long long>(bytes), ownPeakKb());
        return 0;
    }
    Quiet quiet;
    RunContext c;
    c.workDir = work;
    c.programDir = market;
    c.messages = &quiet;
    c.threads = threads;
    c.walk = walk == "plain" ? WalkMode::Plain : WalkMode::Skipping;
    WalkCounts counts;
    c.counts = &counts;
    const SimParams p = caseParams(name, work);
    CSimEngine engine(c);
    const auto start = std::chrono::steady_clock::now();
    if (!engine.runSimulation(p).finished())
        return 1;
    const double s = seconds(start);
    std::printf("%.6f %lld %lld %lld %lld %lld %lld %ld\n", s, static_cast<long long>(counts.recordsCovered),
                static_cast<long long>(counts.recordsWalked), static_cast<long long>(counts.days),
                static_cast<long long>(counts.daysPassed), static_cast<long long>(counts.blocks),
                static_cast<long long>(counts.blocksPassed), ownPeakKb());
    return 0;
}

// ---- in the parent ------------------------------------------------------------------------------

struct ChildResult
{
    bool ok = false;
    std::vector<double> numbers;
    long peakKb = 0;
};

ChildResult spawnChild(const std::vector<std::string>& args)
{
    ChildResult r;
    int out[2];
    if (::pipe(out) != 0)
        return r;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv;
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    argv.push_back(const_cast<char*>(self.c_str()));
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    if (spawned != 0)
        return r;
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    std::istringstream in(text);
    for (double x; in >> x;)
        r.numbers.push_back(x);
    // The child's last number is its own peak.
    r.peakKb = r.numbers.empty() ? usage.ru_maxrss : static_cast<long>(r.numbers.back());
    if (!r.numbers.empty())
        r.numbers.pop_back();
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && !r.numbers.empty();
    return r;
}

// The minute market beside this program, written when missing.
struct MinuteMarket
{
    fs::path dir;
    bool written = false;
    double writeSeconds = 0;
    std::string summary; // its size and mean daily range
};

MinuteMarket minuteMarket(const fs::path& dir)
{
    MinuteMarket m;
    m.dir = dir;
    const fs::path note = dir / "market.txt"; // written last: the market is whole
    if (!fs::exists(note)) {
        std::printf("writing the minute market into %s ...\n", dir.c_str());
        std::fflush(stdout);
        fs::remove_all(dir);
        const auto start = std::chrono::steady_clock::now();
        const auto s = writeMinuteMarket(dir, MinuteMarketShape{});
        m.writeSeconds = seconds(start);
        m.written = true;
        std::ofstream(note) << format("%d stocks, %d trading days, %lld price records, %lld bytes, mean daily range "
                                      "%.2f %%",
                                      s.stocks, s.tradingDays, static_cast<long long>(s.priceRecords),
                                      static_cast<long long>(s.bytes), s.meanDailyRangePct);
    }
    std::getline(std::ifstream(note), m.summary);
    return m;
}

fs::path sampleMarket(const fs::path& dir)
{
    if (!fs::exists(dir / "code.lst")) {
        fs::remove_all(dir);
        writeSampleMarket(dir);
    }
    return dir;
}

// A working folder for a run: the market's lists and a portfolio of every stock.
fs::path workFolder(const fs::path& base, const fs::path& market, const std::string& name)
{
    const fs::path dir = base / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const char* f : {"kospi.lst", "code.lst", "ksp.txt"})
        fs::copy_file(market / f, dir / f);
    writeSimItems(dir, *loadCodeList(market / "code.lst"), 0, defaultAmount);
    return dir;
}

bool sameResults(const fs::path& a, const fs::path& b)
{
    for (const std::string_view f : resultFiles) {
        const auto x = readWholeFile(a / f, std::size_t(1) << 34), y = readWholeFile(b / f, std::size_t(1) << 34);
        if (x.has_value() != y.has_value() || (x && *x != *y))
            return false;
    }
    return true;
}

std::vector<std::string> split(const std::string& text)
{
    std::vector<std::string> out;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');)
        out.push_back(item);
    return out;
}

std::string millions(double x) { return format("%.1f M", x / 1e6); }

int runTable(const std::vector<std::string>& cases, const std::vector<std::string>& walks, int repeat, int threads,
             const fs::path& marketDir)
{
    const fs::path base = selfDir();
    const bool needsMinutes = std::any_of(cases.begin(), cases.end(), [](const auto& c) { return c != "d"; });
    MinuteMarket minutes;
    if (needsMinutes) {
        minutes = minuteMarket(marketDir);
        if (minutes.written)
            std::printf("minute market written in %.1f s: %s\n", minutes.writeSeconds, minutes.summary.c_str());
        else
            std::printf("minute market %s (already there): %s\n", marketDir.c_str(), minutes.summary.c_str());
    }
    const fs::path sample = sampleMarket(base / "sample-market");
    const std::string threadArg = std::to_string(threads);
    std::printf("load average at the start: %s; %u cores; threads %s\n\n", loadAverage().c_str(),
                std::thread::hardware_concurrency(), threads ? threadArg.c_str() : "one per core");

    std::printf("%-5s %-6s %9s %14s %13s %14s %8s %8s %8s %9s %8s %5s %5s\n", "case", "walk", "wall s", "covered",
                "covered/s", "walked", "walked%", "days%", "blocks%", "peak MB", "B/rec", "load", "same");
    for (const auto& name : cases) {
        if (name == "load") {
            for (int r = 0; r < std::max(repeat, 2); ++r) {
                const std::string avg = loadAverage();
                const auto c = spawnChild({"--child", "load", "-", marketDir.string(), "-", threadArg});
                if (!c.ok) {
                    std::printf("load: failed\n");
                    continue;
                }
                const double s = c.numbers[0], records = c.numbers[1], held = c.numbers[2], bytes = c.numbers[3];
                std::printf("%-5s %-6s %9.3f %14.0f %13s %14s %8s %8s %8s %9.1f %8.2f %5s %5s   %.2f GB/s, "
                            "held %.2f B/rec\n",
                            "load", r == 0 ? "first" : "warm", s, records, (millions(records / s) + "/s").c_str(), "-",
                            "-", "-", "-", c.peakKb / 1024.0, c.peakKb * 1024.0 / records, avg.c_str(), "-",
                            bytes / s / 1e9, held / records);
            }
            continue;
        }
        const fs::path market = name == "d" ? sample : marketDir;
        std::map<std::string, fs::path> done;
        for (int r = 0; r < (name == "d" ? std::max(repeat, 1) : 1); ++r) {
            for (const auto& walk : walks) {
                const fs::path work = workFolder(base / "work", market, name + "-" + walk);
                const std::string avg = loadAverage();
                const auto c = spawnChild({"--child", name, walk, market.string(), work.string(), threadArg});
                if (!c.ok) {
                    std::printf("%-5s %-6s failed\n", name.c_str(), walk.c_str());
                    continue;
                }
                const double s = c.numbers[0], covered = c.numbers[1], walked = c.numbers[2];
                const double days = c.numbers[3], daysPassed = c.numbers[4], blocks = c.numbers[5],
                             blocksPassed = c.numbers[6];
                std::string same = "-";
                if (!done.empty())
                    same = sameResults(done.begin()->second, work) ? "yes" : "NO";
                done[walk] = work;
                std::printf("%-5s %-6s %9.3f %14.0f %13s %14.0f %7.1f%% %7.1f%% %7.1f%% %9.1f %8s %5s %5s\n",
                            name.c_str(), walk.c_str(), s, covered, (millions(covered / s) + "/s").c_str(), walked,
                            covered > 0 ? 100 * walked / covered : 0.0, days > 0 ? 100 * daysPassed / days : 0.0,
                            blocks > 0 ? 100 * blocksPassed / blocks : 0.0, c.peakKb / 1024.0, "-", avg.c_str(),
                            same.c_str());
                std::fflush(stdout);
            }
        }
    }
    std::printf("\nload average at the end: %s\n", loadAverage().c_str());
    return 0;
}

// ---- walk-forward: a walk of 100 combinations against 100 statistics runs ------------------------

// kestrelan-cli's command line in this process, in `dir`, what it prints thrown away; its status.
int quietCommand(const fs::path& dir, const std::vector<std::string>& args)
{
    const auto here = fs::current_path();
    fs::current_path(dir);
    std::fflush(stdout);
    std::fflush(stderr);
    const int saved[] = {::dup(1), ::dup(2)};
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    std::ostringstream out, err;
    const int status = runCommandLine(args, out, err);
    std::fflush(stdout);
    std::fflush(stderr);
    ::dup2(saved[0], 1);
    ::dup2(saved[1], 2);
    for (const int fd : {saved[0], saved[1], null})
        ::close(fd);
    fs::current_path(here);
    if (status != 0)
        std::fprintf(stderr, "%s", err.str().c_str());
    return status;
}

int runWalkForwardBench(int repeat)
{
    const fs::path sample = sampleMarket(selfDir() / "sample-market");
    const fs::path work = selfDir() / "work" / "walk-forward";
    fs::remove_all(work);
    fs::create_directories(work);
    for (const char* f : {"kospi.lst", "code.lst", "ksp.txt"})
        fs::copy_file(sample / f, work / f);
    const std::vector<std::string> common = {"--stocks",      "005930,000660,005380,035420,051910",
                                             "--program-dir", sample.string(),
                                             "--cadence",     "1",
                                             "--years",       "1"};
    const auto with = [&](std::vector<std::string> head, std::vector<std::string> tail) {
        head.insert(head.end(), common.begin(), common.end());
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };
    const std::vector<std::string> grid = {"--margin", "5:50:5", "--second", "5:50:5"};
    struct Case
    {
        const char* name;
        std::vector<std::vector<std::string>> commands;
    };
    std::vector<Case> cases;
    auto walk = with({"sweep"}, grid);
    walk.insert(walk.end(), {"--walk", "36:12", "--out", "walk.csv"});
    cases.push_back({"walk 36:12, 100 combinations", {walk}});
    auto sweep = with({"sweep"}, grid);
    sweep.insert(sweep.end(), {"--out", "sweep.csv"});
    cases.push_back({"sweep, 100 combinations", {sweep}});
    const auto kospi = IndexFile::load(work / "kospi.lst");
    const std::int32_t end = defaultPeriod(kospi->records().back().date).endDate;
    const std::int32_t middle = (seriesStartDate / 10000 + end / 10000) / 2 * 10000;
    auto judged = with({"sweep"}, grid);
    judged.insert(judged.end(), {"--choose", format("%d:%d", seriesStartDate, middle + 1231), "--judge",
                                 format("%d:%d", middle + 10101, end), "--out", "judged.csv"});
    cases.push_back({"choose + judge, 100 combinations", {judged}});
    Case runs{"100 statistics runs", {}};
    for (int m = 5; m <= 50; m += 5)
        for (int k = 5; k <= 50; k += 5)
            runs.commands.push_back(
                with({"run", "--yield-stats", "1"}, {"--margin", std::to_string(m), "--second", std::to_string(k)}));
    cases.push_back(runs);

    std::printf("sample market %s, period %d..%d; load average at the start: %s; %u cores\n\n", sample.c_str(),
                seriesStartDate, end, loadAverage().c_str(), std::thread::hardware_concurrency());
    std::printf("%-34s %10s %10s\n", "case", "best s", "median s");
    for (const Case& c : cases) {
        std::vector<double> times;
        for (int r = 0; r < std::max(repeat, 1); ++r) {
            const auto start = std::chrono::steady_clock::now();
            for (const auto& command : c.commands)
                if (quietCommand(work, command) != 0) {
                    std::printf("%s: failed\n", c.name);
                    return 1;
                }
            times.push_back(seconds(start));
        }
        std::sort(times.begin(), times.end());
        std::printf("%-34s %10.3f %10.3f\n", c.name, times.front(), times[times.size() / 2]);
        std::fflush(stdout);
    }
    std::printf("\nload average at the end: %s\n", loadAverage().c_str());
    return 0;
}

// ---- micro-benchmarks ----------------------------------------------------------------------------

std::string someRecords(std::size_t n)
{
    std::string bytes;
    for (std::size_t i = 0; i < n; ++i)
        bytes += priceRecordBytes(i % 400 == 0 ? 20040105 : static_cast<std::int32_t>(1000 + i * 7919 % 90000));
    return bytes;
}

void ParsePriceRecords(benchmark::State& state)
{
    const std::string bytes = someRecords(1 << 16);
    std::vector<std::int32_t> out(1 << 16);
    for (auto _ : state) {
        parsePriceRecords(bytes.data(), out.size(), out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(ParsePriceRecords);

void ParsePriceRecordOneByOne(benchmark::State& state)
{
    const std::string bytes = someRecords(1 << 16);
    std::vector<std::int32_t> out(1 << 16);
    for (auto _ : state) {
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = parsePriceRecord(std::string_view(bytes).substr(i * priceRecordSize, priceRecordSize));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(ParsePriceRecordOneByOne);

void BuildPriceIndex(benchmark::State& state)
{
    const PriceFile file = PriceFile::fromBytes(someRecords(1 << 16));
    for (auto _ : state)
        benchmark::DoNotOptimize(PriceIndex::build(file.values()));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * file.recordCount()));
}
BENCHMARK(BuildPriceIndex);

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "--child" && args.size() == 6)
        return runChild(args[1], args[2], args[3], args[4], std::stoi(args[5]));
    if (!args.empty() && args[0] == "--micro") {
        argv[1] = argv[0];
        int n = argc - 1;
        benchmark::Initialize(&n, argv + 1);
        benchmark::RunSpecifiedBenchmarks();
        return 0;
    }
    if (!args.empty() && args[0] == "--walk-forward")
        return runWalkForwardBench(args.size() == 3 && args[1] == "--repeat" ? std::stoi(args[2]) : 3);
    std::vector<std::string> cases = {"load", "a", "b", "c", "d"};
    std::vector<std::string> walks = {"skip", "plain"};
    int repeat = 3, threads = 0;
    fs::path market = selfDir() / "minute-market";
    for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == "--cases")
            cases = split(args[i + 1]);
        else if (args[i] == "--walks")
            walks = split(args[i + 1]);
        else if (args[i] == "--repeat")
            repeat = std::stoi(args[i + 1]);
        else if (args[i] == "--threads")
            threads = std::stoi(args[i + 1]);
        else if (args[i] == "--market")
            market = fs::absolute(args[i + 1]);
        else {
            std::fprintf(stderr, "unknown option %s\n", args[i].c_str());
            return 2;
        }
    }
    if (args.size() % 2 != 0) {
        std::fprintf(stderr,
                     "usage: kestrelan_bench [--cases load,a,b,c,d] [--walks skip,plain] [--repeat N] "
                     "[--threads N] [--market DIR] | --micro [benchmark options]\n");
        return 2;
    }
    return runTable(cases, walks, repeat, threads, market);
}
