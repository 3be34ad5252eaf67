// The skipping walk against the plain walk: the same state and the same files, whatever the
// prices and settings, while it passes most of a quiet market without reading it.

#include "support/PriceBuilder.h"
#include "support/TempDir.h"
#include "engine/TradingRules.h"
#include "support/WalkCases.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

using namespace kestrelan;

namespace {

/// n prices going up and down between low and high in steps of ten won, from low.
std::vector<std::int32_t> wave(int n, std::int32_t low, std::int32_t high)
{
    std::vector<std::int32_t> v;
    std::int32_t x = low, step = 10;
    for (int i = 0; i < n; ++i) {
        v.push_back(x);
        if (x + step > high || x + step < low)
            step = -step;
        x += step;
    }
    return v;
}

/// The pieces one after another.
std::vector<std::int32_t> join(std::initializer_list<std::vector<std::int32_t>> pieces)
{
    std::vector<std::int32_t> v;
    for (const auto& p : pieces)
        v.insert(v.end(), p.begin(), p.end());
    return v;
}

std::string bytesOf(const std::vector<test::PriceDay>& days)
{
    std::string bytes;
    for (const auto& d : days) {
        bytes += priceRecordBytes(d.date);
        for (const auto v : d.values)
            bytes += priceRecordBytes(v);
    }
    return bytes;
}

/// A day: its base price, its first check, then the rest.
test::PriceDay day(std::int32_t date, std::int32_t base, std::int32_t first, std::vector<std::int32_t> rest)
{
    rest.insert(rest.begin(), {base, first});
    return {date, std::move(rest)};
}

// One stock on two engines, one walking plainly and one skipping, set up as a fund start sets it
// (the worked example: 10,000,000 won, half bought at 10,000, range 50-150 %, margin 10 %, so the
// next purchase is at 9,630 and the next sale at 11,000).
struct TwoWalks
{
    explicit TwoWalks(const std::string& bytes)
        : prices(PriceFile::fromBytes(bytes))
    {
        for (CSimEngine* e : {&plain, &skipping}) {
            e->priceFile[0] = &prices;
            test::fillWorkedSlot(e->slots[0], "123450 STOCK               ");
        }
        plain.walk = WalkMode::Plain;
    }

    void each(const std::function<void(CSimEngine&)>& f)
    {
        f(plain);
        f(skipping);
    }

    // The whole file in one call (a fund of a series) or day by day with the logs open (a single
    // fund); the positions each call returns must agree.
    void run(std::int32_t from, bool dayByDay, const std::function<void(CSimEngine&)>& afterPurchase)
    {
        const int mode = 0;
        test::TempDir dirs[2];
        CSimEngine* engines[2] = {&plain, &skipping};
        for (int k = 0; k < 2; ++k) {
            if (dayByDay) {
                engines[k]->tradeLog.open(dirs[k] / "trade.csv");
                engines[k]->closingLog.open(dirs[k] / "closing.csv");
            }
            ASSERT_EQ(engines[k]->initialPurchase(static_cast<InvestMode>(mode), 0, from, dayByDay, 0.002, true), 0);
            afterPurchase(*engines[k]);
        }
        std::vector<std::int32_t> days;
        for (const std::int32_t v : prices.values())
            if (v > rules::dateThreshold && dayByDay)
                days.push_back(v);
        if (!dayByDay)
            days.push_back(99999999);
        // In one call both walks also value the stock at the end of every day of the year, days
        // without prices among them, as a fund of a series does.
        DayValuation valuations[2];
        valueDates.clear();
        for (std::int32_t d = 20040101; d <= 20041231 && !dayByDay; ++d)
            valueDates.push_back(d);
        for (int k = 0; k < 2; ++k) {
            values[k].assign(valueDates.size(), 0.0);
            cash[k].assign(valueDates.size(), 0.0);
            valuations[k] = {valueDates.data(), valueDates.size(), 0, values[k].data(), cash[k].data()};
            std::int32_t pos = from;
            for (const std::int32_t until : days) {
                if (pos == endOfData)
                    break;
                pos = engines[k]->rebalance(static_cast<InvestMode>(mode), 0, until, pos, true, dayByDay, 0.002,
                                            dayByDay ? nullptr : &valuations[k]);
                ends[k].push_back(pos);
            }
            outside[k] = valuations[k].outside;
            engines[k]->tradeLog.close();
            engines[k]->closingLog.close();
            if (dayByDay)
                logs[k] = dirs[k].read("trade.csv") + "|" + dirs[k].read("closing.csv");
        }
    }

    void expectSame(const std::string& name) const
    {
        const StockSlot& a = plain.slots[0];
        const StockSlot& b = skipping.slots[0];
        EXPECT_EQ(ends[0], ends[1]) << name;
        EXPECT_EQ(values[0], values[1]) << name;
        EXPECT_EQ(cash[0], cash[1]) << name;
        EXPECT_EQ(outside[0], outside[1]) << name;
        EXPECT_EQ(a.fills, b.fills) << name;
        EXPECT_EQ(a.commissionPaid, b.commissionPaid) << name;
        EXPECT_EQ(a.taxPaid, b.taxPaid) << name;
        EXPECT_EQ(logs[0], logs[1]) << name;
        EXPECT_EQ(a.shares, b.shares) << name;
        EXPECT_EQ(a.shares2, b.shares2) << name;
        EXPECT_EQ(a.cash, b.cash) << name;
        EXPECT_EQ(a.totBuy, b.totBuy) << name;
        EXPECT_EQ(a.totSell, b.totSell) << name;
        EXPECT_EQ(a.gain, b.gain) << name;
        EXPECT_EQ(a.level, b.level) << name;
        EXPECT_EQ(a.lastSide, b.lastSide) << name;
        EXPECT_EQ(a.last, b.last) << name;
        EXPECT_EQ(a.mult, b.mult) << name;
        EXPECT_EQ(plain.grids[0].price, skipping.grids[0].price) << name;
        EXPECT_EQ(plain.grids[0].qty, skipping.grids[0].qty) << name;
        EXPECT_EQ(plain.grids[0].sell, skipping.grids[0].sell) << name;
        EXPECT_EQ(plain.stockStarted[0], skipping.stockStarted[0]) << name;
    }

    PriceFile prices;
    CSimEngine plain;
    CSimEngine skipping;
    std::vector<std::int32_t> ends[2];
    std::string logs[2];
    std::vector<std::int32_t> valueDates;
    std::vector<double> values[2];
    std::vector<double> cash[2];
    std::int64_t outside[2] = {};
};

// The first line of the two texts that differs, with its number.
std::string firstDifference(const std::string& a, const std::string& b)
{
    std::size_t line = 1, start = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (a[i] != b[i]) {
            auto lineOf = [&](const std::string& s) { return s.substr(start, s.find('\n', start) - start); };
            return format("line %zu: \"%s\" against \"%s\"", line, lineOf(a).c_str(), lineOf(b).c_str());
        }
        if (a[i] == '\n')
            ++line, start = i + 1;
    }
    return format("%zu bytes against %zu", a.size(), b.size());
}

int fromEnvironment(const char* name, int otherwise)
{
    const char* text = std::getenv(name);
    return text && *text ? std::atoi(text) : otherwise;
}

} // namespace

TEST(SkippingWalkTest, EdgesOfTheQuietBand)
{
    enum Expect
    {
        anything,     // the walk may pass what it finds; only the sameness is asked
        readsLess,    // the skipping walk reads fewer records than the plain walk
        passesDays,   // ... and passes whole days
        passesBlocks, // ... and passes blocks of a day it walks
    };
    struct Row
    {
        const char* name;
        std::vector<test::PriceDay> days;
        std::function<void(CSimEngine&)> afterPurchase; // a state the prices alone would not reach soon
        Expect expect;
    };
    const auto start = day(20040102, 10000, 10000, {});
    const auto nothing = [](CSimEngine&) {};
    const auto quiet = wave(390, 9700, 10900);
    const Row rows[] = {
        {"quiet minute days are passed whole",
         {start, day(20040105, 10000, 10000, quiet), day(20040106, 10900, 10890, wave(390, 9640, 10990))},
         nothing,
         passesDays},
        {"a purchase, then quiet days in the new band",
         {start, day(20040105, 10000, 10000, wave(100, 9700, 10900)), day(20040106, 10000, 10000, {9600}),
          day(20040107, 9600, 9600, wave(300, 9500, 10400))},
         nothing,
         passesDays},
        {"a purchase and a sale within a long day: the blocks around them are passed",
         {start, day(20040105, 10000, 10000, join({quiet, {9630}, wave(200, 9300, 10500), {10600}, quiet}))},
         nothing,
         passesBlocks},
        {"the day's first check trades at its own price, far below the level",
         {start, day(20040105, 10000, 8000, wave(390, 8400, 9000)),
          day(20040106, 9000, 12500, wave(390, 11900, 12400))},
         nothing,
         readsLess},
        {"no cash for the next level: prices below it pass",
         {start, day(20040105, 10000, 10000, wave(390, 5000, 9000))},
         [](CSimEngine& e) { e.slots[0].cash = 100; },
         passesDays},
        {"fewer than ten shares: prices above the sell price pass",
         {start, day(20040105, 10000, 10000, wave(390, 11000, 14000))},
         [](CSimEngine& e) { e.slots[0].shares = 9; },
         passesDays},
        {"the top of the grid after a sale there: a rise leaves the first check to come",
         {start, day(20040105, 10000, 10010, wave(390, 10020, 20000))},
         [](CSimEngine& e) {
             e.slots[0].level = 1;
             e.slots[0].lastSide = 'S';
         },
         anything},
        {"the bottom of the grid after a purchase there",
         {start, day(20040105, 10000, 9990, wave(390, 100, 9980))},
         [](CSimEngine& e) {
             e.slots[0].level = 249;
             e.slots[0].lastSide = 'B';
         },
         anything},
        {"a split on a day's base price, then quiet days",
         {start, day(20040105, 5000, 5000, wave(390, 4900, 5400)), day(20040106, 5000, 5000, wave(390, 4900, 5400))},
         nothing,
         passesDays},
        {"values before the first date, two dates in a row, a price above 19,000,000",
         {{19000000, {10000, 10000, 10000}},
          start,
          {20040105, {}},
          day(20040106, 10000, 10000, quiet),
          day(20040107, 10000, 19500000, wave(100, 9700, 10900))},
         nothing,
         passesDays},
        {"days of one, two and three records",
         {start, {20040105, {10000}}, {20040106, {10000, 9000}}, {20040107, {9000, 9000, 8000}}},
         nothing,
         anything},
    };
    for (const auto& row : rows) {
        for (const bool dayByDay : {false, true}) {
            TwoWalks w(bytesOf(row.days));
            const std::int32_t from = test::positionOf(w.prices, 20040102);
            w.run(from, dayByDay, row.afterPurchase);
            w.expectSame(std::string(row.name) + (dayByDay ? ", day by day" : ", in one call"));
            if (dayByDay)
                continue;
            const WalkCounts &plain = w.plain.counts, &skipping = w.skipping.counts;
            EXPECT_EQ(plain.recordsWalked, w.prices.recordCount() - from / priceRecordSize) << row.name;
            if (row.expect != anything) {
                EXPECT_LT(skipping.recordsWalked, plain.recordsWalked) << row.name;
            }
            if (row.expect == passesDays) {
                EXPECT_GT(skipping.daysPassed, 0) << row.name;
            }
            if (row.expect == passesBlocks) {
                EXPECT_GT(skipping.blocksPassed, 0) << row.name;
            }
        }
    }
}

// Whole runs on random minute markets and settings: every result file, the status and the
// messages are the same with either walk. KESTRELAN_WALK_CASES sets how many (200 unless said),
// KESTRELAN_WALK_SEED the first seed.
TEST(SkippingWalkTest, RandomRunsLeaveTheSameFiles)
{
    const int cases = fromEnvironment("KESTRELAN_WALK_CASES", 200);
    const int firstSeed = fromEnvironment("KESTRELAN_WALK_SEED", 1);
    WalkCounts skipped;
    int ran = 0;
    for (int k = 0; k < cases; ++k) {
        test::Picks pick(static_cast<std::uint64_t>(firstSeed + k));
        const test::WalkCase c = test::pickWalkCase(pick);
        test::TempDir dir;
        test::writeWalkMarket(c, dir.path());
        const auto plain = test::runWalkCase(c, dir.path(), WalkMode::Plain);
        const auto skipping = test::runWalkCase(c, dir.path(), WalkMode::Skipping);
        for (const auto& [name, bytes] : plain.files) {
            const std::string& other = skipping.files.at(name);
            ASSERT_TRUE(other == bytes) << name << " differs, seed " << firstSeed + k << " (" << c.describe()
                                        << "): " << firstDifference(bytes, other);
        }
        ASSERT_EQ(skipping.counts.recordsCovered, plain.counts.recordsCovered) << "seed " << firstSeed + k;
        skipped += skipping.counts;
        ++ran;
    }
    // The comparison means something only when the skipping walk passed much of what it covered.
    EXPECT_LT(skipped.recordsWalked * 2, skipped.recordsCovered);
    RecordProperty("cases", ran);
    std::printf("%d random runs, the same with either walk; the skipping walk read %lld of %lld records\n", ran,
                static_cast<long long>(skipped.recordsWalked), static_cast<long long>(skipped.recordsCovered));
}
