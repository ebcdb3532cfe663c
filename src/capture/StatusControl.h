#pragma once

#include "RunBoxes.h"
#include "results/RunStatus.h"

#include <QStringList>

namespace pistel {

extern const char* const kTimeForStatus;

// Run statuses set from the run window and the end of a run, with the boxes following them:
// a competitor the run no longer expects leaves the boxes, one expected again takes the
// start box back in order.
class StatusControl {
public:
    StatusControl(RunContext& run, RunRows& rows, RunBoxes& boxes)
        : run_(run), rows_(rows), boxes_(boxes) {}

    // Sets (an empty code: clears) a competitor's status in `run`, with its history row. Asks
    // first when the times say otherwise (DNS with a start time, DNF with a run time); true
    // when stored. A status never changes a time.
    bool setStatus(const QString& bib, int run, const RunStatus& status);
    // Who the end of a run offers, in class `cls`: DNS for those without a start, DNF for
    // those started without a finish; neither has a status in the run yet.
    struct EndOfRun {
        QStringList dns, dnf;
    };
    EndOfRun endOfRunCandidates(int run, int cls);
    // Stores one status for each of `bibs` (an offer the operator confirmed).
    void setStatuses(const QStringList& bibs, int run, const QString& code);
    // The end of a run: for each class, the DNS list and then the DNF list are offered and
    // stored when the operator confirms them. Returns how many statuses were stored.
    int offerEndOfRun(int run);
    // The boxes after `bib`'s status in `run` was set or cleared.
    void boxesFollowStatus(const QString& bib, int run);
    // After an operator's assignment: a status the new time contradicts is asked about.
    void askAboutStatus(const QString& bib, int run, bool start);

private:
    RunContext& run_;
    RunRows& rows_;
    RunBoxes& boxes_;
};

} // namespace pistel
