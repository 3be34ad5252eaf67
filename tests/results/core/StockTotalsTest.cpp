#include "results/core/StockTotals.h"
#include "formats/GenCsv.h"

#include <gtest/gtest.h>

using namespace kestrelan;

TEST(StockTotalsTest, ValueIsSharesAtTheLastPriceAndCash)
{
    // code, name, last, start, invest, cash, shares, gain (thousands of won); a cut last line is not a stock
    const std::string gen = "123450,A,11200,10000,10000.000000,5588.650000,450,93.100000\r\n"
                            "123460,B,500,1000,2000.000000,0.000000,0,-1.000000\r\n"
                            "123470,C,100,100,9999.0";
    const StockTotals t = stockTotals(readGenCsv(gen));
    ASSERT_EQ(t.count, 2);
    EXPECT_DOUBLE_EQ(t.stocks[0].value, 450 * 11200 * 0.001 + 5588.65);
    EXPECT_DOUBLE_EQ(t.stocks[1].value, 0);
    EXPECT_DOUBLE_EQ(t.invest, 12000);
    EXPECT_DOUBLE_EQ(t.value, 10628.65);
    EXPECT_DOUBLE_EQ(t.gain, 92.1);
}
