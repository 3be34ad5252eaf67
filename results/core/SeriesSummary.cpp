#include "results/core/SeriesSummary.h"

#include "formats/ResultSet.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"

#include <algorithm>

namespace kestrelan {

namespace {

std::string percent(double v) { return format("%.2f%%", v); }

std::string percent(const std::optional<double>& v) { return v ? percent(*v) : "-"; }

std::string dateOrDash(std::int32_t d)
{
    return d == 0 ? "-" : format("%04d-%02d-%02d", d / 10000, d / 100 % 100, d % 100);
}

} // namespace

std::optional<SeriesSummary> loadSeriesSummary(const std::filesystem::path& dir)
{
    if (const auto bytes = readWholeFile(dir / summaryCsvFile))
        return readSummaryCsv(*bytes);
    const std::string resultBytes = readWholeFile(dir / resultCsvFile).value_or(std::string());
    return summarizeSeries(readResultCsv(resultBytes),
                           readStatsCsv(readWholeFile(dir / statsCsvFile).value_or(std::string())),
                           isOneStockSeries(dir));
}

// The columns of the two tables, wide enough for a date and for "2006일 (2208일 중)" in the
// results window's list. A series of one stock sets the fund against the stock held and the KOSPI.
static std::vector<Column> seriesSummaryColumns() { return {{"항목", 150}, {"펀드", 82}, {"KOSPI", 82}, {"초과수익", 82}}; }
static std::vector<Column> holdSummaryColumns()
{
    return {{"항목", 170}, {"펀드", 82}, {"종목 보유", 82}, {"보유 대비", 82}, {"KOSPI", 82}, {"KOSPI 대비", 82}};
}
static std::vector<Column> riskColumns() { return {{"항목", 106}, {"펀드", 142}, {"KOSPI", 142}}; }

ListTable seriesSummaryTable(const SeriesSummary& s)
{
    ListTable t;
    const HoldFigures* hold = s.hold ? &*s.hold : nullptr;
    t.columns = hold ? holdSummaryColumns() : seriesSummaryColumns();
    const auto row = [&](const char* name, auto field) {
        if (hold)
            t.rows.push_back({name, field(s.fund), field(hold->hold), field(hold->excess), field(s.index), field(s.excess)});
        else
            t.rows.push_back({name, field(s.fund), field(s.index), field(s.excess)});
    };
    const auto line = [&](const char* name, std::vector<std::string> cells) {
        cells.insert(cells.begin(), name);
        cells.resize(t.columns.size());
        t.rows.push_back(std::move(cells));
    };
    line("펀드 수", {std::to_string(s.funds)});
    row("평균 수익률", [](const Spread& x) { return percent(x.mean); });
    row("중앙값", [](const Spread& x) { return percent(x.median); });
    row("하위 10%", [](const Spread& x) { return percent(x.p10); });
    row("상위 10%", [](const Spread& x) { return percent(x.p90); });
    row("최저", [](const Spread& x) { return percent(x.worst); });
    row("최저 펀드 시작일", [](const Spread& x) { return x.worstStart; });
    row("최고", [](const Spread& x) { return percent(x.best); });
    row("최고 펀드 시작일", [](const Spread& x) { return x.bestStart; });
    line("이익을 낸 펀드 비율", {percent(s.gainShare)});
    if (hold)
        line("종목 보유보다 높은 펀드 비율", {percent(hold->beatShare)});
    line(hold ? "KOSPI보다 높은 펀드 비율" : "지수보다 높은 펀드 비율", {percent(s.beatShare)});
    if (hold)
        line("최대낙폭 중앙값", {percent(s.medianFundDrawdown), "-", "", percent(s.medianIndexDrawdown)});
    else
        line("최대낙폭 중앙값", {percent(s.medianFundDrawdown), percent(s.medianIndexDrawdown)});
    return t;
}

ListTable riskTable(const StatsCsvRow& r)
{
    ListTable t;
    t.columns = riskColumns();
    const auto row = [&](const char* name, auto field) { t.rows.push_back({name, field(r.fund), field(r.index)}); };
    // The yearly figures of a path too short to annualise are marked.
    const bool shortPath = r.fund.days > 0 && r.fund.days < shortPeriodDays;
    const auto yearly = [&](const char* name, auto field) {
        row(name, [&](const RiskFigures& f) {
            const std::string cell = field(f);
            return shortPath && cell != "-" ? cell + " *" : cell;
        });
    };
    row("수익률", [](const RiskFigures& f) { return percent(f.returnPct); });
    yearly("연평균 수익률", [](const RiskFigures& f) { return percent(f.cagrPct); });
    row("최대낙폭", [](const RiskFigures& f) { return percent(f.maxDrawdownPct); });
    row("고점일", [](const RiskFigures& f) { return dateOrDash(f.peakDate); });
    row("저점일", [](const RiskFigures& f) { return dateOrDash(f.troughDate); });
    row("회복일", [](const RiskFigures& f) { return dateOrDash(f.recoveryDate); });
    yearly("변동성(연)", [](const RiskFigures& f) { return percent(f.volatilityPct); });
    yearly("샤프지수", [](const RiskFigures& f) { return f.sharpe ? format("%.2f", *f.sharpe) : std::string("-"); });
    row("고점 아래 일수", [](const RiskFigures& f) { return format("%d일 (%d일 중)", f.underwaterDays, f.days); });
    if (shortPath)
        t.rows.push_back({"*", format("%d일뿐이라 1년으로 늘린 값", r.fund.days), ""});
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
    if (kind == ResultKind::FundSeries) {
        if (const auto summary = loadSeriesSummary(dir))
            st.table = seriesSummaryTable(*summary);
        return st;
    }
    const std::string resultBytes = readWholeFile(dir / resultCsvFile).value_or(std::string());
    auto results = readResultCsv(resultBytes);
    std::erase_if(results, [](const ResultCsvRow& r) { return !r.extent.complete; });
    const auto stats = readStatsCsv(readWholeFile(dir / statsCsvFile).value_or(std::string()));
    if (!stats.empty())
        st.table = riskTable(stats.front());
    st.underwater = underwaterData(results);
    return st;
}

std::string settingLabel(const std::string& name)
{
    static const std::pair<const char*, const char*> labels[] = {
        {"stocks", "포트폴리오 종목 수"},
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
