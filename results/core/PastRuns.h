#pragma once
// The runs kept in history/ as `kestrelan-cli history` lists them and the results window offers
// them: the number, when it finished, a single fund or a fund series, the stocks, the period and
// the headline figures (a single fund's yield at its end, a series' median over its funds).

#include "formats/RunHistory.h"
#include "results/core/SummaryTables.h"

#include <filesystem>
#include <vector>

namespace kestrelan {

/// One line a run, newest first; the first column is the run's number.
ListTable pastRunTable(const std::vector<PastRun>& runs);

} // namespace kestrelan
