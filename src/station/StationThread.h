#pragma once

#include "comm/TCommX.h"
#include "data/AppState.h"

#include <QThread>
#include <functional>
#include <memory>

namespace pistel {

class ByteSource;
class ImpulseJournal;
class OperatorDialog;
class TDM1;
class ThreadedDialog;
class TimingStation;

// A timing station on a thread of its own, with a connection and a copy of the workstation's
// state of its own, so that nothing the station waits for (the server, above all) holds the
// window. The station is made, runs and ends on that thread; the window sends it commands
// (TimingStation::post) and shows what it says (StationView).
class StationThread {
public:
    // `like`: the window's data module, whose data source and time-out the station's own
    // connection takes. A server that cannot be reached yet is connected by the station's
    // keeper once it answers.
    StationThread(const AppState& app, const TDM1& like, OperatorDialog& dialog,
                  ImpulseJournal* journal, TCustomCommX::PortResolver ports,
                  ByteSource* timerSource = nullptr);
    // Ends the station on its thread (questions still open are answered No), then the thread.
    ~StationThread();
    StationThread(const StationThread&) = delete;
    StationThread& operator=(const StationThread&) = delete;

    TimingStation& station() { return *station_; }

    // Runs `work` on the station's thread and returns when it is done, rethrowing what it
    // threw; this thread's events go on meanwhile, so a question the station asks is
    // answered. For tests and tools: a window posts and never waits.
    void call(const std::function<void()>& work);
    // Returns once what was posted before has run to its end: no question of the station is
    // open (what runs while one is open may be part of a command still unfinished), and what
    // the station said meanwhile has reached this thread. For tests and tools.
    void settle();

private:
    // Opens the station's connection; false when the server cannot be reached now.
    static bool openConnection(TDM1& dm, const QString& connection);

    QThread thread_;
    AppState app_; // the station's own copy
    std::unique_ptr<ThreadedDialog> dialog_;
    std::unique_ptr<TDM1> dm_;
    TimingStation* station_ = nullptr;
};

} // namespace pistel
