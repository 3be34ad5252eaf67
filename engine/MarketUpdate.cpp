#include "engine/MarketUpdate.h"

#include "engine/MarketData.h"
#include "platform/core/Format.h"
#include "platform/core/Text.h"
#include "platform/core/TextFile.h"

#include <cstdio>
#include <unistd.h>

namespace kestrelan {

namespace {

// The longest lines a block holds: a header and a number, each with its "\n".
static_assert(updateCodeOffset + stockCodeSize + 1 <= updateLineLimit);
static_assert(std::string_view("-2147483648\n").size() <= updateLineLimit);

// The progress bar's full position.
constexpr int fullProgress = 100;

std::optional<std::int32_t> lastRecord(const std::filesystem::path& file, std::uintmax_t size)
{
    if (size < static_cast<std::uintmax_t>(priceRecordSize))
        return std::nullopt;
    auto reader = TextReader::open(file);
    if (!reader)
        return std::nullopt;
    reader->seek(reader->size() - priceRecordSize);
    return parsePriceRecord(reader->read(priceRecordSize));
}

// Appends the bytes to the file after cutting it to `keep` bytes; on any failure the file is
// put back to its original size. True when the file ends up as keep + bytes.
bool appendBlock(const std::filesystem::path& file, std::uintmax_t original, std::uintmax_t keep,
                 const std::string& bytes)
{
    std::error_code ec;
    if (keep != original) {
        std::filesystem::resize_file(file, keep, ec);
        if (ec)
            return false;
    }
    std::FILE* f = std::fopen(file.c_str(), "ab");
    bool ok = f != nullptr;
    if (f) {
        ok = (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size()) && ok;
        ok = std::fflush(f) == 0 && ok;
        ok = ::fsync(fileno(f)) == 0 && ok;
        ok = std::fclose(f) == 0 && ok;
    }
    ok = ok && std::filesystem::file_size(file, ec) == keep + bytes.size() && !ec;
    if (!ok && std::filesystem::exists(file, ec) && original <= std::filesystem::file_size(file, ec))
        std::filesystem::resize_file(file, original, ec); // the appended part goes; a cut record cannot come back
    return ok;
}

bool keepRest(const std::filesystem::path& rejected, std::string_view rest)
{
    return replaceFileAtomically(rejected, readWholeFile(rejected).value_or(std::string()) + std::string(rest));
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
    const auto countLine = readLine();
    const auto dateLine = readLine();
    block.count = atoiText(countLine.value_or(""));
    block.firstDate = atoiText(dateLine.value_or(""));
    block.complete = countLine && dateLine;
    for (std::int32_t i = 0; block.complete && i < block.count; ++i) {
        const auto value = readLine();
        block.complete = value.has_value();
        if (block.complete)
            block.values.push_back(atoiText(*value));
    }
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

UpdateOutcome mergeUpdate(const std::filesystem::path& workDir, const std::filesystem::path& programDir,
                          int listedCount, IProgressSink& progress, IMessageSink& messages)
{
    UpdateOutcome outcome;
    const auto updatePath = workDir / updateFileName;
    const auto rejectedPath = workDir / rejectedUpdateFileName;
    if (::access(updatePath.c_str(), R_OK | W_OK) != 0)
        return outcome; // no update, or one that may not be removed: nothing to do
    auto reader = TextReader::open(updatePath);
    if (!reader)
        return outcome;
    outcome.present = true;
    progress.begin("주가 Data Update중입니다....");

    int blockNumber = 0;
    for (;;) {
        const std::size_t blockStart = reader->tell();
        const auto block = readUpdateBlock(*reader);
        if (!block)
            break;
        ++blockNumber;
        if (listedCount > 0)
            progress.setPosition(fullProgress * blockNumber / listedCount);
        const std::string& code = block->code;
        const std::int32_t n = block->count;
        const std::int32_t first = block->firstDate;
        const bool complete = block->complete;
        std::string bytes;
        for (const std::int32_t v : block->values)
            bytes += priceRecordBytes(v);
        if (n == 0)
            bytes = priceRecordBytes(first, PriceRecordAs::Date);

        const auto file = priceFilePath(programDir, code);
        std::error_code ec;
        const std::uintmax_t size = std::filesystem::exists(file, ec) ? std::filesystem::file_size(file, ec) : 0;
        const auto last = lastRecord(file, size);
        std::string problem;
        if (!isStockCode(code))
            problem = format("Update.new의 종목코드 \"%s\"가 올바르지 않아", code.c_str());
        else if (!complete)
            problem = format("Update.new의 %s 종목 자료가 중간에 끝나", code.c_str());
        else if (last && *last > first)
            problem = format("Update.new의 %s 종목 자료(%d일부터)가 주가 파일의 마지막 날짜(%d)보다 앞서", code.c_str(),
                             first, *last);
        if (problem.empty()) {
            // A file without a whole record holds nothing to keep: the block starts it anew.
            const std::uintmax_t keep = !last ? 0 : n == 0 ? size - priceRecordSize : size;
            if (!bytes.empty() && !appendBlock(file, size, keep, bytes))
                problem = format("%s 종목의 주가 파일에 Update.new 자료를 쓸 수 없어", code.c_str());
        }
        if (!problem.empty()) {
            const std::string_view rest = std::string_view(reader->bytes()).substr(blockStart);
            const bool kept = keepRest(rejectedPath, rest);
            progress.end();
            outcome.stopped = true;
            if (!kept) {
                // Update.new stays: its rest could not be saved anywhere else.
                messages.show(problem
                              + " 반영하지 않았습니다. 나머지 자료를 보관할 수 없어 Update.new를 그대로 둡니다.");
                return outcome;
            }
            messages.show(problem + " 반영하지 않았습니다. 반영하지 못한 나머지 자료는 " + rejectedPath.string()
                          + "에 보관했습니다.");
            std::filesystem::remove(updatePath, ec);
            return outcome;
        }
        ++outcome.merged;
    }
    progress.end();
    std::error_code ec;
    std::filesystem::remove(updatePath, ec);
    return outcome;
}

} // namespace kestrelan
