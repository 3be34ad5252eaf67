#pragma once
// The engine's state for one run: a slot per portfolio stock with its conditions, prices,
// holdings and totals for the current fund, the grid each stock trades on, the started flags, the
// open logs and the loaded price files.

#include "engine/GridPosition.h"
#include "engine/MarketData.h"
#include "engine/PriceWalk.h"
#include "engine/Records.h"
#include "engine/RunResult.h"
#include "engine/SimParams.h"
#include "formats/RunHistory.h"
#include "platform/core/Sinks.h"
#include "platform/core/TextFile.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace kestrelan {

/// Where a run reads and writes, and what it shows.
struct RunContext
{
    std::filesystem::path workDir = ".";    // kospi.lst, SimItem.lst, ksp.txt, the result files
    std::filesystem::path programDir = "."; // holds StockData/<code>.real (marketFolders decides)
    bool programDirGiven = false;           // by the user (--program-dir), rather than the program's folder
    IMessageSink* messages = nullptr;       // required
    IProgressSink* progress = nullptr;      // optional
    int threads = 0;                        // workers for a fund series; 0: one per core
    WalkMode walk = WalkMode::Skipping;     // the plain walk for comparisons and measurements
    WalkCounts* counts = nullptr;           // optional: adds what the rebalancing did
    int runsKept = defaultRunsKept;         // finished runs kept in history/, at least the newest
};

/// The engine of one run.
class CSimEngine
{
public:
    CSimEngine() = default;
    explicit CSimEngine(RunContext context)
        : context(std::move(context))
    {
    }
    virtual ~CSimEngine() = default;

    /// One simulation: checks the settings, reads SimItem.lst, builds the fund calendar, replays
    /// every fund and writes the result files into the working folder. The result says it
    /// finished, or that it stopped after one message and why (a setting validate refuses, a
    /// missing price file, more than maxStocks stocks, a file that cannot be written, any failure
    /// on the way). Throws nothing.
    RunResult runSimulation(const SimParams& params);
    CSimEngine(const CSimEngine&) = delete;
    CSimEngine& operator=(const CSimEngine&) = delete;

    /// The stock's opening position for the fund starting at its slot's sDate: reads the start
    /// price from the date record at byte `pos`, buys (or, in share-count mode, sells down to) the
    /// kept shares and lays out the grid. 0: trade from now on; -1: the stock sits out the fund.
    int initialPurchase(InvestMode investMode, int stock, std::int32_t pos, bool logEnabled, double commission,
                        bool includeTax);

    /// Walks the stock's prices from byte `pos` up to the day `until` and trades on its grid, as
    /// `walk` says; `valuation` (optional) gets the stock's value at the end of each of its days.
    /// Returns the position of the first date record after `until`, or endOfData.
    std::int32_t rebalance(InvestMode investMode, int stock, std::int32_t until, std::int32_t pos, bool includeTax,
                           bool logEnabled, double commission, DayValuation* valuation = nullptr);

    RunContext context;

    // Slots and flags start zeroed: a slot the run never fills has firstVol 0 and writes nothing.
    std::array<StockSlot, maxStocks> slots{};
    std::array<Grid, maxStocks> grids{};
    std::array<std::int32_t, maxStocks> stockStarted{};
    TextWriter tradeLog;   // trade.csv, single-fund mode only
    TextWriter closingLog; // closing.csv, single-fund mode only
    std::array<const PriceFile*, maxStocks> priceFile{};
    WalkMode walk = WalkMode::Skipping; // how rebalance goes through the prices
    const DatedRules* rules = &designDatedRules(); // the market's rules by day
    std::array<std::span<const Dividend>, maxStocks> dividends{}; // per stock, when a run pays them
    std::array<double, maxStocks> dividendsPaid{};                // in the current fund, after tax
    WalkCounts counts;                  // what rebalance did on this engine (recordsCovered aside)

private:
    void writeDayLogs(const StockSlot& s, std::int32_t day, const std::vector<SplitNote>& splits,
                      const std::vector<DividendNote>& paid, const GridPosition& position);
    void writeTrade(const std::string& line);
};

} // namespace kestrelan
