#include "tools/SweepCommand.h"

#include "engine/EngineError.h"
#include "engine/SeriesSession.h"
#include "formats/ResultCsv.h"
#include "platform/core/FolderLock.h"
#include "platform/core/Folders.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"
#include "tools/Terminal.h"

#include <algorithm>
#include <cstdlib>
#include <ostream>

namespace kestrelan {

namespace {

// The settings a sweep may vary, in the order the combinations count them, with their limits.
struct Swept
{
    const char* option;
    std::int64_t low, high;
    std::int32_t SweepSettings::*field;
};

const Swept swept[] = {
    {"--margin", minMarginPct, percentLimit, &SweepSettings::marginPct},
    {"--second", -percentLimit, percentLimit, &SweepSettings::secondPct},
    {"--range-low", -percentLimit, percentLimit, &SweepSettings::rangeLowPct},
    {"--range-high", -percentLimit, percentLimit, &SweepSettings::rangeHighPct},
    {"--initial", -percentLimit, percentLimit, &SweepSettings::initialBuyPct},
    {"--risk", 0, 2, &SweepSettings::riskProfile},
};

// The most combinations one sweep takes.
constexpr std::int64_t maxCombinations = 1000000;

SweepSettings settingsOf(const SimParams& p)
{
    return {p.marginPct, p.secondPct, p.rangeLowPct, p.rangeHighPct, p.initialBuyPct, static_cast<int>(p.riskProfile)};
}

} // namespace

std::string sweepCombinationText(const SweepSettings& s)
{
    static const char* const profiles[] = {"적극", "안정", "보수"};
    return format("매매차익 %d%%, 2차조건 %d%%, 매매범위 %d~%d%%, 최초매수 %d%%, 성향 %s", s.marginPct, s.secondPct,
                  s.rangeLowPct, s.rangeHighPct, s.initialBuyPct,
                  s.riskProfile >= 0 && s.riskProfile < 3 ? profiles[s.riskProfile] : "?");
}

std::vector<std::int32_t> sweepValues(const OptionValues& values, std::string_view option, std::int64_t low,
                                      std::int64_t high)
{
    const std::string text = *values.text(option);
    const auto refuse = [&](const std::string& why) { return values.error(option, why + " (" + text + ")"); };
    const auto number = [&](std::string_view part) {
        const auto v = wholeInteger(part);
        if (!v || *v < low || *v > high)
            throw refuse(format("%lld 이상 %lld 이하의 정수, A:B:간격 또는 A,B,C로 입력하십시오",
                                static_cast<long long>(low), static_cast<long long>(high)));
        return static_cast<std::int32_t>(*v);
    };
    std::vector<std::int32_t> list;
    if (const auto colon = text.find(':'); colon != std::string::npos) {
        const auto second = text.find(':', colon + 1);
        if (second == std::string::npos)
            throw refuse("A:B:간격으로 입력하십시오");
        const std::int32_t from = number(std::string_view(text).substr(0, colon));
        const std::int32_t to = number(std::string_view(text).substr(colon + 1, second - colon - 1));
        const auto step = wholeInteger(std::string_view(text).substr(second + 1));
        if (!step || *step <= 0)
            throw refuse("간격은 0보다 큰 정수여야 합니다");
        if (from > to)
            throw refuse("A가 B보다 큽니다");
        for (std::int64_t v = from; v <= to; v += *step)
            list.push_back(static_cast<std::int32_t>(v));
        return list;
    }
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto comma = std::min(text.find(',', start), text.size());
        list.push_back(number(std::string_view(text).substr(start, comma - start)));
        start = comma + 1;
    }
    return list;
}

SweepPlan readSweepPlan(const OptionValues& values, const std::filesystem::path& workDir,
                        const std::filesystem::path& defaultProgramDir)
{
    SweepPlan plan;
    // A sweep judges a setting over a series of funds: its options, the default period among
    // them, are read as a statistics run's.
    plan.base = readRunOptions(values
                                   .without({"--margin", "--second", "--range-low", "--range-high", "--initial",
                                             "--risk", "--rank", "--shard", "--out"})
                                   .withDefault("--yield-stats", "1"),
                               workDir, defaultProgramDir);
    plan.base.params.yieldStats = true;
    const SweepSettings base = settingsOf(plan.base.params);
    for (const Swept& s : swept) {
        if (values.has(s.option))
            plan.axes.push_back({s.option, sweepValues(values, s.option, s.low, s.high)});
        else
            plan.axes.push_back({s.option, {base.*s.field}});
    }
    // With automatic setting the range and the ratio come from ksp.txt: sweeping them would change nothing.
    if (plan.base.params.autoSet)
        for (const char* option : {"--range-low", "--range-high", "--initial"})
            if (values.has(option))
                throw values.error(option,
                                   "자동설정(--auto-set 1)에서는 ksp.txt가 정하므로 바꿀 수 없습니다. --auto-set 0과 "
                                   "함께 입력하십시오.");
    plan.rank = values.text("--rank").value_or(plan.rank);
    if (plan.rank != "median" && plan.rank != "beat" && plan.rank != "worst" && plan.rank != "drawdown")
        throw values.error("--rank", "median, beat, worst, drawdown 중 하나를 입력하십시오 (" + plan.rank + ")");
    if (const auto shard = values.text("--shard")) {
        const auto slash = shard->find('/');
        const auto k = wholeInteger(std::string_view(*shard).substr(0, slash));
        const auto n
            = slash == std::string::npos ? std::nullopt : wholeInteger(std::string_view(*shard).substr(slash + 1));
        if (!k || !n || *n < 1 || *k < 1 || *k > *n)
            throw values.error("--shard", "K/N으로, 1 이상 N 이하의 K를 입력하십시오 (" + *shard + ")");
        plan.shard = *k;
        plan.shards = *n;
    }
    plan.out = values.path("--out").value_or(plan.out);
    if (combinationCount(plan) > maxCombinations)
        throw values.error("--margin",
                           format("조합이 너무 많습니다 (%lld개, %lld개까지)",
                                  static_cast<long long>(combinationCount(plan)),
                                  static_cast<long long>(maxCombinations)));
    return plan;
}

std::int64_t combinationCount(const SweepPlan& plan)
{
    std::int64_t count = 1;
    for (const auto& axis : plan.axes)
        count = std::min<std::int64_t>(count * static_cast<std::int64_t>(axis.values.size()), maxCombinations + 1);
    return count;
}

SweepSettings combination(const SweepPlan& plan, std::int64_t number)
{
    SweepSettings settings;
    std::int64_t rest = number - 1;
    for (std::size_t a = plan.axes.size(); a-- > 0;) {
        const auto& values = plan.axes[a].values;
        const auto size = static_cast<std::int64_t>(values.size());
        settings.*swept[a].field = values[static_cast<std::size_t>(rest % size)];
        rest /= size;
    }
    return settings;
}

SimParams paramsOf(const SweepPlan& plan, const SweepSettings& s)
{
    SimParams p = plan.base.params;
    p.marginPct = s.marginPct;
    p.secondPct = s.secondPct;
    p.rangeLowPct = s.rangeLowPct;
    p.rangeHighPct = s.rangeHighPct;
    p.initialBuyPct = s.initialBuyPct;
    p.riskProfile = static_cast<RiskProfile>(s.riskProfile);
    return p;
}

bool rankedBefore(const SweepLine& a, const SweepLine& b, const std::string& rank)
{
    if (!a.summary || !b.summary)
        return a.summary.has_value() > b.summary.has_value();
    const SeriesSummary& x = *a.summary;
    const SeriesSummary& y = *b.summary;
    if (rank == "beat")
        return x.beatShare > y.beatShare;
    if (rank == "worst")
        return x.fund.worst > y.fund.worst;
    if (rank == "drawdown")
        return x.medianFundDrawdown.value_or(100) < y.medianFundDrawdown.value_or(100);
    return x.fund.median > y.fund.median;
}

int runSweep(const SweepPlan& plan, const SeriesRunner& runSeries, std::ostream& out, std::ostream& err)
{
    const std::int64_t total = combinationCount(plan);
    std::vector<SweepLine> lines;
    TerminalProgress progress;
    progress.begin(format("%lld개 조합 중 %lld번째부터 %lld개마다 실행합니다....", static_cast<long long>(total),
                          static_cast<long long>(plan.shard), static_cast<long long>(plan.shards)));
    const std::int64_t mine = (total - plan.shard) / plan.shards + 1;
    for (std::int64_t number = plan.shard; number <= total; number += plan.shards) {
        const SweepSettings settings = combination(plan, number);
        const SimParams params = paramsOf(plan, settings);
        if (const auto problem = validate(params)) {
            progress.end();
            err << sweepCombinationText(settings) << ": " << problem->message << '\n';
            return exitFailed;
        }
        lines.push_back({number, settings, runSeries(params)});
        progress.setPosition(
            static_cast<int>(100 * static_cast<std::int64_t>(lines.size()) / std::max<std::int64_t>(mine, 1)));
    }
    progress.end();
    std::string text = sweepCsvHeader();
    for (const auto& line : lines)
        text += sweepCsvLine(line);
    if (!replaceFileAtomically(plan.out, toCrLf(text))) {
        err << plan.out.string() << " 파일을 쓸 수 없습니다.\n";
        return exitFailed;
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [&](const SweepLine& a, const SweepLine& b) { return rankedBefore(a, b, plan.rank); });
    out << format("%s: %lld개 조합. %s 기준 상위 %zu개:\n", plan.out.c_str(), static_cast<long long>(lines.size()),
                  plan.rank.c_str(), std::min<std::size_t>(10, lines.size()));
    for (std::size_t i = 0; i < lines.size() && i < 10; ++i) {
        const auto& l = lines[i];
        out << format("%2zu. %s", i + 1, sweepCombinationText(l.settings).c_str());
        if (l.summary)
            out << format("  중앙값 %.2f%%  최저 %.2f%%  지수보다 높은 펀드 %.1f%%  최대낙폭 중앙값 %s",
                          l.summary->fund.median, l.summary->fund.worst, l.summary->beatShare,
                          l.summary->medianFundDrawdown ? format("%.2f%%", *l.summary->medianFundDrawdown).c_str()
                                                        : "-");
        else
            out << "  (펀드 없음)";
        out << '\n';
    }
    return exitDone;
}

CommandSpec sweepCommandSpec()
{
    CommandSpec spec = runCommandSpec();
    spec.name = "sweep";
    spec.help = "매매조건의 조합마다 수익률 통계를 메모리에서 실행해 sweep.csv에 쓰고 상위 조합을 보입니다 (결과 "
                "파일은 건드리지 않습니다)";
    for (auto& o : spec.options) {
        for (const Swept& s : swept)
            if (o.name == s.option) {
                o.valueName = "A:B:STEP|A,B";
                o.help += "; 범위 A:B:간격 또는 목록 A,B,C";
            }
    }
    std::erase_if(spec.options, [](const OptionSpec& o) { return o.name == "--yield-stats"; });
    spec.options.push_back(
        {"--rank", "median|beat|worst|drawdown",
         "순위 기준: 수익률 중앙값, 지수를 이긴 펀드 비율, 최저 수익률, 최대낙폭 중앙값 (기본값 median)"});
    spec.options.push_back(
        {"--shard", "K/N", "N개로 나눈 조합 중 K번째부터 N개마다 실행합니다 (여러 기계에 나누어 실행)"});
    spec.options.push_back({"--out", "FILE", "결과 파일 (기본값 sweep.csv)"});
    spec.footer = "예: kestrelan-cli sweep --margin 5:20:5 --second 5,10 --cadence 1 --years 1\n" + spec.footer;
    return spec;
}

int sweepCommand(const OptionValues& values, std::ostream& out, std::ostream& err)
{
    const auto workDir = workingFolder();
    const SweepPlan plan = readSweepPlan(values, workDir, programFolder());
    // The folder is held while the sweep reads it; only sweep.csv is written.
    const auto lock = FolderLock::tryAcquire(workDir);
    if (!lock) {
        err << folderBusyMessage << '\n';
        return exitFailed;
    }
    if (const auto stopped = prepareRun(plan.base, workDir))
        return *stopped;
    StderrMessages messages;
    const RunContext context = runContext(plan.base, workDir, messages);
    try {
        const SeriesSession session(context, paramsOf(plan, combination(plan, 1)));
        return runSweep(
            plan,
            [&](const SimParams& params) {
                std::string results = resultCsvHeader();
                std::vector<StatsCsvRow> stats;
                for (const FundResult& fund : session.run(params)) {
                    results += fund.resultCsvLine;
                    if (fund.stats)
                        stats.push_back(*fund.stats);
                }
                return summarizeSeries(readResultCsv(results), stats);
            },
            out, err);
    } catch (const EngineError& e) {
        err << e.what() << '\n';
        return exitFailed;
    }
}

CommandSpec sweepMergeCommandSpec()
{
    return {
        "sweep-merge",
        "나누어 실행한 sweep의 sweep.csv 파일들을 하나로 합칩니다",
        {
            {"FILES", "FILE...", "합칠 sweep.csv 파일들", true, true},
            {"--out", "FILE", "합친 파일 (기본값 sweep.csv)"},
        },
        "",
    };
}

int sweepMergeCommand(const OptionValues& values, std::ostream& out, std::ostream& err)
{
    const auto files = values.paths("FILES");
    const auto target = values.path("--out").value_or("sweep.csv");
    std::map<std::int64_t, std::string> all;
    for (const auto& file : files) {
        const auto bytes = readWholeFile(file);
        const auto lines = bytes ? readSweepCsvLines(*bytes) : std::nullopt;
        if (!lines) {
            err << file.string() << ": sweep.csv 파일을 읽을 수 없습니다.\n";
            return exitFailed;
        }
        for (const auto& [number, line] : *lines) {
            const auto [it, added] = all.emplace(number, line);
            if (!added && it->second != line) {
                err << file.string()
                    << format(": %lld번 조합이 다른 파일과 다릅니다.\n", static_cast<long long>(number));
                return exitFailed;
            }
        }
    }
    std::string text = sweepCsvHeader();
    for (const auto& [number, line] : all)
        text += line;
    if (!replaceFileAtomically(target, toCrLf(text))) {
        err << target.string() << " 파일을 쓸 수 없습니다.\n";
        return exitFailed;
    }
    out << format("%s: %zu개 조합\n", target.c_str(), all.size());
    return exitDone;
}

} // namespace kestrelan
