#include "engine/MarketUpdate.h"

#include "engine/MarketData.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"

#include <cstdio>
#include <unistd.h>

namespace kestrelan {

namespace {

constexpr std::size_t lineLimit = 13; // a line buffer of 13 bytes: at most 12 characters

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

bool keepRest(const std::filesystem::path& workDir, std::string_view rest)
{
    const auto path = workDir / "Update.rej";
    return replaceFileAtomically(path, readWholeFile(path).value_or(std::string()) + std::string(rest));
}

std::string stripLine(std::string line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return line;
}

} // namespace

UpdateOutcome mergeUpdate(const std::filesystem::path& workDir, const std::filesystem::path& programDir,
                          int listedCount, IProgressSink& progress, IMessageSink& messages)
{
    UpdateOutcome outcome;
    const auto updatePath = workDir / "Update.new";
    if (::access(updatePath.c_str(), R_OK | W_OK) != 0)
        return outcome; // no update, or one that may not be removed: nothing to do
    auto reader = TextReader::open(updatePath);
    if (!reader)
        return outcome;
    outcome.present = true;
    progress.begin("주가 Data Update중입니다....");

    int block = 0;
    for (;;) {
        const std::size_t blockStart = reader->tell();
        const auto header = reader->getLine(lineLimit);
        if (!header)
            break;
        ++block;
        if (listedCount > 0)
            progress.setPosition(100 * block / listedCount);
        const std::string code = header->size() > 1 ? stripLine(header->substr(1, 6)) : std::string();
        const auto countLine = reader->getLine(lineLimit);
        const auto dateLine = reader->getLine(lineLimit);
        const std::int32_t n = atoiText(countLine.value_or(""));
        const std::int32_t first = atoiText(dateLine.value_or(""));
        bool complete = countLine && dateLine;
        std::string bytes;
        for (std::int32_t i = 0; complete && i < n; ++i) {
            const auto value = reader->getLine(lineLimit);
            complete = value.has_value();
            if (complete)
                bytes += priceRecordBytes(atoiText(*value));
        }
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
            const auto rej = workDir / "Update.rej";
            const bool kept = keepRest(workDir, rest);
            progress.end();
            outcome.stopped = true;
            if (!kept) {
                // Update.new stays: its rest could not be saved anywhere else.
                messages.show(problem
                              + " 반영하지 않았습니다. 나머지 자료를 보관할 수 없어 Update.new를 그대로 둡니다.");
                return outcome;
            }
            messages.show(problem + " 반영하지 않았습니다. 반영하지 못한 나머지 자료는 " + rej.string()
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
