#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

namespace pistel {

// What the run window knows of the timer line.
struct TimerHealth {
    int portNo = 0;                    // the saved timer port, 0 for none
    bool open = false;                 // the port is open
    bool lost = false;                 // the device went away while open; reopening is being tried
    std::optional<QDateTime> lastLine; // when the last complete line arrived
};

// The status line next to a run's title; `alarm` draws it in red.
struct TimerHealthText {
    QString text;
    bool alarm = false;
};

TimerHealthText describeTimerHealth(const TimerHealth& health, const QDateTime& now);

} // namespace pistel
