#include "platform/core/Cp949.h"

#include <gtest/gtest.h>

using namespace kestrelan;

TEST(Cp949Test, HangulIsTwoBytesAndRoundTrips)
{
    const std::string name = toCp949("가람전자");
    EXPECT_EQ(name.size(), 8u);
    EXPECT_EQ(name, "\xB0\xA1\xB6\xF7\xC0\xFC\xC0\xDA");
    EXPECT_EQ(fromCp949(name), "가람전자");
    EXPECT_EQ(toCp949("초매"), "\xC3\xCA\xB8\xC5");
    EXPECT_EQ(toCp949("KT&G 1"), "KT&G 1");
}

TEST(Cp949Test, UnconvertibleTextsSayWhere)
{
    try {
        toCp949("ab\xF0\x9F\x98\x80"); // an emoji CP949 has no code for
        FAIL() << "expected Cp949Error";
    } catch (const Cp949Error& e) {
        EXPECT_EQ(e.offset, 2u);
    }
    EXPECT_THROW(fromCp949("\xB0"), Cp949Error); // a lead byte without its trail byte
    EXPECT_THROW(toCp949("\xC3"), Cp949Error);   // broken UTF-8
    EXPECT_EQ(fromCp949Lossy("a\xFF"
                             "b"),
              "a\xEF\xBF\xBD"
              "b");
}

TEST(Cp949Test, PaddingNeverSplitsATwoByteCharacter)
{
    struct Row
    {
        const char* utf8;
        std::size_t width;
        const char* expectedUtf8; // after padding with blanks
    };
    // name | width in bytes | padded text
    const Row rows[] = {
        {"가람전자", 20, "가람전자            "},
        {"우리나라종합금융지주회사", 20, "우리나라종합금융지주"}, // 24 bytes cut to 20
        {"가람전자", 5, "가람 "},                                 // 4 bytes and a blank
        {"A가람", 4, "A가 "},
        {"", 3, "   "},
        {"한결KOREA", 20, "한결KOREA           "},
    };
    for (const auto& row : rows) {
        const std::string padded = padBytes(toCp949(row.utf8), row.width);
        EXPECT_EQ(padded.size(), row.width) << row.utf8;
        EXPECT_EQ(fromCp949(padded), row.expectedUtf8) << row.utf8;
    }
}

TEST(Cp949Test, CutKeepsWholeCharacters)
{
    const std::string s = toCp949("가나다");
    EXPECT_EQ(cutBytes(s, 5).size(), 4u);
    EXPECT_EQ(cutBytes(s, 6).size(), 6u);
    EXPECT_EQ(cutBytes(s, 1).size(), 0u);
    EXPECT_EQ(cutBytes("abc", 2), "ab");
}
