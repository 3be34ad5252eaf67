#include "engine/MarketAccess.h"

#include "engine/MarketData.h"
#include "engine/MarketUpdate.h"
#include "engine/RunInputs.h"
#include "platform/core/FaultPoint.h"
#include "platform/core/FileTransaction.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace kestrelan {

namespace {

namespace fs = std::filesystem;

bool sameFolder(const fs::path& a, const fs::path& b)
{
    std::error_code ec;
    return fs::equivalent(a, b, ec);
}

bool hasStockData(const fs::path& dir)
{
    std::error_code ec;
    return fs::is_directory(dir / "StockData", ec);
}

// The folder whose lock stands for the price files: StockData itself, or the folder that is to
// hold it while it does not exist.
fs::path priceLockFolder(const fs::path& prices) { return hasStockData(prices) ? prices / "StockData" : prices; }

bool importInterrupted(const fs::path& dir)
{
    std::error_code ec;
    const std::string tag(importTag);
    return fs::exists(fs::symlink_status(dir / (tag + ".journal"), ec))
        || fs::exists(fs::symlink_status(dir / (tag + ".rollback"), ec));
}

bool needsRepair(const MarketFolders& f)
{
    return importInterrupted(f.work) || (!sameFolder(f.work, f.prices) && importInterrupted(f.prices))
        || mergeLeftovers(f.work, f.prices);
}

// With both locks held exclusively: what killed imports left is finished or undone, what a
// finished merge left cleared, a killed write's scratch files removed. False when the price
// folder's own import must be finished by the program that holds that folder now.
bool repair(const MarketFolders& f)
{
    const std::string tag(importTag);
    FileTransaction::recover(f.work, tag);
    removeScratchFiles(f.work);
    if (!sameFolder(f.work, f.prices)) {
        // The price folder is another market's working folder: its import touched its lists too.
        if (const auto other = FolderLock::tryAcquire(f.prices))
            FileTransaction::recover(f.prices, tag);
        else if (importInterrupted(f.prices))
            return false;
    }
    clearMergeLeftovers(f.work, f.prices);
    return true;
}

struct Budget
{
    std::chrono::steady_clock::time_point until;
    double left() const
    {
        return std::max(0.0, std::chrono::duration<double>(until - std::chrono::steady_clock::now()).count());
    }
};

MarketAccess busy()
{
    MarketAccess a;
    a.problem = folderBusyMessage;
    return a;
}

// Both locks in one mode, the working folder's first.
MarketAccess lockBoth(const MarketFolders& f, LockMode mode, const Budget& budget, const std::function<void()>& waiting)
{
    MarketAccess a;
    a.work = FolderLock::acquire(f.work, budget.left(), mode, waiting);
    if (!a.work)
        return busy();
    a.prices = FolderLock::acquire(priceLockFolder(f.prices), budget.left(), mode, waiting);
    if (!a.prices)
        return busy();
    return a;
}

} // namespace

MarketFolders marketFolders(const fs::path& work, const fs::path& programDir, bool programDirGiven)
{
    // The rule itself is marketPriceFolder's, which every command and the form take as their
    // default; a folder the user names wins.
    MarketFolders f{work, programDirGiven ? programDir : marketPriceFolder(work, programDir), {}};
    if (!hasStockData(work) || sameFolder(work, programDir) || !hasStockData(programDir))
        return f; // one set of price files: nothing to choose between
    f.note = programDirGiven
        ? format("작업 폴더에도 StockData/가 있지만 --program-dir로 준 %s의 주가 파일로 실행합니다.",
                 (programDir / "StockData").c_str())
        : format("작업 폴더의 StockData/에 있는 주가 파일로 실행합니다 (프로그램 폴더 %s의 것이 아닙니다).",
                 (programDir / "StockData").c_str());
    return f;
}

void recoverMarketFiles(const fs::path& dir)
{
    MarketAccess::open(sameMarket(dir, dir), LockMode::Exclusive); // a busy market is its holder's to repair
}

MarketFolders sameMarket(const fs::path& work, const fs::path& prices) { return MarketFolders{work, prices, {}}; }

MarketAccess MarketAccess::open(const MarketFolders& folders, LockMode mode, double seconds,
                                const std::function<void()>& waiting)
{
    bool told = false;
    const std::function<void()> tellOnce = [&] {
        if (!told && waiting)
            waiting();
        told = true;
    };
    const Budget budget{std::chrono::steady_clock::now()
                        + std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(seconds))};
    for (bool repaired = false;;) {
        MarketAccess a = lockBoth(folders, mode, budget, tellOnce);
        if (!a)
            return a;
        if (mode == LockMode::Exclusive ? repair(folders) : (repaired || !needsRepair(folders))) {
            a.problem = unfinishedMergeProblem(folders.work, folders.prices);
            if (a)
                faultPoint("market:open");
            return a;
        }
        if (mode == LockMode::Shared) {
            // A reader repairs with the lock exclusive, then takes it shared again.
            a = {};
            MarketAccess writer = lockBoth(folders, LockMode::Exclusive, budget, tellOnce);
            if (!writer)
                return writer;
            repaired = repair(folders);
            if (repaired)
                continue;
        }
        // The price folder's own import waits for the program that holds that folder; this one
        // lets go meanwhile.
        a = {};
        if (budget.left() <= 0)
            return busy();
        tellOnce();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace kestrelan
