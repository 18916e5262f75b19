// The pack matching command of the Operation menu: opens the matching
// window (disabled while a discharge run is active). The window does not
// block the main window: it lies over the data view, beside the graph whose
// overlays it sets, and the command brings an open one to the front.
#pragma once

#include <QRect>

#include "core/user_interface.h"
#include "data/document.h"

namespace qv::ui {

class CMainFrame;

void WireMatchCommands(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui);

// Where the matching window opens: `size` over `dataView` (global
// coordinates), at its top-left corner, cut to it where it is smaller, and
// never smaller than `minimum`.
QRect MatchWindowPlace(const QRect& dataView, QSize size, QSize minimum);

}  // namespace qv::ui
