#include "core/app_state.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "core/numtext.h"
#include "core/settings_keys.h"

namespace qv {

int ClampSetting(int value, int deflt, int limit) {
  if (value < 1) return deflt;
  return std::min(value, limit);
}

CommSettings CAppState::ReadCommSettings() const {
  CommSettings c;
  c.retryC1 = ClampSetting(settings.GetInt(keys::kComRetryC1), 5, 30);
  c.retryC2 = ClampSetting(settings.GetInt(keys::kComRetryC2), 5, 30);
  c.retryC3 = ClampSetting(settings.GetInt(keys::kComRetryC3), 5, 30);
  c.timeoutMs = ClampSetting(settings.GetInt(keys::kComTimeoutMs), 1500, 10000);
  return c;
}

void CAppState::LoadSettings() {
  graph.maxV = settings.GetDouble(keys::kGraphMaxV);
  graph.minV = settings.GetDouble(keys::kGraphMinV);
  graph.grid = settings.Get(keys::kGraphGrid) != "0";
  graph.gapX = settings.GetInt(keys::kGraphGapX);
  graph.gapY = settings.GetDouble(keys::kGraphGapY);

  inputs.currentA = settings.GetDouble(keys::kDefCurrentA);
  inputs.currentB = settings.GetDouble(keys::kDefCurrentB);
  inputs.currentC = settings.GetDouble(keys::kDefCurrentC);
  inputs.cells = settings.GetInt(keys::kDefCells);
  inputs.endVoltage = settings.GetDouble(keys::kDefEndVoltage);
  inputs.v1Point = settings.GetInt(keys::kDefV1Point) / 100 * 100;
  avg3.start = settings.GetInt(keys::kAvg3Start);
  avg3.end = settings.GetInt(keys::kAvg3End);

  optionFlags = kOptionContextMenu;
  if (settings.GetInt(keys::kNumberButtons) > 0) optionFlags |= kOptionNumberButtons;

  backupMode = settings.GetInt(keys::kBackupMode);
  comm = ReadCommSettings();
  viewMoveColumn = settings.GetInt(keys::kViewMoveColumn) > 0;
}

bool CAppState::ProbeSettingsWritable() {
  const int current = settings.GetInt(keys::kRunCount);
  const int next = current == INT_MAX ? 0 : current + 1;
  settings.SetInt(keys::kRunCount, next);
  return settings.GetInt(keys::kRunCount) == next;
}

bool SeedNewSettings(const CSettingsStore& settings) {
  struct stat st {};
  if (::stat(settings.Path().c_str(), &st) == 0) return false;
  // The graph view's first values and the application's input defaults.
  const GraphSettings g = kFirstGraph;
  const InputConditions in;
  const Avg3Range range;
  const PrintLayoutValues print = kFirstPrintLayout;
  std::vector<std::pair<std::string, std::string>> entries = {
      {keys::kGraphMaxV, FixedText(g.maxV, 1)},
      {keys::kGraphMinV, FixedText(g.minV, 1)},
      {keys::kGraphGrid, g.grid ? "1" : "0"},
      {keys::kGraphGapX, IntText(g.gapX)},
      {keys::kGraphGapY, FixedText(g.gapY, 1)},
      {keys::kDefCurrentA, FixedText(in.currentA, 1)},
      {keys::kDefCurrentB, FixedText(in.currentB, 1)},
      {keys::kDefCurrentC, FixedText(in.currentC, 1)},
      {keys::kDefCells, IntText(in.cells)},
      {keys::kDefEndVoltage, FixedText(in.endVoltage, 1)},
      {keys::kDefV1Point, IntText(in.v1Point)},
      {keys::kAvg3Start, IntText(range.start)},
      {keys::kAvg3End, IntText(range.end)},
      {keys::kPrintTopX, IntText(print.topX)},
      {keys::kPrintTopY, IntText(print.topY)},
      {keys::kPrintLabelW, IntText(print.labelW)},
      {keys::kPrintLabelH, IntText(print.labelH)},
      {keys::kPrintLabelGX, IntText(print.labelGX)},
      {keys::kPrintLabelGY, IntText(print.labelGY)},
      {keys::kPrintGraphWS, IntText(print.graphWS)},
      {keys::kPrintLabelCX, IntText(print.labelCX)},
      {keys::kPrintLabelCY, IntText(print.labelCY)},
  };
  // The whole ID range, parts as the dialogs store them ("%03d"): printing
  // labels of every record, then the CSV export's range.
  auto wholeRange = [&entries](const char* const* start, const char* const* end) {
    for (int i = 0; i < 3; ++i)
      entries.emplace_back(start[i], "001");
    for (int i = 0; i < 3; ++i)
      entries.emplace_back(end[i], "999");
  };
  wholeRange(keys::kPrintIdStart, keys::kPrintIdEnd);
  entries.emplace_back(keys::kPrintForm, IntText(0));    // labels
  entries.emplace_back(keys::kPrintChoice, IntText(0));  // every registered record
  wholeRange(keys::kExportCsvIdStart, keys::kExportCsvIdEnd);
  return settings.SetMany(entries);
}

}  // namespace qv
