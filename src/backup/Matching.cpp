#include "Matching.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cstdlib>

namespace pistel {

namespace {
constexpr size_t kNone = static_cast<size_t>(-1);

// Index of the value in `values` nearest to `t` (across midnight); kNone when there is none.
size_t nearest(TimeUnits t, const std::vector<TimeUnits>& values) {
    size_t best = kNone;
    for (size_t i = 0; i < values.size(); ++i)
        if (best == kNone ||
            std::llabs(dayDifference(values[i], t)) < std::llabs(dayDifference(values[best], t)))
            best = i;
    return best;
}

TimeUnits median(std::vector<TimeUnits> v) {
    std::sort(v.begin(), v.end());
    const size_t mid = v.size() / 2;
    return v.size() % 2 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
}

// The width of the middle half of the values.
TimeUnits middleHalfWidth(std::vector<TimeUnits> v) {
    std::sort(v.begin(), v.end());
    return v[(v.size() * 3) / 4] - v[v.size() / 4];
}

// The matching of one sheet against one channel's competitors.
class Matcher {
public:
    Matcher(const std::vector<HandTime>& hand, const std::vector<MatchCompetitor>& competitors,
            TimeUnits tolerance)
        : hand_(hand), competitors_(competitors), tolerance_(tolerance), owner_(hand.size(), kNone),
          given_(competitors.size(), kNone), why_(hand.size()) {
        for (size_t c = 0; c < competitors.size(); ++c)
            byBib_.insert(competitors[c].zek, c);
    }

    MatchResult run() {
        MatchResult result;
        const std::vector<TimeUnits> offsets = certainOffsets();
        result.pairs = static_cast<int>(offsets.size());
        if (offsets.size() < static_cast<size_t>(kMinimumPairs)) {
            result.refused =
                QStringLiteral("手動計時と主計時の確かな組が %1 組しかなく（%2 組必要）、"
                               "両者の差を決められません。用紙の時刻にビブを書き"
                               "添えてください。")
                    .arg(offsets.size())
                    .arg(kMinimumPairs);
        } else if (middleHalfWidth(offsets) > tolerance_) {
            result.refused =
                QStringLiteral("手動計時と主計時の差のばらつき（中央の半分で %1 秒）が許容範囲 "
                               "%2 秒より大きく、両者の差を決められません。用紙の時刻にビブを"
                               "書き添えてください。")
                    .arg(correctionText(middleHalfWidth(offsets)), correctionText(tolerance_));
        }
        if (!result.refused.isEmpty()) {
            for (const HandTime& h : hand_)
                result.rows.push_back({h, {}, std::nullopt, result.refused});
            return result;
        }
        offset_ = result.offset = median(offsets);
        takeNamed();
        takeNearest();
        fillGaps();
        for (size_t h = 0; h < hand_.size(); ++h) {
            MatchRow row{hand_[h], {}, std::nullopt, why_[h]};
            if (owner_[h] != kNone) {
                row.bib = competitors_[owner_[h]].zek;
                row.a = competitors_[owner_[h]].a;
                row.unmatched.clear();
            } else if (row.unmatched.isEmpty()) {
                row.unmatched = QStringLiteral("許容範囲内で一致する主計時がありません");
            }
            result.rows.push_back(row);
        }
        return result;
    }

private:
    // How far a time is from a competitor's A time plus the offset.
    TimeUnits distance(TimeUnits handTime, TimeUnits a) const {
        return std::llabs(dayDifference(handTime, a) - offset_);
    }

    bool named(size_t h) const { return !hand_[h].bib.isEmpty(); }

    std::vector<TimeUnits> certainOffsets() {
        std::vector<TimeUnits> offsets;
        QSet<size_t> taken;
        for (size_t h = 0; h < hand_.size(); ++h) {
            const auto c = byBib_.constFind(hand_[h].bib);
            if (named(h) && c != byBib_.cend() && competitors_[*c].a && !taken.contains(*c)) {
                taken.insert(*c);
                offsets.push_back(dayDifference(hand_[h].time, *competitors_[*c].a));
            }
        }
        // Unnamed times and the A times of competitors no bib named: each other's nearest.
        for (size_t h = 0; h < hand_.size(); ++h)
            if (!named(h)) {
                freeHand_.push_back(h);
                handTimes_.push_back(hand_[h].time);
            }
        for (size_t c = 0; c < competitors_.size(); ++c)
            if (competitors_[c].a && !taken.contains(c)) {
                timed_.push_back(c);
                aTimes_.push_back(*competitors_[c].a);
            }
        for (size_t i = 0; i < freeHand_.size(); ++i) {
            const size_t j = nearest(handTimes_[i], aTimes_);
            if (j != kNone && nearest(aTimes_[j], handTimes_) == i)
                offsets.push_back(dayDifference(handTimes_[i], aTimes_[j]));
        }
        return offsets;
    }

    void takeNamed() {
        for (size_t h = 0; h < hand_.size(); ++h) {
            if (!named(h))
                continue;
            const QString& bib = hand_[h].bib;
            const auto c = byBib_.constFind(bib);
            if (c == byBib_.cend()) {
                why_[h] = QStringLiteral("ビブ %1 はこの本目の選手にいません").arg(bib);
            } else if (given_[*c] != kNone) {
                why_[h] = QStringLiteral("ビブ %1 には既に別の時刻があります").arg(bib);
            } else if (competitors_[*c].a &&
                       distance(hand_[h].time, *competitors_[*c].a) > tolerance_) {
                why_[h] =
                    QStringLiteral("ビブ %1: 主計時との差 %2 秒が基準の差 %3 秒から許容範囲"
                                   "を超えています")
                        .arg(bib, correctionText(dayDifference(hand_[h].time, *competitors_[*c].a)),
                             correctionText(offset_));
            } else if (!competitors_[*c].a && !betweenNeighbours(*c, hand_[h].time)) {
                why_[h] = QStringLiteral("ビブ %1: 前後の選手の時刻の間にありません").arg(bib);
            } else {
                owner_[h] = *c;
                given_[*c] = h;
            }
        }
    }

    // Whether a time fits a competitor without an A time: after the A time (plus the offset)
    // of the nearest competitor before them in start order that has one, and before that of
    // the nearest after them.
    bool betweenNeighbours(size_t c, TimeUnits t) const {
        for (size_t before = c; before-- > 0;)
            if (competitors_[before].a) {
                if (dayDifference(t, *competitors_[before].a + offset_) <= 0)
                    return false;
                break;
            }
        for (size_t after = c + 1; after < competitors_.size(); ++after)
            if (competitors_[after].a)
                return dayDifference(*competitors_[after].a + offset_, t) > 0;
        return true;
    }

    void takeNearest() {
        struct Pair {
            TimeUnits distance;
            size_t hand, competitor;
        };
        std::vector<Pair> pairs;
        for (size_t h : freeHand_)
            for (size_t c : timed_) {
                const TimeUnits d = distance(hand_[h].time, *competitors_[c].a);
                if (d <= tolerance_)
                    pairs.push_back({d, h, c});
            }
        std::sort(pairs.begin(), pairs.end(), [](const Pair& x, const Pair& y) {
            return x.distance != y.distance ? x.distance < y.distance : x.competitor < y.competitor;
        });
        for (const Pair& p : pairs)
            if (owner_[p.hand] == kNone && given_[p.competitor] == kNone) {
                owner_[p.hand] = p.competitor;
                given_[p.competitor] = p.hand;
            }
    }

    // Competitors without an A time: the unnamed times left between their neighbours' times,
    // when there are exactly as many as competitors who can have one in the gap.
    void fillGaps() {
        const auto open = [this](size_t c) {
            return competitors_[c].expected && !competitors_[c].a && given_[c] == kNone;
        };
        size_t c = 0;
        while (c < competitors_.size()) {
            if (!open(c)) {
                ++c;
                continue;
            }
            // The gap: open competitors, and between them those who cannot have a time.
            std::vector<size_t> gap;
            size_t end = c;
            for (; end < competitors_.size() && (open(end) || !competitors_[end].expected); ++end)
                if (open(end))
                    gap.push_back(end);
            size_t before = c;
            while (before > 0 && !competitors_[before - 1].expected)
                --before;
            const std::optional<TimeUnits> low = before > 0 && given_[before - 1] != kNone
                                                     ? std::optional(hand_[given_[before - 1]].time)
                                                     : std::nullopt;
            const std::optional<TimeUnits> high = end < competitors_.size() && given_[end] != kNone
                                                      ? std::optional(hand_[given_[end]].time)
                                                      : std::nullopt;
            std::vector<size_t> between;
            for (size_t h : freeHand_)
                if (owner_[h] == kNone && (low || high) &&
                    (!low || dayDifference(hand_[h].time, *low) > 0) &&
                    (!high || dayDifference(*high, hand_[h].time) > 0))
                    between.push_back(h);
            if (between.size() == gap.size()) {
                std::sort(between.begin(), between.end(), [&](size_t x, size_t y) {
                    return dayDifference(hand_[y].time, hand_[x].time) > 0;
                });
                for (size_t k = 0; k < between.size(); ++k) {
                    owner_[between[k]] = gap[k];
                    given_[gap[k]] = between[k];
                }
            }
            c = end;
        }
    }

    const std::vector<HandTime>& hand_;
    const std::vector<MatchCompetitor>& competitors_;
    TimeUnits tolerance_;
    TimeUnits offset_ = 0;
    QHash<QString, size_t> byBib_;
    std::vector<size_t> owner_; // hand -> competitor
    std::vector<size_t> given_; // competitor -> hand
    std::vector<QString> why_;  // hand -> why it is left
    std::vector<size_t> freeHand_, timed_;
    std::vector<TimeUnits> handTimes_, aTimes_;
};
} // namespace

MatchResult matchHandTimes(const std::vector<HandTime>& hand,
                           const std::vector<MatchCompetitor>& competitors, TimeUnits tolerance) {
    return Matcher(hand, competitors, tolerance).run();
}

} // namespace pistel
