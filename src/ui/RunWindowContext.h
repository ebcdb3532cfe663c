#pragma once

namespace pistel {

struct AppState;
class OperatorDialog;
class StationView;
class TDM1;
class TimingStation;

// What the windows beside the run window work with: the station, for commands, and what it
// shows; and the window thread's own connection, state and operator for their own reads
// and writes (the station may run on a thread and a connection of its own).
struct RunWindowContext {
    TimingStation& station;
    const StationView& view;
    TDM1& dm;
    const AppState& app;
    OperatorDialog& dialog;
};

} // namespace pistel
