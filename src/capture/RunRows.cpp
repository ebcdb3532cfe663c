// A competitor's row as the capture reads it, and who the boxes move to next: the next
// starter of the class or the first of the next class, the earliest starter on course. A
// line's capture reads its competitor's row and who comes after them in one round trip.
#include "RunRows.h"

#include "data/AppState.h"
#include "data/SqlValue.h"
#include "RunTimeRule.h"
#include "data/TDM1.h"
#include "results/Expected.h"

namespace pistel {
namespace {

// Every column the run pages' lists show, so that they take the row as written without
// reading it again.
const QString kRunRowColumns = QStringLiteral(
    "zek,sttime,altime,sttime2,altime2,st1,st2,class1,dropm,FL,FL2,ttime,ttime2,totaltime,"
    "(select count(*) from run_status s where s.tcode = result.tcode and s.zek = result.zek "
    "and s.run = 1) as status_run1,"
    "(select count(*) from run_status s where s.tcode = result.tcode and s.zek = result.zek "
    "and s.run = 2) as status_run2");

// A candidate needs only its bib and class: the other columns are left empty (and their
// searches unrun).
const QString kCandidateColumns = QStringLiteral(
    "zek,null,null,null,null,null,null,class1,null,null,null,null,null,null,null,null");

// Picks of the candidates read beside a competitor's row (the row itself is pick -1).
enum Pick {
    kRow = -1,
    // Who finishes next, in order of preference.
    kFinishInClass = 0,
    kFinishOnCourse = 1,
    kFinishStartBox = 2,
    kFinishNextStarter = 3,
    // Who starts next.
    kStartInClass = 10,
    kStartNextClass = 11,
};

} // namespace

QString RunRows::candidate(int pick, const QString& condition, const QString& order) const {
    // Only the first row is used: "limit 1" spares reading and sending the rest.
    return "(select " + kCandidateColumns + "," + QString::number(pick) +
           " as pick from result where tcode = '" + run_.code() + "'" + condition + " order by " +
           order + " limit 1)";
}

std::optional<RunRow> RunRows::read(const RunColumns& c, const QString& bib) {
    return bib.isEmpty() ? std::nullopt : readWith(c, bib, {}, nullptr);
}

std::optional<RunRow> RunRows::readWith(const RunColumns& c, const QString& bib,
                                        const QStringList& candidates,
                                        QHash<int, Candidate>* found) {
    Query& q = run_.dm.Qtemp;
    QStringList parts = candidates;
    if (!bib.isEmpty())
        parts.prepend("(select " + kRunRowColumns + "," + QString::number(kRow) +
                      " as pick from result where tcode = '" + run_.code() + "' and zek = '" +
                      sqlValue(bib) + "')");
    q.setSql({parts.join(QStringLiteral("\nunion all\n"))});
    q.open();
    const int pick = q.rows().columnIndex(u"pick");
    const int zek = q.rows().columnIndex(u"zek");
    const int cls = q.rows().columnIndex(u"class1");
    std::optional<RunRow> row;
    for (int r = 0; r < q.recordCount(); ++r) {
        const int p = q.text(r, pick).toInt();
        if (p != kRow) {
            if (found)
                found->insert(p, {q.text(r, zek), q.text(r, cls)});
            continue;
        }
        QHash<QString, QString> values;
        for (int column = 0; column < q.rows().columnCount(); ++column)
            if (column != pick)
                values.insert(q.rows().columnName(column).toUpper(), q.text(r, column));
        const auto value = [&values](const QString& name) { return values.value(name.toUpper()); };
        row = RunRow{value(c.start),
                     value(c.finish),
                     value(c.order),
                     value(QStringLiteral("class1")),
                     value(QStringLiteral("FL")),
                     value(QStringLiteral("ttime")),
                     value(QStringLiteral("ttime2")),
                     value(QStringLiteral("dropm")),
                     {value(QStringLiteral("status_run1")).toInt() > 0,
                      value(QStringLiteral("status_run2")).toInt() > 0},
                     values};
    }
    return row;
}

QStringList RunRows::nextStarterCandidates(const RunColumns& c, const QString& order,
                                           const QString& cls) const {
    const QString expectedHere = expected::inRunCondition(c.run, run_.app.competitionCode);
    const QString toStart = " and " + c.start + " = ''";
    // The next of the class by start order; else, as only a class with competitors left to
    // start can follow, the first row of the highest class still waiting.
    return {candidate(kStartInClass,
                      " and class1 = " + cls + expectedHere + toStart + " and " + c.order + " > " +
                          order,
                      c.order),
            candidate(kStartNextClass, " and class1 <> " + cls + expectedHere + toStart,
                      "class1 desc, " + c.order)};
}

std::optional<RunRow> RunRows::readWithNextStarter(const RunColumns& c, const QString& bib,
                                                   NextStarter& next) {
    const QString self = "(select %1 from result where tcode = '" + run_.code() + "' and zek = '" +
                         sqlValue(bib) + "')";
    QHash<int, Candidate> found;
    std::optional<RunRow> row = readWith(
        c, bib, nextStarterCandidates(c, self.arg(c.order), self.arg(QStringLiteral("class1"))),
        &found);
    next = {found.value(kStartInClass), found.value(kStartNextClass)};
    return row;
}

NextStarter RunRows::nextStarter(const RunColumns& c, const QString& order,
                                 const QString& cls) {
    QHash<int, Candidate> found;
    readWith(c, {}, // no competitor's row: only the candidates
             nextStarterCandidates(c, "'" + sqlValue(order) + "'", "'" + sqlValue(cls) + "'"),
             &found);
    return {found.value(kStartInClass), found.value(kStartNextClass)};
}

QStringList RunRows::nextFinisherCandidates(const RunPage& p, const RunColumns& c,
                                            const QString& cls, const QString& finished) const {
    // `cls` and `finished` are SQL expressions (literals, or a search for a competitor's row);
    // an empty `cls` prefers no class.
    const QString expectedHere =
        expected::inRunCondition(c.run, run_.app.competitionCode) + " and zek <> " + finished;
    // In order of preference:
    // 0, 1: on course (started, no run time yet: a finish kept from a taken-back start does not
    //       pair with a later start; no status), the earliest starter first; one of the class
    //       just finishing before the others, so that a competitor left on course in an earlier
    //       class (a fall nobody has reported yet) does not hold the box;
    // 2, 3: nobody on course: whoever starts next finishes next, in the class being raced.
    const QString onCourse = expectedHere + " and " + c.start + " <> '' and " + c.flag + " = 'S'";
    const QString toStart = expectedHere + " and " + c.start + " = '' and " + c.finish + " = ''";
    QStringList parts;
    if (!cls.isEmpty())
        parts << candidate(kFinishInClass, onCourse + " and class1 = " + cls, c.start);
    parts << candidate(kFinishOnCourse, onCourse, c.start)
          << candidate(kFinishStartBox, toStart + " and zek = '" + sqlValue(p.startBox()) + "'",
                       QStringLiteral("zek"))
          << candidate(kFinishNextStarter, toStart, "class1 desc, " + c.order);
    return parts;
}

QString RunRows::firstFinisher(const QHash<int, Candidate>& found) {
    for (int pick : {kFinishInClass, kFinishOnCourse, kFinishStartBox, kFinishNextStarter})
        if (found.contains(pick))
            return found.value(pick).zek;
    return {};
}

std::optional<RunRow> RunRows::readWithNextFinisher(const RunPage& p, const RunColumns& c,
                                                    const QString& bib, QString& next) {
    const QString self = "(select %1 from result where tcode = '" + run_.code() + "' and zek = '" +
                         sqlValue(bib) + "')";
    QHash<int, Candidate> found;
    std::optional<RunRow> row = readWith(
        c, bib,
        nextFinisherCandidates(p, c, self.arg(QStringLiteral("class1")), "'" + sqlValue(bib) + "'"),
        &found);
    next = firstFinisher(found);
    return row;
}

QString RunRows::expectedFinisher(const RunPage& p, const RunColumns& c, const QString& cls,
                                  const QString& finished) {
    QHash<int, Candidate> found;
    readWith(c, {}, // no competitor's row: only the candidates
             nextFinisherCandidates(p, c, cls.isEmpty() ? QString() : "'" + sqlValue(cls) + "'",
                                    "'" + sqlValue(finished) + "'"),
             &found);
    return firstFinisher(found);
}

QString RunRows::firstExpectedStarter(const RunColumns& c) {
    // Classes from the highest down, start order within a class: the capture's own order.
    Query& q = run_.dm.Qtemp;
    q.setSql({"select zek from result where tcode = '" + run_.code() + "'" +
                  expected::inRunCondition(c.run, run_.app.competitionCode),
              "and " + c.start + " = '' order by class1 desc, " + c.order + " limit 1"});
    q.open();
    return q.fieldByName(u"zek").asString();
}

bool RunRows::isExpected(const RunColumns& c, const RunRow& row) {
    return expected::inRun(c.run, row.dropm, row.flag1, row.status[0], row.status[c.run - 1]);
}

const char* RunRows::notExpectedReason(const RunColumns& c, const RunRow& row) {
    if (row.dropm == u"9")
        return "ビブ %1 は前走・除外の選手です（記録のみ）";
    if (row.status[c.run - 1])
        return c.run == 1 ? "ビブ %1 には１本目の状態（DNS・DNF・DSQ）があります"
                          : "ビブ %1 には２本目の状態（DNS・DNF・DSQ）があります";
    if (row.flag1 != u"F")
        return "ビブ %1 は１本目を完走していません";
    return "ビブ %1 は１本目が欠場・途中棄権・失格です";
}

bool RunRows::finishStands(const RunColumns& c, const RunRow& row, const QString& bib,
                           bool named) const {
    if (row.finish.isEmpty())
        return false;
    // The timer's result comes from the latest finish it has not taken back: a finish kept
    // after its start was taken back gives way to the next finish line of the bib, one older
    // than the start to any.
    if (named && run_.finishKept(c.run, bib))
        return false;
    return row.start.isEmpty() || finishFollows(row.start, row.finish);
}

} // namespace pistel
