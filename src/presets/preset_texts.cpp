#include "presets/preset_texts.h"

#include "data/codec.h"

namespace qv {

InputDefaultsDialogTexts GetInputDefaultsDialogTexts() {
  InputDefaultsDialogTexts t;
  t.caption = Sj("入力初期値の定義");
  t.description = Sj("計測データ欄が初期化された際、\n入力値欄へ下記の数値を初期代入します。");
  t.group = Sj("入力初期値");
  t.currentA = Sj("放電電流Ａ[A]");
  t.currentB = Sj("放電電流Ｂ[A]");
  t.currentC = Sj("放電電流Ｃ[A]");
  t.cells = Sj("セル数");
  t.endVoltage = Sj("終了電圧[V]");
  t.v1Point = Sj("V1測定点[秒]");
  t.cellItems = {"1", "4", "6", "8"};
  t.ok = "OK";
  t.cancel = Sj("ｷｬﾝｾﾙ");
  t.addToList = Sj("一覧に登録");
  t.chooseFromList = Sj("一覧から選択");
  return t;
}

InputPresetDialogTexts GetInputPresetDialogTexts() {
  return {Sj("入力初期値の一覧"), Sj("入力初期値に設定"), Sj("一覧から削除"), Sj("閉じる")};
}

GraphSettingsDialogTexts GetGraphSettingsDialogTexts() {
  GraphSettingsDialogTexts t;
  t.caption = Sj("グラフ表示設定");
  t.voltageGroup = Sj("縦軸（電圧）の設定");
  t.maximum = Sj("最大値(V)");
  t.minimum = Sj("最小値(V)");
  t.step = Sj("目盛り間隔(V)");
  t.showGrid = Sj("グリッドを表示");
  t.timeGroup = Sj("横軸（時間）の設定");
  t.timeStep = Sj("目盛り間隔");
  t.trackMinimum = Sj("最小");
  t.trackMaximum = Sj("最大");
  t.ok = "OK";
  t.cancel = Sj("ｷｬﾝｾﾙ");
  t.addToList = Sj("一覧に登録");
  t.chooseFromList = Sj("一覧から選択");
  return t;
}

GraphPresetDialogTexts GetGraphPresetDialogTexts() {
  return {Sj("グラフ表示設定の一覧"), Sj("表示設定にする"), Sj("一覧から削除"), Sj("閉じる")};
}

}  // namespace qv
