#include "presets/input_presets.h"

#include <algorithm>

#include "app/core/app_state.h"
#include "app/core/numtext.h"
#include "data/codec.h"

namespace qv {
namespace {

std::string Key(const char* name, size_t position) {
  return "INP" + IntText(static_cast<long long>(position)) + "_" + name;
}

int FloorHundred(int v) {
  return v / 100 * 100;
}

}  // namespace

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
  in.v1Point = FloorHundred(AtoI(fields.v1Point));

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
  app.settings.Set("DATA_DEF_DISA", FixedText(in->currentA, 1));
  app.settings.Set("DATA_DEF_DISB", FixedText(in->currentB, 1));
  app.settings.Set("DATA_DEF_DISC", FixedText(in->currentC, 1));
  app.settings.SetInt("DATA_DEF_CELL", in->cells);
  app.settings.Set("DATA_DEF_CUTV", FixedText(in->endVoltage, 1));
  app.settings.SetInt("DATA_DEF_APO1", in->v1Point);
  return *in == atOpening ? InputDefaultsOutcome::kUnchanged : InputDefaultsOutcome::kChanged;
}

CInputPresetList CInputPresetList::Open(const CAppState& app) {
  CInputPresetList list(PresetStore(app, kInputPresetFile));
  list.Load();
  return list;
}

void CInputPresetList::Load() {
  entries_.clear();
  const int count = ReadPresetCount(store_);
  for (int i = 1; i <= count; ++i) {
    const size_t pos = static_cast<size_t>(i);
    InputPreset e;
    e.values.currentA = store_.GetDouble(Key("DISA", pos));
    e.values.currentB = store_.GetDouble(Key("DISB", pos));
    e.values.currentC = store_.GetDouble(Key("DISC", pos));
    e.values.cells = store_.GetInt(Key("CELL", pos));
    e.values.endVoltage = store_.GetDouble(Key("CUTV", pos));
    e.values.v1Point = FloorHundred(store_.GetInt(Key("APO1", pos)));
    e.comment = store_.Get(Key("MEMO", pos));
    entries_.push_back(std::move(e));
  }
}

bool CInputPresetList::Save() const {
  const size_t count = std::min(entries_.size(), static_cast<size_t>(kMaxPresets));
  // One rewrite of the file for the whole list.
  std::vector<std::pair<std::string, std::string>> kv;
  kv.emplace_back("COUNT", IntText(static_cast<long long>(count)));
  for (size_t i = 0; i < count; ++i) {
    const InputPreset& e = entries_[i];
    const size_t pos = i + 1;
    kv.emplace_back(Key("DISA", pos), FixedText(e.values.currentA, 6));
    kv.emplace_back(Key("DISB", pos), FixedText(e.values.currentB, 6));
    kv.emplace_back(Key("DISC", pos), FixedText(e.values.currentC, 6));
    kv.emplace_back(Key("CELL", pos), IntText(e.values.cells));
    kv.emplace_back(Key("CUTV", pos), FixedText(e.values.endVoltage, 6));
    kv.emplace_back(Key("APO1", pos), IntText(e.values.v1Point));
    kv.emplace_back(Key("MEMO", pos), e.comment);
  }
  return store_.SetMany(kv);
}

bool CInputPresetList::Add(const InputPreset& entry) {
  if (IsFull()) return false;
  entries_.push_back(entry);
  return true;
}

bool CInputPresetList::Remove(size_t index) {
  if (index >= entries_.size()) return false;
  entries_.erase(entries_.begin() + static_cast<long>(index));
  return true;
}

bool CInputPresetList::SetComment(size_t index, const std::string& comment) {
  if (index >= entries_.size() || entries_[index].comment == comment) return false;
  entries_[index].comment = comment;
  store_.Set(Key("MEMO", index + 1), comment);
  return true;
}

std::vector<PresetColumn> CInputPresetList::Columns() {
  return {{Sj("放電電流A"), 68}, {Sj("放電電流B"), 68}, {Sj("放電電流C"), 68}, {Sj("セル数"), 44},
          {Sj("終了電圧"), 60},  {Sj("V1測定点"), 62},  {Sj("コメント"), 158}};
}

std::array<std::string, 7> CInputPresetList::RowCells(size_t index) const {
  const InputPreset& e = entries_.at(index);
  return {FixedText(e.values.currentA, 1),
          FixedText(e.values.currentB, 1),
          FixedText(e.values.currentC, 1),
          IntText(e.values.cells),
          FixedText(e.values.endVoltage, 1),
          IntText(e.values.v1Point),
          e.comment};
}

bool AddInputFieldsToList(CAppState& app, IUserInterface& ui, const InputDefaultsFields& fields) {
  CInputPresetList list = CInputPresetList::Open(app);
  if (list.IsFull()) {
    TellPresetListFull(ui, Sj("入力初期値一覧"));
    return false;
  }
  const std::optional<InputConditions> in = CheckInputFields(ui, fields);
  if (!in) return false;
  list.Add({*in, {}});
  if (!list.Save()) {
    TellPresetSaveFailed(ui, list.Store(), Sj("一覧に登録"));
    return false;
  }
  ui.Tell(Sj("現在の各入力項目の値を、入力初期値一覧に登録しました。"), Sj("一覧に登録"),
          MsgIcon::kInformation);
  return true;
}

bool SetInputPresetAsDefaults(CAppState& app, IUserInterface& ui, const CInputPresetList& list,
                              std::optional<size_t> selected) {
  if (!selected || *selected >= list.Entries().size()) {
    ui.Tell(Sj("入力初期値に設定するデータを選択してください。"), PresetSelectCaption(),
            MsgIcon::kInformation);
    return false;
  }
  app.inputs = list.Entries()[*selected].values;
  return true;
}

bool DeleteInputPreset(IUserInterface& ui, CInputPresetList& list, std::optional<size_t> selected) {
  if (selected && *selected >= list.Entries().size()) selected.reset();
  if (!ConfirmPresetDelete(ui, selected)) return false;
  list.Remove(*selected);
  if (!list.Save()) {
    // Show what the file still holds rather than a deletion that did not happen.
    TellPresetSaveFailed(ui, list.Store(), Sj("データ削除"));
    list.Load();
    return false;
  }
  return true;
}

}  // namespace qv
