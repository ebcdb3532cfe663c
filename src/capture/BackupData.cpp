#include "BackupData.h"

#include "data/Query.h"
#include "data/SqlValue.h"

#include <QUrl>
#include <algorithm>

namespace pistel::backupdata {
namespace {
const QString kScope = QStringLiteral("SCOPE");
const QString kHandTimes = QStringLiteral("HAND_TIME");
const QString kSecondTimer = QStringLiteral("BACKUP_IMPULSE");
const QString kHandColumns = QStringLiteral("run,channel,line,bib,htime");
const QString kLineColumns = QStringLiteral("ttime,tstat,bib,stat,dtime,run");

QString handTimeWhere(const QString& code, int scope) {
    return "tcode = '" + sqlValue(code) + "'" + (scope == 2 ? QStringLiteral(" and run = 2") : "");
}

// Rows as text: fields percent-encoded and joined by ",", rows by " ".
QString readRows(Query& q, const QString& columns, const QString& table, const QString& where) {
    q.setSql({"select " + columns + " from " + table + " where " + where + " order by id"});
    q.open();
    QStringList rows;
    for (int r = 0; r < q.recordCount(); ++r) {
        QStringList fields;
        for (int c = 0; c < q.rows().columnCount(); ++c)
            fields << QString::fromLatin1(QUrl::toPercentEncoding(q.text(r, c)));
        rows << fields.join(QLatin1Char(','));
    }
    q.close();
    return rows.join(QLatin1Char(' '));
}

QStringList inserts(const QString& code, const QString& table, const QString& columns,
                    const QString& rows) {
    QStringList lines;
    for (const QString& row : rows.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        QStringList values{"'" + sqlValue(code) + "'"};
        const QStringList fields = row.split(QLatin1Char(','));
        for (const QString& field : fields)
            values << "'" + sqlValue(QUrl::fromPercentEncoding(field.toLatin1())) + "'";
        // A snapshot taken before a column was added has fewer fields: the first columns.
        const QStringList named =
            columns.split(QLatin1Char(','))
                .first(std::min(fields.size(), columns.count(QLatin1Char(',')) + 1));
        lines << "insert into " + table + " (tcode," + named.join(QLatin1Char(',')) + ") values (" +
                     values.join(QLatin1Char(',')) + ");";
    }
    return lines;
}

int count(const QString& rows) {
    return static_cast<int>(rows.split(QLatin1Char(' '), Qt::SkipEmptyParts).size());
}
} // namespace

RowSnapshot read(Query& q, const QString& code, int scope) {
    RowSnapshot s;
    s.values.insert(kScope, QString::number(scope));
    s.values.insert(kHandTimes, readRows(q, kHandColumns, QStringLiteral("hand_time"),
                                         handTimeWhere(code, scope)));
    if (scope == 0)
        s.values.insert(kSecondTimer, readRows(q, kLineColumns, QStringLiteral("backup_impulse"),
                                               "tcode = '" + sqlValue(code) + "'"));
    return s;
}

QString summary(const RowSnapshot& data) {
    const int hand = count(data.value(kHandTimes)), lines = count(data.value(kSecondTimer));
    if (hand == 0 && lines == 0)
        return QStringLiteral("なし");
    return QStringLiteral("手計時 %1 件、予備計時器の時刻 %2 件").arg(hand).arg(lines);
}

HistoryEntry changeEntry(const RowSnapshot& before, const RowSnapshot& after, const char* source) {
    HistoryEntry entry;
    entry.at = QDateTime::currentDateTime();
    entry.host = workstationName();
    entry.run = before.value(kScope).toInt();
    entry.source = QString::fromLatin1(source);
    entry.what = QStringLiteral("予備計時のデータ");
    entry.beforeText = summary(before);
    entry.afterText = summary(after);
    entry.before = before;
    entry.after = after;
    return entry;
}

bool clearedEntry(const RowSnapshot& before, HistoryEntry& entry) {
    if (count(before.value(kHandTimes)) == 0 && count(before.value(kSecondTimer)) == 0)
        return false;
    RowSnapshot after = before;
    after.values.insert(kHandTimes, QString());
    if (before.values.contains(kSecondTimer))
        after.values.insert(kSecondTimer, QString());
    entry = changeEntry(before, after, source::kReset);
    return true;
}

QStringList clearStatements(const QString& code, int scope) {
    QStringList lines{"delete from hand_time where " + handTimeWhere(code, scope)};
    if (scope == 0)
        lines << "delete from backup_impulse where tcode = '" + sqlValue(code) + "'";
    return lines;
}

QStringList restoreStatements(const QString& code, const RowSnapshot& target) {
    const int scope = target.value(kScope).toInt();
    QStringList lines{"delete from hand_time where " + handTimeWhere(code, scope) + ";"};
    lines << inserts(code, QStringLiteral("hand_time"), kHandColumns, target.value(kHandTimes));
    if (target.values.contains(kSecondTimer)) {
        lines << "delete from backup_impulse where tcode = '" + sqlValue(code) + "';";
        lines << inserts(code, QStringLiteral("backup_impulse"), kLineColumns,
                         target.value(kSecondTimer));
    }
    lines.last().chop(1); // the batch's last statement ends it
    return lines;
}

bool isBackupData(const RowSnapshot& snapshot) {
    return snapshot.values.contains(kHandTimes);
}

} // namespace pistel::backupdata
