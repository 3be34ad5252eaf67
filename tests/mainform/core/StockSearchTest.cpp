#include "mainform/core/StockSearch.h"
#include "platform/core/Cp949.h"
#include "support/CodeEntries.h"

#include <gtest/gtest.h>

using namespace kestrelan;
using test::fiveStocks;

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
        const SearchStep step = searchStocks(row.text, fiveStocks(), row.selected);
        EXPECT_EQ(step.kind, row.kind) << row.name;
        if (row.kind == SearchStep::Select) {
            EXPECT_EQ(step.index, row.index) << row.name;
        }
    }
    EXPECT_EQ(searchStocks("0059351", fiveStocks(), false).text, "005935");
}
