#include "engine/Portfolio.h"
#include "support/CodeEntries.h"
#include "support/Faults.h"
#include "support/SmallMarket.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace kestrelan;

namespace {

std::vector<std::string> entries()
{
    return {test::codeEntry("005930", "가람전자"), test::codeEntry("000660", "나래반도체")};
}

} // namespace

TEST(PortfolioTest, SimItemLinesAreFortyBytesInEveryMode)
{
    struct Row
    {
        int mode;
        std::int64_t amount;
        const char* first;
        const char* second;
    };
    // invest mode | amount | the two amount fields
    const Row rows[] = {
        {0, 100000000, "  100000000", "  100000000"},
        {1, 300000000, "  300000000", "          0"},
        {2, 10000, "      10000", "      10000"},
    };
    for (const auto& row : rows) {
        const std::string bytes = simItemBytes(entries(), row.mode, row.amount).value();
        ASSERT_EQ(bytes.size(), 80u) << row.mode;
        EXPECT_EQ(bytes.substr(0, 27), entries()[0]);
        EXPECT_EQ(bytes.substr(27, 13), std::string(row.first) + "\r\n") << row.mode;
        EXPECT_EQ(bytes.substr(67, 13), std::string(row.second) + "\r\n") << row.mode;
        const auto items = parseSimItems(bytes);
        ASSERT_EQ(items.size(), 2u);
        EXPECT_EQ(items[1].entry, entries()[1]);
        EXPECT_EQ(items[0].amount, row.amount);
    }
}

// A share count the reader could not read back is refused rather than written wrapped
// (3,000,000,000 would read as -1,294,967,296).
TEST(PortfolioTest, SimItemRefusesAnAmountBeyondItsField)
{
    EXPECT_EQ(parseSimItems(*simItemBytes(entries(), 2, 2147483647))[1].amount, 2147483647);
    EXPECT_FALSE(simItemBytes(entries(), 2, 2147483648LL));
    EXPECT_FALSE(simItemBytes(entries(), 2, 3000000000LL));
    test::TempDir dir;
    EXPECT_FALSE(writeSimItems(dir.path(), entries(), 2, 3000000000LL));
    EXPECT_FALSE(dir.exists("SimItem.lst"));
}

TEST(PortfolioTest, SimItemTruncatedLastLineIsNotAnEntry)
{
    std::string bytes = simItemBytes(entries(), 0, 5000).value();
    EXPECT_EQ(parseSimItems(bytes + bytes.substr(0, 20)).size(), 2u);
    // A last line without its CR LF still carries its amount.
    EXPECT_EQ(parseSimItems(bytes.substr(0, 78)).back().amount, 5000);
    EXPECT_TRUE(parseSimItems("").empty());
}

TEST(PortfolioTest, SimItemWriteAndReadBack)
{
    test::TempDir dir;
    ASSERT_TRUE(writeSimItems(dir.path(), entries(), 1, 250000000));
    const auto items = readSimItems(dir / "SimItem.lst");
    ASSERT_TRUE(items);
    EXPECT_EQ((*items)[0].amount, 250000000);
    EXPECT_EQ((*items)[1].amount, 0);
    EXPECT_FALSE(readSimItems(dir / "missing.lst"));
}

TEST(PortfolioTest, ReadOnlyWorkingFolder)
{
    test::SmallMarket m;
    test::ReadOnlyCopy ro(m.dir.path());
    if (!ro.usable)
        GTEST_SKIP() << "this machine lets the test neither mount a read-only folder nor drop write access";
    EXPECT_FALSE(writeSimItems(ro.mountPoint, test::SmallMarket::portfolio(), 0, 1000));
}
