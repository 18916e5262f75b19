// The analysis commands of the window: the virtual curve (Edit menu), the
// virtual-curve simulator, the EMF comparison and the average-voltage-3 range
// (View menu).
#pragma once

#include "core/user_interface.h"
#include "data/document.h"

namespace qv::ui {

class CMainFrame;

// Puts the four commands into the frame's command table.
void WireAnalysisCommands(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui);

}  // namespace qv::ui
