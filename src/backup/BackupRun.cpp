#include "BackupRun.h"

#include "data/Query.h"
#include "data/SqlValue.h"
#include "data/TimeText.h"
#include "data/Transaction.h"
#include "results/ChangeHistory.h"

#include <algorithm>

namespace pistel {

namespace {
std::optional<TimeUnits> unitsOf(const QString& stored) {
    if (stored.trimmed().isEmpty())
        return std::nullopt;
    return timeOfDayUnits(stored);
}
} // namespace

QString channelName(Channel channel) {
    return channel == Channel::Start ? QStringLiteral("start") : QStringLiteral("finish");
}

std::optional<Channel> channelNamed(const QString& name) {
    if (name == u"start")
        return Channel::Start;
    if (name == u"finish")
        return Channel::Finish;
    return std::nullopt;
}

BackupRun BackupRun::read(odbc::Connection& db, const QString& code, int run) {
    BackupRun b;
    b.run_ = run;
    const QString n = run == 1 ? QString() : QStringLiteral("2");
    const QString where = "tcode = '" + sqlValue(code) + "'";
    Query q(db, QStringLiteral("backup"));
    q.setSql({"select zek,dropm,sttime" + n + ",altime" + n + ",name,",
              "(select code from run_status s where s.tcode = result.tcode and s.zek = "
              "result.zek and s.run = " +
                  QString::number(run) + ") as status",
              "from result where " + where,
              "order by class1 desc, st" + QString::number(run) + ", zek"});
    q.open();
    const ManualTimes marks = readManualTimes(db, code, readSnapshots(db, code));
    for (int r = 0; r < q.recordCount(); ++r) {
        BackupCompetitor c;
        c.zek = q.text(r, 0);
        c.forerunner = q.text(r, 1) == u"9";
        c.name = q.text(r, 4);
        c.status = q.text(r, 5);
        for (int ch = 0; ch < 2; ++ch) {
            const QString column =
                (ch == 0 ? QStringLiteral("STTIME") : QStringLiteral("ALTIME")) + n;
            const std::optional<TimeUnits> t = unitsOf(q.text(r, 2 + ch));
            if (marks.value(c.zek).value(column) == QLatin1String(source::kReplacement))
                c.replaced[ch] = t;
            else
                c.a[ch] = t;
        }
        b.competitors_.push_back(c);
    }

    q.setSql({"select channel,line,bib,htime from hand_time where " + where + " and run = '" +
                  QString::number(run) + "'",
              "order by id"});
    q.open();
    for (int r = 0; r < q.recordCount(); ++r) {
        const std::optional<Channel> c = channelNamed(q.text(r, 0));
        if (c)
            b.hand_[index(*c)].push_back(
                {q.text(r, 1).toInt(), q.text(r, 2), timeOfDayUnits(q.text(r, 3))});
    }

    // The second timer's impulses of this run: a line taken back ("c"/"d") removes the one it
    // repeats; a line naming a competitor keeps the bib.
    QHash<QString, size_t> known;
    for (size_t i = 0; i < b.competitors_.size(); ++i)
        known.insert(b.competitors_[i].zek, i);
    q.setSql({"select id,tstat,bib,stat,dtime,run from backup_impulse where " + where +
                  " and stat in ('C0','C1')",
              "order by id"});
    q.open();
    for (int r = 0; r < q.recordCount(); ++r) {
        const QString tstat = q.text(r, 1), bib = q.text(r, 2);
        auto& list = b.b_[q.text(r, 3) == u"C0" ? 0 : 1];
        const TimeUnits t = timeOfDayUnits(q.text(r, 4));
        if ((tstat == u"c" || tstat == u"d") && q.text(r, 5).toInt() == run) {
            std::erase_if(list, [t](const HandTime& h) { return h.time == t; });
            continue;
        }
        // A line is of the run being timed when it arrived; one that arrived with no run
        // selected waits for the operator to say which run it is of.
        const int lineRun = q.text(r, 5).toInt();
        if (lineRun == 0 && tstat != u"c" && tstat != u"d")
            ++b.withoutRun_;
        if (tstat == u"m" || tstat == u"C" || lineRun != run)
            continue;
        const bool named = (tstat == u" " || tstat == u"i") && known.contains(bib);
        list.push_back({q.text(r, 0).toInt(), named ? bib : QString(), t});
    }
    return b;
}

std::vector<MatchCompetitor> BackupRun::matchInput(Channel c) const {
    std::vector<MatchCompetitor> input;
    // A DNS has no time anywhere, a DNF none at the finish: they leave no gap to fill.
    for (const BackupCompetitor& k : competitors_)
        input.push_back({k.zek, k.a[index(c)],
                         k.status != u"DNS" && (c == Channel::Start || k.status != u"DNF")});
    return input;
}

MatchResult BackupRun::match(Channel c, const std::vector<HandTime>& times,
                             TimeUnits tolerance) const {
    return matchHandTimes(times, matchInput(c), tolerance);
}

QHash<QString, TimeUnits> BackupRun::backupTimes(Channel c, const std::vector<HandTime>& times,
                                                 TimeUnits tolerance) const {
    QHash<QString, TimeUnits> found;
    for (const MatchRow& row : match(c, times, tolerance).rows)
        if (!row.bib.isEmpty())
            found.insert(row.bib, row.hand.time);
    return found;
}

std::vector<size_t> BackupRun::sequence(TimeUnits tolerance) const {
    const QHash<QString, TimeUnits> startB = backupTimes(Channel::Start, b_[0], tolerance);
    const QHash<QString, TimeUnits> startHand = backupTimes(Channel::Start, hand_[0], tolerance);
    const QHash<QString, TimeUnits> finishB = backupTimes(Channel::Finish, b_[1], tolerance);
    const QHash<QString, TimeUnits> finishHand = backupTimes(Channel::Finish, hand_[1], tolerance);
    std::vector<std::pair<TimeUnits, size_t>> timed;
    std::vector<size_t> untimed; // started, but no start time anywhere
    for (size_t i = 0; i < competitors_.size(); ++i) {
        const BackupCompetitor& k = competitors_[i];
        const std::optional<TimeUnits> t = k.a[0]                   ? k.a[0]
                                           : startB.contains(k.zek) ? std::optional(startB[k.zek])
                                           : startHand.contains(k.zek)
                                               ? std::optional(startHand[k.zek])
                                               : k.replaced[0];
        if (t)
            timed.push_back({*t, i});
        else if (k.a[1] || k.replaced[1] || finishB.contains(k.zek) || finishHand.contains(k.zek) ||
                 k.status == u"DNF" || k.status == u"DSQ")
            untimed.push_back(i);
    }
    std::stable_sort(timed.begin(), timed.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<size_t> order;
    for (const auto& t : timed)
        order.push_back(t.second);
    // Each competitor without a start time goes right after the one before them in the start
    // order (competitors_ is in start order), or first when nobody before them started.
    for (size_t i : untimed) {
        auto at = order.begin();
        for (size_t before = i; before-- > 0;) {
            const auto found = std::find(order.begin(), order.end(), before);
            if (found != order.end()) {
                at = found + 1;
                break;
            }
        }
        order.insert(at, i);
    }
    return order;
}

QString BackupRun::refusal(Channel c, const std::vector<HandTime>& sheet,
                           TimeUnits tolerance) const {
    if (sheet.empty())
        return {};
    return match(c, sheet, tolerance).refused;
}

bool BackupRun::alreadyReplaced(const Proposal& p) const {
    return std::ranges::any_of(competitors_, [&](const BackupCompetitor& k) {
        return k.zek == p.replacement.zek && k.replaced[index(p.channel)].has_value();
    });
}

std::vector<Proposal> BackupRun::propose(Channel c, TimeUnits tolerance) const {
    const size_t ch = index(c);
    const std::vector<size_t> seq = sequence(tolerance);
    const QHash<QString, TimeUnits> sources[2] = {backupTimes(c, b_[ch], tolerance),
                                                  backupTimes(c, hand_[ch], tolerance)};
    std::vector<Proposal> proposals;
    for (size_t pos = 0; pos < seq.size(); ++pos) {
        const BackupCompetitor& k = competitors_[seq[pos]];
        if (k.a[ch] || k.forerunner)
            continue;
        // System B first; hand times only where A and B both missed.
        for (int s = 0; s < 2; ++s) {
            if (!sources[s].contains(k.zek))
                continue;
            std::vector<RuleEntry> entries;
            for (size_t i : seq) {
                const BackupCompetitor& e = competitors_[i];
                entries.push_back(
                    {e.zek, e.a[ch],
                     sources[s].contains(e.zek) ? std::optional(sources[s][e.zek]) : std::nullopt,
                     e.forerunner});
            }
            if (const auto r = replacementFor(entries, pos)) {
                // The other end of the run: its A time, or a replacement that stands.
                const size_t other = 1 - ch;
                const std::optional<TimeUnits> end = k.a[other] ? k.a[other] : k.replaced[other];
                std::optional<TimeUnits> runTime;
                if (end)
                    runTime = c == Channel::Start ? dayDifference(*end, r->time)
                                                  : dayDifference(r->time, *end);
                proposals.push_back({c, s == 0 ? QStringLiteral("B") : QStringLiteral("hand"), *r,
                                     k.name, runTime});
                break;
            }
        }
    }
    return proposals;
}

int giveSecondTimerLinesARun(odbc::Connection& db, const QString& code, int run) {
    Query q(db, QStringLiteral("backup run"));
    q.setSql({"update backup_impulse set run = '" + QString::number(run) + "' where tcode = '" +
              sqlValue(code) + "' and run = 0"});
    return static_cast<int>(q.execSql());
}

void storeHandTimes(odbc::Connection& db, const QString& code, int run, Channel c,
                    const std::vector<HandTime>& times) {
    const QString sheet = "tcode = '" + sqlValue(code) + "' and run = '" + QString::number(run) +
                          "' and channel = '" + channelName(c) + "'";
    QStringList batch{"delete from hand_time where " + sheet + ";"};
    if (!times.empty()) {
        QStringList values;
        for (const HandTime& h : times)
            values << "('" + sqlValue(code) + "','" + QString::number(run) + "','" +
                          channelName(c) + "','" + QString::number(h.line) + "','" +
                          sqlValue(h.bib) + "','" + timeOfDayText(h.time) + "')";
        batch << "insert into hand_time (tcode,run,channel,line,bib,htime) values " +
                     values.join(QLatin1Char(',')) + ";";
    }
    batch << QStringLiteral("commit");
    Transaction transaction(db);
    Query q(db, QStringLiteral("hand times"));
    q.setSql(batch);
    q.execSql();
    transaction.committedByBatch();
}

} // namespace pistel
