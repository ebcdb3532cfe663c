#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace pistel {

// Times of day in ten-thousandths since midnight, as the capture counts them.
using TimeUnits = std::int64_t;

// A count wrapped into the day (a correction may cross midnight).
TimeUnits wrapIntoDay(TimeUnits units);
// "HH:MM:SS.ffff" of a count, wrapped into the day.
QString timeOfDayText(TimeUnits units);
// A hand time as typed or printed: HH:MM:SS followed by a decimal comma or point and one or
// two digits (tenths or hundredths); also three or four digits, as the timers print them.
std::optional<TimeUnits> parseHandTime(const QString& text);
// `later` minus `earlier`, taken the short way round midnight (23:59:59 to 00:00:01 is 2 s).
TimeUnits dayDifference(TimeUnits later, TimeUnits earlier);

// A correction (whole hundredths) in seconds with two decimals: "-0.02", "0.20" ("+0.20" with
// `plusSign`).
QString correctionText(TimeUnits units, bool plusSign = false);

// Seconds with four decimals and a sign: "-0.2000", "0.0150" ("+0.0150" with `plusSign`).
QString secondsText(TimeUnits units, bool plusSign = false);

} // namespace pistel
