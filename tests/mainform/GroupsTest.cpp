#include "mainform/core/Groups.h"
#include "TempDir.h"
#include "engine/MarketData.h"
#include "mainform/core/StockSearch.h"
#include "platform/core/Cp949.h"

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
    // Only the stored name's trailing blanks are dropped: a typed trailing blank is a new name.
    EXPECT_EQ(registerGroup(dir.path(), "blue ", {market()[1]}), GroupResult::Done);
    EXPECT_EQ(registerGroup(dir.path(), std::string(31, 'x'), growth), GroupResult::TooLong);
    EXPECT_EQ(registerGroup(dir.path(), std::string(30, 'x'), growth), GroupResult::Done);

    const auto names = readGroupNames(dir.path());
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[0], padBytes(toCp949("성장주"), 30));
    EXPECT_EQ(loadGroup(dir.path(), names[0]), growth);
    // "blue" and "blue " are stored alike: loading either finds both groups' members.
    EXPECT_EQ(loadGroup(dir.path(), names[1]).size(), 2u);
}

TEST(GroupsTest, DeleteKeepsTheOthersInOrderAndBacksUp)
{
    test::TempDir dir;
    registerGroup(dir.path(), "one", {market()[0]});
    registerGroup(dir.path(), "two", {market()[1], market()[2]});
    registerGroup(dir.path(), "three", {market()[3]});
    const std::string groupsBefore = dir.read("group.lst"), itemsBefore = dir.read("item.lst");
    ASSERT_TRUE(deleteGroup(dir.path(), padBytes("two", 30)));
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
    EXPECT_TRUE(deleteGroup(dir.path(), padBytes("x", 30)));
    EXPECT_EQ(dir.read("group.lst"), "");
    EXPECT_FALSE(dir.exists("group.bak"));
    // A truncated last record of group.lst is not a group.
    dir.write("group.lst", padBytes("a", 30) + "\r\n" + "b");
    EXPECT_EQ(readGroupNames(dir.path()).size(), 1u);
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
