// Command ids of the menu, toolbar and accelerators, and the table of their
// captions, status-bar prompts, tooltips and toolbar images.
#pragma once

#include <vector>

namespace qv::ui {

enum CommandId : int {
  // File
  kCmdOpen = 32785,
  kCmdSave = 32786,
  kCmdPrint = 57607,
  kCmdMerge = 32800,
  kCmdExportCsv = 32791,
  kCmdExportBitmap = 32799,
  kCmdExit = 57665,
  // Operation
  kCmdStart = 32771,
  kCmdStop = 32772,
  kCmdPackMatch = 32815,
  kCmdCatalog = 32816,
  // Edit
  kCmdRegister = 32773,
  kCmdDelete = 32774,
  kCmdClearPanel = 32778,
  kCmdChangeId = 32792,
  kCmdVirtualCurve = 32806,
  // View
  kCmdSimulator = 32808,
  kCmdEmfCompare = 32807,
  kCmdAvg3Range = 32804,
  kCmdRemoveOverlays = 32776,
  kCmdFileInfo = 32801,
  kCmdRestoreWidths = 32802,
  kCmdVoltStrip = 32830,  // toggle: the voltage scale stays at the left
  kCmdFitTime = 32831,    // toggle: the time axis fits the window
  // Options
  kCmdGraphSettings = 32777,
  kCmdInputDefaults = 32796,
  kCmdStartOptions = 32797,
  kCmdPortSettings = 32790,
  // Help
  kCmdAbout = 57664,
  // Standard framework commands reached only through accelerators.
  kCmdFileNew = 57600,
  kCmdFileOpen = 57601,
  kCmdFileSave = 57603,
  kCmdNextPane = 57680,
  kCmdPrevPane = 57681,
  // Context menu of the graph view.
  kCmdPointDetail = 32795,
};

// One menu command: its id, caption (UTF-8, with its mnemonic), the
// status-bar prompt and tooltip, and the name of its toolbar image
// (":/quorvex/images/<icon>.png"; none for a command off the toolbar).
struct CommandText {
  int id;
  const char* caption;
  const char* prompt;
  const char* tooltip;
  const char* icon = nullptr;
};

// One pull-down menu: its caption and its entries in order; 0 is a separator.
struct MenuText {
  const char* caption;
  std::vector<int> entries;
};

const std::vector<CommandText>& CommandTexts();
const CommandText* FindCommandText(int id);
const std::vector<MenuText>& MenuLayout();
// Toolbar buttons from left to right; 0 is a separator.
const std::vector<int>& ToolbarLayout();

}  // namespace qv::ui
