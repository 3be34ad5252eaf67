// Why a stock sat a fund out is read off the initial purchase's own checks: for each way the
// purchase leaves a stock out, the purchase does leave it out and the reason names that way. A
// change of the trading rules that moves a check shows here.

#include "engine/CSimEngine.h"
#include "engine/SitOut.h"
#include "support/PriceBuilder.h"

#include <functional>
#include <gtest/gtest.h>

using namespace kestrelan;

TEST(SitOutTest, TheReasonIsTheCheckThatLeftTheStockOut)
{
    struct Row
    {
        const char* name;
        std::string prices;
        std::function<void(StockSlot&)> change;
        InvestMode mode;
        std::optional<StockOutcome> reason; // nullopt: the stock buys
    };
    using test::priceBytes;
    const auto plain = priceBytes({{20040102, {10000, 10000, 10100}}, {20040105, {10100, 10200}}});
    // case | prices (the fund starts 2004-01-02) | slot change | invest mode | reason
    const Row rows[] = {
        {"buys", plain, [](StockSlot&) {}, InvestMode::PerStock, std::nullopt},
        {"no price after the start", priceBytes({{20040102, {10000}}}), [](StockSlot&) {}, InvestMode::PerStock,
         StockOutcome::NoData},
        {"data from more than a month after", priceBytes({{20040210, {10000, 10000}}}), [](StockSlot&) {},
         InvestMode::PerStock, StockOutcome::LateStart},
        {"a halt on the first day", priceBytes({{20040102, {10000}}, {20040105, {10000, 10100}}}), [](StockSlot&) {},
         InvestMode::PerStock, StockOutcome::NoFirstPrice},
        {"no initial ratio", plain, [](StockSlot& s) { s.initRatio = 0; }, InvestMode::PerStock,
         StockOutcome::Conditions},
        {"too little for twenty shares", plain, [](StockSlot& s) { s.invest = 150000; }, InvestMode::PerStock,
         StockOutcome::TooFewShares},
        {"shares worth more than the largest amount", plain, [](StockSlot& s) { s.invest = 300000; },
         InvestMode::ShareCount, StockOutcome::HoldingTooLarge},
        {"too few shares to keep twenty", plain, [](StockSlot& s) { s.invest = 30; }, InvestMode::ShareCount,
         StockOutcome::TooFewShares},
    };
    for (const Row& row : rows) {
        const PriceFile file = PriceFile::fromBytes(row.prices);
        CSimEngine engine;
        engine.priceFile[0] = &file;
        test::fillWorkedSlot(engine.slots[0], "123450 ONE                 ");
        row.change(engine.slots[0]);
        const int state = engine.initialPurchase(row.mode, 0, 0, false, 0.002, true);
        if (!row.reason) {
            EXPECT_EQ(state, 0) << row.name;
            continue;
        }
        ASSERT_EQ(state, -1) << row.name;
        EXPECT_EQ(sitOutReason(file, 0, engine.slots[0], row.mode), *row.reason) << row.name;
    }
}
