// The file commands with their own windows: merge another data file or the
// automatic backup into the document, and show the open file's information.
#pragma once

#include <QWidget>
#include <functional>

#include "core/user_interface.h"
#include "data/document.h"

namespace qv::ui {

class CMainFrame;
class CMergeDialog;
class CFileInfoDialog;

// How the two dialogs run modally; tests may replace them. Each returns the
// dialog's result (for the merge dialog: true when it merged). Default: exec().
struct FileCommandHooks {
  std::function<bool(CMergeDialog&)> runMerge;
  std::function<void(CFileInfoDialog&)> runFileInfo;
};

// The merge command: the dialog, then the completion message.
bool RunMergeCommand(CBrenlowDoc& doc, IUserInterface& ui, QWidget* parent,
                     const std::function<bool(CMergeDialog&)>& run = {});
// The file information command.
void RunFileInfoCommand(const CBrenlowDoc& doc, QWidget* parent,
                        const std::function<void(CFileInfoDialog&)>& run = {});

// Puts the merge command (not during a run) and the file information command
// (always) into the frame's command table.
void WireFileCommands(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui,
                      FileCommandHooks hooks = {});

}  // namespace qv::ui
