#pragma once

#include "Capture.h"
#include "Corrections.h"
#include "Resets.h"
#include "RunContext.h"
#include "RunSelection.h"
#include "StatusControl.h"

namespace pistel {

// The logic of the competition run window: both run pages and what the window knows of the
// competition (the context it derives from), with one part for each job. The parts share
// no competitor's row: each reads the rows it needs in its own statement.
class RunControl : public RunContext {
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

    // While a timer line's transaction is open, the capture's writes join `batch`; see
    // TimeStore.
    TimeStore& timeStore() { return store_; }
    // All lists of the current page read again (after the connection came back), the boxes
    // kept.
    void rereadCurrentPage() { lists_.rereadCurrentPage(); }
};

} // namespace pistel
