#include "engine/ResultLines.h"
#include "platform/core/Cp949.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace kestrelan;

TEST(ResultLinesTest, HeadersAreCp949)
{
    EXPECT_EQ(resultCsvHeader().substr(0, 6), "\xBD\xC3\xC0\xDB\xC0\xCF"); // 시작일
    EXPECT_EQ(fromCp949(resultCsvHeader()),
              "시작일,종료일,시작일지수,종료일지수,총투자비,최초매수액, 주식평가액, "
              "최종평가액,KOSPI수익률,수익률,총매매금액,매매회전수,매매차익\n");
    EXPECT_EQ(resultTxtHeader().substr(0, 12), "Code, Item, ");
}

TEST(ResultLinesTest, DayLineWithAndWithoutInvestment)
{
    DaySums sums{10000000, 5000000, 5040000, 10030000, 6000000, 93100};
    EXPECT_EQ(resultCsvLine("2004-01-02", "2004-01-05", 812.34f, 820.5f, sums, indexYield(820.5f, 812.34f)),
              "2004-01-02,2004-01-05,812.34,820.50,10000000,5000000,5040000,10030000,0.010045,0.003000,6000000,"
              "0.300000,93100\n");
    const DaySums none{};
    EXPECT_EQ(resultCsvLine("2004-01-02", "2004-01-02", 812.34f, 812.34f, none, 0),
              "2004-01-02,2004-01-02,812.34,812.34,0,0,0,0,0.000000,0.000000,0,0.000000,0\n");
}

TEST(ResultLinesTest, IndexYieldIsSinglePrecision)
{
    // 820.50 / 812.34 - 1 formed in float, then widened: not the double quotient.
    const double y = indexYield(820.5f, 812.34f);
    EXPECT_EQ(y, static_cast<double>(820.5f / 812.34f - 1.0f));
    EXPECT_NE(y, 820.5 / 812.34 - 1.0);
}

TEST(ResultLinesTest, StockLinesKeepTheNameBlanks)
{
    StockSlot s{};
    std::memcpy(s.itemText, "005930 \xB0\xA1\xB6\xF7\xC0\xFC\xC0\xDA            ", 27);
    s.sDate = 20040102;
    s.sKospi = 812.34f;
    s.eKospi = 900.0f;
    s.invest = 10000000;
    s.initial = 10000;
    s.firstVol = 500;
    s.autoVol = 50;
    s.sellStep = 10;
    s.rangeHighPct = 150;
    s.rangeLowPct = 50;
    s.marginPct = 10;
    s.secondPct = 10;
    s.value = 10626650;
    s.last = 11200;
    s.shares = 450;
    s.totBuy = 5475000;
    s.totSell = 1080000;
    s.mult = 1.0;
    s.gain = 93100;
    s.cash = 5588650;
    EXPECT_EQ(fromCp949(resultTxtLine(s, "2004-01-02", "2004-01-05")),
              "005930,가람전자            ,2004-01-02,2004-01-05,812.34,900.00,10000000,5000000,500,50,10,150,50,10,"
              "10,10626650,10000,11200,450,6555000,5475000,1080000,1.000000,93100\n");
    EXPECT_EQ(fromCp949(genCsvLine(s)),
              "005930,가람전자            ,11200,10000,10000.000000,5588.650000,450,93.100000\n");
}

TEST(ResultLinesTest, AveragePriceHasSixDecimals)
{
    StockSlot s{};
    std::memcpy(s.itemText, "000660 ABC                 ", 27);
    EXPECT_EQ(tradeSummaryLine("2004-01-05", s, TradeKind::Purchases, 30, 370350, 740, 0),
              "2004-01-05,000660,ABC                 ,\xB8\xC5\xBC\xF6,30,12345.000000,370350,740,0\n");
    EXPECT_EQ(tradeSummaryLine("2004-01-05", s, TradeKind::Sales, 3, 100, 0, 0).substr(39),
              "\xB8\xC5\xB5\xB5,3,33.333333,100,0,0\n");
}
