#pragma once

#include "RunContext.h"

#include <QHash>
#include <optional>

namespace pistel {

// Clearing the captured times of the current competition after the operator confirms:
// everything on the run-1 page, the second run on the run-2 page, with the backup timing
// data that belongs to them. A line captured while the operator is asked stops it.
class Resets {
public:
    explicit Resets(RunContext& run) : run_(run) {}

    void resetRunData();

private:
    void resetAll();
    void resetRun2();
    // Asks `question` (a reset cannot be undone): the competition as it was when asked, if
    // the operator said yes and no line changed it meanwhile (else the operator is told);
    // nothing otherwise.
    std::optional<QHash<QString, RowSnapshot>> confirmed(const char* question);
    // The backup timing data of `scope` (0: all, 2: run 2) is cleared, with its history.
    void clearBackupData(int scope);
    void exec(const QStringList& statement);

    RunContext& run_;
};

} // namespace pistel
