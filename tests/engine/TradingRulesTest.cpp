#include "engine/CSimEngine.h"
#include "platform/core/Cp949.h"
#include "support/PriceBuilder.h"
#include "support/TempDir.h"

#include <cstring>
#include <gtest/gtest.h>
#include <sstream>

using namespace kestrelan;
using test::PriceDay;

namespace {

// One stock in slot 0, filled as the run fills it at a fund start.
struct EngineFixture
{
    explicit EngineFixture(std::initializer_list<PriceDay> days)
        : prices(PriceFile::fromBytes(test::priceBytes(days)))
    {
        engine.priceFile[0] = &prices;
        test::fillWorkedSlot(engine.slots[0], "123450 \xB0\xA1\xB6\xF7\xC0\xFC\xC0\xDA            ");
    }

    // Opens the two logs in a temporary folder, as single-fund mode does.
    void openLogs()
    {
        engine.tradeLog.open(dir / "trade.csv");
        engine.closingLog.open(dir / "closing.csv");
    }
    std::string tradeLog()
    {
        engine.tradeLog.close();
        return fromCp949(dir.read("trade.csv"));
    }
    std::string closingLog()
    {
        engine.closingLog.close();
        return dir.read("closing.csv");
    }

    int buy(int mode = 0, bool log = false)
    {
        return engine.initialPurchase(static_cast<InvestMode>(mode), 0, 0, log, 0.002, true);
    }
    std::int32_t day(std::int32_t until, std::int32_t pos, int mode = 0, bool log = false)
    {
        return engine.rebalance(static_cast<InvestMode>(mode), 0, until, pos, true, log, 0.002);
    }

    StockSlot& slot() { return engine.slots[0]; }
    std::int32_t price(int k) const { return engine.grids[0].price[k]; }
    std::int32_t sell(int k) const { return engine.grids[0].sell[k]; }
    std::int32_t qty(int k) const { return engine.grids[0].qty[k]; }

    test::TempDir dir;
    PriceFile prices;
    CSimEngine engine;
};

// The worked example: 10,000,000 won, half bought at 10,000, range 50-150 %, margin 10 %.
std::initializer_list<PriceDay> workedDays()
{
    static const std::initializer_list<PriceDay> days = {
        {20040102, {10000, 10000}},
        {20040105, {10000, 9500, 11200}},
        {20040106, {11200}},
    };
    return days;
}

} // namespace

TEST(TradingRulesTest, InitialPurchaseAmountModeWorkedExample)
{
    EngineFixture f(workedDays());
    ASSERT_EQ(f.buy(), 0);
    const StockSlot& s = f.slot();
    EXPECT_EQ(s.initial, 10000);
    EXPECT_EQ(s.firstVol, 500);
    EXPECT_EQ(s.shares, 500);
    EXPECT_EQ(s.autoVol, 50);
    EXPECT_EQ(s.sellStep, 10);
    EXPECT_EQ(s.upStep, 404);
    EXPECT_EQ(s.downStep, 365);
    EXPECT_EQ(s.level, 140);
    EXPECT_EQ(s.lastSide, 'B');
    EXPECT_EQ(s.last, 10000);
    EXPECT_DOUBLE_EQ(s.cash, 4990000);
    EXPECT_DOUBLE_EQ(s.totBuy, 5000000);
    EXPECT_DOUBLE_EQ(s.totSell, 0);

    struct Level
    {
        int k;
        std::int32_t price, sell;
    };
    // level | buy price | sell price, from the worked example
    const Level levels[] = {
        {140, 10000, 11000}, {141, 9630, 10600}, {142, 9270, 10200}, {139, 10450, 11500},
        {131, 13650, 15050}, {1, 66200, 72900},  {167, 145, 160},
    };
    for (const auto& l : levels) {
        EXPECT_EQ(f.price(l.k), l.price) << l.k;
        EXPECT_EQ(f.sell(l.k), l.sell) << l.k;
        EXPECT_EQ(f.qty(l.k), 50) << l.k;
    }
    for (int k = 168; k < gridLevels; ++k)
        ASSERT_TRUE(f.price(k) == 0 && f.sell(k) == 0 && f.qty(k) == 0) << k;
}

TEST(TradingRulesTest, InitialPurchaseUnitAndSpanCases)
{
    struct Row
    {
        const char* name;
        std::int32_t amount;
        double ratio;
        std::int32_t price;
        std::int32_t shares, unit, span;
    };
    // case | amount | ratio | start price | shares | unit | span
    const Row rows[] = {
        {"unit rises to the 300,000 lot, span falls to 2", 1000000, 0.5, 10000, 50, 30, 2},
        {"20 shares give span 2 and unit 10", 400000, 0.5, 10000, 20, 10, 2},
        {"exactly 3,000,000 keeps the 300,000 lot", 3000000, 0.5, 10000, 150, 30, 5},
        {"above 3,000,000 the lot is 500,000", 3000010, 0.5, 10000, 150, 50, 3},
        {"fewer than 20 shares buy 20 when the budget allows", 300000, 0.5, 10000, 20, 10, 2},
    };
    for (const auto& row : rows) {
        EngineFixture f({{20040102, {row.price, row.price}}, {20040105, {row.price}}});
        f.slot().invest = row.amount;
        f.slot().initRatio = row.ratio;
        ASSERT_EQ(f.buy(), 0) << row.name;
        EXPECT_EQ(f.slot().firstVol, row.shares) << row.name;
        EXPECT_EQ(f.slot().autoVol, row.unit) << row.name;
        EXPECT_EQ(f.slot().sellStep, row.span) << row.name;
        EXPECT_EQ(f.slot().level, row.span + 130) << row.name;
    }
}

TEST(TradingRulesTest, InitialPurchaseSitsOut)
{
    struct Row
    {
        const char* name;
        std::int32_t firstDate;
        std::int32_t price;
        double ratio;
        std::int32_t amount;
        std::int32_t rangeLow;
        int mode;
    };
    // case | first date in the file | start price | ratio | amount | range low | mode
    const Row rows[] = {
        {"first date 31 days after the start", 20040202, 10000, 0.5, 10000000, 50, 0},
        {"first date before the start", 20031231, 10000, 0.5, 10000000, 50, 0},
        {"ratio 0", 20040102, 10000, 0.0, 10000000, 50, 0},
        {"20 shares cost the whole budget", 20040102, 10000, 0.5, 200000, 50, 0},
        {"start price 0", 20040102, 0, 0.5, 10000000, 50, 0},
        {"no room below the base: divisor 0", 20040102, 10000, 1.0, 10000000, 100, 0},
        {"share mode keeps fewer than 20", 20040102, 10000, 0.5, 30, 50, 2},
        {"share mode holding above 2,000,000,000", 20040102, 10000, 0.5, 200010, 50, 2},
        {"share mode divisor 0", 20040102, 10000, 1.0, 1000, 100, 2},
    };
    for (const auto& row : rows) {
        EngineFixture f({{row.firstDate, {row.price, row.price}}, {20040205, {row.price}}});
        f.slot().initRatio = row.ratio;
        f.slot().invest = row.amount;
        f.slot().rangeLowPct = row.rangeLow;
        f.openLogs();
        EXPECT_EQ(f.buy(row.mode, true), -1) << row.name;
        EXPECT_EQ(f.slot().firstVol, 0) << row.name;
        EXPECT_EQ(f.price(140), 0) << row.name; // grid untouched
        EXPECT_EQ(f.tradeLog(), "") << row.name;
    }
    EngineFixture thirty({{20040201, {10000, 10000}}});
    EXPECT_EQ(thirty.buy(), 0) << "30 counted days are still in time";
}

TEST(TradingRulesTest, InitialPurchaseShareCountMode)
{
    EngineFixture f(workedDays());
    f.slot().invest = 1000; // shares held at the start
    f.slot().marginPct = 15;
    f.openLogs();
    ASSERT_EQ(f.buy(2, true), 0);
    const StockSlot& s = f.slot();
    EXPECT_EQ(s.firstVol, 500);
    EXPECT_EQ(s.shares, 500);
    EXPECT_EQ(s.startSold, 500);
    EXPECT_EQ(s.invest, 10000000);
    EXPECT_EQ(s.autoVol, 30);
    EXPECT_EQ(s.sellStep, 17);
    EXPECT_EQ(s.lastSide, 'S');
    // The base lies below the start price: 1,000,000 div 115 = 8,695, down to 8,690.
    EXPECT_EQ(f.price(147), 8690);
    EXPECT_EQ(f.price(146), 8970); // 8,690 + (13,043 - 8,690) div 16, up to the tick
    EXPECT_DOUBLE_EQ(s.totSell, 5000000);
    EXPECT_DOUBLE_EQ(s.cash, 5000000 - 25000); // one truncation for commission and tax together
    EXPECT_EQ(f.tradeLog(), "2004-01-02,123450,가람전자            ,초매,1000,10000,0,0,0\r\n");
}

TEST(TradingRulesTest, InitialPurchaseUpperLevelsWithoutAPositivePriceAreEmpty)
{
    // A top of the range below 100 % + margin makes the upward step negative.
    EngineFixture f(workedDays());
    f.slot().rangeHighPct = 50;
    ASSERT_EQ(f.buy(), 0);
    EXPECT_LT(f.slot().upStep, 0);
    for (int k = 1; k < gridLevels; ++k) {
        ASSERT_GE(f.price(k), 0) << k;
        ASSERT_GE(f.sell(k), 0) << k;
        if (f.price(k) == 0) {
            ASSERT_EQ(f.qty(k), 0) << k;
        }
    }
    EXPECT_EQ(f.price(1), 0);
    EXPECT_EQ(f.price(140), 10000);
}

TEST(TradingRulesTest, RebalanceWorkedDay)
{
    EngineFixture f(workedDays());
    f.openLogs();
    ASSERT_EQ(f.buy(0, true), 0);
    const std::int32_t second = f.day(20040102, 0, 0, true);
    EXPECT_EQ(second, test::positionOf(f.prices, 20040105));
    const std::int32_t third = f.day(20040105, second, 0, true);
    EXPECT_EQ(third, test::positionOf(f.prices, 20040106));

    const StockSlot& s = f.slot();
    EXPECT_EQ(s.shares, 450);
    EXPECT_DOUBLE_EQ(s.cash, 5588650);
    EXPECT_DOUBLE_EQ(s.gain, 93100);
    EXPECT_EQ(s.level, 140);
    EXPECT_EQ(s.lastSide, 'S');
    EXPECT_EQ(s.last, 11200);
    EXPECT_EQ(f.sell(141), 11660);
    EXPECT_EQ(f.sell(140), 12100);
    EXPECT_EQ(f.sell(139), 11500);
    EXPECT_EQ(f.tradeLog(),
              "2004-01-02,123450,가람전자            ,매수,500,10000.000000,5000000,10000,0\r\n"
              "2004-01-05,123450,가람전자            ,매수,50,9500.000000,475000,950,0\r\n"
              "2004-01-05,123450,가람전자            ,매도,100,10800.000000,1080000,2160,3240\r\n");
    EXPECT_EQ(f.closingLog(), ",10000,11200");
}

TEST(TradingRulesTest, RebalanceFirstCheckAtTheObservedPriceLaterAtTheGrid)
{
    // A gap down to 9,000 buys level 141 at 9,000 and level 142 at 9,000 (the first check of the
    // day); the next fall to 8,800 buys level 143 (8,900) at its own price.
    EngineFixture f({{20040102, {10000, 10000}}, {20040105, {10000, 9000, 8800}}, {20040106, {8800}}});
    ASSERT_EQ(f.buy(), 0);
    f.day(20040102, 0);
    const double cashBefore = f.slot().cash;
    f.day(20040105, test::positionOf(f.prices, 20040105));
    EXPECT_EQ(f.price(143), 8900);
    EXPECT_EQ(f.slot().level, 143);
    const double spent = 50.0 * 9000 * 2 + 50.0 * 8900;
    const double fees = 900 * 2 + 890;
    EXPECT_DOUBLE_EQ(f.slot().cash, cashBefore - spent - fees);
    EXPECT_EQ(f.slot().shares, 650);
}

TEST(TradingRulesTest, RebalanceSaleAndPurchaseSequences)
{
    struct Row
    {
        const char* name;
        std::vector<std::int32_t> values; // day two after the base price 10,000
        std::int32_t level;
        char side;
        std::int32_t shares;
    };
    // case | values | level | side | shares afterwards
    const Row rows[] = {
        {"a fall after a sale at 140 buys back at 140", {11000, 10000}, 140, 'B', 500},
        {"a further rise sells the next level up", {11000, 11500}, 139, 'S', 400},
        {"an unchanged price buys nothing", {10000, 10000}, 140, 'B', 500},
        {"the next level is bought at its price", {9630}, 141, 'B', 550},
        {"a price between levels buys nothing", {9700}, 140, 'B', 500},
    };
    for (const auto& row : rows) {
        EngineFixture f({{20040102, {10000, 10000}}, {20040105, {10000}}, {20040106, {10000}}});
        ASSERT_EQ(f.buy(), 0);
        f.day(20040102, 0);
        // Replace day two by the row's values.
        std::string bytes = test::priceBytes({{20040102, {10000, 10000}}});
        bytes += priceRecordBytes(20040105) + priceRecordBytes(10000);
        for (auto v : row.values)
            bytes += priceRecordBytes(v);
        bytes += priceRecordBytes(20040106) + priceRecordBytes(10000);
        f.prices = PriceFile::fromBytes(bytes);
        f.day(20040105, 3 * priceRecordSize);
        EXPECT_EQ(f.slot().level, row.level) << row.name;
        EXPECT_EQ(f.slot().lastSide, row.side) << row.name;
        EXPECT_EQ(f.slot().shares, row.shares) << row.name;
    }
}

TEST(TradingRulesTest, RebalanceSecondConditionRaisesTheSellPriceInTenWonSteps)
{
    struct Row
    {
        std::int32_t sell, secondPct, after;
    };
    // sell price | second condition | next sell price (100,500 div 1,000 = 100, times 10)
    const Row rows[] = {{10000, 10, 11000}, {10050, 10, 11050}, {10600, 10, 11660}, {10000, 0, 10000}};
    for (const auto& row : rows) {
        EngineFixture f({{20040102, {10000, 10000}}, {20040105, {10000, 20000}}, {20040106, {10000}}});
        ASSERT_EQ(f.buy(), 0);
        f.slot().secondPct = row.secondPct;
        f.engine.grids[0].sell[140] = row.sell;
        f.engine.grids[0].sell[139] = 30000; // stop after one sale
        f.day(20040102, 0);
        f.day(20040105, test::positionOf(f.prices, 20040105));
        EXPECT_EQ(f.sell(140), row.after) << row.sell;
    }
}

TEST(TradingRulesTest, RebalanceSaleTakesWholeTensWhenShortOfTheLevel)
{
    EngineFixture f({{20040102, {10000, 10000}}, {20040105, {10000, 11000}}, {20040106, {10000}}});
    ASSERT_EQ(f.buy(), 0);
    f.engine.grids[0].qty[140] = 40;
    f.slot().shares = 35;
    f.engine.grids[0].sell[139] = 30000;
    f.day(20040102, 0);
    f.day(20040105, test::positionOf(f.prices, 20040105));
    EXPECT_EQ(f.slot().shares, 5);
    EXPECT_EQ(f.slot().totSell, 30.0 * 11000);
}

TEST(TradingRulesTest, RebalanceNoPartialPurchase)
{
    EngineFixture f({{20040102, {10000, 10000}}, {20040105, {10000, 9630}}, {20040106, {10000}}});
    ASSERT_EQ(f.buy(), 0);
    f.day(20040102, 0);
    f.slot().cash = 50 * 9630 + 962; // one won short of the commission of 963
    f.day(20040105, test::positionOf(f.prices, 20040105));
    EXPECT_EQ(f.slot().shares, 500);
    EXPECT_EQ(f.slot().level, 140);
}

TEST(TradingRulesTest, RebalanceValuesBeforeTheFundStartNeverTrade)
{
    EngineFixture f({{20031230, {10000, 5000, 20000}}, {20040102, {10000, 10000}}, {20040105, {10000}}});
    ASSERT_EQ(
        f.engine.initialPurchase(InvestMode::PerStock, 0, test::positionOf(f.prices, 20040102), false, 0.002, true), 0);
    f.day(20040102, 0);
    EXPECT_DOUBLE_EQ(f.slot().totSell, 0);
    EXPECT_DOUBLE_EQ(f.slot().totBuy, 5000000);
}

TEST(TradingRulesTest, SplitAdjustmentBands)
{
    struct Row
    {
        const char* name;
        std::int32_t base; // the next day's first value after a close of 10,000
        std::int32_t shares;
        std::int32_t level140, level141, qty140;
        double mult;
    };
    // case | base | shares | level 140 | level 141 | its quantity | mult
    const Row rows[] = {
        {"-50 % halves prices, doubles quantities and shares", 5000, 1000, 5000, 4815, 100, 2.0},
        {"1:5 split", 2000, 2500, 2000, 1925, 250, 5.0},
        {"-30 % scales the shares only", 7000, 714, 10000, 9630, 50, 10000.0 / 7000},
        {"-15 % changes nothing", 8500, 500, 10000, 9630, 50, 1.0},
        {"+15 % measured on the new price changes nothing", 11700, 500, 10000, 9630, 50, 1.0},
        {"5:1 consolidation", 50000, 100, 50000, 48150, 10, 0.2},
    };
    for (const auto& row : rows) {
        EngineFixture f({{20040102, {10000, 10000}}, {20040105, {row.base}}, {20040106, {10000}}});
        f.openLogs();
        ASSERT_EQ(f.buy(0, true), 0);
        f.day(20040102, 0, 0, true);
        f.day(20040105, test::positionOf(f.prices, 20040105), 0, true);
        EXPECT_EQ(f.slot().shares, row.shares) << row.name;
        EXPECT_EQ(f.price(140), row.level140) << row.name;
        EXPECT_EQ(f.price(141), row.level141) << row.name;
        EXPECT_EQ(f.qty(141), row.qty140) << row.name;
        EXPECT_DOUBLE_EQ(f.slot().mult, row.mult) << row.name;
        EXPECT_EQ(f.slot().last, row.base) << row.name;
        const std::string log = f.tradeLog();
        const bool adjusted = row.shares != 500;
        EXPECT_EQ(log.find("조정") != std::string::npos, adjusted) << row.name;
        if (adjusted) {
            const std::string line = ",조정," + std::to_string(row.shares - 500) + ",10000," + std::to_string(row.base);
            EXPECT_NE(log.find(line + ",0,0"), std::string::npos) << log;
        }
    }
}

TEST(TradingRulesTest, SplitMultiplierCompoundsWithinAFund)
{
    EngineFixture f({{20040102, {10000, 10000}}, {20040105, {5000, 5000}}, {20040106, {2500}}, {20040107, {2500}}});
    ASSERT_EQ(f.buy(), 0);
    std::int32_t pos = f.day(20040102, 0);
    pos = f.day(20040105, pos);
    f.day(20040106, pos);
    EXPECT_DOUBLE_EQ(f.slot().mult, 4.0);
    EXPECT_EQ(f.slot().shares, 2000);
}

TEST(TradingRulesTest, RebalanceEndOfDataFinishesTheDay)
{
    EngineFixture f({{20040102, {10000, 10000}}, {20040105, {10000, 9500, 11200}}});
    f.openLogs();
    ASSERT_EQ(f.buy(0, true), 0);
    std::int32_t pos = f.day(20040102, 0, 0, true);
    EXPECT_EQ(f.day(20040105, pos, 0, true), endOfData);
    EXPECT_EQ(f.slot().last, 11200);
    const std::string log = f.tradeLog();
    EXPECT_NE(log.find("2004-01-05,123450,가람전자            ,매도,100"), std::string::npos) << log;
    EXPECT_EQ(f.closingLog(), ",10000,11200");
}

TEST(TradingRulesTest, RebalanceNoSummaryBeforeTheStockHasADay)
{
    // Listed after the fund's first day: the first call reads no day and writes no summary; the
    // next call seeds the summaries again, so the initial sale is logged once.
    EngineFixture f({{20040106, {10000, 10000}}, {20040107, {10000}}});
    f.slot().invest = 1000;
    f.openLogs();
    ASSERT_EQ(f.buy(2, true), 0);
    EXPECT_EQ(f.day(20040102, 0, 2, true), 0);
    EXPECT_EQ(f.day(20040105, 0, 2, true), 0);
    const std::int32_t pos = f.day(20040106, 0, 2, true);
    EXPECT_EQ(pos, test::positionOf(f.prices, 20040107));
    const std::string log = f.tradeLog();
    EXPECT_EQ(log,
              "2004-01-02,123450,가람전자            ,초매,1000,10000,0,0,0\r\n"
              "2004-01-06,123450,가람전자            ,매도,500,10000.000000,5000000,10000,15000\r\n");
    EXPECT_EQ(f.closingLog(), ",10000,10000,10000");
}

// Cash, shares and totals reconcile with the trade log over a long, busy price path.
TEST(TradingRulesTest, RebalanceHoldingsReconcileWithTheTradeLog)
{
    std::string bytes;
    std::uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    std::int32_t close = 10000;
    std::vector<std::int32_t> dates;
    for (int d = 0; d < 120; ++d) {
        const std::int32_t date = 20040101 + (d / 28) * 100 + d % 28 + 1;
        dates.push_back(date);
        bytes += priceRecordBytes(date) + priceRecordBytes(d == 60 ? close / 2 : close);
        if (d == 60)
            close /= 2;
        for (int v = 0; v < 12; ++v) {
            close = std::max<std::int32_t>(1000, close + static_cast<std::int32_t>(next() % 801) - 400);
            close -= close % 10;
            bytes += priceRecordBytes(close);
        }
    }
    EngineFixture f({});
    f.prices = PriceFile::fromBytes(bytes);
    f.openLogs();
    ASSERT_EQ(f.buy(0, true), 0);
    std::int32_t pos = 0;
    for (auto date : dates)
        pos = f.day(date, pos, 0, true);
    EXPECT_EQ(pos, endOfData);

    std::istringstream log(f.tradeLog());
    std::string line;
    double bought = 0, sold = 0, fees = 0;
    std::int64_t shares = 0;
    int adjustments = 0;
    while (std::getline(log, line)) {
        std::vector<std::string> field;
        std::stringstream ss(line);
        std::string item;
        while (std::getline(ss, item, ','))
            field.push_back(item);
        ASSERT_EQ(field.size(), 9u) << line;
        if (field[3] == "매수") {
            shares += std::stoll(field[4]);
            bought += std::stod(field[6]);
            fees += std::stod(field[7]);
        } else if (field[3] == "매도") {
            shares -= std::stoll(field[4]);
            sold += std::stod(field[6]);
            fees += std::stod(field[7]) + std::stod(field[8]);
        } else if (field[3] == "조정") {
            shares += std::stoll(field[4]);
            ++adjustments;
        }
    }
    const StockSlot& s = f.slot();
    EXPECT_EQ(adjustments, 1);
    EXPECT_GT(sold, 0);
    EXPECT_EQ(shares, s.shares);
    EXPECT_DOUBLE_EQ(bought, s.totBuy);
    EXPECT_DOUBLE_EQ(sold, s.totSell);
    EXPECT_DOUBLE_EQ(s.cash, 10000000 - bought + sold - fees);
    EXPECT_GE(s.cash, 0);
}
