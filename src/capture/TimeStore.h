#pragma once

#include "RunRows.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace pistel {

// Stores a start or finish with the run time, total and state that follow, and its history
// row when the time is not a valid timer line's own. While a timer line's transaction is
// open the writes join the line's batch, and what reads them (the lists) waits until the
// batch is written.
class TimeStore {
public:
    explicit TimeStore(RunContext& run) : run_(run) {}

    // What a store wrote: whether a run time was computed, and the row as written.
    struct Stored {
        bool timed = false;
        QHash<QString, QString> row;
    };
    // Stores `time` as the start (`start`) or finish of `bib`, whose row is `row`.
    Stored store(const RunColumns& c, const RunRow& row, bool start, const QString& bib,
                 const QString& time);
    // A finish that does not stand gives way to `time`: stored with its history row, the old
    // finish impulse marked unassigned.
    Stored replaceFinish(const RunColumns& c, const RunRow& row, const QString& bib,
                         const QString& time);

    // Set: the times stored are recorded in the history with this source (a time entered on
    // the timer, a finish replaced); empty for a valid line's own time.
    QString historySource;

    // While a timer line's transaction is open the writes join `batch` (the line's last round
    // trip, with its impulse row and the commit), and what reads them waits for
    // runAfterWrites. nullptr: written at once, as the operator's corrections are.
    void deferWrites(QStringList* batch) { deferred_ = batch; }
    void runAfterWrites();
    void discardAfterWrites() { afterWrites_.clear(); } // the batch was not written
    // `work` runs once the writes so far are written (at once when they are not deferred).
    void afterWrites(std::function<void()> work);

private:
    void writeOrDefer(const QStringList& statement);

    RunContext& run_;
    QStringList* deferred_ = nullptr;
    std::vector<std::function<void()>> afterWrites_;
};

} // namespace pistel
