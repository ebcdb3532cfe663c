#include "Publication.h"

#include "ChangeHistory.h"
#include "data/Query.h"
#include "data/SqlValue.h"
#include "data/Transaction.h"

#include <QCryptographicHash>
#include <stdexcept>

namespace pistel {

std::optional<PublishScope> publishScopeNamed(const QString& name) {
    if (name == u"1")
        return PublishScope::Run1;
    if (name == u"2")
        return PublishScope::Run2;
    if (name == u"race")
        return PublishScope::Race;
    return std::nullopt;
}

QString publishScopeName(PublishScope scope) {
    return scope == PublishScope::Run1   ? QStringLiteral("1")
           : scope == PublishScope::Run2 ? QStringLiteral("2")
                                         : QStringLiteral("race");
}

QString resultsDigest(const Race& race, PublishScope scope) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const bool first = scope != PublishScope::Run2, second = scope != PublishScope::Run1;
    for (const Competitor& c : race.competitors) {
        if (c.excluded())
            continue;
        QStringList parts{c.zek, QString::number(c.class1), c.name, c.team};
        for (int run = 1; run <= 2; ++run)
            if (run == 1 ? first : second)
                parts << c.runTime[run - 1] << c.state[run - 1] << c.status[run - 1].code
                      << c.status[run - 1].gate << c.status[run - 1].reason << c.markOf(run);
        if (scope == PublishScope::Race)
            parts << c.total << c.points;
        hash.addData(parts.join(u'\t').toUtf8() + '\n');
    }
    return QString::fromLatin1(hash.result().toHex());
}

std::optional<QDateTime> officialSince(const Race& race, PublishScope scope) {
    const auto it = race.published.find(publishScopeName(scope));
    if (it == race.published.end() || it->digest != resultsDigest(race, scope))
        return std::nullopt;
    return it->at;
}

QDateTime publishResults(odbc::Connection& db, const QString& code, PublishScope scope, bool undo) {
    Race race;
    if (!readRace(db, code, race))
        throw std::invalid_argument(QStringLiteral("大会 %1 はありません").arg(code).toStdString());
    const QDateTime now = QDateTime::currentDateTime();
    const QString where =
        " where tcode = '" + sqlValue(code) + "' and scope = '" + publishScopeName(scope) + "'";
    const QString what = scope == PublishScope::Run1   ? QStringLiteral("１本目")
                         : scope == PublishScope::Run2 ? QStringLiteral("２本目")
                                                       : QStringLiteral("大会");
    HistoryEntry entry;
    entry.at = now;
    entry.host = workstationName();
    entry.run = scope == PublishScope::Run1 ? 1 : scope == PublishScope::Run2 ? 2 : 0;
    entry.source = QString::fromLatin1(source::kPublish);
    entry.what =
        (undo ? QStringLiteral("公式発表の取り消し: ") : QStringLiteral("公式発表: ")) + what;
    QStringList batch{"delete from publication" + where};
    if (!undo)
        batch << "insert into publication (tcode,scope,published_at,digest) values ('" +
                     sqlValue(code) + "','" + publishScopeName(scope) + "','" +
                     now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + "','" +
                     resultsDigest(race, scope) + "')";
    batch << historyInsert(code, {entry}).join(u'\n') << QStringLiteral("commit");
    Transaction tx(db);
    Query q(db, QStringLiteral("publish"), {batch.join(QStringLiteral(";\n"))});
    q.execSql();
    tx.committedByBatch();
    return now;
}

} // namespace pistel
