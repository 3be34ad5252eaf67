#pragma once
// A small market in a folder of its own, for the cases that put the program's files under
// faults: four days of January 2004, two stocks, a usable range table and a portfolio of both.

#include "engine/RunResult.h"
#include "support/Recorders.h"
#include "support/TempDir.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kestrelan::test {

struct SmallMarket
{
    SmallMarket();

    /// Runs January 2004 over the market, with its working files in `work` (default: the
    /// market's folder); returns the run's status.
    RunStatus run(int autoSet = 0, const std::filesystem::path& work = {});

    /// A price file of the four days: each a base price of `start`, then start - 500 and start + 300.
    static std::string prices(std::int32_t start);
    /// The stocks of SimItem.lst: 111110 ONE and 222220 TWO.
    static const std::vector<std::string>& portfolio();

    TempDir dir;
    RecordingSink messages;
    int runsKept = 50; // history/
};

} // namespace kestrelan::test
