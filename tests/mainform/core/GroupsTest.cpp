#include "mainform/core/Groups.h"
#include "engine/MarketData.h"
#include "platform/core/Cp949.h"
#include "platform/core/TextFile.h"
#include "support/CodeEntries.h"
#include "support/Faults.h"
#include "support/SmallMarket.h"
#include "support/TempDir.h"

#include <functional>
#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace kestrelan;

using test::fiveStocks;

TEST(GroupsTest, RegisterLoadAndRefuseDuplicates)
{
    test::TempDir dir;
    const std::vector<std::string> growth = {fiveStocks()[0], fiveStocks()[2]};
    EXPECT_EQ(registerGroup(dir.path(), toCp949("성장주"), growth), GroupResult::Done);
    EXPECT_EQ(registerGroup(dir.path(), "blue", {fiveStocks()[4]}), GroupResult::Done);
    EXPECT_EQ(dir.read("group.lst").size(), 2u * 32);
    EXPECT_EQ(dir.read("item.lst").size(), 3u * 59);
    EXPECT_EQ(dir.read("group.lst").substr(30, 2), "\r\n");
    EXPECT_EQ(registerGroup(dir.path(), toCp949("성장주"), growth), GroupResult::Duplicate);
    // A name is taken without the blanks at its ends: "blue " is "blue", blanks alone no name.
    EXPECT_EQ(registerGroup(dir.path(), " blue ", {fiveStocks()[1]}), GroupResult::Duplicate);
    EXPECT_EQ(registerGroup(dir.path(), "   ", {fiveStocks()[1]}), GroupResult::Blank);
    EXPECT_EQ(registerGroup(dir.path(), std::string(31, 'x'), growth), GroupResult::TooLong);
    EXPECT_EQ(registerGroup(dir.path(), std::string(30, 'x') + " ", growth), GroupResult::Done);

    const auto names = readGroupNames(dir.path());
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], padBytes(toCp949("성장주"), 30));
    EXPECT_EQ(loadGroup(dir.path(), names[0]), growth);
    EXPECT_EQ(loadGroup(dir.path(), names[1]), std::vector<std::string>{fiveStocks()[4]});
}

TEST(GroupsTest, DeleteKeepsTheOthersInOrderAndBacksUp)
{
    test::TempDir dir;
    registerGroup(dir.path(), "one", {fiveStocks()[0]});
    registerGroup(dir.path(), "two", {fiveStocks()[1], fiveStocks()[2]});
    registerGroup(dir.path(), "three", {fiveStocks()[3]});
    const std::string groupsBefore = dir.read("group.lst"), itemsBefore = dir.read("item.lst");
    ASSERT_EQ(deleteGroup(dir.path(), padBytes("two", 30)), GroupResult::Done);
    EXPECT_EQ(dir.read("group.bak"), groupsBefore);
    EXPECT_EQ(dir.read("item.bak"), itemsBefore);
    const auto names = readGroupNames(dir.path());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], padBytes("one", 30));
    EXPECT_EQ(names[1], padBytes("three", 30));
    EXPECT_TRUE(loadGroup(dir.path(), padBytes("two", 30)).empty());
    EXPECT_EQ(loadGroup(dir.path(), padBytes("three", 30)), std::vector<std::string>{fiveStocks()[3]});
    EXPECT_FALSE(dir.exists("group.lst.tmp"));
}

TEST(GroupsTest, MissingFilesMeanNoGroups)
{
    test::TempDir dir;
    EXPECT_TRUE(readGroupNames(dir.path()).empty());
    EXPECT_TRUE(loadGroup(dir.path(), padBytes("x", 30)).empty());
    EXPECT_EQ(deleteGroup(dir.path(), padBytes("x", 30)), GroupResult::Done);
    EXPECT_EQ(dir.read("group.lst"), "");
    EXPECT_FALSE(dir.exists("group.bak"));
    // A truncated last record of group.lst is not a group.
    dir.write("group.lst", padBytes("a", 30) + "\r\n" + "b");
    EXPECT_EQ(readGroupNames(dir.path()).size(), 1u);
}

TEST(GroupsTest, AKillAtAnyStepLeavesTheGroupsWholeAndNoneIsMergedWithLeftovers)
{
    const auto seed = [](const test::TempDir& dir) {
        registerGroup(dir.path(), "one", {fiveStocks()[0]});
        registerGroup(dir.path(), "two", {fiveStocks()[1], fiveStocks()[2]});
        // Members a registration of "three" left without its name, before changes were whole.
        dir.write("item.lst", dir.read("item.lst") + padBytes("three", 30) + fiveStocks()[4] + "\r\n");
    };
    const auto state = [](const test::TempDir& dir) {
        std::vector<std::vector<std::string>> groups;
        for (const auto& name : readGroupNames(dir.path())) // finishes or undoes an interrupted change
            groups.push_back(loadGroup(dir.path(), name));
        return groups;
    };
    using Change = std::function<void(const test::TempDir&)>;
    const Change changes[] = {
        [](const test::TempDir& d) { registerGroup(d.path(), "three", {fiveStocks()[3]}); },
        [](const test::TempDir& d) { deleteGroup(d.path(), padBytes("one", 30)); },
    };
    for (const auto& change : changes) {
        test::TempDir before, after;
        seed(before);
        seed(after);
        change(after);
        int kills = 0;
        for (int n = 1;; ++n) {
            test::TempDir dir;
            seed(dir);
            std::string point;
            if (!test::killedAtPoint(
                    n, [&] { change(dir); }, &point))
                break;
            ++kills;
            const auto now = state(dir);
            EXPECT_TRUE(now == state(before) || now == state(after)) << "killed at " << point;
        }
        EXPECT_GE(kills, 4);
    }
    // The leftovers of "three" were not taken into the new group.
    test::TempDir dir;
    seed(dir);
    registerGroup(dir.path(), "three", {fiveStocks()[3]});
    EXPECT_EQ(loadGroup(dir.path(), padBytes("three", 30)), std::vector<std::string>{fiveStocks()[3]});
}

TEST(GroupsTest, AGroupFileThatCannotBeReadStopsTheChange)
{
    test::TempDir dir;
    registerGroup(dir.path(), "one", {fiveStocks()[0]});
    const std::string groups = dir.read("group.lst"), items = dir.read("item.lst");
    ::chmod(dir.path().c_str(), 0777);
    ::chmod((dir / "group.lst").c_str(), 0666);
    ::chmod((dir / "item.lst").c_str(), 0000);
    const int result = test::asOrdinaryUser([&] {
        const auto r1 = registerGroup(dir.path(), "two", {fiveStocks()[1]});
        const auto r2 = deleteGroup(dir.path(), padBytes("one", 30));
        return static_cast<int>(r1) * 16 + static_cast<int>(r2);
    });
    ::chmod((dir / "item.lst").c_str(), 0644);
    EXPECT_EQ(result, static_cast<int>(GroupResult::Unreadable) * 17);
    EXPECT_EQ(dir.read("group.lst"), groups);
    EXPECT_EQ(dir.read("item.lst"), items);
}

TEST(GroupsTest, PortfolioNumbering)
{
    EXPECT_EQ(portfolioLine(1, "E"), "01  E");
    EXPECT_EQ(portfolioLine(9, "E"), "09  E");
    EXPECT_EQ(portfolioLine(10, "E"), "10  E");
    EXPECT_EQ(portfolioLine(50, "E"), "50  E");
}

TEST(GroupsTest, FullDiskKeepsTheGroupsAndTheMarket)
{
    test::SmallMarket m;
    test::SmallDisk disk(m.dir.path(), {}, false, "1m");
    if (!disk.usable)
        GTEST_SKIP() << "this machine does not let the test mount a small tmpfs";
    ASSERT_EQ(registerGroup(disk.mountPoint, "first", test::SmallMarket::portfolio()), GroupResult::Done);
    const auto items = readWholeFile(disk.mountPoint / "item.lst");
    disk.fill();
    EXPECT_EQ(registerGroup(disk.mountPoint, "second", test::SmallMarket::portfolio()), GroupResult::Failed);
    EXPECT_EQ(readWholeFile(disk.mountPoint / "item.lst"), items);
    EXPECT_EQ(readGroupNames(disk.mountPoint).size(), 1u);
}

TEST(GroupsTest, ReadOnlyWorkingFolder)
{
    test::SmallMarket m;
    m.dir.write("group.lst", padBytes("old", 30) + "\r\n");
    test::ReadOnlyCopy ro(m.dir.path());
    if (!ro.usable)
        GTEST_SKIP() << "this machine lets the test neither mount a read-only folder nor drop write access";
    const auto work = ro.mountPoint;
    EXPECT_EQ(registerGroup(work, "new", test::SmallMarket::portfolio()), GroupResult::Failed);
    EXPECT_EQ(deleteGroup(work, padBytes("old", 30)), GroupResult::Failed);
    EXPECT_EQ(readGroupNames(work).size(), 1u);
}

// Another program (a second window on the same folder, a run, an import) holds the folder: a
// change waits for nobody and changes nothing, and goes through once the folder is free.
TEST(GroupsTest, AChangeWhileAnotherProcessHoldsTheFolderChangesNothing)
{
    test::TempDir dir;
    ASSERT_EQ(registerGroup(dir.path(), "blue", {fiveStocks()[4]}), GroupResult::Done);
    const std::string groups = dir.read("group.lst"), items = dir.read("item.lst");
    test::LockHolder other(dir.path());
    ASSERT_TRUE(other.held);
    EXPECT_EQ(registerGroup(dir.path(), "red", {fiveStocks()[1]}), GroupResult::Busy);
    EXPECT_EQ(deleteGroup(dir.path(), padBytes("blue", 30)), GroupResult::Busy);
    EXPECT_EQ(dir.read("group.lst"), groups);
    EXPECT_EQ(dir.read("item.lst"), items);
    other.release();
    EXPECT_EQ(registerGroup(dir.path(), "red", {fiveStocks()[1]}), GroupResult::Done);
    EXPECT_EQ(readGroupNames(dir.path()).size(), 2u);
}
