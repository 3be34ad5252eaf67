#include "results/core/SeriesSummary.h"

#include "formats/ResultSet.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"

#include <algorithm>
#include <numeric>

namespace kestrelan {

namespace {

Spread spreadOf(const std::vector<double>& values, const std::vector<std::string>& starts)
{
    Spread s;
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    s.mean = std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
    s.median = percentile(sorted, 0.5);
    s.p10 = percentile(sorted, 0.1);
    s.p90 = percentile(sorted, 0.9);
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    s.worst = *low;
    s.best = *high;
    s.worstStart = starts[static_cast<std::size_t>(low - values.begin())];
    s.bestStart = starts[static_cast<std::size_t>(high - values.begin())];
    return s;
}

std::optional<double> medianOf(std::vector<double> values)
{
    if (values.empty())
        return std::nullopt;
    std::sort(values.begin(), values.end());
    return percentile(values, 0.5);
}

std::string percent(double v) { return format("%.2f%%", v); }

std::string percent(const std::optional<double>& v) { return v ? percent(*v) : "-"; }

std::string dateOrDash(std::int32_t d)
{
    return d == 0 ? "-" : format("%04d-%02d-%02d", d / 10000, d / 100 % 100, d % 100);
}

} // namespace

double percentile(const std::vector<double>& sorted, double q)
{
    if (sorted.empty())
        return 0;
    const double rank = q * static_cast<double>(sorted.size() - 1);
    const auto below = static_cast<std::size_t>(rank);
    if (below + 1 >= sorted.size())
        return sorted.back();
    return sorted[below] + (sorted[below + 1] - sorted[below]) * (rank - static_cast<double>(below));
}

std::optional<SeriesSummary> summarizeSeries(const std::vector<ResultCsvRow>& results,
                                             const std::vector<StatsCsvRow>& stats)
{
    std::vector<double> fund, index, excess;
    std::vector<std::string> starts;
    for (const auto& r : results) {
        if (!r.extent.complete)
            continue;
        fund.push_back(r.fundYield * 100);
        index.push_back(r.kospiYield * 100);
        excess.push_back((r.fundYield - r.kospiYield) * 100);
        starts.emplace_back(r.startDate);
    }
    if (fund.empty())
        return std::nullopt;
    SeriesSummary s;
    s.funds = static_cast<int>(fund.size());
    s.fund = spreadOf(fund, starts);
    s.index = spreadOf(index, starts);
    s.excess = spreadOf(excess, starts);
    std::size_t gains = 0, beats = 0;
    for (std::size_t i = 0; i < fund.size(); ++i) {
        gains += fund[i] > 0 ? 1 : 0;
        beats += excess[i] > 0 ? 1 : 0;
    }
    s.gainShare = 100.0 * static_cast<double>(gains) / static_cast<double>(fund.size());
    s.beatShare = 100.0 * static_cast<double>(beats) / static_cast<double>(fund.size());
    std::vector<double> fundFalls, indexFalls;
    for (const auto& r : stats) {
        fundFalls.push_back(r.fund.maxDrawdownPct);
        indexFalls.push_back(r.index.maxDrawdownPct);
    }
    s.medianFundDrawdown = medianOf(fundFalls);
    s.medianIndexDrawdown = medianOf(indexFalls);
    return s;
}

// The columns of the two tables, wide enough for a date and for "2006일 (2208일 중)" in the
// results window's list.
static std::vector<Column> seriesSummaryColumns() { return {{"항목", 150}, {"펀드", 82}, {"KOSPI", 82}, {"초과수익", 82}}; }
static std::vector<Column> riskColumns() { return {{"항목", 106}, {"펀드", 142}, {"KOSPI", 142}}; }

ListTable seriesSummaryTable(const SeriesSummary& s)
{
    ListTable t;
    t.columns = seriesSummaryColumns();
    const auto row = [&](const char* name, auto field) {
        t.rows.push_back({name, field(s.fund), field(s.index), field(s.excess)});
    };
    t.rows.push_back({"펀드 수", std::to_string(s.funds), "", ""});
    row("평균 수익률", [](const Spread& x) { return percent(x.mean); });
    row("중앙값", [](const Spread& x) { return percent(x.median); });
    row("하위 10%", [](const Spread& x) { return percent(x.p10); });
    row("상위 10%", [](const Spread& x) { return percent(x.p90); });
    row("최저", [](const Spread& x) { return percent(x.worst); });
    row("최저 펀드 시작일", [](const Spread& x) { return x.worstStart; });
    row("최고", [](const Spread& x) { return percent(x.best); });
    row("최고 펀드 시작일", [](const Spread& x) { return x.bestStart; });
    t.rows.push_back({"이익을 낸 펀드 비율", percent(s.gainShare), "", ""});
    t.rows.push_back({"지수보다 높은 펀드 비율", percent(s.beatShare), "", ""});
    t.rows.push_back({"최대낙폭 중앙값", percent(s.medianFundDrawdown), percent(s.medianIndexDrawdown), ""});
    return t;
}

ListTable riskTable(const StatsCsvRow& r)
{
    ListTable t;
    t.columns = riskColumns();
    const auto row = [&](const char* name, auto field) { t.rows.push_back({name, field(r.fund), field(r.index)}); };
    row("수익률", [](const RiskFigures& f) { return percent(f.returnPct); });
    row("연평균 수익률", [](const RiskFigures& f) { return percent(f.cagrPct); });
    row("최대낙폭", [](const RiskFigures& f) { return percent(f.maxDrawdownPct); });
    row("고점일", [](const RiskFigures& f) { return dateOrDash(f.peakDate); });
    row("저점일", [](const RiskFigures& f) { return dateOrDash(f.troughDate); });
    row("회복일", [](const RiskFigures& f) { return dateOrDash(f.recoveryDate); });
    row("변동성(연)", [](const RiskFigures& f) { return percent(f.volatilityPct); });
    row("샤프지수", [](const RiskFigures& f) { return f.sharpe ? format("%.2f", *f.sharpe) : "-"; });
    row("고점 아래 일수", [](const RiskFigures& f) { return format("%d일 (%d일 중)", f.underwaterDays, f.days); });
    return t;
}

Statistics emptyStatistics(ResultKind kind)
{
    Statistics st;
    st.table.columns = kind == ResultKind::FundSeries ? seriesSummaryColumns() : riskColumns();
    if (kind != ResultKind::FundSeries)
        st.underwater = underwaterData({});
    return st;
}

Statistics loadStatistics(ResultKind kind, const std::filesystem::path& dir)
{
    Statistics st = emptyStatistics(kind);
    const std::string resultBytes = readWholeFile(dir / resultCsvFile).value_or(std::string());
    auto results = readResultCsv(resultBytes);
    std::erase_if(results, [](const ResultCsvRow& r) { return !r.extent.complete; });
    const auto stats = readStatsCsv(readWholeFile(dir / statsCsvFile).value_or(std::string()));
    if (kind == ResultKind::FundSeries) {
        if (const auto summary = summarizeSeries(results, stats))
            st.table = seriesSummaryTable(*summary);
        return st;
    }
    if (!stats.empty())
        st.table = riskTable(stats.front());
    st.underwater = underwaterData(results);
    return st;
}

std::string settingLabel(const std::string& name)
{
    static const std::pair<const char*, const char*> labels[] = {
        {"stocks", "종목 수"},
        {"invest_mode", "투자방식"},
        {"start_date", "시작일"},
        {"end_date", "종료일"},
        {"yield_stats", "수익률 통계"},
        {"fund_cadence", "운용 주기"},
        {"years", "운용 기간(년)"},
        {"auto_set", "자동설정"},
        {"risk_profile", "투자성향"},
        {"range_low_pct", "매매범위 하한(%)"},
        {"range_high_pct", "매매범위 상한(%)"},
        {"initial_buy_pct", "초기매수비율(%)"},
        {"margin_pct", "매매차익(%)"},
        {"second_pct", "2차조건(%)"},
        {"commission_pct", "수수료(%)"},
        {"include_tax", "세금"},
        {"risk_free_pct", "무위험수익률(%)"},
    };
    for (const auto& [key, label] : labels)
        if (name == key)
            return label;
    return name;
}

std::string settingValueText(const std::string& name, const std::string& value)
{
    static const std::pair<const char*, const char*> words[] = {
        {"per_stock", "종목당"},  {"total", "총투자"}, {"share_count", "주식수"}, {"thrice_monthly", "월3회"},
        {"monthly", "월1회"},     {"daily", "매일"},   {"aggressive", "적극"},    {"stable", "안정"},
        {"conservative", "보수"}, {"on", "예"},        {"off", "아니오"},
    };
    (void)name;
    for (const auto& [word, text] : words)
        if (value == word)
            return text;
    return value;
}

} // namespace kestrelan
