#pragma once

#include "Race.h"

#include <QString>
#include <algorithm>
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

// One row's place in a ranking.
template <typename Row> struct Placed {
    const Row* row = nullptr;
    int rank = 0;         // 0: no time, unranked
    long long time = -1;  // hundredths; negative: none
    long long behind = 0; // hundredths behind the leader
};

// The one rule of a rank: by `timeOf` (hundredths, negative for none); equal times share the
// rank and the next is skipped (1, 1, 3), ties in ascending `keyOf`; rows without a time
// follow, unranked, in the order they came. The window, the documents, the command line and
// the live page all rank by it.
template <typename Row, typename TimeOf, typename KeyOf>
std::vector<Placed<Row>> rankWithTies(const std::vector<const Row*>& rows, TimeOf timeOf,
                                      KeyOf keyOf) {
    std::vector<Placed<Row>> placed;
    for (const Row* r : rows)
        placed.push_back({r, 0, timeOf(*r), 0});
    std::stable_sort(placed.begin(), placed.end(), [&](const Placed<Row>& a, const Placed<Row>& b) {
        if ((a.time < 0) != (b.time < 0))
            return b.time < 0;
        if (a.time < 0)
            return false;
        return a.time != b.time ? a.time < b.time : keyOf(*a.row) < keyOf(*b.row);
    });
    for (size_t i = 0; i < placed.size() && placed[i].time >= 0; ++i) {
        placed[i].rank = i > 0 && placed[i].time == placed[i - 1].time ? placed[i - 1].rank
                                                                       : static_cast<int>(i) + 1;
        placed[i].behind = placed[i].time - placed.front().time;
    }
    return placed;
}

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
// Run 2 by the run-2 time (finished both runs, no status in either).
std::vector<RankedRow> rankRun2(const std::vector<const Competitor*>& competitors);

// The competitors of class `cls` (not excluded from the lists).
std::vector<const Competitor*> classMembers(const Race& race, int cls);

} // namespace pistel
