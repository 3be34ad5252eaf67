#include "engine/MarketUpdate.h"

#include "engine/MarketAccess.h"
#include "engine/MarketData.h"
#include "platform/core/Format.h"
#include "platform/core/Text.h"
#include "platform/core/TextFile.h"

#include "platform/core/FaultPoint.h"
#include "platform/core/FileTransaction.h"
#include "platform/core/FolderLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrelan {

namespace {

// The longest lines a block holds: a header and a number, each with its "\n".
static_assert(updateCodeOffset + stockCodeSize + 1 <= updateLineLimit);
static_assert(std::string_view("-2147483648\n").size() <= updateLineLimit);

// The progress bar's full position.
constexpr int fullProgress = 100;

namespace fs = std::filesystem;

constexpr const char* cannotRemove
    = "Update.new를 지울 수 없어 반영하지 않았습니다. 폴더와 파일의 쓰기 권한을 확인하세요.";
constexpr const char* keptForNextStart = " 반영하지 못한 자료는 Update.new에 남겨 두었으며, 다음에 이어서 반영합니다.";

// The most of a damaged end the merge cuts away: a crash leaves a few pages of NUL bytes.
constexpr std::uintmax_t largestDamagedEnd = std::uintmax_t{1} << 20;

// A price file as the merge finds it before a block.
struct PriceFileState
{
    bool exists = false;
    bool readable = false;
    bool tooDamaged = false; // more than largestDamagedEnd of zero records at its end
    std::uintmax_t size = 0;
    std::uintmax_t sound = 0;               // bytes to the end of its last record that holds a number
    std::optional<std::int32_t> lastRecord; // that record's value
    std::optional<std::int32_t> lastDate;   // the last record that holds a date
    std::uintmax_t endFrom = 0;             // where `end` begins
    std::string end;                        // the bytes from the sound part's last record to the file's end
};

// Records counted back from `from`, a chunk at a time: the sound part's end (the last record that
// holds a number) and then its last date.
void findSoundEnd(int fd, std::uintmax_t from, PriceFileState& st)
{
    constexpr std::uintmax_t chunkRecords = 4096;
    std::string chunk;
    for (std::uintmax_t end = from; st.readable && end >= static_cast<std::uintmax_t>(priceRecordSize);) {
        const std::uintmax_t records = std::min<std::uintmax_t>(chunkRecords, end / priceRecordSize);
        const std::uintmax_t start = end - records * priceRecordSize;
        chunk.resize(static_cast<std::size_t>(end - start));
        if (::pread(fd, chunk.data(), chunk.size(), static_cast<off_t>(start)) != static_cast<ssize_t>(chunk.size())) {
            st.readable = false;
            return;
        }
        for (std::uintmax_t r = records; r-- > 0;) {
            const std::int32_t v
                = parsePriceRecord(std::string_view(chunk).substr(r * priceRecordSize, priceRecordSize));
            if (!st.lastRecord && v == 0) {
                if (from - (start + r * priceRecordSize) > largestDamagedEnd) {
                    st.tooDamaged = true;
                    return;
                }
                continue; // NUL bytes or blanks: no number
            }
            if (!st.lastRecord) {
                st.lastRecord = v;
                st.sound = start + (r + 1) * priceRecordSize;
            }
            if (v >= firstDateValue) {
                st.lastDate = v;
                return;
            }
        }
        end = start;
    }
}

PriceFileState inspect(const fs::path& file)
{
    PriceFileState st;
    struct stat info
    {
    };
    if (::stat(file.c_str(), &info) != 0)
        return st;
    st.exists = true;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        return st;
    }
    st.size = static_cast<std::uintmax_t>(info.st_size);
    st.readable = true;
    findSoundEnd(fd, st.size - st.size % priceRecordSize, st);
    if (st.size - st.sound > largestDamagedEnd + priceRecordSize)
        st.tooDamaged = true;
    if (st.readable && !st.tooDamaged) {
        st.endFrom = st.sound >= static_cast<std::uintmax_t>(priceRecordSize) ? st.sound - priceRecordSize : 0;
        st.end.resize(static_cast<std::size_t>(st.size - st.endFrom));
        st.readable = ::pread(fd, st.end.data(), st.end.size(), static_cast<off_t>(st.endFrom))
            == static_cast<ssize_t>(st.end.size());
    }
    ::close(fd);
    return st;
}

// The block in progress: enough to put its price file back as it was before the block.
struct Pending
{
    int block = 0;
    bool existed = false;
    std::uintmax_t keep = 0; // the file's bytes before the block that the block keeps
    std::uintmax_t end = 0;  // the file's size once the block is written
    std::string tail;        // the bytes after `keep` that the block replaces (its last record)
    fs::path file;
};

// Update.jnl: "pending <block> <existed> <keep> <end> <tail in hex, or -> <file>", or
// "stopped <block> <size of Update.rej before>" once a block has been refused.
struct Journal
{
    std::optional<Pending> pending;
    std::optional<std::pair<int, std::uintmax_t>> stopped;
};

std::string hex(std::string_view bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out.empty() ? "-" : out;
}

std::optional<std::string> unhex(std::string_view text)
{
    if (text == "-")
        return std::string();
    if (text.size() % 2 != 0)
        return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const auto digit = [](char c) { return c >= 'a' ? c - 'a' + 10 : c - '0'; };
        out.push_back(static_cast<char>(digit(text[i]) * 16 + digit(text[i + 1])));
    }
    return out;
}

// The merge's own files are never read through a link.
std::optional<std::string> readOwnFile(const fs::path& path)
{
    struct stat st
    {
    };
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return readWholeFile(path);
}

Journal readJournal(const fs::path& path)
{
    Journal j;
    const auto bytes = readOwnFile(path);
    if (!bytes)
        return j;
    std::istringstream in(*bytes);
    std::string kind;
    in >> kind;
    if (kind == "pending") {
        Pending p;
        int existed = 0;
        std::string tail, file;
        if (in >> p.block >> existed >> p.keep >> p.end >> tail && std::getline(in >> std::ws, file)) {
            if (auto bytesOfTail = unhex(tail)) {
                p.existed = existed != 0;
                p.tail = *bytesOfTail;
                p.file = file;
                j.pending = p;
            }
        }
    } else if (kind == "stopped") {
        int block = 0;
        std::uintmax_t size = 0;
        if (in >> block >> size)
            j.stopped = std::make_pair(block, size);
    }
    return j;
}

bool writeJournal(const fs::path& path, const std::string& line) { return replaceFileAtomically(path, line + "\n"); }

// Puts the price file back as it was before the pending block. A file that has grown past the
// block since is left alone: cutting it back would lose what was written there (no merge writes
// it while the mark stands, but a copy or an import by hand may have).
bool undo(const Pending& p)
{
    std::error_code ec;
    if (const auto size = fs::file_size(p.file, ec); !ec && size > p.end)
        return false;
    if (!p.existed)
        return ::unlink(p.file.c_str()) == 0 || errno == ENOENT;
    return rewriteFrom(p.file, p.keep, p.tail);
}

fs::path markPath(const fs::path& priceDir) { return priceDir / mergeMarkFileName; }

// The working folder the mark names; an empty path for a mark cut short; nullopt without one.
std::optional<fs::path> markOwner(const fs::path& priceDir)
{
    const auto bytes = readOwnFile(markPath(priceDir));
    if (!bytes) {
        std::error_code ec;
        if (fs::exists(fs::symlink_status(markPath(priceDir), ec)))
            return fs::path(); // something else at the name: no merge's
        return std::nullopt;
    }
    const auto end = bytes->find('\n');
    return end == std::string::npos ? fs::path() : fs::path(bytes->substr(0, end));
}

bool sameFolder(const fs::path& a, const fs::path& b)
{
    std::error_code ec;
    return !a.empty() && fs::equivalent(a, b, ec);
}

bool present(const fs::path& p)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(p, ec));
}

// Marks the price files as this working folder's merge's until its journal goes.
bool placeMark(const fs::path& workDir, const fs::path& priceDir)
{
    if (const auto owner = markOwner(priceDir))
        return sameFolder(*owner, workDir);
    return writeFileSynced(markPath(priceDir), fs::absolute(workDir).lexically_normal().string() + "\n")
        && syncFolder(priceDir);
}

void removeMark(const fs::path& priceDir)
{
    ::unlink(markPath(priceDir).c_str());
    syncFolder(priceDir);
}

// The rest of the update from a refused block onwards goes to Update.rej, after what it held
// before this merge began to add to it.
bool keepRest(const fs::path& rejected, std::uintmax_t before, std::string_view rest)
{
    std::string bytes = readWholeFile(rejected).value_or(std::string());
    bytes.resize(std::min<std::size_t>(bytes.size(), static_cast<std::size_t>(before)));
    return replaceFileAtomically(rejected, bytes + std::string(rest));
}

} // namespace

std::optional<UpdateBlock> readUpdateBlock(TextReader& reader)
{
    const auto readLine = [&] { return reader.getLine(updateLineLimit + 1); }; // fgets' buffer ends in a NUL
    const auto header = readLine();
    if (!header)
        return std::nullopt;
    UpdateBlock block;
    if (header->size() > updateCodeOffset)
        block.code = trimRight(std::string_view(*header).substr(updateCodeOffset, stockCodeSize), "\r\n");
    // A number line is the number alone before its line end; atoi's reading of it is what the
    // merge uses, but a line that is not a number makes the block malformed.
    bool numbers = true;
    const auto number = [&](const std::optional<std::string>& line) {
        const std::string_view text = line ? trimRight(*line, "\r\n") : std::string_view();
        numbers = numbers && line && parseIntField(text).has_value();
        return atoiText(text);
    };
    const auto countLine = readLine();
    const auto dateLine = readLine();
    block.count = number(countLine);
    block.firstDate = number(dateLine);
    block.complete = countLine && dateLine;
    for (std::int32_t i = 0; block.complete && i < block.count; ++i) {
        const auto value = readLine();
        block.complete = value.has_value();
        if (block.complete)
            block.values.push_back(number(value));
    }
    block.wellFormed = numbers && block.complete;
    return block;
}

std::string updateBlockBytes(std::string_view code, std::int32_t firstDate, std::span<const std::int32_t> values)
{
    std::string text = updateHeaderMark + std::string(code) + "\n" + std::to_string(values.size()) + "\n"
        + std::to_string(firstDate) + "\n";
    for (const std::int32_t v : values)
        text += std::to_string(v) + "\n";
    return toCrLf(text);
}

namespace {

// Removes a merged Update.new, then its journal and the mark. An update that stays (its removal
// failed) keeps the journal and the mark too, so that the next merge goes on from where this one
// ended instead of applying its blocks again.
bool removeUpdate(const fs::path& updatePath, const fs::path& journalPath, const fs::path& priceDir)
{
    std::error_code ec;
    fs::remove(updatePath, ec);
    if (ec || fs::exists(updatePath, ec))
        return false;
    faultPoint("merge:removed");
    fs::remove(journalPath, ec);
    syncFolder(journalPath.parent_path());
    removeMark(priceDir);
    return true;
}

// One merge from its opened update to its last block.
struct Merge
{
    Merge(const fs::path& work, const fs::path& prices, IMessageSink& messages)
        : work(work)
        , prices(prices)
        , messages(messages)
    {
    }
    fs::path work, prices;
    fs::path updatePath = work / updateFileName;
    fs::path rejectedPath = work / rejectedUpdateFileName;
    fs::path journalPath = work / updateJournalFileName;
    IMessageSink& messages;
    Journal journal;
    int resumeAt = 0;
    UpdateOutcome outcome;
};

// The update read whole, once it is known that it can be removed when merged.
std::optional<TextReader> openUpdate(Merge& m)
{
    // An update that cannot be removed would be merged again at every start.
    if (::access(m.updatePath.c_str(), R_OK | W_OK) != 0 || ::access(m.work.c_str(), W_OK) != 0) {
        m.messages.show(cannotRemove);
        return std::nullopt;
    }
    std::optional<TextReader> reader;
    try {
        reader = TextReader::open(m.updatePath, updateFileLimit);
    } catch (const FileTooLarge& e) {
        m.messages.show(std::string(e.what()) + " Update.new를 반영하지 않았습니다.");
        return std::nullopt;
    }
    if (!reader)
        m.messages.show(cannotRemove);
    return reader;
}

// A merge that stopped part way: the block it was applying is undone, and applied again.
bool resume(Merge& m)
{
    m.journal = readJournal(m.journalPath);
    if (m.journal.stopped) {
        m.resumeAt = m.journal.stopped->first;
    } else if (m.journal.pending) {
        if (!undo(*m.journal.pending)) {
            m.messages.show(format("%s 주가 파일이 반영이 멈춘 뒤에 다른 곳에서 바뀌어 Update.new를 이어서 반영할 수 "
                                   "없습니다. 그 주가 파일을 백업에서 되살리거나, 새 자료 전체를 이 폴더에 다시 "
                                   "가져오십시오 (import-csv를 --update 없이; 기다리던 Update.new는 Update.old로 "
                                   "옮겨집니다). Update.new는 그대로 두었습니다.",
                                   m.journal.pending->file.c_str()));
            return false;
        }
        m.resumeAt = m.journal.pending->block;
    }
    return true;
}

// Why a block is refused, or an empty text.
std::string blockProblem(const Merge& m, const UpdateBlock& block, const PriceFileState& price)
{
    const std::string& code = block.code;
    if (m.journal.stopped)
        return format("Update.new의 %s 종목 자료를", code.c_str()); // refused before the stop
    if (!isStockCode(code))
        return format("Update.new의 종목코드 \"%s\"가 올바르지 않아", code.c_str());
    if (!block.complete)
        return format("Update.new의 %s 종목 자료가 중간에 끝나", code.c_str());
    if (!block.wellFormed)
        return format("Update.new의 %s 종목 자료의 형식이 잘못되어", code.c_str());
    if (price.exists && !price.readable)
        return format("%s 종목의 주가 파일을 읽을 수 없어", code.c_str());
    if (price.tooDamaged)
        return format("%s 종목의 주가 파일 끝이 1MB 넘게 손상되어", code.c_str());
    if (price.lastDate && *price.lastDate > block.firstDate)
        return format("Update.new의 %s 종목 자료(%d일부터)가 주가 파일의 마지막 날짜(%d)보다 앞서", code.c_str(),
                      block.firstDate, *price.lastDate);
    return {};
}

// The refused block and the ones after it go to Update.rej, once; then the update goes.
void refuseRest(Merge& m, int index, std::string_view rest, const std::string& problem)
{
    std::error_code ec;
    const std::uintmax_t size = m.journal.stopped ? m.journal.stopped->second : fs::file_size(m.rejectedPath, ec);
    const std::uintmax_t rejectedBefore = ec ? 0 : size;
    m.outcome.stopped = true;
    if (!m.journal.stopped && !writeJournal(m.journalPath, format("stopped %d %ju", index, rejectedBefore))) {
        m.messages.show(problem + " 반영하지 않았습니다." + keptForNextStart);
        return;
    }
    faultPoint("merge:stopped");
    if (!keepRest(m.rejectedPath, rejectedBefore, rest)) {
        m.messages.show(problem + " 반영하지 않았습니다. 나머지 자료를 보관할 수 없어 Update.new를 그대로 둡니다.");
        return;
    }
    faultPoint("merge:rejected");
    if (!removeUpdate(m.updatePath, m.journalPath, m.prices)) {
        m.messages.show(cannotRemove);
        return;
    }
    m.outcome.kept = false;
    m.messages.show(problem + " 반영하지 않았습니다. 반영하지 못한 나머지 자료는 " + m.rejectedPath.string()
                    + "에 보관했습니다.");
}

// A block with values appends them; n = 0 puts the date in place of the last record; a file
// without a record that holds a number keeps nothing and the block starts it anew. A damaged end
// goes first. False when the block could not be written (the file is then as before it).
bool applyBlock(Merge& m, int index, const UpdateBlock& block, const PriceFileState& price)
{
    std::string bytes;
    for (const std::int32_t v : block.values)
        bytes += priceRecordBytes(v);
    if (block.count == 0)
        bytes = priceRecordBytes(block.firstDate, PriceRecordAs::Date);
    if (bytes.empty())
        return true;
    Pending p;
    p.block = index;
    p.existed = price.exists;
    p.keep = !price.lastRecord ? 0 : block.count == 0 ? price.sound - priceRecordSize : price.sound;
    p.file = priceFilePath(m.prices, block.code);
    p.end = p.keep + bytes.size();
    p.tail = price.end.substr(static_cast<std::size_t>(p.keep - price.endFrom));
    if (!writeJournal(m.journalPath,
                      format("pending %d %d %ju %ju %s %s", index, p.existed ? 1 : 0, p.keep, p.end,
                             hex(p.tail).c_str(), p.file.c_str()))) {
        m.messages.show("디스크에 공간이 없거나 쓸 수 없어 Update.new를 모두 반영하지 못했습니다."
                        + std::string(keptForNextStart));
        return false;
    }
    faultPoint("merge:journal");
    if (!rewriteFrom(p.file, p.keep, bytes)) {
        undo(p);
        m.messages.show(format("%s 종목의 주가 파일에 Update.new 자료를 쓸 수 없습니다. 디스크 공간과 쓰기 권한을 "
                               "확인하세요.",
                               block.code.c_str())
                        + keptForNextStart);
        return false;
    }
    faultPoint("merge:applied");
    if (price.size > price.sound)
        m.messages.show(format("%s 종목의 주가 파일 끝에 손상된 %ju바이트(잘린 레코드나 NUL 바이트)가 있어 잘라 내고 "
                               "반영했습니다.",
                               block.code.c_str(), price.size - price.sound));
    return true;
}

// Every block from where a stopped merge left off, until the update ends or a block stops it.
// True when the update may go.
bool mergeBlocks(Merge& m, TextReader& reader, int listedCount, IProgressSink& progress)
{
    int blockNumber = 0;
    for (;;) {
        const std::size_t blockStart = reader.tell();
        const auto block = readUpdateBlock(reader);
        if (!block)
            return true;
        const int index = blockNumber++;
        if (listedCount > 0)
            progress.setPosition(fullProgress * blockNumber / listedCount);
        if (index < m.resumeAt)
            continue; // applied by the merge that stopped
        const PriceFileState price
            = isStockCode(block->code) ? inspect(priceFilePath(m.prices, block->code)) : PriceFileState{};
        if (const std::string problem = blockProblem(m, *block, price); !problem.empty()) {
            refuseRest(m, index, std::string_view(reader.bytes()).substr(blockStart), problem);
            return false;
        }
        if (!applyBlock(m, index, *block, price)) {
            m.outcome.stopped = true;
            return false;
        }
        ++m.outcome.merged;
    }
}

} // namespace

UpdateOutcome mergeUpdate(const std::filesystem::path& workDir, const std::filesystem::path& priceDir, int listedCount,
                          IProgressSink& progress, IMessageSink& messages)
{
    Merge m(workDir, priceDir, messages);
    const MarketAccess market = MarketAccess::open(sameMarket(workDir, priceDir), LockMode::Exclusive);
    if (!present(m.updatePath))
        return m.outcome;
    m.outcome.present = true;
    m.outcome.kept = true;
    if (!market) {
        messages.show(market.problem + " Update.new는 다음에 반영합니다.");
        return m.outcome;
    }
    std::optional<TextReader> reader = openUpdate(m);
    if (!reader || !resume(m))
        return m.outcome;
    if (!placeMark(workDir, priceDir)) {
        messages.show(format("%s에 반영 중임을 표시할 수 없어 Update.new를 반영하지 않았습니다. 그 폴더의 쓰기 권한과 "
                             "남은 디스크 공간을 확인하세요.",
                             markPath(priceDir).c_str()));
        return m.outcome;
    }
    progress.begin("주가 Data Update중입니다....");
    struct EndProgress
    {
        IProgressSink& p;
        ~EndProgress() { p.end(); }
    } endProgress{progress};
    if (!mergeBlocks(m, *reader, listedCount, progress))
        return m.outcome;
    if (!removeUpdate(m.updatePath, m.journalPath, priceDir)) {
        messages.show(cannotRemove);
        return m.outcome;
    }
    m.outcome.kept = false;
    return m.outcome;
}

bool mergeLeftovers(const std::filesystem::path& workDir, const std::filesystem::path& priceDir)
{
    if (present(workDir / updateJournalFileName) && !present(workDir / updateFileName))
        return true;
    const auto owner = markOwner(priceDir);
    return owner && (owner->empty() || !present(*owner / updateJournalFileName));
}

void clearMergeLeftovers(const std::filesystem::path& workDir, const std::filesystem::path& priceDir)
{
    // A merge that ended after removing its update: every block is in, the journal has no use.
    if (present(workDir / updateJournalFileName) && !present(workDir / updateFileName)) {
        ::unlink((workDir / updateJournalFileName).c_str());
        syncFolder(workDir);
    }
    const auto owner = markOwner(priceDir);
    if (owner && (owner->empty() || !present(*owner / updateJournalFileName)))
        removeMark(priceDir);
}

std::optional<std::filesystem::path> undoStoppedMerge(const std::filesystem::path& workDir)
{
    const Journal journal = readJournal(workDir / updateJournalFileName);
    if (!journal.pending || undo(*journal.pending))
        return std::nullopt;
    return journal.pending->file;
}

std::string unfinishedMergeProblem(const std::filesystem::path& workDir, const std::filesystem::path& priceDir)
{
    const auto owner = markOwner(priceDir);
    if (!owner || owner->empty() || sameFolder(*owner, workDir))
        return {};
    return format("%s 폴더의 Update.new를 이 주가 파일에 반영하다가 멈춘 채입니다. 그 폴더에서 'kestrelan-cli "
                  "merge-update'를 실행하거나 kestrelan을 시작해 반영을 끝낸 뒤 다시 하십시오.",
                  owner->c_str());
}

} // namespace kestrelan
