#include "app/preset_commands.h"

#include "app/command_ids.h"
#include "app/dialogs/graph_settings_dialog.h"
#include "app/dialogs/input_defaults_dialog.h"
#include "app/main_frame.h"
#include "data/doc_commands.h"
#include "views/graph_view.h"

namespace qv::ui {

void WirePresetCommands(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui) {
  using R = CMainFrame::RunRule;
  CMainFrame* f = &frame;
  CBrenlowDoc* d = &doc;
  IUserInterface* u = &ui;
  frame.SetCommand(
      kCmdInputDefaults,
      [f, d, u] {
        CInputDefaultsDlg dlg(d->App(), *u, f);
        if (dlg.Run() == InputDefaultsOutcome::kChanged) InputDefaultsChanged(*d, *u);
      },
      {}, R::kNoRun);
  frame.SetCommand(
      kCmdGraphSettings,
      [f, d, u] {
        CGraphSettingsDlg dlg(d->App(), *u, f);
        if (!dlg.Run()) return;
        // The view takes the accepted values, then repaints through the
        // document's view refresh as every settings change does.
        if (CGraphView* graph = f->GraphView()) graph->ApplySettings(d->App().graph);
        d->RefreshViews(kRefreshGraph);
      },
      {}, R::kAlways);
}

}  // namespace qv::ui
