#include "platform/core/Format.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <limits>

using namespace kestrelan;

TEST(FormatTest, AtoiRules)
{
    struct Row
    {
        const char* text;
        std::int32_t value;
    };
    // text | value, as the C library's atoi gives (saturating like the Windows runtime)
    const Row rows[] = {
        {" 12500       ", 12500},
        {"20050315     ", 20050315},
        {"  -5", -5},
        {"+7x", 7},
        {"abc", 0},
        {"", 0},
        {"\r\n 42", 42},
        {"99999999999999", 2147483647},
        {"-99999999999999", -2147483647 - 1},
        {"12 34", 12},
    };
    for (const auto& row : rows)
        EXPECT_EQ(atoiText(row.text), row.value) << '"' << row.text << '"';
    EXPECT_EQ(atoiField(std::string_view("12\0"
                                         "34",
                                         5)),
              12);
}

TEST(FormatTest, TypedFieldsParseWhole)
{
    EXPECT_EQ(parseUnsignedField(" 2500000000 "), 2500000000u);
    EXPECT_EQ(parseUnsignedField("4294967296"), std::nullopt);
    EXPECT_EQ(parseUnsignedField("-5"), std::nullopt);
    EXPECT_EQ(parseUnsignedField(""), std::nullopt);
    EXPECT_EQ(parseUnsignedField("12a"), std::nullopt);
    EXPECT_EQ(parseIntField("-15"), -15);
    EXPECT_EQ(parseIntField("+7"), 7);
    EXPECT_EQ(parseIntField("2147483648"), std::nullopt);
    EXPECT_EQ(parseIntField("1 2"), std::nullopt);
    EXPECT_EQ(parseDoubleField(" 0.2"), 0.2);
    EXPECT_EQ(parseDoubleField("1e-1"), 0.1);
    EXPECT_EQ(parseDoubleField("0.2%"), std::nullopt);
    EXPECT_EQ(parseDoubleField("nan"), std::nullopt);
}

// The result files' numbers must keep printf's digits to the last one: ties, negative zero,
// values past 2^53, rounding that carries, and what is not a number.
TEST(FormatTest, LineBuilderWritesPrintfsDigits)
{
    const double values[] = {0.0, -0.0, 0.5, 1.5, 2.5, -0.5, -2.5, 0.125, 0.375, 1.005, 2.675, 9.995, 99.5,
                             -1e-7, 123456789.5, 9007199254740993.0, 1e22, -3.4e38, 1.7976931348623157e308,
                             5e-324, 0.1 + 0.2, 1.0 / 3, std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()};
    for (const double v : values) {
        for (const int decimals : {0, 2, 6}) {
            char expected[512];
            std::snprintf(expected, sizeof expected, "x,%.*f,%d\n", decimals, v, -42);
            EXPECT_EQ(LineBuilder().text("x").fixed(v, decimals).integer(-42).end(), expected) << v;
        }
    }
    EXPECT_EQ(LineBuilder().text("").text("").integer(2147483647).end(), ",,2147483647\n");
}
