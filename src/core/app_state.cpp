#include "core/app_state.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <string>
#include <utility>
#include <vector>

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

bool SeedNewSettings(const CSettingsStore& settings) {
  struct stat st {};
  if (::stat(settings.Path().c_str(), &st) == 0) return false;
  // The graph view's first values and the application's input defaults.
  static const std::pair<const char*, const char*> kFirst[] = {
      {"GRAPH_MAXV", "12.0"},   {"GRAPH_MINV", "0.0"},    {"GRAPH_GRID", "0"},
      {"GRAPH_GAPX", "3"},      {"GRAPH_GAPY", "1.0"},    {"DATA_DEF_DISA", "1.0"},
      {"DATA_DEF_DISB", "0.5"}, {"DATA_DEF_DISC", "0.1"}, {"DATA_DEF_CELL", "1"},
      {"DATA_DEF_CUTV", "1.0"}, {"DATA_DEF_APO1", "100"}, {"DATA_DEF_APO3ST", "0"},
      {"DATA_DEF_APO3ED", "0"},
  };
  std::vector<std::pair<std::string, std::string>> entries;
  for (const auto& [key, value] : kFirst)
    entries.emplace_back(key, value);
  return settings.SetMany(entries);
}

}  // namespace qv
