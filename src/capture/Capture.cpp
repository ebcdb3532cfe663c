// Start and finish capture in automatic mode: the competitor in the box gets the time of
// day of the impulse, and the box advances to the competitor expected next, class by class.
#include "RunControl.h"
#include "TimerLine.h"
#include "data/SqlValue.h"
#include "data/TDM1.h"

namespace pistel {
namespace {
const QString kBlank = QStringLiteral(" ");
const QString kM = QStringLiteral("m");
} // namespace

void RunControl::captureLine(const TimerLine& line) {
    if (line.takesBack()) {
        takeBack(line);
        return;
    }
    if (line.isCleared())
        return; // cleared at the device: logged only
    if (line.isEdited()) {
        captureEdited(line);
        return;
    }
    if (isRun1()) {
        if (line.isStart())
            captureStart1(line);
        if (line.isFinish())
            captureFinish1(line);
    } else {
        if (line.isStart())
            captureStart2(line);
        if (line.isFinish())
            captureFinish2(line);
    }
}

void RunControl::advanceStartBox(RunPage& p, const QString& bib) {
    p.setStartBox(bib);
    // The list's highlight goes with the box, so that "次" and "前" move on from there.
    if (p.startList.isOpen())
        position(p.startList, bib);
}

void RunControl::captureStart1(const TimerLine& line) {
    RunPage& p = page1;
    Query& q = dm.Qtemp;
    if (line.tstat == kBlank) {
        p.setStartBox(line.bib);
        // Before the page was first shown its list is closed; the box still follows.
        if (p.startList.isOpen())
            position(p.startList, line.bib);
    }
    const QString b = p.startBox();
    openWith(q, {"select sttime,st1,class1 from result where tcode = '" + code() + "'",
                 "and zek = '" + sqlValue(b) + "'"});
    const QString s = q.fieldByName(u"st1").asString();
    QString k = q.fieldByName(u"class1").asString();
    const QString t = q.fieldByName(u"sttime").asString();
    const QString f = p.finishBox();
    if (!t.isEmpty() || p.startMode() != RunPage::Auto)
        return;

    execWith(q, {"update result set sttime = '" + sqlValue(line.dtime) + "'", ",FL = 'S'",
                 "where tcode = '" + code() + "' and zek = '" + sqlValue(b) + "'"});
    // Only b changed: the lists take b's row instead of being read whole.
    p.startList.refreshKey(u"zek", b);
    position(p.startList, b);
    p.finishList.refreshKey(u"zek", b);
    position(p.finishList, f);

    openWith(q, {"select st1,zek from result where tcode = '" + code() + "'",
                 "and class1 = '" + sqlValue(k) + "'", "and sttime = ''",
                 "and st1 > '" + sqlValue(s) + "' order by st1 "});
    if (q.recordCount() > 0) {
        advanceStartBox(p, q.fieldByName(u"zek").asString());
        return;
    }
    openWith(q,
             {"select st1,zek,class1 from result where tcode = '" + code() + "'",
              "and class1 <> '" + sqlValue(k) + "'", "and sttime = '' order by class1 desc, st1 "});
    if (q.recordCount() == 0)
        return;
    k = q.fieldByName(u"class1").asString();
    openWith(q, {"select st1,zek from result where tcode = '" + code() + "'",
                 "and class1 = '" + sqlValue(k) + "'",
                 "and sttime = '' and class1 = '" + sqlValue(k) + "' order by st1 "});
    p.setStartBox(q.fieldByName(u"zek").asString());
    position(p.startList, p.startBox());
}

void RunControl::captureFinish1(const TimerLine& line) {
    if (line.tstat == kM)
        return; // the device marks this finish impulse as not to be assigned
    RunPage& p = page1;
    Query& q = dm.Qtemp;
    if (line.tstat == kBlank) {
        p.setFinishBox(line.bib);
        if (p.finishList.isOpen())
            position(p.finishList, line.bib);
    }
    const QString b = p.finishBox();
    openWith(q, {"select altime,st1,class1 from result where tcode = '" + code() + "'",
                 "and zek = '" + sqlValue(b) + "'"});
    QString k = q.fieldByName(u"class1").asString();
    const QString a = q.fieldByName(u"altime").asString();
    if (!a.isEmpty() || p.finishMode() != RunPage::Auto)
        return;

    execWith(q, {"update result set altime = '" + sqlValue(line.dtime) + "'",
                 "where tcode = '" + code() + "' and zek = '" + sqlValue(b) + "'"});
    p.finishList.refreshKey(u"zek", b);
    position(p.finishList, b);

    openWith(q, {"select st1,zek from result where tcode = '" + code() + "'",
                 "and class1 = '" + sqlValue(k) + "'",
                 "and altime = '' and FL = 'S' order by sttime "});
    if (q.recordCount() > 0) {
        p.setFinishBox(q.fieldByName(u"zek").asString());
    } else {
        openWith(q, {"select st1,zek,class1 from result where tcode = '" + code() + "'",
                     "and class1 <> '" + sqlValue(k) + "'",
                     "and altime = '' order by class1 desc, st1 "});
        if (q.recordCount() > 0) {
            k = q.fieldByName(u"class1").asString();
            openWith(q, {"select st1,zek from result where tcode = '" + code() + "'",
                         "and class1 = '" + sqlValue(k) + "'",
                         "and altime = '' and class1 = '" + sqlValue(k) + "' order by st1 "});
            p.setFinishBox(q.fieldByName(u"zek").asString());
        }
    }
    calcruntime(b, 1);
}

void RunControl::captureStart2(const TimerLine& line) {
    RunPage& p = page2;
    Query& q = dm.Qtemp;
    if (line.tstat == kBlank) {
        p.setStartBox(line.bib);
        if (p.startList.isOpen())
            position(p.startList, line.bib);
    }
    const QString b = p.startBox();
    openWith(q, {"select sttime2,st2,class1,FL from result where tcode = '" + code() + "'",
                 "and zek = '" + sqlValue(b) + "'"});
    const QString s = q.fieldByName(u"st2").asString();
    QString k = q.fieldByName(u"class1").asString();
    const QString t = q.fieldByName(u"sttime2").asString();
    const QString f = p.finishBox();
    if (!t.isEmpty())
        return;
    if (q.fieldByName(u"FL").asString() != QLatin1String("F") || p.startMode() != RunPage::Auto)
        return;

    execWith(q, {"update result set sttime2 = '" + sqlValue(line.dtime) + "'", ",FL2 = 'S'",
                 "where tcode = '" + code() + "' and zek = '" + sqlValue(b) + "'"});
    // Only b changed: the lists take b's row instead of being read whole.
    p.startList.refreshKey(u"zek", b);
    position(p.startList, b);
    p.finishList.refreshKey(u"zek", b);
    position(p.finishList, f);

    openWith(q, {"select st2,zek from result where tcode = '" + code() + "'",
                 "and class1 = '" + sqlValue(k) + "'", "and FL = 'F'",
                 "and st2 > '" + sqlValue(s) + "' order by st2 "});
    if (q.recordCount() > 0) {
        advanceStartBox(p, q.fieldByName(u"zek").asString());
        return;
    }
    // Only a class with run-1 finishers left to start can follow: a class holding just
    // competitors who did not finish run 1 would leave the box empty and the next impulse
    // unassigned.
    openWith(q, {"select st2,zek,class1 from result where tcode = '" + code() + "'",
                 "and class1 <> '" + sqlValue(k) + "'", "and FL = 'F'",
                 "and sttime2 = '' order by class1 desc, st2 "});
    if (q.recordCount() == 0)
        return;
    k = q.fieldByName(u"class1").asString();
    q.setSql({"select st2,zek from result where tcode = '" + code() + "'",
              "and class1 = '" + sqlValue(k) + "'", "and FL = 'F'",
              "and sttime2 = '' and class1 = '" + sqlValue(k) + "' order by st2 "});
    p.setEdit5(q.statementText());
    q.open();
    p.setStartBox(q.fieldByName(u"zek").asString());
    position(p.startList, p.startBox());
}

void RunControl::captureFinish2(const TimerLine& line) {
    if (line.tstat == kM)
        return;
    RunPage& p = page2;
    Query& q = dm.Qtemp;
    if (line.tstat == kBlank) {
        p.setFinishBox(line.bib);
        if (p.finishList.isOpen())
            position(p.finishList, line.bib);
    }
    const QString b = p.finishBox();
    openWith(q, {"select altime2,st2,class1,fl from result where tcode = '" + code() + "'",
                 "and zek = '" + sqlValue(b) + "'"});
    QString k = q.fieldByName(u"class1").asString();
    const QString a = q.fieldByName(u"altime2").asString();
    if (!a.isEmpty())
        return;
    if (q.fieldByName(u"fl").asString() != QLatin1String("F") || p.finishMode() != RunPage::Auto)
        return;

    execWith(q, {"update result set altime2 = '" + sqlValue(line.dtime) + "'",
                 "where tcode = '" + code() + "' and zek = '" + sqlValue(b) + "'"});
    p.finishList.refreshKey(u"zek", b);
    position(p.finishList, b);

    openWith(q, {"select st2,zek from result where tcode = '" + code() + "'",
                 "and class1 = '" + sqlValue(k) + "'",
                 "and altime2 = '' and FL2 = 'S'  order by sttime2 "});
    if (q.recordCount() > 0) {
        p.setFinishBox(q.fieldByName(u"zek").asString());
    } else {
        openWith(q, {"select st2,zek,class1 from result where tcode = '" + code() + "'",
                     "and class1 <> '" + sqlValue(k) + "'", "and FL = 'F'",
                     "and altime2 = '' order by class1 desc, st2 "});
        if (q.recordCount() > 0) {
            k = q.fieldByName(u"class1").asString();
            openWith(q, {"select st2,zek from result where tcode = '" + code() + "'",
                         "and class1 = '" + sqlValue(k) + "'",
                         "and altime2 = '' and class1 = '" + sqlValue(k) + "' order by st2 "});
            p.setFinishBox(q.fieldByName(u"zek").asString());
        }
    }
    calcruntime(b, 2);
}

} // namespace pistel
