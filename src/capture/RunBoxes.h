#pragma once

#include "RunRows.h"

namespace pistel {

// The start and finish boxes go to who comes next: the next starter of the class or the
// first of the next class; the earliest starter on course, or whoever starts next.
class RunBoxes {
public:
    RunBoxes(RunContext& run, RunRows& rows) : run_(run), rows_(rows) {}

    // The start box moves to the next competitor expected at the start after start order `s`
    // in class `k`, else to the first of the next class; false when nobody waits.
    bool advanceStart(RunPage& p, const RunColumns& c, const QString& s, const QString& k);
    // The start box goes to `next` (read beside a row); false when nobody waits.
    bool startNext(RunPage& p, const RunColumns& c, const NextStarter& next);
    // The finish box moves to who is expected to finish next (see RunRows::expectedFinisher);
    // it stays when nobody is.
    void advanceFinish(RunPage& p, const RunColumns& c, const QString& cls,
                       const QString& finished);
    // The start box names `bib`, and the list's highlight goes with it.
    static void startBoxTo(RunPage& p, const QString& bib);
    // The finish box names `bib` (who has not started yet too), the list's highlight with it.
    static void finishBoxTo(RunPage& p, const QString& bib);

private:
    RunContext& run_;
    RunRows& rows_;
};

} // namespace pistel
