#pragma once

#include <QString>

namespace pistel {

// Whether `finish` belongs after `start` (both times of day): a finish "before" the start by
// more than half a day is a run across midnight.
bool finishFollows(const QString& start, const QString& finish);

// A run's time, the total of both runs and the run's state, from its start and finish times
// of day. Without both times there is no run time (never the time of day of a lone finish):
// the total is the other run alone, the state says whether anything of the run is there.
struct RunTimeState {
    QString runTime; // empty without both times
    QString total;
    QString state; // N, S or F
};
RunTimeState runTimeState(int run, const QString& start, const QString& finish,
                          const QString& otherRunTime);
// The assignments of a run's time, its parts, the total and the state, as they go into an
// update of the competitor's row.
QString runTimeSet(int run, const RunTimeState& state);
QString runTimeSet(int run, const QString& start, const QString& finish,
                   const QString& otherRunTime);

} // namespace pistel
