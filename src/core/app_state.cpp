#include "core/app_state.h"

#include <sys/stat.h>

#include <climits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/settings_keys.h"

namespace qv {

int ClampSetting(int value, int deflt, int limit) {
  return keys::IntKey{.name = {}, .missing = deflt, .min = 1, .max = limit}.Clamp(value);
}

CommSettings CAppState::ReadCommSettings() const {
  CommSettings c;
  c.retryC1 = settings.Value(keys::kComRetryC1);
  c.retryC2 = settings.Value(keys::kComRetryC2);
  c.retryC3 = settings.Value(keys::kComRetryC3);
  c.timeoutMs = settings.Value(keys::kComTimeoutMs);
  return c;
}

void CAppState::LoadSettings() {
  graph.maxV = settings.Value(keys::kGraphMaxV);
  graph.minV = settings.Value(keys::kGraphMinV);
  graph.grid = settings.Value(keys::kGraphGrid);
  graph.gapX = settings.Value(keys::kGraphGapX);
  graph.gapY = settings.Value(keys::kGraphGapY);

  inputs.currentA = settings.Value(keys::kDefCurrentA);
  inputs.currentB = settings.Value(keys::kDefCurrentB);
  inputs.currentC = settings.Value(keys::kDefCurrentC);
  inputs.cells = settings.Value(keys::kDefCells);
  inputs.endVoltage = settings.Value(keys::kDefEndVoltage);
  inputs.v1Point = settings.Value(keys::kDefV1Point);
  avg3.start = settings.Value(keys::kAvg3Start);
  avg3.end = settings.Value(keys::kAvg3End);

  optionFlags = kOptionContextMenu;
  if (settings.Value(keys::kNumberButtons)) optionFlags |= kOptionNumberButtons;

  backupMode = settings.Value(keys::kBackupMode);
  comm = ReadCommSettings();
  viewMoveColumn = settings.Value(keys::kViewMoveColumn);
  graphVoltStrip = settings.Value(keys::kGraphVoltStrip);
}

bool CAppState::ProbeSettingsWritable() {
  const int current = settings.Value(keys::kRunCount);
  const int next = current == INT_MAX ? 0 : current + 1;
  settings.SetValue(keys::kRunCount, next);
  return settings.Value(keys::kRunCount) == next;
}

bool SeedNewSettings(CSettingsStore& settings) {
  struct stat st {};
  if (::stat(settings.Path().c_str(), &st) == 0) return false;
  std::vector<std::pair<std::string, std::string>> entries;
  for (const keys::AnyKey& key : keys::kTable) {
    if (std::optional<std::string> text = keys::FirstText(key))
      entries.emplace_back(keys::NameOf(key), std::move(*text));
  }
  return settings.SetMany(entries);
}

}  // namespace qv
