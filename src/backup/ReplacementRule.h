#pragma once

#include "BackupTime.h"

#include <QString>
#include <optional>
#include <vector>

namespace pistel {

// One competitor in start sequence, as the rule sees them at one channel (start or finish).
struct RuleEntry {
    QString zek;
    std::optional<TimeUnits> a;      // system A
    std::optional<TimeUnits> backup; // system B or hand, whichever the replacement uses
    bool forerunner = false;         // never a reference
};

struct Reference {
    QString zek;
    TimeUnits a = 0, backup = 0;
    TimeUnits difference() const { return dayDifference(a, backup); }
};

struct Replacement {
    QString zek;
    TimeUnits backup = 0;
    std::vector<Reference> references;
    TimeUnits correction = 0; // whole hundredths, in ten-thousandths
    TimeUnits time = 0;       // backup + correction, within the day
};

inline constexpr int kReferenceCount = 10;

// The replacement for the entry at `concerned` (which has a backup time): the references are
// the nearest competitors who started before it and have both times (fewer than 10: filled
// with those after), never forerunners; the correction is the mean of their A - backup
// differences rounded half up to 1/100 s; nothing without a reference or a backup time.
std::optional<Replacement> replacementFor(const std::vector<RuleEntry>& sequence, size_t concerned);

// Rounds ten-thousandths `sum` divided by `count` half up to whole hundredths (the result in
// ten-thousandths): .005 goes up, -.005 goes to zero.
TimeUnits meanToHundredths(TimeUnits sum, TimeUnits count);

} // namespace pistel
