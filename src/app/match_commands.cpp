#include "app/match_commands.h"

#include "app/command_ids.h"
#include "app/dialogs/pack_match_dialog.h"
#include "app/main_frame.h"

namespace qv::ui {

void WireMatchCommands(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui) {
  frame.SetCommand(kCmdPackMatch, [&frame, &doc, &ui] {
    CPackMatchDialog dlg(doc, ui, &frame);
    dlg.exec();
  });
}

}  // namespace qv::ui
