#include "formats/StatsCsv.h"

#include "formats/DateText.h"
#include "platform/core/Format.h"

#include <array>
#include <charconv>
#include <cstdlib>

namespace kestrelan {

namespace {

enum class Column
{
    StartDate,
    EndDate,
    Days,
    FundReturn,
    IndexReturn,
    FundCagr,
    IndexCagr,
    FundMaxDrawdown,
    FundPeak,
    FundTrough,
    FundRecovery,
    IndexMaxDrawdown,
    FundVolatility,
    IndexVolatility,
    FundSharpe,
    IndexSharpe,
    IndexPeak,
    IndexTrough,
    IndexRecovery,
    FundUnderwaterDays,
    IndexUnderwaterDays,
    Count
};

constexpr std::array<const char*, static_cast<std::size_t>(Column::Count)> names = {
    "start_date",
    "end_date",
    "days",
    "fund_return_pct",
    "index_return_pct",
    "fund_cagr_pct",
    "index_cagr_pct",
    "fund_max_drawdown_pct",
    "fund_peak_date",
    "fund_trough_date",
    "fund_recovery_date",
    "index_max_drawdown_pct",
    "fund_volatility_pct",
    "index_volatility_pct",
    "fund_sharpe",
    "index_sharpe",
    "index_peak_date",
    "index_trough_date",
    "index_recovery_date",
    "fund_underwater_days",
    "index_underwater_days",
};

// After the index's figures (and a series of one stock's hold_return_pct).
enum class Later
{
    Commission,
    Tax,
    Fills,
    DaysOutsideGrid,
    CashShareMean,
    FundSortino,
    FundCalmar,
    Beta,
    Alpha,
    TrackingError,
    InformationRatio,
    Count
};

constexpr std::array<const char*, static_cast<std::size_t>(Later::Count)> laterNames = {
    "commission_won",
    "tax_won",
    "fills",
    "days_outside_grid_pct",
    "cash_share_mean_pct",
    "fund_sortino",
    "fund_calmar",
    "beta",
    "alpha_pct",
    "tracking_error_pct",
    "information_ratio",
};


std::string date(std::int32_t d)
{
    return d == 0 ? std::string() : dateText(d);
}

// What printf's %.<decimals>f writes (to_chars with a precision writes the same digits in the C
// locale), without parsing a format for each of a series' thousands of fields.
std::string fixedText(double v, int decimals)
{
    char digits[400]; // the largest double has 309 digits before the point
    const auto r = std::to_chars(digits, digits + sizeof digits, v, std::chars_format::fixed, decimals);
    return r.ec == std::errc() ? std::string(digits, r.ptr) : format("%.*f", decimals, v);
}

std::string number(const std::optional<double>& v) { return v ? fixedText(*v, 2) : std::string(); }

std::string won(const std::optional<double>& v) { return v ? fixedText(*v, 0) : std::string(); }

std::int32_t dateOf(std::string_view text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return 0;
    const std::string digits
        = std::string(text.substr(0, 4)) + std::string(text.substr(5, 2)) + std::string(text.substr(8, 2));
    return fieldInteger(digits);
}

// A date as a risk row gives it: none for 0.
std::optional<double> dateFigure(std::int32_t d) { return d == 0 ? std::nullopt : std::optional<double>(d); }

std::optional<double> numberOf(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    return fieldNumber(text);
}

// The columns after the index's figures, from `first` on; empty in a file written before them.
void readLater(const std::vector<std::string_view>& fields, std::size_t first, StatsCsvRow& r)
{
    const auto at = [&](Later column) {
        const std::size_t i = first + static_cast<std::size_t>(column);
        return i < fields.size() ? numberOf(fields[i]) : std::nullopt;
    };
    r.grid.commissionWon = at(Later::Commission);
    r.grid.taxWon = at(Later::Tax);
    if (const auto fills = at(Later::Fills))
        r.grid.fills = static_cast<std::int64_t>(*fills);
    r.grid.daysOutsideGridPct = at(Later::DaysOutsideGrid);
    r.grid.cashShareMeanPct = at(Later::CashShareMean);
    r.fund.sortino = at(Later::FundSortino);
    r.fund.calmar = at(Later::FundCalmar);
    r.comparison.beta = at(Later::Beta);
    r.comparison.alphaPct = at(Later::Alpha);
    r.comparison.trackingErrorPct = at(Later::TrackingError);
    r.comparison.informationRatio = at(Later::InformationRatio);
}

} // namespace

const std::vector<RiskRow>& riskRows()
{
    static const std::vector<RiskRow> rows = {
        {"수익률", RiskKind::Percent, false, [](const RiskFigures& f) { return f.returnPct; }},
        {"연평균 수익률", RiskKind::Percent, true, [](const RiskFigures& f) { return f.cagrPct; }},
        {"최대낙폭", RiskKind::Percent, false, [](const RiskFigures& f) { return std::optional(f.maxDrawdownPct); }},
        {"고점일", RiskKind::Date, false, [](const RiskFigures& f) { return dateFigure(f.peakDate); }},
        {"저점일", RiskKind::Date, false, [](const RiskFigures& f) { return dateFigure(f.troughDate); }},
        {"회복일", RiskKind::Date, false, [](const RiskFigures& f) { return dateFigure(f.recoveryDate); }},
        {"변동성(연)", RiskKind::Percent, true, [](const RiskFigures& f) { return f.volatilityPct; }},
        {"샤프지수", RiskKind::Ratio, true, [](const RiskFigures& f) { return f.sharpe; }},
        {"고점 아래 일수", RiskKind::DaysOf, false,
         [](const RiskFigures& f) { return std::optional<double>(f.underwaterDays); }},
        {"소르티노지수", RiskKind::Ratio, true, nullptr, [](const StatsCsvRow& r) { return r.fund.sortino; }},
        {"칼마지수", RiskKind::Ratio, true, nullptr, [](const StatsCsvRow& r) { return r.fund.calmar; }},
        {"베타", RiskKind::Ratio, false, nullptr, [](const StatsCsvRow& r) { return r.comparison.beta; }},
        {"알파(연)", RiskKind::Percent, true, nullptr, [](const StatsCsvRow& r) { return r.comparison.alphaPct; }},
        {"추적오차(연)", RiskKind::Percent, true, nullptr,
         [](const StatsCsvRow& r) { return r.comparison.trackingErrorPct; }},
        {"정보비율", RiskKind::Ratio, true, nullptr, [](const StatsCsvRow& r) { return r.comparison.informationRatio; }},
        {"낸 수수료", RiskKind::Won, false, nullptr, [](const StatsCsvRow& r) { return r.grid.commissionWon; }},
        {"낸 세금", RiskKind::Won, false, nullptr, [](const StatsCsvRow& r) { return r.grid.taxWon; }},
        {"체결 횟수", RiskKind::Count, false, nullptr,
         [](const StatsCsvRow& r) {
             return r.grid.fills ? std::optional<double>(static_cast<double>(*r.grid.fills)) : std::nullopt;
         }},
        {"그리드 밖 종목일", RiskKind::Percent, false, nullptr,
         [](const StatsCsvRow& r) { return r.grid.daysOutsideGridPct; }},
        {"평균 현금 비중", RiskKind::Percent, false, nullptr, [](const StatsCsvRow& r) { return r.grid.cashShareMeanPct; }},
    };
    return rows;
}

std::optional<double> riskValue(const RiskRow& row, const StatsCsvRow& stats, bool fund)
{
    if (row.fundValue)
        return fund ? row.fundValue(stats) : std::nullopt;
    return row.value(fund ? stats.fund : stats.index);
}

std::string statsCsvHeader(bool hold, bool dividends)
{
    static const std::string text = [] {
        std::string line;
        for (const char* name : names)
            line += (line.empty() ? "" : ",") + std::string(name);
        return line;
    }();
    static const std::string later = [] {
        std::string line;
        for (const char* name : laterNames)
            line += "," + std::string(name);
        return line;
    }();
    return text + (hold ? ",hold_return_pct" : "") + (dividends ? ",dividends_won" : "") + later + "\n";
}

std::string statsCsvLine(const StatsCsvRow& r)
{
    const RiskFigures& f = r.fund;
    const RiskFigures& i = r.index;
    const std::string fields[] = {
        date(r.startDate),
        date(r.endDate),
        std::to_string(f.days),
        number(f.returnPct),
        number(i.returnPct),
        number(f.cagrPct),
        number(i.cagrPct),
        number(f.maxDrawdownPct),
        date(f.peakDate),
        date(f.troughDate),
        date(f.recoveryDate),
        number(i.maxDrawdownPct),
        number(f.volatilityPct),
        number(i.volatilityPct),
        number(f.sharpe),
        number(i.sharpe),
        date(i.peakDate),
        date(i.troughDate),
        date(i.recoveryDate),
        std::to_string(f.underwaterDays),
        std::to_string(i.underwaterDays),
    };
    std::string line;
    for (std::size_t i = 0; i < std::size(fields); ++i)
        line += (i ? "," : "") + fields[i];
    if (r.holdReturnPct)
        line += "," + number(r.holdReturnPct);
    if (r.dividendsWon)
        line += "," + won(r.dividendsWon);
    const GridFigures& g = r.grid;
    const IndexComparison& c = r.comparison;
    const std::string later[] = {
        won(g.commissionWon),
        won(g.taxWon),
        g.fills ? std::to_string(*g.fills) : std::string(),
        number(g.daysOutsideGridPct),
        number(g.cashShareMeanPct),
        number(f.sortino),
        number(f.calmar),
        number(c.beta),
        number(c.alphaPct),
        number(c.trackingErrorPct),
        number(c.informationRatio),
    };
    for (const std::string& field : later)
        line += "," + field;
    return line + "\n";
}

std::vector<StatsCsvRow> readStatsCsv(std::string_view bytes)
{
    std::vector<StatsCsvRow> rows;
    // The columns after the others, where the header names them.
    std::size_t hold = 0, dividends = 0, later = 0;
    const auto named = [](const FieldLine& line, std::size_t at) {
        return at > 0 && at < line.fields.size() ? numberOf(line.fields[at]) : std::nullopt;
    };
    readLines(bytes, [&](const FieldLine& line) {
        if (line.number == 0) {
            for (std::size_t k = 0; k < line.fields.size(); ++k) {
                if (line.fields[k] == "hold_return_pct")
                    hold = k;
                else if (line.fields[k] == "dividends_won")
                    dividends = k;
                else if (line.fields[k] == laterNames[0])
                    later = k;
            }
            return true;
        }
        if (!line.complete)
            return true; // a cut last line
        const ColumnTexts<Column> c{line.fields};
        StatsCsvRow r;
        r.startDate = dateOf(c.text(Column::StartDate));
        r.endDate = dateOf(c.text(Column::EndDate));
        r.fund.days = r.index.days = c.integer(Column::Days);
        r.fund.returnPct = numberOf(c.text(Column::FundReturn));
        r.index.returnPct = numberOf(c.text(Column::IndexReturn));
        r.fund.cagrPct = numberOf(c.text(Column::FundCagr));
        r.index.cagrPct = numberOf(c.text(Column::IndexCagr));
        r.fund.maxDrawdownPct = c.number(Column::FundMaxDrawdown);
        r.fund.peakDate = dateOf(c.text(Column::FundPeak));
        r.fund.troughDate = dateOf(c.text(Column::FundTrough));
        r.fund.recoveryDate = dateOf(c.text(Column::FundRecovery));
        r.index.maxDrawdownPct = c.number(Column::IndexMaxDrawdown);
        r.fund.volatilityPct = numberOf(c.text(Column::FundVolatility));
        r.index.volatilityPct = numberOf(c.text(Column::IndexVolatility));
        r.fund.sharpe = numberOf(c.text(Column::FundSharpe));
        r.index.sharpe = numberOf(c.text(Column::IndexSharpe));
        r.index.peakDate = dateOf(c.text(Column::IndexPeak));
        r.index.troughDate = dateOf(c.text(Column::IndexTrough));
        r.index.recoveryDate = dateOf(c.text(Column::IndexRecovery));
        r.fund.underwaterDays = c.integer(Column::FundUnderwaterDays);
        r.index.underwaterDays = c.integer(Column::IndexUnderwaterDays);
        r.holdReturnPct = named(line, hold);
        r.dividendsWon = named(line, dividends);
        if (later > 0)
            readLater(line.fields, later, r);
        rows.push_back(r);
        return true;
    });
    return rows;
}

} // namespace kestrelan
