#pragma once

#include "RunBoxes.h"
#include "RunLists.h"
#include "StatusControl.h"
#include "TimeStore.h"

#include <QString>

namespace pistel {

class Query;

// What the operator is told when a correction has no impulse to assign.
extern const char* const kNoImpulseSelected;
// The chosen impulse is no longer in the log (a reset meanwhile).
extern const char* const kImpulseGone;
// Questions before a manual correction stores something odd (%1, %2: bibs or times).
extern const char* const kTimeUsedTwice;
extern const char* const kFinishBeforeStart;

// The operator's corrections of times in the current run: a logged impulse assigned by hand,
// a start or finish time cancelled, a run time computed again, an impulse left unassigned on
// purpose, a change of the history taken back, a replacement time from backup timing. Each
// reads the competitor's row after its questions, and writes nothing when a line changed it
// meanwhile.
class Corrections {
public:
    Corrections(RunContext& run, RunRows& rows, RunBoxes& boxes, RunLists& lists, TimeStore& store,
                StatusControl& statuses)
        : run_(run), rows_(rows), boxes_(boxes), lists_(lists), store_(store), statuses_(statuses) {
    }

    // The impulse (its pulsedata id) the operator highlighted when the menu opened is passed
    // in, so lines arriving while the menu is open cannot change what the command acts on;
    // empty: the list's current impulse. Likewise the bib; empty: the box's bib.
    // The chosen start impulse becomes the start time of the start box's bib.
    void assignStartImpulse(const QString& impulseId = {});
    // The chosen finish impulse becomes the finish time of the finish box's bib.
    void assignFinishImpulse(const QString& impulseId = {});
    void cancelStartTime(const QString& bib = {});
    void cancelFinishTime(const QString& bib = {});
    // Run time, its parts, the total and the finished state of one competitor. Without a
    // start there is no run time: the finish is kept and the state stays started.
    void calcruntime(const QString& bib, int run);
    // The operator leaves an impulse unassigned on purpose.
    void dismissImpulse(const QString& impulseId);
    // Puts a competitor back as they were before history entry `id`: exactly, when nothing
    // changed since; otherwise (after asking) the entry's times and statuses, with the run
    // times that follow. The reversion is a change of its own. False when not reverted.
    bool revertChange(long long id);
    // Stores a replacement time from backup timing as the start (or finish) of `bib` in `run`,
    // with the run time that follows and its history row, unless a time of the timer is there
    // (one that is not itself a replacement). True when stored or already so.
    bool applyReplacement(const QString& bib, int run, bool start, const QString& time);
    // What follows a replacement time stored (here or by another window): the marks, the
    // lists, and a question when it contradicts the competitor's status.
    void followReplacement(const QString& bib, int run, bool start);

    // The pulsedata id of an impulse list's current row; empty when none.
    static QString selectedImpulseId(const Query& impulses);

private:
    // The dtime of the chosen impulse, or nothing (the operator is told) when none is.
    bool selectedImpulseTime(const Query& impulses, const QString& impulseId, QString& time,
                             QString& id);
    // Asks before one impulse goes to a second competitor; true to go on.
    bool confirmSingleUse(const QString& timeColumn, const QString& time, const QString& bib);
    // Why impulse `impulseId` is marked unassigned; empty when it is not.
    QString unassignedReason(const QString& impulseId);
    // The impulse `impulseId` was given to somebody: it is no longer unassigned.
    void assigned(const QString& impulseId);
    void exec(const QStringList& statement);

    RunContext& run_;
    RunRows& rows_;
    RunBoxes& boxes_;
    RunLists& lists_;
    TimeStore& store_;
    StatusControl& statuses_;
};

} // namespace pistel
