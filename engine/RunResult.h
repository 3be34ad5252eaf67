#pragma once
// What a run says back to whoever started it: whether it finished, and if not why, with what the
// reason is about (the price file that is missing, the setting that is refused, the file that
// could not be written), so that no caller has to read the message's words.

#include "engine/SimParams.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kestrelan {

enum class RunStatus : int
{
    Finished = 0,
    Stopped = 1
};
inline constexpr RunStatus runFinished = RunStatus::Finished;
inline constexpr RunStatus runStopped = RunStatus::Stopped;

/// Why a run stopped.
enum class StopReason
{
    None,             ///< it finished
    Setting,          ///< a setting validate refuses: RunResult::setting
    FolderBusy,       ///< another writer holds the working folder
    Market,           ///< the market cannot be held, or new days wait to be merged into it
    Portfolio,        ///< SimItem.lst: none, no stock, more than maxStocks
    Index,            ///< kospi.lst cannot be read, holds no day or its dates go back
    NoFund,           ///< the period holds no fund
    MissingPriceFile, ///< RunResult::file: the first portfolio stock's price file that is missing
    PriceFile,        ///< RunResult::file: a price file whose dates go back
    CannotWrite,      ///< RunResult::file: a result file (or date.lst) that could not be written
    Rules,            ///< RunResult::file: the market's rules table (or dividends.csv) that cannot be read
    OutOfMemory,
    Failed ///< anything else on the way
};

struct RunResult
{
    RunStatus status = RunStatus::Finished;
    StopReason reason = StopReason::None;
    std::string message;            ///< what stopped it, as the user was told (Korean)
    std::filesystem::path file;     ///< the file the reason is about, when it is about one
    std::optional<Setting> setting; ///< the setting refused (StopReason::Setting)
    /// A run that finished: the start dates of the funds whose total amount could not be divided
    /// (too small for the minimum quantities; each was said). They have no result lines.
    std::vector<std::int32_t> fundsNotDivided;

    bool finished() const { return status == RunStatus::Finished; }
};

} // namespace kestrelan
