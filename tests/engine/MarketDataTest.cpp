#include "engine/MarketData.h"
#include "platform/core/Cp949.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace kestrelan;

TEST(MarketDataTest, PriceRecordBytesOfDatesAndValues)
{
    struct Row
    {
        std::int32_t number;
        const char* bytes;
    };
    // number | the 14 bytes on disk
    const Row rows[] = {
        {20050315, "20050315     \r"},   {12500, " 12500       \r"},
        {18999999, " 18999999    \r"},   {19000000, "19000000     \r"},
        {-5, " -5          \r"},         {0, " 0           \r"},
        {2147483647, "2147483647   \r"}, {-2147483647 - 1, " -2147483648 \r"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(priceRecordBytes(row.number), row.bytes) << row.number;
        EXPECT_EQ(parsePriceRecord(row.bytes), row.number) << row.number;
    }
}

TEST(MarketDataTest, PriceRecordFormats)
{
    EXPECT_EQ(priceRecordBytes(18999999), " 18999999    \r");
    EXPECT_EQ(priceRecordBytes(19000000), "19000000     \r");
    EXPECT_EQ(priceRecordBytes(-5), " -5          \r");
    EXPECT_EQ(priceRecordBytes(20050316, PriceRecordAs::Date), "20050316     \r");
    // Written as a date, a number below the dates has no leading blank (the update's n = 0 block).
    EXPECT_EQ(priceRecordBytes(5, PriceRecordAs::Date), "5            \r");
}

TEST(MarketDataTest, PriceRecordParsesLikeAtoiOfThirteenCharacters)
{
    EXPECT_EQ(parsePriceRecord("1234567890123\r"), 2147483647); // 13 digits fill the record
    EXPECT_EQ(parsePriceRecord("    77 12    \r"), 77);
    EXPECT_EQ(parsePriceRecord("x 12         \r"), 0);
    EXPECT_EQ(parsePriceRecord(std::string_view("12\0"
                                                "45        \r",
                                                14)),
              12);
}

TEST(MarketDataTest, StockCodeOnlySixLettersOrDigitsNameAPriceFile)
{
    struct Row
    {
        std::string code;
        bool valid;
    };
    // code | a stock code
    const Row rows[] = {
        {"005930", true},
        {"A0593z", true},
        {"00593", false},
        {"0059301", false},
        {"", false},
        {"../x1", false},
        {"0059.3", false},
        {"005/30", false},
        {"005 30", false},
        {"00593\r", false},
        {std::string("00593\0", 6), false},
        {"\xB0\xA1\xB0\xA1\xB0\xA1", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(isStockCode(row.code), row.valid) << row.code;
    EXPECT_EQ(priceFilePath("/p", "005930"), std::filesystem::path("/p/StockData/005930.real"));
}

TEST(MarketDataTest, PriceFileRecordsLieAtIndexTimesFourteen)
{
    const std::string bytes = priceRecordBytes(20040102) + priceRecordBytes(10000) + priceRecordBytes(10050)
        + priceRecordBytes(20040105) + priceRecordBytes(10050);
    const auto file = PriceFile::fromBytes(bytes);
    ASSERT_EQ(file.recordCount(), 5);
    EXPECT_EQ(file.value(0), 20040102);
    EXPECT_EQ(file.value(3), 20040105);
    EXPECT_EQ(bytes.substr(3 * 14, 14), priceRecordBytes(file.value(3)));
    EXPECT_EQ(file.trailingBytes(), 0);
}

TEST(MarketDataTest, PriceFileTruncatedLastRecordIsNotARecord)
{
    const std::string bytes = priceRecordBytes(20040102) + priceRecordBytes(10000) + " 100";
    const auto file = PriceFile::fromBytes(bytes);
    EXPECT_EQ(file.recordCount(), 2);
    EXPECT_EQ(file.trailingBytes(), 4);
    EXPECT_EQ(PriceFile::fromBytes("").recordCount(), 0);
}

TEST(MarketDataTest, PriceFileMissingFileIsReportedNotThrown)
{
    test::TempDir dir;
    EXPECT_FALSE(PriceFile::load(dir / "000000.real").has_value());
    dir.write("000001.real", priceRecordBytes(20040102));
    ASSERT_TRUE(PriceFile::load(dir / "000001.real").has_value());
}

TEST(MarketDataTest, IndexFileFieldsAreTextAndValue)
{
    // The index fields keep their texts as stored: a leading blank or zero is copied unchanged.
    const auto file = IndexFile::fromBytes("20040102 80000008123\n20040105081234 92500\n2004");
    ASSERT_EQ(file.records().size(), 2u);
    const auto& a = file.records()[0];
    EXPECT_EQ(a.date, 20040102);
    EXPECT_STREQ(a.startText.data(), " 80000");
    EXPECT_STREQ(a.dayText.data(), "008123");
    EXPECT_EQ(a.dayValue, 8123);
    EXPECT_EQ(file.records()[1].startValue, 81234);
    EXPECT_EQ(file.records()[1].dayValue, 92500);
    EXPECT_STREQ(file.records()[1].dayText.data(), " 92500");
    EXPECT_TRUE(file.ascending());
    EXPECT_FLOAT_EQ(indexPoints(81234), 812.34f);
}

TEST(MarketDataTest, IndexFileRecordsWithCrLfEndsReadAsTwentyOneCharacters)
{
    // A text-mode read of 21 characters consumes the CR LF pair as one line end.
    const auto file = IndexFile::fromBytes("20040102 80000 81230\r\n20040105 81234 82500\r\n");
    ASSERT_EQ(file.records().size(), 2u);
    EXPECT_EQ(file.records()[1].date, 20040105);
}

TEST(MarketDataTest, IndexFileTheDefaultPeriodComesFromTheLastWholeRecord)
{
    const std::string two = indexRecordBytes(20050311, 90000, 91000) + indexRecordBytes(20050314, 91000, 92000);
    struct Row
    {
        const char* name;
        std::string bytes;
        std::optional<std::int32_t> date;
        bool said; // the damage is said
    };
    // case | kospi.lst | date of the default period | a note
    const Row rows[] = {
        {"a sound file", two, 20050314, false},
        {"CR LF line ends", "20050311 90000 91000\r\n20050314 91000 92000\r\n", 20050314, false},
        {"a cut last record", two + "20050315 9", 20050314, true},
        {"a last record that is no date", two + indexRecordBytes(99999999, 1, 1), 20050314, true},
        {"shorter than a record", "2005031", std::nullopt, false},
    };
    for (const auto& row : rows) {
        test::TempDir dir;
        dir.write("kospi.lst", row.bytes);
        std::string problem;
        EXPECT_EQ(readLastIndexDate(dir / "kospi.lst", &problem), row.date) << row.name;
        EXPECT_EQ(!problem.empty(), row.said) << row.name << ": " << problem;
    }
    test::TempDir dir;
    EXPECT_EQ(readLastIndexDate(dir / "missing.lst"), std::nullopt);
}

TEST(MarketDataTest, IndexFileOutOfOrderDatesAreNoticed)
{
    const auto file = IndexFile::fromBytes(indexRecordBytes(20050314, 1, 1) + indexRecordBytes(20050311, 1, 1));
    EXPECT_FALSE(file.ascending());
}

TEST(MarketDataTest, CodeListEntriesAreTwentySevenBytes)
{
    const std::string name = toCp949("가람전자");
    const std::string bytes = codeRecordBytes("005930", name) + codeRecordBytes("000660", toCp949("나래반도체"));
    EXPECT_EQ(bytes.size(), 56u);
    const auto entries = parseCodeList(bytes + "0001"); // a truncated last record is left out
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].size(), 27u);
    EXPECT_EQ(entryCode(entries[0]), "005930");
    EXPECT_EQ(entryName(entries[0]), name + std::string(12, ' '));
    EXPECT_EQ(fromCp949(entryName(entries[1])), "나래반도체          ");
}
