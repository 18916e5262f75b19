// The application object's state that the core needs: the settings store,
// the loaded settings, the document's file identity and the run state.
#pragma once

#include <atomic>
#include <string>

#include "core/conditions.h"
#include "core/settings_store.h"

namespace qv {

// Graph display settings (GRAPH_*).
struct GraphSettings {
  double maxV = 0.0;
  double minV = 0.0;
  bool grid = true;
  int gapX = 0;
  double gapY = 0.0;

  bool operator==(const GraphSettings&) const = default;
};

// The graph's default display settings: 12.0 V down to 0.0 V, no grid,
// labels every 1.0 V, 1 pixel per second. The start option START_DEFGRA
// applies them.
inline constexpr GraphSettings kDefaultGraph{12.0, 0.0, false, 1, 1.0};
// The graph view's first values, which a new settings file also starts
// from: the defaults at 3 pixels per second.
inline constexpr GraphSettings kFirstGraph{kDefaultGraph.maxV, kDefaultGraph.minV,
                                           kDefaultGraph.grid, 3, kDefaultGraph.gapY};

// The print layout (PRINT_TOP_X .. PRINT_LABEL_CY): margins, label size and
// gaps in mm, the graph width in s (0: each record's own discharge time),
// labels per row and rows per sheet.
struct PrintLayoutValues {
  int topX, topY, labelW, labelH, labelGX, labelGY, graphWS, labelCX, labelCY;
};
// The values the print settings dialog's "既定値に戻す" restores.
inline constexpr PrintLayoutValues kDefaultPrintLayout{9, 21, 24, 33, 4, 4, 600, 7, 7};
// A new settings file's print layout: the defaults with the graph width 0,
// so that the first print of a long run shows it whole.
inline constexpr PrintLayoutValues kFirstPrintLayout = [] {
  PrintLayoutValues v = kDefaultPrintLayout;
  v.graphWS = 0;
  return v;
}();

// Communication settings (COM_*), clamped as loaded.
struct CommSettings {
  int timeoutMs = 1500;
  int retryC1 = 5;
  int retryC2 = 5;
  int retryC3 = 5;
};

// Option flag bits.
inline constexpr int kOptionContextMenu = 2;    // the graph may open its context menu
inline constexpr int kOptionNumberButtons = 4;  // FLAG_NUMBTN

class CAppState {
 public:
  CAppState() = default;
  CAppState(const CAppState&) = delete;
  CAppState& operator=(const CAppState&) = delete;

  // Loads every setting in the order start-up does (the store's directory is
  // set by the caller). Graph settings, input defaults, average-voltage-3
  // range, option flags, backup mode, communication limits, column moving.
  void LoadSettings();

  // The start-up write probe: RUNCNT + 1 written and read back. False when the
  // settings file cannot be written.
  bool ProbeSettingsWritable();

  // Communication settings as the link reads them at each operation.
  CommSettings ReadCommSettings() const;

  CSettingsStore settings{CurrentDirectory(), "Dis.ini"};

  // Loaded settings.
  GraphSettings graph;
  InputConditions inputs;
  Avg3Range avg3;
  int optionFlags = 0;
  int backupMode = 0;  // FLAG_BACKUP
  CommSettings comm;
  bool viewMoveColumn = false;

  // Document state.
  bool modified = false;
  std::string fileName;     // file system bytes
  std::string filePath;     // file system bytes
  std::string fileVersion;  // "101", "101b", "100", "100b" or empty

  // Run state.
  std::atomic<bool> measuring{false};  // cleared by the stop command
  std::atomic<bool> runActive{false};  // true while the worker thread exists
  int commErrorCount = 0;
};

// Writes the program's first values into a settings file that does not exist
// yet (a new installation), so the graph and the inputs start from usable
// ranges and printing and the CSV export work at once: the graph view's first
// values, the input defaults, the first print layout (kFirstPrintLayout) for
// labels of every registered record, and the whole ID range 001-001-001 to
// 999-999-999 for printing and the CSV export. Nothing is written into a file
// that exists (of any kind). True when the file was seeded; false when it
// existed or could not be written.
bool SeedNewSettings(const CSettingsStore& settings);

// Clamp rule of COM_RETRY_C1..C3 and COM_TIMEOUT_MS: values of 1 or more
// replace the default, capped at `limit`; 0, negative or missing keep it.
int ClampSetting(int value, int deflt, int limit);

}  // namespace qv
