#pragma once

#include "results/core/SummaryTables.h"

#include <string>
#include <vector>

namespace kestrelan {

/// The tables of the results window as aligned UTF-8 text: the fund table of a fund series, or
/// the totals row and the stock table of a single fund.
std::string showTables(ResultKind kind, const SummaryTables& tables);

/// `kestrelan-cli show`: prints the tables of the result files in the current folder.
int showCommand(const std::vector<std::string>& args);

} // namespace kestrelan
