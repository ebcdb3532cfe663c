#include "EntryImport.h"

#include "OfficeBatch.h"
#include "OfficeHistory.h"
#include "data/Query.h"

#include <stdexcept>

namespace pistel {
namespace {

// A competitor as stored: what an entry can change.
struct Stored {
    QString bib, name, team, kana, sex, birthYear, nation, licence, points;
    int cls = 0;
    bool timed = false; // a start or finish in either run
};

// The competitors already entered, and where they are found.
struct Entered {
    QHash<QString, Stored> byBib;
    QHash<QString, QString> byLicence, byNameAndTeam; // -> bib
    QHash<int, int> lastStart;                        // class -> highest start position
    int highestBib = 0;
};

QString nameAndTeam(const QString& name, const QString& team) {
    return name.simplified() + QLatin1Char('\t') + team.simplified();
}

Entered readEntered(odbc::Connection& db, const QString& code) {
    Query q(db, QStringLiteral("entered"),
            {"select r.zek,r.name,r.team,r.class1,r.st1,concat(r.sttime,r.altime,r.sttime2,"
             "r.altime2),coalesce(d.kana,''),coalesce(d.sex,''),coalesce(d.birth_year,''),",
             "coalesce(d.nation,''),coalesce(d.licence,''),coalesce(d.points,'') from result r",
             "left join entry_detail d on d.tcode = r.tcode and d.zek = r.zek",
             "where r.tcode = " + quoted(code)});
    q.open();
    Entered e;
    for (int r = 0; r < q.recordCount(); ++r) {
        const Stored s{q.text(r, 0),  q.text(r, 1),         q.text(r, 2),           q.text(r, 6),
                       q.text(r, 7),  q.text(r, 8),         q.text(r, 9),           q.text(r, 10),
                       q.text(r, 11), q.text(r, 3).toInt(), !q.text(r, 5).isEmpty()};
        e.byBib.insert(s.bib, s);
        e.byNameAndTeam.insert(nameAndTeam(s.name, s.team), s.bib);
        if (!s.licence.isEmpty())
            e.byLicence.insert(s.licence, s.bib);
        e.lastStart[s.cls] = std::max(e.lastStart.value(s.cls), q.text(r, 4).toInt());
        e.highestBib = std::max(e.highestBib, s.bib.toInt());
    }
    return e;
}

// How the history and the preview show an entry.
QString shown(const Stored& s) {
    QStringList parts{s.name, s.team, QStringLiteral("クラス %1").arg(s.cls)};
    for (const QString& p : {s.kana, s.sex, s.birthYear, s.nation, s.licence, s.points})
        if (!p.isEmpty())
            parts << p;
    return parts.join(QStringLiteral(" / "));
}

bool sameEntry(const Stored& a, const Stored& b) {
    return a.bib == b.bib && a.name == b.name && a.team == b.team && a.cls == b.cls &&
           a.kana == b.kana && a.sex == b.sex && a.birthYear == b.birthYear &&
           a.nation == b.nation && a.licence == b.licence && a.points == b.points;
}

[[noreturn]] void refuse(const Entry& e, const QString& text) {
    const QString where = e.line > 0 ? QStringLiteral("%1行目: ").arg(e.line) : QString();
    throw std::invalid_argument((where + text).toStdString());
}

// The bib the entry asks for (four digits), empty when it names none.
QString wantedBib(const Entry& e) {
    if (e.bib.isEmpty())
        return {};
    bool numeric = true;
    const int number = e.bib.toInt(&numeric);
    if (!numeric || number < 1 || number > 9999)
        refuse(e, QStringLiteral("ビブ %1 は 1 から 9999 の番号ではありません").arg(e.bib));
    return bibText(number);
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

std::optional<Entry> readEntry(odbc::Connection& db, const QString& code, const QString& bib) {
    Query q(db, QStringLiteral("entry"),
            {"select r.name,coalesce(d.kana,''),r.team,coalesce(c.cname,r.class1),"
             "coalesce(d.sex,''),coalesce(d.birth_year,''),coalesce(d.nation,''),",
             "coalesce(d.licence,''),coalesce(d.points,'') from result r",
             "left join entry_detail d on d.tcode = r.tcode and d.zek = r.zek",
             "left join cs_master c on c.ccode = r.class1",
             "where r.tcode = " + quoted(code) + " and r.zek = " + quoted(bib)});
    q.open();
    if (q.recordCount() == 0)
        return std::nullopt;
    return Entry{0,
                 bib,
                 q.text(0, 0),
                 q.text(0, 1),
                 q.text(0, 2),
                 q.text(0, 3),
                 q.text(0, 4),
                 q.text(0, 5),
                 q.text(0, 6),
                 q.text(0, 7),
                 q.text(0, 8)};
}

QStringList classColumnValues(const QHash<QString, int>& classNumbers) {
    QStringList values = classNumbers.keys();
    for (int number : classNumbers)
        values << QString::number(number);
    return values;
}

ImportPlan planImport(odbc::Connection& db, const QString& code, const EntryFile& file,
                      const QHash<QString, int>& classNumbers, EntryMatch match) {
    if (!file.problems.isEmpty())
        throw std::invalid_argument("the entry file has problems; nothing is written");
    // Two imports at once cannot give one bib twice: the key of result refuses the second,
    // and its batch is rolled back whole.
    Entered entered = readEntered(db, code);
    ImportPlan plan;
    std::vector<OfficeChange> history;
    const QString where = " where tcode = " + quoted(code) + " and zek = ";
    for (const Entry& e : file.entries) {
        bool numeric = false;
        const int named = e.className.toInt(&numeric);
        if (!classNumbers.contains(e.className) &&
            !(numeric && classNumbers.values().contains(named)))
            refuse(e, QStringLiteral("クラス「%1」はクラス一覧にありません").arg(e.className));
        const int cls = classNumbers.value(e.className, named);
        const QString wanted = wantedBib(e);
        QString bib;
        if (match == EntryMatch::Bib) {
            bib = entered.byBib.contains(wanted) ? wanted : QString();
        } else {
            bib = e.licence.isEmpty() ? QString() : entered.byLicence.value(e.licence);
            if (bib.isEmpty())
                bib = entered.byNameAndTeam.value(nameAndTeam(e.name, e.team));
        }
        Stored now{bib.isEmpty() ? wanted : bib,
                   e.name,
                   e.team,
                   e.kana,
                   e.sex,
                   e.birthYear,
                   e.nation,
                   e.licence,
                   e.points,
                   cls};
        if (!bib.isEmpty()) {
            const Stored was = entered.byBib.value(bib);
            if (!wanted.isEmpty() && wanted != bib) {
                // A new bib only when it is free and nothing was timed under the old one.
                if (entered.byBib.contains(wanted))
                    refuse(e, QStringLiteral("ビブ %1 は別の選手のものです").arg(wanted));
                if (was.timed)
                    refuse(e, QStringLiteral("ビブ %1 には時刻があります。ビブは変えられません")
                                  .arg(bib));
                now.bib = wanted;
            }
            if (sameEntry(was, now)) {
                ++plan.count.unchanged;
                continue;
            }
            if (now.bib != bib)
                plan.statements << "update result set zek = " + quoted(now.bib) + where +
                                       quoted(bib)
                                << "update entry_detail set zek = " + quoted(now.bib) + where +
                                       quoted(bib);
            plan.statements << "update result set name = " + quoted(now.name) +
                                   ", team = " + quoted(now.team) +
                                   ", class1 = " + QString::number(now.cls) + where +
                                   quoted(now.bib);
            entered.byBib.remove(bib);
            ++plan.count.updated;
            const QString before = bib + u' ' + shown(was);
            history.push_back({now.bib, 0, QStringLiteral("エントリーの変更"), before,
                               now.bib + u' ' + shown(now)});
            plan.changes << QStringLiteral("変更 %1 → %2 %3").arg(before, now.bib, shown(now));
        } else {
            if (!wanted.isEmpty() && entered.byBib.contains(wanted))
                refuse(e, QStringLiteral("ビブ %1 は別の選手のものです").arg(wanted));
            if (now.bib.isEmpty())
                now.bib = bibText(entered.highestBib + 1);
            const int start = ++entered.lastStart[now.cls];
            plan.statements << "insert into result (tcode,zek,name,team,class1,st1) values (" +
                                   quoted(code) + "," + quoted(now.bib) + "," + quoted(now.name) +
                                   "," + quoted(now.team) + "," + QString::number(now.cls) + "," +
                                   QString::number(start) + ")";
            ++plan.count.added;
            history.push_back(
                {now.bib, 0, QStringLiteral("エントリーの追加"), {}, now.bib + u' ' + shown(now)});
            plan.changes << QStringLiteral("追加 %1 %2").arg(now.bib, shown(now));
        }
        entered.byBib.insert(now.bib, now);
        entered.highestBib = std::max(entered.highestBib, now.bib.toInt());
        entered.byNameAndTeam.insert(nameAndTeam(now.name, now.team), now.bib);
        if (!now.licence.isEmpty())
            entered.byLicence.insert(now.licence, now.bib);
        plan.statements
            << "replace into entry_detail (tcode,zek,kana,sex,birth_year,nation,licence,points) "
               "values (" +
                   quoted(code) + "," + quoted(now.bib) + "," + quoted(now.kana) + "," +
                   quoted(now.sex) + "," + quoted(now.birthYear) + "," + quoted(now.nation) + "," +
                   quoted(now.licence) + "," + quoted(now.points) + ")";
    }
    if (!history.empty())
        plan.statements << officeHistory(code, history).join(u'\n');
    return plan;
}

void writeImport(odbc::Connection& db, const ImportPlan& plan) {
    writeTogether(db, plan.statements);
}

ImportCount importEntries(odbc::Connection& db, const QString& code, const EntryFile& file,
                          const QHash<QString, int>& classNumbers, EntryMatch match) {
    const ImportPlan plan = planImport(db, code, file, classNumbers, match);
    writeImport(db, plan);
    return plan.count;
}

} // namespace pistel
