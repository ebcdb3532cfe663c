// Selecting a run: the run becomes current and its five lists are rebuilt, with the start
// and finish lists positioned on the competitors expected next.
#include "RunControl.h"
#include "data/AppState.h"
#include "data/TDM1.h"

namespace pistel {

QString RunControl::nextFinisher(Query& q, const QStringList& onCourse,
                                 const QStringList& toStart) {
    // The earliest starter still on course; with nobody on course, the next to start, so
    // that the box already names whoever will finish first.
    openWith(q, onCourse);
    if (q.recordCount() == 0)
        openWith(q, toStart);
    return q.fieldByName(u"zek").asString();
}

void RunControl::placeFinishBox(RunPage& p, const QString& bib) {
    if (p.finishList.recordCount() > 0)
        position(p.finishList, bib);
    // Who has not started yet is not in the list; the box names them all the same.
    if (!bib.isEmpty())
        p.setFinishBox(bib);
}

void RunControl::CtB1stClick() {
    app.currentRun = QStringLiteral("1");
    RunPage& p = page1;

    // The next starter and finisher follow the capture's own order: classes from the
    // highest down, start order within a class.
    openWith(dm.Qdpst, {"select st1,zek,class1 from result where tcode = '" + code() + "'",
                        "and sttime = '' order by class1 desc, st1"});
    nextBib = dm.Qdpst.fieldByName(u"zek").asString();

    openWith(dm.Qdpst, {"select * from result where tcode = '" + code() + "'", "and dropm <> '9'",
                        "order by class1 desc,st1 desc,zek"});
    if (dm.Qdpst.recordCount() > 0) {
        position(dm.Qdpst, nextBib);
        p.setStartBox(dm.Qdpst.fieldByName(u"zek").asString());
    }

    nextBib = nextFinisher(dm.Qdpfn,
                           {"select st1,zek from result where tcode = '" + code() + "'",
                            "and altime = '' and FL = 'S' order by class1 desc, sttime"},
                           {"select st1,zek from result where tcode = '" + code() + "'",
                            "and altime = '' order by class1 desc, st1"});

    openWith(dm.Qdpfn, {"select * from result where tcode = '" + code() + "'",
                        "and dropm <> '9' and FL <> 'N'", "order by class1 desc,sttime desc,zek"});
    placeFinishBox(p, nextBib);

    openWith(dm.QPulseSt, {"select * from pulsedata where tcode = '" + code() + "'",
                           "and stat = 'C0' order by dtime desc"});
    openWith(dm.QPulseFn, {"select * from pulsedata where tcode = '" + code() + "'",
                           "and stat = 'C1' order by dtime desc"});

    openWith(dm.QresultBib,
             {"select class1 from result where tcode = '" + code() + "'", "order by class1"});
    resultsGridClass = dm.QresultBib.fieldByName(u"class1").asInteger();
    openWith(dm.QresultBib,
             resultsStatement(QStringLiteral("FL"), resultsGridClass, QStringLiteral("altime")));
}

void RunControl::CtB2ndClick() {
    app.currentRun = QStringLiteral("2");
    RunPage& p = page2;

    // Only run-1 finishers start run 2.
    openWith(dm.Qdpst2, {"select st2,zek from result where tcode = '" + code() + "'",
                         "and FL = 'F' and sttime2 = '' order by class1 desc, st2"});
    nextBib = dm.Qdpst2.fieldByName(u"zek").asString();

    openWith(dm.Qdpst2, {"select * from result where tcode = '" + code() + "'",
                         "and dropm <> '9' and FL = 'F'", "order by class1 desc,st2 desc"});
    if (dm.Qdpst2.recordCount() > 0) {
        position(dm.Qdpst2, nextBib);
        p.setStartBox(dm.Qdpst2.fieldByName(u"zek").asString());
    }

    nextBib =
        nextFinisher(dm.Qdpfn2,
                     {"select st2,zek from result where tcode = '" + code() + "'",
                      "and FL = 'F' and altime2 = '' and FL2 = 'S' order by class1 desc, sttime2"},
                     {"select st2,zek from result where tcode = '" + code() + "'",
                      "and FL = 'F' and altime2 = '' order by class1 desc, st2"});

    openWith(dm.Qdpfn2,
             {"select * from result where tcode = '" + code() + "'",
              "and dropm <> '9' and FL2 <> 'N'", "order by class1 desc,sttime2 desc,zek"});
    placeFinishBox(p, nextBib);

    openWith(dm.QPulseSt2, {"select * from pulsedata where tcode = '" + code() + "'",
                            "and stat = 'C0' order by dtime desc"});
    openWith(dm.QPulseFn2, {"select * from pulsedata where tcode = '" + code() + "'",
                            "and stat = 'C1' order by dtime desc"});

    openWith(dm.QresultBib2,
             resultsStatement(QStringLiteral("FL2"), lastFinisherClass, QStringLiteral("altime2")));
}

void RunControl::keepBoxesAcrossReread(RunPage& p) {
    // The lists are re-read, but the boxes keep naming whom they named, even a competitor
    // who is not (or no longer) in the list.
    const QString s = p.startBox();
    const QString f = p.finishBox();
    for (Query* list : {&p.startList, &p.finishList, &p.results}) {
        if (list->isOpen())
            list->reread();
    }
    if (p.startList.isOpen())
        position(p.startList, s);
    if (p.finishList.isOpen())
        position(p.finishList, f);
    p.setStartBox(s);
    p.setFinishBox(f);
}

void RunControl::rereadCurrentPage() {
    RunPage& p = currentPage();
    keepBoxesAcrossReread(p);
    for (Query* list : {&p.startPulses, &p.finishPulses}) {
        if (list->isOpen())
            list->reread();
    }
}

} // namespace pistel
