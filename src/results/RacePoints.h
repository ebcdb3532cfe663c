#pragma once

#include <QString>
#include <QStringList>
#include <algorithm>
#include <optional>
#include <vector>

namespace pistel {

// The alpine points rule. All values are integer hundredths (times in hundredths of a second,
// points in hundredths of a point).

// The discipline's factor F and the highest points value that counts (FIS).
struct DisciplineValues {
    int factor = 0;
    long long maximum = 0; // hundredths
};
std::optional<DisciplineValues> disciplineValues(const QString& discipline);

// Race points P = F × Tx / To − F, rounded to 1/100 from 0.005 up.
long long racePoints(int factor, long long winnerTime, long long time);

// Points as the penalty counts them: missing (negative) or above the maximum, the maximum.
inline long long countedPoints(long long points, long long maximum) {
    return points < 0 ? maximum : std::min(points, maximum);
}

// One competitor as the penalty looks at them.
struct PenaltyEntry {
    long long points = -1;    // the entry's points for the discipline; negative: none
    int rank = 0;             // final rank; 0: not classified
    long long racePoints = 0; // of a classified competitor
    bool started = true;      // false: did not start run 1
};

struct Penalty {
    long long a = 0, b = 0, c = 0;
    long long value = 0; // (A + B − C) ÷ 10, rounded to 1/100 from 0.005 up, at least the minimum
};

// The penalty by the FIS rule: A, the five best points among the first ten classified (those
// tied on 10th place all count as tenth); B, the five best among those who started run 1; C,
// the race points of the five counted in A. Points missing or above the maximum count with
// the maximum, and so do race points above it; fewer than five count the missing with the
// maximum; of two or more on the fifth-best points, the one with the higher race points counts.
// `countedInA`, when given, gets the indexes in `entries` of those whose points make A.
Penalty penalty(const std::vector<PenaltyEntry>& entries, long long maximum, long long minimum = 0,
                std::vector<size_t>* countedInA = nullptr);

} // namespace pistel
