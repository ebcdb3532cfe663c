#pragma once

#include "RunPage.h"
#include "RunTimeRule.h"
#include "results/ChangeHistory.h"
#include "results/RunStatus.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <initializer_list>
#include <optional>
#include <vector>

namespace pistel {

struct AppState;
class TDM1;
class Query;
class OperatorDialog;
struct TimerLine;

// What the operator is told when a correction has no impulse to assign.
extern const char* const kNoImpulseSelected;
// What the operator is told when a typed bib is not a number.
extern const char* const kBibNotANumber;
// The chosen impulse is no longer in the log (a reset meanwhile).
extern const char* const kImpulseGone;
// Questions before a manual correction stores something odd (%1, %2: bibs or times).
extern const char* const kTimeUsedTwice;
extern const char* const kFinishBeforeStart;
extern const char* const kBibNotInCompetition;
// A line changed the competitor while the operator was asked: nothing was written.
extern const char* const kChangedWhileAsked;
// Asked when a time comes in for a competitor whose status in the run says otherwise.
extern const char* const kTimeForStatus;

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

// The logic of the competition run window: both run pages and the window's own fields,
// with the operations that select a run, capture impulses and compute run times.
class RunControl : public QObject {
    Q_OBJECT
public:
    RunControl(AppState& app, TDM1& dm, OperatorDialog* dialog = nullptr,
               QObject* parent = nullptr);

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

    // Run selection: make the run current and rebuild its lists (the page was shown).
    void selectRun1();
    void selectRun2();
    void selectRun(int run);

    // Capture of one timer line for the current run: start impulses, then finish impulses.
    // The device's own corrections ("c"/"d" take a line back, "i" brings an entered time)
    // are followed; a line cleared at the device ("C") is never assigned. A start or finish
    // that nobody gets is reported, never dropped in silence.
    CaptureResult captureLine(const TimerLine& line);
    // Undoes the assignment of the time a "c"/"d" line takes back and puts that channel's box
    // back on the competitor who had it. A start taken back keeps the finish for what comes
    // next (an edited start is computed against it, a restart's finish replaces it).
    void takeBack(const TimerLine& line);
    // An "i" line: the time goes to the line's bib when it has none for that channel, and the
    // run time follows when the other time is there.
    CaptureResult captureEdited(const TimerLine& line);
    CaptureResult captureStart(const TimerLine& line);
    CaptureResult captureFinish(const TimerLine& line);

    // While a timer line's transaction is open the capture's writes join `batch` (the line's
    // last round trip, with its impulse row and the commit), and what reads them (the lists)
    // waits for runAfterWrites. nullptr: written at once, as the operator's corrections are.
    void deferWrites(QStringList* batch);
    void runAfterWrites();
    void discardAfterWrites(); // the batch was not written

    // The boxes as they stand, and putting them back.
    BoxState boxState();
    void restoreBoxes(const BoxState& boxes);
    // Counts what the operator did to the boxes and times (moves, assignments, resets), so
    // that lines that waited for the database are not captured around such a change.
    quint64 operatorChanges() const { return operatorChanges_; }

    // Impulses of the competition that nobody got (pulsedata ids), and competitors of the
    // current run with a finish but no start; re-read from the database.
    const QSet<QString>& unassigned() const { return unassigned_; }
    const QStringList& missingStarts() const { return missingStarts_; }
    void rereadUnassigned();
    // The operator leaves an impulse unassigned on purpose.
    void dismissImpulse(const QString& impulseId);

    // Re-reads the current page's lists (after the connection came back), the boxes kept.
    void rereadCurrentPage();
    // Another program changed times or statuses: statuses, marks and every open list are
    // read again, and the boxes follow statuses as when they are set here.
    void followOutsideChanges();

    // Run time, its parts, the total and the finished state of one competitor. Without a
    // start there is no run time: the finish is kept and the state stays started.
    void calcruntime(const QString& bib, int run);

    // Navigation: "次" moves a box to the row above (who comes next), "前" to the row below.
    enum class BoxKind { Start, Finish };
    void moveBoxToNext(RunPage& page, BoxKind box);
    void moveBoxToPrevious(RunPage& page, BoxKind box);
    // A row chosen in the start or finish list (the grid has made the row current): the box
    // names its competitor; a finish row on the run-1 page also shows its class's results.
    void boxToChosenRow(RunPage& page, BoxKind box);

    // Popup menu commands, acting on the current run. The impulse (its pulsedata id) or bib
    // the operator highlighted when the menu opened is passed in, so lines arriving while
    // the menu is open cannot change what the command acts on; empty: the list's current
    // impulse, the box's bib.
    // The chosen start impulse becomes the start time of the start box's bib.
    void assignStartImpulse(const QString& impulseId = {});
    // The chosen finish impulse becomes the finish time of the finish box's bib.
    void assignFinishImpulse(const QString& impulseId = {});
    void cancelStartTime(const QString& bib = {});  // cancel a start time
    void cancelFinishTime(const QString& bib = {}); // cancel a finish time
    // The bib of a list's current row; empty when none.
    static QString currentZek(const Query& list);
    // The pulsedata id of an impulse list's current row; empty when none.
    static QString selectedImpulseId(const Query& impulses);

    // Enter in a bib box of `page`: the typed number is shown with four digits and the box's
    // list stands on it. Returns false (and tells the operator) when it is not a number.
    bool findStartBib(RunPage& page, const QString& typed);
    bool findFinishBib(RunPage& page, const QString& typed);

    // The reset buttons: the whole competition on the run-1 page, run 2 otherwise.
    void resetRunData();

    // Statuses of a run (bib -> status) as stored; re-read with the run selection and after
    // every status change.
    const QHash<QString, RunStatus>& statuses(int run) const { return statuses_[run - 1]; }
    void rereadStatuses();
    // The start and finish times set by hand (bib -> STTIME/ALTIME/STTIME2/ALTIME2), for the
    // mark in the results; re-read with the statuses and after every change by hand.
    const ManualTimes& manualTimes() const { return manualTimes_; }
    void rereadMarks();
    // Whether `bib`'s run time in `run` (0: the total) rests on a time set by hand.
    bool manualRunTime(const QString& bib, int run) const;
    // Sets (an empty code: clears) a competitor's status in `run`, with its history row. Asks
    // first when the times say otherwise (DNS with a start time, DNF with a run time); true
    // when stored. A status never changes a time.
    bool setStatus(const QString& bib, int run, const RunStatus& status);
    // Who the end of a run offers, in class `cls`: DNS for those without a start, DNF for
    // those started without a finish; neither has a status in the run yet.
    struct EndOfRun {
        QStringList dns, dnf;
    };
    EndOfRun endOfRunCandidates(int run, int cls);
    // Stores one status for each of `bibs` (an offer the operator confirmed).
    void setStatuses(const QStringList& bibs, int run, const QString& code);
    // The end of a run: for each class, the DNS list and then the DNF list are offered and
    // stored when the operator confirms them. Returns how many statuses were stored.
    int offerEndOfRun(int run);
    // Puts a competitor back as they were before history entry `id`: exactly, when nothing
    // changed since; otherwise (after asking) the entry's times and statuses, with the run
    // times that follow. The reversion is a change of its own. False when not reverted.
    bool revertChange(long long id);
    // Stores a replacement time from backup timing as the start (or finish) of `bib` in `run`,
    // with the run time that follows and its history row, unless a time of the timer is there
    // (one that is not itself a replacement). True when stored or already so.
    bool applyReplacement(const QString& bib, int run, bool start, const QString& time);

    // "'" + code + "'" pieces: the competition code as spliced into statements.
    QString code() const;

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
    // The columns of a run in result.
    struct RunColumns {
        int run;
        QString n;     // "" or "2"
        QString start; // sttime, sttime2
        QString finish;
        QString order; // st1, st2
        QString flag;  // FL, FL2
    };
    static RunColumns columnsOf(int run);
    // A competitor's row as one capture or correction read it: each reads its own, so a line
    // captured during an operator's question never changes the row the question is about.
    struct RunRow {
        QString start, finish, order, cls, flag1, time1, time2, dropm;
        bool status[2] = {false, false}; // a status in run 1, run 2
        QHash<QString, QString> values;  // every column read (upper-case names), for the lists
    };
    // A competitor a search found, with their class.
    struct Candidate {
        QString zek, cls;
    };
    // One search for a competitor read beside a row: the first row of result (of this
    // competition) meeting `condition` in `order`, tagged `pick`.
    QString candidate(int pick, const QString& condition, const QString& order) const;
    // The row of `bib` in the run of `c`; nothing when the bib is not in the competition (or
    // `bib` is empty). `candidates` are read in the same round trip, into `found` by pick.
    std::optional<RunRow> readRunRow(const RunColumns& c, const QString& bib,
                                     const QStringList& candidates = {},
                                     QHash<int, Candidate>* found = nullptr);
    // Who the start box goes to after a competitor of start order `order` in class `cls`
    // starts (SQL expressions): the next of the class, else the first of the next class.
    struct NextStarter {
        Candidate inClass, nextClass;
    };
    QStringList nextStarterCandidates(const RunColumns& c, const QString& order,
                                      const QString& cls) const;
    // The row of `bib` and who the start box goes to once they start, in one round trip.
    std::optional<RunRow> readRunRowAndNextStarter(const RunColumns& c, const QString& bib,
                                                   NextStarter& next);
    // The start box goes to `next`; false when nobody waits.
    bool startNext(RunPage& p, const RunColumns& c, const NextStarter& next);
    // The searches for who finishes next after `finished` finishes, preferring class `cls`
    // (SQL expressions), and the first of them that found somebody.
    QStringList nextFinisherCandidates(const RunPage& p, const RunColumns& c, const QString& cls,
                                       const QString& finished) const;
    static QString firstFinisher(const QHash<int, Candidate>& found);
    // The row of `bib` and who finishes next once they have (as advanceFinish places the
    // box, with the start box as it stands), in one round trip.
    std::optional<RunRow> readRunRowAndNextFinisher(const RunPage& p, const RunColumns& c,
                                                    const QString& bib, QString& next);
    // Whether the run of `c` expects `row`, and why not (%1: the bib).
    static bool rowExpected(const RunColumns& c, const RunRow& row);
    static const char* notExpectedReason(const RunColumns& c, const RunRow& row);
    // Whether the finish of `row` stands (not one a later finish replaces). `named`: the line
    // names the bib (a finish line of its own replaces a kept finish).
    bool finishStands(const RunColumns& c, const RunRow& row, const QString& bib, bool named) const;
    // What storeTime wrote: whether a run time was computed, and the row as written.
    struct Stored {
        bool timed = false;
        QHash<QString, QString> row;
    };
    // Stores a start or finish for `bib` (whose row is `row`) with the run time, total and
    // state that follow, in one statement.
    Stored storeTime(const RunColumns& c, const RunRow& row, bool start, const QString& bib,
                     const QString& time);
    // A finish that does not stand gives way to `time`: stored with its history row, the old
    // finish impulse marked unassigned.
    Stored replaceFinish(const RunColumns& c, const RunRow& row, const QString& bib,
                         const QString& time);
    // The start box moves to the next competitor expected at the start after start order `s`
    // in class `k`, else to the first of the next class; false when nobody waits.
    bool advanceStart(RunPage& p, const RunColumns& c, const QString& s, const QString& k);
    // The finish box moves to the earliest starter on course (of class `cls` first); with
    // nobody on course, to the competitor expected at the start next. `finished`: who has
    // just been given a finish not yet written.
    void advanceFinish(RunPage& p, const RunColumns& c, const QString& cls,
                       const QString& finished);
    // Who is expected to finish next, as advanceFinish places the box; empty when nobody.
    QString expectedFinisher(const RunPage& p, const RunColumns& c, const QString& cls,
                             const QString& finished);
    void writeOrDefer(const QStringList& statement);
    void afterWrites(std::function<void()> work);
    // The lists take the row as written: after a start both lists, the start box kept; after
    // a finish (`keepFinishBox`) the finish list, both boxes kept.
    void refreshRowOf(RunPage& p, const QHash<QString, QString>& row, bool keepFinishBox);
    // Whether the start or finish list of `p` (or the results list of `flag` and class `cls`)
    // selects a row with these values: their statements' conditions.
    bool listHolds(const RunPage& p, const Query& list, const QHash<QString, QString>& row) const;
    static bool resultsHold(const QString& flag, int cls, const QHash<QString, QString>& row);
    // The results list after `bib`'s run time (class `cls`) was stored; `written`: the row as
    // written, when known.
    void showRunTime(const QString& bib, int run, const QString& cls,
                     const QHash<QString, QString>* written);
    void noteOperatorChange() { ++operatorChanges_; }
    QString keptKey(int run, const QString& bib) const { return QString::number(run) + bib; }

    void openWith(Query& q, const QStringList& lines);
    void keepBoxesAcrossReread(RunPage& p, const QString& changed = {});
    void advanceStartBox(RunPage& p, const QString& bib);
    // The first competitor the run of `c` expects at the start, in the capture's order.
    QString firstExpectedStarter(const RunColumns& c);
    void placeFinishBox(RunPage& p, const QString& bib);
    void execWith(Query& q, const QStringList& lines);
    // Position a list on a bib: an exact search on zek; no match leaves it as it is.
    static void position(Query& list, const QString& bib);
    QStringList impulseListStatement(const QString& channel, int run) const;
    // The results list of the last finisher's class, with `bib`'s row up to date.
    void showInResults(Query& results, const QString& flag, const QString& order,
                       const QString& bib, const QHash<QString, QString>* written);
    QStringList resultsStatement(const QString& flag, int cls, const QString& order) const;
    void moveBox(Query& list, int step, void (RunPage::*setBox)(const QString&), RunPage& page);
    bool enterBib(Query& list, void (RunPage::*setBox)(const QString&), RunPage& page,
                  const QString& typed);
    // The dtime of the chosen impulse, or nothing (the operator is told) when none is.
    bool selectedImpulseTime(const Query& impulses, const QString& impulseId, QString& time,
                             QString& id);
    // Why impulse `impulseId` is marked unassigned; empty when it is not.
    QString unassignedReason(const QString& impulseId);
    // The impulse `impulseId` was given to somebody: it is no longer unassigned.
    void assigned(const QString& impulseId);
    // Whether `bib`'s times and statuses are still `asked` (read before a question); tells the
    // operator and returns false when a line changed them meanwhile.
    bool unchangedSinceAsked(const QString& bib, const RowSnapshot& asked);
    // Asks before one impulse goes to a second competitor; true to go on.
    bool confirmSingleUse(const QString& timeColumn, const QString& time, const QString& bib);
    // A message to the operator.
    void tell(const QString& text);
    // A Yes/No question to the operator; true for Yes.
    bool confirm(const QString& text);
    void resetAll();
    // Whether the competition is still as `asked` (read before a question); tells the
    // operator when a line changed it meanwhile.
    bool unchangedDuringQuestion(const QHash<QString, RowSnapshot>& asked);
    // A reset clears the backup timing data of `scope` (0: all, 2: run 2), with its history.
    void clearBackupData(int scope);
    void resetRun2();
    // The boxes after `bib`'s status in `run` was set or cleared: a competitor the run no
    // longer expects leaves them, one expected again takes the start box back in order.
    void boxesFollowStatus(const QString& bib, int run);
    // After an operator's assignment: a status the new time contradicts is asked about.
    void askAboutStatus(const QString& bib, int run, bool start);

    QHash<QString, RunStatus> statuses_[2];
    ManualTimes manualTimes_;
    QString historySource_; // set: the times stored are recorded in the history with it
    QStringList* deferred_ = nullptr;
    std::vector<std::function<void()>> afterWrites_;
    quint64 operatorChanges_ = 0;
    QSet<QString> unassigned_;
    QStringList missingStarts_;
    // Finishes kept after their start was taken back ("run" + bib): the next finish line of
    // the bib (a restart's) replaces them.
    QSet<QString> keptFinishes_;
};

} // namespace pistel
