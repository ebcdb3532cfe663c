#pragma once

#include "Race.h"

#include <QString>
#include <vector>

namespace pistel {

// A stored run time or total ("HH:MM:SS.ff") in hundredths; -1 when empty or malformed.
long long hundredthsOf(const QString& runTime);
// A run time as shown ("1:02:03.45", "1:05.12", "59.50") in hundredths; -1 when it is none.
long long shortTimeHundredths(const QString& shown);
// A run time as result lists show it: "45.10", "1:05.12", "1:02:03.45".
QString shortTime(const QString& runTime);
// A difference to the leader: "+0.35", "+1:02.35"; "" for the leader.
QString behindText(long long hundredths);

struct RankedRow {
    const Competitor* competitor = nullptr;
    int rank = 0;
    long long time = 0;   // hundredths
    long long behind = 0; // hundredths behind the leader
};

// Ranks the competitors of one class: run 1 by the run-1 time (finished run 1, no status),
// the final ranking by the stored total (both runs finished, no status in either). Equal
// times share a rank and the next is skipped (1, 1, 3); within a tie, ascending bib.
std::vector<RankedRow> rankRun1(const std::vector<const Competitor*>& competitors);
std::vector<RankedRow> rankFinal(const std::vector<const Competitor*>& competitors);

// The competitors of class `cls` (not excluded from the lists).
std::vector<const Competitor*> classMembers(const Race& race, int cls);

} // namespace pistel
