#include "results/core/SummaryTables.h"

#include "formats/FieldReader.h"
#include "platform/core/Cp949.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kestrelan {

namespace {

constexpr const char* invalidDate = "잘못된 날짜가 있습니다.";
constexpr const char* undefinedCell = "-";

double atofText(std::string_view text)
{
    const std::string s(text);
    return std::strtod(s.c_str(), nullptr);
}

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

std::string rtrim(std::string s)
{
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.pop_back();
    return s;
}

const std::vector<Column>& fundColumns()
{
    static const std::vector<Column> c = {{"시작일", 85}, {"종료일", 85},    {"지수수익률", 85},  {"수익률", 85},
                                          {"차익률", 85}, {"총투자비", 100}, {"최종평가액", 100}, {"매매차익", 100}};
    return c;
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

// result.csv into the rows (and, for a fund series, the fund table). False after an invalid date.
bool readResults(ResultKind kind, const std::string& text, SummaryTables& t, IMessageSink& messages)
{
    const bool series = kind == FundSeries;
    double total = 0, stocks = 0, valuation = 0;
    bool rowOpen = false;
    bool valid = true;
    int complete = 0;
    readFields(text, [&](const FieldEvent& e) {
        if (e.line == 0)
            return true; // the header
        const std::size_t i = e.line - 1;
        if (t.rows.size() <= i) {
            t.rows.resize(i + 1);
            t.rowDates.resize(i + 1);
            rowOpen = false;
        }
        ResultRow& row = t.rows[i];
        auto cell = [&](int column, std::string value) {
            if (series && rowOpen)
                t.mainList.rows.back()[static_cast<std::size_t>(column)] = std::move(value);
        };
        if (e.lastOfLine) {
            const double profit = atofText(e.text);
            cell(7, formatAmount(noDecimals(profit * 0.001), 12));
            row.profitRatePm = total == 0 ? 0 : atoiText(noDecimals(profit / total * 1000));
            cell(4, perMilleCell(profit, total, 0));
            row.stockSharePm = valuation == 0 ? 0 : atoiText(noDecimals(stocks / valuation * 1000));
            ++complete;
            return true;
        }
        switch (e.field) {
        case 0:
            if (series) {
                const auto date = shortDate(cut(e.text, 2, 10));
                if (!date)
                    return valid = false;
                t.mainList.rows.push_back(std::vector<std::string>(8));
                rowOpen = true;
                cell(0, *date);
            }
            break;
        case 1: {
            const auto date = shortDate(series ? cut(e.text, 2, 10) : cut(e.text.substr(0, 10), 2, 8));
            if (!date)
                return valid = false;
            if (series)
                cell(1, *date);
            else
                t.rowDates[i] = *date;
            break;
        }
        case 4:
            total = atofText(e.text);
            cell(5, formatAmount(noDecimals(total * 0.001), 12));
            break;
        case 6: stocks = atofText(e.text); break;
        case 7:
            valuation = atofText(e.text);
            cell(6, formatAmount(noDecimals(valuation * 0.001), 12));
            break;
        case 8: {
            const std::string k = noDecimals(atofText(e.text) * 1000);
            row.kospiYieldPm = atoiText(k);
            cell(2, formatPerMille(k));
            break;
        }
        case 9: {
            const std::string y = noDecimals(atofText(e.text) * 1000);
            row.fundYieldPm = atoiText(y);
            cell(3, formatPerMille(y));
            break;
        }
        default: break;
        }
        return true;
    });
    if (!valid) {
        messages.show(invalidDate);
        return false;
    }
    t.rowCount = complete;
    return true;
}

void readClosingPrices(const std::string& text, SummaryTables& t)
{
    readFields(text, [&](const FieldEvent& e) {
        if (e.field == 0 || e.line >= t.rows.size())
            return true;
        auto& closing = t.rows[e.line].closing;
        if (closing.size() < e.field)
            closing.resize(e.field);
        if (e.text.empty())
            closing[e.field - 1] = std::nullopt; // the stock's data had ended: no price
        else
            closing[e.field - 1] = atoiText(e.text);
        return true;
    });
}

void readStocks(const std::string* text, SummaryTables& t)
{
    double sumInvest = 0, sumValue = 0, sumProfit = 0;
    int lines = 0;
    if (text) {
        std::int32_t close = 0, setting = 0;
        double invest = 0, cash = 0, value = 0;
        bool rowOpen = false;
        std::size_t currentLine = SIZE_MAX;
        readFields(*text, [&](const FieldEvent& e) {
            if (e.line != currentLine) {
                currentLine = e.line;
                rowOpen = false;
            }
            auto cell = [&](int column, std::string v) {
                if (rowOpen)
                    t.mainList.rows.back()[static_cast<std::size_t>(column)] = std::move(v);
            };
            if (e.lastOfLine) {
                sumProfit += atofText(e.text);
                cell(2, perMilleCell(close, setting, 1));
                cell(1, perMilleCell(value, invest, 1));
                ++lines;
                return true;
            }
            switch (e.field) {
            case 0: t.stockCodes.emplace_back(e.line == 0 ? e.text : e.text.substr(0, 6)); break;
            case 1: {
                const std::string name = fromCp949Lossy(e.text.substr(0, 20));
                t.mainList.rows.push_back(std::vector<std::string>(8));
                rowOpen = true;
                cell(0, name);
                t.stockCombo.push_back(rtrim(name));
                break;
            }
            case 2:
                close = atoiText(e.text);
                cell(3, formatAmount(e.text.substr(0, 20), 10));
                break;
            case 3:
                setting = atoiText(e.text);
                cell(4, formatAmount(e.text.substr(0, 20), 10));
                break;
            case 4:
                invest = atofText(e.text);
                sumInvest += invest;
                cell(5, formatAmount(format("%d", roundFirstDecimal(invest)), 10));
                break;
            case 5:
                cash = atofText(e.text);
                cell(6, formatAmount(format("%d", roundFirstDecimal(cash)), 10));
                break;
            case 6:
                cell(7, formatAmount(e.text.substr(0, 20), 10));
                value = static_cast<double>(atoiText(e.text)) * close * 0.001 + cash;
                sumValue += value;
                break;
            default: break;
            }
            return true;
        });
    }
    const std::string lastKospi = t.rowCount > 0
        ? formatPerMille(format("%d", t.rows[static_cast<std::size_t>(t.rowCount - 1)].kospiYieldPm))
        : undefinedCell;
    t.summaryList.rows.push_back({formatAmount(format("%d", lines), 10), formatAmount(noDecimals(sumInvest), 10),
                                  formatAmount(noDecimals(sumValue), 10), lastKospi,
                                  perMilleCell(sumValue, sumInvest, 1), formatAmount(noDecimals(sumProfit), 10),
                                  perMilleCell(sumProfit, sumInvest, 0)});
}

} // namespace

ResultKind classifyResult(const std::filesystem::path& dir)
{
    ResultKind kind = FundSeries;
    std::string first, second;
    if (const auto raw = readWholeFile(dir / "result.csv")) {
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
        kind = SingleFund;
    if (readWholeFile(dir / "trade.csv"))
        kind = SingleFundTraded;
    return kind;
}

SummaryTables fillSummaryTables(ResultKind kind, const std::filesystem::path& dir, IMessageSink& messages)
{
    SummaryTables t;
    if (kind == FundSeries)
        t.mainList.columns = fundColumns();
    const auto results = readWholeFile(dir / "result.csv");
    if (!results)
        return t;
    if (!readResults(kind, *results, t, messages) || kind == FundSeries)
        return t;
    if (kind == SingleFundTraded) {
        if (const auto closing = readWholeFile(dir / "closing.csv"))
            readClosingPrices(*closing, t);
    }
    t.mainList.columns = stockColumns();
    t.stockRowList.columns = stockColumns();
    t.stockRowList.rows.push_back(std::vector<std::string>(8));
    t.summaryList.columns = totalColumns();
    const auto gen = readWholeFile(dir / "gen.csv");
    const std::string genText = gen ? *gen : std::string();
    readStocks(gen ? &genText : nullptr, t);
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
