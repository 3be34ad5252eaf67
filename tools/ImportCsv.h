#pragma once
// Building the program's market files from daily price CSV files, the common export layout of
// data services, brokers and the exchange: one <code>.csv (or .txt, .tsv; any letter case) per
// stock with a header naming the date and the close and optionally the open, high and low (in
// English or Korean: Date/일자/날짜, Close/종가/현재가, ...), comma or TAB separated, in UTF-8 or
// CP949; an index file of the same kind (Date, Close, optionally Open) and a names file
// (code,name).
//
// A day of a price file becomes its date record, the base price (the previous close, or on a
// split day the previous close divided by the split ratio; the first day: its open, else its
// close), then an intraday path: the open, the extreme nearer to it, the other extreme, the
// close, each rounded to the nearest tick of its price band, repeated values dropped but at
// least one kept. An update continues from what the market holds: the first new day's base is
// the last close stored in the price file and the first new index day opens at the stored last
// close, so an update and its merge leave the same files as one import of every day.
//
// The market is held exclusively (MarketAccess) from before anything of it is read to the end of
// the commit. Every file, the import report among them, is staged and put in place together, or
// not at all, so bad input leaves the target as it was. An update compares the days its files
// share with the stored ones and stops before writing anything where they disagree (a re-adjusted
// export); a full import sets a waiting Update.new aside, since it no longer fits the market.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelan {

/// The report an import leaves beside the market it wrote.
constexpr std::string_view importReportFileName = "import-report.txt";

struct ImportOptions
{
    std::filesystem::path prices; // folder of <code>.csv, .txt or .tsv
    std::filesystem::path index;
    std::filesystem::path names;
    std::filesystem::path out;
    double multiplier = 1.0; // prices are multiplied by it
    double indexScale = 1.0; // index points are multiplied by it
    std::int32_t from = 0;   // yyyymmdd, 0: no limit
    std::int32_t to = 99991231;
    std::optional<std::filesystem::path> splits; // code,date,ratio
    std::optional<std::filesystem::path> dividends; // code,ex_date,won_per_share: the market's dividends.csv
    bool update = false;                         // write Update.new for the days after the stored ones
    /// For an update: the folder whose StockData/ holds the stored price files, as a run and the
    /// merge choose it (marketFolders): `out` when it holds its own, else this (--program-dir),
    /// else defaultProgramDir (the program's folder; empty: `out`).
    std::optional<std::filesystem::path> programDir;
    std::filesystem::path defaultProgramDir;
    double waitSeconds = 0;        // for a market another program holds
    std::function<void()> waiting; // called once when that wait begins
};

/// A problem with the input, naming the file and line.
class ImportError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// An overnight move that looks like a split the prices were not adjusted for.
struct SplitHint
{
    std::int32_t date = 0;        // the day the close jumped
    std::int32_t closeBefore = 0; // the previous close (won, on the tick)
    std::int32_t close = 0;
    double ratio = 0; // what --splits would take: the previous close over the new one, rounded
};

/// What the import found in one stock's file.
struct StockReport
{
    std::string code;
    std::string file;     // its name in the prices folder
    std::string encoding; // "UTF-8" or "CP949"
    bool turned = false;  // written newest first
    std::int32_t first = 0, last = 0;
    std::vector<std::int32_t> missing; // index days between first and last without a row
    std::vector<std::int32_t> offIndex; // rows on days the index does not hold
    std::vector<SplitHint> splits;
};

struct ImportSummary
{
    int stocks = 0;
    int indexDays = 0;
    std::int64_t priceRecords = 0;
    std::vector<StockReport> stockReports;
    std::vector<std::string> notes; // rows before the first market date, skipped files, cut names, ...
    bool rangeTableWritten = false; // the target had no ksp.txt and got the sample table
    std::string report;             // the whole report as printed (UTF-8, "\n" line ends)
};

/// Runs the import; throws ImportError (nothing written) for bad input.
ImportSummary importCsv(const ImportOptions& options);

/// A price in won rounded to the nearest tick of the band of the unrounded price.
std::int32_t roundToTick(double price);

/// The intraday path of a day: open, nearer extreme, other extreme, close, repeats dropped.
std::vector<std::int32_t> intradayPath(std::optional<std::int32_t> open, std::optional<std::int32_t> high,
                                       std::optional<std::int32_t> low, std::int32_t close);

/// yyyymmdd from YYYY-MM-DD, YYYY/MM/DD, YYYY.MM.DD or YYYYMMDD, optionally followed by a blank
/// or 'T' and a time of day; nullopt for anything else and for a day the calendar does not have.
std::optional<std::int32_t> parseCsvDate(std::string_view text);

/// A number as exports write it: digits with an optional fraction and sign, commas only between
/// groups of three ("27,860" but not "50000,0"); nullopt for anything else (0x10, 1e3, inf).
std::optional<double> parseCsvNumber(std::string_view text);

} // namespace kestrelan
