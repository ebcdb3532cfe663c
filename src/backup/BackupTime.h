#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace pistel {

// Times of day in ten-thousandths since midnight, as the capture counts them.
using TimeUnits = std::int64_t;

// "HH:MM:SS.ffff" of a count, wrapped into the day (a correction may cross midnight).
QString timeOfDayText(TimeUnits units);
// A hand time as typed or printed: HH:MM:SS followed by a decimal comma or point and one or
// two digits (tenths or hundredths); also three or four digits, as the timers print them.
std::optional<TimeUnits> parseHandTime(const QString& text);
// Seconds with four decimals and a sign: "-0.2000", "0.0150".
QString secondsText(TimeUnits units);

} // namespace pistel
