#pragma once
// A fund series run again and again in memory on one market, for a parameter sweep: the
// portfolio, the price files, ksp.txt and the funds of the calendar are read once, and each run
// gives every fund's result line and risk figures. Nothing is written: the working folder's
// result files stay as they are.

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

class SeriesSession
{
public:
    /// Reads what the series of `base` needs, as a run does (its checks and notes included);
    /// throws EngineError with the message that stops it, a period that holds no fund among them.
    SeriesSession(const RunContext& context, const SimParams& base);

    /// The funds of the series with `params`, which may differ from the base in the trading
    /// conditions only (the margin, the second condition, the range, the initial ratio, the risk
    /// profile), on every core, in fund order.
    std::vector<FundResult> run(const SimParams& params) const;

    std::size_t fundCount() const { return data.funds.size(); }
    /// What the series read: the portfolio, the market, whether the funds take their conditions
    /// from ksp.txt (automatic setting on and ksp.txt usable).
    const RunData& inputs() const { return data; }

private:
    RunContext context;
    RunData data;
};

} // namespace kestrelan
