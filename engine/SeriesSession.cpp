#include "engine/SeriesSession.h"

#include "engine/Calendar.h"
#include "engine/EngineError.h"
#include "engine/FundRunner.h"
#include "engine/OrderedWorkers.h"

#include <memory>
#include <thread>

namespace kestrelan {

SeriesSession::SeriesSession(const RunContext& c, const SimParams& base)
    : context(c)
{
    if (const auto problem = validate(base))
        throw EngineError(problem->message);
    data = readPortfolio(base, context.workDir);
    data.logEnabled = false; // a series, whatever the base says
    const auto lines
        = calendarLines(base.startDate, base.endDate, static_cast<CalendarMode>(static_cast<int>(base.fundCadence)),
                        base.years, data.kospi);
    if (lines.empty())
        throw EngineError(noFundMessage(base.startDate, base.endDate,
                                        static_cast<CalendarMode>(static_cast<int>(base.fundCadence)), base.years,
                                        data.kospi));
    loadMarket(data, context.workDir, context.programDir, fundsOf(lines), *context.messages);
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
