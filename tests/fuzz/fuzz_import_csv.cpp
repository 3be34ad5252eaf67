// The CSV import: a stock's prices, the index, the names and the splits.

#include "FuzzSupport.h"
#include "tools/ImportCsv.h"

using namespace kestrelan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto p = fuzz::parts(data, size, 4);
    fuzz::clear();
    fuzz::write("in/prices/111110.csv", p[0]);
    fuzz::write("in/index.csv", p[1]);
    fuzz::write("in/names.csv", p[2]);
    fuzz::write("in/splits.csv", p[3]);
    ImportOptions o;
    o.prices = fuzz::folder() / "in/prices";
    o.index = fuzz::folder() / "in/index.csv";
    o.names = fuzz::folder() / "in/names.csv";
    o.splits = fuzz::folder() / "in/splits.csv";
    o.out = fuzz::folder() / "out";
    for (bool update : {false, true}) {
        o.update = update;
        try {
            importCsv(o);
        } catch (const ImportError&) {
        }
    }
    return 0;
}
