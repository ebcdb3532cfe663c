// Run statuses set from the run window, and changes taken back from the history.
#include "BackupData.h"
#include "HistoryRevert.h"
#include "RecordedChange.h"
#include "ReplacementTimes.h"
#include "RunControl.h"
#include "data/AppState.h"
#include "data/OperatorDialog.h"
#include "data/Query.h"
#include "data/SqlValue.h"
#include "data/TDM1.h"
#include "data/Transaction.h"
#include "results/Expected.h"
#include "results/Race.h"
#include "results/StatusChange.h"

#include <stdexcept>

namespace pistel {

const char* const kTimeForStatus =
    "ビブ %1 は%2本目が %3 ですが、時刻が入りました。%3 を取り消しますか？";

namespace {
const char kOfferDns[] = "スタート時刻のない次の選手を欠場(DNS)にしますか？\n";
const char kChangedDuringOffer[] =
    "質問の間に時刻か状態が変わったため、次の選手には状態を付けていません: %1";
const char kOfferDnf[] = "フィニッシュ時刻のない次の選手を途中棄権(DNF)にしますか？\n";
} // namespace

void RunControl::rereadStatuses() {
    Query& q = dm.Qedit;
    openWith(q, {"select zek,run,code,gate,reason from run_status where tcode = '" + code() + "'"});
    statuses_[0].clear();
    statuses_[1].clear();
    for (int r = 0; r < q.recordCount(); ++r) {
        const int run = q.text(r, 1).toInt();
        if (run == 1 || run == 2)
            statuses_[run - 1].insert(q.text(r, 0), {q.text(r, 2), q.text(r, 3), q.text(r, 4)});
    }
    q.close();
}

void RunControl::rereadMarks() {
    ManualTimes marks =
        readManualTimes(dm.Db1, app.competitionCode, readSnapshots(dm.Db1, app.competitionCode));
    if (marks == manualTimes_)
        return;
    manualTimes_ = std::move(marks);
    emit statusesChanged();
}

bool RunControl::manualRunTime(const QString& bib, int run) const {
    const QHash<QString, QString> m = manualTimes_.value(bib);
    const bool first = m.contains(QStringLiteral("STTIME")) || m.contains(QStringLiteral("ALTIME"));
    const bool second =
        m.contains(QStringLiteral("STTIME2")) || m.contains(QStringLiteral("ALTIME2"));
    return run == 1 ? first : run == 2 ? second : first || second;
}

bool RunControl::setStatus(const QString& bib, int run, const RunStatus& status) {
    if (status.isSet()) {
        const QHash<QString, RowSnapshot> rows = readSnapshots(dm.Db1, app.competitionCode, bib);
        if (!rows.contains(bib))
            return false;
        const QString why = statusContradiction(rows[bib], bib, run, status);
        if (!why.isEmpty() &&
            (!confirm(why + (status.code == u"DNS"
                                 ? QStringLiteral("欠場(DNS)にしますか？")
                                 : QStringLiteral("途中棄権(DNF)にしますか？"))) ||
             !unchangedSinceAsked(bib, rows[bib])))
            return false;
    }
    noteOperatorChange();
    if (!changeStatus(dm.Db1, app.competitionCode, bib, run, status))
        return false;
    rereadStatuses();
    boxesFollowStatus(bib, run);
    // A run-1 status decides who starts run 2.
    if (run == 1 && page2.startList.isOpen()) {
        const QString s = page2.startBox();
        page2.startList.reread();
        position(page2.startList, s);
    }
    emit statusesChanged();
    return true;
}

void RunControl::boxesFollowStatus(const QString& bib, int run) {
    if (app.currentRun != QString::number(run))
        return;
    RunPage& p = currentPage();
    const RunColumns c = columnsOf(run);
    const QString startBox = p.startBox();
    const std::optional<RunRow> row = readRunRow(c, bib);
    if (!row)
        return;
    const bool expectedNow = rowExpected(c, *row);
    const QString order = row->order, cls = row->cls;
    if (!expectedNow && startBox == bib) {
        // The start referee's report: the box never waits for a non-starter.
        if (!advanceStart(p, c, order, cls))
            p.setStartBox({});
    } else if (expectedNow && row->start.isEmpty()) {
        // Back in the start order: the box goes back to them when it has passed them.
        const std::optional<RunRow> boxRow =
            startBox.isEmpty() ? std::nullopt : readRunRow(c, startBox);
        if (startBox.isEmpty() ||
            (boxRow && boxRow->cls == cls && boxRow->order.toInt() > order.toInt()))
            advanceStartBox(p, bib);
    }
    // The finish box follows when it left a competitor or waited on the next to start.
    const QString finishBox = p.finishBox();
    const auto waitingToStart = [&] {
        const std::optional<RunRow> boxRow = readRunRow(c, finishBox);
        return boxRow && boxRow->start.isEmpty();
    };
    if ((!expectedNow && finishBox == bib) || finishBox.isEmpty() || waitingToStart())
        advanceFinish(p, c, cls, expectedNow ? QString() : bib);
}

RunControl::EndOfRun RunControl::endOfRunCandidates(int run, int cls) {
    const RunColumns c = columnsOf(run);
    rereadStatuses();
    Query& q = dm.Qedit;
    // Those who may start the run at all: run 2 is for run-1 finishers without a status.
    openWith(q, {"select zek," + c.start + "," + c.finish + " from result where tcode = '" +
                     code() + "'",
                 "and class1 = '" + QString::number(cls) + "'" +
                     expected::inRunCondition(run, app.competitionCode),
                 "order by " + c.order + ",zek"});
    EndOfRun offer;
    for (int r = 0; r < q.recordCount(); ++r) {
        const QString zek = q.text(r, 0);
        if (statuses_[run - 1].contains(zek))
            continue;
        if (q.text(r, 1).isEmpty() && q.text(r, 2).isEmpty())
            offer.dns << zek;
        else if (!q.text(r, 1).isEmpty() && q.text(r, 2).isEmpty())
            offer.dnf << zek;
    }
    q.close();
    return offer;
}

void RunControl::setStatuses(const QStringList& bibs, int run, const QString& statusCode) {
    noteOperatorChange();
    for (const QString& bib : bibs)
        changeStatus(dm.Db1, app.competitionCode, bib, run, {statusCode, {}, {}});
    rereadStatuses();
    for (const QString& bib : bibs)
        boxesFollowStatus(bib, run);
    if (run == 1 && page2.startList.isOpen())
        page2.startList.reread();
    emit statusesChanged();
}

int RunControl::offerEndOfRun(int run) {
    Race race;
    if (!readRace(dm.Db1, app.competitionCode, race))
        return 0;
    int stored = 0;
    bool offered = false;
    for (int cls : race.classes()) {
        const QString head = QStringLiteral("%1本目　%2\n").arg(run).arg(race.className(cls));
        // Lines are captured while the operator reads the offer: what is stored is decided on
        // the candidates as they stand after the answer; who got a time meanwhile is left out
        // and named.
        auto offerOne = [&](QStringList EndOfRun::*list, const char* question, const char* code) {
            const QStringList candidates = endOfRunCandidates(run, cls).*list;
            offered = offered || !candidates.isEmpty();
            if (candidates.isEmpty() || !confirm(head + QString::fromUtf8(question) +
                                                 candidates.join(QStringLiteral("、"))))
                return;
            const QStringList still = endOfRunCandidates(run, cls).*list;
            QStringList confirmed, changed;
            for (const QString& bib : candidates)
                (still.contains(bib) ? confirmed : changed) << bib;
            setStatuses(confirmed, run, QString::fromLatin1(code));
            stored += static_cast<int>(confirmed.size());
            if (!changed.isEmpty())
                tell(
                    QString::fromUtf8(kChangedDuringOffer).arg(changed.join(QStringLiteral("、"))));
        };
        offerOne(&EndOfRun::dns, kOfferDns, "DNS");
        offerOne(&EndOfRun::dnf, kOfferDnf, "DNF");
    }
    if (!offered)
        tell(QStringLiteral("%1本目: 欠場(DNS)・途中棄権(DNF)にする選手はいません。").arg(run));
    return stored;
}

bool RunControl::applyReplacement(const QString& bib, int run, bool start, const QString& time) {
    noteOperatorChange();
    const ReplacementOutcome outcome =
        storeReplacementTime(dm.Db1, app.competitionCode, bib, run, start, time);
    if (outcome != ReplacementOutcome::Stored)
        return outcome == ReplacementOutcome::AlreadySo;
    rereadMarks();
    rereadUnassigned(); // a finish without its start, or the start that was missing
    if (!app.currentRun.isEmpty())
        rereadCurrentPage();
    // A status the time contradicts (DNS with a start, DNF with a finish) is asked about.
    const QString contradicted = start ? QStringLiteral("DNS") : QStringLiteral("DNF");
    if (statuses_[run - 1].value(bib).code == contradicted)
        emit timeForStatus(bib, run, contradicted);
    return true;
}

void RunControl::askAboutStatus(const QString& bib, int run, bool start) {
    const RunStatus s = statuses_[run - 1].value(bib);
    if (s.code != (start ? u"DNS" : u"DNF") || !dialog)
        return;
    if (confirm(QString::fromUtf8(kTimeForStatus).arg(bib, QString::number(run), s.code)))
        setStatus(bib, run, {});
}

bool RunControl::revertChange(long long id) {
    const HistoryRevert::Outcome outcome =
        HistoryRevert(dm.Db1, app.competitionCode, dialog).revert(id);
    if (!outcome.reverted)
        return false;
    // Counted once written: lines that waited for the database are not captured around it.
    noteOperatorChange();
    if (!outcome.bib.isEmpty()) {
        keptFinishes_.remove(keptKey(1, outcome.bib));
        keptFinishes_.remove(keptKey(2, outcome.bib));
        rereadStatuses();
        rereadCurrentPage();
        rereadUnassigned();
        rereadMarks();
    }
    emit statusesChanged();
    return true;
}

} // namespace pistel
