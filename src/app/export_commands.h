// The CSV export and bitmap export commands of the File menu.
#pragma once

#include "core/user_interface.h"
#include "data/document.h"

namespace qv::ui {

class CMainFrame;

// Puts both export commands into the frame's command table (disabled while
// a discharge run is active).
void WireExportCommands(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui);

// The commands themselves: each runs its dialog and, when it ended through
// "ファイル出力", shows the message of the result.
void CmdExportCsv(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui);
void CmdExportBitmap(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui);

}  // namespace qv::ui
