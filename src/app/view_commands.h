// The graph's display toggles of the View menu, enabled during a run too:
// the voltage scale in a fixed strip (kept in the settings file) and the
// time axis fitted to the window (for this session).
#pragma once

#include "core/app_state.h"

namespace qv::ui {

class CMainFrame;

void WireViewCommands(CMainFrame& frame, CAppState& app);

}  // namespace qv::ui
