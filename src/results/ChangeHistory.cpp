// The history of changes to competitors' times and statuses, and what it tells: what was set
// by hand, and what a reversion must put back.
#include "ChangeHistory.h"

#include "data/Query.h"
#include "data/SqlValue.h"

#include <QSysInfo>
#include <QUrl>

namespace pistel {

namespace {

const char* const kStatusKeys[] = {"STATUS1", "STATUS2"};

struct Named {
    const char* column;
    const char* caption;
    int run;
};
// The columns a history text names, in this order; the others (state, time parts) follow them.
const Named kShown[] = {
    {"STTIME", "1本目スタート", 1},  {"ALTIME", "1本目フィニッシュ", 1},
    {"TTIME", "1本目タイム", 1},     {"STATUS1", "1本目状態", 1},
    {"STTIME2", "2本目スタート", 2}, {"ALTIME2", "2本目フィニッシュ", 2},
    {"TTIME2", "2本目タイム", 2},    {"STATUS2", "2本目状態", 2},
    {"TOTALTIME", "合計", 0},
};

QString shownValue(const QString& column, const QString& value) {
    if (value.isEmpty())
        return QStringLiteral("なし");
    if (column.startsWith(u"STATUS")) {
        RowSnapshot s;
        s.values.insert(column, value);
        return statusText(s.status(column.back().digitValue()));
    }
    return value.trimmed();
}

} // namespace

QString sourceCaption(const QString& s) {
    static const QHash<QString, QString> captions{
        {source::kStartAssigned, QStringLiteral("スタート時刻の割り当て (N1)")},
        {source::kFinishAssigned, QStringLiteral("フィニッシュ時刻の割り当て (N2)")},
        {source::kStartCleared, QStringLiteral("スタート時刻の取り消し (N3)")},
        {source::kFinishCleared, QStringLiteral("フィニッシュ時刻の取り消し (N4)")},
        {source::kEdited, QStringLiteral("計時器で入力された時刻")},
        {source::kTakenBack, QStringLiteral("計時器による取り消し")},
        {source::kReset, QStringLiteral("計測データの削除")},
        {source::kStatus, QStringLiteral("状態の変更")},
        {source::kRevert, QStringLiteral("変更の取り消し")},
        {source::kImport, QStringLiteral("取り込み")},
        {source::kReplacement, QStringLiteral("代替時刻（予備計時）")},
        {source::kFinishReplaced, QStringLiteral("後のフィニッシュによる置き換え")},
        {source::kOffice, QStringLiteral("大会準備")},
        {source::kPublish, QStringLiteral("公式発表")},
    };
    return captions.value(s, s);
}

bool isManualSource(const QString& s) {
    return s == u"N1" || s == u"N2" || s == u"edited" || s == u"revert" || s == u"import" ||
           s == u"backup";
}

const QStringList& RowSnapshot::resultColumns() {
    static const QStringList columns{
        "STTIME", "ALTIME", "TTIME", "FL", "TH", "TM", "TS", "TMS", "STTIME2", "ALTIME2", "TTIME2",
        "FL2", "TH2", "TM2", "TS2", "TMS2", "TOTALTIME",
        // What a reset clears besides the times, so that its reversion is exact.
        "DIFF", "POINT", "DF1", "DF2", "CUTOFF", "E1", "E2", "BST1", "BFT1", "BRT1", "BST2", "BFT2",
        "BRT2", "HST1", "HFT1", "HRT1", "HST2", "HFT2", "HRT2"};
    return columns;
}

RunStatus RowSnapshot::status(int run) const {
    const QStringList parts = values.value(kStatusKeys[run - 1]).split(QLatin1Char('|'));
    RunStatus s;
    s.code = parts.value(0);
    s.gate = parts.value(1);
    s.reason = parts.mid(2).join(QLatin1Char('|'));
    return s;
}

void RowSnapshot::setStatus(int run, const RunStatus& s) {
    values.insert(kStatusKeys[run - 1],
                  s.isSet() ? s.code + u'|' + s.gate + u'|' + s.reason : QString());
}

QString RowSnapshot::encode() const {
    QStringList parts;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        parts << it.key() + u'=' + QString::fromLatin1(QUrl::toPercentEncoding(it.value()));
    return parts.join(QLatin1Char(';'));
}

RowSnapshot RowSnapshot::decode(const QString& text) {
    RowSnapshot s;
    for (const QString& part : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq > 0)
            s.values.insert(part.left(eq), QUrl::fromPercentEncoding(part.mid(eq + 1).toLatin1()));
    }
    return s;
}

QHash<QString, RowSnapshot> readSnapshots(odbc::Connection& db, const QString& code,
                                          const QString& bib) {
    Query q(db, QStringLiteral("snapshot"));
    QStringList columns;
    for (const QString& c : RowSnapshot::resultColumns())
        columns << "r." + c;
    // The competitor's hand times (handtm) as "run|time" pieces in their order.
    q.setSql({"select r.zek," + columns.join(u',') +
                  ",s1.code,s1.gate,s1.reason,s2.code,s2.gate,s2.reason,",
              "(select group_concat(concat(h.run,'|',h.htime) order by h.id separator ';') from "
              "handtm h where h.tcode = r.tcode and h.zek = r.zek) from result r",
              "left join run_status s1 on s1.tcode = r.tcode and s1.zek = r.zek and s1.run = 1",
              "left join run_status s2 on s2.tcode = r.tcode and s2.zek = r.zek and s2.run = 2",
              "where r.tcode = '" + sqlValue(code) + "'" +
                  (bib.isEmpty() ? QString() : " and r.zek = '" + sqlValue(bib) + "'")});
    q.open();
    QHash<QString, RowSnapshot> snapshots;
    const int n = static_cast<int>(RowSnapshot::resultColumns().size());
    for (int r = 0; r < q.recordCount(); ++r) {
        RowSnapshot s;
        for (int c = 0; c < n; ++c)
            s.values.insert(RowSnapshot::resultColumns()[c], q.text(r, c + 1));
        for (int run = 1; run <= 2; ++run) {
            const int at = n + 1 + (run - 1) * 3;
            s.setStatus(run, {q.text(r, at), q.text(r, at + 1), q.text(r, at + 2)});
        }
        s.values.insert(QString::fromLatin1(kHandTimesKey), q.text(r, n + 7));
        snapshots.insert(q.text(r, 0), s);
    }
    return snapshots;
}

QString workstationName() {
    return QSysInfo::machineHostName();
}

bool describeChange(const QString& zek, const QString& src, const RowSnapshot& before,
                    const RowSnapshot& after, HistoryEntry& entry) {
    if (before == after)
        return false;
    QStringList what, was, now;
    QSet<int> runs;
    for (const Named& n : kShown) {
        const QString c = QString::fromLatin1(n.column);
        if (before.value(c) == after.value(c))
            continue;
        what << QString::fromUtf8(n.caption);
        was << QString::fromUtf8(n.caption) + u' ' + shownValue(c, before.value(c));
        now << QString::fromUtf8(n.caption) + u' ' + shownValue(c, after.value(c));
        if (n.run)
            runs.insert(n.run);
    }
    if (what.isEmpty()) {
        // Only a state or a time part changed.
        for (auto it = after.values.cbegin(); it != after.values.cend(); ++it)
            if (before.value(it.key()) != it.value()) {
                what << it.key();
                was << it.key() + u' ' + shownValue(it.key(), before.value(it.key()));
                now << it.key() + u' ' + shownValue(it.key(), it.value());
                runs.insert(it.key().endsWith(u'2') ? 2 : 1);
            }
    }
    entry = {};
    entry.at = QDateTime::currentDateTime();
    entry.host = workstationName();
    entry.zek = zek;
    entry.run = runs.size() == 1 ? *runs.cbegin() : 0;
    entry.source = src;
    entry.what = what.join(QStringLiteral("、"));
    entry.beforeText = was.join(QStringLiteral("、"));
    entry.afterText = now.join(QStringLiteral("、"));
    entry.before = before;
    entry.after = after;
    return true;
}

QStringList historyInsert(const QString& code, const std::vector<HistoryEntry>& entries) {
    if (entries.empty())
        return {};
    QStringList lines{"insert into change_history (tcode,at,host,zek,run,source,what,before_text,"
                      "after_text,before_row,after_row) values"};
    for (size_t i = 0; i < entries.size(); ++i) {
        const HistoryEntry& e = entries[i];
        const QString at = e.at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        lines << QString(i ? "," : "") + "('" + sqlValue(code) + "','" + at + "','" +
                     sqlValue(e.host.left(100)) + "','" + sqlValue(e.zek) + "','" +
                     QString::number(e.run) + "','" + sqlValue(e.source) + "','" +
                     sqlValue(e.what.left(200)) + "','" + sqlValue(e.beforeText.left(400)) + "','" +
                     sqlValue(e.afterText.left(400)) + "','" + sqlValue(e.before.encode()) + "','" +
                     sqlValue(e.after.encode()) + "')";
    }
    return lines;
}

int recordChanges(odbc::Connection& db, const QString& code, const QString& src,
                  const QHash<QString, RowSnapshot>& before,
                  const QHash<QString, RowSnapshot>& after) {
    std::vector<HistoryEntry> entries;
    QStringList bibs = after.keys();
    bibs.sort();
    for (const QString& zek : bibs) {
        HistoryEntry e;
        if (before.contains(zek) && describeChange(zek, src, before[zek], after[zek], e))
            entries.push_back(e);
    }
    if (!entries.empty()) {
        Query q(db, QStringLiteral("history"));
        q.setSql(historyInsert(code, entries));
        q.execSql();
    }
    return static_cast<int>(entries.size());
}

std::vector<HistoryEntry> readHistory(odbc::Connection& db, const QString& code,
                                      const QString& bib) {
    Query q(db, QStringLiteral("history"));
    q.setSql({"select id,at,host,zek,run,source,what,before_text,after_text,before_row,after_row",
              "from change_history where tcode = '" + sqlValue(code) + "'" +
                  (bib.isEmpty() ? QString() : " and zek = '" + sqlValue(bib) + "'"),
              "order by id desc"});
    q.open();
    std::vector<HistoryEntry> entries;
    entries.reserve(static_cast<size_t>(q.recordCount()));
    for (int r = 0; r < q.recordCount(); ++r) {
        HistoryEntry e;
        e.id = q.text(r, 0).toLongLong();
        e.at = QDateTime::fromString(q.text(r, 1).left(23), Qt::ISODateWithMs);
        e.host = q.text(r, 2);
        e.zek = q.text(r, 3);
        e.run = q.text(r, 4).toInt();
        e.source = q.text(r, 5);
        e.what = q.text(r, 6);
        e.beforeText = q.text(r, 7);
        e.afterText = q.text(r, 8);
        e.before = RowSnapshot::decode(q.text(r, 9));
        e.after = RowSnapshot::decode(q.text(r, 10));
        entries.push_back(e);
    }
    return entries;
}

QStringList restoreStatements(const QString& code, const QString& zek, const RowSnapshot& target) {
    // Only what the snapshot holds: an entry of an older version has no reset columns.
    QStringList set;
    for (const QString& c : RowSnapshot::resultColumns()) {
        if (!target.values.contains(c))
            continue;
        const bool nullable = c == u"DIFF" || c == u"POINT"; // empty: NULL, as a reset left it
        set << c + " = " +
                   (nullable && target.value(c).isEmpty() ? QStringLiteral("NULL")
                                                          : "'" + sqlValue(target.value(c)) + "'");
    }
    const QString where = "tcode = '" + sqlValue(code) + "' and zek = '" + sqlValue(zek) + "'";
    QStringList lines{"update result set " + set.join(u',') + " where " + where + ";"};
    const QString handTimes = QString::fromLatin1(kHandTimesKey);
    if (target.values.contains(handTimes)) {
        lines << "delete from handtm where " + where + ";";
        for (const QString& piece :
             target.value(handTimes).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QStringList runTime = piece.split(QLatin1Char('|'));
            lines << "insert into handtm (tcode,run,zek,htime) values ('" + sqlValue(code) + "','" +
                         sqlValue(runTime.value(0)) + "','" + sqlValue(zek) + "','" +
                         sqlValue(runTime.value(1)) + "');";
        }
    }
    // The mark of the impulse an assignment used, as the target had it.
    const QStringList impulse =
        target.value(QString::fromLatin1(kUnassignedKey)).split(QLatin1Char('|'));
    if (impulse.size() == 2 && !impulse[0].isEmpty()) {
        lines << "delete from pulse_unassigned where pulse_id = '" + sqlValue(impulse[0]) + "';";
        if (!impulse[1].isEmpty())
            lines << "insert into pulse_unassigned (pulse_id,tcode,reason) values ('" +
                         sqlValue(impulse[0]) + "','" + sqlValue(code) + "','" +
                         sqlValue(impulse[1].left(80)) + "');";
    }
    lines << "delete from run_status where " + where + ";";
    for (int run = 1; run <= 2; ++run) {
        const RunStatus s = target.status(run);
        if (s.isSet())
            lines << "insert into run_status (tcode,zek,run,code,gate,reason) values ('" +
                         sqlValue(code) + "','" + sqlValue(zek) + "','" + QString::number(run) +
                         "','" + sqlValue(s.code) + "','" + sqlValue(s.gate) + "','" +
                         sqlValue(s.reason) + "');";
    }
    lines.last().chop(1); // the batch's last statement ends it
    return lines;
}

ManualTimes readManualTimes(odbc::Connection& db, const QString& code,
                            const QHash<QString, RowSnapshot>& current) {
    Query q(db, QStringLiteral("manual"));
    q.setSql({"select zek,source,before_row,after_row from change_history",
              "where tcode = '" + sqlValue(code) + "' order by id"});
    q.open();
    // The value the latest change of each time left and its source, when made by hand.
    QHash<QString, QHash<QString, std::pair<QString, QString>>> byHand;
    static const QStringList times{"STTIME", "ALTIME", "STTIME2", "ALTIME2"};
    // Who first stored each value of a time: a reversion brings a value back with the kind it
    // had (a replacement stays a replacement, the timer's own time is not one set by hand).
    QHash<QString, QString> storedBy; // bib, time column and value -> source
    for (int r = 0; r < q.recordCount(); ++r) {
        const QString zek = q.text(r, 0);
        const RowSnapshot before = RowSnapshot::decode(q.text(r, 2));
        const RowSnapshot after = RowSnapshot::decode(q.text(r, 3));
        for (const QString& t : times) {
            if (before.value(t) == after.value(t))
                continue;
            const QString key = zek + u'|' + t + u'|';
            QString source = q.text(r, 1);
            if (source == QLatin1String(source::kRevert))
                source = storedBy.value(key + after.value(t)); // empty: the timer's
            else
                storedBy.insert(key + after.value(t), source);
            if (isManualSource(source))
                byHand[zek].insert(t, {after.value(t), source});
            else
                byHand[zek].remove(t);
        }
    }
    ManualTimes marks;
    for (auto it = byHand.cbegin(); it != byHand.cend(); ++it) {
        const RowSnapshot now = current.value(it.key());
        for (auto t = it->cbegin(); t != it->cend(); ++t)
            if (!t.value().first.isEmpty() && now.value(t.key()) == t.value().first)
                marks[it.key()].insert(t.key(), t.value().second);
    }
    return marks;
}

} // namespace pistel
