// The program under faults: folders it may not write, a full disk, missing, empty and truncated
// files, and files that change between runs. Each gives a clear message or a defined result.

#include "PriceBuilder.h"
#include "Recorders.h"
#include "TempDir.h"
#include "engine/CSimEngine.h"
#include "engine/MarketUpdate.h"
#include "engine/Portfolio.h"
#include "formats/ResultSet.h"
#include "mainform/core/Groups.h"
#include "platform/core/Cp949.h"
#include "platform/core/FolderLock.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"
#include "support/Faults.h"
#include "tools/ImportCsv.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrelan;

namespace {

const std::vector<std::string> portfolio = {"111110 ONE                 ", "222220 TWO                 "};

std::string days(std::int32_t start)
{
    std::string bytes;
    for (std::int32_t d : {20040105, 20040106, 20040107, 20040108})
        bytes += priceRecordBytes(d) + priceRecordBytes(start) + priceRecordBytes(start - 500)
            + priceRecordBytes(start + 300);
    return bytes;
}

// A small market in a folder of its own.
struct Market
{
    Market()
    {
        std::string kospi;
        for (std::int32_t d : {20040105, 20040106, 20040107, 20040108})
            kospi += indexRecordBytes(d, 80000, 80100);
        dir.write("kospi.lst", kospi);
        std::string ksp;
        for (int r = 0; r < 11; ++r)
            ksp += format("%d\t%d\t50\t50\t150\t50\t50\t150\t50\t50\t150\r\n", r == 10 ? 0 : 1000 - 50 * r,
                          r == 0 ? 0 : 1050 - 50 * r);
        dir.write("ksp.txt", ksp);
        dir.write("StockData/111110.real", days(10000));
        dir.write("StockData/222220.real", days(5000));
        writeSimItems(dir.path(), portfolio, 0, 10000000);
    }
    int run(int autoSet = 0, const std::filesystem::path& work = {})
    {
        RunContext c;
        c.workDir = work.empty() ? dir.path() : work;
        c.programDir = dir.path();
        c.messages = &messages;
        SimParams p;
        p.startDate = 20040101;
        p.endDate = 20040131;
        p.autoSet = autoSet;
        CSimEngine engine(c);
        return engine.runSimulation(p);
    }
    test::TempDir dir;
    test::RecordingSink messages;
};

} // namespace

// A price file beyond 32-bit positions (3 GB, sparse) stops the run with one message.
TEST(FaultTest, PriceFileTheLoaderCannotHoldStopsTheRun)
{
    Market m;
    std::filesystem::resize_file(m.dir / "StockData/222220.real", std::uint64_t{3} << 30); // no disk blocks
    // Refused by its size before a byte is read: no memory is spent on it.
    EXPECT_EQ(m.run(), runStopped);
    ASSERT_EQ(m.messages.shown.size(), 1u);
    EXPECT_NE(m.messages.shown[0].find("222220.real"), std::string::npos) << m.messages.shown[0];
    EXPECT_NE(m.messages.shown[0].find("너무 큽니다"), std::string::npos) << m.messages.shown[0];
}

TEST(FaultTest, ReadOnlyWorkingFolder)
{
    Market m;
    m.dir.write("group.lst", padBytes("old", 30) + "\r\n");
    m.dir.write("Update.new", "A111110\r\n0\r\n20040109\r\n");
    test::ReadOnlyCopy ro(m.dir.path());
    if (!ro.usable)
        GTEST_SKIP() << "this machine lets the test neither mount a read-only folder nor drop write access";
    const auto work = ro.mountPoint;
    EXPECT_EQ(m.run(0, work), runStopped);
    ASSERT_EQ(m.messages.shown.size(), 1u);
    EXPECT_NE(m.messages.shown[0].find("result.csv"), std::string::npos);
    EXPECT_FALSE(writeSimItems(work, portfolio, 0, 1000));
    EXPECT_EQ(registerGroup(work, "new", portfolio), GroupResult::Failed);
    EXPECT_EQ(deleteGroup(work, padBytes("old", 30)), GroupResult::Failed);
    EXPECT_EQ(readGroupNames(work).size(), 1u);
    // An update that cannot be removed is not merged: it would be merged again at every start.
    NullProgress progress;
    const auto outcome = mergeUpdate(work, m.dir.path(), 2, progress, m.messages);
    EXPECT_EQ(outcome.merged, 0);
    EXPECT_TRUE(outcome.kept);
    EXPECT_NE(m.messages.shown.back().find("Update.new"), std::string::npos);
    EXPECT_EQ(m.dir.read("StockData/111110.real"), days(10000));
}

TEST(FaultTest, FullDiskLeavesNoResultToTrust)
{
    Market m;
    ASSERT_EQ(m.run(), runFinished);
    // result.txt is written under its staged name, which leads to a device that is always full.
    std::filesystem::create_symlink("/dev/full", m.dir / "result.txt.results.new");
    EXPECT_EQ(m.run(), runStopped);
    ASSERT_FALSE(m.messages.shown.empty());
    EXPECT_NE(m.messages.shown.back().find("디스크"), std::string::npos);
    for (const char* file : {"result.csv", "result.txt", "trade.csv", "closing.csv", "gen.csv"})
        EXPECT_FALSE(m.dir.exists(file)) << file; // neither the new ones nor the previous run's
}

TEST(FaultTest, FullDiskKeepsTheGroupsAndTheMarket)
{
    Market m;
    ASSERT_EQ(registerGroup(m.dir.path(), "first", portfolio), GroupResult::Done);
    const std::string items = m.dir.read("item.lst");
    // item.lst's new content is staged under this name, which leads to a device that is always full.
    std::filesystem::create_symlink("/dev/full", m.dir / "item.lst.groups.new");
    EXPECT_EQ(registerGroup(m.dir.path(), "second", portfolio), GroupResult::Failed);
    EXPECT_EQ(m.dir.read("item.lst"), items);
    EXPECT_EQ(readGroupNames(m.dir.path()).size(), 1u);
}

TEST(FaultTest, ImportOnAFullDiskLeavesTheMarket)
{
    Market m;
    test::SmallDisk disk(m.dir.path());
    if (!disk.usable)
        GTEST_SKIP() << "this machine does not let the test mount a small tmpfs";
    test::TempDir in;
    std::string prices = "Date,Close\n";
    for (int d = 1; d <= 28; ++d)
        prices += format("2004-02-%02d,%d\n", d, 1000 + d * 5);
    in.write("prices/111110.csv", prices);
    in.write("index.csv", "Date,Close\n2004-01-05,800\n");
    in.write("names.csv", "111110,ONE\n");
    ImportOptions o;
    o.prices = in / "prices";
    o.index = in / "index.csv";
    o.names = in / "names.csv";
    o.out = disk.mountPoint;
    EXPECT_THROW(importCsv(o), ImportError);
    EXPECT_EQ(readWholeFile(disk.mountPoint / "StockData/111110.real"), days(10000));
    EXPECT_EQ(readWholeFile(disk.mountPoint / "kospi.lst"), m.dir.read("kospi.lst"));
}

TEST(FaultTest, MissingAndEmptyInputs)
{
    struct Row
    {
        const char* name;
        const char* file;
        bool remove; // else emptied
        int status;
        const char* message; // a part of the one message, or "" for none
    };
    // case | file | removed or emptied | run status | message
    const Row rows[] = {
        {"no kospi.lst", "kospi.lst", true, runStopped, "kospi.lst"},
        {"empty kospi.lst", "kospi.lst", false, runStopped, "kospi.lst"},
        {"no SimItem.lst", "SimItem.lst", true, runStopped, "SimItem.lst"},
        {"empty SimItem.lst", "SimItem.lst", false, runStopped, "SimItem.lst"},
        {"no price file", "StockData/222220.real", true, runStopped, "주가데이터파일이 없습니다"},
        {"empty price file: the stock sits out", "StockData/222220.real", false, runFinished, ""},
        {"no ksp.txt with automatic setting", "ksp.txt", true, runFinished, "ksp.txt"},
    };
    for (const auto& row : rows) {
        Market m;
        if (row.remove)
            std::filesystem::remove(m.dir / row.file);
        else
            m.dir.write(row.file, "");
        EXPECT_EQ(m.run(1), row.status) << row.name;
        if (*row.message) {
            ASSERT_EQ(m.messages.shown.size(), 1u) << row.name;
            EXPECT_NE(m.messages.shown[0].find(row.message), std::string::npos)
                << row.name << ": " << m.messages.shown[0];
        } else {
            EXPECT_TRUE(m.messages.shown.empty()) << row.name;
        }
    }
    Market sitsOut;
    sitsOut.dir.write("StockData/222220.real", "");
    sitsOut.run();
    const std::string gen = sitsOut.dir.read("gen.csv");
    EXPECT_EQ(std::count(gen.begin(), gen.end(), '\n'), 1);
}

TEST(FaultTest, TruncatedLastRecordsAreLeftOut)
{
    Market whole;
    whole.run();
    Market cut;
    cut.dir.write("StockData/111110.real", days(10000) + "2004010");
    cut.dir.write("kospi.lst", cut.dir.read("kospi.lst") + "20040109 801");
    cut.dir.write("SimItem.lst", cut.dir.read("SimItem.lst") + "333330 TH");
    EXPECT_EQ(cut.run(), runFinished);
    for (const char* f : {"result.csv", "result.txt", "trade.csv", "closing.csv", "gen.csv"})
        EXPECT_EQ(cut.dir.read(f), whole.dir.read(f)) << f;
}

TEST(FaultTest, PriceFilesThatChangeBetweenRunsAreReadAnew)
{
    Market m;
    ASSERT_EQ(m.run(), runFinished);
    const std::string before = m.dir.read("result.csv");
    // A day more, then the file cut in the middle of a record.
    m.dir.write("kospi.lst", m.dir.read("kospi.lst") + indexRecordBytes(20040109, 80100, 80200));
    m.dir.write("StockData/111110.real",
                days(10000) + priceRecordBytes(20040109) + priceRecordBytes(10000) + priceRecordBytes(11000));
    ASSERT_EQ(m.run(), runFinished);
    EXPECT_GT(m.dir.read("result.csv").size(), before.size());
    EXPECT_NE(m.dir.read("closing.csv").find("2004-01-09,11000"), std::string::npos);
    const std::string full = m.dir.read("StockData/111110.real");
    m.dir.write("StockData/111110.real", full.substr(0, full.size() - 20));
    ASSERT_EQ(m.run(), runFinished);
    EXPECT_TRUE(m.messages.shown.empty());
}

TEST(FaultTest, AKilledRunLeavesNoResultThatLooksFinished)
{
    Market reference;
    ASSERT_EQ(reference.run(), runFinished);
    int kills = 0;
    for (int n = 1;; ++n) {
        Market m;
        ASSERT_EQ(m.run(), runFinished); // the previous run's results, which the next run removes
        std::string point;
        if (!test::killedAtPoint(
                n, [&] { m.run(); }, &point))
            break;
        ++kills;
        recoverResults(m.dir.path()); // what the results window and show do before they read
        const bool finished = m.dir.exists("result.csv");
        for (const char* f : {"result.csv", "result.txt", "trade.csv", "closing.csv", "gen.csv"}) {
            EXPECT_EQ(m.dir.exists(f), finished) << f << ", killed at point " << n << " (" << point << ")";
            if (finished && m.dir.exists(f)) {
                EXPECT_EQ(m.dir.read(f), reference.dir.read(f)) << f << ", killed at " << point;
            }
        }
        EXPECT_FALSE(m.dir.exists("results.journal")) << point;
    }
    EXPECT_GE(kills, 8); // the days of the fund, the commit's steps
}

TEST(FaultTest, TwoRunsInOneFolderOneAtATime)
{
    Market m;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        const auto lock = FolderLock::tryAcquire(m.dir.path());
        (void)::write(ready[1], "1", 1);
        ::pause();
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_EQ(m.run(), runStopped);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ASSERT_EQ(m.messages.shown.size(), 1u);
    EXPECT_EQ(m.messages.shown[0], folderBusyMessage);
    EXPECT_EQ(m.run(), runFinished);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST(FaultTest, FilesBeyondTheirReadersLimits)
{
    // A ksp.txt that never ends is an unusable table: one message, the form's conditions.
    Market endless;
    std::filesystem::remove(endless.dir / "ksp.txt");
    std::filesystem::create_symlink("/dev/zero", endless.dir / "ksp.txt");
    EXPECT_EQ(endless.run(1), runFinished);
    ASSERT_EQ(endless.messages.shown.size(), 1u);
    EXPECT_NE(endless.messages.shown[0].find("ksp.txt"), std::string::npos);
    // A SimItem.lst far beyond fifty lines stops the run with a message that names it.
    Market huge;
    std::filesystem::remove(huge.dir / "SimItem.lst");
    std::filesystem::create_symlink("/dev/zero", huge.dir / "SimItem.lst");
    EXPECT_EQ(huge.run(), runStopped);
    ASSERT_EQ(huge.messages.shown.size(), 1u);
    EXPECT_NE(huge.messages.shown[0].find("SimItem.lst"), std::string::npos);
}
