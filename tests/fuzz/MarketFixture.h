#pragma once
// A small market for the targets that fuzz one file of it: ten weekdays of KOSPI, two stocks
// with a few prices a day, a usable range table and a portfolio of both.

#include "FuzzSupport.h"
#include "engine/MarketData.h"
#include "engine/Portfolio.h"

namespace kestrelan::fuzz {

inline std::string marketIndex()
{
    std::string kospi;
    const std::int32_t days[]
        = {20040105, 20040106, 20040107, 20040108, 20040109, 20040112, 20040113, 20040114, 20040115, 20040116};
    for (int i = 0; i < 10; ++i)
        kospi += indexRecordBytes(days[i], 80000 + i * 100, 80050 + i * 100);
    return kospi;
}

inline std::string marketPrices(std::int32_t start)
{
    std::string bytes;
    const std::int32_t days[]
        = {20040105, 20040106, 20040107, 20040108, 20040109, 20040112, 20040113, 20040114, 20040115, 20040116};
    std::int32_t p = start;
    for (int i = 0; i < 10; ++i) {
        bytes += priceRecordBytes(days[i]) + priceRecordBytes(p);
        for (int v = 0; v < 4; ++v) {
            p += (i + v) % 3 == 0 ? -start / 20 : start / 40;
            bytes += priceRecordBytes(p);
        }
    }
    return bytes;
}

inline void writeMarket(bool prices = true, bool index = true, bool portfolio = true)
{
    if (index)
        write("kospi.lst", marketIndex());
    write("ksp.txt",
          "1000\t0\t30\t60\t130\t20\t70\t120\t10\t80\t115\n"
          "950\t1000\t35\t60\t135\t25\t65\t125\t15\t75\t120\n900\t950\t40\t55\t140\t30\t65\t130\t20\t75\t120\n"
          "850\t900\t45\t55\t145\t35\t60\t135\t25\t70\t125\n800\t850\t50\t50\t150\t40\t60\t140\t30\t70\t130\n"
          "750\t800\t55\t50\t155\t45\t55\t145\t35\t65\t135\n700\t750\t60\t45\t160\t50\t55\t150\t40\t65\t140\n"
          "650\t700\t65\t45\t170\t55\t50\t155\t45\t60\t145\n625\t650\t70\t40\t180\t60\t50\t160\t50\t60\t150\n"
          "600\t625\t75\t40\t190\t65\t45\t170\t55\t55\t155\n0\t600\t80\t35\t200\t70\t45\t180\t60\t50\t160\n");
    if (prices) {
        write("StockData/111110.real", marketPrices(10000));
        write("StockData/222220.real", marketPrices(4000));
    }
    if (portfolio)
        write("SimItem.lst",
              *simItemBytes({"111110 ONE                 ", "222220 TWO                 "}, 0, 10000000));
}

} // namespace kestrelan::fuzz
