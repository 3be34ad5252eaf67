#include "results/core/SummaryTables.h"

#include "formats/ClosingCsv.h"
#include "formats/GenCsv.h"
#include "formats/ResultCsv.h"
#include "formats/ResultSet.h"
#include "formats/ResultTxt.h"
#include "formats/Settings.h"
#include "formats/SummaryCsv.h"
#include "formats/TradeCsv.h"
#include "platform/core/Cp949.h"
#include "platform/core/Format.h"
#include "platform/core/Text.h"
#include "platform/core/TextFile.h"
#include "results/core/StockTotals.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

namespace kestrelan {

namespace {

constexpr const char* invalidDate = "잘못된 날짜가 있습니다.";
constexpr const char* undefinedCell = "-";

std::string noDecimals(double v) { return format("%.0f", v); }

// A percent cell of a quotient, or "-" where the divisor is 0.
std::string perMilleCell(double numerator, double divisor, double minus)
{
    if (divisor == 0)
        return undefinedCell;
    return formatPerMille(noDecimals((numerator / divisor - minus) * 1000));
}

std::string_view cut(std::string_view text, std::size_t from, std::size_t count)
{
    return from >= text.size() ? std::string_view() : text.substr(from, count);
}

bool invalid(IMessageSink& messages)
{
    messages.show(invalidDate);
    return false;
}

// result.csv into the rows (and, for a fund series, the fund table). False after an invalid date.
// A line fills its entry and its table row column by column, so a cut last line and a line with
// an invalid date keep what they had before.
bool readResults(ResultKind kind, std::string_view bytes, SummaryTables& t, IMessageSink& messages)
{
    using C = ResultCsvColumn;
    const bool series = kind == ResultKind::FundSeries;
    int complete = 0;
    for (const ResultCsvRow& r : readResultCsv(bytes)) {
        const std::size_t i = t.rows.size();
        ResultRow& row = t.rows.emplace_back();
        t.rowDates.emplace_back();
        std::vector<std::string>* cells = nullptr; // the fund table's row (a series)
        auto cell = [&](std::size_t column, std::string value) {
            if (cells)
                (*cells)[column] = std::move(value);
        };
        if (series && r.has(C::StartDate)) {
            const auto date = shortDate(cut(r.startDate, 2, 10));
            if (!date)
                return invalid(messages);
            cells = &t.mainList.rows.emplace_back(8);
            cell(0, *date);
        }
        if (r.has(C::EndDate)) {
            const auto date = shortDate(series ? cut(r.endDate, 2, 10) : cut(r.endDate.substr(0, 10), 2, 8));
            if (!date)
                return invalid(messages);
            if (series)
                cell(1, *date);
            else
                t.rowDates[i] = *date;
        }
        if (r.has(C::Invest))
            cell(5, formatAmount(noDecimals(r.invest * 0.001), 12));
        if (r.has(C::Value))
            cell(6, formatAmount(noDecimals(r.value * 0.001), 12));
        if (r.has(C::KospiYield)) {
            const std::string k = noDecimals(r.kospiYield * 1000);
            row.kospiYieldPm = atoiText(k);
            cell(2, formatPerMille(k));
        }
        if (r.has(C::FundYield)) {
            const std::string y = noDecimals(r.fundYield * 1000);
            row.fundYieldPm = atoiText(y);
            cell(3, formatPerMille(y));
        }
        if (r.extent.complete) {
            cell(7, formatAmount(noDecimals(r.gain * 0.001), 12));
            row.profitRatePm = r.invest == 0 ? 0 : atoiText(noDecimals(r.gain / r.invest * 1000));
            cell(4, perMilleCell(r.gain, r.invest, 0));
            row.stockSharePm = r.value == 0 ? 0 : atoiText(noDecimals(r.stockValue / r.value * 1000));
            ++complete;
        }
    }
    t.rowCount = complete;
    return true;
}

void readClosingPrices(std::string_view bytes, SummaryTables& t)
{
    const auto lines = readClosingCsv(bytes);
    for (std::size_t n = 0; n < lines.size() && n < t.rows.size(); ++n)
        t.rows[n].closing = lines[n].prices;
}

// gen.csv into the stock table and the totals row. A cut last line shows what it has but is
// not a stock of the totals.
void readStocks(std::string_view bytes, SummaryTables& t)
{
    using C = GenCsvColumn;
    const auto stocks = readGenCsv(bytes);
    auto amount = [](std::int32_t v) { return formatAmount(format("%d", v), 10); };
    for (std::size_t s = 0; s < stocks.size(); ++s) {
        const GenCsvRow& r = stocks[s];
        t.stockCodes.emplace_back(s == 0 ? r.code : r.code.substr(0, 6));
        if (!r.has(C::Name))
            continue;
        const std::string name = fromCp949Lossy(r.name.substr(0, 20));
        auto& cells = t.mainList.rows.emplace_back(8);
        cells[0] = name;
        t.stockCombo.emplace_back(trimRight(name, " \t"));
        if (r.has(C::LastPrice))
            cells[3] = amount(r.lastPrice);
        if (r.has(C::StartPrice))
            cells[4] = amount(r.startPrice);
        if (r.has(C::Invest))
            cells[5] = amount(roundFirstDecimal(r.invest));
        if (r.has(C::Cash))
            cells[6] = amount(roundFirstDecimal(r.cash));
        if (r.has(C::Shares))
            cells[7] = amount(r.shares);
        if (r.extent.complete) {
            cells[2] = perMilleCell(r.lastPrice, r.startPrice, 1);
            cells[1] = perMilleCell(stockTotal(r).value, r.invest, 1);
        }
    }
    const StockTotals totals = stockTotals(stocks);
    const std::string lastKospi = t.rowCount > 0
        ? formatPerMille(format("%d", t.rows[static_cast<std::size_t>(t.rowCount - 1)].kospiYieldPm))
        : undefinedCell;
    t.summaryList.rows.push_back(
        {amount(totals.count), formatAmount(noDecimals(totals.invest), 10), formatAmount(noDecimals(totals.value), 10),
         lastKospi, perMilleCell(totals.value, totals.invest, 1), formatAmount(noDecimals(totals.gain), 10),
         perMilleCell(totals.gain, totals.invest, 0)});
}

// The first line of a file's rows that its writer could not have written (from 1, after
// `skipped` lines), or a last line without its line feed, which no row shows whole.
template <class Row>
std::optional<std::size_t> firstDamaged(std::string_view bytes, const std::vector<Row>& rows, std::size_t skipped)
{
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (!rows[i].extent.parsed)
            return skipped + i + 1;
    const std::string text = textModeBytes(bytes);
    if (!text.empty() && text.back() != '\n')
        return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    return std::nullopt;
}

} // namespace

std::vector<Column> fundColumns(bool stockHeld)
{
    return {{"시작일", 85},         {"종료일", 85},    {benchmarkHeading(stockHeld), 85}, {"수익률", 85},
            {"차익률", 85},         {"총투자비", 100}, {"최종평가액", 100},               {"매매차익", 100}};
}

const std::vector<Column>& stockColumns()
{
    static const std::vector<Column> c = {{"종목명", 125}, {"종목수익률", 85}, {"주가등락", 85}, {"종가", 90},
                                          {"설정가", 90},  {"투자금액", 90},   {"보유현금", 90}, {"보유주식수", 90}};
    return c;
}

const std::vector<Column>& totalColumns()
{
    static const std::vector<Column> c = {{"종목수", 70}, {"투자비총액", 100}, {"최종평가액", 100}, {"지수수익률", 90},
                                          {"수익률", 90}, {"총매매차익", 100}, {"매매차익률", 90}};
    return c;
}

std::string benchmarkHeading(bool stockHeld) { return stockHeld ? std::string(stockHeldLabel) : "지수수익률"; }

std::string benchmarkYieldLabel(bool stockHeld)
{
    return stockHeld ? std::string(stockHeldLabel) + " 수익률" : benchmarkHeading(false);
}

ResultKind classifyResult(const std::filesystem::path& dir)
{
    recoverResults(dir); // a run killed while it put its files in place: finished or undone first
    ResultKind kind = ResultKind::FundSeries;
    std::string first, second;
    if (const auto raw = readWholeFile(dir / resultCsvFile)) {
        const std::string text = textModeBytes(*raw);
        std::size_t start = 0;
        int line = 0;
        for (std::size_t i = 0; i < text.size() && line < 3; ++i) {
            if (text[i] != '\n')
                continue;
            const std::string head = text.substr(start, std::min<std::size_t>(10, i - start));
            if (line == 1)
                first = head;
            else if (line == 2)
                second = head;
            ++line;
            start = i + 1;
        }
    }
    if (first == second)
        kind = ResultKind::SingleFund;
    // settings.csv says which it is where the lines cannot: a single fund of one day has one line
    // as a series of one fund has.
    for (const auto& s : readSettingsCsv(readWholeFile(dir / settingsCsvFile).value_or(std::string())))
        if (s.name == setting::yieldStats.key)
            kind = s.value == setting::yieldStats.word(1) ? ResultKind::FundSeries : ResultKind::SingleFund;
    if (readWholeFile(dir / tradeCsvFile))
        kind = ResultKind::SingleFundTraded;
    return kind;
}

SummaryTables emptySummaryTables(ResultKind kind)
{
    SummaryTables t;
    if (kind == ResultKind::FundSeries) {
        t.mainList.columns = fundColumns(false);
        return t;
    }
    t.mainList.columns = stockColumns();
    t.stockRowList.columns = stockColumns();
    t.stockRowList.rows.push_back(std::vector<std::string>(8));
    t.summaryList.columns = totalColumns();
    return t;
}

std::optional<DamagedLine> findDamagedLine(ResultKind kind, const std::filesystem::path& dir)
{
    auto check = [&](std::string_view name, auto read, std::size_t skipped) -> std::optional<DamagedLine> {
        const auto bytes = readWholeFile(dir / name);
        if (!bytes)
            return std::nullopt;
        if (const auto line = firstDamaged(*bytes, read(*bytes), skipped))
            return DamagedLine{std::string(name), *line};
        return std::nullopt;
    };
    if (auto d = check(resultCsvFile, [](std::string_view b) { return readResultCsv(b); }, 1))
        return d;
    if (kind == ResultKind::FundSeries)
        return std::nullopt;
    if (auto d = check(genCsvFile, [](std::string_view b) { return readGenCsv(b); }, 0))
        return d;
    if (kind == ResultKind::SingleFund)
        return std::nullopt;
    if (auto d = check(closingCsvFile, [](std::string_view b) { return readClosingCsv(b); }, 0))
        return d;
    return check(tradeCsvFile, [](std::string_view b) { return readTradeCsv(b); }, 0);
}

std::string damagedLineMessage(const DamagedLine& d)
{
    return format("결과 파일 %s의 %zu번째 줄이 손상되어 읽을 수 없습니다. 시뮬레이션을 다시 실행하세요.",
                  d.file.c_str(), d.line);
}

std::optional<std::string> resultFilesRefusal(ResultKind kind, const std::filesystem::path& dir)
{
    const auto bytes = readWholeFile(dir / resultCsvFile);
    if (!bytes || readResultCsv(*bytes).empty())
        return format("결과 파일 %s이 없거나 비어 있습니다. 시뮬레이션을 다시 실행하세요.",
                      std::string(resultCsvFile).c_str());
    if (const auto damaged = findDamagedLine(kind, dir))
        return damagedLineMessage(*damaged);
    return std::nullopt;
}

int resultStockCount(const std::filesystem::path& dir)
{
    if (const auto settings = readWholeFile(dir / settingsCsvFile))
        for (const auto& s : readSettingsCsv(*settings))
            if (s.name == setting::stocks.key)
                if (const auto n = parseIntField(s.value); n && *n >= 0)
                    return *n;
    const std::string bytes = readWholeFile(dir / resultTxtFile).value_or(std::string());
    std::set<std::string_view> codes;
    for (const ResultTxtRow& r : readResultTxt(bytes))
        if (r.extent.complete && !r.code.empty())
            codes.insert(r.code);
    return static_cast<int>(codes.size());
}

bool isOneStockSeries(const std::filesystem::path& dir)
{
    bool stocks = false, series = false;
    for (const auto& s : readSettingsCsv(readWholeFile(dir / settingsCsvFile).value_or(std::string()))) {
        stocks = stocks || (s.name == setting::stocks.key && s.value == "1");
        series = series || (s.name == setting::yieldStats.key && s.value == setting::yieldStats.word(1));
    }
    return stocks && series;
}

SummaryTables fillSummaryTables(ResultKind kind, const std::filesystem::path& dir, IMessageSink& messages)
{
    SummaryTables t;
    if (kind == ResultKind::FundSeries) {
        t.stockHeld = isOneStockSeries(dir);
        t.mainList.columns = fundColumns(t.stockHeld);
    }
    const auto results = readWholeFile(dir / resultCsvFile);
    if (!results)
        return t;
    if (!readResults(kind, *results, t, messages) || kind == ResultKind::FundSeries)
        return t;
    if (kind == ResultKind::SingleFundTraded) {
        if (const auto closing = readWholeFile(dir / closingCsvFile))
            readClosingPrices(*closing, t);
    }
    t.mainList.columns = stockColumns();
    t.stockRowList.columns = stockColumns();
    t.stockRowList.rows.push_back(std::vector<std::string>(8));
    t.summaryList.columns = totalColumns();
    readStocks(readWholeFile(dir / genCsvFile).value_or(std::string()), t);
    return t;
}

std::string formatAmount(std::string_view text, std::size_t width)
{
    std::string out;
    if (text == "0") {
        out = "-";
    } else {
        const bool negative = !text.empty() && text[0] == '-';
        const std::string_view digits = negative ? text.substr(1) : text;
        const std::size_t n = digits.size();
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t fromEnd = n - i;
            if (i > 0 && fromEnd % 3 == 0 && fromEnd <= 9)
                out.push_back(',');
            out.push_back(digits[i]);
        }
        if (negative)
            out.insert(out.begin(), '-');
    }
    if (out.size() < width)
        out.insert(0, width - out.size(), ' ');
    return out;
}

std::string formatPerMille(std::string_view text)
{
    std::string out(text);
    out.insert(out.empty() ? 0 : out.size() - 1, 1, '.');
    if (atoiText(out) == 0)
        out = !out.empty() && out[0] == '-' ? "-0" + out.substr(1) : "0" + out;
    return out + "%";
}

std::optional<std::string> shortDate(std::string_view text)
{
    std::string s(text);
    switch (s.size()) {
    case 8: return s;
    case 6:
        s.insert(3, 1, '0');
        s.insert(6, 1, '0');
        return s;
    case 7: s.insert(s[5] == '-' ? 6 : 3, 1, '0'); return s;
    default: return std::nullopt;
    }
}

std::int32_t roundFirstDecimal(double value)
{
    // A value beyond what a cell of thousands of won can hold saturates rather than overflows.
    constexpr double limit = 2147483647.0 * 10;
    const double scaled = value * 10;
    if (!(scaled == scaled))
        return 0;
    const auto t = static_cast<std::int64_t>(std::clamp(scaled, -limit, limit));
    const std::int64_t rounded = t / 10 + (t % 10 >= 5 ? 1 : 0);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(rounded, -2147483647 - 1, 2147483647));
}

} // namespace kestrelan
