#pragma once

#include "HandTimes.h"
#include "Matching.h"
#include "ReplacementRule.h"

#include <QHash>
#include <QString>
#include <optional>
#include <vector>

namespace pistel {

namespace odbc {
class Connection;
}

enum class Channel { Start, Finish };
// "start" / "finish", as files, tables and the command line name them.
QString channelName(Channel channel);
std::optional<Channel> channelNamed(const QString& name);

// One competitor of the run as backup timing sees them.
struct BackupCompetitor {
    QString zek, name;
    QString status;                       // of this run: "DNS", "DNF", "DSQ"; empty: none
    bool forerunner = false;              // excluded from the lists: never a reference
    std::optional<TimeUnits> a[2];        // system A: [0] start, [1] finish (not a replacement)
    std::optional<TimeUnits> replaced[2]; // a replacement time that stands
};

// What a competitor missing an A time gets.
struct Proposal {
    Channel channel = Channel::Start;
    QString source; // "B" or "hand"
    Replacement replacement;
    QString name;                     // the competitor's
    std::optional<TimeUnits> runTime; // the run time the replacement gives, with the other end
};

// The backup data of one run: its competitors with their system-A times, the second timer's
// impulses and the hand times; read once, then matched and ruled on without the database.
class BackupRun {
public:
    // Throws DbError.
    static BackupRun read(odbc::Connection& db, const QString& code, int run);

    int run() const { return run_; }
    const std::vector<BackupCompetitor>& competitors() const { return competitors_; }
    // The hand times of a channel: stored ones, or those of a file read meanwhile.
    const std::vector<HandTime>& handTimes(Channel c) const { return hand_[index(c)]; }
    void setHandTimes(Channel c, std::vector<HandTime> times) {
        hand_[index(c)] = std::move(times);
    }
    // System-B impulses of the channel within the run's time, bib attached when the line named
    // a competitor.
    const std::vector<HandTime>& secondTimer(Channel c) const { return b_[index(c)]; }
    // Second-timer lines of the competition that arrived with no run selected: used by no
    // run until the operator gives them one.
    int secondTimerLinesWithoutRun() const { return withoutRun_; }

    // The hand (or system-B) times matched to the competitors of the run in start order.
    MatchResult match(Channel c, const std::vector<HandTime>& times, TimeUnits tolerance) const;
    // Every competitor without an A time at the channel who has a backup time: the replacement
    // from system B when it has one, else from the hand times.
    std::vector<Proposal> propose(Channel c, TimeUnits tolerance) const;
    // Whether the proposal's competitor already has a replacement time standing at its
    // channel (applied before, until the operator reverts it).
    bool alreadyReplaced(const Proposal& p) const;
    // Why the times of `sheet` cannot be matched at all at the channel (the offset cannot be
    // relied on); empty when they can.
    QString refusal(Channel c, const std::vector<HandTime>& sheet, TimeUnits tolerance) const;

private:
    static size_t index(Channel c) { return c == Channel::Start ? 0 : 1; }
    // Every competitor who started, in start sequence: by start time of day where one is known
    // (A, then B, then hand, then a replacement), the others at their place in the start
    // order, after the competitor before them.
    std::vector<size_t> sequence(TimeUnits tolerance) const;
    std::vector<MatchCompetitor> matchInput(Channel c) const;
    // Each competitor's backup time at the channel from `times` (by bib).
    QHash<QString, TimeUnits> backupTimes(Channel c, const std::vector<HandTime>& times,
                                          TimeUnits tolerance) const;

    int run_ = 1;
    std::vector<BackupCompetitor> competitors_; // in start order (class descending, st1/st2)
    std::vector<HandTime> hand_[2];
    std::vector<HandTime> b_[2];
    int withoutRun_ = 0;
};

// Gives the competition's second-timer lines that arrived with no run selected to `run`;
// returns how many. Throws DbError.
int giveSecondTimerLinesARun(odbc::Connection& db, const QString& code, int run);

// Stores a hand-time sheet of a run and channel, replacing the one before; throws DbError.
void storeHandTimes(odbc::Connection& db, const QString& code, int run, Channel c,
                    const std::vector<HandTime>& times);

} // namespace pistel
