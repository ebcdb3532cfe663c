#pragma once

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

    bool isRun1() const { return currentRun == QLatin1String("1"); }
};

} // namespace pistel
