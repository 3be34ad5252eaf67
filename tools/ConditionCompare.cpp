#include "tools/ConditionCompare.h"

#include "engine/MarketRules.h"
#include "platform/core/Format.h"
#include "results/core/SweepRanks.h"
#include "tools/SweepCommand.h"
#include "tools/WalkForward.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <sstream>

namespace kestrelan {

namespace {

std::string dateOption(std::int32_t date) { return std::to_string(date); }

// A decimal as the command line reads one: fixed notation, no trailing zeros.
std::string decimalOption(double v)
{
    std::string text = format("%.6f", v);
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == '.')
        text.pop_back();
    return text;
}

} // namespace

std::int32_t settingValue(const SweepSettings& settings, const SettingSpec& setting)
{
    return settings.*sweepSettingField(setting);
}

void setSettingValue(SweepSettings& settings, const SettingSpec& setting, std::int32_t value)
{
    settings.*sweepSettingField(setting) = value;
}

OptionValues comparisonOptions(const ComparisonRequest& r, const std::filesystem::path& out)
{
    const SimParams& p = r.settings;
    std::map<std::string, std::string> v;
    std::string codes;
    for (const auto& c : r.codes)
        codes += (codes.empty() ? "" : ",") + c;
    v["--stocks"] = codes;
    v["--amount"] = std::to_string(r.amount);
    v["--invest-mode"] = std::to_string(static_cast<int>(p.investMode));
    if (!r.choose.empty() || !r.judge.empty()) {
        if (!r.choose.empty())
            v["--choose"] = r.choose;
        if (!r.judge.empty())
            v["--judge"] = r.judge;
    } else {
        v["--start"] = dateOption(p.startDate);
        v["--end"] = dateOption(p.endDate);
    }
    v["--cadence"] = std::to_string(static_cast<int>(p.fundCadence));
    v["--years"] = std::to_string(p.years);
    v["--commission"] = decimalOption(p.commissionPct);
    v["--include-tax"] = p.includeTax ? "1" : "0";
    v["--auto-set"] = p.autoSet ? "1" : "0";
    if (p.rules != rulesName::design)
        v["--rules"] = p.rules;
    if (p.dividends >= 0)
        v["--dividends"] = p.dividends ? "1" : "0";
    const SweepSettings form = sweepSettingsOf(p);
    for (const SettingSpec* s : sweepSettings)
        if (sweepSettingUsed(*s, p.autoSet))
            v[std::string(s->option)] = std::to_string(settingValue(form, *s));
    for (const auto& range : r.ranges)
        v[std::string(range.setting->option)] = range.text;
    v["--rank"] = r.rank;
    v["--out"] = out.string();
    return OptionValues("sweep", std::move(v));
}

std::string windowWords(const std::string& message)
{
    // The command line's phrases about its own options, as the window's user does it.
    const std::pair<const char*, const char*> phrases[] = {
        {"(--auto-set 1)", ""},
        {"--auto-set 0과 함께 입력하십시오.", "설정 창에서 자동설정을 끄고 비교하십시오."},
        {"--auto-set 0에서는", "자동설정을 끄면"},
        {"--choose와 --judge는 함께 입력하십시오 (고르는 기간과 판단 기간).", "고르는 기간과 판단 기간은 함께 입력하십시오."},
        {"beat-hold는 종목이 하나인 sweep에서만", "종목 보유보다 높은 펀드 비율은 종목이 하나인 비교에서만"},
    };
    std::string text = message;
    for (const auto& [from, to] : phrases)
        if (const auto at = text.find(from); at != std::string::npos)
            text.replace(at, std::string_view(from).size(), to);
    // The option a message is about, and any other it names, by the window's labels.
    const auto label = [](std::string_view option) -> std::optional<std::string> {
        const std::pair<const char*, const char*> own[]
            = {{"--choose", "고르는 기간"}, {"--judge", "판단 기간"}, {"--rank", "순위 기준"}, {"--amount", "투자금액"}};
        for (const auto& [o, l] : own)
            if (option == o)
                return l;
        for (const SettingSpec* s : allSettings())
            if (!s->option.empty() && s->option == option)
                return std::string(s->label);
        return std::nullopt;
    };
    for (std::size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at + 1)) {
        std::size_t end = at + 2;
        while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '-'))
            ++end;
        if (const auto l = label(std::string_view(text).substr(at, end - at)))
            text.replace(at, end - at, *l);
    }
    return text;
}

Comparison compareConditions(const ComparisonRequest& request, const std::filesystem::path& workDir,
                             const std::filesystem::path& programDir,
                             const std::function<bool(std::int64_t, std::int64_t)>& combinationDone)
{
    Comparison c;
    c.column = rankFigureColumn(request.rank).value_or("fund_median_pct");
    std::ostringstream out, err;
    SweepWatch watch;
    watch.combinationDone = combinationDone;
    try {
        const int status
            = runSweep(comparisonOptions(request, workDir / sweepCsvFile), workDir, programDir, out, err, &watch);
        c.message = err.str();
        if (watch.cancelled) {
            c.status = Comparison::Status::Cancelled;
            return c;
        }
        c.status = status == exitDone ? Comparison::Status::Done : Comparison::Status::Failed;
    } catch (const UsageError& e) {
        c.status = Comparison::Status::Refused;
        c.message = windowWords(e.what());
        return c;
    }
    if (c.status == Comparison::Status::Done)
        c.file = std::move(watch.whole);
    // The command prints the best ten, then, after a blank line, what the judge span says.
    const std::string printed = out.str();
    if (const auto blank = printed.find("\n\n"); blank != std::string::npos && c.status == Comparison::Status::Done)
        c.verdict = printed.substr(blank + 2);
    while (!c.message.empty() && c.message.back() == '\n')
        c.message.pop_back();
    return c;
}

FigureGrid figureGrid(const SweepFile& file, const std::string& column, const SettingSpec& x, const SettingSpec* y)
{
    FigureGrid g;
    const auto place = [](std::vector<std::int32_t>& values, std::int32_t v) {
        const auto it = std::find(values.begin(), values.end(), v);
        if (it != values.end())
            return static_cast<std::size_t>(it - values.begin());
        values.push_back(v);
        return values.size() - 1;
    };
    std::vector<std::pair<std::pair<std::size_t, std::size_t>, const SweepLine*>> placed;
    for (const auto& l : file.lines) {
        if (l.window != 0)
            continue;
        const std::size_t col = place(g.xs, settingValue(l.settings, x));
        const std::size_t row = y ? place(g.ys, settingValue(l.settings, *y)) : place(g.ys, 0);
        placed.push_back({{row, col}, &l});
        if (const auto v = summaryFigure(l.summary, column)) {
            g.low = g.low ? std::min(*g.low, *v) : *v;
            g.high = g.high ? std::max(*g.high, *v) : *v;
        }
    }
    g.cells.assign(g.ys.size(), std::vector<const SweepLine*>(g.xs.size(), nullptr));
    for (const auto& [at, line] : placed)
        g.cells[at.first][at.second] = line;
    return g;
}

std::array<int, 3> heatColour(double value, double low, double high, bool lowerIsBetter)
{
    // The workbook's scale: red for the worst, yellow in the middle, green for the best.
    constexpr std::array<int, 3> worst{0xF8, 0x69, 0x6B}, middle{0xFF, 0xEB, 0x84}, best{0x63, 0xBE, 0x7B};
    double t = high > low ? (value - low) / (high - low) : 0.5;
    t = std::clamp(lowerIsBetter ? 1 - t : t, 0.0, 1.0);
    const auto& a = t < 0.5 ? worst : middle;
    const auto& b = t < 0.5 ? middle : best;
    const double u = t < 0.5 ? t * 2 : (t - 0.5) * 2;
    std::array<int, 3> rgb{};
    for (std::size_t i = 0; i < 3; ++i)
        rgb[i] = static_cast<int>(std::lround(a[i] + (b[i] - a[i]) * u));
    return rgb;
}

} // namespace kestrelan
