#include "TimerLine.h"

namespace pistel {

bool TimerLine::takesBack() const {
    return tstat == QLatin1String("c") || tstat == QLatin1String("d");
}

TimerLine splitTimerLine(const QString& line) {
    TimerLine t;
    t.tstat = line.mid(0, 1);
    t.bib = line.mid(1, 4);
    t.dtime = line.mid(10, 13);
    t.stat = line.mid(6, 2);
    if (t.dtime.mid(11, 2) == QLatin1String("  "))
        t.dtime = t.dtime.left(11) + QStringLiteral("00");
    return t;
}

} // namespace pistel
