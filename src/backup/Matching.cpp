#include "Matching.h"

#include <QHash>
#include <algorithm>
#include <cstdlib>

namespace pistel {

namespace {
constexpr size_t kNone = static_cast<size_t>(-1);

// Index of the value in `values` (by position) nearest to `t`, among `allowed`.
size_t nearest(TimeUnits t, const std::vector<TimeUnits>& values) {
    size_t best = kNone;
    for (size_t i = 0; i < values.size(); ++i)
        if (best == kNone || std::llabs(values[i] - t) < std::llabs(values[best] - t))
            best = i;
    return best;
}
} // namespace

MatchResult matchHandTimes(const std::vector<HandTime>& hand,
                           const std::vector<MatchCompetitor>& competitors, TimeUnits tolerance) {
    MatchResult result;
    QHash<QString, size_t> byBib;
    for (size_t c = 0; c < competitors.size(); ++c)
        byBib.insert(competitors[c].zek, c);
    std::vector<size_t> owner(hand.size(), kNone);        // hand -> competitor
    std::vector<size_t> given(competitors.size(), kNone); // competitor -> hand
    for (size_t h = 0; h < hand.size(); ++h)
        if (!hand[h].bib.isEmpty() && byBib.contains(hand[h].bib) &&
            given[byBib[hand[h].bib]] == kNone) {
            owner[h] = byBib[hand[h].bib];
            given[owner[h]] = h;
        }

    // The free hand times and the competitors with an A time and none yet.
    std::vector<size_t> freeHand, timed;
    std::vector<TimeUnits> handTimes, aTimes;
    for (size_t h = 0; h < hand.size(); ++h)
        if (owner[h] == kNone && hand[h].bib.isEmpty()) {
            freeHand.push_back(h);
            handTimes.push_back(hand[h].time);
        }
    for (size_t c = 0; c < competitors.size(); ++c)
        if (competitors[c].a && given[c] == kNone) {
            timed.push_back(c);
            aTimes.push_back(*competitors[c].a);
        }

    // The typical offset from the pairs that are each other's nearest.
    std::vector<TimeUnits> offsets;
    for (size_t i = 0; i < freeHand.size(); ++i) {
        const size_t j = nearest(handTimes[i], aTimes);
        if (j != kNone && nearest(aTimes[j], handTimes) == i)
            offsets.push_back(handTimes[i] - aTimes[j]);
    }
    if (!offsets.empty()) {
        std::sort(offsets.begin(), offsets.end());
        const size_t mid = offsets.size() / 2;
        result.offset = offsets.size() % 2 ? offsets[mid] : (offsets[mid - 1] + offsets[mid]) / 2;
    }

    // The closest pairs within the tolerance first.
    struct Pair {
        TimeUnits distance;
        size_t hand, competitor;
    };
    std::vector<Pair> pairs;
    for (size_t i = 0; i < freeHand.size(); ++i)
        for (size_t j = 0; j < timed.size(); ++j) {
            const TimeUnits d = std::llabs(handTimes[i] - (aTimes[j] + result.offset));
            if (d <= tolerance)
                pairs.push_back({d, freeHand[i], timed[j]});
        }
    std::sort(pairs.begin(), pairs.end(), [](const Pair& x, const Pair& y) {
        return x.distance != y.distance ? x.distance < y.distance : x.competitor < y.competitor;
    });
    for (const Pair& p : pairs)
        if (owner[p.hand] == kNone && given[p.competitor] == kNone) {
            owner[p.hand] = p.competitor;
            given[p.competitor] = p.hand;
        }

    // Competitors without an A time: the hand times left between their neighbours' ones,
    // when there are exactly as many as competitors in the gap.
    size_t c = 0;
    while (c < competitors.size()) {
        if (competitors[c].a || given[c] != kNone) {
            ++c;
            continue;
        }
        size_t end = c;
        while (end < competitors.size() && !competitors[end].a && given[end] == kNone)
            ++end;
        const std::optional<TimeUnits> low =
            c > 0 && given[c - 1] != kNone ? std::optional(hand[given[c - 1]].time) : std::nullopt;
        const std::optional<TimeUnits> high = end < competitors.size() && given[end] != kNone
                                                  ? std::optional(hand[given[end]].time)
                                                  : std::nullopt;
        std::vector<size_t> between;
        for (size_t h : freeHand)
            if (owner[h] == kNone && (!low || hand[h].time > *low) &&
                (!high || hand[h].time < *high) && (low || high))
                between.push_back(h);
        if (between.size() == end - c) {
            std::sort(between.begin(), between.end(),
                      [&](size_t x, size_t y) { return hand[x].time < hand[y].time; });
            for (size_t k = 0; k < between.size(); ++k) {
                owner[between[k]] = c + k;
                given[c + k] = between[k];
            }
        }
        c = end;
    }

    for (size_t h = 0; h < hand.size(); ++h) {
        MatchRow row{hand[h], {}, std::nullopt};
        if (owner[h] != kNone) {
            row.bib = competitors[owner[h]].zek;
            row.a = competitors[owner[h]].a;
        }
        result.rows.push_back(row);
    }
    return result;
}

} // namespace pistel
