// Start and finish capture in automatic mode: the competitor in the box gets the time of
// day of the impulse, and the box advances to the competitor expected next, class by class.
#include "RecordedChange.h"
#include "RunControl.h"
#include "TimerLine.h"
#include "data/AppState.h"
#include "data/SqlValue.h"
#include "data/TDM1.h"
#include "data/TimeText.h"
#include "results/Expected.h"

#include <utility>

namespace pistel {
namespace {
const QString kBlank = QStringLiteral(" ");
const QString kM = QStringLiteral("m");

CaptureResult notAssigned(const char* why, const QString& bib = {}) {
    const QString reason = QString::fromUtf8(why);
    return {true, reason.contains(QLatin1String("%1")) ? reason.arg(bib) : reason};
}
} // namespace

RunControl::RunColumns RunControl::columnsOf(int run) {
    if (run == 1)
        return {1,
                QString(),
                QStringLiteral("sttime"),
                QStringLiteral("altime"),
                QStringLiteral("st1"),
                QStringLiteral("FL")};
    return {2,
            QStringLiteral("2"),
            QStringLiteral("sttime2"),
            QStringLiteral("altime2"),
            QStringLiteral("st2"),
            QStringLiteral("FL2")};
}

void RunControl::deferWrites(QStringList* batch) {
    deferred_ = batch;
}

void RunControl::discardAfterWrites() {
    afterWrites_.clear();
}

void RunControl::runAfterWrites() {
    const auto work = std::exchange(afterWrites_, {});
    for (const auto& f : work)
        f();
}

void RunControl::writeOrDefer(const QStringList& statement) {
    if (deferred_)
        *deferred_ << statement.join(QLatin1Char('\n')) + QLatin1Char(';');
    else
        execWith(dm.Qtemp, statement);
}

void RunControl::afterWrites(std::function<void()> work) {
    if (deferred_)
        afterWrites_.push_back(std::move(work));
    else
        work();
}

CaptureResult RunControl::captureLine(const TimerLine& line) {
    if (line.takesBack()) {
        takeBack(line);
        return {};
    }
    if (line.isCleared())
        return {}; // cleared at the device: logged only
    if (line.isEdited())
        return captureEdited(line);
    if (line.isStart())
        return captureStart(line);
    if (line.isFinish())
        return captureFinish(line);
    return {};
}

bool RunControl::rowExpected(const RunColumns& c, const RunRow& row) {
    return expected::inRun(c.run, row.dropm, row.flag1, row.status[0], row.status[c.run - 1]);
}

const char* RunControl::notExpectedReason(const RunColumns& c, const RunRow& row) {
    if (row.dropm == u"9")
        return "ビブ %1 は前走・除外の選手です（記録のみ）";
    if (row.status[c.run - 1])
        return c.run == 1 ? "ビブ %1 には１本目の状態（DNS・DNF・DSQ）があります"
                          : "ビブ %1 には２本目の状態（DNS・DNF・DSQ）があります";
    if (row.flag1 != u"F")
        return "ビブ %1 は１本目を完走していません";
    return "ビブ %1 は１本目が欠場・途中棄権・失格です";
}

bool RunControl::finishStands(const RunColumns& c, const RunRow& row, const QString& bib,
                              bool named) const {
    if (row.finish.isEmpty())
        return false;
    // The timer's result comes from the latest finish it has not taken back: a finish kept
    // after its start was taken back gives way to the next finish line of the bib, one older
    // than the start to any.
    if (named && keptFinishes_.contains(keptKey(c.run, bib)))
        return false;
    return row.start.isEmpty() || finishFollows(row.start, row.finish);
}

RunControl::Stored RunControl::storeTime(const RunColumns& c, const RunRow& row, bool start,
                                         const QString& bib, const QString& time) {
    const QString s = start ? time : row.start;
    QString f = start ? row.finish : time;
    // A finish kept after its start was taken back pairs only with a start entered on the
    // timer (an edited start); a restart's start line waits for the restart's finish, and a
    // start after any finish never pairs with it (no run time, never a wrapped one).
    const bool restart = keptFinishes_.contains(keptKey(c.run, bib)) &&
                         historySource_ != QLatin1String(source::kEdited);
    if (start && !f.isEmpty() && (restart || !finishFollows(s, f)))
        f.clear();
    if (!start)
        keptFinishes_.remove(keptKey(c.run, bib));
    const QString other = c.run == 1 ? row.time2 : row.time1;
    const RunTimeState state = runTimeState(c.run, s, f, other);
    // A time that is not a valid timer line's own (one entered on the timer) goes into the
    // history, in the same batch as the time.
    const QString timeColumn = start ? c.start : c.finish;
    RowSnapshot before;
    if (!historySource_.isEmpty())
        before = readSnapshots(dm.Db1, app.competitionCode, bib).value(bib);
    writeOrDefer({"update result set " + timeColumn + " = '" + sqlValue(time) + "'",
                  "," + runTimeSet(c.run, state),
                  "where tcode = '" + code() + "' and zek = '" + sqlValue(bib) + "'"});
    HistoryEntry entry;
    if (!historySource_.isEmpty() &&
        describeChange(
            bib, historySource_, before,
            rowAfterStore(before, c.run, timeColumn, time, state.runTime, state.total, state.state),
            entry)) {
        writeOrDefer(historyInsert(app.competitionCode, {entry}));
        afterWrites([this] { rereadMarks(); });
    }
    // A status the time contradicts (DNS with a start, DNF with a finish) is asked about.
    const QString contradicted = start ? QStringLiteral("DNS") : QStringLiteral("DNF");
    if (statuses_[c.run - 1].value(bib).code == contradicted)
        afterWrites(
            [this, bib, run = c.run, contradicted] { emit timeForStatus(bib, run, contradicted); });
    // The row as written, for the lists.
    Stored stored{!s.isEmpty() && !f.isEmpty(), row.values};
    stored.row.insert((start ? c.start : c.finish).toUpper(), time);
    stored.row.insert(QStringLiteral("TTIME") + c.n, state.runTime);
    stored.row.insert(QStringLiteral("TOTALTIME"), state.total);
    stored.row.insert(c.flag.toUpper(), state.state);
    // A finish without its start is shown until the start comes.
    if ((!start && s.isEmpty()) || (start && missingStarts_.contains(bib)))
        afterWrites([this] { rereadUnassigned(); });
    return stored;
}

RunControl::Stored RunControl::replaceFinish(const RunColumns& c, const RunRow& row,
                                             const QString& bib, const QString& time) {
    // The finish that gives way (one before the start, or one kept from a taken-back start)
    // was an impulse of its own: it becomes unassigned, with the reason, and the change goes
    // into the history, so that nothing the timer sent disappears without a trace.
    const QString old = row.finish;
    const QString reason = QStringLiteral("ビブ %1 の後のフィニッシュ %2 に置き換えられました")
                               .arg(bib, time.left(11));
    writeOrDefer(
        {"insert into pulse_unassigned (pulse_id,tcode,reason)",
         "select id,tcode,'" + sqlValue(reason) + "' from pulsedata where tcode = '" + code() + "'",
         "and stat = 'C1' and dtime = '" + sqlValue(old) + "'",
         "and not exists (select 1 from pulse_unassigned u where u.pulse_id = "
         "pulsedata.id)",
         "order by id desc limit 1"});
    const QString previous = historySource_; // a time entered on the timer stays "edited"
    if (previous.isEmpty())
        historySource_ = QString::fromLatin1(source::kFinishReplaced);
    const Stored stored = storeTime(c, row, false, bib, time);
    historySource_ = previous;
    afterWrites([this] { rereadUnassigned(); });
    return stored;
}

CaptureResult RunControl::captureStart(const TimerLine& line) {
    RunPage& p = currentPage();
    const RunColumns c = columnsOf(p.run());
    const QString before = p.startBox();
    // A line that names its competitor puts the box on them; a bib that is not in the
    // competition (a typo on the timer's keypad) leaves the box where it was.
    const bool named = line.tstat == kBlank;
    auto refuse = [&](const char* why, const QString& bib) {
        if (named)
            advanceStartBox(p, before);
        return notAssigned(why, bib);
    };
    if (named)
        advanceStartBox(p, line.bib);
    if (p.startMode() != RunPage::Auto)
        return {}; // manual: the operator assigns from the impulse list
    QString b = p.startBox();
    if (b.isEmpty())
        return notAssigned("スタートの枠に選手がいません");
    NextStarter next;
    std::optional<RunRow> row = readRunRowAndNextStarter(c, b, next);
    if (!row)
        return refuse("ビブ %1 はこの大会に登録されていません", b);
    // A start is given only to a competitor the run expects: never to a forerunner, nor to
    // one with a status in the run (a DNS reported before the start).
    if (named && !rowExpected(c, *row))
        return refuse(notExpectedReason(c, *row), b);
    if (!rowExpected(c, *row) || !row->start.isEmpty()) {
        if (named)
            return notAssigned("ビブ %1 には既にスタート時刻があります", b);
        // Never a silent skip: the box moves on to whoever waits to start, as after a start.
        if (!advanceStart(p, c, row->order, row->cls))
            return notAssigned("スタートを待つ選手がいません");
        b = p.startBox();
        row = readRunRowAndNextStarter(c, b, next);
        if (!row || !rowExpected(c, *row) || !row->start.isEmpty())
            return notAssigned("スタートを待つ選手がいません");
    }
    const QString k = row->cls;
    const Stored stored = storeTime(c, *row, true, b, line.dtime);
    // Only b changed: once written, the lists take b's row instead of being read whole.
    afterWrites([this, &p, b, timed = stored.timed, run = c.run, k, written = stored.row] {
        refreshRowOf(p, written, false);
        if (timed)
            showRunTime(b, run, k, &written);
    });
    startNext(p, c, next); // read with b's row: b's own start changes nobody else's
    return {};
}

CaptureResult RunControl::captureFinish(const TimerLine& line) {
    if (line.tstat == kM)
        return {}; // the device marks this finish impulse as not to be assigned
    RunPage& p = currentPage();
    const RunColumns c = columnsOf(p.run());
    const QString before = p.finishBox();
    const bool named = line.tstat == kBlank;
    auto refuse = [&](const char* why, const QString& bib) {
        if (named) {
            p.setFinishBox(before);
            if (p.finishList.isOpen())
                position(p.finishList, before);
        }
        return notAssigned(why, bib);
    };
    if (named) {
        p.setFinishBox(line.bib);
        if (p.finishList.isOpen())
            position(p.finishList, line.bib);
    }
    if (p.finishMode() != RunPage::Auto)
        return {};
    QString b = p.finishBox();
    if (b.isEmpty())
        return notAssigned("フィニッシュの枠に選手がいません");
    QString next;
    std::optional<RunRow> row = readRunRowAndNextFinisher(p, c, b, next);
    if (!row)
        return refuse("ビブ %1 はこの大会に登録されていません", b);
    // Nor a finish: the finish of a forerunner or of a competitor with a status is logged.
    if (named && !rowExpected(c, *row))
        return refuse(notExpectedReason(c, *row), b);
    if (!rowExpected(c, *row) || finishStands(c, *row, b, named)) {
        if (named)
            return notAssigned("ビブ %1 には既にフィニッシュ時刻があります", b);
        advanceFinish(p, c, row->cls, {});
        b = p.finishBox();
        row = b.isEmpty() ? std::nullopt : readRunRowAndNextFinisher(p, c, b, next);
        if (!row || !rowExpected(c, *row) || finishStands(c, *row, b, false))
            return notAssigned("フィニッシュを待つ選手がいません");
    }
    const QString k = row->cls;
    const QString order = row->order;
    const bool withoutStart = row->start.isEmpty();
    const Stored stored = !row->finish.isEmpty() ? replaceFinish(c, *row, b, line.dtime)
                                                 : storeTime(c, *row, false, b, line.dtime);
    // The timer names a finisher whose start it missed: they ran, and will not start again.
    const bool startBoxMoves = named && withoutStart && p.startBox() == b;
    if (startBoxMoves)
        advanceStart(p, c, order, k);
    afterWrites([this, &p, b, run = c.run, k, written = stored.row] {
        refreshRowOf(p, written, true);
        showRunTime(b, run, k, &written);
    });
    // b may not be written yet: it is not who finishes next. Who is was read with b's row,
    // unless the start box has moved since (a search depends on it).
    if (startBoxMoves)
        advanceFinish(p, c, k, b);
    else if (!next.isEmpty())
        p.setFinishBox(next);
    return {};
}

} // namespace pistel
