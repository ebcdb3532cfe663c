#pragma once

#include "RunMarks.h"
#include "RunPage.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

namespace pistel {

struct AppState;
class TDM1;
class OperatorDialog;

// A line changed the competitor while the operator was asked: nothing was written.
extern const char* const kChangedWhileAsked;

// The columns of a run in result.
struct RunColumns {
    int run;
    QString n;     // "" or "2"
    QString start; // sttime, sttime2
    QString finish;
    QString order; // st1, st2
    QString flag;  // FL, FL2

    static RunColumns of(int run);
};

// What the parts of a run's control share: the workstation's state, the data module, the
// operator, both run pages, and what the run window knows of the competition besides its
// lists (statuses, times set by hand, impulses nobody got, finishes kept for a restart),
// with the signals that say it changed. It holds no competitor's row: each part reads the
// rows it needs in its own statement.
class RunContext : public QObject {
    Q_OBJECT
public:
    RunContext(AppState& app, TDM1& dm, OperatorDialog* dialog, QObject* parent = nullptr);

    AppState& app;
    TDM1& dm;
    OperatorDialog* dialog;
    RunPage page1;
    RunPage page2;
    int resultsGridClass = 0;  // class whose finishers the results lists show
    int lastFinisherClass = 0; // class of the last competitor whose run time was computed

    // The page of the current run; an empty current run counts as run 2.
    RunPage& currentPage() { return isRun1() ? page1 : page2; }
    bool isRun1() const;
    // The competition code as spliced into statements (quotes doubled).
    QString code() const;

    // A message to the operator, and a Yes/No question (true for Yes). Without an operator
    // (a tool) the text is thrown.
    void tell(const QString& text);
    bool confirm(const QString& text);
    // Whether `bib`'s times and statuses are still `asked` (read before a question); tells the
    // operator and returns false when a line changed them meanwhile.
    bool unchangedSinceAsked(const QString& bib, const RowSnapshot& asked);

    // Counts what the operator did to the boxes and times (moves, assignments, resets), so
    // that lines that waited for the database are not captured around such a change.
    quint64 operatorChanges() const { return operatorChanges_; }
    void noteOperatorChange() { ++operatorChanges_; }

    // Finishes kept after their start was taken back: the next finish line of the bib (a
    // restart's) replaces them.
    bool finishKept(int run, const QString& bib) const { return kept_.contains(keptKey(run, bib)); }
    void keepFinish(int run, const QString& bib) { kept_.insert(keptKey(run, bib)); }
    void dropKeptFinish(int run, const QString& bib) { kept_.remove(keptKey(run, bib)); }
    void dropKeptFinishes() { kept_.clear(); }

    // Statuses of a run (bib -> status) as stored; re-read with the run selection and after
    // every status change.
    const QHash<QString, RunStatus>& statuses(int run) const { return marks_.statusesOf(run); }
    void rereadStatuses();
    // The start and finish times set by hand (bib -> STTIME/ALTIME/STTIME2/ALTIME2), for the
    // mark in the results; re-read with the statuses and after every change by hand.
    const ManualTimes& manualTimes() const { return marks_.manualTimes; }
    void rereadMarks();
    // Whether `bib`'s run time in `run` (0: the total) rests on a time set by hand.
    bool manualRunTime(const QString& bib, int run) const { return marks_.manualRunTime(bib, run); }
    // Impulses of the competition that nobody got (pulsedata ids), and competitors of the
    // current run with a finish but no start; re-read from the database.
    const QSet<QString>& unassigned() const { return marks_.unassigned; }
    const QStringList& missingStarts() const { return marks_.missingStarts; }
    void rereadUnassigned();
    // All of the above as one value, with the class the results lists show (cheap: the
    // containers are shared until written).
    RunMarks marks() const;
    // Something else went into the change history (a publication): the lists showing it follow.
    void historyChanged() { emit statusesChanged(); }

signals:
    // The unassigned impulses or the competitors missing a start changed.
    void unassignedChanged();
    // A reset deleted the impulses of a competition.
    void impulsesDeleted(const QString& code);
    // Statuses or the change history changed (lists showing them re-read).
    void statusesChanged();
    // A time was captured for a competitor whose status in that run says otherwise (DNS with
    // a start, DNF with a finish): the window asks whether to clear it.
    void timeForStatus(const QString& bib, int run, const QString& code);

private:
    static QString keptKey(int run, const QString& bib) { return QString::number(run) + bib; }

    quint64 operatorChanges_ = 0;
    QSet<QString> kept_;
    RunMarks marks_;
};

} // namespace pistel
