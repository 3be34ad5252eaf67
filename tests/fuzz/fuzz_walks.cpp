// The plain walk against the skipping walk on a minute market and settings the input picks (the
// market's seed, period, prices a day and daily range, the portfolio, every setting, damaged
// records): a run must leave every result file, its status and its messages the same.

#include "FuzzSupport.h"
#include "support/WalkCases.h"

#include <cstdio>
#include <cstdlib>

using namespace kestrelan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    test::Picks pick(data, size);
    const test::WalkCase c = test::pickWalkCase(pick);
    fuzz::clear();
    test::writeWalkMarket(c, fuzz::folder());
    const auto plain = test::runWalkCase(c, fuzz::folder(), WalkMode::Plain);
    const auto skipping = test::runWalkCase(c, fuzz::folder(), WalkMode::Skipping);
    for (const auto& [name, bytes] : plain.files) {
        if (skipping.files.at(name) != bytes) {
            std::fprintf(stderr, "%s differs: %s\n", name.c_str(), c.describe().c_str());
            std::abort();
        }
    }
    return 0;
}
