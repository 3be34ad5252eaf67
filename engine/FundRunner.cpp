#include "engine/FundRunner.h"

#include "engine/CSimEngine.h"
#include "engine/Dates.h"
#include "engine/OrderedWorkers.h"
#include "engine/ResultLines.h"
#include "engine/RiskFigures.h"
#include "engine/TotalDivision.h"
#include "formats/ClosingCsv.h"
#include "platform/core/FaultPoint.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace kestrelan {

namespace {

enum InitState : int
{
    sitsOut = -1,
    trading = 0,
    pending = 1,
    dataEnded = 2
};

} // namespace

FundRunner::FundRunner(CSimEngine& engine, const RunData& data, IProgressSink* dayProgress,
                       const TradingConditions* conditions)
    : engine(engine)
    , data(data)
    , dayProgress(dayProgress)
    , runConditions(conditions ? *conditions : data.params)
{
    for (std::size_t i = 0; i < data.files.size(); ++i)
        engine.priceFile[i] = data.files[i];
    if (data.rules)
        engine.rules = data.rules.get();
    for (std::size_t i = 0; i < data.dividends.size(); ++i)
        engine.dividends[i] = data.dividends[i];
}

void FundRunner::fillSlot(std::size_t i, const Fund& fund, const TradingConditions& c, double ratio,
                          std::int32_t amount)
{
    StockSlot& s = engine.slots[i];
    const std::int32_t level = s.level;
    const std::int32_t startSold = s.startSold;
    s = StockSlot{};
    std::memset(s.itemText, 0, sizeof s.itemText);
    std::memcpy(s.itemText, data.items[i].entry.data(), std::min<std::size_t>(data.items[i].entry.size(), 27));
    s.sDate = fund.start;
    s.eDate = fund.end;
    s.sKospi = fund.startIndex;
    s.eKospi = fund.endIndex;
    s.rangeHighPct = c.rangeHighPct;
    s.rangeLowPct = c.rangeLowPct;
    s.marginPct = c.marginPct;
    s.secondPct = c.secondPct;
    s.initRatio = ratio;
    s.invest = amount;
    s.startSold = startSold;
    s.level = level;
    s.mult = 1.0;
    engine.dividendsPaid[i] = 0;
}

void FundRunner::advance(std::size_t i, const Fund& fund, std::int32_t until, const TradingConditions& c,
                         double ratio, DayValuation* valuation)
{
    const bool log = data.logEnabled;
    const int stock = static_cast<int>(i);
    const InvestMode mode = data.params.investMode;
    if (initState[i] == pending) {
        fillSlot(i, fund, c, ratio, amounts[i]);
        initState[i] = engine.initialPurchase(mode, stock, positions[i], log, c.commission(), c.includeTax);
    }
    if (initState[i] == trading) {
        // Only a stock that holds a position counts in the fund's value.
        const std::int32_t next = engine.rebalance(mode, stock, until, positions[i], c.includeTax, log, c.commission(),
                                                   engine.slots[i].firstVol > 0 ? valuation : nullptr);
        engine.counts.recordsCovered += (next == endOfData ? data.files[i]->recordCount() : next / priceRecordSize)
            - positions[i] / priceRecordSize;
        if (next == endOfData)
            initState[i] = dataEnded;
        else
            positions[i] = next;
    } else if (initState[i] == dataEnded && log) {
        engine.closingLog.write(closingCsvField(std::nullopt)); // no price: the columns stay aligned with gen.csv
    }
}

void FundRunner::addUp(const std::string& startText, const std::string& dayText, FundOutput& out, DaySums& sums,
                       bool stockLines)
{
    sums = DaySums{};
    for (std::size_t i = 0; i < data.items.size(); ++i) {
        StockSlot& s = engine.slots[i];
        if (s.firstVol > 0) {
            const double held = heldValue(s);
            s.value = held + s.cash;
            sums.investSum += s.invest;
            sums.initialSum += static_cast<double>(static_cast<std::int64_t>(s.initial) * s.firstVol);
            sums.stockValueSum += held;
            sums.valueSum += s.value;
            sums.tradeSum += s.totBuy + s.totSell;
            sums.gainSum += s.gain;
            if (stockLines)
                out.txt(resultTxtLine(s, startText, dayText));
        }
    }
}

void FundRunner::run(std::size_t k, FundOutput& out)
{
    const Fund& fund = data.funds[k];
    const TradingConditions c = conditions(fund);
    const std::optional<double> ratio = startAmounts(k, c, out);
    if (!ratio)
        return;
    out.moved = true;
    findDays(fund);
    initState.assign(data.items.size(), pending);
    std::fill(engine.stockStarted.begin(), engine.stockStarted.end(), 0);
    fundValues.assign(days.size(), 0.0);
    fundCash.assign(days.size(), 0.0);
    stockDays = outsideDays = 0;
    DaySums sums;
    if (data.logEnabled)
        walkDayByDay(fund, c, *ratio, out, sums);
    else
        walkToTheEnd(fund, c, *ratio, out, sums);
    writeFundLines(fund, out, sums, followPaths(fund));
}

FundRunner::FundPaths FundRunner::followPaths(const Fund& fund) const
{
    FundPaths paths;
    paths.index.start(fund.start, fund.startIndex);
    paths.fund.start(fund.start, startValue); // the fund starts from the amount invested
    paths.comparison.start(startValue, fund.startIndex);
    for (std::size_t d = 0; d < days.size(); ++d) {
        paths.index.day(days[d], dayIndex[d]);
        paths.fund.day(days[d], fundValues[d]);
        paths.comparison.day(fundValues[d], dayIndex[d]);
    }
    return paths;
}

GridFigures FundRunner::gridFigures() const
{
    GridFigures g{0.0, 0.0, 0, std::nullopt, std::nullopt};
    for (std::size_t i = 0; i < data.items.size(); ++i) {
        const StockSlot& s = engine.slots[i];
        if (s.firstVol > 0) {
            *g.commissionWon += s.commissionPaid;
            *g.taxWon += s.taxPaid;
            *g.fills += s.fills;
        }
    }
    if (stockDays > 0)
        g.daysOutsideGridPct = 100.0 * static_cast<double>(outsideDays) / static_cast<double>(stockDays);
    double shares = 0;
    int valued = 0;
    for (std::size_t d = 0; d < days.size(); ++d)
        if (fundValues[d] > 0) {
            shares += fundCash[d] / fundValues[d];
            ++valued;
        }
    if (valued > 0)
        g.cashShareMeanPct = 100 * shares / valued;
    return g;
}

TradingConditions FundRunner::conditions(const Fund& fund) const
{
    TradingConditions c = runConditions;
    if (data.autoSet) {
        const RangeRow& row = data.table.rows[selectRangeRow(data.table, fund.startIndex)];
        const int profile = static_cast<int>(c.riskProfile);
        c.initialBuyPct = row.initialBuyPct(profile);
        c.rangeLowPct = row.rangeLowPct(profile);
        c.rangeHighPct = row.rangeHighPct(profile);
    }
    return c;
}

std::optional<double> FundRunner::startAmounts(std::size_t k, const TradingConditions& c, FundOutput& out)
{
    const Fund& fund = data.funds[k];
    const std::size_t n = data.items.size();
    const double ratio = c.initialBuyPct * 0.01;
    positions.resize(n);
    amounts.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        positions[i] = data.fundStart[i][k];
        amounts[i] = data.items[i].amount;
    }
    if (!data.totalMode)
        return ratio;
    // The division ends a fund with a message when the total is too small, and silently when no
    // stock has a price to divide by: then every stock sat it out.
    struct : IMessageSink
    {
        Answer show(std::string_view text, Buttons buttons) override
        {
            said = true;
            return to->show(text, buttons);
        }
        IMessageSink* to = nullptr;
        bool said = false;
    } division;
    division.to = &out.messages;
    const auto divided = divideTotal(fund.start, data.items[0].amount, ratio, data.files, positions, amounts, division);
    if (!divided && !division.said)
        out.outcomes.assign(n, StockOutcome::NoPriceForDivision);
    out.notDivided = !divided && division.said;
    return divided;
}

// Every trading day of the fund is valued, for its risk figures; a fund of a series writes its
// lines for its last day only, as if it had been walked to its end at once.
void FundRunner::findDays(const Fund& fund)
{
    days.clear();
    dayIndex.clear();
    const auto& records = data.kospi.records();
    // Where the fund's days begin: found at once in a sound index file, else by reading it all.
    auto first = records.begin();
    if (data.kospi.ascending())
        first = std::lower_bound(records.begin(), records.end(), fund.start,
                                 [](const auto& r, std::int32_t date) { return r.date < date; });
    for (auto it = first; it != records.end(); ++it) {
        const auto& r = *it;
        if (r.date < fund.start)
            continue;
        if (r.date > fund.end)
            break;
        days.push_back(r.date);
        dayIndex.push_back(indexPoints(r.dayValue));
    }
    if (days.empty() || days.back() != fund.end) {
        days.push_back(fund.end); // an index file out of order: the fund's end, as the calendar found it
        dayIndex.push_back(fund.endIndex);
    }
}

// A single fund: every day's lines, each stock walked to the day's end in turn.
void FundRunner::walkDayByDay(const Fund& fund, const TradingConditions& c, double ratio, FundOutput& out, DaySums& sums)
{
    const std::string startText = dateText(fund.start);
    for (std::size_t d = 0; d < days.size(); ++d) {
        faultPoint("run:day");
        const std::string dayText = dateText(days[d]);
        if (dayProgress)
            dayProgress->setPosition(static_cast<int>(100 * (d + 1) / days.size()));
        engine.closingLog.write(dayText);
        for (std::size_t i = 0; i < data.items.size(); ++i)
            advance(i, fund, days[d], c, ratio);
        addUp(startText, dayText, out, sums, true);
        if (d == 0)
            startValue = sums.investSum;
        fundValues[d] = sums.valueSum;
        for (std::size_t i = 0; i < data.items.size(); ++i) {
            const StockSlot& s = engine.slots[i];
            if (s.firstVol > 0) {
                fundCash[d] += s.cash;
                ++stockDays;
                outsideDays += engine.grids[i].outside(s.last, engine.grids[i].floor()) ? 1 : 0;
            }
        }
        engine.closingLog.write("\n");
        out.csv(resultCsvLine(startText, dayText, fund.startIndex, dayIndex[d], sums,
                              indexYield(dayIndex[d], fund.startIndex)));
    }
}

// A fund of a series: each stock walked to the fund's end at once, its value added to the fund's
// at the end of every day on the way, in the order of the stocks, which is what walking the
// stocks day by day would add up.
void FundRunner::walkToTheEnd(const Fund& fund, const TradingConditions& c, double ratio, FundOutput& out, DaySums& sums)
{
    const std::size_t dayCount = days.size();
    for (std::size_t i = 0; i < data.items.size(); ++i) {
        DayValuation valuation{days.data(), dayCount, 0, fundValues.data(), fundCash.data()};
        advance(i, fund, days.back(), c, ratio, &valuation);
        // The days after the walk ended (or of a stock that did not walk) keep its last value.
        const StockSlot& s = engine.slots[i];
        if (s.firstVol > 0) {
            const double value = heldValue(s) + s.cash;
            for (std::size_t d = valuation.next; d < dayCount; ++d) {
                fundValues[d] += value;
                fundCash[d] += s.cash;
            }
            stockDays += static_cast<std::int64_t>(dayCount);
            outsideDays += valuation.outside;
            if (engine.grids[i].outside(s.last, engine.grids[i].floor()))
                outsideDays += static_cast<std::int64_t>(dayCount - valuation.next);
        }
    }
    addUp(dateText(fund.start), dateText(days.back()), out, sums, true);
    startValue = sums.investSum;
}

// The fund's risk figures, its result line (a fund of a series), its stocks' lines and what
// became of each stock.
void FundRunner::writeFundLines(const Fund& fund, FundOutput& out, const DaySums& sums, const FundPaths& paths)
{
    const SimParams& p = data.params;
    const std::size_t n = data.items.size();
    const std::string startText = dateText(fund.start);
    const std::string endText = dateText(fund.end);
    double kospiYield = indexYield(fund.endIndex, fund.startIndex);
    const bool holdBenchmark = !data.logEnabled && n == 1 && sums.initialSum > 0;
    if (holdBenchmark) {
        // A single stock is measured against its own price, adjusted for splits.
        const StockSlot& s = engine.slots[0];
        kospiYield = s.last / (s.initial / s.mult) - 1;
    }
    // A line of risk figures beside each fund that has a result line.
    if (data.logEnabled || sums.initialSum > 0) {
        out.stats = StatsCsvRow{fund.start,
                                fund.end,
                                paths.fund.figures(p.riskFreePct),
                                paths.index.figures(p.riskFreePct),
                                {},
                                {},
                                gridFigures(),
                                paths.comparison.figures()};
        if (holdBenchmark)
            out.stats->holdReturnPct = kospiYield * 100;
        if (data.params.dividends == 1) {
            double paid = 0;
            for (std::size_t i = 0; i < n; ++i)
                if (engine.slots[i].firstVol > 0)
                    paid += engine.dividendsPaid[i];
            out.stats->dividendsWon = paid;
        }
        out.statsLine(statsCsvLine(*out.stats));
    }
    if (!data.logEnabled && sums.initialSum > 0)
        out.csv(resultCsvLine(startText, endText, fund.startIndex, fund.endIndex, sums, kospiYield));
    for (std::size_t i = 0; i < n; ++i)
        if (engine.slots[i].firstVol > 0)
            out.txt(resultTxtLine(engine.slots[i], startText, endText));
    out.outcomes.assign(n, StockOutcome::Bought);
    for (std::size_t i = 0; i < n; ++i)
        if (initState[i] == sitsOut)
            out.outcomes[i] = data.totalMode && amounts[i] == 0
                ? StockOutcome::NoPriceForDivision
                : sitOutReason(*data.files[i], positions[i], engine.slots[i], p.investMode);
}

namespace {

int workerCount(int requested, std::size_t funds)
{
    int threads = requested > 0 ? requested : static_cast<int>(std::thread::hardware_concurrency());
    threads = std::max(threads, 1);
    return static_cast<int>(
        std::min<std::size_t>(static_cast<std::size_t>(threads), std::max<std::size_t>(funds / 4, 1)));
}

} // namespace

WalkCounts runFundsInOrder(const RunData& data, const TradingConditions* conditions, WalkMode walk, int threads,
                           const std::function<void(std::size_t, const FundOutput&)>& deliver)
{
    const std::size_t total = data.funds.size();
    WalkCounts counts;
    std::mutex countsMutex;
    auto makeWorker = [&] {
        auto engine = std::make_unique<CSimEngine>();
        engine->walk = walk;
        auto runner = std::make_unique<FundRunner>(*engine, data, nullptr, conditions);
        return [engine = std::move(engine), runner = std::move(runner), &counts, &countsMutex](std::size_t k) {
            FundOutput out;
            runner->run(k, out);
            std::lock_guard lock(countsMutex);
            counts += std::exchange(engine->counts, {});
            return out;
        };
    };
    runInOrder(total, workerCount(threads, total), makeWorker, deliver);
    return counts;
}

} // namespace kestrelan
