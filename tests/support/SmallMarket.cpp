#include "support/SmallMarket.h"

#include "engine/CSimEngine.h"
#include "engine/MarketData.h"
#include "engine/Portfolio.h"
#include "platform/core/Format.h"

namespace kestrelan::test {

namespace {

constexpr std::int32_t marketDays[] = {20040105, 20040106, 20040107, 20040108};

} // namespace

SmallMarket::SmallMarket()
{
    std::string kospi;
    for (std::int32_t d : marketDays)
        kospi += indexRecordBytes(d, 80000, 80100);
    dir.write("kospi.lst", kospi);
    std::string ksp;
    for (int r = 0; r < 11; ++r)
        ksp += format("%d\t%d\t50\t50\t150\t50\t50\t150\t50\t50\t150\r\n", r == 10 ? 0 : 1000 - 50 * r,
                      r == 0 ? 0 : 1050 - 50 * r);
    dir.write("ksp.txt", ksp);
    dir.write("StockData/111110.real", prices(10000));
    dir.write("StockData/222220.real", prices(5000));
    writeSimItems(dir.path(), portfolio(), 0, 10000000);
}

RunStatus SmallMarket::run(int autoSet, const std::filesystem::path& work)
{
    RunContext c;
    c.workDir = work.empty() ? dir.path() : work;
    c.programDir = dir.path();
    c.messages = &messages;
    c.runsKept = runsKept;
    SimParams p;
    p.startDate = 20040101;
    p.endDate = 20040131;
    p.autoSet = autoSet;
    CSimEngine engine(c);
    return engine.runSimulation(p).status;
}

std::string SmallMarket::prices(std::int32_t start)
{
    std::string bytes;
    for (std::int32_t d : marketDays)
        bytes += priceRecordBytes(d) + priceRecordBytes(start) + priceRecordBytes(start - 500)
            + priceRecordBytes(start + 300);
    return bytes;
}

const std::vector<std::string>& SmallMarket::portfolio()
{
    static const std::vector<std::string> stocks = {"111110 ONE                 ", "222220 TWO                 "};
    return stocks;
}

} // namespace kestrelan::test
