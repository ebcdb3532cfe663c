#pragma once

#include "OutsideChanges.h"
#include "RunBoxes.h"
#include "RunLists.h"
#include "StatusControl.h"

#include <QString>

namespace pistel {

class Query;

// What the operator is told when a typed bib is not a number.
extern const char* const kBibNotANumber;
extern const char* const kBibNotInCompetition;

// Selecting a run (it becomes current and its five lists are rebuilt, the boxes on the
// competitors expected next) and moving the boxes by hand: "次", "前", a row chosen in a
// list, a bib typed in a box. Changes made elsewhere are followed here too.
class RunSelection {
public:
    RunSelection(RunContext& run, RunRows& rows, RunLists& lists, StatusControl& statuses)
        : run_(run), rows_(rows), lists_(lists), statuses_(statuses) {}

    void selectRun1() { selectRun(1); }
    void selectRun2() { selectRun(2); }
    void selectRun(int run);
    // Another program changed entries, times or statuses: the open lists take the rows that
    // changed (all of them are read again when too many did), statuses and marks are read
    // again when they may have changed, and the boxes follow statuses as when they are set
    // here.
    void followOutsideChanges(const OutsideChange& change);

    // "次" moves a box to the row above (who comes next), "前" to the row below.
    enum class BoxKind { Start, Finish };
    void moveBoxToNext(RunPage& page, BoxKind box);
    void moveBoxToPrevious(RunPage& page, BoxKind box);
    // A row chosen in the start or finish list (the grid has made the row current): the box
    // names its competitor; a finish row on the run-1 page also shows its class's results.
    void boxToChosenRow(RunPage& page, BoxKind box);
    // Enter in a bib box of `page`: the typed number is shown with four digits and the box's
    // list stands on it. Returns false (and tells the operator) when it is not a number.
    bool findStartBib(RunPage& page, const QString& typed);
    bool findFinishBib(RunPage& page, const QString& typed);

    // The bib of a list's current row; empty when none.
    static QString currentZek(const Query& list);

private:
    void moveBox(Query& list, int step, void (RunPage::*setBox)(const QString&), RunPage& page);
    bool enterBib(Query& list, void (RunPage::*setBox)(const QString&), RunPage& page,
                  const QString& typed);

    RunContext& run_;
    RunRows& rows_;
    RunLists& lists_;
    StatusControl& statuses_;
};

} // namespace pistel
