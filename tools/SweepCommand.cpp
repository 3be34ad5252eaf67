#include "tools/SweepCommand.h"

#include "engine/EngineError.h"
#include "engine/Fingerprint.h"
#include "engine/RunInputs.h"
#include "engine/SeriesSession.h"
#include "formats/ResultCsv.h"
#include "platform/core/FolderLock.h"
#include "platform/core/Folders.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"
#include "results/core/SeriesSummary.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <ostream>

namespace kestrelan {

namespace {

// The portfolio --stocks names, as SimItem.lst would hold it, without writing it.
std::optional<std::vector<PortfolioItem>> portfolioOfStocks(const RunOptions& options, const std::filesystem::path& workDir,
                                                          std::ostream& err)
{
    if (options.stocks.size() > static_cast<std::size_t>(maxStocks)) {
        err << tooManyStocksMessage << '\n';
        return std::nullopt;
    }
    const auto codes = loadCodeList(workDir / "code.lst");
    if (!codes) {
        err << "code.lst 파일을 읽을 수 없습니다.\n";
        return std::nullopt;
    }
    std::vector<std::string> entries;
    for (const auto& code : options.stocks) {
        const auto it
            = std::find_if(codes->begin(), codes->end(), [&](const std::string& e) { return entryCode(e) == code; });
        if (it == codes->end()) {
            err << "code.lst에 없는 종목입니다: " << code << '\n';
            return std::nullopt;
        }
        entries.push_back(*it);
    }
    const auto bytes = simItemBytes(entries, static_cast<int>(options.params.investMode), options.amount);
    if (!bytes) {
        err << "투자금액을 포트폴리오에 담을 수 없습니다.\n";
        return std::nullopt;
    }
    return parseSimItems(*bytes);
}

// The engine's messages said on the sweep's own stream (stderr for the command, the window's text for a
// window's sweep).
class StreamMessages : public IMessageSink
{
public:
    explicit StreamMessages(std::ostream& out)
        : out(out)
    {
    }
    Answer show(std::string_view text, Buttons) override
    {
        out << text << '\n';
        return Answer::Ok;
    }

private:
    std::ostream& out;
};

// The settings a sweep may vary, in the order the combinations count them (sweepSettings), with
// their limits.
struct Swept
{
    const SettingSpec* setting;
    std::int64_t low, high;
    std::int32_t SweepSettings::*field;

    const char* option() const { return setting->option.data(); }
};

const Swept swept[] = {
    {sweepSettings[0], minMarginPct, percentLimit, &SweepSettings::marginPct},
    {sweepSettings[1], -percentLimit, percentLimit, &SweepSettings::secondPct},
    {sweepSettings[2], -percentLimit, percentLimit, &SweepSettings::rangeLowPct},
    {sweepSettings[3], -percentLimit, percentLimit, &SweepSettings::rangeHighPct},
    {sweepSettings[4], -percentLimit, percentLimit, &SweepSettings::initialBuyPct},
    {sweepSettings[5], 0, 2, &SweepSettings::riskProfile},
};

// The columns of the figures the rankings go by, which the best combinations are shown with.
const char* const rankedColumns[]
    = {"fund_median_pct", "beat_share_pct", "beat_hold_share_pct", "fund_worst_pct", "fund_median_drawdown_pct"};

// The most combinations one sweep takes.
constexpr std::int64_t maxCombinations = maxSweepCombinations;

} // namespace

SweepSettings sweepSettingsOf(const SimParams& p)
{
    return {p.marginPct, p.secondPct, p.rangeLowPct, p.rangeHighPct, p.initialBuyPct, static_cast<int>(p.riskProfile)};
}

std::int32_t SweepSettings::*sweepSettingField(const SettingSpec& setting)
{
    for (const Swept& s : swept)
        if (s.setting == &setting)
            return s.field;
    return swept[0].field;
}

std::string sweepCombinationText(const SweepSettings& s, bool autoSet)
{
    // The settings the funds took: with automatic setting ksp.txt chose the range and the ratio by
    // the risk profile, without it the risk profile chose nothing.
    std::string text;
    for (const Swept& x : swept) {
        if (!sweepSettingUsed(*x.setting, autoSet))
            continue;
        const std::int32_t v = s.*x.field;
        text += (text.empty() ? "" : ", ")
            + x.setting->phrase(x.setting->words.empty() ? std::to_string(v) : x.setting->word(v));
    }
    return autoSet ? text + " (" + std::string(setting::autoSet.label) + ")" : text;
}

std::string sweepFiguresText(const SeriesSummary& s)
{
    // The figures the ranking goes by, as the summary's rows name them, the fund's column.
    const bool hold = s.hold.has_value();
    const SummaryFieldTexts fields(s);
    std::string text;
    for (const SummaryRow& row : summaryRows()) {
        const std::string* column = row.column(SummarySubject::Fund);
        if (!column || (row.holdOnly && !hold)
            || std::find(std::begin(rankedColumns), std::end(rankedColumns), *column) == std::end(rankedColumns))
            continue;
        text += (text.empty() ? "" : "  ") + row.labelFor(hold) + " " + summaryCellText(row.kind, fields[*column]);
    }
    return text;
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
        const std::int32_t v = number(std::string_view(text).substr(start, comma - start));
        // The same value twice would run and rank the same combination twice.
        if (std::find(list.begin(), list.end(), v) != list.end())
            throw refuse(format("같은 값 %d이 두 번 있습니다", v));
        list.push_back(v);
        start = comma + 1;
    }
    return list;
}

SweepPlan readSweepPlan(const OptionValues& values, const std::filesystem::path& workDir,
                        const std::filesystem::path& defaultProgramDir)
{
    // No figure of a sweep is a Sharpe ratio: a risk-free rate would change nothing it shows.
    if (values.has("--risk-free"))
        throw values.error("--risk-free",
                           "sweep의 지표에는 샤프지수가 없어 무위험수익률이 쓰이지 않습니다. 샤프지수는 run의 "
                           "stats.csv에 있습니다.");
    SweepPlan plan;
    // A sweep judges a setting over a series of funds: its options, the default period among
    // them, are read as a statistics run's.
    plan.base = readRunOptions(runValuesOfSweep(values)
                                   .without({"--margin", "--second", "--range-low", "--range-high", "--initial",
                                             "--risk", "--rank", "--shard", "--out"})
                                   .withDefault("--yield-stats", "1"),
                               workDir, defaultProgramDir);
    plan.base.params.yieldStats = true;
    // With automatic setting the range and the ratio come from ksp.txt, and without it the risk
    // profile chooses nothing: such a setting would change no figure.
    const bool autoSet = plan.base.params.autoSet;
    for (const Swept& s : swept)
        if (values.has(s.option()) && !sweepSettingUsed(*s.setting, autoSet))
            throw values.error(s.option(), autoSet ? "자동설정(--auto-set 1)에서는 ksp.txt가 정하므로 바꿀 수 없습니다. "
                                                     "--auto-set 0과 함께 입력하십시오."
                                                   : "투자성향은 자동설정(--auto-set 1)에서만 매매조건을 고릅니다. "
                                                     "--auto-set 0에서는 결과를 바꾸지 않습니다.");
    const SweepSettings base = sweepSettingsOf(plan.base.params);
    for (const Swept& s : swept) {
        if (values.has(s.option()))
            plan.axes.push_back({s.option(), sweepValues(values, s.option(), s.low, s.high)});
        else
            plan.axes.push_back({s.option(), {base.*s.field}});
    }
    plan.rank = values.text("--rank").value_or(plan.rank);
    if (plan.rank != "median" && plan.rank != "beat" && plan.rank != "beat-hold" && plan.rank != "worst"
        && plan.rank != "drawdown")
        throw values.error("--rank", "median, beat, beat-hold, worst, drawdown 중 하나를 입력하십시오 (" + plan.rank + ")");
    if (const auto shard = values.text("--shard")) {
        const auto slash = shard->find('/');
        const auto k = wholeInteger(std::string_view(*shard).substr(0, slash));
        const auto n
            = slash == std::string::npos ? std::nullopt : wholeInteger(std::string_view(*shard).substr(slash + 1));
        if (!k || !n || *n < 1 || *n > maxCombinations || *k < 1 || *k > *n)
            throw values.error("--shard",
                               format("K/N으로, 1 이상 N 이하의 K를 입력하십시오 (N은 %lld까지) (%s)",
                                      static_cast<long long>(maxCombinations), shard->c_str()));
        plan.shard = *k;
        plan.shards = *n;
    }
    plan.out = values.path("--out").value_or(plan.out);
    if (combinationCount(plan) > maxCombinations)
        throw values.error("--margin",
                           format("조합이 너무 많습니다 (%lld개, %lld개까지)",
                                  static_cast<long long>(combinationCount(plan)),
                                  static_cast<long long>(maxCombinations)));
    readSweepSpans(values, plan);
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

SweepIdentity sweepIdentity(const SweepPlan& plan, const RunData& inputs)
{
    SweepIdentity id;
    SimParams p = plan.base.params;
    p.autoSet = inputs.autoSet; // as the funds take it: ksp.txt may be unusable
    p.dividends = inputs.params.dividends;
    std::string codes, amounts;
    for (const auto& item : inputs.items) {
        codes += (codes.empty() ? "" : " ") + std::string(entryCode(item.entry));
        amounts += (amounts.empty() ? "" : " ") + std::to_string(item.amount);
    }
    // The settings as settings.csv writes them, and each swept one with its values (none when
    // the funds do not take it).
    const auto lines = settingLines(p, inputs.items.size());
    const auto setting = [&](const SettingSpec& spec) {
        for (const auto& s : lines)
            if (s.name == spec.key)
                return s;
        return spec.line("");
    };
    namespace k = kestrelan::setting;
    id.settings = {k::stocks.line(codes), {"amounts", amounts}};
    for (const SettingSpec* s : {&k::investMode, &k::startDate, &k::endDate, &k::fundCadence, &k::years, &k::autoSet})
        id.settings.push_back(setting(*s));
    for (std::size_t i = 0; i < std::size(swept); ++i) {
        std::string text;
        if (sweepSettingUsed(*swept[i].setting, p.autoSet))
            for (const auto v : plan.axes[i].values)
                text += (text.empty() ? "" : " ") + std::to_string(v);
        id.settings.push_back(swept[i].setting->line(text));
    }
    for (const SettingSpec* s : {&k::commission, &k::includeTax})
        id.settings.push_back(setting(*s));
    // The market's rules, when they are not the default ones: sweeps under other rules differ.
    for (const auto& s : lines)
        if (s.name == k::rules.key || s.name == k::dividends.key)
            id.settings.push_back(s);
    for (const auto& [file, print] : marketFingerprints(inputs))
        id.settings.push_back({"market_" + file, print});
    addSpanIdentity(plan, id);
    id.combinations = combinationCount(plan);
    id.shards = {{plan.shard}, plan.shards};
    return id;
}

CommandSpec sweepCommandSpec()
{
    CommandSpec spec = runCommandSpec();
    spec.name = "sweep";
    spec.help = "매매조건의 조합마다 수익률 통계를 메모리에서 실행해 sweep.csv에 쓰고 상위 조합을 보입니다 (결과 "
                "파일은 건드리지 않습니다)";
    for (auto& o : spec.options) {
        if (o.name == "--risk-free")
            o.help = "받지 않습니다: sweep의 지표에는 샤프지수가 없습니다 (run의 stats.csv에 있습니다)";
        if (o.name == "--risk")
            o.help += "; 자동설정(--auto-set 1)에서만";
        if (o.name == "--range-low" || o.name == "--range-high" || o.name == "--initial")
            o.help += "; --auto-set 0에서만";
        for (const Swept& s : swept)
            if (o.name == s.option()) {
                o.valueName = "A:B:STEP|A,B";
                o.help += "; 범위 A:B:간격 또는 목록 A,B,C";
            }
    }
    // A sweep keeps no run in history/.
    std::erase_if(spec.options, [](const OptionSpec& o) { return o.name == "--yield-stats" || o.name == "--keep"; });
    spec.options.push_back({"--rank", "median|beat|beat-hold|worst|drawdown",
                            "순위 기준: 수익률 중앙값, KOSPI보다 높은 펀드 비율, 종목 보유보다 높은 펀드 비율(종목이 "
                            "하나일 때), 최저 수익률, 최대낙폭 중앙값 (기본값 median)"});
    spec.options.push_back(
        {"--shard", "K/N", "N개로 나눈 조합 중 K번째부터 N개마다 실행합니다 (여러 기계에 나누어 실행)"});
    spec.options.push_back({"--out", "FILE", "결과 파일 (기본값 sweep.csv)"});
    spec.options.push_back({"--choose", "START:END",
                            "조합을 고르는 기간 (--start/--end 대신; 그 기간의 수익률 통계 실행과 같은 펀드)"});
    spec.options.push_back({"--judge", "START:END",
                            "고른 조합을 판단하는 기간: 조합마다 이 기간의 펀드도 실행해 judge_ 열에 씁니다"});
    spec.options.push_back({"--walk", "C:J",
                            "C개월에서 고르고 다음 J개월로 판단하는 창을 --start부터 --end까지 J개월씩 옮깁니다 "
                            "(walkforward.csv)"});
    spec.options.push_back({"--dry-run", "", "조합과 펀드의 수, 펀드 하나로 잰 예상 시간만 보입니다 (실행하지 않고 "
                                             "아무것도 쓰지 않습니다)"});
    spec.options.push_back({"--resume", "", "--out 파일에 있는 같은 sweep의 조합은 건너뛰고 나머지를 실행합니다"});
    spec.footer = "예: kestrelan-cli sweep --margin 5:20:5 --second 5,10 --cadence 1 --years 1\n"
                  "    kestrelan-cli sweep --margin 5:20:5 --cadence 1 --choose 20000101:20021231 --judge "
                  "20030101:20041231\n"
                  "    kestrelan-cli sweep --margin 5:20:5 --cadence 1 --start 19980101 --end 20061231 --walk 36:12\n"
        + spec.footer;
    return spec;
}

int sweepCommand(const OptionValues& values, std::ostream& out, std::ostream& err)
{
    return runSweep(values, workingFolder(), programFolder(), out, err);
}

int runSweep(const OptionValues& values, const std::filesystem::path& workDir, const std::filesystem::path& programDir,
             std::ostream& out, std::ostream& err, SweepWatch* watch)
{
    // The folder and the market are held before anything is read, shared: a sweep writes only its
    // own file (never SimItem.lst, its stocks are read as a run would take them), so that the
    // shards of a sweep run side by side in one folder, each with its own --out.
    const auto lock = FolderLock::acquire(workDir, 0, LockMode::Shared);
    if (!lock) {
        err << folderBusyMessage << '\n';
        return exitFailed;
    }
    // The command line waits for a busy market; a window does not.
    std::optional<MarketAccess> market;
    if (watch) {
        const auto given = values.path("--program-dir");
        market = MarketAccess::open(marketFolders(workDir, given.value_or(programDir), given.has_value()),
                                    LockMode::Shared);
        if (!*market) {
            err << market->problem << '\n';
            return exitFailed;
        }
    } else {
        market = holdMarketToRead(values, workDir, programDir);
        if (!market)
            return exitFailed;
    }
    const SweepPlan plan = readSweepPlan(values, workDir, programDir);
    std::optional<std::vector<PortfolioItem>> items;
    if (!plan.base.stocks.empty()) {
        items = portfolioOfStocks(plan.base, workDir, err);
        if (!items)
            return exitFailed;
    }
    RunOptions prepared = plan.base;
    prepared.stocks.clear();
    if (const auto stopped = prepareRun(prepared, workDir, err))
        return *stopped;
    StreamMessages said(err);
    const RunContext context = runContext(plan.base, workDir, said);
    try {
        const auto began = std::chrono::steady_clock::now();
        const SeriesSession session(context, paramsOf(plan, combination(plan, 1)), sessionSpans(plan),
                                    items ? &*items : nullptr);
        const double loadSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        const RunData& inputs = session.inputs();
        const bool oneStock = inputs.items.size() == 1;
        if (plan.rank == "beat-hold" && !oneStock)
            throw values.error("--rank", "beat-hold는 종목이 하나인 sweep에서만 씁니다 (종목 보유와 비교합니다).");
        // ksp.txt could not be used: the funds run without automatic setting, where the risk
        // profile chooses nothing.
        if (!inputs.autoSet && plan.axes.back().values.size() > 1)
            throw values.error("--risk", "ksp.txt를 쓸 수 없어 자동설정 없이 실행되므로 투자성향이 결과를 바꾸지 "
                                         "않습니다.");
        const SweepIdentity identity = sweepIdentity(plan, inputs);
        if (plan.dryRun)
            return dryRunSweep(plan, identity, session, loadSeconds, out, err);
        return runSweepSpans(plan, identity, session, out, err, watch);
    } catch (const EngineError& e) {
        err << e.what() << '\n';
        // A window's span holds the funds that start and end inside it, as a statistics run over
        // it does: a judge span not much longer than a fund holds few or none.
        if (plan.spans.walk())
            err << format("--walk: 창마다 고르는 기간과 판단 기간은 수익률 통계 실행의 기간처럼 그 안에서 시작하고 끝나는 "
                          "펀드를 가져야 합니다. 판단 기간(%d개월)을 펀드의 운용 기간보다 넉넉히 길게 하십시오 (예: "
                          "--years 1이면 --walk %d:24).\n",
                          plan.spans.judgeMonths, plan.spans.chooseMonths);
        return exitFailed;
    }
}

CommandSpec sweepMergeCommandSpec()
{
    return {
        "sweep-merge",
        "나누어 실행한 sweep의 sweep.csv 파일들을 하나로 합칩니다 (같은 sweep의 조각만, 조각마다 한 번씩)",
        {
            {"FILES", "FILE...", "합칠 sweep.csv 파일들", true, true},
            {"--out", "FILE", "합친 파일 (기본값 sweep.csv)"},
            {"--allow-partial", "", "빠진 조각이 있어도 합치고 빠진 조합을 알립니다"},
        },
        "",
    };
}

namespace {

// A difference of two identities as the user reads it.
std::string differenceText(const std::string& difference)
{
    if (!difference.starts_with("market_"))
        return difference;
    const auto colon = difference.find(':');
    const std::string file = difference.substr(7, colon - 7);
    const bool stock = file.find('.') == std::string::npos;
    return file + (stock ? "의 주가 자료" : "의 내용") + "가 다릅니다: 지문" + difference.substr(colon + 1);
}

// The combinations of shard k of n among `total`, as "3, 7, 11" (the first few).
std::string combinationsText(const std::vector<std::int64_t>& numbers)
{
    std::string text;
    for (std::size_t i = 0; i < numbers.size() && i < 20; ++i)
        text += (i ? ", " : "") + std::to_string(numbers[i]);
    return numbers.size() > 20 ? text + ", ..." : text;
}

} // namespace

int sweepMergeCommand(const OptionValues& values, std::ostream& out, std::ostream& err)
{
    const auto files = values.paths("FILES");
    const auto target = values.path("--out").value_or(std::filesystem::path(sweepCsvFile));
    std::optional<SweepFile> merged;
    std::string first;
    std::map<std::int64_t, std::string> owners; // shard -> the file that holds it
    for (const auto& path : files) {
        const std::string name = path.string();
        const auto bytes = readWholeFile(path);
        if (!bytes) {
            err << name << ": 파일을 읽을 수 없습니다.\n";
            return exitFailed;
        }
        const SweepCsvRead read = readSweepCsv(*bytes);
        if (!read.file) {
            err << format("%s:%zu: %s. sweep이 쓴 sweep.csv만 합칠 수 있습니다.\n", name.c_str(), read.badLine,
                          read.problem.c_str());
            return exitFailed;
        }
        const SweepFile& f = *read.file;
        if (merged) {
            if (const auto difference = sweepDifference(merged->identity, f.identity)) {
                err << name << ": " << first << "와 다른 sweep의 파일입니다 (" << differenceText(*difference) << ").\n";
                return exitFailed;
            }
        }
        const auto& id = f.identity;
        for (const auto k : id.shards.parts)
            if (const auto [it, added] = owners.emplace(k, name); !added) {
                err << name << format(": %lld/%lld 조각이 ", static_cast<long long>(k), static_cast<long long>(id.shards.of))
                    << it->second << "에도 있습니다. 조각마다 파일 하나만 주십시오.\n";
                return exitFailed;
            }
        // A file holds every combination of its shards, so that none is lost unseen.
        if (const auto n = firstMissingCombination(f)) {
            err << name << format(": %lld번 조합이 없습니다. 이 파일을 쓴 sweep이 끝나지 않았을 수 있습니다 (같은 "
                                  "명령에 --resume을 주면 마저 실행합니다).\n",
                                  static_cast<long long>(*n));
            return exitFailed;
        }
        if (!merged) {
            merged = f;
            first = name;
        } else {
            merged->lines.insert(merged->lines.end(), f.lines.begin(), f.lines.end());
        }
    }
    SweepIdentity& id = merged->identity;
    std::vector<std::int64_t> missing;
    id.shards.parts.clear();
    for (std::int64_t k = 1; k <= id.shards.of; ++k) {
        if (owners.contains(k))
            id.shards.parts.push_back(k);
        else
            for (std::int64_t n = k; n <= id.combinations; n += id.shards.of)
                missing.push_back(n);
    }
    std::sort(missing.begin(), missing.end());
    std::vector<std::string> missingShards;
    for (std::int64_t k = 1; k <= id.shards.of; ++k)
        if (!owners.contains(k))
            missingShards.push_back(format("%lld/%lld", static_cast<long long>(k), static_cast<long long>(id.shards.of)));
    std::string shardList;
    for (const auto& m : missingShards)
        shardList += (shardList.empty() ? "" : ", ") + m;
    if (!missingShards.empty() && !values.has("--allow-partial")) {
        err << format("빠진 조각이 있습니다: %s (조합 %zu개). 모든 조각의 파일을 주거나, 빠진 채로 합치려면 "
                      "--allow-partial을 쓰십시오.\n",
                      shardList.c_str(), missing.size());
        return exitFailed;
    }
    // A complete set is the file of the whole sweep, as one machine would have written it.
    if (missingShards.empty())
        id.shards = {{1}, 1};
    std::sort(merged->lines.begin(), merged->lines.end(), [](const SweepLine& a, const SweepLine& b) {
        return std::pair(a.combination, a.window) < std::pair(b.combination, b.window);
    });
    if (!replaceFileAtomically(target, toCrLf(sweepCsvText(*merged)))) {
        err << target.string() << " 파일을 쓸 수 없습니다.\n";
        return exitFailed;
    }
    out << format("%s: %zu개 조합\n", target.c_str(),
                  static_cast<std::size_t>(std::count_if(merged->lines.begin(), merged->lines.end(),
                                                         [](const SweepLine& l) { return l.window == 0; })));
    if (!missing.empty())
        out << format("빠진 조각 %s의 조합 %zu개: %s\n", shardList.c_str(), missing.size(),
                      combinationsText(missing).c_str());
    return exitDone;
}

} // namespace kestrelan
