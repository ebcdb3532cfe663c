#pragma once

#include "RunPage.h"

#include <QString>
#include <QStringList>

namespace pistel {

struct AppState;
class TDM1;
class Query;
struct TimerLine;

// The logic of the competition run window: both run pages and the window's own fields,
// with the operations that select a run, capture impulses and compute run times.
class RunControl : public QObject {
    Q_OBJECT
public:
    RunControl(AppState& app, TDM1& dm, QObject* parent = nullptr);

    AppState& app;
    TDM1& dm;
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
    // Lines by which the device cancels an earlier line are never assigned.
    void captureLine(const TimerLine& line);
    void captureStart1(const TimerLine& line);
    void captureFinish1(const TimerLine& line);
    void captureStart2(const TimerLine& line);
    void captureFinish2(const TimerLine& line);

    // Run time, its parts, the total and the finished state of one competitor.
    void calcruntime(const QString& bib, int run);

    // "'" + code + "'" pieces: the competition code as spliced into statements.
    QString code() const;

private:
    void openWith(Query& q, const QStringList& lines);
    void execWith(Query& q, const QStringList& lines);
    // Position a list on a bib: an exact search on zek; no match leaves it as it is.
    static void position(Query& list, const QString& bib);
    QStringList resultsStatement(const QString& flag, int cls, const QString& order) const;
};

} // namespace pistel
