#include "presets/graph_presets.h"

#include <algorithm>

#include "app/core/numtext.h"
#include "data/codec.h"

namespace qv {
namespace {

std::string Key(const char* name, size_t position) {
  return "GRA" + IntText(static_cast<long long>(position)) + "_" + name;
}

// The main window's title, the caption of the settings checks.
std::string MainTitle() {
  return "Quorvex";
}

}  // namespace

int TrackPositionForScale(int timeScale) {
  return std::clamp((timeScale - 1) / 2, 0, kTrackPositionMax);
}

int ScaleForTrackPosition(int position) {
  return 2 * std::clamp(position, 0, kTrackPositionMax) + 1;
}

GraphSettingsFields GraphSettingsOpen(const CSettingsStore& settings) {
  GraphSettingsFields f;
  f.maxV = FixedText(settings.GetDouble("GRAPH_MAXV"), 2);
  f.minV = FixedText(settings.GetDouble("GRAPH_MINV"), 2);
  f.step = FixedText(settings.GetDouble("GRAPH_GAPY"), 2);
  f.grid = settings.Get("GRAPH_GRID") != "0";
  f.trackPosition = TrackPositionForScale(settings.GetInt("GRAPH_GAPX"));
  return f;
}

GraphSettingsFields GraphFieldsFrom(const GraphSettings& values) {
  GraphSettingsFields f;
  f.maxV = FixedText(values.maxV, 2);
  f.minV = FixedText(values.minV, 2);
  f.step = FixedText(values.gapY, 2);
  f.grid = values.grid;
  f.trackPosition = TrackPositionForScale(values.gapX);
  return f;
}

std::optional<GraphSettings> CheckGraphFields(IUserInterface& ui,
                                              const GraphSettingsFields& fields) {
  GraphSettings g;
  g.maxV = RoundDecimal(AtoF(fields.maxV), 2);
  g.minV = RoundDecimal(AtoF(fields.minV), 2);
  g.gapY = RoundDecimal(AtoF(fields.step), 2);
  g.grid = fields.grid;
  g.gapX = ScaleForTrackPosition(fields.trackPosition);

  auto refuse = [&ui](const char* text) {
    ui.Tell(Sj(text), MainTitle(), MsgIcon::kWarning);
    return std::nullopt;
  };
  auto outside = [](double v, double lo, double hi) { return !(v >= lo && v <= hi); };
  if (!(g.maxV > g.minV)) return refuse("最大、最小の入力値が不正です。");
  if (outside(g.maxV, 0.5, 15.0)) return refuse("最大値は、0.50～15.00 の範囲で設定してください。");
  if (outside(g.minV, 0.0, 14.5)) return refuse("最小値は、0.00～14.50 の範囲で設定してください。");
  if (outside(g.gapY, 0.05, 2.0)) {
    return refuse("グリッド間隔は、0.05～2.00 の範囲で設定してください。");
  }
  return g;
}

bool AcceptGraphSettings(CAppState& app, IUserInterface& ui, const GraphSettingsFields& fields) {
  const std::optional<GraphSettings> g = CheckGraphFields(ui, fields);
  if (!g) return false;
  app.graph = *g;
  app.settings.Set("GRAPH_MAXV", FixedText(g->maxV, 2));
  app.settings.Set("GRAPH_MINV", FixedText(g->minV, 2));
  app.settings.Set("GRAPH_GRID", g->grid ? "1" : "0");
  app.settings.SetInt("GRAPH_GAPX", g->gapX);
  app.settings.Set("GRAPH_GAPY", FixedText(g->gapY, 2));
  return true;
}

std::string GridText(bool grid) {
  return grid ? Sj("あり") : Sj("なし");
}

std::string ScaleLevelText(int timeScale) {
  return IntText((timeScale - 1) / 2 + 1);
}

CGraphPresetList CGraphPresetList::Open(const CAppState& app) {
  CGraphPresetList list(PresetStore(app, kGraphPresetFile));
  list.Load();
  return list;
}

void CGraphPresetList::Load() {
  entries_.clear();
  const int count = ReadPresetCount(store_);
  for (int i = 1; i <= count; ++i) {
    const size_t pos = static_cast<size_t>(i);
    GraphPreset e;
    e.values.maxV = store_.GetDouble(Key("MAXV", pos));
    e.values.minV = store_.GetDouble(Key("MINV", pos));
    e.values.grid = store_.Get(Key("GRID", pos)) == "1";
    e.values.gapX = store_.GetInt(Key("GAPX", pos));
    e.values.gapY = store_.GetDouble(Key("GAPY", pos));
    e.comment = store_.Get(Key("MEMO", pos));
    entries_.push_back(std::move(e));
  }
}

bool CGraphPresetList::Save() const {
  const size_t count = std::min(entries_.size(), static_cast<size_t>(kMaxPresets));
  // One rewrite of the file for the whole list.
  std::vector<std::pair<std::string, std::string>> kv;
  kv.emplace_back("COUNT", IntText(static_cast<long long>(count)));
  for (size_t i = 0; i < count; ++i) {
    const GraphPreset& e = entries_[i];
    const size_t pos = i + 1;
    kv.emplace_back(Key("MAXV", pos), FixedText(e.values.maxV, 6));
    kv.emplace_back(Key("MINV", pos), FixedText(e.values.minV, 6));
    kv.emplace_back(Key("GRID", pos), e.values.grid ? "1" : "0");
    kv.emplace_back(Key("GAPX", pos), IntText(e.values.gapX));
    kv.emplace_back(Key("GAPY", pos), FixedText(e.values.gapY, 6));
    kv.emplace_back(Key("MEMO", pos), e.comment);
  }
  return store_.SetMany(kv);
}

bool CGraphPresetList::Add(const GraphPreset& entry) {
  if (IsFull()) return false;
  entries_.push_back(entry);
  return true;
}

bool CGraphPresetList::Remove(size_t index) {
  if (index >= entries_.size()) return false;
  entries_.erase(entries_.begin() + static_cast<long>(index));
  return true;
}

bool CGraphPresetList::SetComment(size_t index, const std::string& comment) {
  if (index >= entries_.size() || entries_[index].comment == comment) return false;
  entries_[index].comment = comment;
  store_.Set(Key("MEMO", index + 1), comment);
  return true;
}

std::vector<PresetColumn> CGraphPresetList::Columns() {
  return {{Sj("最大電圧"), 60}, {Sj("最小電圧"), 60}, {Sj("目盛り幅"), 60},
          {Sj("グリッド"), 60}, {Sj("横軸幅"), 60},   {Sj("コメント"), 150}};
}

std::array<std::string, 6> CGraphPresetList::RowCells(size_t index) const {
  const GraphPreset& e = entries_.at(index);
  return {FixedText(e.values.maxV, 2), FixedText(e.values.minV, 2),   FixedText(e.values.gapY, 2),
          GridText(e.values.grid),     ScaleLevelText(e.values.gapX), e.comment};
}

bool AddGraphFieldsToList(CAppState& app, IUserInterface& ui, const GraphSettingsFields& fields) {
  CGraphPresetList list = CGraphPresetList::Open(app);
  if (list.IsFull()) {
    TellPresetListFull(ui, Sj("グラフ表示設定一覧"));
    return false;
  }
  const std::optional<GraphSettings> g = CheckGraphFields(ui, fields);
  if (!g) return false;
  list.Add({*g, {}});
  if (!list.Save()) {
    TellPresetSaveFailed(ui, list.Store(), Sj("一覧に登録"));
    return false;
  }
  ui.Tell(Sj("各入力項目の値を、グラフ表示設定一覧に登録しました。"), Sj("一覧に登録"),
          MsgIcon::kInformation);
  return true;
}

std::optional<GraphPreset> ChooseGraphPreset(IUserInterface& ui, const CGraphPresetList& list,
                                             std::optional<size_t> selected) {
  if (!selected || *selected >= list.Entries().size()) {
    ui.Tell(Sj("表示設定にするデータを選択してください。"), PresetSelectCaption(),
            MsgIcon::kInformation);
    return std::nullopt;
  }
  return list.Entries()[*selected];
}

bool DeleteGraphPreset(IUserInterface& ui, CGraphPresetList& list, std::optional<size_t> selected) {
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
