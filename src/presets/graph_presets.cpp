#include "presets/graph_presets.h"

#include <algorithm>

#include "core/numtext.h"
#include "core/settings_keys.h"
#include "data/codec.h"

namespace qv {
namespace {

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
  f.maxV = FixedText(settings.Value(keys::kGraphMaxV), 2);
  f.minV = FixedText(settings.Value(keys::kGraphMinV), 2);
  f.step = FixedText(settings.Value(keys::kGraphGapY), 2);
  f.grid = settings.Value(keys::kGraphGrid);
  f.trackPosition = TrackPositionForScale(settings.Value(keys::kGraphGapX));
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
  app.settings.SetValue(keys::kGraphMaxV, g->maxV, 2);
  app.settings.SetValue(keys::kGraphMinV, g->minV, 2);
  app.settings.SetValue(keys::kGraphGrid, g->grid);
  app.settings.SetValue(keys::kGraphGapX, g->gapX);
  app.settings.SetValue(keys::kGraphGapY, g->gapY, 2);
  return true;
}

std::string GridText(bool grid) {
  return grid ? Sj("あり") : Sj("なし");
}

std::string ScaleLevelText(int timeScale) {
  return IntText((timeScale - 1) / 2 + 1);
}

GraphPreset CGraphPresetList::ReadEntry(const CSettingsStore& store, const PresetEntryKeys& key) {
  GraphPreset e;
  e.values.maxV = store.GetDouble(key("MAXV"));
  e.values.minV = store.GetDouble(key("MINV"));
  e.values.grid = store.Get(key("GRID")) == "1";
  e.values.gapX = store.GetInt(key("GAPX"));
  e.values.gapY = store.GetDouble(key("GAPY"));
  e.comment = store.Get(key("MEMO"));
  return e;
}

void CGraphPresetList::WriteEntry(PresetKeyValues& kv, const PresetEntryKeys& key,
                                  const GraphPreset& e) {
  kv.emplace_back(key("MAXV"), FixedText(e.values.maxV, 6));
  kv.emplace_back(key("MINV"), FixedText(e.values.minV, 6));
  kv.emplace_back(key("GRID"), e.values.grid ? "1" : "0");
  kv.emplace_back(key("GAPX"), IntText(e.values.gapX));
  kv.emplace_back(key("GAPY"), FixedText(e.values.gapY, 6));
  kv.emplace_back(key("MEMO"), e.comment);
}

std::vector<PresetColumn> CGraphPresetList::Columns() {
  return {{Sj("最大電圧"), 60}, {Sj("最小電圧"), 60}, {Sj("目盛り幅"), 60},
          {Sj("グリッド"), 60}, {Sj("横軸幅"), 60},   {Sj("コメント"), 150}};
}

std::array<std::string, 6> CGraphPresetList::RowCells(size_t index) const {
  const GraphPreset& e = Entries().at(index);
  return {FixedText(e.values.maxV, 2), FixedText(e.values.minV, 2),   FixedText(e.values.gapY, 2),
          GridText(e.values.grid),     ScaleLevelText(e.values.gapX), e.comment};
}

bool AddGraphFieldsToList(CAppState& app, IUserInterface& ui, const GraphSettingsFields& fields) {
  return AddCheckedToPresetList(
      ui, CGraphPresetList::Open(app), Sj("グラフ表示設定一覧"),
      [&] { return CheckGraphFields(ui, fields); },
      Sj("各入力項目の値を、グラフ表示設定一覧に登録しました。"));
}

std::optional<GraphPreset> ChooseGraphPreset(IUserInterface& ui, const CGraphPresetList& list,
                                             std::optional<size_t> selected) {
  const GraphPreset* entry =
      list.Selected(ui, selected, Sj("表示設定にするデータを選択してください。"));
  if (!entry) return std::nullopt;
  return *entry;
}

bool DeleteGraphPreset(IUserInterface& ui, CGraphPresetList& list, std::optional<size_t> selected) {
  return list.DeleteAsked(ui, selected);
}

}  // namespace qv
