#pragma once

#include "Expected.h"
#include "RunStatus.h"

#include <QDateTime>
#include <QMap>
#include <QString>
#include <vector>

namespace pistel {

namespace odbc {
class Connection;
}

// One competitor of a competition with what the result lists need.
struct Competitor {
    QString zek, name, team;
    // From the race office's entries, when it made them: empty otherwise.
    QString birthYear, nation, licence, points;
    int st1 = 0, st2 = 0, class1 = 0;
    QString dropm;
    QString start[2], finish[2], runTime[2]; // as stored; [0] run 1, [1] run 2
    QString state[2];                        // FL, FL2
    QString total;
    RunStatus status[2];
    bool manualStart[2] = {false, false};
    bool manualFinish[2] = {false, false};
    bool replaced[2] = {false, false}; // a replacement time from backup timing stands in the run

    // A run time built from a time set by hand.
    bool manualRun(int run) const { return manualStart[run - 1] || manualFinish[run - 1]; }
    bool manualTotal() const { return manualRun(1) || manualRun(2); }
    // The mark after a run time (0: the total): "R" a replacement time, "*" set by hand.
    QString markOf(int run) const {
        const bool r = run ? replaced[run - 1] : replaced[0] || replaced[1];
        const bool m = run ? manualRun(run) : manualTotal();
        return r ? QStringLiteral("R") : m ? QStringLiteral("*") : QString();
    }
    bool excluded() const { return dropm == u"9"; }
    // Finished the run with a run time and no status.
    bool finished(int run) const {
        return state[run - 1] == u"F" && !runTime[run - 1].isEmpty() && !status[run - 1].isSet();
    }
    // Allowed to start run 2: finished run 1 without a status.
    bool startsRun2() const {
        return expected::mayStartRun2(dropm, state[0], status[0].isSet()) && finished(1);
    }
    // On the start list of `run`: allowed to start it and not reported as a non-starter.
    // Who started stays on it whatever happened on course.
    bool onStartList(int run) const {
        return !excluded() && (run == 1 || startsRun2()) && status[run - 1].code != u"DNS";
    }
};

// The competition's own data for document headers.
struct RaceInfo {
    QString code, name, place, date, discipline, runs;
    QString category, sex;
};

struct Race {
    RaceInfo info;
    std::vector<Competitor> competitors; // by bib
    QMap<int, QString> classNames;       // class number -> name (from the class master)
    // How each class's run-1 start order was drawn, by the race office: so it can be repeated.
    struct Draw {
        QString method; // given, random, seeded
        QString seed;
    };
    QMap<int, Draw> draws;
    // The race office's race data: "run|item" -> value (run 0: the competition's).
    QMap<QString, QString> raceData;
    // The results published as official: scope ("1", "2", "race") -> when, and as what.
    struct Published {
        QDateTime at;
        QString digest;
    };
    QMap<QString, Published> published;
    QString data(int run, const char* item) const {
        return raceData.value(QString::number(run) + u'|' + QLatin1String(item));
    }

    // Classes that have competitors, highest number first (the order they race in).
    std::vector<int> classes() const;
    QString className(int cls) const;
};

// Reads a competition with its statuses and the marks of times set by hand; throws DbError.
// False when the competition does not exist.
bool readRace(odbc::Connection& db, const QString& code, Race& race);
// The competition's own data alone; false when it does not exist.
bool readRaceInfo(odbc::Connection& db, const QString& code, RaceInfo& info);

} // namespace pistel
