#include <gtest/gtest.h>

#include "core/app_state.h"
#include "data/codec.h"
#include "preset_test_util.h"
#include "presets/graph_presets.h"
#include "support/test_support.h"

namespace qv::test {
namespace {

class GraphSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { app.settings.SetDirectory(dir.path()); }

  static GraphSettingsFields Fields(std::string max = "12.00", std::string min = "0.00",
                                    std::string step = "1.00", int position = 0) {
    return {max, min, step, false, position};
  }

  TempDir dir;
  CAppState app;
  FakeUi ui;
};

TEST_F(GraphSettingsTest, TrackPositionAndTimeScale) {
  EXPECT_EQ(TrackPositionForScale(1), 0);
  EXPECT_EQ(TrackPositionForScale(3), 1);
  EXPECT_EQ(TrackPositionForScale(4), 1);
  EXPECT_EQ(TrackPositionForScale(9), 4);
  EXPECT_EQ(TrackPositionForScale(0), 0);
  EXPECT_EQ(TrackPositionForScale(30), 4);  // the track bar's range
  EXPECT_EQ(ScaleForTrackPosition(0), 1);
  EXPECT_EQ(ScaleForTrackPosition(4), 9);
}

TEST_F(GraphSettingsTest, FileScaleFourShowsPositionOneAndIsStoredAsThree) {
  WriteFile(
      dir.File("Dis.ini"),
      "[QUORVEX]\nGRAPH_MAXV=9.5\nGRAPH_MINV=5\nGRAPH_GRID=0\nGRAPH_GAPX=4\nGRAPH_GAPY=0.5\n");
  GraphSettingsFields f = GraphSettingsOpen(app.settings);
  EXPECT_EQ(f, (GraphSettingsFields{"9.50", "5.00", "0.50", false, 1}));
  ASSERT_TRUE(AcceptGraphSettings(app, ui, f));
  EXPECT_EQ(app.graph.gapX, 3);
  EXPECT_EQ(app.settings.Get("GRAPH_GAPX"), "3");
}

TEST_F(GraphSettingsTest, MissingGridKeyOpensWithTheGridOn) {
  EXPECT_TRUE(GraphSettingsOpen(app.settings).grid);
  EXPECT_EQ(GraphSettingsOpen(app.settings).maxV, "0.00");
}

TEST_F(GraphSettingsTest, WritesTheFiveKeysInOrder) {
  GraphSettingsFields f = Fields("12.004", "0", "0.5", 4);
  f.grid = true;
  ASSERT_TRUE(AcceptGraphSettings(app, ui, f));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_DOUBLE_EQ(app.graph.maxV, 12.0);
  EXPECT_DOUBLE_EQ(app.graph.gapY, 0.5);
  EXPECT_TRUE(app.graph.grid);
  EXPECT_EQ(app.graph.gapX, 9);
  EXPECT_EQ(ReadFile(dir.File("Dis.ini")),
            "[QUORVEX]\r\nGRAPH_MAXV=12.00\r\nGRAPH_MINV=0.00\r\nGRAPH_GRID=1\r\nGRAPH_GAPX=9\r\n"
            "GRAPH_GAPY=0.50\r\n");
}

TEST_F(GraphSettingsTest, ChecksInOrderWithTheMainTitleAsCaption) {
  struct Case {
    GraphSettingsFields fields;
    const char* text;
  };
  const char* order = "最大、最小の入力値が不正です。";
  const char* max = "最大値は、0.50～15.00 の範囲で設定してください。";
  const char* min = "最小値は、0.00～14.50 の範囲で設定してください。";
  const char* step = "グリッド間隔は、0.05～2.00 の範囲で設定してください。";
  const Case cases[] = {
      {Fields("5.00", "5.00", "9"), order},  // the first failure only
      {Fields("5.004", "5.00"), order},      // rounded before the check
      {Fields("15.01", "0.00"), max},       {Fields("15.006", "0.00"), max},
      {Fields("0.49", "-1"), max},          {Fields("12", "-0.01"), min},
      {Fields("15.00", "14.51"), min},      {Fields("12", "0", "0.044"), step},
      {Fields("12", "0", "2.01"), step},    {Fields("abc", "0"), order},
  };
  for (const Case& c : cases) {
    ui.messages.clear();
    EXPECT_FALSE(AcceptGraphSettings(app, ui, c.fields)) << c.fields.maxV;
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, Sj(c.text)) << c.fields.maxV << " " << c.fields.minV;
    EXPECT_EQ(ui.messages[0].caption, "Quorvex");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::kWarning);
  }
  EXPECT_FALSE(FileExists(dir.File("Dis.ini")));
  EXPECT_TRUE(AcceptGraphSettings(app, ui, Fields("15.00", "14.50", "0.046")));
  EXPECT_DOUBLE_EQ(app.graph.gapY, 0.05);
  EXPECT_TRUE(AcceptGraphSettings(app, ui, Fields("15.004", "14.504", "2.004")));
}

// --- The preset list ------------------------------------------------------------

class GraphPresetTest : public GraphSettingsTest {
 protected:
  std::string PresetPath() { return dir.File("Graset.ini"); }

  void WritePresets(int count, int entries) {
    WritePresetFile(PresetPath(), count, entries, [](const std::string& n) {
      const int i = std::stoi(n);
      return "GRA" + n + "_MAXV=" + n + ".000000\nGRA" + n + "_MINV=0.500000\nGRA" + n +
             "_GRID=" + (i % 2 ? "1" : "yes") + "\nGRA" + n + "_GAPX=" + std::to_string(i % 10) +
             "\nGRA" + n + "_GAPY=0.250000\nGRA" + n + "_MEMO=memo" + n + "\n";
    });
  }
};

TEST_F(GraphPresetTest, LoadsAtMostTwentyAndSavesCountTwenty) {
  WritePresets(25, 25);
  CGraphPresetList list = CGraphPresetList::Open(app);
  EXPECT_EQ(list.Store().Path(), dir.path() + "/Graset.ini");
  ASSERT_EQ(list.Entries().size(), 20u);
  EXPECT_TRUE(list.Entries()[0].values.grid);
  EXPECT_FALSE(list.Entries()[1].values.grid);  // only "1" is on
  EXPECT_EQ(list.Entries()[2].values.gapX, 3);
  EXPECT_EQ(list.RowCells(2),
            (std::array<std::string, 6>{"3.00", "0.50", "0.25", Sj("あり"), "2", "memo3"}));
  EXPECT_EQ(list.RowCells(1)[3], Sj("なし"));
  ASSERT_TRUE(list.Save());
  EXPECT_EQ(list.Store().Get("COUNT"), "20");
  EXPECT_EQ(list.Store().Get("GRA21_MEMO"), "memo21");
  WritePresets(30, 0);
  EXPECT_EQ(CGraphPresetList::Open(app).Entries().size(), 20u);
}

TEST_F(GraphPresetTest, ScaleLevelTexts) {
  EXPECT_EQ(ScaleLevelText(1), "1");
  EXPECT_EQ(ScaleLevelText(3), "2");
  EXPECT_EQ(ScaleLevelText(9), "5");
  EXPECT_EQ(GridText(true), "\x82\xA0\x82\xE8");  // あり
}

TEST_F(GraphPresetTest, AddsTheCheckedFieldsInKeyOrder) {
  GraphSettingsFields f = Fields("9", "5", "0.5", 1);
  f.grid = true;
  const GraphSettings before = app.graph;
  EXPECT_TRUE(AddGraphFieldsToList(app, ui, f));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, Sj("各入力項目の値を、グラフ表示設定一覧に登録しました。"));
  EXPECT_EQ(ui.messages[0].caption, Sj("一覧に登録"));
  EXPECT_EQ(app.graph, before);
  EXPECT_EQ(ReadFile(PresetPath()),
            "[QUORVEX]\r\nCOUNT=1\r\nGRA1_MAXV=9.000000\r\nGRA1_MINV=5.000000\r\nGRA1_GRID=1\r\n"
            "GRA1_GAPX=3\r\nGRA1_GAPY=0.500000\r\nGRA1_MEMO=\r\n");
}

TEST_F(GraphPresetTest, TheTwentyFirstEntryIsRefused) {
  WritePresets(20, 20);
  EXPECT_FALSE(AddGraphFieldsToList(app, ui, Fields()));
  ExpectListFullRefusal(ui, "グラフ表示設定一覧");
  EXPECT_EQ(CGraphPresetList::Open(app).Entries().size(), 20u);
}

TEST_F(GraphPresetTest, DeletingEntryTwoOfThreeLeavesTheOldKeys) {
  WritePresets(3, 3);
  CGraphPresetList list = CGraphPresetList::Open(app);
  EXPECT_TRUE(DeleteGraphPreset(ui, list, 1));
  ASSERT_EQ(ui.messages.size(), 1u);
  ExpectDeleteQuestion(ui.messages[0]);
  ExpectSecondOfThreeDeleted(
      list.Store(),
      {{"GRA2_MAXV", "3.000000"}, {"GRA2_GRID", "1"}, {"GRA2_GAPX", "3"}, {"GRA2_MEMO", "memo3"}},
      {{"GRA3_MAXV", "3.000000"}});
  EXPECT_EQ(CGraphPresetList::Open(app).Entries().size(), 2u);
}

TEST_F(GraphPresetTest, ChoosingAnEntryFillsTheFields) {
  WritePresets(2, 2);
  CGraphPresetList list = CGraphPresetList::Open(app);
  EXPECT_FALSE(ChooseGraphPreset(ui, list, std::nullopt));
  ExpectMessage(ui.messages[0], "表示設定にするデータを選択してください。", "データ選択",
                MsgIcon::kInformation);
  std::optional<GraphPreset> chosen = ChooseGraphPreset(ui, list, 0);
  ASSERT_TRUE(chosen);
  GraphSettingsFields f = GraphFieldsFrom(chosen->values);
  EXPECT_EQ(f, (GraphSettingsFields{"1.00", "0.50", "0.25", true, 0}));
  ASSERT_TRUE(AcceptGraphSettings(app, ui, f));
  EXPECT_EQ(app.settings.Get("GRAPH_MAXV"), "1.00");
}

TEST_F(GraphPresetTest, CommentEditWritesOneKey) {
  WritePresets(2, 2);
  CGraphPresetList list = CGraphPresetList::Open(app);
  EXPECT_TRUE(list.SetComment(0, "x"));
  EXPECT_EQ(list.Store().Get("GRA1_MEMO"), "x");
  EXPECT_EQ(list.Store().Get("COUNT"), "2");
  EXPECT_FALSE(CGraphPresetList::CanEditColumn(0));
  EXPECT_TRUE(CGraphPresetList::CanEditColumn(5));
}

}  // namespace
}  // namespace qv::test
