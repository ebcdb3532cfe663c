#pragma once

#include "Race.h"
#include "RacePoints.h"

#include <QHash>
#include <QString>
#include <optional>
#include <vector>

namespace pistel {

// The values a competition's points follow: the discipline's, unless its race data sets
// others (national lists): points_factor, points_maximum, minimum_penalty.
struct PointsRule {
    int factor = 0;
    long long maximum = 0;        // hundredths
    long long minimumPenalty = 0; // hundredths
};
// Nothing when the discipline has no values and none are set.
std::optional<PointsRule> pointsRule(const Race& race);

// Points as printed: "25.25"; hundredths of "25.25" (-1 when empty or not a number).
QString pointsText(long long hundredths);
long long pointsHundredths(const QString& text);

// The race points and the penalty of one class's final ranking.
struct ClassScore {
    QHash<QString, long long> racePoints; // bib -> hundredths, classified competitors
    Penalty penalty;
    QStringList countedInA; // bibs of the five whose points make A (best first)
    // Race points plus the penalty, for a classified bib.
    long long finalPoints(const QString& bib) const {
        return racePoints.value(bib) + penalty.value;
    }
};
// Nothing when nobody is classified.
std::optional<ClassScore> scoreClass(const std::vector<const Competitor*>& members,
                                     const PointsRule& rule);

} // namespace pistel
