#pragma once
// Merging a pending market-data update (Update.new) into the price files at start-up.
//
// Update.new is a run of stock blocks: a header line whose characters 2-7 are the stock code, a
// line with n, a line with the first date of the new data, then n value lines. Lines are read
// 12 characters at a time at most. A block with n >= 1 appends its n values to the stock's price
// file, n = 0 replaces the file's last record by the date, n < 0 appends nothing. A block whose
// date lies before the file's last record stops the merge: that block and the ones after it are
// kept in Update.rej and the user is told. Each block is appended in one write and the file's
// size checked; a failed append is undone and the rest kept in Update.rej as well. Update.new is
// removed once it has been read.

#include "platform/core/Sinks.h"

#include <filesystem>
#include <string>

namespace kestrelan {

struct UpdateOutcome
{
    bool present = false; // there was an update to merge
    int merged = 0;       // blocks applied
    bool stopped = false; // a block was refused; the rest is in Update.rej
};

/// Merges `workDir`/Update.new into `programDir`/StockData. `listedCount` (code.lst's size / 28)
/// scales the progress bar. Texts of messages and progress are UTF-8.
UpdateOutcome mergeUpdate(const std::filesystem::path& workDir, const std::filesystem::path& programDir,
                          int listedCount, IProgressSink& progress, IMessageSink& messages);

} // namespace kestrelan
