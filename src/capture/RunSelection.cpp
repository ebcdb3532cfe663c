// Selecting a run: the run becomes current and its five lists are rebuilt, with the start
// and finish lists positioned on the competitors expected next.
#include "RunControl.h"
#include "data/AppState.h"
#include "data/TDM1.h"

namespace pistel {

void RunControl::CtB1stClick() {
    app.currentRun = QStringLiteral("1");
    RunPage& p = page1;

    openWith(dm.Qdpst, {"select st1,zek,class1 from result where tcode = '" + code() + "'",
                        "and sttime = '' order by st1"});
    nextBib = dm.Qdpst.fieldByName(u"zek").asString();

    openWith(dm.Qdpst, {"select * from result where tcode = '" + code() + "'", "and dropm <> '9'",
                        "order by class1 desc,st1 desc,zek"});
    if (dm.Qdpst.recordCount() > 0) {
        position(dm.Qdpst, nextBib);
        p.setStartBox(dm.Qdpst.fieldByName(u"zek").asString());
    }

    openWith(dm.Qdpfn, {"select st1,zek from result where tcode = '" + code() + "'",
                        "and altime = '' order by sttime"});
    nextBib = dm.Qdpfn.fieldByName(u"zek").asString();
    p.setFinishBox(nextBib);

    openWith(dm.Qdpfn, {"select * from result where tcode = '" + code() + "'",
                        "and dropm <> '9' and FL <> 'N'", "order by class1 desc,sttime desc,zek"});
    if (dm.Qdpfn.recordCount() > 0)
        position(dm.Qdpfn, nextBib);

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

    openWith(dm.Qdpst2, {"select st2,zek from result where tcode = '" + code() + "'",
                         "and sttime2 = '' order by st2"});
    nextBib = dm.Qdpst2.fieldByName(u"zek").asString();

    openWith(dm.Qdpst2, {"select * from result where tcode = '" + code() + "'",
                         "and dropm <> '9' and FL = 'F'", "order by class1 desc,st2 desc"});
    if (dm.Qdpst2.recordCount() > 0) {
        position(dm.Qdpst2, nextBib);
        p.setStartBox(dm.Qdpst2.fieldByName(u"zek").asString());
    }

    openWith(dm.Qdpfn2, {"select st2,zek from result where tcode = '" + code() + "'",
                         "and altime2 = '' order by st2"});
    nextBib = dm.Qdpfn2.fieldByName(u"zek").asString();
    p.setFinishBox(nextBib);

    openWith(dm.Qdpfn2,
             {"select * from result where tcode = '" + code() + "'",
              "and dropm <> '9' and FL2 <> 'N'", "order by class1 desc,sttime2 desc,zek"});
    if (dm.Qdpfn2.recordCount() > 0)
        position(dm.Qdpfn2, nextBib);

    openWith(dm.QPulseSt2, {"select * from pulsedata where tcode = '" + code() + "'",
                            "and stat = 'C0' order by dtime desc"});
    openWith(dm.QPulseFn2, {"select * from pulsedata where tcode = '" + code() + "'",
                            "and stat = 'C1' order by dtime desc"});

    openWith(dm.QresultBib2,
             resultsStatement(QStringLiteral("FL2"), lastFinisherClass, QStringLiteral("altime2")));
}

} // namespace pistel
