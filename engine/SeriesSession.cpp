#include "engine/SeriesSession.h"

#include "engine/Calendar.h"
#include "engine/EngineError.h"
#include "engine/FundRunner.h"
#include "engine/MarketAccess.h"
#include "engine/MarketUpdate.h"
#include "engine/OrderedWorkers.h"

#include <memory>
#include <thread>

namespace kestrelan {

SeriesSession::SeriesSession(const RunContext& c, const SimParams& base)
    : context(c)
{
    if (const auto problem = validate(base))
        throw EngineError(problem->message);
    // The market held for reading while it is read; a sweep writes nothing of it.
    const MarketFolders folders = marketFolders(context.workDir, context.programDir, context.programDirGiven);
    const MarketAccess market = MarketAccess::open(folders, LockMode::Shared);
    if (!market)
        throw EngineError(market.problem);
    if (std::error_code ec; std::filesystem::exists(context.workDir / updateFileName, ec))
        throw EngineError(updateWaitsMessage);
    data = readPortfolio(base, context.workDir);
    if (!folders.note.empty())
        data.notes.insert(data.notes.begin(), folders.note);
    data.logEnabled = false; // a series, whatever the base says
    const auto lines
        = calendarLines(base.startDate, base.endDate, static_cast<CalendarMode>(static_cast<int>(base.fundCadence)),
                        base.years, data.kospi);
    if (lines.empty())
        throw EngineError(noFundMessage(base.startDate, base.endDate,
                                        static_cast<CalendarMode>(static_cast<int>(base.fundCadence)), base.years,
                                        data.kospi));
    loadMarket(data, context.workDir, folders.prices, fundsOf(lines), *context.messages);
}

std::vector<FundResult> SeriesSession::run(const SimParams& params) const
{
    const std::size_t total = data.funds.size();
    std::vector<FundResult> results(total);
    runFundsInOrder(data, &params, context.walk, context.threads, [&](std::size_t k, const FundOutput& out) {
        results[k].resultCsvLine = out.resultCsv;
        results[k].stats = out.stats;
        results[k].outcomes = out.outcomes;
    });
    return results;
}

} // namespace kestrelan
