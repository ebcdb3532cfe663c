#pragma once

#include "Ranking.h"

#include <QString>

namespace pistel {

// A time as printed, with its mark ("*" set by hand, "R" a replacement time).
inline QString marked(const QString& time, const QString& markText) {
    return time.isEmpty() ? QString() : shortTime(time) + markText;
}

// The mark of a time in its own CSV column.
inline QString mark(const QString& markText, const QString& time) {
    return time.isEmpty() ? QString() : markText;
}

} // namespace pistel
