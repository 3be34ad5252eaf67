// The market's rules by date: the sales tax by the day a sale settles, the ticks by the day a
// rounding happens, and a user's table refused with its file and line.

#include "support/PriceBuilder.h"
#include "support/TempDir.h"
#include "engine/CSimEngine.h"
#include "engine/Dates.h"
#include "engine/EngineError.h"
#include "engine/MarketRules.h"
#include "platform/core/Cp949.h"
#include "platform/core/Folders.h"

#include <gtest/gtest.h>
#include <set>

using namespace kestrelan;

namespace {

// Trading days as the market had them around the changes: weekdays without the holidays that
// move a settlement (Memorial Day 2019, the year-end closings, New Year, Lunar New Year 2023).
std::vector<std::int32_t> tradingDays(std::int32_t last = 20260109)
{
    const std::set<std::int32_t> holidays = {20190606, 20201231, 20210101, 20230123, 20230124, 20231229,
                                             20240101, 20241231, 20250101, 20251231, 20260101};
    return weekdaysBetween(20180102, last, [&](std::int32_t d) { return holidays.contains(d); });
}

} // namespace

TEST(MarketRulesTest, SalesAreTaxedAtTheRateOfTheDayTheySettle)
{
    const auto calendar = tradingDays();
    const DatedRules krx(loadRules("krx", dataFolder()), calendar);
    struct Row
    {
        std::int32_t trade;
        std::int32_t settles;
        double ratePct;
    };
    const Row rows[] = {
        {20190529, 20190531, 0.30}, // Wednesday: settles on Friday, before the change
        {20190530, 20190603, 0.25}, // Thursday: over the weekend onto the change's Monday
        {20201228, 20201230, 0.25},
        {20201229, 20210104, 0.23}, // the year-end closing and New Year in between
        {20221228, 20221230, 0.23},
        {20221229, 20230102, 0.20}, // over the weekend into the new year
        {20231226, 20231228, 0.20},
        {20231227, 20240102, 0.18}, // the closing on Friday the 29th, New Year on Monday
        {20241226, 20241230, 0.18},
        {20241227, 20250102, 0.15}, // Friday: Monday, then the closing and New Year
        {20251226, 20251230, 0.15},
        {20251229, 20260102, 0.20},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(DatedRules::settlement(r.trade, calendar), r.settles) << r.trade;
        // The rate as a fraction read from the table: exactly the double of the decimal.
        EXPECT_EQ(krx.on(r.trade).day.salesTax, r.ratePct / 100) << r.trade;
    }
    // Past the calendar's end every weekday counts.
    const auto shortCalendar = tradingDays(20251226);
    EXPECT_EQ(DatedRules::settlement(20251229, shortCalendar), 20251231);
    EXPECT_EQ(DatedRules(loadRules("krx", dataFolder()), shortCalendar).on(20251229).day.salesTax, 0.0015);
    EXPECT_EQ(DatedRules(loadRules("krx", dataFolder()), shortCalendar).on(20251230).day.salesTax, 0.0020);
    // The default rules: one rate, the default tick table.
    EXPECT_EQ(designDatedRules().on(20250102).day.salesTax, salesTaxRate);
    EXPECT_EQ(designDatedRules().on(20250102).day.ticks, nullptr);
}

TEST(MarketRulesTest, AGridIsLaidOutOnTheTicksOfItsOwnDay)
{
    const DatedRules krx(loadRules("krx", dataFolder()), tradingDays());
    struct Row
    {
        std::int32_t date;
        std::int32_t price;
        Round direction;
        std::int32_t rounded;
    };
    const Row rows[] = {
        {20230120, 1234, Round::Up, 1235},     {20230125, 1234, Round::Up, 1234},
        {20230120, 15123, Round::Up, 15150},   {20230125, 15123, Round::Up, 15130},
        {20230120, 150120, Round::Down, 150000}, {20230125, 150120, Round::Down, 150100},
        {20230125, 199999, Round::Up, 200000}, {20230125, 500001, Round::Down, 500000},
    };
    for (const Row& r : rows)
        EXPECT_EQ(tickRound(r.price, r.direction, krx.on(r.date).day.ticks), r.rounded) << r.date << " " << r.price;

    // The engine's initial purchase lays the grid out on its day's table: at 15,120 won the
    // levels step by 50 won before the change and by 10 after it.
    for (const std::int32_t date : {20230120, 20230125}) {
        const PriceFile prices
            = PriceFile::fromBytes(test::priceBytes({{date, {15120, 15120, 15120}}, {date + 1, {15120, 15120}}}));
        CSimEngine engine;
        engine.rules = &krx;
        engine.priceFile[0] = &prices;
        test::fillWorkedSlot(engine.slots[0], "123450 STOCK               ");
        engine.slots[0].sDate = date;
        ASSERT_EQ(engine.initialPurchase(InvestMode::PerStock, 0, 0, false, 0.002, true), 0);
        bool offTheOldTicks = false;
        for (int k = 1; k < gridLevels; ++k)
            offTheOldTicks |= engine.grids[0].price[k] >= 10000 && engine.grids[0].price[k] % 50 != 0;
        EXPECT_EQ(offTheOldTicks, date >= 20230125) << date;
    }
}

TEST(MarketRulesTest, ATableThatDoesNotReadIsRefusedWithItsFileAndLine)
{
    const std::string head = "# my rules\nkind,from,values\nsales_tax,2000-01-01,0.3\n";
    struct Row
    {
        std::string text;
        std::string message; // empty: the table reads
    };
    const Row rows[] = {
        {head + "tick,2000-01-01,0:5,5000:10\n", ""},
        {head + "sales_tax,2000-02-30,0.2\n", "t.csv:4: 날짜를 읽을 수 없습니다"},
        {head + "sales_tax,1999-01-01,0.2\n", "t.csv:4: 날짜는 같은 종류의 앞 줄보다 늦어야 합니다"},
        {head + "\nsales_tax,2001-01-01,0,2\n", "t.csv:5: 비율(%)을"},
        {head + "sales_tax,2001-01-01,100\n", "t.csv:4: 비율(%)을"},
        {head + "tick,2000-01-01,100:5\n", "t.csv:4: 가격대는 0원에서"},
        {head + "tick,2000-01-01,0:5,0:10\n", "t.csv:4: 가격대는 0원에서"},
        {head + "tick,2000-01-01,0:0\n", "t.csv:4: 가격:호가단위를"},
        {head + "fee,2000-01-01,1\n", "t.csv:4: 알 수 없는 종류"},
        {"kind,from,values\r\ntick,2000-01-01,0:5\r\n", "t.csv: sales_tax 줄이 없습니다"},
    };
    for (const Row& r : rows) {
        try {
            const MarketRules rules = parseRules(r.text, "t.csv", "t.csv");
            EXPECT_EQ(r.message, "") << r.text;
        } catch (const EngineError& e) {
            EXPECT_NE(r.message, "") << r.text << e.what();
            EXPECT_EQ(std::string(e.what()).rfind(r.message, 0), 0u) << e.what();
        }
    }
    EXPECT_THROW(loadRules("no-such-rules.csv", dataFolder()), EngineError);
}

TEST(MarketRulesTest, ADividendIsPaidOnTheSharesHeldAtThePreviousClose)
{
    // 500 shares bought at 10,000 on the first day; flat prices trade nothing afterwards.
    const PriceFile prices = PriceFile::fromBytes(test::priceBytes({{20240102, {10000, 10000, 10000}},
                                                                     {20240103, {10000, 10000, 10000}},
                                                                     {20240104, {10000, 10000}}}));
    struct Row
    {
        const char* name;
        std::int32_t exDate;
        std::int32_t shares; // held after the purchase (-1: as bought)
        double net;
    };
    const Row rows[] = {
        {"held: 500 shares at 500 won, less 15.4 %", 20240103, -1, 250000 - 38500},
        {"nothing held", 20240103, 0, 0},
        {"the fund's first day: nothing held at the previous close", 20240102, -1, 0},
        {"a day without prices", 20240105, -1, 0},
    };
    for (const Row& r : rows) {
        for (const WalkMode mode : {WalkMode::Plain, WalkMode::Skipping}) {
            for (const bool dayByDay : {false, true}) {
                test::TempDir dir;
                CSimEngine engine;
                engine.walk = mode;
                engine.priceFile[0] = &prices;
                test::fillWorkedSlot(engine.slots[0], "123450 STOCK               ");
                engine.slots[0].sDate = 20240102;
                const Dividend dividends[] = {{r.exDate, 500}};
                engine.dividends[0] = dividends;
                engine.tradeLog.open(dir / "trade.csv");
                ASSERT_EQ(engine.initialPurchase(InvestMode::PerStock, 0, 0, dayByDay, 0.002, true), 0);
                if (r.shares >= 0)
                    engine.slots[0].shares = r.shares;
                const double cash = engine.slots[0].cash;
                std::int32_t pos = 0;
                for (const std::int32_t until : dayByDay ? std::vector{20240102, 20240103, 20240104}
                                                         : std::vector{20240104})
                    pos = engine.rebalance(InvestMode::PerStock, 0, until, pos, true, dayByDay, 0.002);
                engine.tradeLog.close();
                const std::string how = std::string(r.name) + (mode == WalkMode::Plain ? ", plain" : ", skipping")
                    + (dayByDay ? ", day by day" : "");
                EXPECT_EQ(engine.slots[0].cash - cash, r.net) << how;
                EXPECT_EQ(engine.dividendsPaid[0], r.net) << how;
                const std::string line = "2024-01-03,123450,STOCK               ," + toCp949("배당")
                    + ",500,500,250000,0,38500";
                EXPECT_EQ(dir.read("trade.csv").find(line) != std::string::npos, dayByDay && r.net > 0)
                    << how << dir.read("trade.csv");
            }
        }
    }
}
