#include "tools/WalkForward.h"

#include "engine/Dates.h"
#include "formats/ResultCsv.h"
#include "platform/core/FaultPoint.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"
#include "results/core/SweepRanks.h"
#include "tools/SweepCommand.h"
#include "tools/Terminal.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <ostream>
#include <set>

namespace kestrelan {

namespace {

// The two dates of "A:B", each read as --start reads one, naming `option`.
FundSpan readSpan(const OptionValues& values, std::string_view option)
{
    const std::string text = *values.text(option);
    const auto colon = text.find(':');
    if (colon == std::string::npos)
        throw values.error(option, "시작일:종료일로 입력하십시오 (" + text + ")");
    const auto date = [&](std::string part) {
        return *OptionValues(values.command(), {{std::string(option), std::move(part)}}).date(option);
    };
    const FundSpan span{date(text.substr(0, colon)), date(text.substr(colon + 1))};
    if (span.start > span.end)
        throw values.error(option, "시작일이 종료일보다 뒤입니다 (" + text + ")");
    if (span.start < minStartDate)
        throw values.error(option, dateText(minStartDate) + " 이후에 시작하십시오 (" + text + ")");
    return span;
}

std::string spanText(const FundSpan& s) { return dateText(s.start) + " ~ " + dateText(s.end); }

std::int32_t dayBefore(std::int32_t date) { return dateOfDayNumber(calendarDayNumber(date) - 1); }

// The funds of a series as one summary (formats/SummaryCsv.h), as a run of them would give it.
std::optional<SeriesSummary> summaryOf(const std::vector<FundResult>& funds, const std::vector<std::size_t>& which,
                                       bool oneStock)
{
    std::string results = resultCsvHeader();
    std::vector<StatsCsvRow> stats;
    for (const std::size_t k : which) {
        results += funds[k].resultCsvLine;
        if (funds[k].stats)
            stats.push_back(*funds[k].stats);
    }
    return summarizeSeries(readResultCsv(results), stats, oneStock);
}

// The judged funds of every window, in order: the out-of-sample series.
std::vector<std::size_t> judgedFunds(const SweepPlan& plan, const SeriesSession& session)
{
    std::vector<std::size_t> all;
    for (std::size_t w = 1; w <= plan.spans.windows.size(); ++w) {
        const auto& funds = session.spanFunds(2 * w);
        all.insert(all.end(), funds.begin(), funds.end());
    }
    return all;
}

// A combination's lines: the period (with the judge span, or every window's judged funds), then
// each window of a walk.
std::vector<SweepLine> linesOf(const SweepPlan& plan, const SeriesSession& session, std::int64_t number,
                               const SweepSettings& settings, bool autoSet, const std::vector<FundResult>& funds)
{
    const bool oneStock = session.inputs().items.size() == 1;
    std::vector<SweepLine> lines;
    SweepLine whole{number, settings, autoSet, summaryOf(funds, session.spanFunds(0), oneStock)};
    if (plan.spans.judge)
        whole.judge = summaryOf(funds, session.spanFunds(1), oneStock);
    if (plan.spans.walk())
        whole.judge = summaryOf(funds, judgedFunds(plan, session), oneStock);
    lines.push_back(whole);
    for (std::size_t w = 1; w <= plan.spans.windows.size(); ++w) {
        SweepLine line{number, settings, autoSet, summaryOf(funds, session.spanFunds(2 * w - 1), oneStock)};
        line.window = static_cast<std::int32_t>(w);
        line.judge = summaryOf(funds, session.spanFunds(2 * w), oneStock);
        lines.push_back(line);
    }
    return lines;
}

bool writeSweepFile(const std::filesystem::path& path, const SweepFile& file)
{
    return replaceFileAtomically(path, toCrLf(sweepCsvText(file)));
}

const RankFigure& figureOf(const std::string& rank)
{
    for (const auto& f : rankFigures())
        if (rank == f.word)
            return f;
    return rankFigures().front();
}

std::string percentText(const std::optional<double>& v) { return v ? format("%.2f%%", *v) : std::string("-"); }

std::string summaryText(const std::optional<SeriesSummary>& s)
{
    return s ? format("펀드 %d개  ", s->funds) + sweepFiguresText(*s) : std::string("(펀드 없음)");
}

} // namespace

// The lines of one window, ranked (a copy: a file that lacks combinations has no ranks).
std::vector<SweepLine> rankedWindowLines(const std::vector<SweepLine>& lines, std::int32_t window,
                                         const std::string& column)
{
    std::vector<SweepLine> mine;
    for (const auto& l : lines)
        if (l.window == window)
            mine.push_back(l);
    rankSweepLines(mine, column);
    std::stable_sort(mine.begin(), mine.end(), [](const SweepLine& a, const SweepLine& b) {
        return (a.rank ? a.rank : INT64_MAX) < (b.rank ? b.rank : INT64_MAX);
    });
    return mine;
}

namespace {

// What the judge span says of each choice in a window: the best judged figure and the median of
// all combinations' judged figures.
struct Judged
{
    std::optional<double> best, median;
    std::int64_t bestCombination = 0;
    std::int64_t ranked = 0; // combinations with a judged figure
};

Judged judgedOf(const std::vector<SweepLine>& window, const std::string& column)
{
    Judged j;
    std::vector<double> figures;
    for (const auto& l : window)
        if (const auto v = summaryFigure(l.judge, column)) {
            figures.push_back(*v);
            if (l.judgeRank == 1) {
                j.best = v;
                j.bestCombination = l.combination;
            }
        }
    j.median = medianValue(figures);
    j.ranked = static_cast<std::int64_t>(figures.size());
    return j;
}

std::string joinedFields(const std::vector<std::string>& fields)
{
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i)
        line += (i ? "," : "") + fields[i];
    return line + "\n";
}

std::vector<std::string> settingFields(const SweepLine& l)
{
    const SweepSettings& s = l.settings;
    const std::int32_t values[] = {s.marginPct, s.secondPct, s.rangeLowPct, s.rangeHighPct, s.initialBuyPct, s.riskProfile};
    static_assert(std::size(values) == std::size(sweepSettings));
    std::vector<std::string> fields;
    for (std::size_t i = 0; i < std::size(values); ++i)
        fields.push_back(sweepSettingUsed(*sweepSettings[i], l.autoSet) ? std::to_string(values[i]) : std::string());
    fields.emplace_back(l.autoSet ? "1" : "0");
    return fields;
}

std::string identityLines(const SweepIdentity& id, std::string_view marker)
{
    std::string text = std::string(marker) + "\n";
    for (const auto& s : id.settings)
        text += "# " + s.name + "=" + s.value + "\n";
    text += "# combinations=" + std::to_string(id.combinations) + "\n";
    return text;
}

std::string number2(const std::optional<double>& v) { return v ? format("%.2f", *v) : std::string(); }

// The choice on the choose span, how it did on the judge span, against the best and the median
// of every combination there.
void printJudgedChoice(const SweepPlan& plan, const RankFigure& figure, const std::vector<SweepLine>& whole,
                       std::ostream& out)
{
    const std::string column = figure.column;
    const std::int64_t tried = static_cast<std::int64_t>(whole.size());
    const SweepLine& chosen = whole.front();
    const Judged j = judgedOf(whole, column);
    out << format("\n고르는 기간 %s에서 %s 1위 (조합 %lld개 중): 조합 %lld, %s\n",
                  spanText({plan.base.params.startDate, plan.base.params.endDate}).c_str(), figure.label,
                  static_cast<long long>(tried), static_cast<long long>(chosen.combination),
                  sweepCombinationText(chosen.settings, chosen.autoSet).c_str());
    out << "  고르는 기간: " << summaryText(chosen.summary) << "  plateau " << percentText(chosen.plateau) << '\n';
    out << format("  판단 기간 %s: ", spanText(*plan.spans.judge).c_str()) << summaryText(chosen.judge)
        << (chosen.judgeRank ? format("  (판단 기간 %lld위)", static_cast<long long>(chosen.judgeRank)) : "") << '\n';
    out << format("  판단 기간에 가장 좋은 조합의 %s: %s (조합 %lld), 모든 조합의 중앙값: %s\n", figure.label,
                  percentText(j.best).c_str(), static_cast<long long>(j.bestCombination),
                  percentText(j.median).c_str());
}

// The judged funds of every window run with the combination that window chose: the series a
// user who chose that way would have had.
std::optional<SeriesSummary> outOfSampleSeries(const SweepPlan& plan, const SeriesSession& session,
                                               const std::map<std::int64_t, const SweepLine*>& chosenLines)
{
    const auto& windows = plan.spans.windows;
    std::string results = resultCsvHeader();
    std::vector<StatsCsvRow> stats;
    std::map<std::int64_t, std::vector<FundResult>> runs; // combination -> its funds
    for (std::size_t w = 1; w <= windows.size(); ++w) {
        const auto pick = chosenLines.find(static_cast<std::int64_t>(w));
        if (pick == chosenLines.end())
            continue;
        const std::int64_t n = pick->second->combination;
        if (!runs.contains(n))
            runs[n] = session.run(paramsOf(plan, combination(plan, n)));
        const auto& funds = runs[n];
        for (const std::size_t k : session.spanFunds(2 * w)) {
            results += funds[k].resultCsvLine;
            if (funds[k].stats)
                stats.push_back(*funds[k].stats);
        }
    }
    return summarizeSeries(readResultCsv(results), stats, session.inputs().items.size() == 1);
}

// walkforward-summary.csv: the out-of-sample series, and the judged funds of the one
// combination the whole period ranks first.
std::string walkSummaryCsv(const SweepIdentity& identity, const std::optional<SeriesSummary>& outOfSample,
                           const SweepLine& chosen)
{
    std::string summary = identityLines(identity, "# kestrelan walk summary") + walkSummaryCsvHeader();
    std::vector<std::string> oos = {"out_of_sample", ""};
    oos.resize(oos.size() + 7);
    for (auto& f : summaryFields(outOfSample))
        oos.push_back(f);
    summary += joinedFields(oos);
    std::vector<std::string> fixed = {"fixed", std::to_string(chosen.combination)};
    for (auto& f : settingFields(chosen))
        fixed.push_back(f);
    for (auto& f : summaryFields(chosen.judge))
        fixed.push_back(f);
    summary += joinedFields(fixed);
    return summary;
}

// Prints the judge span's verdict on the choice of the period (window 0) and, for a walk, writes
// and prints the windows. Returns false when a file could not be written.
bool judgeTheChoice(const SweepPlan& plan, const SweepIdentity& identity, const SeriesSession& session,
                    const std::vector<SweepLine>& lines, std::ostream& out, std::ostream& err)
{
    const RankFigure& figure = figureOf(plan.rank);
    const std::string column = figure.column;
    const auto whole = rankedWindowLines(lines, 0, column);
    const std::int64_t tried = static_cast<std::int64_t>(whole.size());
    if (whole.empty() || whole.front().rank != 1) {
        out << "펀드가 있는 조합이 없어 고를 수 없습니다.\n";
        return true;
    }
    const SweepLine& chosen = whole.front();
    if (plan.spans.judge) {
        printJudgedChoice(plan, figure, whole, out);
        return true;
    }
    if (!plan.spans.walk())
        return true;

    // The windows: each one's choice, how it did on the months after, against the best and the
    // median of every combination there.
    const auto& windows = plan.spans.windows;
    std::string table = identityLines(identity, "# kestrelan walk") + walkCsvHeader(column);
    out << format("\n창 %zu개 (고르는 기간 %d개월, 판단 기간 %d개월), 조합 %lld개, %s 기준:\n", windows.size(),
                  plan.spans.chooseMonths, plan.spans.judgeMonths, static_cast<long long>(tried), figure.label);
    out << " 창  고르는 기간              판단 기간                고를 때   판단      판단 순위  판단 1위  판단 중앙값  "
           "고른 조합\n";
    std::map<std::int64_t, const SweepLine*> chosenLines; // window -> its choice
    const FundSpan period{plan.base.params.startDate, plan.base.params.endDate};
    const FundSpan judgedPeriod{windows.front().judge.start, windows.back().judge.end};
    const auto judgedFundsAll = judgedFunds(plan, session);
    std::vector<std::vector<SweepLine>> ranked(windows.size() + 1);
    ranked[0] = whole;
    for (std::int32_t w = 0; w <= static_cast<std::int32_t>(windows.size()); ++w) {
        if (w > 0)
            ranked[static_cast<std::size_t>(w)] = rankedWindowLines(lines, w, column);
        const auto& mine = ranked[static_cast<std::size_t>(w)];
        const FundSpan choose = w ? windows[static_cast<std::size_t>(w - 1)].choose : period;
        const FundSpan judge = w ? windows[static_cast<std::size_t>(w - 1)].judge : judgedPeriod;
        const std::size_t chooseFunds = session.spanFunds(w ? 2 * static_cast<std::size_t>(w) - 1 : 0).size();
        const std::size_t judgeFunds = w ? session.spanFunds(2 * static_cast<std::size_t>(w)).size() : judgedFundsAll.size();
        const SweepLine* pick = !mine.empty() && mine.front().rank == 1 ? &mine.front() : nullptr;
        const Judged j = judgedOf(mine, column);
        std::vector<std::string> fields = {std::to_string(w),
                                           dateText(choose.start),
                                           dateText(choose.end),
                                           dateText(judge.start),
                                           dateText(judge.end),
                                           std::to_string(chooseFunds),
                                           std::to_string(judgeFunds)};
        if (pick) {
            chosenLines[w] = pick;
            fields.push_back(std::to_string(pick->combination));
            for (auto& f : settingFields(*pick))
                fields.push_back(f);
            fields.push_back(number2(summaryFigure(pick->summary, column)));
            fields.push_back(number2(pick->plateau));
            fields.push_back(number2(summaryFigure(pick->judge, column)));
            fields.push_back(pick->judgeRank ? std::to_string(pick->judgeRank) : std::string());
        } else {
            fields.resize(fields.size() + 1 + 7 + 4);
        }
        fields.push_back(number2(j.best));
        fields.push_back(j.bestCombination ? std::to_string(j.bestCombination) : std::string());
        fields.push_back(number2(j.median));
        table += joinedFields(fields);
        if (w == 0)
            continue;
        out << format("%3d  %s ~ %s  %s ~ %s  %8s  %8s  %9s  %8s  %10s  %s\n", w, dateText(choose.start).c_str(),
                      dateText(choose.end).c_str(), dateText(judge.start).c_str(), dateText(judge.end).c_str(),
                      pick ? percentText(summaryFigure(pick->summary, column)).c_str() : "-",
                      pick ? percentText(summaryFigure(pick->judge, column)).c_str() : "-",
                      pick && pick->judgeRank ? format("%lld/%lld", static_cast<long long>(pick->judgeRank),
                                                       static_cast<long long>(j.ranked))
                                                    .c_str()
                                              : "-",
                      percentText(j.best).c_str(), percentText(j.median).c_str(),
                      pick ? format("#%lld %s", static_cast<long long>(pick->combination),
                                    sweepCombinationText(pick->settings, pick->autoSet).c_str())
                                 .c_str()
                           : "(펀드 없음)");
    }

    // The judged funds, each window's with the combination it chose: the series a user who
    // chose that way would have had, against the same funds with the one combination the whole
    // period ranks first (a choice made knowing the judged years too).
    const auto outOfSample = outOfSampleSeries(plan, session, chosenLines);
    const std::string summary = walkSummaryCsv(identity, outOfSample, chosen);

    const auto folder = plan.out.parent_path();
    for (const auto& [name, text] : {std::pair<std::string, std::string>("walkforward.csv", table),
                                     std::pair<std::string, std::string>("walkforward-summary.csv", summary)})
        if (!replaceFileAtomically(folder / name, toCrLf(text))) {
            err << (folder / name).string() << " 파일을 쓸 수 없습니다.\n";
            return false;
        }
    out << format("\n판단 기간의 펀드 %zu개 (%s), walkforward.csv, walkforward-summary.csv:\n", judgedFundsAll.size(),
                  spanText(judgedPeriod).c_str());
    out << "  창마다 고른 조합으로:        " << summaryText(outOfSample) << '\n';
    out << format("  전체 기간의 1위 #%lld 하나로: ", static_cast<long long>(chosen.combination))
        << summaryText(chosen.judge) << '\n';
    out << format("  (%s, 전체 기간 %s에서 고른 것이라 판단 기간을 미리 안 선택입니다)\n",
                  sweepCombinationText(chosen.settings, chosen.autoSet).c_str(), spanText(period).c_str());
    const auto a = summaryFigure(outOfSample, column), b = summaryFigure(chosen.judge, column);
    if (a && b)
        out << format("  미리 안 값 (%s): %+.2f%%p\n", figure.label, *b - *a);
    return true;
}

} // namespace

std::int32_t addMonths(std::int32_t date, std::int32_t months)
{
    const std::int64_t index = static_cast<std::int64_t>(date / 10000) * 12 + (dateMonth(date) - 1) + months;
    const auto year = static_cast<std::int32_t>(index / 12);
    const auto month = static_cast<std::int32_t>(index % 12) + 1;
    return year * 10000 + month * 100 + std::min(dateDay(date), daysInMonth(year, month));
}

std::vector<WalkWindow> walkWindows(std::int32_t start, std::int32_t end, std::int32_t chooseMonths,
                                    std::int32_t judgeMonths)
{
    std::vector<WalkWindow> windows;
    for (std::int32_t offset = 0;; offset += judgeMonths) {
        WalkWindow w;
        w.choose.start = addMonths(start, offset);
        w.judge.start = addMonths(start, offset + chooseMonths);
        w.choose.end = dayBefore(w.judge.start);
        w.judge.end = dayBefore(addMonths(start, offset + chooseMonths + judgeMonths));
        if (w.judge.end > end || windows.size() >= 1000)
            break;
        windows.push_back(w);
    }
    return windows;
}

OptionValues runValuesOfSweep(const OptionValues& values)
{
    OptionValues rest = values.without({"--choose", "--judge", "--walk", "--dry-run", "--resume"});
    if (values.has("--choose") != values.has("--judge"))
        throw values.error(values.has("--choose") ? "--judge" : "--choose",
                           "--choose와 --judge는 함께 입력하십시오 (고르는 기간과 판단 기간).");
    if (!values.has("--choose"))
        return rest;
    for (const char* option : {"--start", "--end", "--walk"})
        if (values.has(option))
            throw values.error(option, "--choose가 기간을 정하므로 함께 쓸 수 없습니다.");
    const FundSpan choose = readSpan(values, "--choose");
    return rest.withDefault("--start", std::to_string(choose.start)).withDefault("--end", std::to_string(choose.end));
}

void readSweepSpans(const OptionValues& values, SweepPlan& plan)
{
    plan.dryRun = values.has("--dry-run");
    plan.resume = values.has("--resume");
    if (plan.dryRun && plan.resume)
        throw values.error("--resume", "--dry-run과 함께 쓸 수 없습니다.");
    const std::int32_t start = plan.base.params.startDate, end = plan.base.params.endDate;
    if (values.has("--judge")) {
        const FundSpan judge = readSpan(values, "--judge");
        if (judge.start <= end && judge.end >= start)
            plan.base.notes.push_back("--judge의 기간이 --choose의 기간과 겹쳐, 판단 기간의 수치가 고른 기간 밖의 "
                                      "결과만은 아닙니다.");
        plan.spans.judge = judge;
    }
    if (const auto walk = values.text("--walk")) {
        const auto colon = walk->find(':');
        const auto c = wholeInteger(std::string_view(*walk).substr(0, colon));
        const auto j = colon == std::string::npos ? std::nullopt : wholeInteger(std::string_view(*walk).substr(colon + 1));
        if (!c || !j || *c < 1 || *j < 1 || *c > 1200 || *j > 1200)
            throw values.error("--walk", "고르는개월:판단개월로, 1에서 1200 사이의 정수 둘을 입력하십시오 (" + *walk + ")");
        plan.spans.chooseMonths = static_cast<std::int32_t>(*c);
        plan.spans.judgeMonths = static_cast<std::int32_t>(*j);
        plan.spans.windows = walkWindows(start, end, plan.spans.chooseMonths, plan.spans.judgeMonths);
        if (plan.spans.windows.empty())
            throw values.error("--walk", format("기간 %s에 고르는 기간 %lld개월과 판단 기간 %lld개월이 들어가지 않습니다. "
                                                "--start를 앞당기거나 --end를 늦추십시오.",
                                                spanText({start, end}).c_str(), static_cast<long long>(*c),
                                                static_cast<long long>(*j)));
        const auto lines = combinationCount(plan) * static_cast<std::int64_t>(plan.spans.windows.size() + 1);
        if (lines > 1000000)
            throw values.error("--walk", format("조합 수 x (창 %zu개 + 1)이 너무 많습니다 (%lld줄, 1000000줄까지)",
                                                plan.spans.windows.size(), static_cast<long long>(lines)));
    }
}

std::vector<FundSpan> sessionSpans(const SweepPlan& plan)
{
    std::vector<FundSpan> spans = {{plan.base.params.startDate, plan.base.params.endDate}};
    if (plan.spans.judge)
        spans.push_back(*plan.spans.judge);
    for (const auto& w : plan.spans.windows) {
        spans.push_back(w.choose);
        spans.push_back(w.judge);
    }
    return spans;
}

void addSpanIdentity(const SweepPlan& plan, SweepIdentity& id)
{
    const auto after = [&](const std::string& name, std::vector<SettingLine> lines) {
        auto at = std::find_if(id.settings.begin(), id.settings.end(), [&](const SettingLine& s) { return s.name == name; });
        id.settings.insert(at == id.settings.end() ? at : at + 1, lines.begin(), lines.end());
    };
    if (plan.spans.judge)
        after("end_date", {{"judge_start_date", dateText(plan.spans.judge->start)},
                           {"judge_end_date", dateText(plan.spans.judge->end)}});
    if (plan.spans.walk())
        after("end_date",
              {{"walk", format("%d:%d", plan.spans.chooseMonths, plan.spans.judgeMonths)},
               {"windows", std::to_string(plan.spans.windows.size())}});
    after("risk_profile", {{"rank", plan.rank}});
}

std::string walkCsvHeader(const std::string& figure)
{
    std::vector<std::string> names = {"window",     "choose_start", "choose_end", "judge_start",
                                      "judge_end",  "choose_funds", "judge_funds", "combination"};
    for (const SettingSpec* s : sweepSettings)
        names.emplace_back(s->key);
    names.emplace_back(setting::autoSet.key);
    for (const std::string& name : {"choose_" + figure, "plateau_" + figure, "judge_" + figure, std::string("judge_rank"),
                                    "judge_best_" + figure, std::string("judge_best_combination"),
                                    "judge_median_" + figure})
        names.push_back(name);
    return joinedFields(names);
}

std::string walkSummaryCsvHeader()
{
    std::vector<std::string> names = {"series", "combination"};
    for (const SettingSpec* s : sweepSettings)
        names.emplace_back(s->key);
    names.emplace_back(setting::autoSet.key);
    names.insert(names.end(), summaryColumnNames().begin(), summaryColumnNames().end());
    return joinedFields(names);
}

// The best ten of the period (window 0) by the sweep's figure, with their plateaus once the
// sweep is whole and their judged figures when there is a judge span.
void printBestTen(const SweepPlan& plan, const std::vector<SweepLine>& lines, bool complete, std::int64_t total,
                  std::ostream& out)
{
    const std::string column = figureOf(plan.rank).column;
    const auto best = rankedWindowLines(lines, 0, column);
    out << format("%s: %lld개 조합%s. %s 기준 상위 %zu개%s:\n", plan.out.c_str(), static_cast<long long>(best.size()),
                  plan.shards > 1 ? format(" (%lld/%lld 조각, 전체 %lld개)", static_cast<long long>(plan.shard),
                                           static_cast<long long>(plan.shards), static_cast<long long>(total))
                                        .c_str()
                                  : "",
                  plan.rank.c_str(), std::min<std::size_t>(10, best.size()),
                  plan.spans.judged() ? format(" (%s)", spanText({plan.base.params.startDate, plan.base.params.endDate}).c_str()).c_str()
                                      : "");
    for (std::size_t i = 0; i < best.size() && i < 10; ++i) {
        const auto& l = best[i];
        out << format("%2zu. %s  ", i + 1, sweepCombinationText(l.settings, l.autoSet).c_str())
            << (l.summary ? sweepFiguresText(*l.summary) : std::string("(펀드 없음)"));
        if (complete)
            out << "  plateau " << percentText(l.plateau);
        if (plan.spans.judge)
            out << "  | 판단 기간 " << percentText(summaryFigure(l.judge, column));
        out << '\n';
    }
    if (complete && !best.empty() && best.front().rank == 1)
        out << format("1위는 조합 %lld개를 시도해 고른 것입니다 (plateau %s: 1위와 바꾼 설정마다 한 칸씩 이웃한 "
                      "조합들의 %s을 모은 중앙값).\n",
                      static_cast<long long>(best.size()), percentText(best.front().plateau).c_str(),
                      figureOf(plan.rank).label);
}

// Takes back the whole combinations (every window's line) of a file an earlier run of the same
// sweep and shard wrote. False, with the reason said, when the file is another sweep's.
bool takeResumedLines(const SweepPlan& plan, const SweepIdentity& identity, SweepFile& file,
                      std::set<std::int64_t>& held, std::ostream& err)
{
    const auto bytes = readWholeFile(plan.out);
    if (!bytes)
        return true;
    auto& lines = file.lines;
    const SweepCsvRead read = readSweepCsv(*bytes);
    if (!read.file) {
        err << format("%s:%zu: %s. --resume은 같은 sweep이 쓴 파일에서만 이어 갑니다.\n", plan.out.c_str(),
                      read.badLine, read.problem.c_str());
        return false;
    }
    if (const auto difference = sweepDifference(read.file->identity, identity)) {
        err << plan.out.string() << ": 다른 sweep의 파일이라 이어 갈 수 없습니다 (" << *difference << ").\n";
        return false;
    }
    if (read.file->identity.shards != identity.shards) {
        err << plan.out.string() << ": 다른 조각(shard)의 파일이라 이어 갈 수 없습니다.\n";
        return false;
    }
    // Only whole combinations: every window's line.
    const std::size_t per = plan.spans.windows.size() + 1;
    std::map<std::int64_t, std::vector<SweepLine>> groups;
    for (const auto& l : read.file->lines)
        groups[l.combination].push_back(l);
    for (auto& [n, group] : groups)
        if (group.size() == per) {
            held.insert(n);
            lines.insert(lines.end(), group.begin(), group.end());
        }
    return true;
}

int runSweepSpans(const SweepPlan& plan, const SweepIdentity& identity, const SeriesSession& session,
                  std::ostream& out, std::ostream& err, SweepWatch* watch)
{
    const RunData& inputs = session.inputs();
    const std::int64_t total = combinationCount(plan);
    SweepFile file{identity, {}};
    auto& lines = file.lines;
    std::set<std::int64_t> held; // combinations the file holds whole

    // A sweep cut short goes on from its file: the same sweep, the same shard.
    if (plan.resume && !takeResumedLines(plan, identity, file, held, err))
        return exitFailed;

    const std::int64_t mine = (total - plan.shard) / plan.shards + 1;
    // A window shows its own progress (and stderr may be a terminal).
    TerminalProgress progress(watch == nullptr);
    progress.begin(format("%lld개 조합 중 %lld번째부터 %lld개마다 실행합니다%s....", static_cast<long long>(total),
                          static_cast<long long>(plan.shard), static_cast<long long>(plan.shards),
                          held.empty() ? "" : format(" (%zu개는 파일에 있습니다)", held.size()).c_str()));
    StockNotes notes;
    // The file is written as the combinations finish, so that a sweep cut short loses little;
    // never so often that writing costs more than a twentieth of the time.
    auto lastWrite = std::chrono::steady_clock::now();
    double writeSeconds = 0;
    bool first = true;
    std::int64_t done = static_cast<std::int64_t>(held.size());
    const auto write = [&] {
        std::stable_sort(lines.begin(), lines.end(), [](const SweepLine& a, const SweepLine& b) {
            return std::pair(a.combination, a.window) < std::pair(b.combination, b.window);
        });
        const auto began = std::chrono::steady_clock::now();
        const bool ok = writeSweepFile(plan.out, file);
        lastWrite = std::chrono::steady_clock::now();
        writeSeconds = std::chrono::duration<double>(lastWrite - began).count();
        return ok;
    };
    for (std::int64_t number = plan.shard; number <= total; number += plan.shards) {
        if (held.contains(number))
            continue;
        const SweepSettings settings = combination(plan, number);
        const SimParams params = paramsOf(plan, settings);
        if (const auto problem = validate(params)) {
            progress.end();
            err << sweepCombinationText(settings, inputs.autoSet) << ": " << problem->message << '\n';
            return exitFailed;
        }
        const auto funds = session.run(params);
        StockNotes combinationNotes;
        for (std::size_t k = 0; k < funds.size(); ++k)
            combinationNotes.add(inputs, k, funds[k].outcomes);
        notes.merge(combinationNotes);
        for (auto& l : linesOf(plan, session, number, settings, inputs.autoSet, funds))
            lines.push_back(std::move(l));
        ++done;
        const double since = std::chrono::duration<double>(std::chrono::steady_clock::now() - lastWrite).count();
        // A window's sweep writes only a whole file: one cut short leaves the last one as it was.
        if (watch && watch->combinationDone && !watch->combinationDone(done, mine)) {
            progress.end();
            watch->cancelled = true;
            return exitFailed;
        }
        if (!watch && (first || since >= 20 * writeSeconds) && done < mine && !write()) {
            progress.end();
            err << plan.out.string() << " 파일을 쓸 수 없습니다.\n";
            return exitFailed;
        }
        first = false;
        faultPoint("sweep:combination");
        progress.setPosition(static_cast<int>(100 * done / std::max<std::int64_t>(mine, 1)));
    }
    progress.end();
    if (!write()) {
        err << plan.out.string() << " 파일을 쓸 수 없습니다.\n";
        return exitFailed;
    }

    if (watch) {
        watch->whole = file;
        rankSweepLines(watch->whole.lines, figureOf(plan.rank).column);
    }
    // The best of the period (window 0) by the sweep's figure.
    const bool complete = sweepComplete(file);
    printBestTen(plan, lines, complete, total, out);
    int status = exitDone;
    if (complete && !judgeTheChoice(plan, identity, session, lines, out, err))
        status = exitFailed;
    if (!complete && plan.spans.walk())
        out << "이 파일은 sweep의 일부라 창마다의 선택(walkforward.csv)은 조각을 sweep-merge로 합친 뒤 같은 명령에 "
               "--resume과 합친 파일의 --out을 주어 만듭니다.\n";
    // What the funds did with each stock that the figures cannot show.
    for (const auto& line : notes.lines(inputs))
        err << line << '\n';
    return status;
}

int dryRunSweep(const SweepPlan& plan, const SweepIdentity&, const SeriesSession& session, double loadSeconds,
                std::ostream& out, std::ostream&)
{
    const std::int64_t total = combinationCount(plan);
    const std::int64_t mine = (total - plan.shard) / plan.shards + 1;
    const std::size_t funds = session.fundCount();
    out << format("조합 %lld개", static_cast<long long>(total));
    if (plan.shards > 1)
        out << format(" 중 이 조각(%lld/%lld)의 %lld개", static_cast<long long>(plan.shard),
                      static_cast<long long>(plan.shards), static_cast<long long>(mine));
    out << format(", 조합마다 펀드 %zu개", funds);
    const auto spans = sessionSpans(plan);
    if (spans.size() > 1) {
        out << " (";
        if (plan.spans.judge)
            out << format("고르는 기간 %zu개, 판단 기간 %zu개", session.spanFunds(0).size(), session.spanFunds(1).size());
        else
            out << format("전체 기간 %zu개, 창 %zu개의 고르는 기간과 판단 기간; 겹치는 펀드는 한 번", session.spanFunds(0).size(),
                          plan.spans.windows.size());
        out << ")";
    }
    const double runs = static_cast<double>(mine) * static_cast<double>(funds);
    out << format(": 펀드 %.0f번을 실행합니다.\n", runs);
    // The fund in the middle of the calendar, with the first combination.
    const double one = session.secondsOfOneFund(paramsOf(plan, combination(plan, plan.shard)), funds / 2);
    const int workers = session.workers();
    const double seconds = runs * one / workers;
    out << format("펀드 하나 %.2f ms, 작업 스레드 %d개: 약 %s (코어를 다른 작업과 나누면 더 걸립니다; 시장 읽기 "
                  "%.1f초 별도). 실행하지 않았고 아무 파일도 쓰지 않았습니다.\n",
                  one * 1000, workers,
                  seconds < 1 ? "1초 미만"
                  : seconds < 120 ? format("%.0f초", seconds).c_str()
                                : seconds < 7200 ? format("%.0f분", seconds / 60).c_str()
                                                 : format("%.1f시간", seconds / 3600).c_str(),
                  loadSeconds);
    return exitDone;
}

} // namespace kestrelan
