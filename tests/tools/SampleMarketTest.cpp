#include "tools/SampleMarket.h"
#include "engine/MarketData.h"
#include "engine/RangeTable.h"
#include "engine/TickRound.h"
#include "support/TempDir.h"

#include <cmath>
#include <gtest/gtest.h>
#include <map>

using namespace kestrelan;

namespace {

struct SampleMarketTest : ::testing::Test
{
    static void SetUpTestSuite()
    {
        dir = new test::TempDir;
        summary = writeSampleMarket(dir->path());
    }
    static void TearDownTestSuite() { delete dir; }
    static test::TempDir* dir;
    static SampleMarketSummary summary;
};
test::TempDir* SampleMarketTest::dir = nullptr;
SampleMarketSummary SampleMarketTest::summary;

// One day of a price file: its date, base price and trading values.
struct Day
{
    std::int32_t date;
    std::int32_t base;
    std::vector<std::int32_t> values;
};

std::vector<Day> days(const PriceFile& file)
{
    std::vector<Day> out;
    for (std::int32_t i = 0; i < file.recordCount(); ++i) {
        const auto v = file.value(i);
        if (v >= firstDateValue)
            out.push_back({v, 0, {}});
        else if (out.back().base == 0)
            out.back().base = v;
        else
            out.back().values.push_back(v);
    }
    return out;
}

} // namespace

TEST_F(SampleMarketTest, FilesHaveExactRecordSizes)
{
    EXPECT_EQ(dir->read("kospi.lst").size(), static_cast<std::size_t>(summary.tradingDays) * indexRecordSize);
    EXPECT_EQ(dir->read("code.lst").size(), static_cast<std::size_t>(summary.stocks) * codeRecordSize);
    const auto codes = loadCodeList(*dir / "code.lst");
    ASSERT_TRUE(codes);
    std::int64_t records = 0;
    for (const auto& entry : *codes) {
        const auto bytes = dir->read("StockData/" + std::string(entryCode(entry)) + ".real");
        EXPECT_EQ(bytes.size() % priceRecordSize, 0u) << entry;
        records += static_cast<std::int64_t>(bytes.size() / priceRecordSize);
        for (std::size_t i = 13; i < bytes.size(); i += 14)
            ASSERT_EQ(bytes[i], '\r');
    }
    EXPECT_EQ(records, summary.priceRecords);
    const auto table = loadRangeTable(*dir / "ksp.txt");
    ASSERT_TRUE(table);
    EXPECT_TRUE(table->usable());
}

TEST_F(SampleMarketTest, MarketSpansTheYearsAndIndexLevels)
{
    const auto kospi = IndexFile::load(*dir / "kospi.lst");
    ASSERT_TRUE(kospi);
    const auto& recs = kospi->records();
    EXPECT_TRUE(kospi->ascending());
    EXPECT_EQ(recs.front().date / 100, 199801);
    EXPECT_EQ(recs.back().date / 100, 200612);
    float low = 1e9f, high = 0;
    for (const auto& r : recs) {
        low = std::min(low, indexPoints(r.dayValue));
        high = std::max(high, indexPoints(r.dayValue));
    }
    EXPECT_GT(low, 380.0f);
    EXPECT_LT(low, 520.0f);
    EXPECT_GT(high, 1000.0f);
    EXPECT_LT(high, 1250.0f);
}

TEST_F(SampleMarketTest, DaysFollowTheExchangeRules)
{
    const auto codes = loadCodeList(*dir / "code.lst");
    int corporateActions = 0, singleValueDays = 0, halts = 0;
    std::map<std::int32_t, int> bandsSeen;
    for (const auto& entry : *codes) {
        const auto file = PriceFile::load(*dir / ("StockData/" + std::string(entryCode(entry)) + ".real"));
        ASSERT_TRUE(file);
        const auto list = days(*file);
        ASSERT_FALSE(list.empty());
        for (std::size_t d = 0; d < list.size(); ++d) {
            const auto& day = list[d];
            ASSERT_GT(day.base, 0) << entry << ' ' << day.date;
            if (d > 0) {
                ASSERT_GT(day.date, list[d - 1].date);
                const auto prevClose = list[d - 1].values.empty() ? list[d - 1].base : list[d - 1].values.back();
                if (std::abs(day.base - prevClose) > prevClose * 0.15)
                    ++corporateActions;
            }
            singleValueDays += day.values.size() == 1;
            halts += day.values.empty();
            for (auto v : day.values) {
                ASSERT_EQ(v % priceTick(v), 0) << entry << ' ' << day.date << ' ' << v;
                ASSERT_LE(std::abs(v - day.base), day.base * 0.15 + 1) << entry << ' ' << day.date;
                ++bandsSeen[priceTick(v)];
            }
        }
    }
    EXPECT_EQ(corporateActions, 3); // the split, the consolidation, the ex-rights day
    EXPECT_GT(singleValueDays, 100);
    EXPECT_GT(halts, 10);
    EXPECT_EQ(bandsSeen.size(), 6u); // every tick band is crossed
}

TEST_F(SampleMarketTest, LateListingAndEndedData)
{
    auto firstAndLast = [&](const char* code) {
        const auto file = PriceFile::load(*dir / (std::string("StockData/") + code + ".real"));
        const auto list = days(*file);
        return std::make_pair(list.front().date, list.back().date);
    };
    EXPECT_EQ(firstAndLast("036570").first, 20020304);
    EXPECT_EQ(firstAndLast("001460").second, 20040630);
}

TEST_F(SampleMarketTest, SameBytesEveryTime)
{
    test::TempDir again;
    writeSampleMarket(again.path());
    for (const char* name : {"kospi.lst", "code.lst", "ksp.txt", "StockData/035420.real"})
        EXPECT_EQ(again.read(name), dir->read(name)) << name;
}
