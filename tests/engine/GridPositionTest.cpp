// The bands a position gives the walks against what its passes do: a price inside a band trades
// nothing (the walks pass it), and a price on the edge of the quiet band trades.

#include "engine/CSimEngine.h"
#include "support/PriceBuilder.h"

#include <functional>
#include <gtest/gtest.h>
#include <limits>

using namespace kestrelan;

namespace {

// A stock's slot and grid, copied for each step so that one step cannot change another's grid.
struct State
{
    StockSlot slot;
    Grid grid;
    bool checked = false; // the day's first check has run
};

bool same(const State& a, const State& b)
{
    const StockSlot &x = a.slot, &y = b.slot;
    return x.shares == y.shares && x.shares2 == y.shares2 && x.cash == y.cash && x.level == y.level
        && x.lastSide == y.lastSide && x.last == y.last && x.totBuy == y.totBuy && x.totSell == y.totSell
        && x.gain == y.gain && x.mult == y.mult && a.grid.price == b.grid.price && a.grid.qty == b.grid.qty
        && a.grid.sell == b.grid.sell && a.checked == b.checked;
}

const TradeCosts costs{0.002, 0.003};

// The state's position with `prev` as the price read last, the day's first check done or to
// come, after `step`.
State after(const State& s, std::int32_t prev, const std::function<void(GridPosition&)>& step)
{
    State out = s;
    out.slot.last = prev;
    GridPosition p(out.slot, out.grid, costs);
    p.openDay(prev, true);
    if (s.checked)
        p.pass(prev);
    step(p);
    p.storeInto(out.slot);
    out.checked = p.firstCheckDone();
    return out;
}

} // namespace

TEST(GridPositionTest, TheBandsAgreeWithThePasses)
{
    // The worked example after its opening purchase: 500 shares, level 140 bought at 10,000.
    CSimEngine engine;
    PriceFile prices = PriceFile::fromBytes(test::priceBytes({{20040102, {10000, 10000}}}));
    engine.priceFile[0] = &prices;
    test::fillWorkedSlot(engine.slots[0], "123450 STOCK               ");
    ASSERT_EQ(engine.initialPurchase(InvestMode::PerStock, 0, 0, false, costs.commission, true), 0);
    const State opened{engine.slots[0], engine.grids[0]};

    struct Row
    {
        const char* name;
        std::function<void(State&)> make;
    };
    const Row rows[] = {
        {"after the opening purchase", [](State&) {}},
        {"after a sale", [](State& s) { s.slot.level = 139, s.slot.lastSide = 'S'; }},
        {"at the top after a sale there", [](State& s) { s.slot.level = 1, s.slot.lastSide = 'S'; }},
        {"at the bottom after a purchase there", [](State& s) { s.slot.level = 249, s.slot.lastSide = 'B'; }},
        {"without the cash for the next level", [](State& s) { s.slot.cash = 100; }},
        {"with fewer than ten shares", [](State& s) { s.slot.shares = 9; }},
    };
    for (const auto& row : rows) {
        for (const bool checked : {false, true}) {
            State s = opened;
            row.make(s);
            s.checked = checked;
            FirstLevels first{};
            PriceBand quiet{}, firstCheck{};
            after(s, 10000, [&](GridPosition& p) {
                first = p.firstLevels();
                quiet = p.quietBand();
                firstCheck = p.firstCheckBand();
            });
            const std::string name = std::string(row.name) + (checked ? ", first check done" : ", first check to come");
            for (const std::int64_t edge : {std::int64_t{first.buy}, std::int64_t{first.sell}, quiet.below, quiet.above}) {
                if (edge <= 0 || edge >= 1000000)
                    continue; // no level on that side
                for (const std::int64_t d : {-10, -1, 0, 1, 10}) {
                    const auto t = static_cast<std::int32_t>(edge + d);
                    for (const std::int32_t prev : {t - 100, t + 100}) {
                        const State traded = after(s, prev, [&](GridPosition& p) { p.trade(t); });
                        const State passed = after(s, prev, [&](GridPosition& p) { p.pass(t); });
                        const PriceBand band = checked ? quiet : firstCheck;
                        if ((t > first.buy && t < first.sell) || band.holds(t, t)) {
                            EXPECT_TRUE(same(traded, passed)) << name << ": " << t << " after " << prev;
                        }
                        // On the edge of the quiet band the next level trades.
                        const bool falls = prev >= t && t == quiet.below, rises = prev < t && t == quiet.above;
                        if (checked && (falls || rises)) {
                            EXPECT_NE(traded.slot.shares, s.slot.shares) << name << ": " << t << " after " << prev;
                        }
                    }
                }
            }
        }
    }
}
