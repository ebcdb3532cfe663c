#pragma once

#include "results/ChangeHistory.h"
#include "results/RunStatus.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

namespace pistel {

// What the run window marks in its lists besides the rows: statuses, times set by hand,
// impulses nobody got and finishes without a start. A plain value, so that a window can
// hold a copy of what a station on another thread knows.
struct RunMarks {
    QHash<QString, RunStatus> statuses[2]; // per run: bib -> status
    ManualTimes manualTimes;               // bib -> STTIME/ALTIME/STTIME2/ALTIME2 set by hand
    QSet<QString> unassigned;              // pulsedata ids of the competition nobody got
    QStringList missingStarts;             // of the current run: a finish but no start
    int resultsGridClass = 0;              // class whose finishers the results lists show

    const QHash<QString, RunStatus>& statusesOf(int run) const { return statuses[run - 1]; }
    // Whether `bib`'s run time in `run` (0: the total) rests on a time set by hand.
    bool manualRunTime(const QString& bib, int run) const {
        const QHash<QString, QString> m = manualTimes.value(bib);
        const bool first =
            m.contains(QStringLiteral("STTIME")) || m.contains(QStringLiteral("ALTIME"));
        const bool second =
            m.contains(QStringLiteral("STTIME2")) || m.contains(QStringLiteral("ALTIME2"));
        return run == 1 ? first : run == 2 ? second : first || second;
    }
};

} // namespace pistel
