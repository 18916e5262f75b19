// The input defaults and graph settings commands of the Options menu.
#pragma once

#include "core/user_interface.h"
#include "data/document.h"

namespace qv::ui {

class CMainFrame;

// Input defaults: disabled during a run; after changed defaults offers to
// initialise an empty measurement panel. Graph settings: enabled during a
// run too; after OK the graph view takes the settings and repaints.
void WirePresetCommands(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui);

}  // namespace qv::ui
