#pragma once
// Building the program's market files from daily price CSV files, the common export layout of
// data services and brokers: one <code>.csv per stock with a header naming Date and Close and
// optionally Open, High, Low, Volume (comma or TAB separated, dates as YYYY-MM-DD, YYYYMMDD or
// YYYY/MM/DD), an index CSV (Date, Close, optionally Open) and a names CSV (code,name in UTF-8).
//
// A day of a price file becomes its date record, the base price (the previous close, or on a
// split day the previous close divided by the split ratio; the first day: its open, else its
// close), then an intraday path: the open, the extreme nearer to it, the other extreme, the
// close, each rounded to the nearest tick of its price band, repeated values dropped but at
// least one kept. Everything is written into a scratch folder and moved into place only when
// every file is complete, so bad input leaves the target as it was.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrelan {

struct ImportOptions
{
    std::filesystem::path prices; // folder of <code>.csv
    std::filesystem::path index;
    std::filesystem::path names;
    std::filesystem::path out;
    double multiplier = 1.0;
    std::int32_t from = 0; // yyyymmdd, 0: no limit
    std::int32_t to = 99991231;
    std::optional<std::filesystem::path> splits; // code,date,ratio
    bool update = false;                         // write Update.new for the days after the stored ones
};

/// A problem with the input, naming the file and line.
class ImportError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct ImportSummary
{
    int stocks = 0;
    int indexDays = 0;
    std::int64_t priceRecords = 0;
    std::vector<std::string> notes; // names cut to 20 bytes, stocks without a name, ...
};

/// Runs the import; throws ImportError (nothing written) for bad input.
ImportSummary importCsv(const ImportOptions& options);

/// A price in won rounded to the nearest tick of the band of the unrounded price.
std::int32_t roundToTick(double price);

/// The intraday path of a day: open, nearer extreme, other extreme, close, repeats dropped.
std::vector<std::int32_t> intradayPath(std::optional<std::int32_t> open, std::optional<std::int32_t> high,
                                       std::optional<std::int32_t> low, std::int32_t close);

/// yyyymmdd from YYYY-MM-DD, YYYYMMDD or YYYY/MM/DD; nullopt for anything else.
std::optional<std::int32_t> parseCsvDate(std::string_view text);

} // namespace kestrelan
