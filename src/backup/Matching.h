#pragma once

#include "HandTimes.h"

#include <optional>
#include <vector>

namespace pistel {

// A competitor as the matching sees them, in start order: the system-A time at the channel,
// and whether they can have a time there at all (not for a DNS, nor at the finish for a DNF).
struct MatchCompetitor {
    QString zek;
    std::optional<TimeUnits> a;
    bool expected = true;
};

struct MatchRow {
    HandTime hand;
    QString bib; // the competitor it went to; empty: nobody
    std::optional<TimeUnits> a;
    QString unmatched; // why nobody got it
};

struct MatchResult {
    std::vector<MatchRow> rows; // one per hand time, in the file's order
    TimeUnits offset = 0;       // typical hand time minus A time
    int pairs = 0;              // the pairs the offset rests on
    QString refused;            // why nothing was matched: the offset cannot be relied on
};

inline constexpr TimeUnits kDefaultTolerance = 5000; // 0.5 s
inline constexpr int kMinimumPairs = 5;

// Gives backup times to competitors.
// - The offset (hand minus A) is the median over the pairs that are certain: a bib written
//   beside a time, for a competitor with an A time, and unnamed times and A times that are
//   each other's nearest. Fewer than kMinimumPairs pairs, or a middle half of them wider than
//   the tolerance, and nothing is matched: the result says why.
// - No pair is ever further than the tolerance from that offset: a bib beside a time too far
//   from its competitor's A time is left unmatched with the reason, and so is an unnamed time
//   near nobody. Each competitor gets the unnamed time nearest to A + offset, the closest pairs
//   first; each time goes to one competitor at most.
// - A competitor without an A time gets a bib's time that lies between the A times (plus the
//   offset) of the competitors before and after them in start order, or an unnamed time when
//   it is the only one left between its neighbours' times (in start order, as many times as
//   competitors who can have one in the gap).
MatchResult matchHandTimes(const std::vector<HandTime>& hand,
                           const std::vector<MatchCompetitor>& competitors,
                           TimeUnits tolerance = kDefaultTolerance);

} // namespace pistel
