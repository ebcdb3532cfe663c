#include "ReplacementTimes.h"

#include "RecordedChange.h"
#include "RunTimeRule.h"
#include "data/Query.h"
#include "data/SqlValue.h"

namespace pistel {

ReplacementOutcome storeReplacementTime(odbc::Connection& db, const QString& code,
                                        const QString& bib, int run, bool start,
                                        const QString& time) {
    // The row is read inside the transaction that writes it: nothing another program or a
    // timer line stores meanwhile is overwritten unseen.
    RecordedChange change(db, code, bib, source::kReplacement);
    if (!change.known())
        return ReplacementOutcome::NotInCompetition;
    const RowSnapshot& row = change.before();
    const QString n = run == 1 ? QString() : QStringLiteral("2");
    const QString startColumn = QStringLiteral("STTIME") + n;
    const QString finishColumn = QStringLiteral("ALTIME") + n;
    const QString column = start ? startColumn : finishColumn;
    const QString stored = row.values.value(column);
    if (stored == time)
        return ReplacementOutcome::AlreadySo;
    if (!stored.isEmpty() && readManualTimes(db, code, {{bib, row}}).value(bib).value(column) !=
                                 QLatin1String(source::kReplacement))
        return ReplacementOutcome::TimerTimeStands;
    const QString s = start ? time : row.values.value(startColumn);
    QString f = start ? row.values.value(finishColumn) : time;
    if (start && !f.isEmpty() && !finishFollows(s, f))
        f.clear(); // a start after the finish never pairs with it (no wrapped run time)
    const QString other =
        row.values.value(run == 1 ? QStringLiteral("TTIME2") : QStringLiteral("TTIME"));
    Query update(db, QStringLiteral("replacement"),
                 {"update result set " + column.toLower() + " = '" + sqlValue(time) + "'",
                  "," + runTimeSet(run, s, f, other),
                  "where tcode = '" + sqlValue(code) + "' and zek = '" + sqlValue(bib) + "'"});
    update.execSql();
    change.commit();
    return ReplacementOutcome::Stored;
}

} // namespace pistel
