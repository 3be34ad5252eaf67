#include "formats/SummaryCsv.h"

#include "formats/DateText.h"
#include "platform/core/Format.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <type_traits>
#include <unordered_map>

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
    // The first fund of the worst yield and the first of the best, in fund order.
    const auto low = std::min_element(values.begin(), values.end());
    const auto high = std::max_element(values.begin(), values.end());
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

// The share of funds, in percent, whose yield lies above the other's: a tie is no gain, and
// beats nothing.
double shareAbove(const std::vector<double>& yields, const std::vector<double>& others)
{
    std::size_t above = 0;
    for (std::size_t i = 0; i < yields.size(); ++i)
        above += yields[i] > others[i] ? 1 : 0;
    return 100.0 * static_cast<double>(above) / static_cast<double>(yields.size());
}

std::vector<double> differences(const std::vector<double>& a, const std::vector<double>& b)
{
    std::vector<double> d(a.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        d[i] = a[i] - b[i];
    return d;
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

double kospiYieldOf(const ResultCsvRow& r)
{
    // The engine holds an index level as its hundredths times 0.01 in a float, divides the two as
    // floats, and the line holds six decimals; the line's levels give the hundredths back.
    const auto level = [](double points) { return static_cast<float>(std::lround(points * 100)) * 0.01f; };
    const float start = level(r.startIndex), end = level(r.endIndex);
    if (!(start > 0))
        return 0;
    return fieldNumber(format("%.6f", static_cast<double>(end / start - 1.0f)));
}

std::optional<SeriesSummary> summarizeSeries(const std::vector<ResultCsvRow>& results,
                                             const std::vector<StatsCsvRow>& stats, bool oneStock)
{
    // Yields as ratios, as result.csv holds them; the spreads in percent.
    std::vector<double> fund, column, kospi;
    std::vector<std::string> starts;
    for (const auto& r : results) {
        if (!r.extent.complete)
            continue;
        fund.push_back(r.fundYield);
        column.push_back(r.kospiYield);
        kospi.push_back(oneStock ? kospiYieldOf(r) : r.kospiYield);
        starts.emplace_back(r.startDate);
    }
    if (fund.empty())
        return std::nullopt;
    const auto percent = [](const std::vector<double>& v) {
        std::vector<double> p(v.size());
        for (std::size_t i = 0; i < v.size(); ++i)
            p[i] = v[i] * 100;
        return p;
    };
    SeriesSummary s;
    s.funds = static_cast<int>(fund.size());
    s.fund = spreadOf(percent(fund), starts);
    s.index = spreadOf(percent(kospi), starts);
    s.excess = spreadOf(percent(differences(fund, kospi)), starts);
    s.gainShare = shareAbove(fund, std::vector<double>(fund.size(), 0.0));
    s.beatShare = shareAbove(fund, kospi);
    if (oneStock)
        s.hold = HoldFigures{spreadOf(percent(column), starts), spreadOf(percent(differences(fund, column)), starts),
                             shareAbove(fund, column)};
    std::vector<double> fundFalls, indexFalls, sortinos, calmars, outside, cash;
    const auto keep = [](std::vector<double>& values, const std::optional<double>& v) {
        if (v)
            values.push_back(*v);
    };
    for (const auto& r : stats) {
        fundFalls.push_back(r.fund.maxDrawdownPct);
        indexFalls.push_back(r.index.maxDrawdownPct);
        keep(sortinos, r.fund.sortino);
        keep(calmars, r.fund.calmar);
        keep(outside, r.grid.daysOutsideGridPct);
        keep(cash, r.grid.cashShareMeanPct);
    }
    s.medianFundDrawdown = medianOf(fundFalls);
    s.medianIndexDrawdown = medianOf(indexFalls);
    s.medianSortino = medianOf(sortinos);
    s.medianCalmar = medianOf(calmars);
    s.medianOutsideGridPct = medianOf(outside);
    s.medianCashSharePct = medianOf(cash);
    // The costs against the trading gain: a fund's stats and its result line share the start day.
    std::unordered_map<std::string, const GridFigures*> costsByStart;
    for (const auto& r : stats)
        if (r.grid.commissionWon && r.grid.taxWon)
            costsByStart.emplace(dateText(r.startDate), &r.grid);
    std::vector<double> costShares;
    for (const auto& r : results) {
        if (!r.extent.complete || !(r.gain > 0))
            continue;
        if (const auto fund = costsByStart.find(std::string(r.startDate)); fund != costsByStart.end())
            costShares.push_back((*fund->second->commissionWon + *fund->second->taxWon) / r.gain * 100);
    }
    s.medianCostSharePct = medianOf(costShares);
    return s;
}

namespace {

// A spread's eight figures: summary.csv's column suffix, the row's label, and the member.
struct SpreadFigure
{
    const char* suffix;
    const char* label;
    double Spread::*number; // or
    std::string Spread::*date;
};
const SpreadFigure spreadFigures[] = {
    {"mean_pct", "평균 수익률", &Spread::mean, nullptr},
    {"median_pct", "중앙값", &Spread::median, nullptr},
    {"p10_pct", "하위 10%", &Spread::p10, nullptr},
    {"p90_pct", "상위 10%", &Spread::p90, nullptr},
    {"worst_pct", "최저", &Spread::worst, nullptr},
    {"worst_start", "최저 펀드 시작일", nullptr, &Spread::worstStart},
    {"best_pct", "최고", &Spread::best, nullptr},
    {"best_start", "최고 펀드 시작일", nullptr, &Spread::bestStart},
};

// The subjects of the spreads: the prefix of their columns and where a summary holds them.
struct SubjectSpec
{
    SummarySubject subject;
    const char* key;
    const char* heading;
    const char* holdHeading; // beside the stock held
    bool hold;               // a series of one stock only
};
const SubjectSpec subjects[] = {
    {SummarySubject::Fund, "fund", "펀드", "펀드", false},
    {SummarySubject::Index, "index", "KOSPI", "KOSPI", false},
    {SummarySubject::Excess, "excess", "초과수익", "KOSPI 대비", false},
    {SummarySubject::Hold, "hold", stockHeldLabel.data(), stockHeldLabel.data(), true},
    {SummarySubject::HoldExcess, "hold_excess", "보유 대비", "보유 대비", true},
};

const SubjectSpec& specOf(SummarySubject subject) { return subjects[static_cast<std::size_t>(subject)]; }

const Spread* subjectSpread(const SeriesSummary& s, SummarySubject subject)
{
    switch (subject) {
    case SummarySubject::Fund: return &s.fund;
    case SummarySubject::Index: return &s.index;
    case SummarySubject::Excess: return &s.excess;
    case SummarySubject::Hold: return s.hold ? &s.hold->hold : nullptr;
    case SummarySubject::HoldExcess: return s.hold ? &s.hold->excess : nullptr;
    }
    return nullptr;
}

Spread* subjectSpread(SeriesSummary& s, SummarySubject subject)
{
    return const_cast<Spread*>(subjectSpread(static_cast<const SeriesSummary&>(s), subject));
}

std::string number(double v) { return format("%.2f", v); }

// A column of summary.csv: its name, whether it belongs to a series of one stock, how it is
// written and read back (false: not what the writer writes).
struct Field
{
    std::string name;
    bool hold = false;
    std::function<std::string(const SeriesSummary&)> write;
    std::function<bool(SeriesSummary&, std::string_view)> read;
};

Field spreadField(const SubjectSpec& subject, const SpreadFigure& figure)
{
    const SummarySubject which = subject.subject;
    Field f{std::string(subject.key) + "_" + figure.suffix, subject.hold, {}, {}};
    if (figure.number) {
        f.write = [=](const SeriesSummary& s) { return number(subjectSpread(s, which)->*figure.number); };
        f.read = [=](SeriesSummary& s, std::string_view t) {
            subjectSpread(s, which)->*figure.number = fieldNumber(t);
            return isNumberText(t);
        };
    } else {
        f.write = [=](const SeriesSummary& s) { return subjectSpread(s, which)->*figure.date; };
        f.read = [=](SeriesSummary& s, std::string_view t) {
            subjectSpread(s, which)->*figure.date = std::string(t);
            return isDateText(t);
        };
    }
    return f;
}

// A figure of the summary, a percentage or a ratio (`optional`: it may have none).
template <class Member>
Field percentField(const char* name, Member member)
{
    Field f{name, false, {}, {}};
    f.write = [=](const SeriesSummary& s) {
        const auto& v = s.*member;
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(v)>, double>)
            return number(v);
        else
            return v ? number(*v) : std::string();
    };
    f.read = [=](SeriesSummary& s, std::string_view t) {
        auto& v = s.*member;
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(v)>, double>) {
            v = fieldNumber(t);
            return isNumberText(t);
        } else {
            if (!t.empty())
                v = fieldNumber(t);
            return t.empty() || isNumberText(t);
        }
    };
    return f;
}

Field holdPercentField(const char* name, double HoldFigures::*member)
{
    Field f{name, true, {}, {}};
    f.write = [=](const SeriesSummary& s) { return number((*s.hold).*member); };
    f.read = [=](SeriesSummary& s, std::string_view t) {
        (*s.hold).*member = fieldNumber(t);
        return isNumberText(t);
    };
    return f;
}

// The first of the medians of the funds' trading: a file written before them ends before it.
constexpr const char* firstTradingMedianColumn = "fund_median_sortino";

// Every column of summary.csv, in the file's order: the count, the spreads of the fund, the
// KOSPI and the excess, the shares and the falls, the figures of a series of one stock, then the
// medians of the funds' trading.
// The displays show them by summaryRows(), which names each row's columns.
const std::vector<Field>& fields()
{
    static const std::vector<Field> all = [] {
        std::vector<Field> f;
        Field funds{"funds", false, {}, {}};
        funds.write = [](const SeriesSummary& s) { return std::to_string(s.funds); };
        funds.read = [](SeriesSummary& s, std::string_view t) {
            s.funds = fieldInteger(t);
            return isIntegerText(t);
        };
        f.push_back(funds);
        const auto spreads = [&](bool hold) {
            for (const SubjectSpec& subject : subjects)
                if (subject.hold == hold)
                    for (const SpreadFigure& figure : spreadFigures)
                        f.push_back(spreadField(subject, figure));
        };
        spreads(false);
        f.push_back(percentField("gain_share_pct", &SeriesSummary::gainShare));
        f.push_back(percentField("beat_share_pct", &SeriesSummary::beatShare));
        f.push_back(percentField("fund_median_drawdown_pct", &SeriesSummary::medianFundDrawdown));
        f.push_back(percentField("index_median_drawdown_pct", &SeriesSummary::medianIndexDrawdown));
        spreads(true);
        f.push_back(holdPercentField("beat_hold_share_pct", &HoldFigures::beatShare));
        // Added later, so last: an older file's columns are those before them.
        f.push_back(percentField(firstTradingMedianColumn, &SeriesSummary::medianSortino));
        f.push_back(percentField("fund_median_calmar", &SeriesSummary::medianCalmar));
        f.push_back(percentField("median_days_outside_grid_pct", &SeriesSummary::medianOutsideGridPct));
        f.push_back(percentField("median_cash_share_pct", &SeriesSummary::medianCashSharePct));
        f.push_back(percentField("median_cost_share_pct", &SeriesSummary::medianCostSharePct));
        return f;
    }();
    return all;
}

} // namespace

const std::vector<SummaryRow>& summaryRows()
{
    static const std::vector<SummaryRow> rows = [] {
        using S = SummarySubject;
        std::vector<SummaryRow> r;
        r.push_back({"펀드 수", "", FigureKind::Count, false, {{S::Fund, "funds"}}});
        for (const SpreadFigure& figure : spreadFigures) {
            SummaryRow row{figure.label, "", figure.number ? FigureKind::Percent : FigureKind::Date, false, {}};
            for (const SubjectSpec& subject : subjects)
                row.cells.push_back({subject.subject, std::string(subject.key) + "_" + figure.suffix});
            r.push_back(row);
        }
        r.push_back({"이익을 낸 펀드 비율", "", FigureKind::Percent, false, {{S::Fund, "gain_share_pct"}}});
        r.push_back({"종목 보유보다 높은 펀드 비율", "", FigureKind::Percent, true, {{S::Fund, "beat_hold_share_pct"}}});
        r.push_back({"지수보다 높은 펀드 비율", "KOSPI보다 높은 펀드 비율", FigureKind::Percent, false,
                     {{S::Fund, "beat_share_pct"}}});
        r.push_back({"최대낙폭 중앙값", "", FigureKind::Percent, false,
                     {{S::Fund, "fund_median_drawdown_pct"}, {S::Index, "index_median_drawdown_pct"}}});
        r.push_back({"소르티노지수 중앙값", "", FigureKind::Ratio, false, {{S::Fund, "fund_median_sortino"}}});
        r.push_back({"칼마지수 중앙값", "", FigureKind::Ratio, false, {{S::Fund, "fund_median_calmar"}}});
        r.push_back({"그리드 밖 종목일 중앙값", "", FigureKind::Percent, false,
                     {{S::Fund, "median_days_outside_grid_pct"}}});
        r.push_back({"평균 현금 비중 중앙값", "", FigureKind::Percent, false, {{S::Fund, "median_cash_share_pct"}}});
        r.push_back({"비용/매매차익 중앙값", "", FigureKind::Percent, false,
                     {{S::Fund, "median_cost_share_pct"}}});
        return r;
    }();
    return rows;
}

const std::string& SummaryRow::labelFor(bool hold) const { return hold && !holdLabel.empty() ? holdLabel : label; }

const std::string* SummaryRow::column(SummarySubject subject) const
{
    for (const auto& [s, name] : cells)
        if (s == subject)
            return &name;
    return nullptr;
}

std::vector<SummarySubject> summarySubjects(bool hold)
{
    using S = SummarySubject;
    return hold ? std::vector<S>{S::Fund, S::Hold, S::HoldExcess, S::Index, S::Excess}
                : std::vector<S>{S::Fund, S::Index, S::Excess};
}

std::string_view subjectHeading(SummarySubject subject, bool hold)
{
    return hold ? specOf(subject).holdHeading : specOf(subject).heading;
}

const std::vector<std::string>& summaryColumnNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (const Field& f : fields())
            n.push_back(f.name);
        return n;
    }();
    return names;
}

std::size_t olderSummaryColumns()
{
    const auto& names = summaryColumnNames();
    return static_cast<std::size_t>(std::find(names.begin(), names.end(), firstTradingMedianColumn) - names.begin());
}

std::vector<std::string> summaryFields(const std::optional<SeriesSummary>& summary, std::size_t columns)
{
    std::vector<std::string> out(columns ? std::min(columns, fields().size()) : fields().size());
    if (!summary) {
        out[0] = "0";
        return out;
    }
    for (std::size_t i = 0; i < out.size(); ++i)
        if (!fields()[i].hold || summary->hold)
            out[i] = fields()[i].write(*summary);
    return out;
}

std::optional<SeriesSummary> parseSummaryFields(std::span<const std::string_view> f, bool& ok, std::size_t columns)
{
    ok = false;
    const auto& all = fields();
    const std::size_t n = columns ? columns : all.size();
    if ((n != all.size() && n != olderSummaryColumns()) || f.size() != n || !isIntegerText(f[0]))
        return std::nullopt;
    std::optional<SeriesSummary> read;
    if (fieldInteger(f[0]) != 0) {
        SeriesSummary m;
        // A series of one stock has its figures; another leaves their columns empty.
        const auto firstHold = std::find_if(all.begin(), all.end(), [](const Field& x) { return x.hold; });
        if (!f[static_cast<std::size_t>(firstHold - all.begin())].empty())
            m.hold.emplace();
        for (std::size_t i = 0; i < n; ++i)
            if ((!all[i].hold || m.hold) && !all[i].read(m, f[i]))
                return std::nullopt;
        read = m;
    }
    // Only what the writer writes: the fields give themselves back.
    const auto again = summaryFields(read, n);
    if (!std::equal(again.begin(), again.end(), f.begin(), f.end()))
        return std::nullopt;
    ok = true;
    return read;
}

SummaryFieldTexts::SummaryFieldTexts(const std::optional<SeriesSummary>& summary)
    : texts(summaryFields(summary))
{
}

const std::string& SummaryFieldTexts::operator[](std::string_view column) const
{
    static const std::string none;
    const auto& names = summaryColumnNames();
    const auto it = std::find(names.begin(), names.end(), column);
    return it == names.end() ? none : texts[static_cast<std::size_t>(it - names.begin())];
}

std::string summaryCsvText(const std::optional<SeriesSummary>& summary)
{
    std::string text;
    for (const auto& name : summaryColumnNames())
        text += (text.empty() ? "" : ",") + name;
    text += "\n";
    std::string line;
    for (const auto& field : summaryFields(summary))
        line += (line.empty() ? "" : ",") + field;
    return text + line + "\n";
}

std::optional<SeriesSummary> readSummaryCsv(std::string_view bytes)
{
    std::optional<SeriesSummary> summary;
    bool header = false, sound = false;
    std::size_t columns = 0;
    readLines(bytes, [&](const FieldLine& line) {
        if (!line.complete)
            return false;
        if (line.number == 0) {
            // Today's columns or the older set, as the header names them.
            const auto& names = summaryColumnNames();
            columns = line.fields.size();
            header = (columns == names.size() || columns == olderSummaryColumns())
                && std::equal(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(columns), line.fields.begin());
            return header;
        }
        summary = parseSummaryFields(line.fields, sound, columns);
        return false;
    });
    return header && sound ? summary : std::nullopt;
}

} // namespace kestrelan
