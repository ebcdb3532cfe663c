#pragma once

#include <QString>

namespace pistel {

namespace odbc {
class Connection;
}

// What became of a replacement time.
enum class ReplacementOutcome {
    Stored,
    AlreadySo,        // the competitor has this very time
    TimerTimeStands,  // a time of the timer is there: never replaced
    NotInCompetition, // no such bib
};

// Stores a replacement time from backup timing as the start (`start`) or finish of `bib` in
// `run`, with the run time and total that follow and its history row, in one transaction,
// unless a time of the timer is there (one that is not itself a replacement). Throws DbError.
ReplacementOutcome storeReplacementTime(odbc::Connection& db, const QString& code,
                                        const QString& bib, int run, bool start,
                                        const QString& time);

} // namespace pistel
