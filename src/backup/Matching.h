#pragma once

#include "HandTimes.h"

#include <optional>
#include <vector>

namespace pistel {

// A competitor as the matching sees them, in start order: the system-A time at the channel.
struct MatchCompetitor {
    QString zek;
    std::optional<TimeUnits> a;
};

struct MatchRow {
    HandTime hand;
    QString bib; // the competitor it went to; empty: nobody
    std::optional<TimeUnits> a;
};

struct MatchResult {
    std::vector<MatchRow> rows; // one per hand time, in the file's order
    TimeUnits offset = 0;       // typical hand time minus A time
};

inline constexpr TimeUnits kDefaultTolerance = 5000; // 0.5 s

// Gives backup times to competitors. A time written with a bib goes to that bib. The others:
// the offset is the median of (hand - A) over the pairs that are each other's nearest; each
// competitor gets the hand time nearest to A + offset within the tolerance, each hand time
// goes to one competitor at most, the closest pairs first. A competitor without an A time gets
// a hand time when it is the only one left between its neighbours' hand times (in start order,
// as many times as competitors in the gap).
MatchResult matchHandTimes(const std::vector<HandTime>& hand,
                           const std::vector<MatchCompetitor>& competitors,
                           TimeUnits tolerance = kDefaultTolerance);

} // namespace pistel
