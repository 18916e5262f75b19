// The graph settings dialog's model and the list of graph presets kept in
// "Graset.ini".
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/settings_store.h"
#include "core/user_interface.h"
#include "presets/preset_common.h"

namespace qv {

inline constexpr char kGraphPresetFile[] = "Graset.ini";
inline constexpr int kGraphFieldMaxChars = 5;
inline constexpr int kTrackPositionMax = 4;

// The dialog's controls.
struct GraphSettingsFields {
  std::string maxV, minV, step;  // as typed
  bool grid = false;
  int trackPosition = 0;  // 0 .. 4

  bool operator==(const GraphSettingsFields&) const = default;
};

// Track bar position of a time scale: (scale - 1) / 2, kept in 0 .. 4 as the
// track bar keeps it. And back: 2 * position + 1.
int TrackPositionForScale(int timeScale);
int ScaleForTrackPosition(int position);

// The fields as the dialog opens them: the five keys read from the settings
// file, voltages "%.2f".
GraphSettingsFields GraphSettingsOpen(const CSettingsStore& settings);
// The fields showing a set of values (a chosen preset).
GraphSettingsFields GraphFieldsFrom(const GraphSettings& values);

// Reads, rounds to two decimals and checks in order; the first failure is
// shown with the main window's title as caption and an exclamation icon.
std::optional<GraphSettings> CheckGraphFields(IUserInterface& ui,
                                              const GraphSettingsFields& fields);

// OK: checks, stores the values as the graph's settings and writes
// GRAPH_MAXV, GRAPH_MINV, GRAPH_GRID, GRAPH_GAPX, GRAPH_GAPY in this order.
// True when the dialog closes (the caller refreshes the graph).
bool AcceptGraphSettings(CAppState& app, IUserInterface& ui, const GraphSettingsFields& fields);

struct GraphPreset {
  GraphSettings values;
  std::string comment;  // CP932

  bool operator==(const GraphPreset&) const = default;
};

// Table texts: the grid flag as "あり" / "なし", the time scale as 1 to 5.
std::string GridText(bool grid);
std::string ScaleLevelText(int timeScale);

// The list of "Graset.ini". Loading turns the grid on only for "1".
class CGraphPresetList : public CPresetList<CGraphPresetList, GraphPreset> {
 public:
  using CPresetList::CPresetList;

  static constexpr const char* kFileName = kGraphPresetFile;
  static constexpr const char* kKeyPrefix = "GRA";
  static GraphPreset ReadEntry(const CSettingsStore& store, const PresetEntryKeys& key);
  static void WriteEntry(PresetKeyValues& kv, const PresetEntryKeys& key, const GraphPreset& e);

  static std::vector<PresetColumn> Columns();
  static constexpr int kCommentColumn = 5;
  static bool CanEditColumn(int column) { return column == kCommentColumn; }
  std::array<std::string, 6> RowCells(size_t index) const;
};

// "一覧に登録": refuses a full list, checks the fields as OK does, appends them
// with an empty comment, saves and reports. True when an entry was added.
bool AddGraphFieldsToList(CAppState& app, IUserInterface& ui, const GraphSettingsFields& fields);

// "表示設定にする": the selected entry, or nothing after asking for a row.
std::optional<GraphPreset> ChooseGraphPreset(IUserInterface& ui, const CGraphPresetList& list,
                                             std::optional<size_t> selected);

// "一覧から削除": asks, removes and saves. True when the entry was removed.
bool DeleteGraphPreset(IUserInterface& ui, CGraphPresetList& list, std::optional<size_t> selected);

}  // namespace qv
