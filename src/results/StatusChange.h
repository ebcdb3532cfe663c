#pragma once

#include "RunStatus.h"

#include <QString>

namespace pistel {

namespace odbc {
class Connection;
}

struct RowSnapshot;

// Why `status` in `run` contradicts the competitor's stored times (`row`), in the operator's
// language; empty when it does not. A competitor with a start time is not DNS, one with a run
// time not DNF, whatever other status is set. The window asks, the command line refuses
// without --force: both with this text.
QString statusContradiction(const RowSnapshot& row, const QString& bib, int run,
                            const RunStatus& status);

// Sets the status of `bib` in `run` (an empty code clears it), with its history row, in one
// transaction. Returns false when the bib is not in the competition; true also when the
// status was already so (then nothing is written).
bool changeStatus(odbc::Connection& db, const QString& code, const QString& bib, int run,
                  const RunStatus& status);

} // namespace pistel
