#pragma once
// The engine's lines of the result files and the trade log, formed from a stock's slot and a
// day's sums; the formats themselves (columns, conversions, readers) live in formats/. Lines are
// CP949 text with "\n" line ends (the files are written in text mode, so CR LF on disk).

#include "engine/Records.h"
#include "formats/GenCsv.h"
#include "formats/ResultCsv.h"
#include "formats/ResultTxt.h"
#include "formats/TradeCsv.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrelan {

/// A result.csv line: the fund's start, the day's (or the fund's) end, the two index levels, the
/// sums and the KOSPI yield already formed. Without an investment yet the fund yield and the
/// turnover print as 0.
std::string resultCsvLine(std::string_view startText, std::string_view endText, float startIndex, float endIndex,
                          const DaySums& sums, double kospiYield);

/// The KOSPI yield of a day: quotient and difference in single precision, then widened.
double indexYield(float endIndex, float startIndex);

/// A result.txt line of one stock.
std::string resultTxtLine(const StockSlot& slot, std::string_view startText, std::string_view endText);

/// A gen.csv line of one stock.
std::string genCsvLine(const StockSlot& slot);

/// "초매" and "조정" lines: five integer-like fields.
std::string tradeLine(std::string_view date, const StockSlot& slot, TradeKind kind, std::int32_t count,
                      std::int32_t price, double f7, double f8, double f9);
/// "매수" and "매도" summary lines: the average price with six decimals.
std::string tradeSummaryLine(std::string_view date, const StockSlot& slot, TradeKind kind, std::int32_t count,
                             double amount, double commission, double tax);

/// The code (first 6 bytes) and name (bytes 8-27) of a slot's entry, up to its NUL.
std::string_view slotCode(const StockSlot& slot);
std::string_view slotName(const StockSlot& slot);

} // namespace kestrelan
