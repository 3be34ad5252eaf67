#include "formats/SummaryCsv.h"

#include "platform/core/Format.h"

#include <algorithm>
#include <cmath>
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

const char* const spreadFigures[]
    = {"mean_pct", "median_pct", "p10_pct", "p90_pct", "worst_pct", "worst_start", "best_pct", "best_start"};
constexpr std::size_t spreadFields = std::size(spreadFigures);

std::string number(double v) { return format("%.2f", v); }

void addSpread(std::vector<std::string>& out, const Spread& x)
{
    for (const std::string& field : {number(x.mean), number(x.median), number(x.p10), number(x.p90), number(x.worst),
                                     x.worstStart, number(x.best), x.bestStart})
        out.push_back(field);
}

bool isDateText(std::string_view t)
{
    return t.size() == 10 && t[4] == '-' && t[7] == '-'
        && std::all_of(t.begin(), t.end(), [](char c) { return c == '-' || (c >= '0' && c <= '9'); });
}

// A spread from its eight fields at `at`; false when one is not what addSpread writes.
bool readSpread(std::span<const std::string_view> f, std::size_t at, Spread& x)
{
    double* const numbers[] = {&x.mean, &x.median, &x.p10, &x.p90, &x.worst, nullptr, &x.best, nullptr};
    std::string* const dates[] = {nullptr, nullptr, nullptr, nullptr, nullptr, &x.worstStart, nullptr, &x.bestStart};
    for (std::size_t i = 0; i < spreadFields; ++i) {
        const std::string_view t = f[at + i];
        if (numbers[i] ? !isNumberText(t) : !isDateText(t))
            return false;
        if (numbers[i])
            *numbers[i] = fieldNumber(t);
        else
            *dates[i] = std::string(t);
    }
    return true;
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
    std::vector<double> fundFalls, indexFalls;
    for (const auto& r : stats) {
        fundFalls.push_back(r.fund.maxDrawdownPct);
        indexFalls.push_back(r.index.maxDrawdownPct);
    }
    s.medianFundDrawdown = medianOf(fundFalls);
    s.medianIndexDrawdown = medianOf(indexFalls);
    return s;
}

const std::vector<std::string>& summaryColumnNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n = {"funds"};
        const auto spread = [&](const char* prefix) {
            for (const char* figure : spreadFigures)
                n.push_back(std::string(prefix) + "_" + figure);
        };
        spread("fund");
        spread("index");
        spread("excess");
        for (const char* name :
             {"gain_share_pct", "beat_share_pct", "fund_median_drawdown_pct", "index_median_drawdown_pct"})
            n.emplace_back(name);
        spread("hold");
        spread("hold_excess");
        n.emplace_back("beat_hold_share_pct");
        return n;
    }();
    return names;
}

std::vector<std::string> summaryFields(const std::optional<SeriesSummary>& summary)
{
    std::vector<std::string> out;
    if (!summary) {
        out.assign(summaryColumnNames().size(), std::string());
        out[0] = "0";
        return out;
    }
    const SeriesSummary& m = *summary;
    out.push_back(std::to_string(m.funds));
    addSpread(out, m.fund);
    addSpread(out, m.index);
    addSpread(out, m.excess);
    const auto optional = [](const std::optional<double>& v) { return v ? number(*v) : std::string(); };
    out.push_back(number(m.gainShare));
    out.push_back(number(m.beatShare));
    out.push_back(optional(m.medianFundDrawdown));
    out.push_back(optional(m.medianIndexDrawdown));
    if (m.hold) {
        addSpread(out, m.hold->hold);
        addSpread(out, m.hold->excess);
        out.push_back(number(m.hold->beatShare));
    } else {
        out.resize(summaryColumnNames().size());
    }
    return out;
}

std::optional<SeriesSummary> parseSummaryFields(std::span<const std::string_view> f, bool& ok)
{
    ok = false;
    if (f.size() != summaryColumnNames().size() || !isIntegerText(f[0]))
        return std::nullopt;
    std::optional<SeriesSummary> read;
    if (fieldInteger(f[0]) != 0) {
        SeriesSummary m;
        m.funds = fieldInteger(f[0]);
        std::size_t at = 1;
        for (Spread* x : {&m.fund, &m.index, &m.excess}) {
            if (!readSpread(f, at, *x))
                return std::nullopt;
            at += spreadFields;
        }
        for (double* share : {&m.gainShare, &m.beatShare}) {
            if (!isNumberText(f[at]))
                return std::nullopt;
            *share = fieldNumber(f[at++]);
        }
        for (std::optional<double>* fall : {&m.medianFundDrawdown, &m.medianIndexDrawdown}) {
            if (!f[at].empty() && !isNumberText(f[at]))
                return std::nullopt;
            if (!f[at].empty())
                *fall = fieldNumber(f[at]);
            ++at;
        }
        if (!f[at].empty()) {
            HoldFigures h;
            if (!readSpread(f, at, h.hold) || !readSpread(f, at + spreadFields, h.excess)
                || !isNumberText(f[at + 2 * spreadFields]))
                return std::nullopt;
            h.beatShare = fieldNumber(f[at + 2 * spreadFields]);
            m.hold = h;
        }
        read = m;
    }
    // Only what the writer writes: the fields give themselves back.
    const auto again = summaryFields(read);
    if (!std::equal(again.begin(), again.end(), f.begin(), f.end()))
        return std::nullopt;
    ok = true;
    return read;
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
    readLines(bytes, [&](const FieldLine& line) {
        if (!line.complete)
            return false;
        if (line.number == 0) {
            const auto& names = summaryColumnNames();
            header = std::equal(names.begin(), names.end(), line.fields.begin(), line.fields.end());
            return header;
        }
        summary = parseSummaryFields(line.fields, sound);
        return false;
    });
    return header && sound ? summary : std::nullopt;
}

} // namespace kestrelan
