#pragma once
// The engine's state for one run: a slot per portfolio stock with its conditions, prices,
// holdings and totals for the current fund, the price grid each stock trades on, the started
// flags, the open logs and the loaded price files.

#include "engine/MarketData.h"
#include "engine/Records.h"
#include "engine/SimParams.h"
#include "platform/core/Sinks.h"
#include "platform/core/TextFile.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

namespace kestrelan {

/// How the rebalancing goes through a day's prices. Both leave the same state and the same files.
enum class WalkMode
{
    /// Passes in constant time a stretch of prices none of which can trade, through the day
    /// index of the price file; walks the rest price by price.
    Skipping,
    /// Every price, one by one.
    Plain
};

/// What the rebalancing did, counted over every stock and fund of a run.
struct WalkCounts
{
    std::int64_t recordsCovered = 0; ///< from where each call began to where it stopped
    std::int64_t recordsWalked = 0;  ///< of those, the ones read one by one
    std::int64_t days = 0;           ///< days whose prices after the first check were reached
    std::int64_t daysPassed = 0;     ///< of those, the days passed whole
    std::int64_t blocks = 0;         ///< blocks of the days not passed whole
    std::int64_t blocksPassed = 0;   ///< of those, the blocks passed

    WalkCounts& operator+=(const WalkCounts& o)
    {
        recordsCovered += o.recordsCovered;
        recordsWalked += o.recordsWalked;
        days += o.days;
        daysPassed += o.daysPassed;
        blocks += o.blocks;
        blocksPassed += o.blocksPassed;
        return *this;
    }
};

/// The days at whose end a rebalancing walk adds the stock's value (its shares at the day's last
/// price plus its cash) to the fund's, so that a fund of a series is valued day by day in one walk
/// per stock. The value of each day is the one a walk stopped at that day would leave.
struct DayValuation
{
    const std::int32_t* dates = nullptr; ///< the fund's trading days
    std::size_t count = 0;
    std::size_t next = 0;     ///< the first day not yet valued
    double* values = nullptr; ///< one per day: the fund's value, the stocks before this one added
};

/// Where a run reads and writes, and what it shows.
struct RunContext
{
    std::filesystem::path workDir = ".";    // kospi.lst, SimItem.lst, ksp.txt, the result files
    std::filesystem::path programDir = "."; // holds StockData/<code>.real
    IMessageSink* messages = nullptr;       // required
    IProgressSink* progress = nullptr;      // optional
    int threads = 0;                        // workers for a fund series; 0: one per core
    WalkMode walk = WalkMode::Skipping;     // the plain walk for comparisons and measurements
    WalkCounts* counts = nullptr;           // optional: adds what the rebalancing did
};

/// runSimulation's result: the run finished, or it stopped after showing its message.
enum RunStatus : int
{
    runFinished = 0,
    runStopped = 1
};

/// The engine of one run.
class CSimEngine
{
public:
    using GridColumn = std::array<std::int32_t, gridLevels>;

    CSimEngine() = default;
    explicit CSimEngine(RunContext context)
        : context(std::move(context))
    {
    }
    virtual ~CSimEngine() = default;

    /// One simulation: checks the settings, reads SimItem.lst, builds the fund calendar, replays
    /// every fund and writes the result files into the working folder. Returns runFinished, or
    /// runStopped after one message (a setting validate refuses, a missing price file, more than
    /// maxStocks stocks, a file that cannot be written, any failure on the way). Throws nothing.
    int runSimulation(const SimParams& params);
    CSimEngine(const CSimEngine&) = delete;
    CSimEngine& operator=(const CSimEngine&) = delete;

    /// The stock's opening position for the fund starting at its slot's sDate: reads the start
    /// price from the date record at byte `pos`, buys (or, in share-count mode, sells down to) the
    /// kept shares and lays out the grid. 0: trade from now on; -1: the stock sits out the fund.
    int initialPurchase(InvestMode investMode, int stock, std::int32_t pos, bool logEnabled, double commission,
                        bool includeTax);

    /// Walks the stock's prices from byte `pos` up to the day `until` and trades on its grid.
    /// Returns the position of the first date record after `until`, or endOfData.
    std::int32_t rebalance(InvestMode investMode, int stock, std::int32_t until, std::int32_t pos, bool includeTax,
                           bool logEnabled, double commission);

    /// Rescales holdings and grid for a jump of the day's first value t against the previous
    /// price p; returns the change in shares held (0: nothing adjusted).
    std::int32_t adjustForSplit(int stock, std::int32_t t, std::int32_t p);

    RunContext context;

    // Slots and flags start zeroed: a slot the run never fills has firstVol 0 and writes nothing.
    std::array<StockSlot, maxStocks> slots{};
    std::array<GridColumn, maxStocks> levelPrice{};
    std::array<GridColumn, maxStocks> levelQty{};
    std::array<GridColumn, maxStocks> sellPrice{};
    std::array<std::int32_t, maxStocks> stockStarted{};
    TextWriter tradeLog;   // trade.csv, single-fund mode only
    TextWriter closingLog; // closing.csv, single-fund mode only
    std::array<const PriceFile*, maxStocks> priceFile{};
    WalkMode walk = WalkMode::Skipping; // how rebalance goes through the prices
    WalkCounts counts;                  // what rebalance did on this engine (recordsCovered aside)
    DayValuation* valuation = nullptr;  // optional: rebalance values the stock at each day's end

private:
    void layoutGrid(int stock, std::int32_t base, std::int32_t unit, std::int32_t span, std::int32_t upStep,
                    std::int32_t downStep, std::int32_t marginPct);
    void writeTrade(const std::string& line);
};

} // namespace kestrelan
