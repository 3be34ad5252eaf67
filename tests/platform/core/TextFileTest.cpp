#include "platform/core/TextFile.h"
#include "platform/core/Format.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace kestrelan;

TEST(TextFileTest, WriterPutsCrLfOnDisk)
{
    test::TempDir dir;
    TextWriter out;
    ASSERT_TRUE(out.open(dir / "a.txt"));
    out.write("one\ntwo\n");
    out.print("%d,%s\n", 7, "x");
    out.writeRaw("raw\r");
    ASSERT_TRUE(out.close());
    EXPECT_EQ(dir.read("a.txt"), "one\r\ntwo\r\n7,x\r\nraw\r");
}

TEST(TextFileTest, AppendKeepsWhatIsThere)
{
    test::TempDir dir;
    dir.write("a.txt", "abc");
    TextWriter out;
    ASSERT_TRUE(out.open(dir / "a.txt", TextWriter::Mode::Append));
    out.write("d\n");
    ASSERT_TRUE(out.close());
    EXPECT_EQ(dir.read("a.txt"), "abcd\r\n");
}

TEST(TextFileTest, OpenFailsInMissingFolder)
{
    test::TempDir dir;
    TextWriter out;
    EXPECT_FALSE(out.open(dir / "no" / "such.txt"));
    out.write("x");
    EXPECT_FALSE(out.close());
}

TEST(TextFileTest, BufferedReadCollapsesCrLfAndConsumesBothBytes)
{
    // 20040102 line of date.lst: 28 characters, CR LF. Reading 29 characters takes 30 bytes.
    TextReader r("2004010290000020041231100000\r\n2005");
    EXPECT_EQ(r.read(29), "2004010290000020041231100000\n");
    EXPECT_EQ(r.tell(), 30u);
    EXPECT_EQ(r.read(29), "2005");
    EXPECT_TRUE(r.atEnd());
}

TEST(TextFileTest, LoneCrStaysACharacter)
{
    TextReader r(" 12500       \r 12600       \r");
    EXPECT_EQ(r.read(14), " 12500       \r");
    EXPECT_EQ(r.read(14), " 12600       \r");
    EXPECT_EQ(r.read(14), "");
}

TEST(TextFileTest, SeeksAreRawByteOffsets)
{
    TextReader r("ab\r\ncd\r\nef");
    r.seek(4);
    EXPECT_EQ(r.read(3), "cd\n");
    r.seek(100);
    EXPECT_TRUE(r.atEnd());
}

TEST(TextFileTest, LowLevelReadTakesRawBytesThenCollapses)
{
    // A portfolio line: 38 characters and CR LF, 40 bytes: one low-level read of 40 yields 39.
    const std::string line = std::string(27, 'E') + "  100000000\r\n";
    TextReader r(line + line);
    EXPECT_EQ(r.readRaw(40).size(), 39u);
    EXPECT_EQ(r.tell(), 40u);
    EXPECT_EQ(r.readRaw(40), std::string(27, 'E') + "  100000000\n");
    EXPECT_EQ(r.readRaw(40), "");
}

TEST(TextFileTest, LowLevelReadEndingOnCrTakesTheLf)
{
    TextReader r("abc\r\nd");
    EXPECT_EQ(r.readRaw(4), "abc\n");
    EXPECT_EQ(r.tell(), 5u);
    EXPECT_EQ(r.readRaw(4), "d");
}

TEST(TextFileTest, GetLineKeepsToItsBuffer)
{
    TextReader r("12345678901234\r\n\r\nlast");
    EXPECT_EQ(r.getLine(13), "123456789012");
    EXPECT_EQ(r.getLine(13), "34\n");
    EXPECT_EQ(r.getLine(13), "\n");
    EXPECT_EQ(r.getLine(13), "last");
    EXPECT_EQ(r.getLine(13), std::nullopt);
}

TEST(TextFileTest, ReplaceFileAtomicallyLeavesNoScratch)
{
    test::TempDir dir;
    dir.write("g.lst", "old");
    ASSERT_TRUE(replaceFileAtomically(dir / "g.lst", "new"));
    EXPECT_EQ(dir.read("g.lst"), "new");
    EXPECT_FALSE(dir.exists("g.lst.tmp"));
    EXPECT_FALSE(replaceFileAtomically(dir / "missing" / "g.lst", "x"));
}

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
