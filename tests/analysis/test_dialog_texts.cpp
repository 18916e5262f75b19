#include <gtest/gtest.h>

#include "analysis/dialog_texts.h"
#include "data/codec.h"

namespace qv {
namespace {

TEST(AnalysisDialogTexts, CaptionsAndHalfWidthButtons) {
  EXPECT_EQ(GetVirtualCurrentDialogTexts().caption, Sj("バーチャルカーブの生成"));
  EXPECT_EQ(GetVirtualCurrentDialogTexts().cancel, "\xB7\xAC\xDD\xBE\xD9");  // ｷｬﾝｾﾙ
  EXPECT_EQ(GetSimulatorDialogTexts().caption, Sj("バーチャルカーブ シミュレーター"));
  EXPECT_EQ(GetEmfDialogTexts().caption, Sj("起電圧比較"));
  EXPECT_EQ(GetAvg3RangeDialogTexts().secondsFrom, Sj("秒 から"));
  // The prompt ends in a half-width full stop.
  const std::string prompt = GetPointDetailDialogTexts().menuPrompt;
  EXPECT_EQ(prompt.back(), '\xA1');
  EXPECT_EQ(PlotFontName(), "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E");
}

}  // namespace
}  // namespace qv
