#pragma once

#include "ClassScore.h"
#include "Race.h"

#include <QStringList>
#include <optional>
#include <vector>

namespace pistel {

// The text blocks of a result list, each line as printed; empty when there is nothing to say.

// The jury, the course, each run's course setter, gates, start time and forerunners, the
// weather: only what the race office stored.
QStringList raceDataLines(const Race& race);
// Entered, started, finished, DNS, DNF and DSQ in each of `runs`, and how many are classified
// (`classified` >= 0).
QStringList countLines(const std::vector<const Competitor*>& members, int runs, int classified);
// The penalty and how it was made (A, B, C with who counts).
QStringList penaltyLines(const std::vector<const Competitor*>& members, const PointsRule& rule,
                         const ClassScore& score);
// What the marks and columns mean.
QStringList legendLines(bool final);
// The timing systems and the replacement times used in the class.
QStringList timingLines(const Race& race, const std::vector<const Competitor*>& members);
// Lines to sign for the technical delegate and the referee.
QStringList signatureLines(const Race& race);

} // namespace pistel
