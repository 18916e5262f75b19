// The catalogue in the window: the Operation menu's command that opens the
// catalogue window (disabled during a run), and saved data files going into
// the catalogue on a worker thread (a failure told once as a notice; the
// save never waits for it).
#pragma once

#include "core/user_interface.h"
#include "data/document.h"

namespace qv::ui {

class CMainFrame;

void WireCatalogCommands(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui);

}  // namespace qv::ui
