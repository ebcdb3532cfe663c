#pragma once

#include "CaptureFixture.h"
#include "Pty.h"
#include "station/TimingStation.h"
#include "support/ScriptedDialog.h"
#include "support/WaitFor.h"

namespace pistel::test {

// A timing station with no window, its timer on a real pseudo-terminal (registered as COM9).
class PtyCaptureFixture : public RaceFixture {
protected:
    // Opens the timer port as the run window does when it is shown, and makes `run` current.
    void startStation(int run = 1) {
        app.timerPortNo = 9;
        station.ports.openDelayMs = 0;
        station.start();
        ASSERT_TRUE(station.CommX1.isOpen());
        station.selectRun(run);
    }
    // Sends one line, ended by CR, and waits until it is logged.
    void send(const QByteArray& line) {
        ++sent;
        timer.send(line + '\r');
        ASSERT_TRUE(waitFor([&] { return pulseCount() == sent; }, 5000)) << line.data();
    }

    Pty timer;
    ScriptedDialog dialog;
    QString device; // where COM9 leads when not to `timer` (a simulator's line)
    TimingStation station{app, dm, dialog, nullptr, [this](int n) {
                              return n != 9 ? QString() : device.isEmpty() ? timer.path() : device;
                          }};
    RunControl& control = station.control;
    int sent = 0; // lines sent, to be counted against the impulse rows
};

} // namespace pistel::test
