#pragma once

#include "RunContext.h"

#include <QHash>

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
    // Whether the competition is still as `asked` (read before a question); tells the
    // operator when a line changed it meanwhile.
    bool unchangedDuringQuestion(const QHash<QString, RowSnapshot>& asked);
    // The backup timing data of `scope` (0: all, 2: run 2) is cleared, with its history.
    void clearBackupData(int scope);
    void exec(const QStringList& statement);

    RunContext& run_;
};

} // namespace pistel
