// What the input and graph preset lists share: the files beside the settings
// file, the 20-entry limit, the list itself (load, save, add, remove, comment
// edit) and the list dialogs' messages.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/settings_keys.h"
#include "core/settings_store.h"
#include "core/user_interface.h"

namespace qv {

class CAppState;

inline constexpr int kMaxPresets = 20;
// The entry count of a preset file, read into 0 .. 20.
inline constexpr keys::IntKey kPresetCount{.name = "COUNT", .min = 0, .max = kMaxPresets};

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

// The keys of the entry at one 1-based position: prefix, position, "_",
// name ("INP3_DISA", "GRA1_MEMO").
class PresetEntryKeys {
 public:
  PresetEntryKeys(const char* prefix, size_t position) : prefix_(prefix), position_(position) {}
  std::string operator()(const char* name) const;

 private:
  const char* prefix_;
  size_t position_;
};

// Keys and values written in one rewrite of a preset file, in order.
using PresetKeyValues = std::vector<std::pair<std::string, std::string>>;

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
// Caption of the "一覧に登録" report and of its failure.
std::string PresetAddCaption();
// Caption of a failed save after a deletion.
std::string PresetDeleteCaption();

// The list of one preset file. `Derived` names the file (kFileName), the key
// prefix (kKeyPrefix) and reads and writes one entry's keys:
//   static Entry ReadEntry(const CSettingsStore&, const PresetEntryKeys&);
//   static void WriteEntry(PresetKeyValues&, const PresetEntryKeys&, const Entry&);
// Every entry has a `comment`, kept under the key name "MEMO".
template <class Derived, class Entry>
class CPresetList {
 public:
  explicit CPresetList(CSettingsStore store) : store_(std::move(store)) {}

  // The list of the file beside the application's settings file, loaded.
  static Derived Open(const CAppState& app) {
    Derived list(PresetStore(app, Derived::kFileName));
    list.Load();
    return list;
  }

  // COUNT limited to 20; entries 1 .. COUNT (missing numbers read as 0).
  void Load() {
    entries_.clear();
    const int count = ReadPresetCount(store_);
    for (int i = 1; i <= count; ++i)
      entries_.push_back(Derived::ReadEntry(store_, Keys(static_cast<size_t>(i))));
  }

  // COUNT and the entries' keys in order, in one rewrite of the file; keys of
  // higher positions that an earlier, longer list left stay untouched.
  bool Save() {
    const size_t count = std::min(entries_.size(), static_cast<size_t>(kMaxPresets));
    PresetKeyValues kv;
    kv.emplace_back(kPresetCount, kPresetCount.Text(static_cast<int>(count)));
    for (size_t i = 0; i < count; ++i)
      Derived::WriteEntry(kv, Keys(i + 1), entries_[i]);
    return store_.SetMany(kv);
  }

  const std::vector<Entry>& Entries() const { return entries_; }
  bool IsFull() const { return entries_.size() >= static_cast<size_t>(kMaxPresets); }
  // False when the list is full.
  bool Add(const Entry& entry) {
    if (IsFull()) return false;
    entries_.push_back(entry);
    return true;
  }
  bool Remove(size_t index) {
    if (index >= entries_.size()) return false;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
  }
  // Stores a changed comment and writes its one key (<prefix><position>_MEMO)
  // at once. False when nothing changed.
  bool SetComment(size_t index, const std::string& comment) {
    if (index >= entries_.size() || entries_[index].comment == comment) return false;
    entries_[index].comment = comment;
    store_.Set(Keys(index + 1)("MEMO"), comment);
    return true;
  }

  // The selected entry, or nothing after `askText` (caption "データ選択",
  // information icon) when no row is selected.
  const Entry* Selected(IUserInterface& ui, std::optional<size_t> selected,
                        const std::string& askText) const {
    if (!selected || *selected >= entries_.size()) {
      ui.Tell(askText, PresetSelectCaption(), MsgIcon::kInformation);
      return nullptr;
    }
    return &entries_[*selected];
  }

  // "一覧から削除": asks, removes and saves. True when the entry was removed;
  // after a failed save the list shows what the file still holds.
  bool DeleteAsked(IUserInterface& ui, std::optional<size_t> selected) {
    if (selected && *selected >= entries_.size()) selected.reset();
    if (!ConfirmPresetDelete(ui, selected)) return false;
    Remove(*selected);
    if (!Save()) {
      TellPresetSaveFailed(ui, store_, PresetDeleteCaption());
      Load();
      return false;
    }
    return true;
  }

  const CSettingsStore& Store() const { return store_; }

 private:
  static PresetEntryKeys Keys(size_t position) {
    return PresetEntryKeys(Derived::kKeyPrefix, position);
  }

  CSettingsStore store_;
  std::vector<Entry> entries_;
};

// "一覧に登録" of a settings dialog: refuses a full list (`listCaption`),
// checks the fields with `check` (which shows its own message and gives the
// values or nothing), appends the values with an empty comment, saves and
// reports `doneText`. The list is read from its file first. True when an
// entry was added.
template <class List, class Check>
bool AddCheckedToPresetList(IUserInterface& ui, List list, const std::string& listCaption,
                            Check check, const std::string& doneText) {
  if (list.IsFull()) {
    TellPresetListFull(ui, listCaption);
    return false;
  }
  auto values = check();
  if (!values) return false;
  list.Add({*values, {}});
  if (!list.Save()) {
    TellPresetSaveFailed(ui, list.Store(), PresetAddCaption());
    return false;
  }
  ui.Tell(doneText, PresetAddCaption(), MsgIcon::kInformation);
  return true;
}

}  // namespace qv
