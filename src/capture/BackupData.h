#pragma once

#include "results/ChangeHistory.h"

#include <QString>
#include <QStringList>

namespace pistel {

class Query;

// The backup timing data of a competition that a reset clears with the times: the hand-time
// sheets (hand_time) and the second timer's lines (backup_impulse, whose receipts stay so
// that a journaled line is never written again). A reset of run 2 clears run 2's sheets only;
// the second timer's lines carry no run and stay. The rows go into the reset's history entry
// (a competition-wide one, no bib), and its reversion puts them back exactly.
namespace backupdata {

// The data in `scope` (0: everything, 2: run 2) as a snapshot's values.
RowSnapshot read(Query& q, const QString& code, int scope);
// What the data holds, in the operator's words.
QString summary(const RowSnapshot& data);
// The history entry of a change of the data from `before` to `after`.
HistoryEntry changeEntry(const RowSnapshot& before, const RowSnapshot& after, const char* source);
// The history entry of a reset that clears `before`; false when there was nothing to clear.
bool clearedEntry(const RowSnapshot& before, HistoryEntry& entry);
// The statements that clear the data in `scope`.
QStringList clearStatements(const QString& code, int scope);
// The statements that put the data of the entry's scope to `target`.
QStringList restoreStatements(const QString& code, const RowSnapshot& target);
// Whether a history entry's snapshot is one of these (an entry without a bib).
bool isBackupData(const RowSnapshot& snapshot);

} // namespace backupdata
} // namespace pistel
