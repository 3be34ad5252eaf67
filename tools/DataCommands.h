#pragma once
// The commands that write market data: sample-data, import-csv and merge-update.

#include "platform/core/Sinks.h"
#include "tools/CommandLine.h"

#include <filesystem>
#include <iosfwd>

namespace kestrelan {

/// `sample-data DIR`: the sample market; `sample-data --minutes DIR`: the minute-price market.
CommandSpec sampleDataCommandSpec();
int sampleDataCommand(const OptionValues& values, std::ostream& out, std::ostream& err);

/// `import-csv`: the market files from daily price CSV files.
CommandSpec importCsvCommandSpec();
int importCsvCommand(const OptionValues& values, std::ostream& out, std::ostream& err);

/// `merge-update`: Update.new of `workDir` merged into the price files, as the desktop program's
/// start merges it; the merge's messages go to `messages`, what it did to `out`.
CommandSpec mergeUpdateCommandSpec();
int mergeUpdateCommand(const OptionValues& values, const std::filesystem::path& workDir,
                       const std::filesystem::path& defaultProgramDir, std::ostream& out, IMessageSink& messages);

} // namespace kestrelan
