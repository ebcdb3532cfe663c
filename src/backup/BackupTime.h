#pragma once

#include "data/TimeText.h"

#include <QString>

namespace pistel {

// A correction (whole hundredths) in seconds with two decimals: "-0.02", "0.20" ("+0.20" with
// `plusSign`).
QString correctionText(TimeUnits units, bool plusSign = false);

// Seconds with four decimals and a sign: "-0.2000", "0.0150" ("+0.0150" with `plusSign`).
QString secondsText(TimeUnits units, bool plusSign = false);

} // namespace pistel
