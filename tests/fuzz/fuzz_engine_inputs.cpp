// The run over a fuzzed market file: a price file, kospi.lst or SimItem.lst (FUZZED_FILE 0, 1, 2)
// is replaced by the input less its first byte, which sets the run (mode, cadence, invest mode,
// auto set).

#include "FuzzSupport.h"
#include "MarketFixture.h"
#include "engine/CSimEngine.h"

using namespace kestrelan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::uint8_t choice = data[0];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    fuzz::clear();
    fuzz::writeMarket();
    switch (FUZZED_FILE) {
    case 0: fuzz::write("StockData/111110.real", bytes); break;
    case 1: fuzz::write("kospi.lst", bytes); break;
    default: fuzz::write("SimItem.lst", bytes); break;
    }
    fuzz::Quiet quiet;
    RunContext c;
    c.workDir = fuzz::folder();
    c.programDir = fuzz::folder();
    c.messages = &quiet;
    c.threads = 1;
    SimParams p;
    p.startDate = 20040101;
    p.endDate = 20041231;
    p.yieldStats = (choice >> 2) & 1;
    p.fundCadence = static_cast<FundCadence>((choice >> 3) % 3);
    p.years = 0;
    p.investMode = static_cast<InvestMode>((choice >> 5) % 3);
    p.autoSet = (choice >> 7) & 1;
    if (p.yieldStats)
        p.endDate = 20050131;
    CSimEngine engine(c);
    engine.runSimulation(p);
    return 0;
}
