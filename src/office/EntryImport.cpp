#include "EntryImport.h"

#include "OfficeBatch.h"
#include "data/Query.h"
#include "data/SqlValue.h"

#include <stdexcept>

namespace pistel {
namespace {

// The competitors already entered: bib by licence, and by name and team.
struct Entered {
    QHash<QString, QString> byLicence, byNameAndTeam;
    QHash<QString, QString> nameAndTeamOf; // bib -> key of byNameAndTeam
    QHash<int, int> lastStart;             // class -> highest start position
    int highestBib = 0;
};

QString nameAndTeam(const QString& name, const QString& team) {
    return name.simplified() + QLatin1Char('\t') + team.simplified();
}

Entered readEntered(odbc::Connection& db, const QString& code) {
    Query q(db, QStringLiteral("entered"),
            {"select r.zek,r.name,r.team,r.class1,r.st1,coalesce(d.licence,'') from result r",
             "left join entry_detail d on d.tcode = r.tcode and d.zek = r.zek",
             "where r.tcode = " + quoted(code)});
    q.open();
    Entered e;
    for (int r = 0; r < q.recordCount(); ++r) {
        const QString bib = q.text(r, 0);
        const QString key = nameAndTeam(q.text(r, 1), q.text(r, 2));
        e.byNameAndTeam.insert(key, bib);
        e.nameAndTeamOf.insert(bib, key);
        if (!q.text(r, 5).isEmpty())
            e.byLicence.insert(q.text(r, 5), bib);
        const int cls = q.text(r, 3).toInt();
        e.lastStart[cls] = std::max(e.lastStart.value(cls), q.text(r, 4).toInt());
        e.highestBib = std::max(e.highestBib, bib.toInt());
    }
    return e;
}

QString bibText(int number) {
    return QString::number(number).rightJustified(4, QLatin1Char('0'));
}

} // namespace

QHash<QString, int> readClassNumbers(odbc::Connection& db) {
    Query q(db, QStringLiteral("classes"), {QStringLiteral("select cname,ccode from cs_master")});
    q.open();
    QHash<QString, int> classes;
    for (int r = 0; r < q.recordCount(); ++r)
        classes.insert(q.text(r, 0), q.text(r, 1).toInt());
    return classes;
}

ImportCount importEntries(odbc::Connection& db, const QString& code, const EntryFile& file,
                          const QHash<QString, int>& classNumbers) {
    if (!file.problems.isEmpty())
        throw std::invalid_argument("the entry file has problems; nothing is written");
    // Two imports at once cannot give one bib twice: the key of result refuses the second,
    // and its batch is rolled back whole.
    Entered entered = readEntered(db, code);
    QStringList batch;
    ImportCount count;
    for (const Entry& e : file.entries) {
        const int cls = classNumbers.value(e.className);
        QString bib = e.licence.isEmpty() ? QString() : entered.byLicence.value(e.licence);
        if (bib.isEmpty())
            bib = entered.byNameAndTeam.value(nameAndTeam(e.name, e.team));
        bool numeric = true;
        const int number = e.bib.toInt(&numeric);
        if (!e.bib.isEmpty() && (!numeric || number < 1 || number > 9999))
            throw std::invalid_argument(
                QStringLiteral("%1行目: ビブ %2 は 1 から 9999 の番号ではありません")
                    .arg(e.line)
                    .arg(e.bib)
                    .toStdString());
        const QString wanted = e.bib.isEmpty() ? QString() : bibText(number);
        if (!bib.isEmpty()) {
            // Known: the file's name, team, class and details; a new bib only when it is free.
            if (!wanted.isEmpty() && wanted != bib) {
                if (entered.nameAndTeamOf.contains(wanted))
                    throw std::invalid_argument(
                        QStringLiteral("%1行目: ビブ %2 は別の選手のものです")
                            .arg(e.line)
                            .arg(wanted)
                            .toStdString());
                batch << "update result set zek = " + quoted(wanted) +
                             " where tcode = " + quoted(code) + " and zek = " + quoted(bib)
                      << "update entry_detail set zek = " + quoted(wanted) +
                             " where tcode = " + quoted(code) + " and zek = " + quoted(bib);
                entered.nameAndTeamOf.insert(wanted, entered.nameAndTeamOf.take(bib));
                bib = wanted;
            }
            batch << "update result set name = " + quoted(e.name) + ", team = " + quoted(e.team) +
                         ", class1 = " + QString::number(cls) + " where tcode = " + quoted(code) +
                         " and zek = " + quoted(bib);
            ++count.updated;
        } else {
            if (!wanted.isEmpty() && entered.nameAndTeamOf.contains(wanted))
                throw std::invalid_argument(QStringLiteral("%1行目: ビブ %2 は別の選手のものです")
                                                .arg(e.line)
                                                .arg(wanted)
                                                .toStdString());
            bib = wanted.isEmpty() ? bibText(entered.highestBib + 1) : wanted;
            const int start = ++entered.lastStart[cls];
            batch << "insert into result (tcode,zek,name,team,class1,st1) values (" + quoted(code) +
                         "," + quoted(bib) + "," + quoted(e.name) + "," + quoted(e.team) + "," +
                         QString::number(cls) + "," + QString::number(start) + ")";
            ++count.added;
        }
        entered.highestBib = std::max(entered.highestBib, bib.toInt());
        entered.nameAndTeamOf.insert(bib, nameAndTeam(e.name, e.team));
        entered.byNameAndTeam.insert(nameAndTeam(e.name, e.team), bib);
        if (!e.licence.isEmpty())
            entered.byLicence.insert(e.licence, bib);
        batch << "replace into entry_detail (tcode,zek,kana,sex,birth_year,nation,licence,points) "
                 "values (" +
                     quoted(code) + "," + quoted(bib) + "," + quoted(e.kana) + "," + quoted(e.sex) +
                     "," + quoted(e.birthYear) + "," + quoted(e.nation) + "," + quoted(e.licence) +
                     "," + quoted(e.points) + ")";
    }
    writeTogether(db, batch);
    return count;
}

} // namespace pistel
