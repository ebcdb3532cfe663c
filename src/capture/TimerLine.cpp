#include "TimerLine.h"

namespace pistel {
namespace {

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The device prints the time of day with the precision it is set to (1/10 to 1/10000 s),
// left-aligned and padded with blanks: "10:01:05.1   ", "10:00:30.123 ". A field of that
// shape is stored with four fraction digits, the missing ones zeros; anything else is kept as
// its characters stand (a noisy line is logged as received).
QString timeOfDayField(const QString& field) {
    const qsizetype blank = field.indexOf(QLatin1Char(' '));
    const QString t = blank < 0 ? field : field.left(blank);
    if (field.mid(t.size()).trimmed().size() != 0)
        return field; // text after the blanks: not a padded time
    if (t.size() < 8 || t.size() > 13 || t.size() == 9)
        return field;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const bool colon = i == 2 || i == 5;
        const bool dot = i == 8;
        const QChar c = t.at(i);
        if (colon ? c != QLatin1Char(':') : dot ? c != QLatin1Char('.') : !isDigit(c))
            return field;
    }
    QString out = t.size() == 8 ? t + QLatin1Char('.') : t;
    return out.leftJustified(13, QLatin1Char('0'));
}

} // namespace

bool TimerLine::takesBack() const {
    return tstat == QLatin1String("c") || tstat == QLatin1String("d");
}

TimerLine splitTimerLine(const QString& line) {
    TimerLine t;
    t.tstat = line.mid(0, 1);
    t.bib = line.mid(1, 4);
    t.stat = line.mid(6, 2);
    t.dtime = timeOfDayField(line.mid(10, 13));
    return t;
}

} // namespace pistel
