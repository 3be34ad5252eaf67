#pragma once
// A fund series run again and again in memory on one market, for a parameter sweep: the
// portfolio, the price files, ksp.txt and the funds of the calendar are read once, and each run
// gives every fund's result line and risk figures. Nothing is written: the working folder's
// result files stay as they are.
//
// A session may hold the funds of several periods (spans) at once, each span's funds exactly
// those a statistics run over it makes: a run then walks every fund of every span once, on all
// cores, and each span takes its own funds' results.

#include "engine/CSimEngine.h"
#include "engine/RunInputs.h"
#include "engine/SitOut.h"
#include "formats/StatsCsv.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrelan {

/// One fund of a series run in memory.
struct FundResult
{
    std::string resultCsvLine;        // as result.csv would hold it; empty when the fund bought nothing
    std::optional<StatsCsvRow> stats; // beside it
    std::vector<StockOutcome> outcomes; // per portfolio entry (engine/SitOut.h)
};

/// A period whose funds a session holds: those of a statistics run from `start` to `end`.
struct FundSpan
{
    std::int32_t start = 0;
    std::int32_t end = 0;
};

class SeriesSession
{
public:
    /// Reads what the series of `base` needs, as a run does (its checks and notes included);
    /// throws EngineError with the message that stops it, a period that holds no fund among them.
    SeriesSession(const RunContext& context, const SimParams& base);
    /// The funds of every span, read as a run of `base` reads its own (base's period is the one
    /// the notes speak of). `items`: the portfolio, in place of SimItem.lst's. Throws EngineError
    /// for a span that holds no fund, with the message a statistics run over it stops with.
    SeriesSession(const RunContext& context, const SimParams& base, const std::vector<FundSpan>& spans,
                  const std::vector<PortfolioItem>* items = nullptr);

    /// The funds of the series trading with `conditions` (the grid's conditions and the costs; the
    /// rest of the settings are the base's), on every core, in fund order.
    std::vector<FundResult> run(const TradingConditions& conditions) const;

    std::size_t fundCount() const { return data.funds.size(); }
    /// Span s's funds as indices into run()'s results, in the order a run over it has them.
    const std::vector<std::size_t>& spanFunds(std::size_t s) const { return spans.at(s); }
    /// What the series read: the portfolio, the market, whether the funds take their conditions
    /// from ksp.txt (automatic setting on and ksp.txt usable).
    const RunData& inputs() const { return data; }
    /// The workers a run uses.
    int workers() const;
    /// Seconds one fund takes with `params` on one worker: fund k run three times, the fastest.
    double secondsOfOneFund(const SimParams& params, std::size_t k) const;

private:
    RunContext context;
    RunData data;
    std::vector<std::vector<std::size_t>> spans;
};

} // namespace kestrelan
