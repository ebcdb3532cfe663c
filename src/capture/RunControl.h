#pragma once

#include "Capture.h"
#include "Corrections.h"
#include "LineCapture.h"
#include "Resets.h"
#include "RunContext.h"
#include "RunSelection.h"
#include "StatusControl.h"

namespace pistel {

// The logic of the competition run window: both run pages and what the window knows of the
// competition (the context it derives from), with one part for each job. The parts share
// no competitor's row: each reads the rows it needs in its own statement.
class RunControl : public RunContext, public LineCapture {
    Q_OBJECT
public:
    RunControl(AppState& app, TDM1& dm, OperatorDialog* dialog = nullptr,
               QObject* parent = nullptr);

private:
    // Shared by the parts below (declared first: they are built first).
    RunRows rows_;
    RunLists lists_;
    RunBoxes boxes_;
    TimeStore store_;

public:
    StatusControl statusControl; // statuses and the end of a run
    RunSelection selection;      // run selection, box navigation, changes made elsewhere
    Capture capture;             // timer lines into the current run
    Corrections corrections;     // the operator's corrections of times
    Resets resets;               // clearing a competition's or run 2's times

    // The receive handler's view of the capture.
    CaptureResult captureLine(const TimerLine& line) override { return capture.captureLine(line); }
    quint64 operatorChanges() const override { return RunContext::operatorChanges(); }
    BoxState boxState() override { return capture.boxState(); }
    void restoreBoxes(const BoxState& boxes) override { capture.restoreBoxes(boxes); }
    void deferWrites(QStringList* batch) override { store_.deferWrites(batch); }
    void runAfterWrites() override { store_.runAfterWrites(); }
    void discardAfterWrites() override { store_.discardAfterWrites(); }
    // All lists of the current page read again (after the connection came back), the boxes
    // kept.
    void rereadCurrentPage() override { lists_.rereadCurrentPage(); }
    void rereadUnassigned() override { RunContext::rereadUnassigned(); }
};

} // namespace pistel
