#pragma once

#include "comm/TCommX.h"

namespace pistel {

struct AppState;
class TDM1;
class OperatorDialog;
class ImpulseJournal;
class TFmain;

// Competition processing: every press of the main window's button opens a new selection
// window modally; every choice there opens a new run window modally.
void connectCompetitionWindows(TFmain& main, AppState& app, TDM1& dm, OperatorDialog& dialog,
                               ImpulseJournal* journal, TCustomCommX::PortResolver ports);

} // namespace pistel
