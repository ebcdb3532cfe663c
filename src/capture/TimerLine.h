#pragma once

#include <QString>

namespace pistel {

// The four fields of one timer line, each taken as its characters stand (cut short or
// empty when the line is short). Positions are 1-based, as the device documents them:
// 1 status flag, 2-5 bib, 7-8 channel, 11-23 time of day.
struct TimerLine {
    QString tstat;
    QString bib;
    QString stat;
    QString dtime;

    bool isStart() const { return stat == QLatin1String("C0"); }
    bool isFinish() const { return stat == QLatin1String("C1"); }
    bool endsDelivery() const { return stat == QLatin1String("RT"); }
    // "c" or "d": the device repeats an earlier line to take it back (a false start, a
    // wrong impulse); the time it carries is undone where it was assigned.
    bool takesBack() const;
    // "C": cleared at the device; logged only.
    bool isCleared() const { return tstat == QLatin1String("C"); }
    // "i": a time the device operator entered or edited for the bib of the line.
    bool isEdited() const { return tstat == QLatin1String("i"); }
};

// `line` holds one character per received byte (Latin-1), without the ending CR.
// A time of day sent with fewer fraction digits, padded with blanks ("10:15:30.12" and two
// blanks, "10:01:05.1" and three), becomes HH:MM:SS.ffff, the missing digits zeros.
TimerLine splitTimerLine(const QString& line);

} // namespace pistel
