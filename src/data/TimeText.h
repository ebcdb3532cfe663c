#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace pistel {

// Time texts: a time of day is HH:MM:SS.ffff (13 characters), a run time HH:MM:SS.ff
// (11 characters). All arithmetic is on integer counts in the unit of the text's last digit.

// A time of day or a duration as the rules count it: ten-thousandths (of a second, since
// midnight for a time of day). Texts are read into it where they are stored or typed and made
// from it where they are stored or shown.
using TimeUnits = std::int64_t;
inline constexpr TimeUnits kUnitsPerDay = 24LL * 60 * 60 * 10000;
inline constexpr TimeUnits kHalfDayUnits = kUnitsPerDay / 2;

// A count wrapped into the day (a correction may cross midnight).
TimeUnits wrapIntoDay(TimeUnits units);
// "HH:MM:SS.ffff" of a count, wrapped into the day.
QString timeOfDayText(TimeUnits units);
// A time of day as typed or printed: HH:MM:SS followed by a decimal comma or point and one to
// four fraction digits (tenths ... ten-thousandths); nothing for any other text.
std::optional<TimeUnits> parseTimeOfDay(const QString& text);
// `later` minus `earlier`, taken the short way round midnight (23:59:59 to 00:00:01 is 2 s).
TimeUnits dayDifference(TimeUnits later, TimeUnits earlier);

// Count of a time text: ((h*60+m)*60+s)*scale + fraction, the scale following the length of
// the trimmed text (13: 10000, 12: 1000, 11: 100, 10: 10); 0 for any other length.
std::int64_t TimeToUnits(const QString& text);
// Raw duration text of a count of ten-thousandths: 13 characters, right-aligned, blanks in
// place of leading zero groups ("    1:05.1299").
QString UnitsToText(std::int64_t units);
// Lays a trimmed duration out as HH:MM:SS.ff; empty text for lengths it does not know.
QString PadTimeText(const QString& text);

// Ten-thousandths since midnight of a stored time of day with one to four fraction digits
// ("10:00:00.1", "10:00:00.12", "10:00:00.123 ", "10:00:00.1234"): the fraction digits are
// read up to the first non-digit and scaled, so timers of any resolution compare and
// subtract alike. An empty text counts as midnight.
TimeUnits timeOfDayUnits(const QString& text);

// Run time of a start and a finish time of day, truncated to hundredths. An empty start
// counts as midnight. A finish earlier than the start is a run across midnight.
QString runTimeText(const QString& start, const QString& finish);
// Total of two run times (HH:MM:SS.ff each; an empty one counts 0).
QString totalTimeText(const QString& first, const QString& second);

} // namespace pistel
