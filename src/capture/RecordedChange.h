#pragma once

#include "data/Transaction.h"
#include "results/ChangeHistory.h"

#include <QString>

namespace pistel {

// An operator's change to one competitor's row, written together with its history row: the
// row is read when it begins, and commit() reads it again and records what changed, in the
// same transaction as the change (nothing changed: no history row).
class RecordedChange {
public:
    RecordedChange(odbc::Connection& db, const QString& code, const QString& bib,
                   const char* source);
    // The row as it was when the change began (empty when the bib is not in the competition).
    const RowSnapshot& before() const { return before_; }
    bool known() const { return known_; }
    // The change gives impulse `impulseId` to the competitor: its unassigned mark (reason
    // `reason`) goes, and the entry keeps it so that a reversion puts it back.
    void takesImpulse(const QString& impulseId, const QString& reason);
    // The entry keeps an impulse's mark as it was and as the change leaves it ("id|reason").
    void changesImpulseMark(const QString& before, const QString& after);
    void commit();

private:
    odbc::Connection& db_;
    QString code_, bib_, source_;
    RowSnapshot before_;
    QString impulseBefore_, impulseAfter_; // the entry's UNASSIGNED values
    bool known_ = false;
    Transaction transaction_;
};

// The row after a run's start or finish (`timeColumn`) became `time`, with the run time,
// total and state that follow.
RowSnapshot rowAfterStore(RowSnapshot row, int run, const QString& timeColumn, const QString& time,
                          const QString& runTime, const QString& total, const QString& state);

} // namespace pistel
