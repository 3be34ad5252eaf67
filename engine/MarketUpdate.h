#pragma once
// Pending market data (Update.new): its block format, written by the CSV import and read by the
// merge, and the merge into the price files.
//
// Update.new is a text file (CR LF line ends) of stock blocks, one after another:
//   line 1     the header: one character no reader uses, then the stock code (characters 2-7);
//              anything after the code is ignored
//   line 2     n
//   line 3     the first date of the new data (yyyymmdd)
//   line 4...  n values, one number a line (only for n >= 1)
// Every line is read as fgets reads it into a buffer of updateLineLimit + 1 bytes, and numbers as
// atoi reads them.
//
// The merge: a block with n >= 1 appends its n values to the stock's price file, n = 0 replaces
// the file's last record by the date, n < 0 appends nothing. A block whose first date lies
// before the last date stored in the price file, whose lines do not read as numbers, whose code
// is not a stock code, that the file ends inside, or whose price file exists but cannot be read,
// stops the merge: that block and the ones after it go to Update.rej and the user is told.
//
// Every block is applied exactly once, whatever stops the merge: a journal (Update.jnl) names
// the block being applied and the price file's size and last record before it, so a merge killed
// part way undoes that block's half-written append and goes on from it at the next start; a
// disk that fills up stops the merge with the update kept for the next start. Update.new is
// removed when every block is applied or refused. An update that could not be removed (the
// folder or the file may not be written) is not merged at all, and the market is held
// exclusively (MarketAccess) for the time.
//
// The price files may be shared by several working folders. While a merge may have a block half
// applied (from its first journal until the journal goes), a mark beside StockData
// (Update.merging, in the price folder) names its working folder: a run, a merge or an import of another working folder on the same
// price files then stops and says to finish that merge first. A price file whose end a crash
// damaged (a cut record, NUL bytes) has the damage cut away, with a note, before a block is
// appended; it is never appended past.

#include "platform/core/Sinks.h"
#include "platform/core/TextFile.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelan {

/// The pending update, in the working folder.
constexpr std::string_view updateFileName = "Update.new";
/// Where the merge keeps the blocks it refused, in the working folder.
constexpr std::string_view rejectedUpdateFileName = "Update.rej";
/// The merge's journal, in the working folder, while a merge is under way.
constexpr std::string_view updateJournalFileName = "Update.jnl";
/// The mark of a merge under way, in the price folder (beside StockData): the working folder it merges from.
constexpr std::string_view mergeMarkFileName = "Update.merging";
/// The largest Update.new the merge reads (its positions are 32-bit).
constexpr std::size_t updateFileLimit = 0x7fffffff;
/// Characters a read of an Update.new line takes at most, its "\n" among them: a line longer
/// than 11 characters before its line end is not read whole.
constexpr std::size_t updateLineLimit = 12;
/// Where the stock code starts in a header line (its second character).
constexpr std::size_t updateCodeOffset = 1;
/// The header's first character as the import writes it.
constexpr char updateHeaderMark = 'A';

/// One block as read from Update.new.
struct UpdateBlock
{
    std::string code;                 // the header's characters 2-7 without a line end; not checked
    std::int32_t count = 0;           // n
    std::int32_t firstDate = 0;       // line 3
    std::vector<std::int32_t> values; // the value lines read (n of them in a complete block)
    bool complete = false;            // false when the file ends inside the block
    bool wellFormed = false;          // the count, date and value lines are whole numbers
};

/// Reads the block at the reader's position; nullopt at the end of the file.
std::optional<UpdateBlock> readUpdateBlock(TextReader& reader);

/// The Update.new bytes of a block that appends `values` (n = their count) to a stock's price
/// file. `code` is a stock code (isStockCode), so every line keeps within the limit.
std::string updateBlockBytes(std::string_view code, std::int32_t firstDate, std::span<const std::int32_t> values);

struct UpdateOutcome
{
    bool present = false; // there was an update to merge
    int merged = 0;       // blocks applied by this merge
    bool stopped = false; // a block was refused (the rest is in Update.rej) or the merge could not go on
    bool kept = false;    // Update.new is still there: the next merge goes on where this one stopped
};

/// Merges `workDir`/Update.new into `priceDir`/StockData (the folder marketFolders chose),
/// holding the market exclusively for the time. `listedCount` (code.lst's size / 28) scales the
/// progress bar. Texts of messages and progress are UTF-8.
UpdateOutcome mergeUpdate(const std::filesystem::path& workDir, const std::filesystem::path& priceDir, int listedCount,
                          IProgressSink& progress, IMessageSink& messages);

/// What a finished or abandoned merge left: a journal beside no Update.new, or a mark in the
/// price folder whose working folder has no journal (any more).
bool mergeLeftovers(const std::filesystem::path& workDir, const std::filesystem::path& priceDir);
/// Removes those leftovers; only with the market held exclusively.
void clearMergeLeftovers(const std::filesystem::path& workDir, const std::filesystem::path& priceDir);
/// Undoes the block a merge of `workDir`'s update stopped in (the journal says which), so that the
/// price file is as before it; the journal stays. For a full import, which replaces the market the
/// update was for. The price file it could not undo (one changed since), or nullopt.
std::optional<std::filesystem::path> undoStoppedMerge(const std::filesystem::path& workDir);
/// The message that stops a step on price files that another working folder's merge left part
/// way, naming that folder and what to do; empty when there is none.
std::string unfinishedMergeProblem(const std::filesystem::path& workDir, const std::filesystem::path& priceDir);

/// What a run says, and does not run, while Update.new waits: kospi.lst holds its days, the price
/// files not yet.
inline constexpr const char* updateWaitsMessage
    = "Update.new에 아직 주가 파일에 반영하지 않은 새 자료가 있어 실행하지 않았습니다. kestrelan을 시작하거나 "
      "'kestrelan-cli merge-update'로 먼저 반영하십시오.";

} // namespace kestrelan
