#pragma once

#include "comm/TCommX.h"
#include "data/AppState.h"

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
    // keeper once it answers. Waits for stations still ending (they hold ports and journal).
    StationThread(const AppState& app, const TDM1& like, OperatorDialog& dialog,
                  ImpulseJournal* journal, TCustomCommX::PortResolver ports,
                  ByteSource* timerSource = nullptr);
    // Ends the station on its thread (questions still open are answered No), then the thread.
    // A station held by a statement to a server that does not answer is left to end by
    // itself (at most the statement's time-out): closing the window never waits for it.
    ~StationThread();
    StationThread(const StationThread&) = delete;
    StationThread& operator=(const StationThread&) = delete;

    TimingStation& station();

    // Runs `work` on the station's thread and returns when it is done, rethrowing what it
    // threw; this thread's events go on meanwhile, so a question the station asks is
    // answered. For tests and tools: a window posts and never waits.
    void call(const std::function<void()>& work);
    // Returns once what was posted before has run to its end: no question of the station is
    // open (what runs while one is open may be part of a command still unfinished), and what
    // the station said meanwhile has reached this thread. For tests and tools.
    void settle();

    // Stations whose window has closed that have not ended yet; waits for them (before the
    // program ends, so that none still uses a port or the driver then).
    static int endingStations();
    static void waitForEndingStations();

    struct Core; // what the station's thread owns

private:
    // Opens the station's connection; false when the server cannot be reached now.
    static bool openConnection(TDM1& dm, const QString& connection);

    std::unique_ptr<Core> core_; // handed to the ending stations when it outlives the window
};

} // namespace pistel
