#include "results/core/SweepCsv.h"

#include "formats/FieldReader.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"
#include "results/core/SweepRanks.h"

#include <algorithm>
#include <span>

namespace kestrelan {

namespace {

constexpr std::string_view marker = "# kestrelan sweep";

// combination [window] settings... auto_set
std::size_t settingFieldsOf(const SweepLayout& layout)
{
    return 1 + (layout.walk ? 1 : 0) + std::size(sweepSettings) + 1;
}

std::size_t summaryColumnsOf(const SweepLayout& layout)
{
    return layout.olderSummary ? olderSummaryColumns() : summaryColumnNames().size();
}

std::size_t fieldCount(const SweepLayout& layout)
{
    const std::size_t summary = summaryColumnsOf(layout);
    const bool ranked = !layout.figure.empty();
    return settingFieldsOf(layout) + summary + (ranked ? 2 : 0) + (layout.judged ? summary + (ranked ? 1 : 0) : 0);
}

std::string rankText(std::int64_t rank) { return rank > 0 ? std::to_string(rank) : std::string(); }

std::string joined(const std::vector<std::string>& fields)
{
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i)
        line += (i ? "," : "") + fields[i];
    return line;
}

std::string shardsText(const SweepShards& s)
{
    std::string parts;
    for (const auto k : s.parts)
        parts += (parts.empty() ? "" : ",") + std::to_string(k);
    return parts + "/" + std::to_string(s.of);
}

std::optional<std::int64_t> positive(std::string_view text)
{
    if (text.empty() || text.size() > 12 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const auto v = std::stoll(std::string(text));
    return v > 0 ? std::optional<std::int64_t>(v) : std::nullopt;
}

std::optional<std::int64_t> wholeNumber(std::string_view text)
{
    if (text == "0")
        return 0;
    return positive(text);
}

std::optional<SweepShards> readShards(std::string_view text)
{
    const auto slash = text.find('/');
    if (slash == std::string_view::npos)
        return std::nullopt;
    SweepShards s;
    s.parts.clear();
    const auto of = positive(text.substr(slash + 1));
    if (!of)
        return std::nullopt;
    s.of = *of;
    std::string_view parts = text.substr(0, slash);
    while (true) {
        const auto comma = parts.find(',');
        const auto k = positive(parts.substr(0, comma));
        if (!k || *k > s.of || (!s.parts.empty() && *k <= s.parts.back()))
            return std::nullopt;
        s.parts.push_back(*k);
        if (comma == std::string_view::npos)
            break;
        parts = parts.substr(comma + 1);
    }
    return s;
}

// A line of the file as its writer writes it, or nullopt.
std::optional<SweepLine> readLine(const std::vector<std::string_view>& f, const SweepLayout& layout,
                                  std::string& problem)
{
    const std::size_t settingFields = settingFieldsOf(layout);
    if (f.size() != fieldCount(layout)) {
        problem = format("칸이 %zu개로 %zu개여야 합니다", f.size(), fieldCount(layout));
        return std::nullopt;
    }
    SweepLine line;
    const auto combination = positive(f[0]);
    const auto window = layout.walk ? wholeNumber(f[1]) : std::optional<std::int64_t>(0);
    if (!combination || !window || *window > layout.windows
        || (f[settingFields - 1] != "0" && f[settingFields - 1] != "1")) {
        problem = "조합 번호나 창, auto_set을 읽을 수 없습니다";
        return std::nullopt;
    }
    line.combination = *combination;
    line.window = static_cast<std::int32_t>(*window);
    line.autoSet = f[settingFields - 1] == "1";
    std::int32_t* const values[] = {&line.settings.marginPct,     &line.settings.secondPct,
                                    &line.settings.rangeLowPct,   &line.settings.rangeHighPct,
                                    &line.settings.initialBuyPct, &line.settings.riskProfile};
    const std::size_t first = settingFields - 1 - std::size(values);
    for (std::size_t i = 0; i < std::size(values); ++i)
        if (!f[first + i].empty() && isIntegerText(f[first + i]))
            *values[i] = fieldInteger(f[first + i]);
    const std::size_t summary = summaryColumnsOf(layout);
    bool sound = false;
    std::size_t at = settingFields;
    line.summary = parseSummaryFields(std::span(f).subspan(at, summary), sound, summary);
    at += summary;
    const auto rankOf = [&](std::string_view t) {
        const auto v = t.empty() ? std::optional<std::int64_t>(0) : positive(t);
        sound = sound && v;
        return v.value_or(0);
    };
    if (!layout.figure.empty()) {
        line.rank = rankOf(f[at++]);
        if (!f[at].empty()) {
            sound = sound && isNumberText(f[at]);
            line.plateau = fieldNumber(f[at]);
        }
        ++at;
    }
    if (layout.judged) {
        bool judged = false;
        line.judge = parseSummaryFields(std::span(f).subspan(at, summary), judged, summary);
        sound = sound && judged;
        at += summary;
        if (!layout.figure.empty())
            line.judgeRank = rankOf(f[at++]);
    }
    std::string text;
    for (std::size_t i = 0; i < f.size(); ++i)
        text += (i ? "," : "") + std::string(f[i]);
    if (!sound || sweepCsvLine(line, layout) != text + "\n") {
        problem = "sweep이 쓰는 줄이 아닙니다";
        return std::nullopt;
    }
    return line;
}

} // namespace

bool sweepSettingUsed(const SettingSpec& s, bool autoSet)
{
    if (&s == &setting::riskProfile)
        return autoSet;
    if (&s == &setting::rangeLow || &s == &setting::rangeHigh || &s == &setting::initialBuy)
        return !autoSet;
    return true;
}

bool SweepShards::holds(std::int64_t combination) const
{
    const std::int64_t k = (combination - 1) % of + 1;
    return combination >= 1 && std::binary_search(parts.begin(), parts.end(), k);
}

std::optional<std::string> identitySetting(const SweepIdentity& identity, std::string_view name)
{
    for (const auto& s : identity.settings)
        if (s.name == name)
            return s.value;
    return std::nullopt;
}

SweepLayout sweepLayout(const SweepIdentity& identity)
{
    SweepLayout layout;
    if (const auto rank = identitySetting(identity, "rank"))
        layout.figure = rankFigureColumn(*rank).value_or("");
    layout.walk = identitySetting(identity, "walk").has_value();
    layout.judged = layout.walk || identitySetting(identity, "judge_start_date").has_value();
    if (const auto windows = identitySetting(identity, "windows"))
        layout.windows = static_cast<std::int32_t>(std::min<std::int64_t>(positive(*windows).value_or(0), 10000));
    return layout;
}

std::string sweepCsvHeader(const SweepLayout& layout)
{
    std::vector<std::string> names = {"combination"};
    if (layout.walk)
        names.emplace_back("window");
    for (const SettingSpec* s : sweepSettings)
        names.emplace_back(s->key);
    names.emplace_back(setting::autoSet.key);
    const auto summary = std::span(summaryColumnNames()).first(summaryColumnsOf(layout));
    names.insert(names.end(), summary.begin(), summary.end());
    if (!layout.figure.empty()) {
        names.emplace_back("rank");
        names.push_back("plateau_" + layout.figure);
    }
    if (layout.judged) {
        for (const auto& name : summary)
            names.push_back("judge_" + name);
        if (!layout.figure.empty())
            names.emplace_back("judge_rank");
    }
    return joined(names) + "\n";
}

std::string sweepCsvLine(const SweepLine& l, const SweepLayout& layout)
{
    const SweepSettings& s = l.settings;
    const std::int32_t values[] = {s.marginPct, s.secondPct, s.rangeLowPct, s.rangeHighPct, s.initialBuyPct, s.riskProfile};
    static_assert(std::size(values) == std::size(sweepSettings));
    std::vector<std::string> fields = {std::to_string(l.combination)};
    if (layout.walk)
        fields.push_back(std::to_string(l.window));
    for (std::size_t i = 0; i < std::size(values); ++i)
        fields.push_back(sweepSettingUsed(*sweepSettings[i], l.autoSet) ? std::to_string(values[i]) : std::string());
    fields.emplace_back(l.autoSet ? "1" : "0");
    const auto summary = summaryFields(l.summary, summaryColumnsOf(layout));
    fields.insert(fields.end(), summary.begin(), summary.end());
    if (!layout.figure.empty()) {
        fields.push_back(rankText(l.rank));
        fields.push_back(l.plateau ? format("%.2f", *l.plateau) : std::string());
    }
    if (layout.judged) {
        const auto judged = summaryFields(l.judge, summaryColumnsOf(layout));
        fields.insert(fields.end(), judged.begin(), judged.end());
        if (!layout.figure.empty())
            fields.push_back(rankText(l.judgeRank));
    }
    return joined(fields) + "\n";
}

std::optional<std::int64_t> firstMissingCombination(const SweepFile& file)
{
    const auto& id = file.identity;
    const std::int32_t windows = sweepLayout(id).walk ? sweepLayout(id).windows : 0;
    std::size_t at = 0;
    for (std::int64_t n = 1; n <= id.combinations; ++n) {
        if (!id.shards.holds(n))
            continue;
        for (std::int32_t w = 0; w <= windows; ++w, ++at)
            if (at >= file.lines.size() || file.lines[at].combination != n || file.lines[at].window != w)
                return n;
    }
    return std::nullopt;
}

bool sweepComplete(const SweepFile& file)
{
    return file.identity.shards == SweepShards{} && !firstMissingCombination(file);
}

std::string sweepCsvText(const SweepFile& file)
{
    const SweepLayout layout = sweepLayout(file.identity);
    std::string text = std::string(marker) + "\n";
    for (const auto& s : file.identity.settings)
        text += "# " + s.name + "=" + s.value + "\n";
    text += "# combinations=" + std::to_string(file.identity.combinations) + "\n";
    text += "# shard=" + shardsText(file.identity.shards) + "\n";
    text += sweepCsvHeader(layout);
    // The ranks are made over the whole sweep, or not at all.
    std::vector<SweepLine> lines = file.lines;
    if (!layout.figure.empty() && sweepComplete(file))
        rankSweepLines(lines, layout.figure);
    else
        clearSweepRanks(lines);
    for (const auto& line : lines)
        text += sweepCsvLine(line, layout);
    return text;
}

SweepCsvRead readSweepCsv(std::string_view bytes)
{
    const std::string text = textModeBytes(bytes);
    SweepCsvRead read;
    SweepFile file;
    SweepLayout layout;
    std::vector<std::size_t> lineNumbers;
    bool combinations = false, shards = false;
    std::size_t number = 0, start = 0;
    const auto fail = [&](std::string problem) {
        read.badLine = number;
        read.problem = std::move(problem);
        return read;
    };
    enum class Part
    {
        Marker,
        Identity,
        Lines
    } part = Part::Marker;
    while (start < text.size()) {
        ++number;
        const auto end = text.find('\n', start);
        if (end == std::string::npos)
            return fail("줄이 끝나지 않았습니다 (잘린 파일)");
        const std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (part == Part::Marker) {
            if (line != marker)
                return fail("sweep.csv의 첫 줄(" + std::string(marker) + ")이 아닙니다");
            part = Part::Identity;
            continue;
        }
        if (part == Part::Identity && line.starts_with("# ")) {
            const auto equals = line.find('=');
            if (equals == std::string_view::npos)
                return fail("설정 줄을 읽을 수 없습니다");
            const std::string name(line.substr(2, equals - 2));
            const std::string value(line.substr(equals + 1));
            if (name == "combinations") {
                const auto n = positive(value);
                if (!n || *n > maxSweepCombinations)
                    return fail("조합 수를 읽을 수 없습니다");
                file.identity.combinations = *n;
                combinations = true;
            } else if (name == "shard") {
                const auto s = readShards(value);
                if (!s || s->of > maxSweepCombinations)
                    return fail("조각(shard)을 읽을 수 없습니다");
                file.identity.shards = *s;
                shards = true;
            } else {
                file.identity.settings.push_back({name, value});
            }
            continue;
        }
        if (part == Part::Identity) {
            if (!combinations || !shards)
                return fail("조합 수나 조각(shard) 줄이 없습니다");
            layout = sweepLayout(file.identity);
            if (const auto rank = identitySetting(file.identity, "rank"); rank && layout.figure.empty())
                return fail("순위 기준(rank=" + *rank + ")을 읽을 수 없습니다");
            if (layout.walk && layout.windows < 1)
                return fail("창의 수(windows)를 읽을 수 없습니다");
            // Today's summary columns, or those of a file written before the newest.
            layout.olderSummary = std::string(line) + "\n" != sweepCsvHeader(layout);
            if (std::string(line) + "\n" != sweepCsvHeader(layout))
                return fail("열 이름이 sweep.csv의 것이 아닙니다");
            part = Part::Lines;
            continue;
        }
        std::vector<std::string_view> fields;
        for (std::size_t from = 0;;) {
            const auto comma = line.find(',', from);
            fields.push_back(line.substr(from, comma == std::string_view::npos ? line.npos : comma - from));
            if (comma == std::string_view::npos)
                break;
            from = comma + 1;
        }
        std::string problem;
        auto parsed = readLine(fields, layout, problem);
        if (!parsed)
            return fail(problem);
        if (parsed->combination > file.identity.combinations || !file.identity.shards.holds(parsed->combination))
            return fail(format("%lld번 조합은 이 파일의 조각(%s)에 없습니다", static_cast<long long>(parsed->combination),
                               shardsText(file.identity.shards).c_str()));
        if (!file.lines.empty()
            && std::pair(parsed->combination, parsed->window)
                <= std::pair(file.lines.back().combination, file.lines.back().window))
            return fail(format("%lld번 조합이 순서에 맞지 않거나 두 번 있습니다",
                               static_cast<long long>(parsed->combination)));
        file.lines.push_back(std::move(*parsed));
        lineNumbers.push_back(number);
    }
    if (part != Part::Lines) {
        ++number;
        return fail("열 이름 줄이 없습니다");
    }
    // The ranks are what the lines give, over a whole sweep; none in any other file.
    if (!layout.figure.empty()) {
        std::vector<SweepLine> again = file.lines;
        if (sweepComplete(file))
            rankSweepLines(again, layout.figure);
        else
            clearSweepRanks(again);
        for (std::size_t i = 0; i < again.size(); ++i)
            if (sweepCsvLine(again[i], layout) != sweepCsvLine(file.lines[i], layout)) {
                number = lineNumbers[i];
                return fail("순위나 plateau가 이 파일의 조합들로 만든 것과 다릅니다");
            }
    }
    read.file = std::move(file);
    return read;
}

std::optional<std::string> sweepDifference(const SweepIdentity& a, const SweepIdentity& b)
{
    if (a.combinations != b.combinations)
        return format("combinations: %lld / %lld", static_cast<long long>(a.combinations),
                      static_cast<long long>(b.combinations));
    if (a.shards.of != b.shards.of)
        return format("shard: /%lld / /%lld", static_cast<long long>(a.shards.of), static_cast<long long>(b.shards.of));
    const auto valueOf = [](const SweepIdentity& id, const std::string& name) -> std::optional<std::string> {
        for (const auto& s : id.settings)
            if (s.name == name)
                return s.value;
        return std::nullopt;
    };
    std::vector<std::string> names;
    for (const auto* id : {&a, &b})
        for (const auto& s : id->settings)
            if (std::find(names.begin(), names.end(), s.name) == names.end())
                names.push_back(s.name);
    for (const auto& name : names) {
        const auto x = valueOf(a, name), y = valueOf(b, name);
        if (x != y)
            return name + ": " + x.value_or("(없음)") + " / " + y.value_or("(없음)");
    }
    return std::nullopt;
}

} // namespace kestrelan
