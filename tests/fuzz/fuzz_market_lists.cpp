// code.lst and ksp.txt as the form and the engine read them, and the stock search over the list.

#include "FuzzSupport.h"
#include "engine/Calendar.h"
#include "engine/MarketData.h"
#include "engine/RangeTable.h"
#include "mainform/core/RangeTableCells.h"
#include "mainform/core/StockSearch.h"

#include <limits>

using namespace kestrelan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto p = fuzz::parts(data, size, 4);
    fuzz::clear();
    fuzz::write("code.lst", p[0]);
    fuzz::write("ksp.txt", p[1]);
    fuzz::write("kospi.lst", p[2]);
    if (const auto codes = loadCodeList(fuzz::folder() / "code.lst")) {
        for (const std::string& text : {std::string(p[3]), std::string("0059"), std::string("\xB0\xA1 ")})
            searchStocks(text, *codes, true);
    }
    for (const std::size_t rows : {std::size_t(11), std::numeric_limits<std::size_t>::max()}) {
        if (const auto table = loadRangeTable(fuzz::folder() / "ksp.txt", rows)) {
            for (int profile = 0; profile < 3; ++profile)
                rangeTableCells(*table, profile);
            if (table->usable())
                for (float level : {0.0f, 599.99f, 1000.0f, 1e9f, -5.0f})
                    selectRangeRow(*table, level);
        }
    }
    if (const auto kospi = IndexFile::load(fuzz::folder() / "kospi.lst")) {
        for (int mode = 0; mode <= 3; ++mode)
            for (int years : {0, 1})
                calendarLines(19900101, 20301231, static_cast<CalendarMode>(mode), years, *kospi);
        readLastIndexDate(fuzz::folder() / "kospi.lst");
    }
    return 0;
}
