#pragma once

#include "comm/SerialLine.h"

#include <QString>

namespace pistel {

// Process-wide values shared by the windows and the capture logic. One plain object is
// handed to whoever needs it, so tests can start from a fresh one.
struct AppState {
    QString competitionCode; // tcode of the chosen competition
    QString currentRun;      // "1", "2", or empty until a run page is shown
    bool timerPortOpen = false;
    int timerPortNo = 0;
    int boardPortNo = 0;
    SerialLine timerLine; // applied whenever the timer port opens
    SerialLine boardLine;
    int backupPortNo = 0; // the second timer (system B), 0 for none
    SerialLine backupLine;

    // Database profile and capture lock.
    QString dbType = QStringLiteral("MySQL");
    int chosenProfile = 0;    // the profile the last switch attempted
    int connectedProfile = 0; // the profile of the last successful connection
    bool lockHeld = false;    // this workstation set the capture lock and must release it
    int terminalMode = 0;     // nonzero: works without the capture lock
    int dbTimeout = 3;        // seconds before a connection, read or write gives up

    QString webBaseUrl; // where the live results scripts are, ending with "/"
    QString webKey;     // the live results server's write key

    bool isRun1() const { return currentRun == QLatin1String("1"); }
};

} // namespace pistel
