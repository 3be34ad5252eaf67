#include "mainform/core/Groups.h"
#include "engine/MarketData.h"
#include "mainform/core/StockSearch.h"
#include "platform/core/Cp949.h"
#include "support/Faults.h"
#include "support/TempDir.h"

#include <functional>
#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace kestrelan;

namespace {

std::string entry(const char* code, const char* name)
{
    return codeRecordBytes(code, toCp949(name)).substr(0, stockEntrySize);
}

const std::vector<std::string>& market()
{
    static const std::vector<std::string> stocks = {
        entry("005930", "가람전자"), entry("005935", "가람전자우"), entry("000660", "나래반도체"),
        entry("005940", "가람"),     entry("035420", "라온인터넷"),
    };
    return stocks;
}

} // namespace

TEST(GroupsTest, RegisterLoadAndRefuseDuplicates)
{
    test::TempDir dir;
    const std::vector<std::string> growth = {market()[0], market()[2]};
    EXPECT_EQ(registerGroup(dir.path(), toCp949("성장주"), growth), GroupResult::Done);
    EXPECT_EQ(registerGroup(dir.path(), "blue", {market()[4]}), GroupResult::Done);
    EXPECT_EQ(dir.read("group.lst").size(), 2u * 32);
    EXPECT_EQ(dir.read("item.lst").size(), 3u * 59);
    EXPECT_EQ(dir.read("group.lst").substr(30, 2), "\r\n");
    EXPECT_EQ(registerGroup(dir.path(), toCp949("성장주"), growth), GroupResult::Duplicate);
    // A name is taken without the blanks at its ends: "blue " is "blue", blanks alone no name.
    EXPECT_EQ(registerGroup(dir.path(), " blue ", {market()[1]}), GroupResult::Duplicate);
    EXPECT_EQ(registerGroup(dir.path(), "   ", {market()[1]}), GroupResult::TooLong);
    EXPECT_EQ(registerGroup(dir.path(), std::string(31, 'x'), growth), GroupResult::TooLong);
    EXPECT_EQ(registerGroup(dir.path(), std::string(30, 'x') + " ", growth), GroupResult::Done);

    const auto names = readGroupNames(dir.path());
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], padBytes(toCp949("성장주"), 30));
    EXPECT_EQ(loadGroup(dir.path(), names[0]), growth);
    EXPECT_EQ(loadGroup(dir.path(), names[1]), std::vector<std::string>{market()[4]});
}

TEST(GroupsTest, DeleteKeepsTheOthersInOrderAndBacksUp)
{
    test::TempDir dir;
    registerGroup(dir.path(), "one", {market()[0]});
    registerGroup(dir.path(), "two", {market()[1], market()[2]});
    registerGroup(dir.path(), "three", {market()[3]});
    const std::string groupsBefore = dir.read("group.lst"), itemsBefore = dir.read("item.lst");
    ASSERT_EQ(deleteGroup(dir.path(), padBytes("two", 30)), GroupResult::Done);
    EXPECT_EQ(dir.read("group.bak"), groupsBefore);
    EXPECT_EQ(dir.read("item.bak"), itemsBefore);
    const auto names = readGroupNames(dir.path());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], padBytes("one", 30));
    EXPECT_EQ(names[1], padBytes("three", 30));
    EXPECT_TRUE(loadGroup(dir.path(), padBytes("two", 30)).empty());
    EXPECT_EQ(loadGroup(dir.path(), padBytes("three", 30)), std::vector<std::string>{market()[3]});
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
        registerGroup(dir.path(), "one", {market()[0]});
        registerGroup(dir.path(), "two", {market()[1], market()[2]});
        // Members a registration of "three" left without its name, before changes were whole.
        dir.write("item.lst", dir.read("item.lst") + padBytes("three", 30) + market()[4] + "\r\n");
    };
    const auto state = [](const test::TempDir& dir) {
        std::vector<std::vector<std::string>> groups;
        for (const auto& name : readGroupNames(dir.path())) // finishes or undoes an interrupted change
            groups.push_back(loadGroup(dir.path(), name));
        return groups;
    };
    using Change = std::function<void(const test::TempDir&)>;
    const Change changes[] = {
        [](const test::TempDir& d) { registerGroup(d.path(), "three", {market()[3]}); },
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
    registerGroup(dir.path(), "three", {market()[3]});
    EXPECT_EQ(loadGroup(dir.path(), padBytes("three", 30)), std::vector<std::string>{market()[3]});
}

TEST(GroupsTest, AGroupFileThatCannotBeReadStopsTheChange)
{
    test::TempDir dir;
    registerGroup(dir.path(), "one", {market()[0]});
    const std::string groups = dir.read("group.lst"), items = dir.read("item.lst");
    ::chmod(dir.path().c_str(), 0777);
    ::chmod((dir / "group.lst").c_str(), 0666);
    ::chmod((dir / "item.lst").c_str(), 0000);
    const int result = test::asOrdinaryUser([&] {
        const auto r1 = registerGroup(dir.path(), "two", {market()[1]});
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

TEST(StockSearchTest, CodesAndNames)
{
    struct Row
    {
        const char* name;
        std::string text;
        bool selected;
        SearchStep::Kind kind;
        int index;
    };
    // case | typed text (CP949) | a stock selected | step | stock selected by it
    const Row rows[] = {
        {"code prefix", "0059", false, SearchStep::Select, 0},
        {"exact code", "005935", false, SearchStep::Select, 1},
        {"seventh digit is cut", "0059351", false, SearchStep::CutToSix, -1},
        {"unknown code", "999", false, SearchStep::Nothing, -1},
        {"exact name before prefix", toCp949("가람"), false, SearchStep::Select, 3},
        {"name prefix", toCp949("나래"), false, SearchStep::Select, 2},
        {"exact name", toCp949("가람전자우"), false, SearchStep::Select, 1},
        {"case matters", "abc", false, SearchStep::Nothing, -1},
        {"a blank adds the selected stock", toCp949("가람 "), true, SearchStep::AddSelected, -1},
        {"a blank without a selection searches on", "0059 ", false, SearchStep::Nothing, -1},
        {"empty", "", true, SearchStep::Nothing, -1},
    };
    for (const auto& row : rows) {
        const SearchStep step = searchStocks(row.text, market(), row.selected);
        EXPECT_EQ(step.kind, row.kind) << row.name;
        if (row.kind == SearchStep::Select) {
            EXPECT_EQ(step.index, row.index) << row.name;
        }
    }
    EXPECT_EQ(searchStocks("0059351", market(), false).text, "005935");
}
