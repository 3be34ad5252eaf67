#include "engine/MarketUpdate.h"

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

// A price file as the merge finds it before a block.
struct PriceFileState
{
    bool exists = false;
    bool readable = false;
    std::uintmax_t size = 0;
    std::optional<std::int32_t> lastRecord; // the value of the 14 bytes before its end
    std::optional<std::int32_t> lastDate;   // the last record that holds a date
    std::string end;                        // its last bytes, up to a record's worth
};

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
    st.end.resize(static_cast<std::size_t>(std::min<std::uintmax_t>(st.size, priceRecordSize)));
    st.readable = ::pread(fd, st.end.data(), st.end.size(), static_cast<off_t>(st.size - st.end.size()))
        == static_cast<ssize_t>(st.end.size());
    // Records counted back from the end, a block of them at a time, until a date turns up.
    constexpr std::uintmax_t chunkRecords = 4096;
    std::string chunk;
    for (std::uintmax_t end = st.size; st.readable && end >= static_cast<std::uintmax_t>(priceRecordSize);) {
        const std::uintmax_t records = std::min<std::uintmax_t>(chunkRecords, end / priceRecordSize);
        const std::uintmax_t from = end - records * priceRecordSize;
        chunk.resize(static_cast<std::size_t>(end - from));
        if (::pread(fd, chunk.data(), chunk.size(), static_cast<off_t>(from)) != static_cast<ssize_t>(chunk.size())) {
            st.readable = false;
            break;
        }
        for (std::uintmax_t r = records; r-- > 0;) {
            const std::int32_t v
                = parsePriceRecord(std::string_view(chunk).substr(r * priceRecordSize, priceRecordSize));
            if (!st.lastRecord)
                st.lastRecord = v;
            if (v >= firstDateValue) {
                st.lastDate = v;
                break;
            }
        }
        if (st.lastDate)
            break;
        end = from;
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

Journal readJournal(const fs::path& path)
{
    Journal j;
    const auto bytes = readWholeFile(path);
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
// block since (another working folder's merge into the same price files) is left alone: cutting
// it back would lose that merge's days.
bool undo(const Pending& p)
{
    std::error_code ec;
    if (const auto size = fs::file_size(p.file, ec); !ec && size > p.end)
        return false;
    if (!p.existed)
        return ::unlink(p.file.c_str()) == 0 || errno == ENOENT;
    return rewriteFrom(p.file, p.keep, p.tail);
}

// The folders a merge writes: the working folder and, when it is another, the program folder.
std::vector<FolderLock> lockFolders(const fs::path& workDir, const fs::path& programDir)
{
    std::vector<FolderLock> locks;
    auto work = FolderLock::tryAcquire(workDir);
    if (!work)
        return locks;
    locks.push_back(std::move(*work));
    std::error_code ec;
    if (!fs::equivalent(workDir, programDir, ec)) {
        auto program = FolderLock::tryAcquire(programDir);
        if (!program)
            return {};
        locks.push_back(std::move(*program));
    }
    return locks;
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

// Removes a merged Update.new, then its journal. An update that stays (its removal failed) keeps
// the journal too, so that the next merge goes on from where this one ended instead of applying
// its blocks again.
bool removeUpdate(const fs::path& updatePath, const fs::path& journalPath)
{
    std::error_code ec;
    fs::remove(updatePath, ec);
    if (ec || fs::exists(updatePath, ec))
        return false;
    faultPoint("merge:removed");
    fs::remove(journalPath, ec);
    return true;
}

} // namespace

UpdateOutcome mergeUpdate(const std::filesystem::path& workDir, const std::filesystem::path& programDir,
                          int listedCount, IProgressSink& progress, IMessageSink& messages)
{
    UpdateOutcome outcome;
    const fs::path updatePath = workDir / updateFileName;
    const fs::path rejectedPath = workDir / rejectedUpdateFileName;
    const fs::path journalPath = workDir / updateJournalFileName;
    std::error_code ec;
    if (!fs::exists(updatePath, ec)) {
        fs::remove(journalPath, ec); // a merge that ended after removing the update
        return outcome;
    }
    outcome.present = true;
    outcome.kept = true;
    const auto locks = lockFolders(workDir, programDir);
    if (locks.empty()) {
        messages.show(std::string(folderBusyMessage) + " Update.new는 다음에 반영합니다.");
        return outcome;
    }
    for (const auto& dir : {workDir, programDir})
        FileTransaction::recover(dir, std::string(importTag)); // an interrupted import first
    // An update that cannot be removed would be merged again at every start.
    if (::access(updatePath.c_str(), R_OK | W_OK) != 0 || ::access(workDir.c_str(), W_OK) != 0) {
        messages.show(cannotRemove);
        return outcome;
    }
    std::optional<TextReader> reader;
    try {
        reader = TextReader::open(updatePath, updateFileLimit);
    } catch (const FileTooLarge& e) {
        messages.show(std::string(e.what()) + " Update.new를 반영하지 않았습니다.");
        return outcome;
    }
    if (!reader) {
        messages.show(cannotRemove);
        return outcome;
    }

    // A merge that stopped part way: the block it was applying is undone and applied again.
    const Journal journal = readJournal(journalPath);
    int resumeAt = 0;
    if (journal.pending) {
        if (!undo(*journal.pending)) {
            messages.show(format("%s 종목의 주가 파일을 고칠 수 없어 Update.new를 반영하지 못했습니다.",
                                 journal.pending->file.filename().string().c_str())
                          + keptForNextStart);
            return outcome;
        }
        resumeAt = journal.pending->block;
    } else if (journal.stopped) {
        resumeAt = journal.stopped->first;
    }

    progress.begin("주가 Data Update중입니다....");
    struct EndProgress
    {
        IProgressSink& p;
        ~EndProgress() { p.end(); }
    } endProgress{progress};

    int blockNumber = 0;
    for (;;) {
        const std::size_t blockStart = reader->tell();
        const auto block = readUpdateBlock(*reader);
        if (!block)
            break;
        const int index = blockNumber++;
        if (listedCount > 0)
            progress.setPosition(fullProgress * blockNumber / listedCount);
        if (index < resumeAt)
            continue; // applied by the merge that stopped

        const std::string& code = block->code;
        const fs::path file = priceFilePath(programDir, code);
        const PriceFileState price = isStockCode(code) ? inspect(file) : PriceFileState{};
        std::string problem;
        if (journal.stopped) {
            problem = format("Update.new의 %s 종목 자료를", code.c_str()); // refused before the stop
        } else if (!isStockCode(code)) {
            problem = format("Update.new의 종목코드 \"%s\"가 올바르지 않아", code.c_str());
        } else if (!block->complete) {
            problem = format("Update.new의 %s 종목 자료가 중간에 끝나", code.c_str());
        } else if (!block->wellFormed) {
            problem = format("Update.new의 %s 종목 자료의 형식이 잘못되어", code.c_str());
        } else if (price.exists && !price.readable) {
            problem = format("%s 종목의 주가 파일을 읽을 수 없어", code.c_str());
        } else if (price.lastDate && *price.lastDate > block->firstDate) {
            problem = format("Update.new의 %s 종목 자료(%d일부터)가 주가 파일의 마지막 날짜(%d)보다 앞서", code.c_str(),
                             block->firstDate, *price.lastDate);
        }
        if (!problem.empty()) {
            // This block and the ones after it go to Update.rej, once.
            const std::uintmax_t before = journal.stopped ? journal.stopped->second : fs::file_size(rejectedPath, ec);
            const std::uintmax_t rejectedBefore = ec ? 0 : before;
            outcome.stopped = true;
            if (!journal.stopped && !writeJournal(journalPath, format("stopped %d %ju", index, rejectedBefore))) {
                messages.show(problem + " 반영하지 않았습니다." + keptForNextStart);
                return outcome;
            }
            faultPoint("merge:stopped");
            if (!keepRest(rejectedPath, rejectedBefore, std::string_view(reader->bytes()).substr(blockStart))) {
                messages.show(problem
                              + " 반영하지 않았습니다. 나머지 자료를 보관할 수 없어 Update.new를 그대로 둡니다.");
                return outcome;
            }
            faultPoint("merge:rejected");
            if (!removeUpdate(updatePath, journalPath)) {
                messages.show(cannotRemove);
                return outcome;
            }
            outcome.kept = false;
            messages.show(problem + " 반영하지 않았습니다. 반영하지 못한 나머지 자료는 " + rejectedPath.string()
                          + "에 보관했습니다.");
            return outcome;
        }

        // A block with values appends them; n = 0 puts the date in place of the last record; a file
        // without a whole record holds nothing to keep and the block starts it anew.
        std::string bytes;
        for (const std::int32_t v : block->values)
            bytes += priceRecordBytes(v);
        if (block->count == 0)
            bytes = priceRecordBytes(block->firstDate, PriceRecordAs::Date);
        if (!bytes.empty()) {
            Pending p;
            p.block = index;
            p.existed = price.exists;
            p.keep = !price.lastRecord ? 0 : block->count == 0 ? price.size - priceRecordSize : price.size;
            p.file = file;
            p.end = p.keep + bytes.size();
            p.tail = price.end.substr(price.end.size() - static_cast<std::size_t>(price.size - p.keep));
            if (!writeJournal(journalPath,
                              format("pending %d %d %ju %ju %s %s", index, p.existed ? 1 : 0, p.keep, p.end,
                                     hex(p.tail).c_str(), file.c_str()))) {
                messages.show("디스크에 공간이 없거나 쓸 수 없어 Update.new를 모두 반영하지 못했습니다."
                              + std::string(keptForNextStart));
                outcome.stopped = true;
                return outcome;
            }
            faultPoint("merge:journal");
            if (!rewriteFrom(file, p.keep, bytes)) {
                undo(p);
                messages.show(
                    format("%s 종목의 주가 파일에 Update.new 자료를 쓸 수 없습니다. 디스크 공간과 쓰기 권한을 "
                           "확인하세요.",
                           code.c_str())
                    + keptForNextStart);
                outcome.stopped = true;
                return outcome;
            }
            faultPoint("merge:applied");
        }
        ++outcome.merged;
    }
    if (!removeUpdate(updatePath, journalPath)) {
        messages.show(cannotRemove);
        return outcome;
    }
    outcome.kept = false;
    return outcome;
}

} // namespace kestrelan
