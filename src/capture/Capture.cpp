// Start and finish capture in automatic mode: the competitor in the box gets the time of
// day of the impulse, and the box advances to the competitor expected next, class by class.
#include "Capture.h"

#include "RecordedChange.h"
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

CaptureResult Capture::captureLine(const TimerLine& line) {
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

CaptureResult Capture::captureStart(const TimerLine& line) {
    RunPage& p = run_.currentPage();
    const RunColumns c = RunColumns::of(p.run());
    const QString before = p.startBox();
    // A line that names its competitor puts the box on them; a bib that is not in the
    // competition (a typo on the timer's keypad) leaves the box where it was.
    const bool named = line.tstat == kBlank;
    auto refuse = [&](const char* why, const QString& bib) {
        if (named)
            RunBoxes::startBoxTo(p, before);
        return notAssigned(why, bib);
    };
    if (named)
        RunBoxes::startBoxTo(p, line.bib);
    if (p.startMode() != RunPage::Auto)
        return {}; // manual: the operator assigns from the impulse list
    QString b = p.startBox();
    if (b.isEmpty())
        return notAssigned("スタートの枠に選手がいません");
    NextStarter next;
    std::optional<RunRow> row = rows_.readWithNextStarter(c, b, next);
    if (!row)
        return refuse("ビブ %1 はこの大会に登録されていません", b);
    // A start is given only to a competitor the run expects: never to a forerunner, nor to
    // one with a status in the run (a DNS reported before the start).
    if (named && !RunRows::isExpected(c, *row))
        return refuse(RunRows::notExpectedReason(c, *row), b);
    if (!RunRows::isExpected(c, *row) || !row->start.isEmpty()) {
        if (named)
            return notAssigned("ビブ %1 には既にスタート時刻があります", b);
        // Never a silent skip: the box moves on to whoever waits to start, as after a start.
        if (!boxes_.advanceStart(p, c, row->order, row->cls))
            return notAssigned("スタートを待つ選手がいません");
        b = p.startBox();
        row = rows_.readWithNextStarter(c, b, next);
        if (!row || !RunRows::isExpected(c, *row) || !row->start.isEmpty())
            return notAssigned("スタートを待つ選手がいません");
    }
    const QString k = row->cls;
    const TimeStore::Stored stored = store_.store(c, *row, true, b, line.dtime);
    // Only b changed: once written, the lists take b's row instead of being read whole.
    store_.afterWrites([this, &p, b, timed = stored.timed, run = c.run, k, written = stored.row] {
        lists_.putRow(p, written, false);
        if (timed)
            lists_.showRunTime(b, run, k, &written);
    });
    boxes_.startNext(p, c, next); // read with b's row: b's own start changes nobody else's
    return {};
}

CaptureResult Capture::captureFinish(const TimerLine& line) {
    if (line.tstat == kM)
        return {}; // the device marks this finish impulse as not to be assigned
    RunPage& p = run_.currentPage();
    const RunColumns c = RunColumns::of(p.run());
    const QString before = p.finishBox();
    const bool named = line.tstat == kBlank;
    auto refuse = [&](const char* why, const QString& bib) {
        if (named) {
            p.setFinishBox(before);
            if (p.finishList.isOpen())
                RunLists::position(p.finishList, before);
        }
        return notAssigned(why, bib);
    };
    if (named) {
        p.setFinishBox(line.bib);
        if (p.finishList.isOpen())
            RunLists::position(p.finishList, line.bib);
    }
    if (p.finishMode() != RunPage::Auto)
        return {};
    QString b = p.finishBox();
    if (b.isEmpty())
        return notAssigned("フィニッシュの枠に選手がいません");
    QString next;
    std::optional<RunRow> row = rows_.readWithNextFinisher(p, c, b, next);
    if (!row)
        return refuse("ビブ %1 はこの大会に登録されていません", b);
    // Nor a finish: the finish of a forerunner or of a competitor with a status is logged.
    if (named && !RunRows::isExpected(c, *row))
        return refuse(RunRows::notExpectedReason(c, *row), b);
    if (!RunRows::isExpected(c, *row) || rows_.finishStands(c, *row, b, named)) {
        if (named)
            return notAssigned("ビブ %1 には既にフィニッシュ時刻があります", b);
        boxes_.advanceFinish(p, c, row->cls, {});
        b = p.finishBox();
        row = b.isEmpty() ? std::nullopt : rows_.readWithNextFinisher(p, c, b, next);
        if (!row || !RunRows::isExpected(c, *row) || rows_.finishStands(c, *row, b, false))
            return notAssigned("フィニッシュを待つ選手がいません");
    }
    const QString k = row->cls;
    const QString order = row->order;
    const bool withoutStart = row->start.isEmpty();
    const TimeStore::Stored stored = !row->finish.isEmpty()
                                         ? store_.replaceFinish(c, *row, b, line.dtime)
                                         : store_.store(c, *row, false, b, line.dtime);
    // The timer names a finisher whose start it missed: they ran, and will not start again.
    const bool startBoxMoves = named && withoutStart && p.startBox() == b;
    if (startBoxMoves)
        boxes_.advanceStart(p, c, order, k);
    store_.afterWrites([this, &p, b, run = c.run, k, written = stored.row] {
        lists_.putRow(p, written, true);
        lists_.showRunTime(b, run, k, &written);
    });
    // b may not be written yet: it is not who finishes next. Who is was read with b's row,
    // unless the start box has moved since (a search depends on it).
    if (startBoxMoves)
        boxes_.advanceFinish(p, c, k, b);
    else if (!next.isEmpty())
        p.setFinishBox(next);
    return {};
}

BoxState Capture::boxState() {
    const RunPage& p = run_.currentPage();
    return {run_.app.currentRun, p.startBox(), p.finishBox()};
}

void Capture::restoreBoxes(const BoxState& boxes) {
    if (boxes.run != run_.app.currentRun)
        return;
    RunPage& p = run_.currentPage();
    p.setStartBox(boxes.start);
    p.setFinishBox(boxes.finish);
    if (p.startList.isOpen())
        RunLists::position(p.startList, boxes.start);
    if (p.finishList.isOpen())
        RunLists::position(p.finishList, boxes.finish);
}

} // namespace pistel
