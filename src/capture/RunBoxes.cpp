#include "RunBoxes.h"

#include "data/Query.h"
#include "data/SqlValue.h"

namespace pistel {

bool RunBoxes::advanceStart(RunPage& p, const RunColumns& c, const QString& s, const QString& k) {
    return startNext(p, c, rows_.nextStarter(c, s, k));
}

bool RunBoxes::startNext(RunPage& p, const RunColumns& c, const NextStarter& next) {
    if (!next.inClass.zek.isEmpty()) {
        startBoxTo(p, next.inClass.zek);
        return true;
    }
    if (next.nextClass.zek.isEmpty())
        return false;
    const QString cls = next.nextClass.cls;
    if (c.run == 2) // the page shows the search for the next class, as the operator knows it
        p.setEdit5(QStringList{"select " + c.order + ",zek from result where tcode = '" +
                                   run_.code() + "'",
                               "and class1 = '" + sqlValue(cls) + "'", "and FL = 'F'",
                               "and " + c.start + " = '' and class1 = '" + sqlValue(cls) +
                                   "' order by " + c.order + " "}
                       .join(QLatin1Char('\n')));
    startBoxTo(p, next.nextClass.zek);
    return true;
}

void RunBoxes::advanceFinish(RunPage& p, const RunColumns& c, const QString& cls,
                             const QString& finished) {
    const QString next = rows_.expectedFinisher(p, c, cls, finished);
    if (!next.isEmpty())
        p.setFinishBox(next);
}

void RunBoxes::startBoxTo(RunPage& p, const QString& bib) {
    p.setStartBox(bib);
    // The list's highlight goes with the box, so that "次" and "前" move on from there.
    if (p.startList.isOpen())
        p.startList.locate(u"zek", bib);
}

void RunBoxes::finishBoxTo(RunPage& p, const QString& bib) {
    if (p.finishList.recordCount() > 0)
        p.finishList.locate(u"zek", bib);
    // Who has not started yet is not in the list; the box names them all the same.
    if (!bib.isEmpty())
        p.setFinishBox(bib);
}

} // namespace pistel
