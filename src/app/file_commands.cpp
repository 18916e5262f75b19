#include "app/file_commands.h"

#include "app/command_ids.h"
#include "app/dialogs/file_info_dialog.h"
#include "app/dialogs/merge_dialog.h"
#include "app/main_frame.h"
#include "data/merge.h"

namespace qv::ui {

bool RunMergeCommand(CBrenlowDoc& doc, IUserInterface& ui, QWidget* parent,
                     const std::function<bool(CMergeDialog&)>& run) {
  return CmdMerge(doc, ui, [&](CMergeModel& model) {
    CMergeDialog dlg(model, ui, parent);
    return run ? run(dlg) : dlg.Run();
  });
}

void RunFileInfoCommand(const CBrenlowDoc& doc, QWidget* parent,
                        const std::function<void(CFileInfoDialog&)>& run) {
  // The texts are read under the document's lock: a run's backup may change
  // the file version meanwhile.
  std::unique_lock<std::mutex> lock(doc.Lock());
  CFileInfoDialog dlg(doc.App(), parent);
  lock.unlock();
  if (run)
    run(dlg);
  else
    dlg.exec();
}

void WireFileCommands(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui,
                      FileCommandHooks hooks) {
  using R = CMainFrame::RunRule;
  CMainFrame* f = &frame;
  CBrenlowDoc* d = &doc;
  IUserInterface* u = &ui;
  frame.SetCommand(
      kCmdMerge, [f, d, u, run = hooks.runMerge] { RunMergeCommand(*d, *u, f, run); }, {},
      R::kNoRun);
  frame.SetCommand(
      kCmdFileInfo, [f, d, run = hooks.runFileInfo] { RunFileInfoCommand(*d, f, run); }, {},
      R::kAlways);
}

}  // namespace qv::ui
