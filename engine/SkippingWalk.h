#pragma once
// The skipping walk: the plain walk (PriceWalk) over a price file's day index (PriceIndex),
// passing without reading them the stretches of prices none of which can trade: windows of whole
// days, single days, a day's rest, blocks of it. Which prices cannot trade it asks of the walk's
// own position (its quiet band, its band for a day's first check), so the two walks and the rule
// cannot drift apart.

#include "engine/PriceIndex.h"
#include "engine/PriceWalk.h"

namespace kestrelan {

/// Walks `walk` on as far as walking it record by record would (to the first date after its
/// `until`, or the end of the file), through `index`, the day index of its file; adds the days
/// and blocks it reached and passed to `counts`.
void walkSkipping(PriceWalk& walk, const PriceIndex& index, WalkCounts& counts);

} // namespace kestrelan
