#include "engine/MarketUpdate.h"
#include "engine/MarketData.h"
#include "support/PriceBuilder.h"
#include "support/Recorders.h"
#include "support/TempDir.h"

#include "platform/core/FolderLock.h"
#include "support/Faults.h"
#include "support/SmallMarket.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kestrelan;

using test::records;

namespace {

struct Update
{
    Update()
    {
        dir.write("StockData/005930.real", records({20050314, 12000, 12100}));
        dir.write("StockData/000660.real", records({20050314, 5000, 5010}));
    }
    UpdateOutcome merge(const std::string& update)
    {
        dir.write("Update.new", update);
        return mergeUpdate(dir.path(), dir.path(), 30, progress, messages);
    }
    std::string real(const char* code) { return dir.read(std::string("StockData/") + code + ".real"); }
    test::TempDir dir;
    test::RecordingSink messages;
    test::RecordingProgress progress;
};

} // namespace

TEST(MarketUpdateTest, AppendsValuesAndReplacesTheLastRecord)
{
    Update u;
    const auto outcome = u.merge("A005930\r\n3\r\n20050315\r\n20050315\r\n12500\r\n20050316\r\n"
                                 "A000660\r\n0\r\n20050316\r\n");
    EXPECT_TRUE(outcome.present);
    EXPECT_EQ(outcome.merged, 2);
    EXPECT_EQ(u.real("005930"), records({20050314, 12000, 12100}) + "20050315     \r 12500       \r20050316     \r");
    EXPECT_EQ(u.real("000660"), records({20050314, 5000}) + "20050316     \r");
    EXPECT_FALSE(u.dir.exists("Update.new"));
    EXPECT_EQ(u.progress.text, "주가 Data Update중입니다....");
    EXPECT_EQ(u.progress.ended, 1);
    EXPECT_TRUE(u.messages.shown.empty());
}

TEST(MarketUpdateTest, OutOfDateBlockKeepsTheRestInUpdateRej)
{
    // A file that ends with the date of its next day is compared with the block's first date.
    Update u;
    u.dir.write("StockData/000660.real", records({20050314, 5000, 5010, 20050315}));
    const std::string stale = "A000660\r\n1\r\n20050301\r\n4990\r\n";
    const std::string later = "A005930\r\n1\r\n20050316\r\n12200\r\n";
    const auto outcome = u.merge("A005930\r\n1\r\n20050315\r\n12150\r\n" + stale + later);
    EXPECT_EQ(outcome.merged, 1);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(u.real("005930"), records({20050314, 12000, 12100, 12150}));
    EXPECT_EQ(u.real("000660"), records({20050314, 5000, 5010, 20050315}));
    EXPECT_EQ(u.dir.read("Update.rej"), stale + later);
    EXPECT_FALSE(u.dir.exists("Update.new"));
    ASSERT_EQ(u.messages.shown.size(), 1u);
    EXPECT_NE(u.messages.shown[0].find("000660"), std::string::npos);
    EXPECT_NE(u.messages.shown[0].find("20050301"), std::string::npos);
    EXPECT_NE(u.messages.shown[0].find("Update.rej"), std::string::npos);
}

TEST(MarketUpdateTest, NewlyListedStockGetsItsFile)
{
    struct Row
    {
        const char* name;
        std::string update;
        bool exists;
        std::string bytes;
    };
    // case | block for a stock without a price file | file created | its bytes
    const Row rows[] = {
        {"values", "A123450\r\n2\r\n20050316\r\n20050316\r\n7000\r\n", true, records({20050316, 7000})},
        {"a date only", "A123450\r\n0\r\n20050316\r\n", true, records({20050316})},
        {"nothing", "A123450\r\n-1\r\n20050316\r\n", false, ""},
    };
    for (const auto& row : rows) {
        Update u;
        u.merge(row.update);
        EXPECT_EQ(u.dir.exists("StockData/123450.real"), row.exists) << row.name;
        if (row.exists) {
            EXPECT_EQ(u.real("123450"), row.bytes) << row.name;
        }
    }
}

TEST(MarketUpdateTest, TruncatedOrUnsafeBlocksStopTheMerge)
{
    struct Row
    {
        const char* name;
        std::string update;
    };
    const Row rows[] = {
        {"fewer values than announced", "A005930\r\n3\r\n20050315\r\n12150\r\n"},
        {"a code that would leave the folder", "A../../x\r\n1\r\n20050315\r\n1\r\n"},
    };
    for (const auto& row : rows) {
        Update u;
        const auto outcome = u.merge(row.update);
        EXPECT_TRUE(outcome.stopped) << row.name;
        EXPECT_EQ(u.real("005930"), records({20050314, 12000, 12100})) << row.name;
        EXPECT_EQ(u.dir.read("Update.rej"), row.update) << row.name;
    }
}

TEST(MarketUpdateTest, NoUpdateDoesNothing)
{
    Update u;
    EXPECT_FALSE(mergeUpdate(u.dir.path(), u.dir.path(), 30, u.progress, u.messages).present);
    EXPECT_TRUE(u.messages.shown.empty());
}

TEST(MarketUpdateTest, EmptyUpdateIsRemoved)
{
    Update u;
    const auto outcome = u.merge("");
    EXPECT_TRUE(outcome.present);
    EXPECT_EQ(outcome.merged, 0);
    EXPECT_FALSE(u.dir.exists("Update.new"));
}

TEST(MarketUpdateTest, BlockWriterAndReaderAgree)
{
    const std::vector<std::int32_t> values = {20050315, 12500, -2147483647 - 1};
    const std::string bytes = updateBlockBytes("005930", 20050315, values);
    EXPECT_EQ(bytes, "A005930\r\n3\r\n20050315\r\n20050315\r\n12500\r\n-2147483648\r\n");
    TextReader reader(bytes + bytes);
    for (int i = 0; i < 2; ++i) {
        const auto block = readUpdateBlock(reader);
        ASSERT_TRUE(block.has_value());
        EXPECT_EQ(block->code, "005930");
        EXPECT_EQ(block->count, 3);
        EXPECT_EQ(block->firstDate, 20050315);
        EXPECT_EQ(block->values, values);
        EXPECT_TRUE(block->complete);
    }
    EXPECT_FALSE(readUpdateBlock(reader).has_value());
}

TEST(MarketUpdateTest, ReaderKeepsToTheHeaderAndTheLineLimit)
{
    struct Row
    {
        const char* name;
        std::string bytes;
        std::string code;
        std::int32_t count;
        bool complete;
    };
    // case | Update.new | code | n | block complete
    const Row rows[] = {
        {"text after the code", "X005930 more\r\n0\r\n20050315\r\n", "005930", 0, true},
        {"a short code", "A0059\r\n0\r\n20050315\r\n", "0059", 0, true},
        {"a header alone", "A005930\r\n", "005930", 0, false},
        // 12 characters are read; the line end that follows is read as the next line.
        {"a line beyond the limit", "A005930\r\n000000000001\r\n20050315\r\n", "005930", 1, true},
    };
    for (const auto& row : rows) {
        TextReader reader(row.bytes);
        const auto block = readUpdateBlock(reader);
        ASSERT_TRUE(block.has_value()) << row.name;
        EXPECT_EQ(block->code, row.code) << row.name;
        EXPECT_EQ(block->count, row.count) << row.name;
        EXPECT_EQ(block->complete, row.complete) << row.name;
    }
}

namespace {

// A market of three stocks and an update of four blocks: values appended, a last record replaced,
// a new stock's first file, and values for the first stock again.
const std::string fourBlocks = "A005930\r\n2\r\n20050315\r\n20050315\r\n12500\r\n"
                               "A000660\r\n0\r\n20050316\r\n"
                               "A123450\r\n2\r\n20050316\r\n20050316\r\n7000\r\n"
                               "A005930\r\n2\r\n20050316\r\n20050316\r\n12600\r\n";

} // namespace

TEST(MarketUpdateTest, AKillAtAnyPointAppliesEveryBlockOnce)
{
    for (const std::string& tail : {std::string(), std::string("A005930\r\n1\r\n20050101\r\n1\r\n")}) {
        Update reference;
        reference.merge(fourBlocks + tail);
        const auto expected = reference.dir.files();
        int kills = 0;
        for (int n = 1;; ++n) {
            Update u;
            u.dir.write("Update.new", fourBlocks + tail);
            std::string point;
            if (!test::killedAtPoint(
                    n, [&] { mergeUpdate(u.dir.path(), u.dir.path(), 30, u.progress, u.messages); }, &point))
                break;
            ++kills;
            mergeUpdate(u.dir.path(), u.dir.path(), 30, u.progress, u.messages); // the next start
            EXPECT_EQ(u.dir.files(), expected)
                << "killed at point " << n << " (" << point << ")" << (tail.empty() ? "" : " with a refused block");
        }
        EXPECT_GE(kills, 8);
    }
}

TEST(MarketUpdateTest, AFullDiskStopsTheMergeAndTheNextOneGoesOn)
{
    Update reference;
    reference.merge(fourBlocks);
    // The price files on a disk with no room left: the first two blocks grow files within what
    // the disk has given them already; the third needs room for a new file.
    Update u;
    const auto program = u.dir / "program";
    test::SmallDisk disk(u.dir / "StockData", program / "StockData");
    if (!disk.usable)
        GTEST_SKIP() << "this machine does not let the test mount a small tmpfs";
    u.dir.write("Update.new", fourBlocks);
    const auto stopped = mergeUpdate(u.dir.path(), program, 30, u.progress, u.messages);
    EXPECT_EQ(stopped.merged, 2);
    EXPECT_TRUE(stopped.kept);
    ASSERT_EQ(u.messages.shown.size(), 1u);
    EXPECT_NE(u.messages.shown[0].find("123450"), std::string::npos);
    EXPECT_TRUE(u.dir.exists("Update.new"));
    disk.empty(); // room again
    const auto resumed = mergeUpdate(u.dir.path(), program, 30, u.progress, u.messages);
    EXPECT_EQ(resumed.merged, 2);
    for (const char* code : {"005930", "000660", "123450"})
        EXPECT_EQ(readWholeFile(priceFilePath(program, code)), reference.real(code)) << code;
    EXPECT_FALSE(u.dir.exists("Update.new"));
    EXPECT_FALSE(u.dir.exists("Update.jnl"));
}

TEST(MarketUpdateTest, ASecondWriterWaitsForTheFirst)
{
    Update u;
    u.dir.write("Update.new", fourBlocks);
    test::LockHolder holder(u.dir.path());
    ASSERT_TRUE(holder.held);
    const auto busy = mergeUpdate(u.dir.path(), u.dir.path(), 30, u.progress, u.messages);
    holder.release();
    EXPECT_EQ(busy.merged, 0);
    ASSERT_EQ(u.messages.shown.size(), 1u);
    EXPECT_NE(u.messages.shown[0].find(folderBusyMessage), std::string::npos);
    EXPECT_EQ(mergeUpdate(u.dir.path(), u.dir.path(), 30, u.progress, u.messages).merged, 4);
}

TEST(MarketUpdateTest, WhatCannotBeRemovedOrReadIsNotMerged)
{
    struct Row
    {
        const char* name;
        mode_t folder, update, price; // modes, for an ordinary user
        bool merged;
        const char* message;
    };
    // case | folder | Update.new | 005930's price file | merged | part of the message
    const Row rows[] = {
        {"a read-only folder with a writable update", 0555, 0666, 0666, false, "Update.new를 지울 수 없어"},
        {"a read-only update", 0777, 0444, 0666, false, "Update.new를 지울 수 없어"},
        {"a price file that cannot be read", 0777, 0666, 0000, false, "읽을 수 없어"},
    };
    for (const auto& row : rows) {
        Update u;
        const std::string before = u.real("005930");
        u.dir.write("Update.new", fourBlocks);
        ::chmod((u.dir / "StockData").c_str(), 0777);
        ::chmod((u.dir / "StockData/005930.real").c_str(), row.price);
        ::chmod((u.dir / "StockData/000660.real").c_str(), 0666);
        ::chmod((u.dir / "Update.new").c_str(), row.update);
        ::chmod(u.dir.path().c_str(), row.folder);
        test::RecordingSink* messages = &u.messages;
        const int merged = test::asOrdinaryUser([&] {
            test::RecordingProgress progress;
            const auto outcome = mergeUpdate(u.dir.path(), u.dir.path(), 30, progress, *messages);
            return outcome.merged
                + (messages->shown.size() == 1 && messages->shown[0].find(row.message) != std::string::npos ? 100 : 0);
        });
        ::chmod(u.dir.path().c_str(), 0755);
        ::chmod((u.dir / "StockData/005930.real").c_str(), 0644);
        EXPECT_EQ(merged, 100) << row.name; // nothing merged, the one message
        EXPECT_EQ(u.real("005930"), before) << row.name;
    }
}

TEST(MarketUpdateTest, AMalformedBlockGoesToUpdateRej)
{
    Update u;
    const std::string bad = "A000660\r\nabc\r\n20050316\r\n";
    const auto outcome = u.merge("A005930\r\n1\r\n20050315\r\n12150\r\n" + bad);
    EXPECT_EQ(outcome.merged, 1);
    EXPECT_EQ(u.real("000660"), records({20050314, 5000, 5010}));
    EXPECT_EQ(u.dir.read("Update.rej"), bad);
    ASSERT_EQ(u.messages.shown.size(), 1u);
    EXPECT_NE(u.messages.shown[0].find("000660"), std::string::npos);
    EXPECT_NE(u.messages.shown[0].find("형식"), std::string::npos);
}

// An update that cannot be removed is not merged: it would be merged again at every start.
TEST(MarketUpdateTest, ReadOnlyWorkingFolder)
{
    test::SmallMarket m;
    m.dir.write("Update.new", "A111110\r\n0\r\n20040109\r\n");
    test::ReadOnlyCopy ro(m.dir.path());
    if (!ro.usable)
        GTEST_SKIP() << "this machine lets the test neither mount a read-only folder nor drop write access";
    NullProgress progress;
    const auto outcome = mergeUpdate(ro.mountPoint, m.dir.path(), 2, progress, m.messages);
    EXPECT_EQ(outcome.merged, 0);
    EXPECT_TRUE(outcome.kept);
    ASSERT_FALSE(m.messages.shown.empty());
    EXPECT_NE(m.messages.shown.back().find("Update.new"), std::string::npos);
    EXPECT_EQ(m.dir.read("StockData/111110.real"), test::SmallMarket::prices(10000));
}

// In a shared folder with the sticky bit, an update another user owns can be read and written but
// not removed: the merge applies it, says it could not remove it, and keeps its journal, so the
// next merge (by its owner) applies no block again.
TEST(MarketUpdateTest, AnUpdateThatCannotBeRemovedIsNeverAppliedTwice)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give the update to another user";
    Update reference;
    reference.merge(fourBlocks);
    Update u;
    u.dir.write("Update.new", fourBlocks);
    ::chmod((u.dir / "StockData").c_str(), 0777);
    for (const char* code : {"005930", "000660"})
        ::chmod((u.dir / (std::string("StockData/") + code + ".real")).c_str(), 0666);
    ::chmod((u.dir / "Update.new").c_str(), 0666);
    ::chmod(u.dir.path().c_str(), 01777);
    test::RecordingSink* messages = &u.messages;
    const int merged = test::asOrdinaryUser([&] {
        test::RecordingProgress progress;
        const auto outcome = mergeUpdate(u.dir.path(), u.dir.path(), 30, progress, *messages);
        return outcome.merged + (outcome.kept ? 100 : 0);
    });
    ::chmod(u.dir.path().c_str(), 0755);
    EXPECT_EQ(merged, 104); // every block applied, the update kept
    EXPECT_TRUE(u.dir.exists("Update.jnl"));
    mergeUpdate(u.dir.path(), u.dir.path(), 30, u.progress, u.messages);
    EXPECT_FALSE(u.dir.exists("Update.new"));
    EXPECT_EQ(u.real("005930"), reference.real("005930"));
    EXPECT_EQ(u.real("000660"), reference.real("000660"));
}

// Two working folders share one program folder's price files. A merge killed part way in one
// folder must not, when it goes on, cut away days that the other folder's merge has added to the
// same price file since: it stops, and says so.
TEST(MarketUpdateTest, AResumedMergeNeverCutsAwayAnotherMergesDays)
{
    int n = 1;
    for (std::string point; point != "merge:applied"; ++n) {
        Update probe;
        probe.dir.write("Update.new", fourBlocks);
        ASSERT_TRUE(test::killedAtPoint(
            n, [&] { mergeUpdate(probe.dir.path(), probe.dir.path(), 30, probe.progress, probe.messages); }, &point));
    }
    Update u;
    u.dir.write("Update.new", fourBlocks);
    ASSERT_TRUE(
        test::killedAtPoint(n - 1, [&] { mergeUpdate(u.dir.path(), u.dir.path(), 30, u.progress, u.messages); }));
    // The other folder's merge appends a day to the file the killed merge was writing.
    const std::string grown = u.real("005930") + records({20050317, 12600, 12700});
    u.dir.write("StockData/005930.real", grown);
    const auto outcome = mergeUpdate(u.dir.path(), u.dir.path(), 30, u.progress, u.messages);
    EXPECT_TRUE(outcome.kept);
    EXPECT_EQ(u.real("005930"), grown);
    ASSERT_EQ(u.messages.shown.size(), 1u);
    EXPECT_NE(u.messages.shown[0].find("005930"), std::string::npos);
}
