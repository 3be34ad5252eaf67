#pragma once
// The commands that write market data: sample-data and import-csv.

#include "tools/CommandLine.h"

#include <iosfwd>

namespace kestrelan {

/// `sample-data DIR`: the sample market; `sample-data --minutes DIR`: the minute-price market.
CommandSpec sampleDataCommandSpec();
int sampleDataCommand(const OptionValues& values, std::ostream& out, std::ostream& err);

/// `import-csv`: the market files from daily price CSV files.
CommandSpec importCsvCommandSpec();
int importCsvCommand(const OptionValues& values, std::ostream& out, std::ostream& err);

} // namespace kestrelan
