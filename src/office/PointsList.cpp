#include "PointsList.h"

#include "Competition.h"
#include "OfficeBatch.h"
#include "OfficeHistory.h"
#include "data/Query.h"

#include <QHash>
#include <QRegularExpression>
#include <stdexcept>

namespace pistel {
namespace {

QString headerKey(const QString& title) {
    return title.trimmed().toLower().remove(QRegularExpression(QStringLiteral("[ 　_\\-]")));
}

// The column of `names` (header keys) in `header`; -1 when none.
int columnOf(const QStringList& header, const QStringList& names) {
    for (int c = 0; c < header.size(); ++c)
        if (names.contains(headerKey(header[c])))
            return c;
    return -1;
}

} // namespace

PointsPlan planPoints(odbc::Connection& db, const QString& code, const QByteArray& bytes,
                      const QString& encoding) {
    const std::optional<Competition> competition = readCompetition(db, code);
    if (!competition)
        throw std::invalid_argument(QStringLiteral("大会 %1 はありません").arg(code).toStdString());
    const QString discipline =
        competition->discipline.normalized(QString::NormalizationForm_KC).trimmed().toLower();
    if (discipline.isEmpty())
        throw std::invalid_argument(
            QStringLiteral("大会 %1 の種目がありません").arg(code).toStdString());
    const TextTable table = readTextTable(bytes, encoding);
    PointsPlan plan;
    plan.encoding = table.encoding;
    plan.problems = table.problems;
    const QStringList header =
        table.lines.isEmpty() ? QStringList{} : fieldsOf(table.lines[0], table.tabs);
    const int licence = columnOf(header, {"fiscode", "licence", "license", "登録番号"});
    QStringList disciplineNames{discipline + "points", discipline + "ポイント", discipline};
    if (discipline == u"ac") // the alpine combined's older name
        disciplineNames << "scpoints"
                        << "scポイント"
                        << "sc";
    const int points = columnOf(header, disciplineNames);
    if (licence < 0)
        plan.problems.append(
            {1, QStringLiteral("見出しの行に登録番号（Fiscode）の列がありません")});
    if (points < 0)
        plan.problems.append({1, QStringLiteral("見出しの行に %1 のポイントの列がありません")
                                     .arg(discipline.toUpper())});
    if (!plan.problems.isEmpty())
        return plan;

    QHash<QString, QString> listed; // licence -> points as hundredths text
    static const QRegularExpression form(QStringLiteral("^\\d+(\\.\\d{1,2})?$"));
    for (int i = 1; i < table.lines.size(); ++i) {
        if (table.lines[i].trimmed().isEmpty())
            continue;
        const QStringList f = fieldsOf(table.lines[i], table.tabs);
        const QString id = f.value(licence).trimmed(), value = f.value(points).trimmed();
        if (id.isEmpty() || value.isEmpty())
            continue; // no points in this discipline
        if (!form.match(value).hasMatch()) {
            plan.problems.append(
                {i + 1, QStringLiteral("ポイント「%1」は数として読めません").arg(value)});
            continue;
        }
        listed.insert(id, QString::number(value.toDouble(), 'f', 2));
    }
    if (!plan.problems.isEmpty())
        return plan;

    Query q(db, QStringLiteral("points"),
            {"select zek,licence,points from entry_detail where tcode = " + quoted(code) +
             " and licence <> '' order by zek"});
    q.open();
    std::vector<OfficeChange> history;
    for (int r = 0; r < q.recordCount(); ++r) {
        const QString bib = q.text(r, 0), id = q.text(r, 1), was = q.text(r, 2);
        if (!listed.contains(id)) {
            plan.missing << bib;
            continue;
        }
        ++plan.listed;
        const QString now = listed[id];
        if (!was.isEmpty() && was.toDouble() == now.toDouble())
            continue;
        ++plan.changed;
        plan.statements << "update entry_detail set points = " + quoted(now) +
                               " where tcode = " + quoted(code) + " and zek = " + quoted(bib);
        history.push_back({bib, 0, QStringLiteral("ポイントの変更 %1").arg(id), was, now});
        plan.changes << QStringLiteral("%1 %2: %3 → %4")
                            .arg(bib, id, was.isEmpty() ? QStringLiteral("なし") : was, now);
    }
    if (!history.empty())
        plan.statements << officeHistory(code, history).join(u'\n');
    return plan;
}

} // namespace pistel
