#pragma once
// The market data files. Every format is fixed-width bytes, and the record sizes are part of
// each format: positions are record index x record size.
//
//   StockData/<code>.real  14-byte price records: a number left-aligned in 13 characters and a CR.
//                          A date (yyyymmdd, >= 19000000) opens each trading day; the values
//                          (" %d", below 19000000) follow: first the day's base price, which is
//                          never traded on, then the day's prices in time order.
//   kospi.lst              21-byte records: date (8), startIndex (6), dayIndex (6), a line end.
//                          Index values are hundredths of a point.
//   code.lst               28-byte records: the 27-byte stock entry (code, separator, name
//                          padded to 20 bytes) and a line end.

#include "engine/PriceIndex.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelan {

constexpr std::int32_t priceRecordSize = 14;
constexpr std::int32_t indexRecordSize = 21;
constexpr std::int32_t codeRecordSize = 28;
constexpr std::int32_t stockEntrySize = 27;
/// Numbers at or above this are written as dates, below it as values.
constexpr std::int32_t firstDateValue = 19000000;
/// Bytes of a stock code: the first field of every stock entry.
constexpr std::size_t stockCodeSize = 6;
/// Bytes of a stock name (CP949): the entry's last field, after the code and a separator.
constexpr std::size_t stockNameSize = 20;
static_assert(stockCodeSize + 1 + stockNameSize == stockEntrySize);

/// True for exactly six ASCII letters or digits. A code names its price file below StockData,
/// so it must never carry a path separator, a dot or anything else a path gives meaning to; and
/// a stock entry holds a six-byte code, so a code of another length names no listed stock.
bool isStockCode(std::string_view code);

/// StockData/<code>.real below the program folder: the one place a price file's name is made.
std::filesystem::path priceFilePath(const std::filesystem::path& programDir, std::string_view code);

/// The number a price record holds: atoi of its first 13 characters (the CR ends the text).
std::int32_t parsePriceRecord(std::string_view record);

/// How a price record writes its number: by its value ("%d" at or above firstDateValue, " %d"
/// below), or as a date whatever the value ("%d"; the update's date-only block writes its date so).
enum class PriceRecordAs
{
    ByValue,
    Date
};
/// The 14 bytes of a price record: the number's text, blanks to 13, then CR. A text longer than
/// 13 characters is cut to 13.
std::string priceRecordBytes(std::int32_t number, PriceRecordAs as = PriceRecordAs::ByValue);

/// The numbers of `count` whole price records at `bytes` into `out`: for every record exactly
/// what parsePriceRecord gives, without a pass per character for the usual records (a blank or
/// none, then up to eight digits).
void parsePriceRecords(const char* bytes, std::size_t count, std::int32_t* out);

/// One stock's price file, loaded and parsed once, with its day index. Record i lies at byte
/// i x 14; a truncated last record is not a record (a short read ends every reader).
class PriceFile
{
public:
    PriceFile() = default;
    /// nullopt when the file cannot be opened. The file is mapped, not copied: the numbers and
    /// the day index are all it keeps. Throws FileTooLarge for a file too large for 32-bit byte
    /// positions, std::bad_alloc when the memory cannot hold it.
    static std::optional<PriceFile> load(const std::filesystem::path& path);
    static PriceFile fromBytes(std::string_view bytes);

    std::int32_t recordCount() const { return static_cast<std::int32_t>(numbers.size()); }
    /// The number in record i (0 <= i < recordCount()).
    std::int32_t value(std::int32_t i) const { return numbers[static_cast<std::size_t>(i)]; }
    std::span<const std::int32_t> values() const { return numbers; }
    /// Bytes beyond the last whole record (0 for a sound file).
    std::int32_t trailingBytes() const { return trailing; }
    const PriceIndex& index() const { return days; }
    /// Keeps the first `count` records and indexes them anew (a damaged tail left out).
    void keepFirst(std::int32_t count);
    /// Bytes the numbers and the index hold in memory.
    std::size_t memoryBytes() const { return numbers.size() * sizeof(std::int32_t) + days.bytes(); }

private:
    std::vector<std::int32_t> numbers;
    std::int32_t trailing = 0;
    PriceIndex days;
};

/// The price files of the stock codes below programDir/StockData, several at once. In code
/// order, as one file after another would be read: the first file that cannot be opened (or a
/// code that names no price file) is nullopt and ends the list; the first exception (FileTooLarge,
/// std::bad_alloc) is thrown. `threads` 0: one per core.
std::vector<std::optional<PriceFile>> loadPriceFiles(const std::filesystem::path& programDir,
                                                     const std::vector<std::string>& codes, int threads = 0);

/// One record of kospi.lst. The index fields are kept as the 6-character texts the calendar copies
/// into date.lst (up to a NUL, as C strings would hold them) and as their values.
struct IndexRecord
{
    std::int32_t date = 0;
    std::array<char, 7> startText{};
    std::array<char, 7> dayText{};
    std::int32_t startValue = 0;
    std::int32_t dayValue = 0;
};

/// Index points from hundredths, in single precision as the index files are read.
inline float indexPoints(std::int32_t hundredths) { return static_cast<float>(hundredths) * 0.01f; }

/// kospi.lst: one record per trading day, read 21 characters at a time until a short read.
class IndexFile
{
public:
    static std::optional<IndexFile> load(const std::filesystem::path& path);
    static IndexFile fromBytes(std::string bytes);

    const std::vector<IndexRecord>& records() const { return list; }
    /// Keeps the first `count` records (a damaged tail left out).
    void keepFirst(std::size_t count);
    /// True when the dates ascend strictly (a sound file); readers may then search.
    bool ascending() const { return sorted; }
    /// Bytes after the last whole record: a record cut short (0 for a sound file).
    std::size_t trailingBytes() const { return trailing; }

private:
    std::vector<IndexRecord> list;
    bool sorted = true;
    std::size_t trailing = 0;
};

/// The date of kospi.lst's last whole record, which gives the default period. nullopt when the
/// file is missing or holds no whole record whose date is a calendar date. `problem` (when
/// given) receives a Korean note when the file is cut short or its last record is not a day, so
/// the caller can say from which record the period comes.
std::optional<std::int32_t> readLastIndexDate(const std::filesystem::path& path, std::string* problem = nullptr);

/// The largest kospi.lst and code.lst a reader takes (each hundreds of years of days or stocks).
constexpr std::size_t marketListLimit = std::size_t(16) << 20;
/// The largest price file: its positions are 32-bit.
constexpr std::size_t priceFileLimit
    = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() / priceRecordSize) * priceRecordSize;

/// code.lst: the 27-byte stock entries in file order. nullopt when it cannot be opened.
std::optional<std::vector<std::string>> loadCodeList(const std::filesystem::path& path);
std::vector<std::string> parseCodeList(std::string bytes);

/// The stock code of an entry (its first 6 bytes) and its name (bytes 8-27).
std::string_view entryCode(std::string_view entry);
std::string_view entryName(std::string_view entry);

/// Serialisers for the supplied files, used by the sample market and the CSV import.
std::string indexRecordBytes(std::int32_t date, std::int32_t startHundredths, std::int32_t dayHundredths);
/// A code.lst record for a code and a CP949 name (cut on a character boundary, padded to 20).
std::string codeRecordBytes(std::string_view code, std::string_view nameCp949);

/// The part of a market file that keeps to its format's rules, and what follows it. A crash can
/// leave a file's end cut inside a record, or filled with NUL bytes; an update appended twice
/// leaves dates that go back. Every reader of kospi.lst, code.lst and the price files takes the
/// same sound part: a run reads it (a lone cut record silently, as ever; anything more with a
/// note), `import-csv --update` and the merge cut the rest away with a note before they add to
/// the file, and dates that go back stop the run and the update with a message (the days after
/// them may be the user's and are never cut).
struct SoundPart
{
    std::size_t records = 0;     ///< whole records from the start that keep to the rules
    std::size_t total = 0;       ///< whole records in the file
    std::size_t cutBytes = 0;    ///< bytes after the last whole record
    bool backwards = false;      ///< the record after the sound part is a date not after the one before it
    std::int32_t dateAfter = 0;  ///< that record's date (when backwards)
    std::int32_t dateBefore = 0; ///< the last date before it (when backwards)
    /// Records left out beyond a lone cut record.
    bool damaged() const { return records < total; }
};

/// kospi.lst: records whose dates are calendar dates, each after the one before.
SoundPart soundPart(const IndexFile& file);
/// A price file: everything but zero records at its end (NUL bytes or blanks hold no number),
/// and no day from the first whose date does not come after the day before.
SoundPart soundPart(const PriceFile& file);
/// code.lst's bytes: everything but entries at its end that hold only NUL bytes or blanks.
SoundPart soundCodeList(std::string_view bytes);

/// What a reader says of a damaged file (`name` as the user knows it): "<name>의 N번째
/// 레코드부터 끝까지 ...". Empty when nothing beyond a lone cut record is left out.
std::string damageNote(std::string_view name, const SoundPart& part);
/// What stops a run or an update on a file whose dates go back, with what to do.
std::string backwardsMessage(std::string_view name, const SoundPart& part);

/// The tag of an import's commit of the market files (FileTransaction).
constexpr std::string_view importTag = "import";

/// Finishes (or undoes) an import's commit of the market files in `dir` that a kill interrupted,
/// and clears what a finished merge left, as MarketAccess::open does for a market whose working
/// folder and price folder `dir` is; nothing when another program holds it (the holder does it).
void recoverMarketFiles(const std::filesystem::path& dir);

/// Whether `dir` holds any part of a market: kospi.lst or code.lst (a dangling link included) or
/// a StockData folder with anything in it. Generated markets are never written over one.
bool holdsMarketFiles(const std::filesystem::path& dir);

} // namespace kestrelan
