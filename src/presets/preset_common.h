// What the input and graph preset lists share: the files beside the settings
// file, the 20-entry limit and the list dialogs' messages.
#pragma once

#include <optional>
#include <string>

#include "app/core/settings_store.h"
#include "app/core/user_interface.h"

namespace qv {

class CAppState;

inline constexpr int kMaxPresets = 20;

// A column of a preset table (after the report control's "No." column).
struct PresetColumn {
  std::string title;  // CP932
  int width = 0;      // pixels
};
inline constexpr int kPresetNumberColumnWidth = 28;  // "No."

// A preset file: the settings file's directory and section, its own name.
CSettingsStore PresetStore(const CAppState& app, const std::string& fileName);

// COUNT as stored, limited to 0 .. 20.
int ReadPresetCount(const CSettingsStore& store);

// "これ以上登録できません。..." with the list's caption, exclamation icon.
void TellPresetListFull(IUserInterface& ui, const std::string& caption);

// The delete button of a list dialog: asks about the selected row. False
// (after a message or on Cancel) when nothing is to be deleted.
bool ConfirmPresetDelete(IUserInterface& ui, std::optional<size_t> selected);

// A preset file that could not be written: "<file> を保存できませんでした。"
// with `caption` and an error icon, instead of a report of success.
void TellPresetSaveFailed(IUserInterface& ui, const CSettingsStore& store,
                          const std::string& caption);

// Caption of the messages that ask for a row.
std::string PresetSelectCaption();

}  // namespace qv
