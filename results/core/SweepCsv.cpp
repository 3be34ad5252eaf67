#include "results/core/SweepCsv.h"

#include "formats/FieldReader.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"

#include <algorithm>

namespace kestrelan {

namespace {

constexpr std::string_view marker = "# kestrelan sweep";
constexpr std::size_t settingFields = 1 + std::size(sweepSettings) + 1; // combination ... auto_set

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
std::optional<SweepLine> readLine(const std::vector<std::string_view>& f, std::string& problem)
{
    if (f.size() != settingFields + summaryColumnNames().size()) {
        problem = format("칸이 %zu개로 %zu개여야 합니다", f.size(), settingFields + summaryColumnNames().size());
        return std::nullopt;
    }
    SweepLine line;
    const auto combination = positive(f[0]);
    if (!combination || (f[settingFields - 1] != "0" && f[settingFields - 1] != "1")) {
        problem = "조합 번호나 auto_set을 읽을 수 없습니다";
        return std::nullopt;
    }
    line.combination = *combination;
    line.autoSet = f[settingFields - 1] == "1";
    std::int32_t* const values[] = {&line.settings.marginPct,     &line.settings.secondPct,
                                    &line.settings.rangeLowPct,   &line.settings.rangeHighPct,
                                    &line.settings.initialBuyPct, &line.settings.riskProfile};
    for (std::size_t i = 0; i < std::size(values); ++i)
        if (!f[1 + i].empty() && isIntegerText(f[1 + i]))
            *values[i] = fieldInteger(f[1 + i]);
    bool sound = false;
    line.summary = parseSummaryFields(std::span(f).subspan(settingFields), sound);
    std::string text;
    for (std::size_t i = 0; i < f.size(); ++i)
        text += (i ? "," : "") + std::string(f[i]);
    if (!sound || sweepCsvLine(line) != text + "\n") {
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

const std::string& sweepCsvHeader()
{
    static const std::string text = [] {
        std::vector<std::string> names = {"combination"};
        for (const SettingSpec* s : sweepSettings)
            names.emplace_back(s->key);
        names.emplace_back(setting::autoSet.key);
        names.insert(names.end(), summaryColumnNames().begin(), summaryColumnNames().end());
        return joined(names) + "\n";
    }();
    return text;
}

std::string sweepCsvLine(const SweepLine& l)
{
    const SweepSettings& s = l.settings;
    const std::int32_t values[] = {s.marginPct, s.secondPct, s.rangeLowPct, s.rangeHighPct, s.initialBuyPct, s.riskProfile};
    static_assert(std::size(values) == std::size(sweepSettings));
    std::vector<std::string> fields = {std::to_string(l.combination)};
    for (std::size_t i = 0; i < std::size(values); ++i)
        fields.push_back(sweepSettingUsed(*sweepSettings[i], l.autoSet) ? std::to_string(values[i]) : std::string());
    fields.emplace_back(l.autoSet ? "1" : "0");
    const auto summary = summaryFields(l.summary);
    fields.insert(fields.end(), summary.begin(), summary.end());
    return joined(fields) + "\n";
}

std::string sweepCsvText(const SweepFile& file)
{
    std::string text = std::string(marker) + "\n";
    for (const auto& s : file.identity.settings)
        text += "# " + s.name + "=" + s.value + "\n";
    text += "# combinations=" + std::to_string(file.identity.combinations) + "\n";
    text += "# shard=" + shardsText(file.identity.shards) + "\n";
    text += sweepCsvHeader();
    for (const auto& line : file.lines)
        text += sweepCsvLine(line);
    return text;
}

SweepCsvRead readSweepCsv(std::string_view bytes)
{
    const std::string text = textModeBytes(bytes);
    SweepCsvRead read;
    SweepFile file;
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
                if (!n)
                    return fail("조합 수를 읽을 수 없습니다");
                file.identity.combinations = *n;
                combinations = true;
            } else if (name == "shard") {
                const auto s = readShards(value);
                if (!s)
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
            if (std::string(line) + "\n" != sweepCsvHeader())
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
        auto parsed = readLine(fields, problem);
        if (!parsed)
            return fail(problem);
        if (parsed->combination > file.identity.combinations || !file.identity.shards.holds(parsed->combination))
            return fail(format("%lld번 조합은 이 파일의 조각(%s)에 없습니다", static_cast<long long>(parsed->combination),
                               shardsText(file.identity.shards).c_str()));
        if (!file.lines.empty() && parsed->combination <= file.lines.back().combination)
            return fail(format("%lld번 조합이 순서에 맞지 않거나 두 번 있습니다",
                               static_cast<long long>(parsed->combination)));
        file.lines.push_back(std::move(*parsed));
    }
    if (part != Part::Lines) {
        ++number;
        return fail("열 이름 줄이 없습니다");
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
