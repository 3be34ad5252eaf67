#pragma once

#include "engine/CSimEngine.h"
#include "engine/MarketAccess.h"
#include "engine/SimParams.h"
#include "tools/CommandLine.h"

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace kestrelan {

/// The options of `kestrelan-cli run`, with the settings form's defaults filled in.
struct RunOptions
{
    SimParams params;
    std::filesystem::path programDir;
    bool programDirGiven = false;    // --program-dir; else the program's folder
    std::vector<std::string> stocks; // codes for SimItem.lst; empty: use the existing file
    std::int64_t amount = -1;        // for the stocks; -1: the invest mode's default
    std::vector<std::string> notes;  // said before the run (a damaged end of kospi.lst)
    int runsKept = defaultRunsKept;  // --keep: finished runs kept in history/
};

/// The run command's options; --help shows the defaults of SimParams.
CommandSpec runCommandSpec();

/// Reads the options and checks the settings as the form does; the default period needs
/// kospi.lst in `workDir`. Throws UsageError for bad options, and for --invest-mode or --amount
/// without --stocks (an existing SimItem.lst keeps its own amounts).
RunOptions readRunOptions(const OptionValues& values, const std::filesystem::path& workDir,
                          const std::filesystem::path& defaultProgramDir);

/// readRunOptions of the arguments after `kestrelan-cli run`, through the program's parser;
/// --help is no setting and is refused here.
RunOptions parseRunOptions(const std::vector<std::string>& args, const std::filesystem::path& workDir,
                           const std::filesystem::path& defaultProgramDir);

/// What `run` says, and does not run, while Update.new waits to be merged.
inline constexpr const char* pendingUpdateMessage
    = "Update.new에 아직 주가 파일에 반영하지 않은 새 자료가 있어 실행하지 않았습니다. 'kestrelan-cli merge-update'로 "
      "먼저 반영하십시오.";

/// What a run and a sweep do before the engine starts, the folder held: the notes said, a waiting
/// Update.new refused, SimItem.lst written for --stocks. nullopt when the engine may start, else
/// the exit status (the reason said on `err`).
std::optional<int> prepareRun(const RunOptions& options, const std::filesystem::path& workDir, std::ostream& err);

/// The engine's context for a run or a sweep of the options in `workDir`: its folders, its
/// messages, and the workers KESTRELAN_THREADS allows.
RunContext runContext(const RunOptions& options, const std::filesystem::path& workDir, IMessageSink& messages);

/// Writes SimItem.lst when the options name stocks, then runs the simulation in `workDir`;
/// returns the process exit status. A run does not start while Update.new waits.
int runCommand(const RunOptions& options, const std::filesystem::path& workDir);

/// How long a command waits for a market another program writes or reads (a merge, an import,
/// a run of another working folder) before it says the market is busy.
inline constexpr double marketWaitSeconds = 600;

/// The market of `workDir` held for a run or a sweep (shared, waiting up to marketWaitSeconds
/// with a word on stderr) before anything of it is read; nullopt after the reason is printed.
std::optional<MarketAccess> holdMarketToRead(const OptionValues& values, const std::filesystem::path& workDir,
                                             const std::filesystem::path& defaultProgramDir);

/// `kestrelan-cli run`: the working folder and the market held, then the options read (the
/// default period comes from kospi.lst) and the run made.
int runFromCommandLine(const OptionValues& values, const std::filesystem::path& workDir,
                       const std::filesystem::path& defaultProgramDir);

} // namespace kestrelan
