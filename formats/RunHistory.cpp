#include "formats/RunHistory.h"

#include "formats/ResultSet.h"
#include "platform/core/FileTransaction.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"

#include <algorithm>
#include <sys/stat.h>

namespace kestrelan {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view goneMark = ".gone.";

fs::path historyOf(const fs::path& workDir) { return workDir / historyFolderName; }

// A run folder's number: its name is digits alone (at most nine); nullopt for any other name.
std::optional<int> numberOf(const std::string& name)
{
    if (name.empty() || name.size() > 9 || !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoi(name);
}

bool regularFile(const fs::path& p)
{
    std::error_code ec;
    return fs::is_regular_file(fs::symlink_status(p, ec));
}

// A numbered folder holds a finished run when both files that every run writes are in it.
bool finishedRun(const fs::path& folder)
{
    return regularFile(folder / resultCsvFile) && regularFile(folder / settingsCsvFile);
}

struct Numbered
{
    int number;
    fs::path folder;
};

// The numbered folders of history/ (links aside), by number.
std::vector<Numbered> numberedFolders(const fs::path& workDir)
{
    std::vector<Numbered> out;
    std::error_code ec;
    for (fs::directory_iterator it(historyOf(workDir), ec), end; !ec && it != end; it.increment(ec)) {
        const auto number = numberOf(it->path().filename().string());
        std::error_code kind;
        if (number && !it->is_symlink(kind) && it->is_directory(kind))
            out.push_back({*number, it->path()});
    }
    std::sort(out.begin(), out.end(), [](const Numbered& a, const Numbered& b) { return a.number < b.number; });
    return out;
}

// A folder goes under a name no run has first, so that a kill while its files go leaves no
// numbered folder with a part of a run in it.
void removeFolder(const fs::path& folder)
{
    const fs::path gone = folder.parent_path() / (std::string(goneMark) + folder.filename().string() + "." + randomTag());
    std::error_code ec;
    fs::rename(folder, gone, ec);
    if (!ec)
        fs::remove_all(gone, ec);
}

// What removals a kill cut short left behind.
void removeGone(const fs::path& workDir)
{
    std::vector<fs::path> gone;
    std::error_code ec;
    for (fs::directory_iterator it(historyOf(workDir), ec), end; !ec && it != end; it.increment(ec))
        if (it->path().filename().string().starts_with(goneMark))
            gone.push_back(it->path());
    for (const auto& p : gone)
        fs::remove_all(p, ec);
}

std::time_t modified(const fs::path& file)
{
    struct stat st{};
    return ::stat(file.c_str(), &st) == 0 ? st.st_mtime : 0;
}

} // namespace

std::vector<PastRun> pastRuns(const fs::path& workDir)
{
    std::vector<PastRun> runs;
    for (const auto& n : numberedFolders(workDir))
        if (finishedRun(n.folder))
            runs.push_back({n.number, n.folder, modified(n.folder / resultCsvFile)});
    return runs;
}

std::optional<PastRun> pastRun(const fs::path& workDir, int number)
{
    for (const auto& run : pastRuns(workDir))
        if (run.number == number)
            return run;
    return std::nullopt;
}

bool stageRunCopy(FileTransaction& transaction, const fs::path& workDir, const std::vector<StagedResult>& staged)
{
    removeGone(workDir);
    int last = 0;
    for (const auto& n : numberedFolders(workDir)) {
        if (finishedRun(n.folder))
            last = n.number;
        else
            removeFolder(n.folder); // a run killed before its commit
    }
    if (last >= 999999999)
        return false;
    const fs::path folder = historyOf(workDir) / format("%06d", last + 1);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        return false;
    for (const auto& [name, from] : staged) {
        const fs::path to = transaction.stagedFile(folder / name);
        if (!fs::copy_file(from, to, ec) || ec)
            return false;
    }
    return true;
}

void pruneRuns(const fs::path& workDir, int keep)
{
    const auto runs = pastRuns(workDir);
    const std::size_t kept = static_cast<std::size_t>(std::max(1, keep));
    for (std::size_t i = 0; i + kept < runs.size(); ++i)
        removeFolder(runs[i].folder);
    removeGone(workDir);
}

} // namespace kestrelan
