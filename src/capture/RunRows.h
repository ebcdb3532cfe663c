#pragma once

#include "RunContext.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace pistel {

// A competitor's row as one capture or correction read it: each reads its own, so a line
// captured during an operator's question never changes the row the question is about.
struct RunRow {
    QString start, finish, order, cls, flag1, time1, time2, dropm;
    bool status[2] = {false, false}; // a status in run 1, run 2
    QHash<QString, QString> values;  // every column read (upper-case names), for the lists
};

// A competitor a search found, with their class.
struct Candidate {
    QString zek, cls;
};

// Who the start box goes to after a competitor starts: the next of the class, else the first
// of the next class.
struct NextStarter {
    Candidate inClass, nextClass;
};

// Reading a competitor's row of a run and who comes next, each in one round trip: the next
// starter of the class or the first of the next class, the earliest starter on course.
class RunRows {
public:
    explicit RunRows(RunContext& run) : run_(run) {}

    // The row of `bib` in the run of `c`; nothing when the bib is not in the competition.
    std::optional<RunRow> read(const RunColumns& c, const QString& bib);
    // The row of `bib` and who the start box goes to once they start.
    std::optional<RunRow> readWithNextStarter(const RunColumns& c, const QString& bib,
                                              NextStarter& next);
    // The row of `bib` and who finishes next once they have (as the finish box is placed, with
    // the start box of `p` as it stands).
    std::optional<RunRow> readWithNextFinisher(const RunPage& p, const RunColumns& c,
                                               const QString& bib, QString& next);
    // Who starts after start order `order` in class `cls`.
    NextStarter nextStarter(const RunColumns& c, const QString& order, const QString& cls);
    // Who is expected to finish next: the earliest starter on course (of class `cls` first);
    // with nobody on course, the competitor expected at the start next. `finished`: who has
    // just been given a finish not yet written. Empty when nobody.
    QString expectedFinisher(const RunPage& p, const RunColumns& c, const QString& cls,
                             const QString& finished);
    // The first competitor the run of `c` expects at the start, in the capture's order.
    QString firstExpectedStarter(const RunColumns& c);

    // Whether the run of `c` expects `row`, and why not (%1: the bib).
    static bool isExpected(const RunColumns& c, const RunRow& row);
    static const char* notExpectedReason(const RunColumns& c, const RunRow& row);
    // Whether the finish of `row` stands (not one a later finish replaces). `named`: the line
    // names the bib (a finish line of its own replaces a kept finish).
    bool finishStands(const RunColumns& c, const RunRow& row, const QString& bib, bool named) const;

private:
    // One search for a competitor read beside a row: the first row of result (of this
    // competition) meeting `condition` in `order`, tagged `pick`.
    QString candidate(int pick, const QString& condition, const QString& order) const;
    // The row of `bib` (none when `bib` is empty) with `candidates` read in the same round
    // trip, into `found` by pick.
    std::optional<RunRow> readWith(const RunColumns& c, const QString& bib,
                                   const QStringList& candidates, QHash<int, Candidate>* found);
    // `order` and `cls` are SQL expressions: literals, or a search for a competitor's row.
    QStringList nextStarterCandidates(const RunColumns& c, const QString& order,
                                      const QString& cls) const;
    QStringList nextFinisherCandidates(const RunPage& p, const RunColumns& c, const QString& cls,
                                       const QString& finished) const;
    static QString firstFinisher(const QHash<int, Candidate>& found);

    RunContext& run_;
};

} // namespace pistel
