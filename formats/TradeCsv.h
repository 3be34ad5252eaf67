#pragma once
// trade.csv, the trade log of a single fund: no header; nine fields a line. The initial trade
// of share-count mode, a split adjustment and a dividend write whole prices; the day's purchases and sales
// of a stock write their average price with six decimals.

#include "formats/FieldReader.h"

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelan {

enum class TradeKind
{
    Initial,    // "초매"
    Adjustment, // "조정"
    Purchases,  // "매수"
    Sales,      // "매도"
    Dividend    // "배당": the shares held, the won a share, the gross amount, 0, the tax withheld
};

/// The kind as the log spells it (CP949).
const std::string& tradeKindText(TradeKind kind);

enum class TradeCsvColumn
{
    Date,
    Code,
    Name,
    Kind,
    Shares,
    Price,
    Amount,
    Commission,
    Tax
};
constexpr std::size_t tradeCsvColumns = 9;

struct TradeCsvRow
{
    std::string_view date;         // as dateText writes it
    std::string_view code;         // 6 characters
    std::string_view name;         // 20 characters, trailing blanks kept
    std::optional<TradeKind> kind; // as read: none for a text that names no kind
    std::int32_t shares = 0;       // bought or sold; held at the start; the change of an adjustment
    double price = 0;              // the average price; the start price (initial), the previous price (adjustment)
    double amount = 0;             // bought or sold in won; the new price (adjustment); 0 (initial)
    double commission = 0;
    double tax = 0;
    LineExtent extent{tradeCsvColumns, true}; // as read; the writer ignores it

    bool has(TradeCsvColumn c) const { return extent.fields > static_cast<std::size_t>(c); }
};

/// The line of a row: the price with six decimals for purchases and sales, else whole.
std::string tradeCsvLine(const TradeCsvRow& row);

/// The lines of trade.csv's bytes; the texts view into `bytes`.
std::vector<TradeCsvRow> readTradeCsv(std::string_view bytes);
// The rows point into the bytes: a temporary string would leave them dangling.
template <class S>
    requires std::same_as<S, std::string>
std::vector<TradeCsvRow> readTradeCsv(S&&) = delete;

} // namespace kestrelan
