#pragma once

#include "RunStatus.h"

#include <QString>

namespace pistel {

namespace odbc {
class Connection;
}

// Sets the status of `bib` in `run` (an empty code clears it), with its history row, in one
// transaction. Returns false when the bib is not in the competition; true also when the
// status was already so (then nothing is written).
bool changeStatus(odbc::Connection& db, const QString& code, const QString& bib, int run,
                  const RunStatus& status);

} // namespace pistel
