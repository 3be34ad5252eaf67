#pragma once
// Why a stock sits a fund out, and what the run says of it afterwards: every stock that bought in
// no fund or only in some, and every stock valued at its last price because its data ended inside
// a fund, once per reason with the number of funds. The notes change no result file.

#include "engine/Records.h"
#include "engine/RunInputs.h"
#include "engine/SimParams.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kestrelan {

/// What became of a stock in one fund.
enum class StockOutcome : std::uint8_t
{
    Bought,
    NoData,             // no price from the fund's start on (its data ended before, or there is none)
    LateStart,          // its first price after the fund's start comes more than a month later
    NoFirstPrice,       // its first day in the fund has no price after the base (a trading halt)
    NoPriceForDivision, // a total amount: no price just before the start, or none in its first days
    HoldingTooLarge,    // share count: the shares are worth more than the largest amount
    TooFewShares,       // the amount or the share count falls short of the fewest shares
    Conditions,         // the ratio, the range or the margin leave no initial purchase
};

/// Why the initial purchase of the slot's stock at byte position `pos` of `prices` sat it out:
/// the checks of CSimEngine::initialPurchase, in the order it makes them. The slot is as the
/// fund filled it (its start, amount, ratio and conditions).
StockOutcome sitOutReason(const PriceFile& prices, std::int32_t pos, const StockSlot& slot, InvestMode investMode);

/// The outcomes of the funds of a run (or of the combinations of a sweep), added up per stock.
class StockNotes
{
public:
    /// Fund k's outcomes, one per portfolio entry; empty: the fund did not start.
    void add(const RunData& data, std::size_t k, const std::vector<StockOutcome>& outcomes);
    /// Adds another tally (a sweep's combination), keeping for each stock and reason the most
    /// funds any one had, and counting in how many it occurred.
    void merge(const StockNotes& other);
    /// One Korean line per stock and reason (and per stock valued at its last price).
    std::vector<std::string> lines(const RunData& data) const;

private:
    struct Count
    {
        int funds = 0;
        int runs = 1; // combinations of a sweep it occurred in
        std::int32_t firstStart = 0, firstEnd = 0;
    };
    // (stock code, outcome), with Bought standing for "valued at its last price".
    std::map<std::pair<std::string, StockOutcome>, Count> counts;
    std::map<std::string, std::size_t> entry; // a code's first portfolio entry
    int merged = 0;                            // combinations merged
};

} // namespace kestrelan
