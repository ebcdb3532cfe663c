#include "RunTimeRule.h"

#include "data/SqlValue.h"
#include "data/TimeText.h"

namespace pistel {

bool finishFollows(const QString& start, const QString& finish) {
    TimeUnits d = timeOfDayUnits(finish) - timeOfDayUnits(start);
    if (d < -kHalfDayUnits) // a run across midnight
        d += kUnitsPerDay;
    return d >= 0;
}

RunTimeState runTimeState(int run, const QString& start, const QString& finish,
                          const QString& otherRunTime) {
    // Without both times there is no run time (never the time of day of a lone finish): the
    // total is the other run alone, the state says whether anything of the run is there.
    RunTimeState s{QString(), otherRunTime, QStringLiteral("N")};
    if (!start.isEmpty() && !finish.isEmpty()) {
        s.runTime = runTimeText(start, finish);
        s.total = run == 1 ? totalTimeText(s.runTime, otherRunTime)
                           : totalTimeText(otherRunTime, s.runTime);
        s.state = QStringLiteral("F");
    } else if (!start.isEmpty() || !finish.isEmpty()) {
        s.state = QStringLiteral("S");
    }
    return s;
}

QString runTimeSet(int run, const RunTimeState& s) {
    const QString n = run == 1 ? QString() : QStringLiteral("2");
    const QString& r = s.runTime;
    return "ttime" + n + " = '" + r + "' ,totaltime = '" + sqlValue(s.total) + "' ,FL" + n +
           " = '" + s.state + "' ,TH" + n + " = '" + r.mid(0, 2) + "',TM" + n + " = '" +
           r.mid(3, 2) + "' ,TS" + n + " = '" + r.mid(6, 2) + "' ,TMS" + n + " = '" + r.mid(9, 2) +
           "'";
}

QString runTimeSet(int run, const QString& start, const QString& finish,
                   const QString& otherRunTime) {
    return runTimeSet(run, runTimeState(run, start, finish, otherRunTime));
}

} // namespace pistel
