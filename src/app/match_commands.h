// The pack matching command of the Operation menu: opens the matching
// window (disabled while a discharge run is active).
#pragma once

#include "core/user_interface.h"
#include "data/document.h"

namespace qv::ui {

class CMainFrame;

void WireMatchCommands(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui);

}  // namespace qv::ui
