#pragma once

#include "RunPage.h"

#include <QString>
#include <QStringList>

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
    QString nextBib;           // scratch: the bib a search found

    // The page of the current run; an empty current run counts as run 2.
    RunPage& currentPage() { return isRun1() ? page1 : page2; }
    bool isRun1() const;

    // Run selection: make the run current and rebuild its lists (the page was shown).
    void CtB1stClick();
    void CtB2ndClick();

    // Capture of one timer line for the current run: start impulses, then finish impulses.
    // The device's own corrections ("c"/"d" take a line back, "i" brings an entered time)
    // are followed; a line cleared at the device ("C") is never assigned.
    void captureLine(const TimerLine& line);
    // Undoes the assignment of the time a "c"/"d" line takes back and puts that channel's box
    // back on the competitor who had it.
    void takeBack(const TimerLine& line);
    // An "i" line: the time goes to the line's bib when it has none for that channel.
    void captureEdited(const TimerLine& line);
    void captureStart1(const TimerLine& line);
    void captureFinish1(const TimerLine& line);
    void captureStart2(const TimerLine& line);
    void captureFinish2(const TimerLine& line);

    // Re-reads the current page's lists (after the connection came back), the boxes kept.
    void rereadCurrentPage();

    // Run time, its parts, the total and the finished state of one competitor.
    void calcruntime(const QString& bib, int run);

    // Navigation: "次" moves a box to the row above (who comes next), "前" to the row below.
    void BtUpStClick() { moveBox(page1.startList, -1, &RunPage::setStartBox, page1); }
    void BtDownStClick() { moveBox(page1.startList, +1, &RunPage::setStartBox, page1); }
    void BtUpFinClick() { moveBox(page1.finishList, -1, &RunPage::setFinishBox, page1); }
    void BtDownFinClick() { moveBox(page1.finishList, +1, &RunPage::setFinishBox, page1); }
    void BtUpSt2Click() { moveBox(page2.startList, -1, &RunPage::setStartBox, page2); }
    void BtDownSt2Click() { moveBox(page2.startList, +1, &RunPage::setStartBox, page2); }
    void BtUpFin2Click() { moveBox(page2.finishList, -1, &RunPage::setFinishBox, page2); }
    void BtDownFin2Click() { moveBox(page2.finishList, +1, &RunPage::setFinishBox, page2); }

    // Row clicks in the start and finish lists (the grid has made the row current).
    void DBGrid1CellClick() { page1.setStartBox(currentZek(page1.startList)); }
    void DBGrid2CellClick();
    void DBGrid6CellClick() { page2.setStartBox(currentZek(page2.startList)); }
    void DBGrid8CellClick() { page2.setFinishBox(currentZek(page2.finishList)); }

    // Popup menu commands, acting on the current run. The impulse (its pulsedata id) or bib
    // the operator highlighted when the menu opened is passed in, so lines arriving while
    // the menu is open cannot change what the command acts on; empty: the list's current
    // impulse, the box's bib.
    // The chosen start impulse becomes the start time of the start box's bib.
    void N1Click(const QString& impulseId = {});
    // The chosen finish impulse becomes the finish time of the finish box's bib.
    void N2Click(const QString& impulseId = {});
    void N3Click(const QString& bib = {}); // cancel a start time
    void N4Click(const QString& bib = {}); // cancel a finish time
    // The pulsedata id of an impulse list's current row; empty when none.
    static QString selectedImpulseId(const Query& impulses);

    // Enter in a bib box of `page`: the typed number is shown with four digits and the box's
    // list stands on it. Returns false (and tells the operator) when it is not a number.
    bool EdStnmKeyDown(RunPage& page, const QString& typed);
    bool EdFinnmKeyDown(RunPage& page, const QString& typed);

    // The reset buttons: the whole competition on the run-1 page, run 2 otherwise.
    void CuteButton1Click();

    // "'" + code + "'" pieces: the competition code as spliced into statements.
    QString code() const;

private:
    void openWith(Query& q, const QStringList& lines);
    void keepBoxesAcrossReread(RunPage& p, const QString& changed = {});
    void advanceStartBox(RunPage& p, const QString& bib);
    QString nextFinisher(Query& q, const QStringList& onCourse, const QStringList& toStart);
    void placeFinishBox(RunPage& p, const QString& bib);
    void execWith(Query& q, const QStringList& lines);
    // Position a list on a bib: an exact search on zek; no match leaves it as it is.
    static void position(Query& list, const QString& bib);
    QStringList impulseListStatement(const QString& channel) const;
    // The results list of the last finisher's class, with `bib`'s row up to date.
    void showInResults(Query& results, const QString& flag, const QString& order,
                       const QString& bib);
    QStringList resultsStatement(const QString& flag, int cls, const QString& order) const;
    static QString currentZek(const Query& list);
    static void moveBox(Query& list, int step, void (RunPage::*setBox)(const QString&),
                        RunPage& page);
    bool enterBib(Query& list, void (RunPage::*setBox)(const QString&), RunPage& page,
                  const QString& typed);
    // The dtime of the chosen impulse, or nothing (the operator is told) when none is.
    bool selectedImpulseTime(const Query& impulses, const QString& impulseId, QString& time);
    // Asks before one impulse goes to a second competitor; true to go on.
    bool confirmSingleUse(const QString& timeColumn, const QString& time, const QString& bib);
    // A Yes/No question to the operator; true for Yes.
    bool confirm(const QString& text);
    void resetAll();
    void resetRun2();
};

} // namespace pistel
