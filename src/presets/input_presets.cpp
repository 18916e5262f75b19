#include "presets/input_presets.h"

#include <algorithm>

#include "core/app_state.h"
#include "core/numtext.h"
#include "core/settings_keys.h"
#include "data/codec.h"

namespace qv {

InputDefaultsFields InputDefaultsOpen(const InputConditions& in) {
  InputDefaultsFields f;
  f.currentA = FixedText(in.currentA, 1);
  f.currentB = FixedText(in.currentB, 1);
  f.currentC = FixedText(in.currentC, 1);
  if (std::find(kCellItems.begin(), kCellItems.end(), in.cells) != kCellItems.end()) {
    f.cells = IntText(in.cells);
  }
  f.endVoltage = FixedText(in.endVoltage, 1);
  f.v1Point = IntText(in.v1Point);
  return f;
}

std::string EndVoltageForCells(std::string_view cellItem) {
  return FixedText(AtoI(cellItem), 1);
}

std::optional<InputConditions> CheckInputFields(IUserInterface& ui,
                                                const InputDefaultsFields& fields) {
  InputConditions in;
  in.currentA = RoundDecimal(AtoF(fields.currentA), 1);
  in.currentB = RoundDecimal(AtoF(fields.currentB), 1);
  in.currentC = RoundDecimal(AtoF(fields.currentC), 1);
  in.cells = AtoI(fields.cells);
  in.endVoltage = RoundDecimal(AtoF(fields.endVoltage), 1);
  in.v1Point = keys::kDefV1Point.From(fields.v1Point);  // whole hundreds

  const std::string caption = Sj("設定値入力範囲");
  auto outside = [](double v, double lo, double hi) { return !(v >= lo && v <= hi); };
  if (outside(in.currentA, 0.0, 35.0) || outside(in.currentB, 0.0, 35.0) ||
      outside(in.currentC, 0.0, 35.0)) {
    ui.Tell(Sj("放電電流は、0.0 ～ 35.0 の範囲で値を設定してください。"), caption,
            MsgIcon::kWarning);
    return std::nullopt;
  }
  if (outside(in.endVoltage, 0.0, 8.0)) {
    ui.Tell(Sj("終了電圧は、0.0 ～ 8.0 の範囲で値を設定してください。"), caption,
            MsgIcon::kWarning);
    return std::nullopt;
  }
  if (in.v1Point < 100 || in.v1Point > 3600) {
    ui.Tell(Sj("V1測定点は、100 ～ 3600 の範囲で値を設定してください。"), caption,
            MsgIcon::kWarning);
    return std::nullopt;
  }
  return in;
}

InputDefaultsOutcome AcceptInputDefaults(CAppState& app, IUserInterface& ui,
                                         const InputDefaultsFields& fields,
                                         InputConditions atOpening) {
  const std::optional<InputConditions> in = CheckInputFields(ui, fields);
  if (!in) return InputDefaultsOutcome::kStayOpen;
  app.inputs = *in;
  app.settings.SetValue(keys::kDefCurrentA, in->currentA, 1);
  app.settings.SetValue(keys::kDefCurrentB, in->currentB, 1);
  app.settings.SetValue(keys::kDefCurrentC, in->currentC, 1);
  app.settings.SetValue(keys::kDefCells, in->cells);
  app.settings.SetValue(keys::kDefEndVoltage, in->endVoltage, 1);
  app.settings.SetValue(keys::kDefV1Point, in->v1Point);
  return *in == atOpening ? InputDefaultsOutcome::kUnchanged : InputDefaultsOutcome::kChanged;
}

InputPreset CInputPresetList::ReadEntry(const CSettingsStore& store, const PresetEntryKeys& key) {
  InputPreset e;
  e.values.currentA = store.GetDouble(key("DISA"));
  e.values.currentB = store.GetDouble(key("DISB"));
  e.values.currentC = store.GetDouble(key("DISC"));
  e.values.cells = store.GetInt(key("CELL"));
  e.values.endVoltage = store.GetDouble(key("CUTV"));
  e.values.v1Point = keys::kDefV1Point.From(store.Get(key("APO1")));  // as DATA_DEF_APO1
  e.comment = store.Get(key("MEMO"));
  return e;
}

void CInputPresetList::WriteEntry(PresetKeyValues& kv, const PresetEntryKeys& key,
                                  const InputPreset& e) {
  kv.emplace_back(key("DISA"), FixedText(e.values.currentA, 6));
  kv.emplace_back(key("DISB"), FixedText(e.values.currentB, 6));
  kv.emplace_back(key("DISC"), FixedText(e.values.currentC, 6));
  kv.emplace_back(key("CELL"), IntText(e.values.cells));
  kv.emplace_back(key("CUTV"), FixedText(e.values.endVoltage, 6));
  kv.emplace_back(key("APO1"), IntText(e.values.v1Point));
  kv.emplace_back(key("MEMO"), e.comment);
}

std::vector<PresetColumn> CInputPresetList::Columns() {
  return {{Sj("放電電流A"), 68}, {Sj("放電電流B"), 68}, {Sj("放電電流C"), 68}, {Sj("セル数"), 44},
          {Sj("終了電圧"), 60},  {Sj("V1測定点"), 62},  {Sj("コメント"), 158}};
}

std::array<std::string, 7> CInputPresetList::RowCells(size_t index) const {
  const InputPreset& e = Entries().at(index);
  return {FixedText(e.values.currentA, 1),
          FixedText(e.values.currentB, 1),
          FixedText(e.values.currentC, 1),
          IntText(e.values.cells),
          FixedText(e.values.endVoltage, 1),
          IntText(e.values.v1Point),
          e.comment};
}

bool AddInputFieldsToList(CAppState& app, IUserInterface& ui, const InputDefaultsFields& fields) {
  return AddCheckedToPresetList(
      ui, CInputPresetList::Open(app), Sj("入力初期値一覧"),
      [&] { return CheckInputFields(ui, fields); },
      Sj("現在の各入力項目の値を、入力初期値一覧に登録しました。"));
}

bool SetInputPresetAsDefaults(CAppState& app, IUserInterface& ui, const CInputPresetList& list,
                              std::optional<size_t> selected) {
  const InputPreset* entry =
      list.Selected(ui, selected, Sj("入力初期値に設定するデータを選択してください。"));
  if (!entry) return false;
  app.inputs = entry->values;
  return true;
}

bool DeleteInputPreset(IUserInterface& ui, CInputPresetList& list, std::optional<size_t> selected) {
  return list.DeleteAsked(ui, selected);
}

}  // namespace qv
