#pragma once
// One rebalancing call's walk through a stock's price records, one record at a time: what each
// record is to the walk (a date, a day's base price, a price of a day of the fund, a value before
// the fund) and which step of the position (GridPosition.h) it runs. Walking every record so is
// the plain walk, the reference that the skipping walk (SkippingWalk.h), which passes stretches
// of prices that cannot trade, must always agree with.

#include "engine/GridPosition.h"
#include "engine/PriceNumbers.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

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
    double* cash = nullptr;   ///< one per day: the fund's cash, likewise
    std::int64_t outside = 0; ///< the days valued whose last price lay outside the stock's grid
};

/// A dividend the walk paid into the cash on `date`: `shares` held at the previous close, the
/// gross amount and the tax withheld.
struct DividendNote
{
    std::int32_t date;
    std::int32_t shares;
    std::int32_t wonPerShare;
    double gross;
    double tax;
};

/// A split or consolidation the walk met: on `date` the shares held changed by `change` as the
/// price went from `from` to `to`.
struct SplitNote
{
    std::int32_t date;
    std::int32_t change;
    std::int32_t from;
    std::int32_t to;
};

class PriceWalk
{
public:
    /// From record `first` (a date record, the file's start, or -1: none) up to the first date after
    /// `until`, for a fund that starts on `fundStart`. `started`: a base price of the stock was
    /// read in this fund. `valuation` (optional) gets the stock's value at each day's end,
    /// `splits` (optional) each split that changed the shares held. Each day trades by its own
    /// `rules` (the tax on its sales only with `includeTax`).
    PriceWalk(GridPosition position, std::span<const std::int32_t> values, std::int32_t first, std::int32_t fundStart,
              std::int32_t until, bool started, DayValuation* valuation, std::vector<SplitNote>* splits,
              const DatedRules& rules, bool includeTax)
        : position(position)
        , number(values.data())
        , count(static_cast<std::int32_t>(values.size()))
        , i(first >= 0 ? first : count)
        , started(started)
        , fundStart(fundStart)
        , until(until)
        , valuation(valuation)
        , splits(splits)
        , rules(&rules)
        , includeTax(includeTax)
    {
        dayRules(fundStart);
    }

    /// Records from the current one up to `stop`, one by one. A run of prices that stop their
    /// pass at once is read in a loop of its own, which leaves what each of them would. True: a
    /// date after `until` was read; the walk stands on it.
    __attribute__((always_inline)) bool walkTo(std::int32_t stop)
    {
        const std::int32_t from = i;
        bool ended = false;
        while (i < stop) {
            if (trading) {
                const FirstLevels levels = position.firstLevels();
                const std::int32_t high = std::min(levels.sell, dateThreshold + 1);
                std::int32_t j = i;
                while (j < stop && number[j] > levels.buy && number[j] < high)
                    ++j;
                if (j > i) {
                    position.pass(number[j - 1]);
                    i = j;
                    if (i == stop)
                        break;
                }
            }
            if (record(number[i])) {
                ended = true;
                break;
            }
            ++i;
        }
        walked += i - from;
        return ended;
    }

    /// The current record, whose number the caller read already (from the day index), and on
    /// to the next unless it ends the call. True: a date after `until`.
    __attribute__((always_inline)) bool step(std::int32_t t)
    {
        if (record(t))
            return true;
        ++i;
        ++walked;
        return false;
    }

    /// One record, as the rule reads it. True: a date after `until`, which ends the call.
    __attribute__((always_inline)) bool record(std::int32_t t)
    {
        if (t <= dateThreshold && trading) {
            const FirstLevels levels = position.firstLevels();
            if (t > levels.buy && t < levels.sell)
                position.pass(t);
            else
                position.trade(t);
            return false;
        }
        if (t > dateThreshold) {
            if (valuation)
                valueDaysBefore(t);
            if (t > until)
                return true;
            day = t;
            dayRules(t);
            if (!dividends.empty())
                payDividend(t);
            dayOpen = false;
            trading = false;
            return false;
        }
        if (!dayOpen)
            openDay(t);
        return false; // or a price of a day before the fund's start
    }

    /// The stock's dividends (ascending ex-dates) are paid on their days of the fund before the
    /// day's first price; `notes` (optional) gets each one paid.
    void payDividends(std::span<const Dividend> list, std::vector<DividendNote>* notes)
    {
        dividends = list;
        dividendNotes = notes;
    }

    /// The first dividend's ex-date on or after `date` (the largest number: none); for a walk
    /// whose dates ascend from here on.
    std::int32_t dividendFrom(std::int32_t date)
    {
        while (nextDividend < dividends.size() && dividends[nextDividend].date < date)
            ++nextDividend;
        return nextDividend < dividends.size() ? dividends[nextDividend].date : std::numeric_limits<std::int32_t>::max();
    }
    bool hasDividends() const { return !dividends.empty(); }
    /// What the walk paid into the cash, after the tax withheld.
    double dividendsPaid() const { return paid; }

    /// Passes the records up to `end`, which trade nothing: the last of them, `lastPrice`, is the
    /// last price read.
    void passTo(std::int32_t end, std::int32_t lastPrice)
    {
        i = end;
        position.pass(lastPrice);
    }

    /// Passes whole days up to `end`, each of the fund and trading nothing, the last of them dated
    /// `date`: the walk stands after its last price, with the day open and its first check done.
    void passDaysTo(std::int32_t end, std::int32_t date, std::int32_t lastPrice)
    {
        day = date;
        dayRules(date);
        dayOpen = trading = true;
        passTo(end, lastPrice);
    }

    /// The days of the valuation that end before date t, valued as the position stands: a walk
    /// stopped at such a day would stop at this date record.
    void valueDaysBefore(std::int64_t t)
    {
        std::size_t k = valuation->next;
        if (k == valuation->count || valuation->dates[k] >= t)
            return;
        const Holding held = position.holding();
        const std::int32_t price = position.lastPrice();
        const double value = held.at(price);
        const std::size_t from = k, count = valuation->count;
        do {
            valuation->values[k] += value;
            valuation->cash[k] += held.cash;
        } while (++k < count && valuation->dates[k] < t);
        valuation->next = k;
        valuation->outside += static_cast<std::int64_t>(k - from) * position.gridEnds().outside(price);
    }

    GridPosition position;
    const std::int32_t* const number; // the file's numbers
    const std::int32_t count;
    std::int32_t i;          // the next record
    std::int64_t walked = 0; // records read one by one
    std::int32_t day = 0;    // the date of the day read
    bool dayOpen = false;    // the day's first value, its base price, has been read
    bool trading = false;    // dayOpen, in a day of the fund: a price runs a pass
    bool started;            // a base price of the stock was read in this fund
    const std::int32_t fundStart;
    const std::int32_t until;
    DayValuation* const valuation;

private:
    // The day's first value, the base price: never traded, compared for a split.
    __attribute__((always_inline)) void openDay(std::int32_t base)
    {
        dayOpen = true;
        trading = day >= fundStart;
        const std::int32_t before = position.lastPrice();
        const auto change = position.openDay(base, started);
        if (change && *change != 0 && splits)
            splits->push_back({day, *change, before, base});
        started = true;
    }

    // A dividend with its ex-date t: the shares held at the previous close (the stock bought in an
    // earlier day of the fund) times the won a share, less the tax withheld, into the cash.
    void payDividend(std::int32_t t)
    {
        if (dividendFrom(t) != t)
            return;
        const std::int32_t won = dividends[nextDividend++].wonPerShare;
        const double shares = position.holding().shares;
        if (!started || t < fundStart || !(shares > 0))
            return;
        const double gross = shares * won;
        const double tax = std::trunc(gross * dividendTax);
        position.credit(gross - tax);
        paid += gross - tax;
        if (dividendNotes)
            dividendNotes->push_back({t, static_cast<std::int32_t>(shares), won, gross, tax});
    }

    // The rules of day t into the position, when they differ from the day before's.
    void dayRules(std::int32_t t)
    {
        if (t >= rulesFrom && t < rulesUntil)
            return;
        const DatedRules::Span span = rules->on(t);
        rulesFrom = span.from;
        rulesUntil = span.until;
        position.setDay(includeTax ? span.day.salesTax : 0.0, span.day.ticks);
        dividendTax = span.day.dividendTax;
    }

    std::vector<SplitNote>* const splits;
    const DatedRules* const rules;
    const bool includeTax;
    std::int32_t rulesFrom = 0; // the days the position's rules hold for
    std::int32_t rulesUntil = 0;
    double dividendTax = 0;
    std::span<const Dividend> dividends;
    std::size_t nextDividend = 0; // the first dividend not yet reached
    std::vector<DividendNote>* dividendNotes = nullptr;
    double paid = 0;
};

} // namespace kestrelan
