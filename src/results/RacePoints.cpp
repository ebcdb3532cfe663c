#include "RacePoints.h"

#include <algorithm>

namespace pistel {
namespace {

// n / d rounded to the nearest whole number, halves away from zero (d > 0).
long long roundedQuotient(long long n, long long d) {
    return n >= 0 ? (2 * n + d) / (2 * d) : -((-2 * n + d) / (2 * d));
}

// The five best values of `chosen` (already ordered), the missing counted with the maximum.
long long sumOfFive(const std::vector<long long>& values, long long maximum) {
    long long sum = 0;
    for (size_t i = 0; i < 5; ++i)
        sum += i < values.size() ? values[i] : maximum;
    return sum;
}

} // namespace

std::optional<DisciplineValues> disciplineValues(const QString& discipline) {
    if (discipline == u"DH")
        return DisciplineValues{1250, 33000};
    if (discipline == u"SL")
        return DisciplineValues{730, 16500};
    if (discipline == u"GS")
        return DisciplineValues{1010, 22000};
    if (discipline == u"SG")
        return DisciplineValues{1190, 27000};
    if (discipline == u"AC")
        return DisciplineValues{1360, 27000};
    return std::nullopt;
}

long long racePoints(int factor, long long winnerTime, long long time) {
    // P × 100 = 100 × F × (Tx − To) / To.
    return roundedQuotient(100LL * factor * (time - winnerTime), winnerTime);
}

Penalty penalty(const std::vector<PenaltyEntry>& entries, long long maximum, long long minimum,
                std::vector<size_t>* countedInA) {
    const auto counted = [maximum](const PenaltyEntry& e) {
        return countedPoints(e.points, maximum);
    };
    // A and C: the first ten classified, best points first; on equal points the higher race
    // points first.
    std::vector<const PenaltyEntry*> top;
    for (const PenaltyEntry& e : entries)
        if (e.rank >= 1 && e.rank <= 10)
            top.push_back(&e);
    std::stable_sort(top.begin(), top.end(), [&](const PenaltyEntry* x, const PenaltyEntry* y) {
        return counted(*x) != counted(*y) ? counted(*x) < counted(*y)
                                          : x->racePoints > y->racePoints;
    });
    std::vector<long long> a, c;
    for (size_t i = 0; i < top.size() && i < 5; ++i) {
        a.push_back(counted(*top[i]));
        c.push_back(std::min(top[i]->racePoints, maximum));
        if (countedInA)
            countedInA->push_back(static_cast<size_t>(top[i] - entries.data()));
    }
    // B: everybody who started run 1.
    std::vector<long long> b;
    for (const PenaltyEntry& e : entries)
        if (e.started)
            b.push_back(counted(e));
    std::sort(b.begin(), b.end());
    Penalty p;
    p.a = sumOfFive(a, maximum);
    p.b = sumOfFive(b, maximum);
    p.c = sumOfFive(c, maximum);
    p.value = std::max(roundedQuotient(p.a + p.b - p.c, 10), minimum);
    return p;
}

} // namespace pistel
