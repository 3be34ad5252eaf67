#include "results/core/SweepRanks.h"

#include "formats/FieldReader.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>

namespace kestrelan {

const std::vector<RankFigure>& rankFigures()
{
    static const std::vector<RankFigure> figures = {
        {"median", "fund_median_pct", "수익률 중앙값"},
        {"beat", "beat_share_pct", "KOSPI보다 높은 펀드 비율"},
        {"beat-hold", "beat_hold_share_pct", "종목 보유보다 높은 펀드 비율"},
        {"worst", "fund_worst_pct", "최저 수익률"},
        {"drawdown", "fund_median_drawdown_pct", "최대낙폭 중앙값"},
    };
    return figures;
}

std::optional<std::string> rankFigureColumn(std::string_view word)
{
    for (const auto& f : rankFigures())
        if (word == f.word)
            return std::string(f.column);
    return std::nullopt;
}

bool lowerIsBetter(std::string_view column) { return column.find("drawdown") != std::string_view::npos; }

std::optional<double> summaryFigure(const std::optional<SeriesSummary>& summary, std::string_view column)
{
    if (!summary)
        return std::nullopt;
    const auto& names = summaryColumnNames();
    const auto at = std::find(names.begin(), names.end(), column);
    if (at == names.end())
        return std::nullopt;
    const std::string field = summaryFields(summary)[static_cast<std::size_t>(at - names.begin())];
    if (field.empty())
        return std::nullopt;
    return fieldNumber(field);
}

std::optional<double> medianValue(std::vector<double> values)
{
    if (values.empty())
        return std::nullopt;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

namespace {

// The settings a line's file shows (none for a column left empty), in the order of the columns.
using SettingKey = std::array<std::optional<std::int32_t>, 6>;

SettingKey keyOf(const SweepLine& l)
{
    const SweepSettings& s = l.settings;
    const std::int32_t values[] = {s.marginPct, s.secondPct, s.rangeLowPct, s.rangeHighPct, s.initialBuyPct, s.riskProfile};
    static_assert(std::size(values) == std::tuple_size_v<SettingKey> && std::size(values) == std::size(sweepSettings));
    SettingKey key;
    for (std::size_t i = 0; i < key.size(); ++i)
        if (sweepSettingUsed(*sweepSettings[i], l.autoSet))
            key[i] = values[i];
    return key;
}

// Ranks 1, 2, ... by the figure of `summary` (the better first, ties by the combination's number).
template <class Summary, class Rank>
void rankBy(std::vector<SweepLine*>& window, const std::string& column, Summary summary, Rank rank)
{
    std::vector<std::pair<double, SweepLine*>> ranked;
    for (SweepLine* l : window) {
        l->*rank = 0;
        if (const auto v = summaryFigure(l->*summary, column))
            ranked.emplace_back(lowerIsBetter(column) ? -*v : *v, l);
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (std::size_t i = 0; i < ranked.size(); ++i)
        ranked[i].second->*rank = static_cast<std::int64_t>(i + 1);
}

void plateaus(std::vector<SweepLine*>& window, const std::string& column)
{
    std::map<SettingKey, const SweepLine*> byKey;
    std::array<std::set<std::int32_t>, 6> values; // each setting's values in the window
    for (const SweepLine* l : window) {
        const SettingKey key = keyOf(*l);
        byKey.emplace(key, l);
        for (std::size_t a = 0; a < key.size(); ++a)
            if (key[a])
                values[a].insert(*key[a]);
    }
    for (SweepLine* l : window) {
        l->plateau.reset();
        const auto own = summaryFigure(l->summary, column);
        if (!own)
            continue;
        std::vector<double> figures = {*own};
        const SettingKey key = keyOf(*l);
        for (std::size_t a = 0; a < key.size(); ++a) {
            if (!key[a])
                continue;
            const auto& axis = values[a];
            const auto at = axis.find(*key[a]);
            for (const auto step : {-1, 1}) {
                if ((step < 0 && at == axis.begin()) || (step > 0 && std::next(at) == axis.end()))
                    continue;
                SettingKey next = key;
                next[a] = *(step < 0 ? std::prev(at) : std::next(at));
                if (const auto it = byKey.find(next); it != byKey.end())
                    if (const auto v = summaryFigure(it->second->summary, column))
                        figures.push_back(*v);
            }
        }
        l->plateau = medianValue(figures);
    }
}

} // namespace

void rankSweepLines(std::vector<SweepLine>& lines, const std::string& column)
{
    std::map<std::int32_t, std::vector<SweepLine*>> windows;
    for (auto& l : lines)
        windows[l.window].push_back(&l);
    for (auto& [window, members] : windows) {
        std::stable_sort(members.begin(), members.end(),
                         [](const SweepLine* a, const SweepLine* b) { return a->combination < b->combination; });
        rankBy(members, column, &SweepLine::summary, &SweepLine::rank);
        rankBy(members, column, &SweepLine::judge, &SweepLine::judgeRank);
        plateaus(members, column);
    }
}

void clearSweepRanks(std::vector<SweepLine>& lines)
{
    for (auto& l : lines) {
        l.rank = l.judgeRank = 0;
        l.plateau.reset();
    }
}

} // namespace kestrelan
