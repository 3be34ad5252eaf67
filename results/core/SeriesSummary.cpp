#include "results/core/SeriesSummary.h"

#include "formats/DateText.h"
#include "formats/ResultSet.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"

#include <algorithm>

namespace kestrelan {

namespace {

std::string percent(double v) { return format("%.2f%%", v); }

// A whole amount with its thousands set apart: "1,727,884원".
std::string groupedWon(double v)
{
    std::string digits = format("%.0f", v < 0 ? -v : v);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return (v < 0 ? "-" : "") + digits + "원";
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

// The columns of the tables, wide enough for a date and for "2006일 (2208일 중)" in the results
// window's list.
static std::vector<Column> seriesSummaryColumns(bool hold)
{
    std::vector<Column> columns = {{"항목", hold ? 170 : 150}};
    for (const SummarySubject subject : summarySubjects(hold))
        columns.push_back({std::string(subjectHeading(subject, hold)), 82});
    return columns;
}
static std::vector<Column> riskColumns() { return {{"항목", 106}, {"펀드", 142}, {"KOSPI", 142}}; }

std::string summaryCellText(FigureKind kind, const std::string& field)
{
    if (field.empty())
        return "-";
    return kind == FigureKind::Percent ? field + "%" : field;
}

ListTable seriesSummaryTable(const SeriesSummary& s)
{
    const bool hold = s.hold.has_value();
    const SummaryFieldTexts fields(s);
    ListTable t;
    t.columns = seriesSummaryColumns(hold);
    for (const SummaryRow& row : summaryRows()) {
        if (row.holdOnly && !hold)
            continue;
        std::vector<std::string> cells = {row.labelFor(hold)};
        for (const SummarySubject subject : summarySubjects(hold)) {
            const std::string* column = row.column(subject);
            cells.push_back(column ? summaryCellText(row.kind, fields[*column]) : std::string());
        }
        t.rows.push_back(std::move(cells));
    }
    return t;
}

std::string riskCellText(const RiskRow& row, const StatsCsvRow& r, bool fund)
{
    const std::optional<double> v = riskValue(row, r, fund);
    if (!v)
        return "-";
    switch (row.kind) {
    case RiskKind::Percent: return percent(*v);
    case RiskKind::Date: return dateText(static_cast<std::int32_t>(*v));
    case RiskKind::Ratio: return format("%.2f", *v);
    case RiskKind::DaysOf: return format("%d일 (%d일 중)", static_cast<int>(*v), (fund ? r.fund : r.index).days);
    case RiskKind::Won: return groupedWon(*v);
    case RiskKind::Count: return format("%.0f회", *v);
    }
    return "-";
}

ListTable riskTable(const StatsCsvRow& r)
{
    ListTable t;
    t.columns = riskColumns();
    // The yearly figures of a path too short to annualise are marked.
    const bool shortPath = r.fund.days > 0 && r.fund.days < shortPeriodDays;
    for (const RiskRow& row : riskRows()) {
        std::vector<std::string> cells = {row.label};
        for (const bool fund : {true, false}) {
            const std::string cell = riskCellText(row, r, fund);
            cells.push_back(row.yearly && shortPath && cell != "-" ? cell + " *" : cell);
        }
        t.rows.push_back(std::move(cells));
    }
    if (shortPath)
        t.rows.push_back({"*", format("%d일뿐이라 1년으로 늘린 값", r.fund.days), ""});
    return t;
}

Statistics emptyStatistics(ResultKind kind)
{
    Statistics st;
    st.table.columns = kind == ResultKind::FundSeries ? seriesSummaryColumns(false) : riskColumns();
    if (kind != ResultKind::FundSeries) {
        st.underwater = underwaterData({});
        st.monthly = monthlyTable({});
    }
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
    st.monthly = monthlyTable(monthlyReturns(results));
    return st;
}

} // namespace kestrelan
