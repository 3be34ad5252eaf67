#pragma once
// One fund of a run: its conditions (from ksp.txt with automatic setting), the division of a
// total amount, each stock's initial purchase and the days of rebalancing, and the result lines.

#include "engine/CSimEngine.h"
#include "engine/Records.h"
#include "engine/RiskFigures.h"
#include "engine/RunInputs.h"
#include "engine/SitOut.h"
#include "formats/StatsCsv.h"
#include "platform/core/Sinks.h"
#include "platform/core/TextFile.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrelan {

class CSimEngine;

/// Shows messages at once, or keeps them for the thread that shows them in fund order.
class FundMessages : public IMessageSink
{
public:
    explicit FundMessages(IMessageSink* direct)
        : direct(direct)
    {
    }
    Answer show(std::string_view text, Buttons buttons) override
    {
        if (direct)
            return direct->show(text, buttons);
        kept.emplace_back(text);
        return Answer::Ok;
    }
    IMessageSink* direct;
    std::vector<std::string> kept;
};

/// The result lines of one fund: written straight to the files, or kept in fund order.
struct FundOutput
{
    TextWriter* resultCsvFile = nullptr;
    TextWriter* resultTxtFile = nullptr;
    TextWriter* statsCsvFile = nullptr;
    std::string resultCsv;
    std::string resultTxt;
    std::string statsCsv;
    std::optional<StatsCsvRow> stats;   // the fund's risk figures, once it has run
    std::vector<StockOutcome> outcomes; // per portfolio entry; empty: the fund ended before its stocks
    FundMessages messages{nullptr};
    bool moved = false;      // the fund got past the division and moves the progress bar
    bool notDivided = false; // the total was too small for the fund's minimum quantities (said)

    void csv(const std::string& line)
    {
        if (resultCsvFile)
            resultCsvFile->write(line);
        else
            resultCsv += line;
    }
    void txt(const std::string& line)
    {
        if (resultTxtFile)
            resultTxtFile->write(line);
        else
            resultTxt += line;
    }
    void statsLine(const std::string& line)
    {
        if (statsCsvFile)
            statsCsvFile->write(line);
        else
            statsCsv += line;
    }
};

/// Runs funds on one engine state: the slots, the grid and (in single-fund mode) the detail logs
/// are the runner's; the run's data is only read. What the rebalancing did adds up in the
/// engine's counts.
class FundRunner
{
public:
    /// `dayProgress` moves day by day in single-fund mode; nullptr for a fund series. The funds
    /// trade with `conditions` (a sweep's combination) in place of the run's own when given.
    FundRunner(CSimEngine& engine, const RunData& data, IProgressSink* dayProgress = nullptr,
               const TradingConditions* conditions = nullptr);

    /// Fund k of the run's funds.
    void run(std::size_t k, FundOutput& out);

private:
    /// The fund's value and the index, day by day from the fund's start, and the one against
    /// the other.
    struct FundPaths
    {
        RiskTracker fund;
        RiskTracker index;
        ComparisonTracker comparison;
    };

    /// The fund's conditions: the run's (or the combination's), with automatic setting the range
    /// and the ratio of its start index's row.
    TradingConditions conditions(const Fund& fund) const;
    /// Where each stock starts in its price file and what it invests (a total divided over the
    /// stocks); the initial purchase ratio, or nothing when the division ends the fund.
    std::optional<double> startAmounts(std::size_t k, const TradingConditions& c, FundOutput& out);
    /// The fund's trading days and the index at their close.
    void findDays(const Fund& fund);
    void walkDayByDay(const Fund& fund, const TradingConditions& c, double ratio, FundOutput& out, DaySums& sums);
    void walkToTheEnd(const Fund& fund, const TradingConditions& c, double ratio, FundOutput& out, DaySums& sums);
    /// The fund's value and the index from the start value along the days the walk valued.
    FundPaths followPaths(const Fund& fund) const;
    /// What the fund's trading on its grids came to, from its stocks and the days the walk valued.
    GridFigures gridFigures() const;
    void writeFundLines(const Fund& fund, FundOutput& out, const DaySums& sums, const FundPaths& paths);
    void fillSlot(std::size_t i, const Fund& fund, const TradingConditions& c, double ratio, std::int32_t amount);
    /// Stock i from where it stands to the end of day `until`, its initial purchase first.
    void advance(std::size_t i, const Fund& fund, std::int32_t until, const TradingConditions& c, double ratio,
                 DayValuation* valuation = nullptr);
    /// The stocks' values and totals as they stand; their result.txt lines when `stockLines`.
    void addUp(const std::string& startText, const std::string& dayText, FundOutput& out, DaySums& sums,
               bool stockLines);

    CSimEngine& engine;
    const RunData& data;
    IProgressSink* dayProgress;
    const TradingConditions& runConditions; // the combination's, or the run's
    std::vector<std::int32_t> amounts;
    std::vector<std::int32_t> positions; // per stock: where its next day begins in this fund
    std::vector<int> initState;
    std::vector<std::int32_t> days; // the fund's trading days
    std::vector<float> dayIndex;    // the index at their close
    // What the walk valued: the amount invested on the start day, then at the end of each day
    // the fund's value and its cash, and the stock-days (and of those, the ones outside the
    // stock's grid).
    double startValue = 0;
    std::vector<double> fundValues;
    std::vector<double> fundCash;
    std::int64_t stockDays = 0;
    std::int64_t outsideDays = 0;
};

/// Runs every fund of `data` on workers, each with an engine state of its own that walks as
/// `walk`, trading with `conditions` in place of the run's when given; `deliver` gets each fund's
/// output on the calling thread in fund order. `threads` 0: one per core (never more than a
/// worker per four funds). Returns what the rebalancing did.
WalkCounts runFundsInOrder(const RunData& data, const TradingConditions* conditions, WalkMode walk, int threads,
                           const std::function<void(std::size_t, const FundOutput&)>& deliver);

} // namespace kestrelan
