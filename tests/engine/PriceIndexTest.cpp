// Loading price files: the parser of whole records against atoi, the mapped load against the
// bytes, several files at once, and the day index built on the way.

#include "support/PriceBuilder.h"
#include "support/TempDir.h"
#include "engine/MarketData.h"
#include "engine/TradingRules.h"
#include "platform/core/TextFile.h"
#include "tools/Random.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace kestrelan;

namespace {

std::vector<std::int32_t> parsedFast(const std::string& bytes)
{
    std::vector<std::int32_t> out(bytes.size() / priceRecordSize);
    parsePriceRecords(bytes.data(), out.size(), out.data());
    return out;
}

std::vector<std::int32_t> parsedByAtoi(const std::string& bytes)
{
    std::vector<std::int32_t> out;
    for (std::size_t at = 0; at + priceRecordSize <= bytes.size(); at += priceRecordSize)
        out.push_back(parsePriceRecord(std::string_view(bytes).substr(at, priceRecordSize)));
    return out;
}

} // namespace

TEST(PriceRecordParserTest, GivesWhatAtoiGives)
{
    // 14-byte records the usual way aside: blanks of every kind, signs, NULs, nine or more
    // digits, saturation both ways, letters and bytes above 127 where digits would be.
    const std::string records[] = {
        "20040105     \r",
        " 12345       \r",
        " 0           \r",
        "0            \r",
        " 99999999    \r",
        " 123456789   \r",
        "1234567890123\r",
        "2147483647   \r",
        "2147483648   \r",
        "-2147483648  \r",
        "-2147483649  \r",
        "-9999999999999",
        "+77          \r",
        " -5          \r",
        "- 5          \r",
        "\t\n\v\f\r 42     \r",
        "  42         \r",
        "             \r",
        std::string("12\0"
                    "45        \r",
                    14),
        std::string("\0"
                    "12          \r",
                    14),
        std::string(" \0"
                    "12         \r",
                    14),
        " 12a34       \r",
        " 1\xff"
        "2         \r",
        "\xb0\xa1 12        \r",
        "x 12         \r",
        "12345678     9",
        "123456789    \r",
        " 12345678 9  \r",
        "00000000000012",
        " 00000012345 \r",
        "+-3          \r",
        " 1\r          \r",
    };
    std::string all;
    for (const auto& r : records) {
        ASSERT_EQ(r.size(), 14u) << all.size() / 14;
        all += r;
    }
    EXPECT_EQ(parsedFast(all), parsedByAtoi(all));

    // Random bytes, most from the characters a record is made of.
    Random rng(17);
    const std::string alphabet = "0123456789       +-\t\r\n\v\f";
    std::string noise;
    for (int i = 0; i < 200000 * priceRecordSize; ++i) {
        const int pick = rng.between(0, 99);
        noise += pick < 85 ? alphabet[static_cast<std::size_t>(rng.between(0, static_cast<int>(alphabet.size()) - 1))]
                           : static_cast<char>(rng.between(0, 255));
    }
    EXPECT_EQ(parsedFast(noise), parsedByAtoi(noise));
}

TEST(PriceFileLoadTest, TheMappedFileReadsAsItsBytes)
{
    test::TempDir dir;
    const std::string sound = test::priceBytes({{20040102, {10000, 10000, 10050}}, {20040105, {10050, 9990}}});
    const std::string cases[] = {sound, sound + " 10", "", " 1234", sound + sound.substr(0, 13)};
    for (const auto& bytes : cases) {
        dir.write("f.real", bytes);
        const auto loaded = PriceFile::load(dir / "f.real");
        ASSERT_TRUE(loaded);
        const PriceFile expected = PriceFile::fromBytes(bytes);
        EXPECT_EQ(std::vector<std::int32_t>(loaded->values().begin(), loaded->values().end()),
                  std::vector<std::int32_t>(expected.values().begin(), expected.values().end()));
        EXPECT_EQ(loaded->trailingBytes(), expected.trailingBytes());
        EXPECT_EQ(loaded->index().dayCount(), expected.index().dayCount());
    }
    // Past 32-bit positions a file is refused before a byte is read (a sparse file takes no disk).
    std::filesystem::resize_file(dir / "f.real", priceFileLimit + priceRecordSize);
    EXPECT_THROW(PriceFile::load(dir / "f.real"), FileTooLarge);
}

TEST(PriceFileLoadTest, SeveralFilesComeBackInCodeOrder)
{
    test::TempDir dir;
    dir.write("StockData/111110.real", test::priceBytes({{20040102, {100, 100}}}));
    dir.write("StockData/222220.real", test::priceBytes({{20040102, {200, 200}}}));
    dir.write("StockData/333330.real", test::priceBytes({{20040102, {300, 300}}}));
    const auto all = loadPriceFiles(dir.path(), {"111110", "222220", "333330"}, 2);
    ASSERT_EQ(all.size(), 3u);
    for (std::size_t k = 0; k < 3; ++k)
        EXPECT_EQ(all[k]->value(1), 100 * static_cast<std::int32_t>(k + 1));
    // The first file that cannot be read ends the list, as reading one after another would.
    for (const std::vector<std::string>& codes : {std::vector<std::string>{"111110", "444440", "333330"},
                                                  std::vector<std::string>{"111110", "../x1", "333330"}}) {
        const auto some = loadPriceFiles(dir.path(), codes, 2);
        ASSERT_EQ(some.size(), 2u) << codes[1];
        EXPECT_TRUE(some[0].has_value());
        EXPECT_FALSE(some[1].has_value());
    }
}

TEST(PriceIndexTest, DaysTheirFirstPricesAndTheRest)
{
    // Values before the first date belong to no day; two dates in a row make a day without
    // values; a day of more than one block of rest gets blocks.
    std::vector<std::int32_t> longRest;
    for (int i = 0; i < 70; ++i)
        longRest.push_back(1000 + (i * 37) % 200);
    test::PriceDay longDay{20040108, {1100, 1090}};
    longDay.values.insert(longDay.values.end(), longRest.begin(), longRest.end());
    const std::string bytes
        = test::records({500, 600})
        + test::priceBytes(
              {{20040102, {1000, 1010, 990, 1030, 1005}}, {20040105, {}}, {20040106, {1005}}, {20040107, {1005, 980}}});
    const auto file = PriceFile::fromBytes(bytes + test::priceBytes({longDay}));
    const PriceIndex& index = file.index();
    ASSERT_EQ(index.dayCount(), 5u);

    struct Row
    {
        std::int32_t at, date, base, first, low, high, last;
        bool blocks;
    };
    // record of the date | date | base | first check | rest low | rest high | last | blocks
    const std::int32_t none = std::numeric_limits<std::int32_t>::max(),
                       nothing = std::numeric_limits<std::int32_t>::min();
    const Row rows[] = {
        {2, 20040102, 1000, 1010, 990, 1030, 1005, false},
        {8, 20040105, 0, 0, none, nothing, 0, false},
        {9, 20040106, 1005, 0, none, nothing, 1005, false},
        {11, 20040107, 1005, 980, none, nothing, 980, false},
        {14, 20040108, 1100, 1090, 1000, 1199, longRest.back(), true},
    };
    for (std::size_t k = 0; k < 5; ++k) {
        const auto& d = index.day(k);
        const Row& r = rows[k];
        EXPECT_EQ(d.at, r.at) << k;
        EXPECT_EQ(d.date, r.date) << k;
        EXPECT_EQ(d.base, r.base) << k;
        EXPECT_EQ(d.first, r.first) << k;
        EXPECT_EQ(d.low, r.low) << k;
        EXPECT_EQ(d.high, r.high) << k;
        EXPECT_EQ(d.last, r.last) << k;
        EXPECT_EQ(index.blockCount(k), r.blocks ? 3 : 0) << k;
    }
    EXPECT_EQ(index.dayEnd(4), file.recordCount());
    EXPECT_EQ(index.dayFrom(0), 0u);
    EXPECT_EQ(index.dayFrom(9), 2u);
    EXPECT_EQ(index.dayFrom(10), 3u);
    EXPECT_EQ(index.dayAfter(20040106), 3u);

    // Each block's bounds hold its prices: 32, 32 and 6 of them.
    const auto& d = index.day(4);
    const PriceIndex::Bounds* bounds = index.blockBounds(4);
    for (int b = 0; b < 3; ++b) {
        const auto from = longRest.begin() + b * PriceIndex::blockSize;
        const auto to = longRest.begin() + std::min<int>((b + 1) * PriceIndex::blockSize, 70);
        EXPECT_LE(d.lowest(bounds[b]), *std::min_element(from, to)) << b;
        EXPECT_GE(d.highest(bounds[b]), *std::max_element(from, to)) << b;
    }
}

TEST(PriceIndexTest, WindowsOfWholeDays)
{
    // Eight quiet days, then a day whose base price jumps by a fifth, then dates that go back.
    std::vector<test::PriceDay> days;
    std::int32_t date = 20040105;
    for (int k = 0; k < 8; ++k)
        days.push_back({date++, {10000, 10010, 9990, 10020 + k}});
    days.push_back({date++, {12500, 12500, 12600}});
    days.push_back({date++, {12600, 12600}});
    days.push_back({20040101, {12600, 12600}});
    std::string bytes;
    for (const auto& d : days) {
        bytes += priceRecordBytes(d.date);
        for (auto v : d.values)
            bytes += priceRecordBytes(v);
    }
    const PriceFile file = PriceFile::fromBytes(bytes);
    const PriceIndex& index = file.index();
    EXPECT_FALSE(index.ascending());
    struct Row
    {
        std::size_t day;
        std::uint8_t whole; // bit j: the 2^(j+1) days from it
    };
    const Row rows[] = {{0, 0b111}, {1, 0b011}, {4, 0b011}, {6, 0b001}, {7, 0b000}, {8, 0b001}, {9, 0b000}};
    for (const Row& r : rows)
        EXPECT_EQ(index.day(r.day).whole, r.whole) << r.day;
    // The bounds of the eight days hold their first checks and rests.
    const auto& d = index.day(0);
    EXPECT_LE(d.lowest(d.span[2]), 9990);
    EXPECT_GE(d.highest(d.span[2]), 10027);
    EXPECT_GT(d.lowest(d.span[2]), 9900);
    EXPECT_LT(d.highest(d.span[2]), 10100);

    // Built piece by piece, the index is the same.
    const auto values = file.values();
    PriceIndex::Builder builder;
    for (std::size_t at = 0; at < values.size(); at += 3)
        builder.add(values.subspan(at, std::min<std::size_t>(3, values.size() - at)));
    const PriceIndex pieces = builder.finish();
    ASSERT_EQ(pieces.dayCount(), index.dayCount());
    for (std::size_t k = 0; k < index.dayCount(); ++k) {
        const auto &a = pieces.day(k), &b = index.day(k);
        EXPECT_TRUE(a.at == b.at && a.date == b.date && a.base == b.base && a.first == b.first && a.low == b.low
                    && a.high == b.high && a.last == b.last && a.whole == b.whole && a.shift == b.shift)
            << k;
    }
}

TEST(PriceIndexTest, LimitsHoldExactlyWhenTheBoundsDo)
{
    // The walk compares bounds with a band in the day's units; that must say what comparing the
    // prices the bounds stand for says, at every unit and at the band's ends.
    Random rng(5);
    const std::int64_t ends[] = {std::numeric_limits<std::int64_t>::min(),
                                 std::numeric_limits<std::int64_t>::max(),
                                 -1,
                                 0,
                                 1,
                                 4095,
                                 4096,
                                 65535LL << 10};
    for (int n = 0; n < 200000; ++n) {
        PriceIndex::Day d{};
        d.shift = static_cast<std::uint8_t>(rng.between(0, 15));
        const PriceIndex::Bounds b{static_cast<std::uint16_t>(rng.between(0, 65535)),
                                   static_cast<std::uint16_t>(rng.between(0, 65535))};
        const auto pick = [&] {
            return rng.between(0, 3) == 0
                ? ends[rng.between(0, 7)]
                : (static_cast<std::int64_t>(rng.between(0, 65535)) << d.shift) + rng.between(-2, 2);
        };
        const std::int64_t below = pick(), above = pick();
        EXPECT_EQ(d.limits(below, above).hold(b), d.lowest(b) > below && d.highest(b) < above)
            << int(d.shift) << " " << b.low << " " << b.high << " " << below << " " << above;
    }
}
