#pragma once
// Where the desktop program works when it is started outside a market's folder (from the
// desktop's menu, in the home folder): ~/Kestrelan, and when that holds no market yet, the
// sample market or the user's daily price CSV files imported into it, as the user chooses.

#include "platform/core/Sinks.h"

#include <filesystem>
#include <optional>

namespace kestrelan {

/// What to do about a folder without a market.
enum class MarketStartChoice
{
    Sample,    // write the sample market
    ImportCsv, // import the user's daily price CSV files
    Quit
};

/// The daily price files an import reads (as `kestrelan-cli import-csv` takes them).
struct CsvFiles
{
    std::filesystem::path prices; // folder of <code>.csv
    std::filesystem::path index;
    std::filesystem::path names;
};

/// The desktop's questions: a window, or a test's script.
class IMarketStartUi
{
public:
    virtual ~IMarketStartUi() = default;
    /// Whether to write the sample market into `folder`, to import CSV files into it, or to quit.
    virtual MarketStartChoice choose(const std::filesystem::path& folder) = 0;
    /// The files to import; nullopt when the user cancelled.
    virtual std::optional<CsvFiles> pickCsvFiles() = 0;
};

/// True when `folder` holds a market to run on (its kospi.lst).
bool holdsMarket(const std::filesystem::path& folder);

/// Asks until `folder` holds a market or the user quits: the sample market (never written over
/// market files already there), or an import of the user's CSV files (its summary shown, the
/// report in import-report.txt). A failure is shown and asked again. Returns whether `folder`
/// holds a market.
bool offerMarket(const std::filesystem::path& folder, IMarketStartUi& ui, IMessageSink& messages);

/// The desktop program's working folder: `current` when it holds a market, else `home`
/// (~/Kestrelan), made and given a market by offerMarket when it has none. nullopt: the user quit.
std::optional<std::filesystem::path> desktopWorkingFolder(const std::filesystem::path& current,
                                                          const std::filesystem::path& home, IMarketStartUi& ui,
                                                          IMessageSink& messages);

} // namespace kestrelan
