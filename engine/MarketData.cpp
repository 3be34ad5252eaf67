#include "engine/MarketData.h"

#include "engine/Dates.h"

#include "platform/core/Cp949.h"
#include "platform/core/FileTransaction.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

constexpr std::int64_t atoiLimit = std::int64_t{1} << 31;

// atoi of the 13 characters before the CR, character by character: leading blanks, a sign,
// digits up to the first other character (a NUL ends the text as it ends a C string).
std::int32_t parseRecordSlowly(const char* r)
{
    constexpr int field = priceRecordSize - 1;
    int i = 0;
    while (i < field && (r[i] == ' ' || (r[i] >= '\t' && r[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < field && (r[i] == '+' || r[i] == '-')) {
        negative = r[i] == '-';
        ++i;
    }
    std::int64_t v = 0; // thirteen digits at most: no overflow
    for (; i < field && r[i] >= '0' && r[i] <= '9'; ++i)
        v = v * 10 + (r[i] - '0');
    if (negative)
        return v >= atoiLimit ? std::numeric_limits<std::int32_t>::min() : static_cast<std::int32_t>(-v);
    return v >= atoiLimit ? std::numeric_limits<std::int32_t>::max() : static_cast<std::int32_t>(v);
}

bool isDigit(char c) { return static_cast<unsigned char>(c) - 48u <= 9u; }

// The usual records, a date ("20040105     ") or a price (" 12345       "): a blank or none, then
// one to eight digits and a character that is not one. Eight bytes are taken at once; the run of
// digits is found and converted without a loop. Everything else goes character by character.
std::int32_t parseRecord(const char* r)
{
    const int start = r[0] == ' ' ? 1 : 0;
    if (!isDigit(r[start]))
        return parseRecordSlowly(r);
    std::uint64_t w;
    std::memcpy(&w, r + start, sizeof w); // r[start] first, in the lowest byte
    constexpr std::uint64_t highNibbles = 0xF0F0F0F0F0F0F0F0ull;
    constexpr std::uint64_t zeros = 0x3030303030303030ull;
    // A byte is a digit when its high nibble is 3 before and after adding 6; a carry out of a
    // byte that is not a digit can only spoil the bytes after it, which are not read.
    const std::uint64_t others = ((w & highNibbles) ^ zeros) | (((w + 0x0606060606060606ull) & highNibbles) ^ zeros);
    const int digits = others == 0 ? 8 : std::countr_zero(others) / 8;
    if (digits == 8 && isDigit(r[start + 8]))
        return parseRecordSlowly(r);
    // The digits moved to the top bytes behind '0's, then eight digits converted at once.
    std::uint64_t v = w << (8 * (8 - digits));
    if (digits < 8)
        v |= zeros >> (8 * digits);
    v -= zeros;
    v = v * 10 + (v >> 8);
    constexpr std::uint64_t pairs = 0x000000FF000000FFull;
    v = ((v & pairs) * (100 + (1000000ull << 32)) + ((v >> 16) & pairs) * (1 + (10000ull << 32))) >> 32;
    return static_cast<std::int32_t>(v);
}

} // namespace

void parsePriceRecords(const char* bytes, std::size_t count, std::int32_t* out)
{
    for (std::size_t i = 0; i < count; ++i, bytes += priceRecordSize)
        out[i] = parseRecord(bytes);
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
    parsePriceRecords(bytes.data(), count, file.numbers.data());
    file.days = PriceIndex::build(file.numbers);
    file.trailing = static_cast<std::int32_t>(bytes.size() % priceRecordSize);
    return file;
}

namespace {

// A price file shortened by another process while it is mapped (a merge of Update.new from
// another working folder) would end this one with SIGBUS at the first page past its new end. The
// parse of a mapped file jumps out instead, and the file is read again the ordinary way.
thread_local sigjmp_buf* busJump = nullptr;
struct sigaction previousBus
{
};

void onBus(int, siginfo_t*, void*)
{
    if (busJump)
        siglongjmp(*busJump, 1);
    // Not a mapped price file: the fault comes again under what was there before.
    sigaction(SIGBUS, &previousBus, nullptr);
}

void guardBus()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action
        {
        };
        action.sa_sigaction = onBus;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &previousBus);
    });
}

// Records parsed and indexed at a time: a multiple of the page size and of 14 bytes. The pages
// of a piece are let go once it is parsed, so the file never stays in the process's memory.
std::size_t pieceBytes()
{
    static const std::size_t bytes = 7 * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)) * 32;
    return bytes;
}

// Parses the mapped records into `out` and indexes them; false when a page of the mapping went
// missing on the way.
bool parseMapped(const char* map, std::size_t count, std::int32_t* out, PriceIndex::Builder& builder)
{
    sigjmp_buf jump;
    if (sigsetjmp(jump, 1) != 0) {
        busJump = nullptr;
        return false;
    }
    busJump = &jump;
    try {
        const std::size_t piece = pieceBytes() / priceRecordSize;
        for (std::size_t first = 0; first < count; first += piece) {
            const std::size_t n = std::min(piece, count - first);
            const char* bytes = map + first * priceRecordSize;
            parsePriceRecords(bytes, n, out + first);
            builder.add(std::span<const std::int32_t>(out + first, n));
            ::madvise(const_cast<char*>(bytes), n * priceRecordSize, MADV_DONTNEED);
        }
    } catch (...) {
        busJump = nullptr;
        throw;
    }
    busJump = nullptr;
    return true;
}

std::optional<PriceFile> readPriceFile(const std::filesystem::path& path)
{
    auto bytes = readWholeFile(path, priceFileLimit);
    if (!bytes)
        return std::nullopt;
    try {
        return PriceFile::fromBytes(*bytes);
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(path.string() + ": " + e.what());
    }
}

struct Descriptor
{
    int fd;
    ~Descriptor() { ::close(fd); }
};

struct Mapping
{
    void* address;
    std::size_t size;
    ~Mapping() { ::munmap(address, size); }
};

} // namespace

std::optional<PriceFile> PriceFile::load(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    const Descriptor file{fd};
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < priceRecordSize)
        return readPriceFile(path); // a pipe or device, or no whole record: read as it comes
    const auto size = static_cast<std::size_t>(st.st_size);
    void* address = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (address == MAP_FAILED) {
        if (errno == ENOMEM)
            throw std::bad_alloc(); // the address space cannot hold the file
        return readPriceFile(path);
    }
    const Mapping mapping{address, size};
    if (size > priceFileLimit)
        throw FileTooLarge(path, priceFileLimit);
    ::madvise(address, size, MADV_SEQUENTIAL);

    const std::size_t count = size / priceRecordSize;
    PriceFile prices;
    prices.numbers.resize(count);
    PriceIndex::Builder builder(count);
    guardBus();
    if (!parseMapped(static_cast<const char*>(address), count, prices.numbers.data(), builder))
        return readPriceFile(path);
    prices.days = builder.finish();
    prices.trailing = static_cast<std::int32_t>(size % priceRecordSize);
    return prices;
}

void PriceFile::keepFirst(std::int32_t count)
{
    if (count >= recordCount())
        return;
    numbers.resize(static_cast<std::size_t>(std::max(count, 0)));
    days = PriceIndex::build(numbers);
    trailing = 0;
}

std::vector<std::optional<PriceFile>> loadPriceFiles(const std::filesystem::path& programDir,
                                                     const std::vector<std::string>& codes, int threads)
{
    std::vector<std::optional<PriceFile>> files(codes.size());
    std::vector<std::exception_ptr> failures(codes.size());
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t k = next++; k < codes.size(); k = next++) {
            try {
                if (isStockCode(codes[k]))
                    files[k] = PriceFile::load(priceFilePath(programDir, codes[k]));
            } catch (...) {
                failures[k] = std::current_exception();
            }
        }
    };
    const unsigned cores = threads > 0 ? static_cast<unsigned>(threads) : std::thread::hardware_concurrency();
    std::vector<std::thread> workers;
    try {
        for (unsigned t = 1; t < std::min<std::size_t>(std::max(cores, 1u), codes.size()); ++t)
            workers.emplace_back(work);
    } catch (const std::system_error&) {
        // fewer threads: this one loads the rest
    }
    work();
    for (auto& w : workers)
        w.join();
    // As one file after another: the first that fails ends the list.
    for (std::size_t k = 0; k < codes.size(); ++k) {
        if (failures[k])
            std::rethrow_exception(failures[k]);
        if (!files[k]) {
            files.resize(k + 1);
            break;
        }
    }
    return files;
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

void IndexFile::keepFirst(std::size_t count)
{
    if (count >= list.size())
        return;
    list.resize(count);
    trailing = 0;
    sorted = std::adjacent_find(list.begin(), list.end(),
                                [](const IndexRecord& a, const IndexRecord& b) { return a.date >= b.date; })
        == list.end();
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
    const SoundPart part = soundPart(*file);
    if (part.records == 0)
        return std::nullopt;
    // The last record of the sound part; a cut or damaged end is passed over, and said.
    const std::int32_t last = file->records()[part.records - 1].date;
    if (problem && (part.damaged() || part.cutBytes > 0))
        *problem = format("kospi.lst의 끝부분이 손상되어 있어 %s까지의 자료로 기본 기간을 정합니다.",
                          dateText(last).c_str());
    return last;
}

std::vector<std::string> parseCodeList(std::string bytes)
{
    std::vector<std::string> entries;
    const std::size_t sound = soundCodeList(bytes).records;
    TextReader reader(std::move(bytes));
    forEachRecord(reader, codeRecordSize, [&](const std::string& rec) {
        std::string entry = rec.substr(0, stockEntrySize);
        if (const auto nul = entry.find('\0'); nul != std::string::npos)
            entry.resize(nul);
        if (entries.size() < sound)
            entries.push_back(std::move(entry));
    });
    return entries;
}

SoundPart soundPart(const IndexFile& file)
{
    SoundPart part;
    const auto& records = file.records();
    part.total = records.size();
    part.cutBytes = file.trailingBytes();
    while (part.records < records.size()) {
        const std::int32_t date = records[part.records].date;
        if (!isCalendarDate(date))
            break;
        if (part.records > 0 && date <= records[part.records - 1].date) {
            part.backwards = true;
            part.dateAfter = date;
            part.dateBefore = records[part.records - 1].date;
            break;
        }
        ++part.records;
    }
    return part;
}

SoundPart soundPart(const PriceFile& file)
{
    SoundPart part;
    part.total = static_cast<std::size_t>(file.recordCount());
    part.cutBytes = static_cast<std::size_t>(file.trailingBytes());
    std::int32_t end = file.recordCount();
    while (end > 0 && file.value(end - 1) == 0)
        --end;
    const PriceIndex& days = file.index();
    if (!days.ascending()) {
        for (std::size_t k = 1; k < days.dayCount(); ++k) {
            if (days.day(k).date > days.day(k - 1).date)
                continue;
            if (days.day(k).at < end) {
                end = days.day(k).at;
                part.backwards = true;
                part.dateAfter = days.day(k).date;
                part.dateBefore = days.day(k - 1).date;
            }
            break;
        }
    }
    part.records = static_cast<std::size_t>(end);
    return part;
}

SoundPart soundCodeList(std::string_view bytes)
{
    SoundPart part;
    TextReader reader{std::string(bytes)};
    std::size_t wholeEnd = 0;
    forEachRecord(reader, codeRecordSize, [&](const std::string& rec) {
        wholeEnd = reader.tell();
        ++part.total;
        const std::string_view entry = std::string_view(rec).substr(0, stockEntrySize);
        if (entry.find_first_not_of(std::string_view("\0 ", 2)) != std::string_view::npos)
            part.records = part.total;
    });
    part.cutBytes = reader.size() - wholeEnd;
    return part;
}

std::string damageNote(std::string_view name, const SoundPart& part)
{
    if (!part.damaged())
        return {};
    return format("%.*s의 %zu번째 레코드부터 끝까지(%zu개) 손상되어 있어 그 앞까지만 읽었습니다.",
                  static_cast<int>(name.size()), name.data(), part.records + 1, part.total - part.records);
}

std::string backwardsMessage(std::string_view name, const SoundPart& part)
{
    return format("%.*s의 %zu번째 레코드의 날짜(%s)가 그 앞의 날짜(%s)보다 늦지 않습니다. 같은 날들이 다시 붙은 "
                  "손상된 파일입니다. 백업에서 되살리거나, import-csv로 새 폴더에 시장을 다시 만드십시오.",
                  static_cast<int>(name.size()), name.data(), part.records + 1, dateText(part.dateAfter).c_str(),
                  dateText(part.dateBefore).c_str());
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
