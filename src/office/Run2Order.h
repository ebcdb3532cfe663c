#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace pistel {

namespace odbc {
class Connection;
}

// One competitor of a class after run 1.
struct Run1Standing {
    QString bib;
    long long hundredths = -1; // run-1 time; negative: none
    bool status = false;       // DNS, DNF or DSQ in run 1
};

struct Run2Rules {
    // The first this many of run 1 start run 2 in reverse order (0: rank order; a large number:
    // everybody reversed). Those tied on the last reversed place are all reversed.
    int reversed = 30;
    // Among tied competitors the lower bib starts first (false: the higher).
    bool lowerBibFirst = true;
    // Those with a run-1 status or no run-1 time start run 2 after the others, in bib order
    // (false: they do not start run 2).
    bool othersAfter = false;
};

// The run-2 start order of one class, bibs from the first starter on.
QStringList run2StartOrder(std::vector<Run1Standing> standings, const Run2Rules& rules);

// What a class's run 2 looks like in the database.
struct ClassRun2 {
    std::vector<Run1Standing> standings;
    QStringList started; // competitors with a run-2 time already
};
// Reads class `cls` of competition `code` (not the excluded). Throws DbError.
ClassRun2 readClassRun2(odbc::Connection& db, const QString& code, int cls);
// Writes `order` as st2 1 to n of class `cls` (0 for who does not start run 2), in one
// transaction with its change-history row. Throws DbError.
void writeRun2Order(odbc::Connection& db, const QString& code, int cls, const QStringList& order);

// The run-2 rules of class `cls`: its own when set, else the competition's, else the defaults.
Run2Rules readRun2Rules(odbc::Connection& db, const QString& code, int cls);
// Keeps the rules of class `cls` (0: the competition's, for classes without their own).
void saveRun2Rules(odbc::Connection& db, const QString& code, int cls, const Run2Rules& rules);

} // namespace pistel
