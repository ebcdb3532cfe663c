#pragma once

#include <QString>
#include <QStringList>

namespace pistel {

// The race data items the race office keeps and the documents print, per competition (run 0)
// or per run; the last three are the points rule's settings of a competition.
inline const QStringList kRaceDataItems{
    "course",        "homologation",   "start_altitude",     "finish_altitude",
    "vertical_drop", "gates",          "turning_gates",      "course_setter",
    "start_time",    "forerunners",    "technical_delegate", "referee",
    "chief_of_race", "start_referee",  "finish_referee",     "timing",
    "weather",       "snow",           "temperature_start",  "temperature_finish",
    "points_factor", "points_maximum", "minimum_penalty"};

// How the office and the documents name an item of kRaceDataItems.
QString raceDataCaption(const QString& item);

} // namespace pistel
