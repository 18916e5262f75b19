#include "presets/preset_common.h"

#include "core/app_state.h"
#include "data/codec.h"

namespace qv {

CSettingsStore PresetStore(const CAppState& app, const std::string& fileName) {
  return CSettingsStore(app.settings.Directory(), fileName, app.settings.Section());
}

int ReadPresetCount(const CSettingsStore& store) {
  return store.Value(kPresetCount);
}

std::string PresetEntryKeys::operator()(const char* name) const {
  return prefix_ + std::to_string(position_) + "_" + name;
}

void TellPresetListFull(IUserInterface& ui, const std::string& caption) {
  ui.Tell(Sj("これ以上登録できません。\n\n(最大登録数は20個までです。）"), caption,
          MsgIcon::kWarning);
}

void TellPresetSaveFailed(IUserInterface& ui, const CSettingsStore& store,
                          const std::string& caption) {
  ui.Tell(store.FileName() + Sj(" を保存できませんでした。"), caption, MsgIcon::kError);
}

std::string PresetSelectCaption() {
  return Sj("データ選択");
}

std::string PresetAddCaption() {
  return Sj("一覧に登録");
}

std::string PresetDeleteCaption() {
  return Sj("データ削除");
}

bool ConfirmPresetDelete(IUserInterface& ui, std::optional<size_t> selected) {
  if (!selected) {
    ui.Tell(Sj("削除するデータを選択してください。"), PresetSelectCaption(), MsgIcon::kInformation);
    return false;
  }
  Message ask{
      Sj("選択したデータを削除してよろしいですか？\n\n（削除したデータは元に戻せません。）"),
      PresetDeleteCaption(), MsgIcon::kQuestion, MsgButtons::kOkCancel, std::nullopt};
  return ui.ShowMessage(ask) == MsgResult::kOk;
}

}  // namespace qv
