#include "engine/SeriesSession.h"

#include "engine/Calendar.h"
#include "engine/EffectiveSettings.h"
#include "engine/EngineError.h"
#include "engine/FundRunner.h"
#include "engine/MarketAccess.h"
#include "engine/MarketUpdate.h"
#include "engine/OrderedWorkers.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <tuple>

namespace kestrelan {

namespace {

auto fundKey(const Fund& f) { return std::make_tuple(f.start, f.end, f.startIndex, f.endIndex); }

} // namespace

SeriesSession::SeriesSession(const RunContext& c, const SimParams& base)
    : SeriesSession(c, base, {{base.startDate, base.endDate}})
{
}

SeriesSession::SeriesSession(const RunContext& c, const SimParams& given, const std::vector<FundSpan>& wanted,
                             const std::vector<PortfolioItem>* items)
    : context(c)
{
    SimParams base = given;
    base.yieldStats = true; // a series, whatever the settings say
    if (const auto problem = validate(base))
        throw EngineError(*problem);
    // The market held for reading while it is read; a sweep writes nothing of it.
    const MarketFolders folders = marketFolders(context.workDir, context.programDir, context.programDirGiven);
    const MarketAccess market = MarketAccess::open(folders, LockMode::Shared);
    if (!market)
        throw EngineError(StopReason::Market, market.problem);
    if (std::error_code ec; std::filesystem::exists(context.workDir / updateFileName, ec))
        throw EngineError(StopReason::Market, updateWaitsMessage);
    data = items ? readPortfolio(base, *items, context.workDir) : readPortfolio(base, context.workDir);
    if (!folders.note.empty())
        data.notes.insert(data.notes.begin(), folders.note);
    const CalendarMode cadence = calendarMode(base);
    // Each span's funds as a run over it makes them; a fund two spans share is run once.
    std::vector<std::vector<Fund>> spanFunds;
    std::vector<Fund> all;
    for (const FundSpan& span : wanted) {
        const auto lines = calendarLines(span.start, span.end, cadence, base.years, data.kospi);
        if (lines.empty())
            throw EngineError(StopReason::NoFund, noFundMessage(span.start, span.end, cadence, base.years, data.kospi));
        spanFunds.push_back(fundsOf(lines));
        all.insert(all.end(), spanFunds.back().begin(), spanFunds.back().end());
    }
    // In the order of their starts, as a calendar has them (the price files are searched forward).
    const auto before = [](const Fund& a, const Fund& b) { return fundKey(a) < fundKey(b); };
    std::sort(all.begin(), all.end(), before);
    all.erase(std::unique(all.begin(), all.end(), [](const Fund& a, const Fund& b) { return fundKey(a) == fundKey(b); }),
              all.end());
    for (const auto& funds : spanFunds) {
        auto& indices = spans.emplace_back();
        for (const Fund& f : funds)
            indices.push_back(static_cast<std::size_t>(std::lower_bound(all.begin(), all.end(), f, before) - all.begin()));
    }
    loadMarket(data, context.workDir, folders.prices, std::move(all), *context.messages);
}

std::vector<FundResult> SeriesSession::run(const TradingConditions& conditions) const
{
    const std::size_t total = data.funds.size();
    std::vector<FundResult> results(total);
    runFundsInOrder(data, &conditions, context.walk, context.threads, [&](std::size_t k, const FundOutput& out) {
        results[k].resultCsvLine = out.resultCsv;
        results[k].stats = out.stats;
        results[k].outcomes = out.outcomes;
    });
    return results;
}

int SeriesSession::workers() const
{
    int threads = context.threads > 0 ? context.threads : static_cast<int>(std::thread::hardware_concurrency());
    threads = std::max(threads, 1);
    return static_cast<int>(
        std::min<std::size_t>(static_cast<std::size_t>(threads), std::max<std::size_t>(data.funds.size() / 4, 1)));
}

double SeriesSession::secondsOfOneFund(const SimParams& params, std::size_t k) const
{
    CSimEngine engine;
    engine.walk = context.walk;
    FundRunner runner(engine, data, nullptr, &params);
    double fastest = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        FundOutput out;
        const auto began = std::chrono::steady_clock::now();
        runner.run(k, out);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        fastest = attempt == 0 ? seconds : std::min(fastest, seconds);
    }
    return fastest;
}

} // namespace kestrelan
