#include "Competition.h"

#include "OfficeBatch.h"
#include "OfficeHistory.h"
#include "data/Query.h"
#include "data/SqlValue.h"

#include <stdexcept>

namespace pistel {
QString competitionProblem(const Competition& c) {
    if (c.code.isEmpty() || c.code.size() > 20 || c.code.contains(QLatin1Char('\'')))
        return QStringLiteral("大会コードは 1 から 20 文字です");
    if (c.title.isEmpty())
        return QStringLiteral("大会名がありません");
    if (!kDisciplines.contains(c.discipline))
        return QStringLiteral("種目は %1 のいずれかです").arg(kDisciplines.join(QLatin1Char(' ')));
    if (c.runs < 1 || c.runs > 2)
        return QStringLiteral("本数は 1 か 2 です");
    if (!c.date.isValid())
        return QStringLiteral("日付がありません");
    return {};
}

namespace {
QString shown(const Competition& c) {
    return QStringList{c.title,
                       c.venue,
                       c.discipline,
                       QStringLiteral("%1本").arg(c.runs),
                       c.date.toString(Qt::ISODate),
                       c.category,
                       c.sex}
        .join(QStringLiteral(" / "));
}
} // namespace

void saveCompetition(odbc::Connection& db, const Competition& c) {
    if (const QString problem = competitionProblem(c); !problem.isEmpty())
        throw std::invalid_argument(problem.toStdString());
    const std::optional<Competition> was = readCompetition(db, c.code);
    if (was == c)
        return;
    writeTogether(
        db,
        {officeHistory(c.code, {{{},
                                 0,
                                 was ? QStringLiteral("大会の変更") : QStringLiteral("大会の作成"),
                                 was ? shown(*was) : QString(),
                                 shown(c)}})
             .join(u'\n'),
         "insert into taikai (tcode,tname,TPLACE,GAME,HON,tdate,TCLASS,SEX) values (" +
             quoted(c.code) + "," + quoted(c.title) + "," + quoted(c.venue) + "," +
             quoted(c.discipline) + "," + quoted(QString::number(c.runs)) + "," +
             quoted(c.date.toString(Qt::ISODate)) + "," + quoted(c.category) + "," + quoted(c.sex) +
             ") on duplicate key update tname = values(tname), TPLACE = values(TPLACE), "
             "GAME = values(GAME), HON = values(HON), tdate = values(tdate), "
             "TCLASS = values(TCLASS), SEX = values(SEX)"});
}

std::optional<Competition> readCompetition(odbc::Connection& db, const QString& code) {
    Query q(db, QStringLiteral("competition"),
            {"select tname,TPLACE,GAME,HON,tdate,TCLASS,SEX from taikai where tcode = " +
             quoted(code)});
    q.open();
    if (q.recordCount() == 0)
        return std::nullopt;
    return Competition{code,
                       q.text(0, 0),
                       q.text(0, 1),
                       q.text(0, 2),
                       q.text(0, 5),
                       q.text(0, 6),
                       q.text(0, 3).toInt(),
                       QDate::fromString(q.text(0, 4), Qt::ISODate)};
}

void saveClasses(odbc::Connection& db, const QList<ClassDef>& classes) {
    QStringList batch;
    for (const ClassDef& c : classes) {
        const QString number = quoted(QString::number(c.number));
        // One name a number: a number given a new name is renamed, not doubled.
        batch << "delete from cs_master where ccode = " + number + " and cname <> " + quoted(c.name)
              << "replace into cs_master (cname,ccode) values (" + quoted(c.name) + "," + number +
                     ")";
    }
    writeTogether(db, batch);
}

QList<int> readEnteredClasses(odbc::Connection& db, const QString& code) {
    Query q(db, QStringLiteral("classes"),
            {"select distinct class1 from result where tcode = " + quoted(code) +
             " and dropm <> '9' order by class1 desc"});
    q.open();
    QList<int> classes;
    for (int r = 0; r < q.recordCount(); ++r)
        classes << q.text(r, 0).toInt();
    return classes;
}

void setRaceData(odbc::Connection& db, const QString& code, int run,
                 const QMap<QString, QString>& items) {
    const QMap<QString, QString> was = readRaceData(db, code);
    QStringList batch;
    std::vector<OfficeChange> history;
    for (auto it = items.cbegin(); it != items.cend(); ++it) {
        const QString before = was.value(QString::number(run) + u'|' + it.key());
        if (before != it.value())
            history.push_back(
                {{}, run, QStringLiteral("大会データ: %1").arg(it.key()), before, it.value()});
        if (!kRaceDataItems.contains(it.key()))
            throw std::invalid_argument(QStringLiteral("「%1」は大会データの項目ではありません")
                                            .arg(it.key())
                                            .toStdString());
        const QString key = " where tcode = " + quoted(code) +
                            " and run = " + QString::number(run) +
                            " and item = " + quoted(it.key());
        batch << (it.value().isEmpty() ? "delete from race_data" + key
                                       : "replace into race_data (tcode,run,item,value) values (" +
                                             quoted(code) + "," + QString::number(run) + "," +
                                             quoted(it.key()) + "," + quoted(it.value()) + ")");
    }
    if (!history.empty())
        batch << officeHistory(code, history).join(u'\n');
    writeTogether(db, batch);
}

QMap<QString, QString> readRaceData(odbc::Connection& db, const QString& code) {
    Query q(db, QStringLiteral("race data"),
            {"select run,item,value from race_data where tcode = " + quoted(code) +
             " order by run,item"});
    q.open();
    QMap<QString, QString> items;
    for (int r = 0; r < q.recordCount(); ++r)
        items.insert(q.text(r, 0) + QLatin1Char('|') + q.text(r, 1), q.text(r, 2));
    return items;
}

} // namespace pistel
