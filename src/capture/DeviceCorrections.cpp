// What the timer itself corrects: a line repeated with "c" or "d" takes back the time it
// carries, and a line flagged "i" brings a time the timer operator entered for a bib.
#include "RunControl.h"
#include "TimerLine.h"
#include "data/SqlValue.h"
#include "data/TDM1.h"

namespace pistel {

void RunControl::takeBack(const TimerLine& line) {
    if (!line.isStart() && !line.isFinish())
        return; // a run time or total taken back changes nothing stored
    const bool run1 = isRun1();
    const bool start = line.isStart();
    const QString n = run1 ? QString() : QStringLiteral("2");
    const QString timeColumn = (start ? QStringLiteral("sttime") : QStringLiteral("altime")) + n;
    Query& q = dm.Qtemp;
    // The device repeats the line it takes back, so the time of day finds the competitor
    // who got it, whatever bib the line carries ("?0000" included).
    openWith(q, {"select zek,ttime,ttime2 from result where tcode = '" + code() + "'",
                 "and " + timeColumn + " = '" + sqlValue(line.dtime) + "'"});
    if (q.recordCount() == 0)
        return;
    if (!q.locate(u"zek", line.bib))
        q.first();
    const QString zek = q.fieldByName(u"zek").asString();
    // No stale result stays: the run time goes, the total is what the other run alone gives.
    const QString otherRun = q.fieldByName(run1 ? u"ttime2" : u"ttime").asString();
    const QString state = start ? QStringLiteral("N") : QStringLiteral("S");
    execWith(q, {"update result set " + timeColumn + " = '',FL" + n + " = '" + state + "'",
                 ",ttime" + n + " = '',TH" + n + " = '',TM" + n + " = '',TS" + n + " = '',TMS" + n +
                     " = '',totaltime = '" + sqlValue(otherRun) + "'",
                 "where tcode = '" + code() + "' and zek = '" + sqlValue(zek) + "'"});
    RunPage& p = currentPage();
    // The next impulse of that channel (the restart, the real finish) goes to them.
    if (start)
        p.setStartBox(zek);
    else
        p.setFinishBox(zek);
    keepBoxesAcrossReread(p, zek);
}

void RunControl::captureEdited(const TimerLine& line) {
    if (!line.isStart() && !line.isFinish())
        return;
    RunPage& p = currentPage();
    const bool start = line.isStart();
    if ((start ? p.startMode() : p.finishMode()) != RunPage::Auto)
        return; // manual mode: the operator assigns from the impulse list
    if ((start ? p.startBox() : p.finishBox()) == line.bib) {
        // The competitor in the box: an ordinary assignment, the box advances as after any.
        TimerLine plain = line;
        plain.tstat = QStringLiteral(" ");
        captureLine(plain);
        return;
    }
    // A correction after the fact, not the competitor now on course: the time goes to the
    // line's bib when it has none, and the boxes stay where they are.
    const bool run1 = isRun1();
    const QString n = run1 ? QString() : QStringLiteral("2");
    const QString timeColumn = (start ? QStringLiteral("sttime") : QStringLiteral("altime")) + n;
    Query& q = dm.Qtemp;
    openWith(q, {"select " + timeColumn + ",FL from result where tcode = '" + code() + "'",
                 "and zek = '" + sqlValue(line.bib) + "'"});
    if (q.recordCount() == 0 || !q.fieldByName(timeColumn).asString().isEmpty())
        return;
    if (!run1 && q.fieldByName(u"FL").asString() != QLatin1String("F"))
        return; // run 2 is only for run-1 finishers
    const QString where = "where tcode = '" + code() + "' and zek = '" + sqlValue(line.bib) + "'";
    if (start)
        execWith(q, {"update result set " + timeColumn + " = '" + sqlValue(line.dtime) + "'",
                     ",FL" + n + " = 'S'", where});
    else
        execWith(q,
                 {"update result set " + timeColumn + " = '" + sqlValue(line.dtime) + "'", where});
    keepBoxesAcrossReread(p, line.bib);
    if (!start)
        calcruntime(line.bib, run1 ? 1 : 2);
}

} // namespace pistel
