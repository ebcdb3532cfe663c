#include "StatusControl.h"

#include "RecordedChange.h"
#include "RunLists.h"
#include "data/AppState.h"
#include "data/OperatorDialog.h"
#include "data/Query.h"
#include "data/SqlValue.h"
#include "data/TDM1.h"
#include "results/Expected.h"
#include "results/Race.h"
#include "results/StatusChange.h"

namespace pistel {

const char* const kTimeForStatus =
    "ビブ %1 は%2本目が %3 ですが、時刻が入りました。%3 を取り消しますか？";

namespace {
const char kOfferDns[] = "スタート時刻のない次の選手を欠場(DNS)にしますか？\n";
const char kChangedDuringOffer[] =
    "質問の間に時刻か状態が変わったため、次の選手には状態を付けていません: %1";
const char kOfferDnf[] = "フィニッシュ時刻のない次の選手を途中棄権(DNF)にしますか？\n";
} // namespace

bool StatusControl::setStatus(const QString& bib, int run, const RunStatus& status) {
    if (status.isSet()) {
        const QHash<QString, RowSnapshot> rows =
            readSnapshots(run_.dm.Db1, run_.app.competitionCode, bib);
        if (!rows.contains(bib))
            return false;
        const QString why = statusContradiction(rows[bib], bib, run, status);
        if (!why.isEmpty() &&
            (!run_.confirm(why + (status.code == u"DNS"
                                      ? QStringLiteral("欠場(DNS)にしますか？")
                                      : QStringLiteral("途中棄権(DNF)にしますか？"))) ||
             !run_.unchangedSinceAsked(bib, rows[bib])))
            return false;
    }
    if (!changeStatus(run_.dm.Db1, run_.app.competitionCode, bib, run, status))
        return false;
    // Counted once written (see the corrections).
    run_.noteOperatorChange();
    run_.rereadStatuses();
    boxesFollowStatus(bib, run);
    // A run-1 status decides who starts run 2.
    if (run == 1 && run_.page2.startList.isOpen()) {
        const QString s = run_.page2.startBox();
        run_.page2.startList.reread();
        RunLists::position(run_.page2.startList, s);
    }
    emit run_.statusesChanged();
    return true;
}

void StatusControl::boxesFollowStatus(const QString& bib, int run) {
    if (run_.app.currentRun != QString::number(run))
        return;
    RunPage& p = run_.currentPage();
    const RunColumns c = RunColumns::of(run);
    const QString startBox = p.startBox();
    const std::optional<RunRow> row = rows_.read(c, bib);
    if (!row)
        return;
    const bool expectedNow = RunRows::isExpected(c, *row);
    const QString order = row->order, cls = row->cls;
    if (!expectedNow && startBox == bib) {
        // The start referee's report: the box never waits for a non-starter.
        if (!boxes_.advanceStart(p, c, order, cls))
            p.setStartBox({});
    } else if (expectedNow && row->start.isEmpty()) {
        // Back in the start order: the box goes back to them when it has passed them.
        const std::optional<RunRow> boxRow =
            startBox.isEmpty() ? std::nullopt : rows_.read(c, startBox);
        if (startBox.isEmpty() ||
            (boxRow && boxRow->cls == cls && boxRow->order.toInt() > order.toInt()))
            RunBoxes::startBoxTo(p, bib);
    }
    // The finish box follows when it left a competitor or waited on the next to start.
    const QString finishBox = p.finishBox();
    const auto waitingToStart = [&] {
        const std::optional<RunRow> boxRow = rows_.read(c, finishBox);
        return boxRow && boxRow->start.isEmpty();
    };
    if ((!expectedNow && finishBox == bib) || finishBox.isEmpty() || waitingToStart())
        boxes_.advanceFinish(p, c, cls, expectedNow ? QString() : bib);
}

StatusControl::EndOfRun StatusControl::endOfRunCandidates(int run, int cls) {
    const RunColumns c = RunColumns::of(run);
    run_.rereadStatuses();
    Query& q = run_.dm.Qedit;
    // Those who may start the run at all: run 2 is for run-1 finishers without a status.
    q.setSql({"select zek," + c.start + "," + c.finish + " from result where tcode = '" +
                  run_.code() + "'",
              "and class1 = '" + QString::number(cls) + "'" +
                  expected::inRunCondition(run, run_.app.competitionCode),
              "order by " + c.order + ",zek"});
    q.open();
    EndOfRun offer;
    for (int r = 0; r < q.recordCount(); ++r) {
        const QString zek = q.text(r, 0);
        if (run_.statuses(run).contains(zek))
            continue;
        if (q.text(r, 1).isEmpty() && q.text(r, 2).isEmpty())
            offer.dns << zek;
        else if (!q.text(r, 1).isEmpty() && q.text(r, 2).isEmpty())
            offer.dnf << zek;
    }
    q.close();
    return offer;
}

void StatusControl::setStatuses(const QStringList& bibs, int run, const QString& statusCode) {
    for (const QString& bib : bibs) {
        changeStatus(run_.dm.Db1, run_.app.competitionCode, bib, run, {statusCode, {}, {}});
        run_.noteOperatorChange();
    }
    run_.rereadStatuses();
    for (const QString& bib : bibs)
        boxesFollowStatus(bib, run);
    if (run == 1 && run_.page2.startList.isOpen())
        run_.page2.startList.reread();
    emit run_.statusesChanged();
}

int StatusControl::offerEndOfRun(int run) {
    Race race;
    if (!readRace(run_.dm.Db1, run_.app.competitionCode, race))
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
            if (candidates.isEmpty() || !run_.confirm(head + QString::fromUtf8(question) +
                                                      candidates.join(QStringLiteral("、"))))
                return;
            const QStringList still = endOfRunCandidates(run, cls).*list;
            QStringList confirmed, changed;
            for (const QString& bib : candidates)
                (still.contains(bib) ? confirmed : changed) << bib;
            setStatuses(confirmed, run, QString::fromLatin1(code));
            stored += static_cast<int>(confirmed.size());
            if (!changed.isEmpty())
                run_.tell(
                    QString::fromUtf8(kChangedDuringOffer).arg(changed.join(QStringLiteral("、"))));
        };
        offerOne(&EndOfRun::dns, kOfferDns, "DNS");
        offerOne(&EndOfRun::dnf, kOfferDnf, "DNF");
    }
    if (!offered)
        run_.tell(
            QStringLiteral("%1本目: 欠場(DNS)・途中棄権(DNF)にする選手はいません。").arg(run));
    return stored;
}

void StatusControl::askAboutStatus(const QString& bib, int run, bool start) {
    const RunStatus s = run_.statuses(run).value(bib);
    if (s.code != (start ? u"DNS" : u"DNF") || !run_.dialog)
        return;
    if (run_.confirm(QString::fromUtf8(kTimeForStatus).arg(bib, QString::number(run), s.code)))
        setStatus(bib, run, {});
}

} // namespace pistel
