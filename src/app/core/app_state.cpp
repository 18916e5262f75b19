#include "app/core/app_state.h"

#include <algorithm>
#include <climits>

namespace qv {

int ClampSetting(int value, int deflt, int limit) {
  if (value < 1) return deflt;
  return std::min(value, limit);
}

CommSettings CAppState::ReadCommSettings() const {
  CommSettings c;
  c.retryC1 = ClampSetting(settings.GetInt("COM_RETRY_C1"), 5, 30);
  c.retryC2 = ClampSetting(settings.GetInt("COM_RETRY_C2"), 5, 30);
  c.retryC3 = ClampSetting(settings.GetInt("COM_RETRY_C3"), 5, 30);
  c.timeoutMs = ClampSetting(settings.GetInt("COM_TIMEOUT_MS"), 1500, 10000);
  return c;
}

void CAppState::LoadSettings() {
  graph.maxV = settings.GetDouble("GRAPH_MAXV");
  graph.minV = settings.GetDouble("GRAPH_MINV");
  graph.grid = settings.Get("GRAPH_GRID") != "0";
  graph.gapX = settings.GetInt("GRAPH_GAPX");
  graph.gapY = settings.GetDouble("GRAPH_GAPY");

  inputs.currentA = settings.GetDouble("DATA_DEF_DISA");
  inputs.currentB = settings.GetDouble("DATA_DEF_DISB");
  inputs.currentC = settings.GetDouble("DATA_DEF_DISC");
  inputs.cells = settings.GetInt("DATA_DEF_CELL");
  inputs.endVoltage = settings.GetDouble("DATA_DEF_CUTV");
  inputs.v1Point = settings.GetInt("DATA_DEF_APO1") / 100 * 100;
  avg3.start = settings.GetInt("DATA_DEF_APO3ST");
  avg3.end = settings.GetInt("DATA_DEF_APO3ED");

  optionFlags = kOptionContextMenu;
  if (settings.GetInt("FLAG_NUMBTN") > 0) optionFlags |= kOptionNumberButtons;

  backupMode = settings.GetInt("FLAG_BACKUP");
  comm = ReadCommSettings();
  viewMoveColumn = settings.GetInt("VIEW_MOVE_COLUMN") > 0;
}

bool CAppState::ProbeSettingsWritable() {
  const int current = settings.GetInt("RUNCNT");
  const int next = current == INT_MAX ? 0 : current + 1;
  settings.SetInt("RUNCNT", next);
  return settings.GetInt("RUNCNT") == next;
}

}  // namespace qv
