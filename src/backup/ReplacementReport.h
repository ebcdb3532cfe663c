#pragma once

#include "BackupRun.h"
#include "results/Document.h"

namespace pistel {

// The replacement-time report of a run, as the federation wants it with the results: for each
// replaced start or finish the references with their A and backup times and differences, the
// correction and the replacement; then the hand times that matched nobody. Painted and
// printed like the result lists.
Document replacementReport(const BackupRun& run, const RaceInfo& info, TimeUnits tolerance);

} // namespace pistel
