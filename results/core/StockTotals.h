#pragma once
// A single fund's stocks at its end, from gen.csv, in thousands of won: what each was given,
// what it is worth (its shares at the last price plus its cash) and what its trading gained.
// The window's tables, `kestrelan-cli show` and the workbook all total the stocks here.

#include "formats/GenCsv.h"

#include <vector>

namespace kestrelan {

struct StockTotal
{
    double invest = 0;
    double value = 0;
    double gain = 0;
};

/// One stock: value = shares × last price × 0.001 + cash.
StockTotal stockTotal(const GenCsvRow& row);

struct StockTotals
{
    std::vector<StockTotal> stocks; // one per complete line, in file order
    int count = 0;
    double invest = 0;
    double value = 0;
    double gain = 0;
};

/// The stocks of gen.csv's rows and their sums. A cut last line is not a stock.
StockTotals stockTotals(const std::vector<GenCsvRow>& rows);

} // namespace kestrelan
