#pragma once

#include "engine/SimParams.h"

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
    std::int64_t amount = -1;        // for the stocks; -1: the invest mode's default
};

/// Parses the options and checks the settings as the form does; the default period needs
/// kospi.lst in `workDir`. Throws std::invalid_argument with a message for bad options, and for
/// --invest-mode or --amount without --stocks (an existing SimItem.lst keeps its own amounts).
RunOptions parseRunOptions(const std::vector<std::string>& args, const std::filesystem::path& workDir,
                           const std::filesystem::path& defaultProgramDir);

/// `kestrelan-cli run`: returns the process exit status.
int runCommand(const std::vector<std::string>& args);

/// The options with their defaults.
std::string runUsage();

} // namespace kestrelan
