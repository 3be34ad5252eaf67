#pragma once
// The runs kept: history/ in the working folder holds one folder per finished run, named by its
// number (000001, 000002, ...), with the run's result files and settings.csv as the run put them
// in the working folder. A run stages its copy in the transaction of its result files, so after
// a kill at any point the working folder's files and the run's folder are both new or both as
// before. A numbered folder without result.csv and settings.csv (a run killed before its commit)
// is no run: readers pass over it and the next run removes it. Once more runs than the number
// kept are there, the oldest go; the newest always stays.

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrelan {

class FileTransaction;

inline constexpr std::string_view historyFolderName = "history";
/// How many runs are kept unless the user says otherwise (kestrelan-cli run --keep N).
inline constexpr int defaultRunsKept = 50;
inline constexpr int maxRunsKept = 100000;

/// A finished run in history/.
struct PastRun
{
    int number = 0;
    std::filesystem::path folder;
    std::time_t finished = 0; // when its files were put in place
};

/// The finished runs of the working folder, oldest first.
std::vector<PastRun> pastRuns(const std::filesystem::path& workDir);
/// Run `number`, when it is kept.
std::optional<PastRun> pastRun(const std::filesystem::path& workDir, int number);

/// A result file of the run being committed: its name and where the run staged it.
using StagedResult = std::pair<std::string, std::filesystem::path>;

/// Stages copies of the run's staged result files into the folder of the next run number, in the
/// run's own transaction; first removes the folders of runs that never finished. Runs under the
/// folder's exclusive lock, after its result transaction was recovered. False when the copies
/// cannot be written (the transaction then must not commit).
bool stageRunCopy(FileTransaction& transaction, const std::filesystem::path& workDir,
                  const std::vector<StagedResult>& staged);

/// After a commit: removes the oldest runs until `keep` are left (at least the newest).
void pruneRuns(const std::filesystem::path& workDir, int keep);

} // namespace kestrelan
