// The application object's state that the core needs: the settings store,
// the loaded settings, the document's file identity and the run state.
#pragma once

#include <atomic>
#include <string>

#include "core/conditions.h"
#include "core/settings_keys.h"
#include "core/settings_store.h"

namespace qv {

// Graph display settings (GRAPH_*); the defaults are what a file without
// the keys gives.
struct GraphSettings {
  double maxV = 0.0;
  double minV = 0.0;
  bool grid = true;
  int gapX = 0;
  double gapY = 0.0;

  bool operator==(const GraphSettings&) const = default;
};

// The graph view's first values, which a new settings file also starts
// from (the first values of the table's GRAPH_* keys): 12.0 V down to
// 0.0 V, no grid, labels every 1.0 V, 3 pixels per second.
inline constexpr GraphSettings kFirstGraph{*keys::kGraphMaxV.first, *keys::kGraphMinV.first,
                                           *keys::kGraphGrid.first, *keys::kGraphGapX.first,
                                           *keys::kGraphGapY.first};
// The graph's default display settings, which the start option START_DEFGRA
// applies: the first values at 1 pixel per second.
inline constexpr GraphSettings kDefaultGraph = [] {
  GraphSettings g = kFirstGraph;
  g.gapX = 1;
  return g;
}();

// The print layout (PRINT_TOP_X .. PRINT_LABEL_CY): margins, label size and
// gaps in mm, the graph width in s (0: each record's own discharge time),
// labels per row and rows per sheet.
struct PrintLayoutValues {
  int topX, topY, labelW, labelH, labelGX, labelGY, graphWS, labelCX, labelCY;
};
// A new settings file's print layout (the table's first values), with the
// graph width 0 so that the first print of a long run shows it whole.
inline constexpr PrintLayoutValues kFirstPrintLayout{
    *keys::kPrintTopX.first,    *keys::kPrintTopY.first,    *keys::kPrintLabelW.first,
    *keys::kPrintLabelH.first,  *keys::kPrintLabelGX.first, *keys::kPrintLabelGY.first,
    *keys::kPrintGraphWS.first, *keys::kPrintLabelCX.first, *keys::kPrintLabelCY.first};
// The values the print settings dialog's "既定値に戻す" restores: the first
// layout with a graph width of 600 s.
inline constexpr PrintLayoutValues kDefaultPrintLayout = [] {
  PrintLayoutValues v = kFirstPrintLayout;
  v.graphWS = 600;
  return v;
}();

// Communication settings (COM_*), clamped as loaded; the defaults are the
// keys' missing values.
struct CommSettings {
  int timeoutMs = keys::kComTimeoutMs.missing;
  int retryC1 = keys::kComRetryC1.missing;
  int retryC2 = keys::kComRetryC2.missing;
  int retryC3 = keys::kComRetryC3.missing;
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
  // range, option flags, backup mode, communication limits, column moving,
  // the fixed voltage strip.
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
  bool graphVoltStrip = false;  // GRAPH_FIXED_VSCALE

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
// ranges and printing and the CSV export work at once: every key of the
// table that has a first value, in the table's order (the graph view's first
// values, the input defaults, the first print layout for labels of every
// registered record, and the whole ID range 001-001-001 to 999-999-999 for
// printing and the CSV export). Nothing is written into a file that exists
// (of any kind). True when the file was seeded; false when it existed or
// could not be written.
bool SeedNewSettings(CSettingsStore& settings);

// Clamp rule of COM_RETRY_C1..C3 and COM_TIMEOUT_MS (keys::IntKey with a
// minimum of 1): values of 1 or more replace the default, capped at `limit`;
// 0, negative or missing keep it.
int ClampSetting(int value, int deflt, int limit);

}  // namespace qv
