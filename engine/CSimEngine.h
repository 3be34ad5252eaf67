#pragma once
// The engine's state for one run: a slot per portfolio stock with its conditions, prices,
// holdings and totals for the current fund, the price grid each stock trades on, the started
// flags, the open logs and the loaded price files.

#include "engine/MarketData.h"
#include "platform/core/Sinks.h"
#include "platform/core/TextFile.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

namespace kestrelan {

constexpr int maxStocks = 50;
constexpr int gridLevels = 250; // levels 1-249; index 0 is never used

/// The fifteen run parameters, in the order the settings form hands them over.
struct SimParams
{
    std::int32_t investMode = 0;   // 0 amount per stock, 1 total amount, 2 share count
    std::int32_t startDate = 0;    // yyyymmdd
    std::int32_t endDate = 0;      // yyyymmdd
    std::int32_t fundCadence = 0;  // statistics mode: 0 three times a month, 1 monthly, 2 daily
    std::int32_t years = 1;        // length of each fund of a series; 0 is half a year
    std::int32_t marginPct = 10;   // trading margin
    std::int32_t secondPct = 10;   // second condition
    std::int32_t rangeLowPct = 50; // lower edge of the trading range, % of the start price
    std::int32_t rangeHighPct = 150;
    std::int32_t initialBuyPct = 50;
    double commissionPct = 0.2;
    std::int32_t autoSet = 1;     // take the range and the ratio from ksp.txt per fund
    std::int32_t riskProfile = 1; // 0 aggressive, 1 stable, 2 conservative
    std::int32_t yieldStats = 0;  // 0 one fund day by day, else a series of funds
    std::int32_t includeTax = 1;  // sales tax of 0.3 %
};

/// One stock within the current fund.
struct StockSlot
{
    char itemText[28];  // code (1-6), separator, name (8-27), NUL
    std::int32_t sDate; // fund start
    std::int32_t eDate; // fund end
    float sKospi;       // KOSPI at the fund start
    float eKospi;       // KOSPI at the fund end
    std::int32_t rangeHighPct;
    std::int32_t rangeLowPct;
    std::int32_t marginPct;
    std::int32_t secondPct;
    double initRatio;       // initial purchase ratio in force, as a fraction
    std::int32_t invest;    // amount in won, or the share count in share-count mode
    std::int32_t startSold; // shares sold at the start in share-count mode
    std::int32_t initial;   // start price
    std::int32_t last;      // latest price read
    std::int32_t firstVol;  // shares bought (or kept) by the initial purchase
    std::int32_t autoVol;   // grid unit
    std::int32_t sellStep;  // levels in the span above the base
    double value;           // valuation on the latest simulated day
    double cash;
    std::int32_t shares;
    std::int32_t shares2; // second share counter; always valued with `shares`
    double totBuy;
    double totSell;
    char lastSide;         // 'B' or 'S': side of the latest trade
    double gain;           // realised trading gain
    std::int32_t upStep;   // grid step above the base
    std::int32_t downStep; // grid step below the base
    std::int32_t level;    // grid index of the latest trade
    double mult;           // price adjustment factor (splits)
};

/// One simulated day's totals over the stocks that have bought (firstVol > 0).
struct DaySums
{
    double investSum = 0;
    double initialSum = 0;
    double stockValueSum = 0;
    double valueSum = 0;
    double tradeSum = 0;
    double gainSum = 0;
};

/// What rebalance returns when the stock's price file ended before a date after `until`: no
/// position, since 0 is a valid one (a stock listed after the fund start begins at record 0).
constexpr std::int32_t endOfData = -1;

/// Price records served from a loaded price file.
struct MemoryPrices
{
    const PriceFile& file;
    std::int32_t recordCount() const { return file.recordCount(); }
    std::int32_t value(std::int32_t i) const { return file.value(i); }
};

/// Where a run reads and writes, and what it shows.
struct RunContext
{
    std::filesystem::path workDir = ".";    // kospi.lst, SimItem.lst, ksp.txt, the result files
    std::filesystem::path programDir = "."; // holds StockData/<code>.real
    IMessageSink* messages = nullptr;       // required
    IProgressSink* progress = nullptr;      // optional
    int threads = 0;                        // workers for a fund series; 0: one per core
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

    /// One simulation: reads SimItem.lst, builds the fund calendar, replays every fund and writes
    /// the result files into the working folder. Returns runFinished, or runStopped after a
    /// message (a missing price file, more than 50 stocks, a file that cannot be written).
    int runSimulation(std::int32_t investMode, std::int32_t startDate, std::int32_t endDate, std::int32_t fundCadence,
                      std::int32_t years, std::int32_t marginPct, std::int32_t secondPct, std::int32_t rangeLowPct,
                      std::int32_t rangeHighPct, std::int32_t initialBuyPct, double commissionPct, std::int32_t autoSet,
                      std::int32_t riskProfile, std::int32_t yieldStats, std::int32_t includeTax);
    int runSimulation(const SimParams& params);
    CSimEngine(const CSimEngine&) = delete;
    CSimEngine& operator=(const CSimEngine&) = delete;

    /// The stock's opening position for the fund starting at its slot's sDate: reads the start
    /// price from the date record at byte `pos`, buys (or, in share-count mode, sells down to) the
    /// kept shares and lays out the grid. 0: trade from now on; -1: the stock sits out the fund.
    int initialPurchase(int investMode, int stock, std::int32_t pos, bool logEnabled, double commission,
                        int includeTax);

    /// Walks the stock's prices from byte `pos` up to the day `until` and trades on its grid.
    /// Returns the position of the first date record after `until`, or endOfData.
    std::int32_t rebalance(int investMode, int stock, std::int32_t until, std::int32_t pos, int includeTax,
                           bool logEnabled, double commission);

    /// Rescales holdings and grid for a jump of the day's first value t against the previous
    /// price p; returns the change in shares held (0: nothing adjusted).
    std::int32_t adjustForSplit(int stock, std::int32_t t, std::int32_t p);

    /// The same rules over any source of price records (for measuring other readers).
    template <class Prices>
    int initialPurchaseOn(const Prices& prices, int investMode, int stock, std::int32_t pos, bool logEnabled,
                          double commission, int includeTax);
    template <class Prices>
    std::int32_t rebalanceOn(const Prices& prices, int investMode, int stock, std::int32_t until, std::int32_t pos,
                             int includeTax, bool logEnabled, double commission);

    /// Price records walked by rebalance since construction (all workers of a run).
    std::int64_t recordsWalked = 0;

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

private:
    void layoutGrid(int stock, std::int32_t base, std::int32_t unit, std::int32_t span, std::int32_t upStep,
                    std::int32_t downStep, std::int32_t marginPct);
    void writeTrade(const std::string& line);
};

} // namespace kestrelan
