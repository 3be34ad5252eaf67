#pragma once
// Random whole runs for comparing the plain walk with the skipping walk: a small minute market
// (one to four hundred prices a day, gaps, a split and a consolidation, a late listing, a
// delisting, a suspension), now and then damaged, and settings from every corner. The choices
// come from a seed (the unit test) or from a fuzzer's bytes.

#include "engine/CSimEngine.h"
#include "engine/Portfolio.h"
#include "formats/DividendsCsv.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"
#include "tools/MinuteMarket.h"
#include "tools/Random.h"

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace kestrelan::test {

/// Choices drawn from a seed, or read two bytes at a time from a fuzzer's input (0 once it runs out).
class Picks
{
public:
    explicit Picks(std::uint64_t seed)
        : rng(seed)
    {
    }
    Picks(const std::uint8_t* data, std::size_t size)
        : rng(0)
        , data(data)
        , size(size)
        , fromBytes(true)
    {
    }
    /// In [low, high].
    int between(int low, int high)
    {
        if (!fromBytes)
            return rng.between(low, high);
        std::uint32_t x = 0;
        for (int k = 0; k < 2; ++k)
            x = (x << 8) | (used < size ? data[used++] : 0u);
        return low + static_cast<int>(x % static_cast<std::uint32_t>(high - low + 1));
    }
    template <class T>
    T oneOf(std::initializer_list<T> list)
    {
        return list.begin()[between(0, static_cast<int>(list.size()) - 1)];
    }
    bool chance(int percent) { return between(0, 99) < percent; }

private:
    Random rng;
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t used = 0;
    bool fromBytes = false;
};

struct WalkCase
{
    MinuteMarketShape shape;
    std::vector<int> stocks; // the market's stocks in portfolio order
    int investMode = 0;
    std::int64_t amount = 0;
    SimParams params;
    /// Records overwritten after the market is written: stock, where (taken modulo the records), number.
    struct Edit
    {
        int stock;
        int where;
        std::int32_t number;
    };
    std::vector<Edit> edits;
    int cutStock = -1; // a price file cut short: to this many thousandths, plus a few bytes
    int cutPerMille = 0;
    int cutBytes = 0;
    bool datedRules = false; // trades by the market's rules of walkRulesTable (tax and ticks changing)
    bool dividends = false;  // pays the dividends of walkDividends

    std::string describe() const
    {
        std::string s = format("market seed %llu, %d-%d, %d ticks%s, range %.1f %%; stocks",
                               static_cast<unsigned long long>(shape.seed), shape.firstDay, shape.lastDay,
                               shape.ticksPerDay, shape.randomTicks ? " (random)" : "", shape.dailyRangePct);
        for (int st : stocks)
            s += format(" %d", st);
        const SimParams& p = params;
        s += format("; mode %d amount %lld; %s cadence %d years %d %d-%d; margin %d second %d range %d-%d initial %d "
                    "commission %.3f autoSet %d risk %d tax %d; %zu edits, cut %d",
                    investMode, static_cast<long long>(amount), p.yieldStats ? "series" : "single",
                    static_cast<int>(p.fundCadence), p.years, p.startDate, p.endDate, p.marginPct, p.secondPct,
                    p.rangeLowPct, p.rangeHighPct, p.initialBuyPct, p.commissionPct, p.autoSet,
                    static_cast<int>(p.riskProfile), p.includeTax, edits.size(), cutStock);
        if (datedRules)
            s += "; dated rules";
        if (dividends)
            s += "; dividends";
        return s;
    }
};

/// The market's stocks: stock 1 is suspended, 2 splits, 3 is listed late, 4 delisted early, 5
/// consolidates (tools/MinuteMarket.cpp).
constexpr int walkMarketStocks = 6;

inline WalkCase pickWalkCase(Picks& pick)
{
    WalkCase c;
    MinuteMarketShape& m = c.shape;
    m.stocks = walkMarketStocks;
    m.seed = static_cast<std::uint64_t>(pick.between(0, 1 << 30));
    const int firstYear = pick.between(2001, 2005);
    m.firstDay = firstYear * 10000 + 101;
    m.lastDay = (firstYear + pick.between(0, 1)) * 10000 + pick.oneOf({331, 630, 1231});
    m.ticksPerDay = pick.oneOf({1, 2, 3, 12, 40, 100, 390, 400});
    m.randomTicks = pick.chance(75);
    m.dailyRangePct = pick.oneOf({0.2, 1.0, 3.0, 6.0, 15.0});

    for (int n = pick.between(1, 4); n > 0; --n)
        c.stocks.push_back(pick.between(0, walkMarketStocks - 1));

    SimParams& p = c.params;
    c.investMode = pick.between(0, 2);
    p.investMode = static_cast<InvestMode>(c.investMode);
    c.amount = c.investMode == 2 ? pick.oneOf<std::int64_t>({10, 100, 10000, 1000000})
                                 : pick.oneOf<std::int64_t>({100000, 1000000, 3000000, 100000000, 2000000000});
    p.yieldStats = pick.chance(50);
    p.fundCadence = static_cast<FundCadence>(pick.between(0, 2));
    p.years = pick.between(0, 1);
    p.startDate = m.firstDay + pick.oneOf({0, 100, 215});
    p.endDate = pick.chance(80) ? m.lastDay : m.firstDay + 600;
    p.marginPct = pick.oneOf({-99, -50, 1, 3, 10, 50, 300, 10000});
    p.secondPct = pick.oneOf({-50, 0, 1, 10, 100, 1000});
    p.rangeLowPct = pick.oneOf({0, 10, 50, 90, 100, 150});
    p.rangeHighPct = pick.oneOf({50, 100, 130, 150, 300, 1000});
    p.initialBuyPct = pick.oneOf({0, 1, 30, 50, 100, 150});
    p.commissionPct = pick.oneOf({0.0, 0.015, 0.2, 5.0});
    p.autoSet = pick.chance(50);
    p.riskProfile = static_cast<RiskProfile>(pick.between(0, 2));
    p.includeTax = pick.chance(50);

    if (pick.chance(25)) {
        for (int n = pick.between(1, 6); n > 0; --n)
            c.edits.push_back({pick.between(0, walkMarketStocks - 1), pick.between(0, 1 << 30),
                               pick.oneOf<std::int32_t>({0, -5, 7, 19000000, 19960000, 19960001, 20040105, 99999999,
                                                         2147483647, -2147483647 - 1, 123456})});
    }
    if (pick.chance(10)) {
        c.cutStock = pick.between(0, walkMarketStocks - 1);
        c.cutPerMille = pick.between(0, 1000);
        c.cutBytes = pick.between(0, 13);
    }
    c.datedRules = pick.chance(50);
    c.dividends = pick.chance(50);
    return c;
}

/// Dividends of every stock of the walk markets: at the start of a year, on trading days and on
/// weekends, large and small against the prices.
inline std::vector<DividendRow> walkDividends()
{
    std::vector<DividendRow> rows;
    for (int stock = 0; stock < walkMarketStocks; ++stock)
        for (int year = 2001; year <= 2006; ++year)
            for (const auto& [monthDay, won] : {std::pair{105 + stock, 50 + 100 * stock}, {330, 7}, {616, 2500}})
                rows.push_back({format("%06d", 900000 + stock), year * 10000 + monthDay, won});
    return rows;
}

/// Rules whose tax and ticks change within the walk markets' years, a sale settling across a
/// weekend and a year's end among them.
inline constexpr const char* walkRulesTable = "kind,from,values\n"
                                              "sales_tax,2001-01-01,0.30\n"
                                              "sales_tax,2002-01-01,0.25\n"
                                              "sales_tax,2002-06-03,0.15\n"
                                              "sales_tax,2004-01-01,0.5\n"
                                              "tick,2001-01-01,0:5,5000:10,10000:50,50000:100,100000:500,500000:1000\n"
                                              "tick,2002-07-10,0:1,1000:5,5000:10,20000:50,50000:100,200000:500\n"
                                              "tick,2004-03-02,0:10,10000:100,100000:1000\n";

inline std::string walkStockCode(int stock) { return format("%06d", 900000 + stock); }

/// Writes the case's market and portfolio into `dir`.
inline void writeWalkMarket(const WalkCase& c, const std::filesystem::path& dir)
{
    writeMinuteMarket(dir, c.shape);
    std::map<int, std::string> files;
    auto file = [&](int stock) -> std::string& {
        auto it = files.find(stock);
        if (it == files.end())
            it = files.emplace(stock, *readWholeFile(priceFilePath(dir, walkStockCode(stock)))).first;
        return it->second;
    };
    for (const auto& e : c.edits) {
        std::string& bytes = file(e.stock);
        const std::size_t records = bytes.size() / priceRecordSize;
        if (records > 0)
            bytes.replace(static_cast<std::size_t>(e.where) % records * priceRecordSize, priceRecordSize,
                          priceRecordBytes(e.number));
    }
    if (c.cutStock >= 0) {
        std::string& bytes = file(c.cutStock);
        const std::size_t keep = bytes.size() / priceRecordSize * static_cast<std::size_t>(c.cutPerMille) / 1000;
        bytes.resize(std::min(bytes.size(), keep * priceRecordSize + static_cast<std::size_t>(c.cutBytes)));
    }
    for (const auto& [stock, bytes] : files)
        replaceFileAtomically(priceFilePath(dir, walkStockCode(stock)), bytes);
    const auto codes = *loadCodeList(dir / "code.lst");
    std::vector<std::string> entries;
    for (int stock : c.stocks)
        entries.push_back(codes[static_cast<std::size_t>(stock)]);
    writeSimItems(dir, entries, c.investMode, c.amount);
    if (c.datedRules)
        replaceFileAtomically(dir / "rules.csv", walkRulesTable);
    if (c.dividends)
        replaceFileAtomically(dir / "dividends.csv", dividendsCsvText(walkDividends()));
}

/// What a run of the case leaves: its status, its messages and every result file.
struct WalkOutcome
{
    std::map<std::string, std::string> files;
    WalkCounts counts;
};

inline WalkOutcome runWalkCase(const WalkCase& c, const std::filesystem::path& dir, WalkMode walk)
{
    struct Kept : IMessageSink
    {
        Answer show(std::string_view text, Buttons) override
        {
            shown += std::string(text) + "\n";
            return Answer::Ok;
        }
        std::string shown;
    } messages;
    RunContext context;
    context.workDir = dir;
    context.programDir = dir;
    context.messages = &messages;
    context.threads = 2;
    context.walk = walk;
    WalkOutcome out;
    context.counts = &out.counts;
    CSimEngine engine(context);
    SimParams params = c.params;
    if (c.datedRules)
        params.rules = (dir / "rules.csv").string();
    params.dividends = c.dividends ? 1 : 0;
    out.files["status"] = std::to_string(static_cast<int>(engine.runSimulation(params).status));
    out.files["messages"] = messages.shown;
    for (const char* name : {"result.csv", "result.txt", "gen.csv", "trade.csv", "closing.csv", "stats.csv"}) {
        const auto bytes = readWholeFile(dir / name);
        out.files[name] = bytes ? *bytes : "(none)";
    }
    return out;
}

} // namespace kestrelan::test
