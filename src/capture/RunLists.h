#pragma once

#include "RunContext.h"

#include <QHash>
#include <QString>
#include <QStringList>

namespace pistel {

class Query;

// The five lists of a run page: their statements, and how they follow what was written
// (the row as written put in, or the changed competitor's rows read again), the boxes kept.
class RunLists {
public:
    explicit RunLists(RunContext& run) : run_(run) {}

    // The statements of the lists.
    QStringList impulses(const QString& channel, int run) const;
    QStringList results(const QString& flag, int cls, const QString& order) const;

    // The competitor lists of `p` are read again (only `changed`'s rows when they are known);
    // the boxes keep naming whom they named, even a competitor not (or no longer) listed.
    void rereadKeepingBoxes(RunPage& p, const QStringList& changed = {});
    // All lists of the current page, the boxes kept; then the unassigned impulses.
    void rereadCurrentPage();
    // The lists take the row as written: after a start both lists, the start box kept; after
    // a finish (`keepFinishBox`) the finish list, both boxes kept.
    void putRow(RunPage& p, const QHash<QString, QString>& row, bool keepFinishBox);
    // The results list after `bib`'s run time (class `cls`) was stored: the last finisher's
    // class, with the row up to date. `written`: the row as written, when known.
    void showRunTime(const QString& bib, int run, const QString& cls,
                     const QHash<QString, QString>* written);
    // Position a list on a bib: an exact search on zek; no match leaves it as it is.
    static void position(Query& list, const QString& bib);

private:
    // Whether the start or finish list of `p` (or the results list of `flag` and class `cls`)
    // selects a row with these values: their statements' conditions.
    bool listHolds(const RunPage& p, const Query& list, const QHash<QString, QString>& row) const;
    static bool resultsHold(const QString& flag, int cls, const QHash<QString, QString>& row);
    void showInResults(Query& results, const QString& flag, const QString& order,
                       const QString& bib, const QHash<QString, QString>* written);

    RunContext& run_;
};

} // namespace pistel
