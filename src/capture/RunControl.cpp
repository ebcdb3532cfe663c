#include "RunControl.h"

#include "data/AppState.h"
#include "data/SqlValue.h"
#include "data/TDM1.h"

namespace pistel {

RunControl::RunControl(AppState& app_, TDM1& dm_, OperatorDialog* dialog_, QObject* parent)
    : QObject(parent), app(app_), dm(dm_), dialog(dialog_),
      page1(1, dm.Qdpst, dm.Qdpfn, dm.QPulseSt, dm.QPulseFn, dm.QresultBib, this),
      page2(2, dm.Qdpst2, dm.Qdpfn2, dm.QPulseSt2, dm.QPulseFn2, dm.QresultBib2, this) {}

bool RunControl::isRun1() const {
    return app.isRun1();
}

QString RunControl::code() const {
    return sqlValue(app.competitionCode);
}

void RunControl::openWith(Query& q, const QStringList& lines) {
    q.setSql(lines);
    q.open();
}

void RunControl::execWith(Query& q, const QStringList& lines) {
    q.setSql(lines);
    q.execSql();
}

void RunControl::position(Query& list, const QString& bib) {
    list.locate(u"zek", bib);
}

QStringList RunControl::resultsStatement(const QString& flag, int cls, const QString& order) const {
    // A finisher whose start is missing is listed too, without a run time, until it comes.
    const QString start =
        order == QLatin1String("altime") ? QStringLiteral("sttime") : QStringLiteral("sttime2");
    return {"select zek,class1,altime,altime2,ttime,ttime2,totaltime from result where tcode = '" +
                code() + "'",
            "and (" + flag + " = 'F' or " + order + " <> '' and " + start +
                " = '') and class1 = '" + QString::number(cls) + "'",
            // zek breaks ties of equal finish times, so that the order is total.
            "order by " + order + " desc,zek"};
}

} // namespace pistel
