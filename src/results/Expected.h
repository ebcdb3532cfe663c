#pragma once

#include <QString>

namespace pistel {

// Who a run expects at its start and at its finish. Forerunners and withdrawn entries
// (excluded from the lists) are never expected, nor is a competitor with a status in the run
// (a DNS reported before the start included); run 2 expects only those who finished run 1
// without a status, since any run-1 status ends the race. The capture's boxes and searches,
// the start lists, the live page's next to start and the end-of-run offer all ask this.
namespace expected {

// The condition on a row of `result` (the table by that name) of competition `code`, as
// " and ..." pieces.
QString inRunCondition(int run, const QString& code);
// The condition for being allowed to start run 2 at all (a run-2 status aside).
QString mayStartRun2Condition(const QString& code);
// The same rule on values at hand: `dropm`, the run-1 state `FL`, and whether the competitor
// has a status in run 1 and in `run`.
bool inRun(int run, const QString& dropm, const QString& fl1, bool statusInRun1, bool statusInRun);
// Allowed to start run 2 at all: run 1 finished without a status, not excluded.
bool mayStartRun2(const QString& dropm, const QString& fl1, bool statusInRun1);

} // namespace expected
} // namespace pistel
