#include "engine/MarketRules.h"

#include "engine/Dates.h"
#include "engine/EngineError.h"
#include "engine/SimParams.h"
#include "platform/core/TextFile.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace kestrelan {

namespace {

constexpr double designDividendTax = 0.154;

std::vector<std::string_view> fieldsOf(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = line.find(',', start);
        std::string_view f = line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        while (!f.empty() && (f.front() == ' ' || f.front() == '\t'))
            f.remove_prefix(1);
        while (!f.empty() && (f.back() == ' ' || f.back() == '\t'))
            f.remove_suffix(1);
        fields.push_back(f);
        if (comma == std::string_view::npos)
            return fields;
        start = comma + 1;
    }
}

bool digitsOnly(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<std::int32_t> wholeNumber(std::string_view s)
{
    if (!digitsOnly(s) || s.size() > 9)
        return std::nullopt;
    std::int32_t n = 0;
    for (char c : s)
        n = n * 10 + (c - '0');
    return n;
}

// YYYY-MM-DD or YYYYMMDD.
std::optional<std::int32_t> dateOf(std::string_view s)
{
    std::string digits;
    if (s.size() == 10 && s[4] == '-' && s[7] == '-')
        digits = std::string(s.substr(0, 4)) + std::string(s.substr(5, 2)) + std::string(s.substr(8, 2));
    else if (s.size() == 8)
        digits = std::string(s);
    const auto n = wholeNumber(digits);
    if (!n || !isCalendarDate(*n) || *n < minDate)
        return std::nullopt;
    return n;
}

// A percentage below 100 with up to four decimals, as the nearest fraction: the digits are read
// as millionths, so that "0.23" is exactly the double of 0.0023 and the tax of a whole amount
// never truncates a won away.
std::optional<double> percentOf(std::string_view s)
{
    const std::size_t dot = s.find('.');
    const std::string_view whole = s.substr(0, dot);
    const std::string_view part = dot == std::string_view::npos ? std::string_view() : s.substr(dot + 1);
    if (!digitsOnly(whole) || whole.size() > 2 || (dot != std::string_view::npos && !digitsOnly(part))
        || part.size() > 4)
        return std::nullopt;
    std::int64_t millionths = *wholeNumber(whole) * 10000;
    std::int64_t scale = 1000;
    for (char c : part) {
        millionths += (c - '0') * scale;
        scale /= 10;
    }
    return static_cast<double>(millionths) / 1e6;
}

std::optional<TickTable> ticksOf(std::span<const std::string_view> fields, std::string& problem)
{
    TickTable table;
    for (const std::string_view f : fields) {
        const std::size_t colon = f.find(':');
        const auto price = wholeNumber(f.substr(0, colon));
        const auto tick = colon == std::string_view::npos ? std::nullopt : wholeNumber(f.substr(colon + 1));
        if (!price || !tick || *tick <= 0) {
            problem = "가격:호가단위를 읽을 수 없습니다: " + std::string(f);
            return std::nullopt;
        }
        if (table.count == 0 ? *price != 0 : *price <= table.from[table.count - 1]) {
            problem = "가격대는 0원에서 시작해 커져야 합니다: " + std::string(f);
            return std::nullopt;
        }
        if (table.count == TickTable::maxBands) {
            problem = "가격대는 " + std::to_string(TickTable::maxBands) + "개까지입니다.";
            return std::nullopt;
        }
        table.from[table.count] = *price;
        table.tick[table.count] = *tick;
        ++table.count;
    }
    if (table.count == 0)
        problem = "가격:호가단위가 없습니다.";
    return table.count ? std::optional(table) : std::nullopt;
}

template <class Entry>
double rateOn(const std::vector<Entry>& entries, std::int32_t date, double none)
{
    if (entries.empty())
        return none;
    auto it = std::upper_bound(entries.begin(), entries.end(), date,
                               [](std::int32_t d, const Entry& e) { return d < e.from; });
    return it == entries.begin() ? entries.front().rate : std::prev(it)->rate;
}

// The trading days of `calendar`, then every weekday after its last (or from `from` when it is
// empty) up to `last`.
std::vector<std::int32_t> extended(std::span<const std::int32_t> calendar, std::int32_t from, std::int32_t last)
{
    std::vector<std::int32_t> days(calendar.begin(), calendar.end());
    const std::int32_t after = days.empty() ? from : days.back();
    if (after < last) {
        const auto more = weekdaysBetween(dateOfDayNumber(calendarDayNumber(after) + 1), last,
                                          [](std::int32_t) { return false; });
        days.insert(days.end(), more.begin(), more.end());
    }
    return days;
}

std::int32_t daysLater(std::int32_t date, int days) { return dateOfDayNumber(calendarDayNumber(date) + days); }

} // namespace

MarketRules designRules()
{
    MarketRules rules;
    rules.salesTax = {{minDate, salesTaxRate}};
    rules.dividendTax = {{minDate, designDividendTax}};
    return rules;
}

MarketRules parseRules(std::string_view text, const std::string& name, const std::string& file)
{
    MarketRules rules;
    rules.name = name;
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    std::size_t number = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++number;
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos || line.starts_with('#'))
            continue;
        const auto fields = fieldsOf(line);
        if (fields[0] == "kind")
            continue; // the header
        const auto fail = [&](const std::string& what) {
            return EngineError(StopReason::Rules, file + ":" + std::to_string(number) + ": " + what, file);
        };
        if (fields.size() < 3)
            throw fail("종류, 날짜, 값이 있어야 합니다.");
        const auto from = dateOf(fields[1]);
        if (!from)
            throw fail("날짜를 읽을 수 없습니다 (YYYY-MM-DD): " + std::string(fields[1]));
        const auto ascending = [&](const auto& entries) {
            if (!entries.empty() && entries.back().from >= *from)
                throw fail("날짜는 같은 종류의 앞 줄보다 늦어야 합니다: " + std::string(fields[1]));
        };
        if (fields[0] == "sales_tax" || fields[0] == "dividend_tax") {
            auto& entries = fields[0] == "sales_tax" ? rules.salesTax : rules.dividendTax;
            ascending(entries);
            const auto rate = fields.size() == 3 ? percentOf(fields[2]) : std::nullopt;
            if (!rate)
                throw fail("비율(%)을 하나, 100보다 작게 소수 넷째 자리까지 적으십시오: " + std::string(fields[2]));
            entries.push_back({*from, *rate});
        } else if (fields[0] == "tick") {
            ascending(rules.ticks);
            std::string problem;
            const auto table = ticksOf(std::span(fields).subspan(2), problem);
            if (!table)
                throw fail(problem);
            rules.ticks.push_back({*from, *table});
        } else {
            throw fail("알 수 없는 종류입니다 (sales_tax, tick, dividend_tax): " + std::string(fields[0]));
        }
    }
    if (rules.salesTax.empty())
        throw EngineError(StopReason::Rules, file + ": sales_tax 줄이 없습니다.", file);
    if (rules.dividendTax.empty())
        rules.dividendTax = {{minDate, designDividendTax}};
    return rules;
}

RateRange salesTaxRange(const MarketRules& rules, std::int32_t start, std::int32_t end)
{
    RateRange range{std::numeric_limits<double>::max(), 0};
    const auto& rates = rules.salesTax;
    for (std::size_t i = 0; i < rates.size(); ++i) {
        // A date before the first line takes the first line's rate.
        const bool begunByEnd = i == 0 || rates[i].from <= end;
        const bool inForceAtStart = i + 1 == rates.size() || rates[i + 1].from > start;
        if (begunByEnd && inForceAtStart) {
            range.lowest = std::min(range.lowest, rates[i].rate);
            range.highest = std::max(range.highest, rates[i].rate);
        }
    }
    if (range.lowest > range.highest) // no rate at all
        range.lowest = 0;
    return range;
}

MarketRules loadRules(const std::string& name, const std::filesystem::path& dataFolder)
{
    if (name.empty() || name == rulesName::design)
        return designRules();
    const std::filesystem::path file = name == rulesName::krx ? dataFolder / krxRulesFile : std::filesystem::path(name);
    const auto text = readWholeFile(file, 1 << 20);
    if (!text)
        throw EngineError(StopReason::Rules, "시장 규칙 파일을 읽을 수 없습니다: " + file.string(), file);
    return parseRules(*text, name, file.string());
}

DatedRules::DatedRules()
    : DatedRules(designRules(), {})
{
}

DatedRules::DatedRules(MarketRules rules, std::span<const std::int32_t> calendar)
    : source(std::move(rules))
{
    build(calendar);
}

std::int32_t DatedRules::settlement(std::int32_t date, std::span<const std::int32_t> calendar)
{
    const auto days = extended(calendar, date, daysLater(date, 14));
    const auto next = std::upper_bound(days.begin(), days.end(), date);
    return next + 1 < days.end() ? *(next + 1) : daysLater(date, 14);
}

// Each change of a rule as the first trading day it applies to: a sales tax from the first day
// whose sales settle on or after its date (two trading days before the first trading day on or
// after it), a tick table and a dividend tax from their own date. Between two changes the day's
// rules stay.
void DatedRules::build(std::span<const std::int32_t> calendar)
{
    std::int32_t last = 0;
    for (const auto& r : source.salesTax)
        last = std::max(last, r.from);
    const auto trading = extended(calendar, last, daysLater(last, 14));
    std::vector<std::int32_t> changes = {std::numeric_limits<std::int32_t>::min()};
    std::vector<MarketRules::Rate> taxByTrade;
    for (const auto& r : source.salesTax) {
        const auto s
            = static_cast<std::size_t>(std::lower_bound(trading.begin(), trading.end(), r.from) - trading.begin());
        const std::int32_t from = s >= 2 ? trading[s - 2] : std::numeric_limits<std::int32_t>::min();
        taxByTrade.push_back({from, r.rate});
        changes.push_back(from);
    }
    for (const auto& t : source.ticks)
        changes.push_back(t.from);
    for (const auto& r : source.dividendTax)
        changes.push_back(r.from);
    std::sort(changes.begin(), changes.end());
    changes.erase(std::unique(changes.begin(), changes.end()), changes.end());
    for (const std::int32_t from : changes) {
        const TickTable* ticks = nullptr;
        if (!source.ticks.empty()) {
            auto it = std::upper_bound(source.ticks.begin(), source.ticks.end(), from,
                                       [](std::int32_t d, const MarketRules::Ticks& e) { return d < e.from; });
            ticks = &(it == source.ticks.begin() ? *it : *std::prev(it)).table;
        }
        starts.push_back(from);
        days.push_back({rateOn(taxByTrade, from, salesTaxRate), ticks,
                              rateOn(source.dividendTax, from, designDividendTax)});
    }
}

DatedRules::Span DatedRules::on(std::int32_t date) const
{
    const auto it = std::upper_bound(starts.begin(), starts.end(), date);
    const std::size_t k = it == starts.begin() ? 0 : static_cast<std::size_t>(it - starts.begin()) - 1;
    return {days[k], starts[k], k + 1 < starts.size() ? starts[k + 1] : std::numeric_limits<std::int32_t>::max()};
}

const DatedRules& designDatedRules()
{
    static const DatedRules rules;
    return rules;
}

} // namespace kestrelan
