#pragma once

#include "BackupTime.h"

#include <QString>
#include <vector>

namespace pistel {

// One time of a hand-timing file or stopwatch sheet, with the bib written beside it if any.
struct HandTime {
    int line = 0; // in the file, from 1
    QString bib;  // four digits, or empty
    TimeUnits time = 0;
};

// Reads a hand-timing file: per line a time of day ("HH:MM:SS,cc" or "HH:MM:SS.cc"), optionally
// after a bib and a blank, tab, comma or semicolon; blank lines are skipped. False with
// `error` naming the first line that is neither.
bool parseHandTimes(const QString& text, std::vector<HandTime>& times, QString* error);

} // namespace pistel
