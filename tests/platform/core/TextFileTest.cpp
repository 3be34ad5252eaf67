#include "platform/core/TextFile.h"
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
