#include "tools/ShowCommand.h"
#include "results/core/SummaryTables.h"
#include "support/GoldenCases.h"
#include "support/Recorders.h"

#include <gtest/gtest.h>

using namespace kestrelan;

TEST(ShowCommandTest, PrintsAlignedTables)
{
    test::GoldenResults g("worked-single-amount");
    test::RecordingSink messages;
    const auto text = showTables(ResultKind::SingleFundTraded,
                                 fillSummaryTables(ResultKind::SingleFundTraded, g.dir.path(), messages));
    EXPECT_NE(text.find("종목명"), std::string::npos);
    EXPECT_NE(text.find("가람전자"), std::string::npos);
    EXPECT_NE(text.find("10,629"), std::string::npos);
}
