#pragma once

#include "LineCapture.h"
#include "RunBoxes.h"
#include "RunLists.h"
#include "TimeStore.h"

#include <QString>

namespace pistel {

// Capture of timer lines into the current run: the competitor in the box gets the time of
// day of the impulse, and the box advances to the competitor expected next, class by class.
// The device's own corrections ("c"/"d" take a line back, "i" brings an entered time) are
// followed; a line cleared at the device ("C") is never assigned. A start or finish that
// nobody gets is reported, never dropped in silence.
class Capture {
public:
    Capture(RunContext& run, RunRows& rows, RunBoxes& boxes, RunLists& lists, TimeStore& store)
        : run_(run), rows_(rows), boxes_(boxes), lists_(lists), store_(store) {}

    CaptureResult captureLine(const TimerLine& line);

    // The boxes as they stand, and putting them back.
    BoxState boxState();
    void restoreBoxes(const BoxState& boxes);

private:
    // Undoes the assignment of the time a "c"/"d" line takes back and puts that channel's box
    // back on the competitor who had it. A start taken back keeps the finish for what comes
    // next (an edited start is computed against it, a restart's finish replaces it).
    void takeBack(const TimerLine& line);
    // An "i" line: the time goes to the line's bib when it has none for that channel, and the
    // run time follows when the other time is there.
    CaptureResult captureEdited(const TimerLine& line);
    CaptureResult captureStart(const TimerLine& line);
    CaptureResult captureFinish(const TimerLine& line);

    RunContext& run_;
    RunRows& rows_;
    RunBoxes& boxes_;
    RunLists& lists_;
    TimeStore& store_;
};

} // namespace pistel
