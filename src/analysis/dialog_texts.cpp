#include "analysis/dialog_texts.h"

#include "data/codec.h"

namespace qv {

VirtualCurrentDialogTexts GetVirtualCurrentDialogTexts() {
  return {
      Sj("バーチャルカーブの生成"),
      Sj("選択したデータを元に、放電電流を増加させた場合の仮想放電データを計算により生成します。"),
      Sj("仮想放電電流[A]"),
      Sj("※生成されるバーチャルカーブは、計算上の仮想データです。"
         "実測値とは異なりますのであくまで参考として扱ってください。"),
      "OK",
      Sj("ｷｬﾝｾﾙ"),
  };
}

SimulatorDialogTexts GetSimulatorDialogTexts() {
  return {
      Sj("バーチャルカーブ シミュレーター"),
      Sj("参照中のそれぞれのデータに関して、仮想放電曲線をシミュレート表示します。"),
      Sj("（※放電電流A～Cが一定でないデータ、内部抵抗値やPIRが0以下のデータについては表示しませ"
         "ん。）"),
      Sj("仮想放電電流[A]"),
      Sj("閉じる"),
  };
}

EmfDialogTexts GetEmfDialogTexts() {
  return {
      Sj("起電圧比較"),
      Sj("参照中のそれぞれのデータに関して、起電圧を表示します。\n\n"
         "（※値は1セル当たりに換算した、放電時間120秒時点のものです。"
         "なお、内部抵抗値やPIRが0以下のデータ、および120秒付近のデータが抜けている場合については"
         "表示しません。）"),
      Sj("閉じる"),
  };
}

PointDetailDialogTexts GetPointDetailDialogTexts() {
  return {
      Sj("詳細情報"),
      Sj("経過時間[秒]"),
      Sj("閉じる"),
      Sj("詳細情報"),
      Sj("この点における情報を表示します｡"),
  };
}

Avg3RangeDialogTexts GetAvg3RangeDialogTexts() {
  return {
      Sj("平均電圧3の範囲"),
      Sj("データ項目 「 平均電圧3 」 を計算するための、時間範囲を指定してください。"),
      Sj("平均電圧3の対象範囲"),
      Sj("放電時間"),
      Sj("秒 から"),
      Sj("秒"),
      "OK",
      Sj("ｷｬﾝｾﾙ"),
  };
}

std::string PlotFontName() {
  return Sj("ＭＳ ゴシック");
}

}  // namespace qv
