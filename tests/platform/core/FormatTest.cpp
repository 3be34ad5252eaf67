#include "platform/core/Format.h"

#include <gtest/gtest.h>

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
