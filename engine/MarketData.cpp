#include "engine/MarketData.h"

#include "engine/Dates.h"

#include "platform/core/Cp949.h"
#include "platform/core/FileTransaction.h"
#include "platform/core/FolderLock.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace kestrelan {

bool isStockCode(std::string_view code)
{
    // Spelled out rather than isalnum, whose answer for bytes above 127 depends on the locale.
    const auto letterOrDigit
        = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    return code.size() == stockCodeSize && std::all_of(code.begin(), code.end(), letterOrDigit);
}

std::filesystem::path priceFilePath(const std::filesystem::path& programDir, std::string_view code)
{
    return programDir / "StockData" / (std::string(code) + ".real");
}

std::int32_t parsePriceRecord(std::string_view record) { return atoiField(record.substr(0, priceRecordSize - 1)); }

std::string priceRecordBytes(std::int32_t number, PriceRecordAs as)
{
    std::string text = format(as == PriceRecordAs::Date || number >= firstDateValue ? "%d" : " %d", number);
    text.resize(priceRecordSize - 1, ' ');
    text.push_back('\r');
    return text;
}

// Price records never hold a CR LF pair (each ends in a lone CR before the next record's first
// character), so the text-mode reads of 14 characters are plain 14-byte reads.
PriceFile PriceFile::fromBytes(std::string_view bytes)
{
    constexpr std::size_t maxRecords = std::numeric_limits<std::int32_t>::max() / priceRecordSize;
    const std::size_t count = bytes.size() / priceRecordSize;
    if (count > maxRecords)
        throw std::runtime_error("price file too large: " + std::to_string(bytes.size()) + " bytes");
    PriceFile file;
    file.numbers.resize(count);
    const char* p = bytes.data();
    for (std::size_t i = 0; i < count; ++i, p += priceRecordSize)
        file.numbers[i] = parsePriceRecord(std::string_view(p, priceRecordSize));
    file.trailing = static_cast<std::int32_t>(bytes.size() % priceRecordSize);
    return file;
}

std::optional<PriceFile> PriceFile::load(const std::filesystem::path& path)
{
    auto bytes = readWholeFile(path, priceFileLimit);
    if (!bytes)
        return std::nullopt;
    try {
        return fromBytes(*bytes);
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(path.string() + ": " + e.what());
    }
}

namespace {

std::array<char, 7> fieldText(std::string_view field)
{
    std::array<char, 7> text{};
    std::memcpy(text.data(), field.data(), std::min<std::size_t>(field.size(), 6));
    return text;
}

} // namespace

IndexFile IndexFile::fromBytes(std::string bytes)
{
    IndexFile file;
    TextReader reader(std::move(bytes));
    std::size_t wholeEnd = 0; // the byte after the last whole record
    forEachRecord(reader, indexRecordSize, [&](const std::string& rec) {
        wholeEnd = reader.tell();
        IndexRecord r;
        r.date = atoiField(std::string_view(rec).substr(0, 8));
        r.startText = fieldText(std::string_view(rec).substr(8, 6));
        r.dayText = fieldText(std::string_view(rec).substr(14, 6));
        r.startValue = atoiField(std::string_view(rec).substr(8, 6));
        r.dayValue = atoiField(std::string_view(rec).substr(14, 6));
        if (!file.list.empty() && r.date <= file.list.back().date)
            file.sorted = false;
        file.list.push_back(r);
    });
    file.trailing = reader.size() - wholeEnd;
    return file;
}

std::optional<IndexFile> IndexFile::load(const std::filesystem::path& path)
{
    auto bytes = readWholeFile(path, marketListLimit);
    if (!bytes)
        return std::nullopt;
    return fromBytes(std::move(*bytes));
}

std::optional<std::int32_t> readLastIndexDate(const std::filesystem::path& path, std::string* problem)
{
    const auto file = IndexFile::load(path);
    if (!file)
        return std::nullopt;
    const auto& records = file->records();
    // The last whole record whose date is a day; a cut or damaged end is passed over, and said.
    for (std::size_t i = records.size(); i-- > 0;) {
        if (!isCalendarDate(records[i].date))
            continue;
        if (problem && (file->trailingBytes() > 0 || i + 1 < records.size()))
            *problem = format("kospi.lst의 끝부분이 손상되어 있어 %s까지의 자료로 기본 기간을 정합니다.",
                              dateText(records[i].date).c_str());
        return records[i].date;
    }
    return std::nullopt;
}

std::vector<std::string> parseCodeList(std::string bytes)
{
    std::vector<std::string> entries;
    TextReader reader(std::move(bytes));
    forEachRecord(reader, codeRecordSize, [&](const std::string& rec) {
        std::string entry = rec.substr(0, stockEntrySize);
        if (const auto nul = entry.find('\0'); nul != std::string::npos)
            entry.resize(nul);
        entries.push_back(std::move(entry));
    });
    return entries;
}

std::optional<std::vector<std::string>> loadCodeList(const std::filesystem::path& path)
{
    auto bytes = readWholeFile(path, marketListLimit);
    if (!bytes)
        return std::nullopt;
    return parseCodeList(std::move(*bytes));
}

std::string_view entryCode(std::string_view entry) { return entry.substr(0, std::min(entry.size(), stockCodeSize)); }

std::string_view entryName(std::string_view entry)
{
    constexpr std::size_t nameStart = stockCodeSize + 1;
    return entry.size() > nameStart ? entry.substr(nameStart, stockNameSize) : std::string_view();
}

std::string indexRecordBytes(std::int32_t date, std::int32_t startHundredths, std::int32_t dayHundredths)
{
    if (date < 0 || date > 99999999 || startHundredths < -99999 || startHundredths > 999999 || dayHundredths < -99999
        || dayHundredths > 999999)
        throw std::invalid_argument(
            format("an index record cannot hold %d %d %d", date, startHundredths, dayHundredths));
    return format("%8d%6d%6d\n", date, startHundredths, dayHundredths);
}

std::string codeRecordBytes(std::string_view code, std::string_view nameCp949)
{
    return padBytes(code, stockCodeSize) + ' ' + padBytes(nameCp949, stockNameSize) + '\n';
}

void recoverMarketFiles(const std::filesystem::path& dir)
{
    if (const auto lock = FolderLock::tryAcquire(dir))
        FileTransaction::recover(dir, std::string(importTag));
}

bool holdsMarketFiles(const std::filesystem::path& dir)
{
    std::error_code ec;
    for (const char* name : {"kospi.lst", "code.lst"})
        if (std::filesystem::exists(std::filesystem::symlink_status(dir / name, ec)))
            return true;
    const auto stockData = dir / "StockData";
    return std::filesystem::is_directory(stockData, ec) && !std::filesystem::is_empty(stockData, ec);
}

} // namespace kestrelan
