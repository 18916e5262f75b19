// The input defaults dialog's model and the list of input presets kept in
// "Inpset.ini".
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/conditions.h"
#include "core/settings_store.h"
#include "core/user_interface.h"
#include "presets/preset_common.h"

namespace qv {

class CAppState;

inline constexpr char kInputPresetFile[] = "Inpset.ini";
inline constexpr int kInputFieldMaxChars = 4;
// The cell-count list's items.
inline constexpr std::array<int, 4> kCellItems{1, 4, 6, 8};

// The dialog's fields as typed.
struct InputDefaultsFields {
  std::string currentA, currentB, currentC;
  std::string cells;  // the chosen list item's text; empty when none is chosen
  std::string endVoltage;
  std::string v1Point;

  bool operator==(const InputDefaultsFields&) const = default;
};

// Fields showing `in`: currents and end voltage "%.01f", V1 point "%d", the
// list item matching the cell count (none when the count is not an item).
InputDefaultsFields InputDefaultsOpen(const InputConditions& in);

// Choosing a cell count puts that count, "%.01f", into the end-voltage field.
std::string EndVoltageForCells(std::string_view cellItem);

// Reads, rounds and checks the fields in order; the first failure is shown
// (caption "設定値入力範囲", exclamation icon) and nothing is returned.
std::optional<InputConditions> CheckInputFields(IUserInterface& ui,
                                                const InputDefaultsFields& fields);

enum class InputDefaultsOutcome {
  kStayOpen,   // a message was shown
  kUnchanged,  // closed with OK; the six keys were written, no value differs
  kChanged,    // closed with OK; some value differs from its value at opening
};

// OK: checks, stores the rounded values as the application's input defaults,
// writes DATA_DEF_DISA, _DISB, _DISC, _CELL, _CUTV, _APO1 in this order and
// compares with the values at opening.
InputDefaultsOutcome AcceptInputDefaults(CAppState& app, IUserInterface& ui,
                                         const InputDefaultsFields& fields,
                                         InputConditions atOpening);

struct InputPreset {
  InputConditions values;
  std::string comment;  // CP932

  bool operator==(const InputPreset&) const = default;
};

// The list of "Inpset.ini". Loading rounds the V1 points down to 100s.
class CInputPresetList : public CPresetList<CInputPresetList, InputPreset> {
 public:
  using CPresetList::CPresetList;

  static constexpr const char* kFileName = kInputPresetFile;
  static constexpr const char* kKeyPrefix = "INP";
  static InputPreset ReadEntry(const CSettingsStore& store, const PresetEntryKeys& key);
  static void WriteEntry(PresetKeyValues& kv, const PresetEntryKeys& key, const InputPreset& e);

  // Table: columns after "No." and the cell texts of one row.
  static std::vector<PresetColumn> Columns();
  static constexpr int kCommentColumn = 6;
  static bool CanEditColumn(int column) { return column == kCommentColumn; }
  std::array<std::string, 7> RowCells(size_t index) const;
};

// "一覧に登録": refuses a full list, checks the fields as OK does, appends them
// with an empty comment, saves and reports. True when an entry was added.
bool AddInputFieldsToList(CAppState& app, IUserInterface& ui, const InputDefaultsFields& fields);

// "入力初期値に設定": copies the selected entry into the application's input
// defaults (memory only). False, after a message, when no row is selected.
bool SetInputPresetAsDefaults(CAppState& app, IUserInterface& ui, const CInputPresetList& list,
                              std::optional<size_t> selected);

// "一覧から削除": asks, removes and saves. True when the entry was removed.
bool DeleteInputPreset(IUserInterface& ui, CInputPresetList& list, std::optional<size_t> selected);

}  // namespace qv
