#include "tools/MinuteMarket.h"
#include "engine/MarketData.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace kestrelan;

// A small market of one to forty prices a day: the same shape gives the same bytes, and every
// file reads back as whole records, each day a date, its base price and up to forty prices.
TEST(MinuteMarketTest, SmallMarketIsDeterministicAndWellFormed)
{
    MinuteMarketShape shape;
    shape.stocks = 6;
    shape.firstDay = 20040101;
    shape.lastDay = 20041231;
    shape.ticksPerDay = 40;
    shape.randomTicks = true;
    test::TempDir a, b;
    const auto summary = writeMinuteMarket(a.path(), shape);
    writeMinuteMarket(b.path(), shape);
    EXPECT_EQ(summary.stocks, 6);
    EXPECT_GT(summary.tradingDays, 240);
    const auto kospi = IndexFile::load(a / "kospi.lst");
    ASSERT_TRUE(kospi && kospi->ascending());
    EXPECT_EQ(kospi->records().size(), static_cast<std::size_t>(summary.tradingDays));
    const auto codes = loadCodeList(a / "code.lst");
    ASSERT_TRUE(codes);
    for (const auto& entry : *codes) {
        const std::string file = "StockData/" + std::string(entryCode(entry)) + ".real";
        EXPECT_EQ(a.read(file), b.read(file)) << file;
        const auto prices = PriceFile::fromBytes(a.read(file));
        EXPECT_EQ(prices.trailingBytes(), 0);
        int run = 0;
        std::int32_t lastDate = 0;
        for (const std::int32_t v : prices.values()) {
            if (v >= firstDateValue) {
                EXPECT_GT(v, lastDate) << file;
                lastDate = v;
                run = 0;
            } else {
                EXPECT_GT(v, 0) << file;
                EXPECT_LE(++run, 41) << file; // the base price and at most forty prices
            }
        }
    }
}
