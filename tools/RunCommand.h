#pragma once

#include "engine/CSimEngine.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kestrelan {

/// The options of `kestrelan-cli run`, with the settings form's defaults filled in.
struct RunOptions
{
    SimParams params;
    std::filesystem::path programDir;
    std::vector<std::string> stocks; // codes for SimItem.lst; empty: use the existing file
    std::int64_t amount = -1;        // -1: the invest mode's default
};

/// Parses the options; the default period needs kospi.lst in `workDir`. Throws
/// std::invalid_argument with a message for bad options.
RunOptions parseRunOptions(const std::vector<std::string>& args, const std::filesystem::path& workDir,
                           const std::filesystem::path& defaultProgramDir);

/// `kestrelan-cli run`: returns the process exit status.
int runCommand(const std::vector<std::string>& args);

extern const char* const runUsage;

} // namespace kestrelan
