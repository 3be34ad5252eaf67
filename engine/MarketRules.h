#pragma once
// The market's rules by date: the tax on a sale (by the day the sale settles), the tick table a
// rounding uses (by the day it happens) and the tax withheld from a dividend. The default rules
// are one tax and one tick table for every day; `krx` is the table shipped as rules-krx.csv (the
// Korean market as it was); a user's own table has the same form. DatedRules turns the rules and
// the market's calendar into what a walk reads on each trading day.

#include "engine/TickRound.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelan {

/// Price bands and their ticks: from `from[i]` won up (to the next band) prices move in
/// `tick[i]`. The first band starts at 0.
struct TickTable
{
    static constexpr int maxBands = 12;
    std::array<std::int32_t, maxBands> from{};
    std::array<std::int32_t, maxBands> tick{};
    int count = 0;

    bool operator==(const TickTable&) const = default;
};

/// The price rounded to the tick of its own band in `table` (chosen by the unrounded price), as
/// tickRound does with the default table; nullptr is the default table.
inline std::int32_t tickRound(std::int32_t price, Round direction, const TickTable* table)
{
    if (!table)
        return tickRound(price, direction);
    int band = 0;
    while (band + 1 < table->count && price >= table->from[band + 1])
        ++band;
    const std::int32_t tick = table->tick[band];
    const std::int32_t rest = price % tick;
    if (direction == Round::Up && rest != 0)
        price += tick;
    return price - rest;
}

/// A cash dividend of a stock: on its ex-date each share held at the previous close gets this
/// many won, less the tax withheld.
struct Dividend
{
    std::int32_t date;
    std::int32_t wonPerShare;
};

/// Which rules a run trades by, as the user names them.
namespace rulesName {
inline constexpr std::string_view design = "design"; // the default: one tax, one tick table
inline constexpr std::string_view krx = "krx";       // rules-krx.csv from the program's data folder
} // namespace rulesName

/// The file name of the shipped table of the Korean market's rules.
inline constexpr std::string_view krxRulesFile = "rules-krx.csv";

struct MarketRules
{
    /// A rate (fraction) from a date on.
    struct Rate
    {
        std::int32_t from;
        double rate;
    };
    struct Ticks
    {
        std::int32_t from;
        TickTable table;
    };
    std::string name = std::string(rulesName::design); // "design", "krx" or the user's file as given
    std::vector<Rate> salesTax;                         // by settlement date, ascending
    std::vector<Ticks> ticks;                           // by trading date, ascending; empty: the default table
    std::vector<Rate> dividendTax;                      // by payment date, ascending

    bool isDesign() const { return name == rulesName::design; }
};

/// The default rules: the sales tax of salesTaxRate on every sale, the default tick table, and
/// 15.4 % withheld from a dividend.
MarketRules designRules();

/// The rules of a table's text (see rules-krx.csv for the form), named `name`; `file` names it
/// in a message. Throws EngineError "<file>:<line>: <what is wrong>" (Korean) for a line that
/// does not read, and for a table without a sales tax line.
MarketRules parseRules(std::string_view text, const std::string& name, const std::string& file);

/// The lowest and highest sales tax (fractions) of `rules` in force on some settlement day from
/// `start` to `end` (yyyymmdd).
struct RateRange
{
    double lowest;
    double highest;
};
RateRange salesTaxRange(const MarketRules& rules, std::int32_t start, std::int32_t end);

/// The rules a run names: "design", "krx" (rules-krx.csv in `dataFolder`) or a file. Throws
/// EngineError for a table that cannot be read or does not read.
MarketRules loadRules(const std::string& name, const std::filesystem::path& dataFolder);

/// What a walk reads on a trading day: the tax on a sale made that day, the tick table of the
/// day's roundings and the tax withheld from a dividend paid that day.
struct DayRules
{
    double salesTax;
    const TickTable* ticks; // nullptr: the default table
    double dividendTax;
};

/// The rules by trading day. A sale settles two trading days after it is made, on `calendar`
/// (the market's trading days, ascending; past its end every weekday counts), so the tax rate of
/// a settlement date applies from the trading day two before it.
class DatedRules
{
public:
    /// The default rules.
    DatedRules();
    DatedRules(MarketRules rules, std::span<const std::int32_t> calendar);
    // The days point into the rules' tick tables.
    DatedRules(const DatedRules&) = delete;
    DatedRules& operator=(const DatedRules&) = delete;

    /// The rules of trading day `date`, valid for the days from `from` to before `until`.
    struct Span
    {
        DayRules day;
        std::int32_t from;
        std::int32_t until;
    };
    Span on(std::int32_t date) const;

    const MarketRules& rules() const { return source; }
    /// The day a sale made on `date` settles: the second trading day after it.
    static std::int32_t settlement(std::int32_t date, std::span<const std::int32_t> calendar);

private:
    void build(std::span<const std::int32_t> calendar);

    MarketRules source;
    std::vector<std::int32_t> starts; // trading days from which the next span begins
    std::vector<DayRules> days;       // one per span: days[i] from starts[i]
};

/// The default rules by day, shared by every run that names no other.
const DatedRules& designDatedRules();

} // namespace kestrelan
