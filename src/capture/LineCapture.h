#pragma once

#include <QString>
#include <QStringList>

namespace pistel {

struct TimerLine;

// What automatic capture did with one timer line.
struct CaptureResult {
    bool unassigned = false; // a start or finish impulse that nobody got
    QString reason;          // why, in the operator's language
};

// The boxes of the current run, put back when the writes of a line are lost with the
// connection (the line is captured again when it is back).
struct BoxState {
    QString run;
    QString start;
    QString finish;
};

// What the receive handler needs of the capture into the current run, in one place: the
// capture of a line, with its writes joining the line's batch, and what puts the run page
// right when a line's writes are lost.
class LineCapture {
public:
    virtual ~LineCapture() = default;

    virtual CaptureResult captureLine(const TimerLine& line) = 0;
    // Counts what the operator did to the boxes and times, so that lines that waited for the
    // database are not captured around such a change.
    virtual quint64 operatorChanges() const = 0;
    // The boxes as they stand, and putting them back.
    virtual BoxState boxState() = 0;
    virtual void restoreBoxes(const BoxState& boxes) = 0;
    // While a line's transaction is open the capture's writes join `batch` (nullptr: written
    // at once); what reads them waits for runAfterWrites, or is dropped by
    // discardAfterWrites when the batch was not written.
    virtual void deferWrites(QStringList* batch) = 0;
    virtual void runAfterWrites() = 0;
    virtual void discardAfterWrites() = 0;
    // The current page's lists, and the impulses nobody got, read again.
    virtual void rereadCurrentPage() = 0;
    virtual void rereadUnassigned() = 0;
};

} // namespace pistel
