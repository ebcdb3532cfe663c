#pragma once

#include "LiveRequests.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <functional>

namespace pistel::live {

// One competitor's row on the page.
struct ResultRow {
    QString bib, name, team, classCode;
    QString time1, time2, ttime, timeod, altime;
    qint64 updated = 0; // ms since the epoch
};

// The live results server's data, in a SQLite file of its own so that a restart loses
// nothing. Every value reaches SQL as a bound value. Any statement that fails (a file locked
// by another process, read-only, a full disk) throws std::runtime_error.
class LiveStore {
public:
    // Opens (creating) the file; throws std::runtime_error when it cannot.
    explicit LiveStore(const QString& file);
    ~LiveStore();
    LiveStore(const LiveStore&) = delete;
    LiveStore& operator=(const LiveStore&) = delete;

    void setRace(const RaceKey& race);
    RaceKey race() const;
    // Whether the workstation ever chose a race for the page (initialising it is a choice).
    bool raceChosen() const;
    // The class racing now: of the competition whose state came last, the class of the latest
    // starter on course, else of the latest finisher; empty when there is none.
    RaceKey racingNow() const;
    void setMessage(const QString& text); // empty: no message line
    QString message() const;

    void setResult(const QString& code, const ResultRow& row);
    void removeResult(const QString& code, const QString& bib);
    // Applies the batch's updates; returns how many rows they wrote.
    int applyBatch(const BatchFileContent& batch);

    void setTitle(const QString& code, const QString& title);
    QString title(const QString& code) const;
    // The competitions with results or competitors (code, title), and a competition's classes.
    QList<std::pair<QString, QString>> competitions() const;
    QStringList classesOf(const QString& code) const;
    void setClassName(const QString& classCode, const QString& name);
    QString className(const QString& classCode) const;
    void setStartList(const QString& code, const QList<StartListEntry>& entries);
    // Replaces the competition's results, statuses, on-course and next-to-start lists with
    // the workstation's state, received at `nowMs` (ms since the epoch): start times of day
    // become instants of this server's clock through the state's own time of day. A state of
    // the same session not newer than one already applied changes nothing and gives false; a
    // state of another session replaces whatever came before.
    bool applyRaceState(const QString& code, const RaceState& state, qint64 nowMs);
    struct StatusRow {
        QString bib, name, team;
        int run = 1;
        QString code;
    };
    // The statuses of a class's competitors, by run, status and bib.
    QList<StatusRow> statuses(const QString& code, const QString& classCode) const;

    struct Runner {
        QString bib, name, team;
        qint64 started = 0; // ms since the epoch; 0 for those next to start
    };
    // The class's competitors on course in the run in progress, earliest start first, and
    // those next to start, in start order.
    QList<Runner> onCourse(const QString& code, const QString& classCode) const;
    QList<Runner> nextToStart(const QString& code, const QString& classCode) const;
    // The run in progress as the workstation last said; 0 when it has not.
    int currentRun(const QString& code) const;
    // When the results shown were published as official; empty: unofficial.
    QString officialSince(const QString& code) const;
    // Race points and points with the penalty of the classified, by bib.
    QHash<QString, std::pair<QString, QString>> points(const QString& code) const;

    // The results of a competition's class, names joined; rows of no known class are left out.
    QList<ResultRow> results(const QString& code, const QString& classCode) const;
    // Grows with every change, so that a page knows when to read again.
    qint64 version() const;

private:
    // Runs a statement with bound values; throws std::runtime_error when it fails.
    QSqlQuery exec(const QString& sql, const QVariantList& values = {}) const;
    QString value(const QString& key) const;
    // The first column of the first row of a select with one bound value; empty if none.
    QString single(const QString& sql, const QString& key) const;
    void setValue(const QString& key, const QString& value);
    void bump();
    // Runs `writes` in one transaction, rolled back when one of them fails.
    void inTransaction(const std::function<void()>& writes);
    QList<Runner> runners(const QString& sql, const QString& code, const QString& classCode) const;

    QString connection_;
};

} // namespace pistel::live
