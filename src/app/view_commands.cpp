#include "app/view_commands.h"

#include "app/command_ids.h"
#include "app/main_frame.h"
#include "core/settings_keys.h"
#include "views/graph_view.h"

namespace qv::ui {

void WireViewCommands(CMainFrame& frame, CAppState& app) {
  using R = CMainFrame::RunRule;
  CGraphView* graph = frame.GraphView();
  frame.SetCommand(
      kCmdVoltStrip,
      [graph, &app] {
        app.graphVoltStrip = !graph->VoltStrip();
        app.settings.SetValue(keys::kGraphVoltStrip, app.graphVoltStrip);
        graph->SetVoltStrip(app.graphVoltStrip);
      },
      {}, R::kAlways);
  frame.SetChecked(kCmdVoltStrip, [graph] { return graph->VoltStrip(); });
  frame.SetCommand(
      kCmdFitTime, [graph] { graph->SetFitTime(!graph->FitTime()); }, {}, R::kAlways);
  frame.SetChecked(kCmdFitTime, [graph] { return graph->FitTime(); });
}

}  // namespace qv::ui
