#include "app/export_commands.h"

#include "app/command_ids.h"
#include "app/dialogs/bitmap_export_dialog.h"
#include "app/dialogs/csv_export_dialog.h"
#include "app/main_frame.h"
#include "output/bitmap_export.h"
#include "output/csv_export.h"
#include "views/graph_view.h"

namespace qv::ui {

void CmdExportCsv(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui) {
  CCsvExportDialog dlg(doc, ui, &frame);
  if (std::optional<CsvExportResult> result = dlg.Run())
    ui.ShowMessage(CsvExportResultMessage(*result));
}

void CmdExportBitmap(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui) {
  CGraphView* graph = frame.GraphView();
  if (!graph) return;
  CBitmapExportDialog dlg(doc, *graph, ui, &frame);
  if (std::optional<int> code = dlg.Run()) ui.ShowMessage(BitmapExportResultMessage(*code));
}

void WireExportCommands(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui) {
  frame.SetCommand(kCmdExportCsv, [&frame, &doc, &ui] { CmdExportCsv(frame, doc, ui); });
  frame.SetCommand(kCmdExportBitmap, [&frame, &doc, &ui] { CmdExportBitmap(frame, doc, ui); });
}

}  // namespace qv::ui
