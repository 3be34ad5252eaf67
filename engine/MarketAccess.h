#pragma once
// A market is one unit: kospi.lst, code.lst and ksp.txt (and a waiting Update.new) in its working
// folder, and the price files of StockData/ in the folder the run finds them in. This is where
// that folder is decided, for every command and the desktop program alike, and where the
// market's lock is taken.
//
// The lock has two modes. Runs, sweeps and the results window hold it shared while they read;
// imports, `import-csv --update`, the merge and the desktop's start-up merge hold it exclusive.
// It is two of the kernel's folder locks (FolderLock), always taken in this order: the working
// folder's, then the StockData folder's. So two working folders on one program folder share the
// lock on its StockData: a merge in one waits for runs in the other to finish reading, and their
// runs wait for the merge, and never see half of it. Before a step reads anything, the lock
// finishes or undoes what a killed import left (in the working folder and in the price folder),
// and clears what a finished merge left; an unfinished merge of another working folder into the
// same price files stops the step with what to do.

#include "platform/core/FolderLock.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace kestrelan {

/// Where a market's files are.
struct MarketFolders
{
    std::filesystem::path work;   ///< kospi.lst, code.lst, ksp.txt, Update.new
    std::filesystem::path prices; ///< the folder that holds StockData/
    /// Said once in a run's notes when the choice is not the plain one; else empty.
    std::string note;
};

/// The price files of a market: a working folder that holds its own StockData/ uses it (a market
/// made by sample-data or `import-csv --out` is self-contained: marketPriceFolder), unless a
/// folder is given (--program-dir); otherwise the given folder, or the program's folder. The note
/// says the choice when a working folder's own price files and the other ones are both there.
MarketFolders marketFolders(const std::filesystem::path& work, const std::filesystem::path& programDir,
                            bool programDirGiven);

/// The market's folders as they are (the price folder decided already).
MarketFolders sameMarket(const std::filesystem::path& work, const std::filesystem::path& prices);

/// What opening a market gave: both folder locks in the mode asked for, or the message that
/// stops the step.
struct MarketAccess
{
    std::optional<FolderLock> work;
    std::optional<FolderLock> prices;
    std::string problem; ///< Korean: the market is busy, or another folder's merge stopped part way

    explicit operator bool() const { return problem.empty(); }

    /// Takes the market's lock (waiting up to `seconds`, `waiting` called once when a wait
    /// begins), then makes it whole before anything is read: an import a kill interrupted in the
    /// working folder or the price folder is finished or undone, and what a finished merge left
    /// is cleared. A reader that finds such work takes the lock exclusively for the time.
    static MarketAccess open(const MarketFolders& folders, LockMode mode, double seconds = 0,
                             const std::function<void()>& waiting = {});
};

/// What a command says while it waits for the market.
constexpr const char* marketWaitMessage = "다른 작업이 시장 자료를 쓰거나 읽고 있어 끝나기를 기다립니다...";

} // namespace kestrelan
