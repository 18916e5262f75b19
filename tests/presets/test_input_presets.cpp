#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/app_state.h"
#include "data/codec.h"
#include "data/doc_commands.h"
#include "data/document.h"
#include "preset_test_util.h"
#include "presets/graph_presets.h"
#include "presets/input_presets.h"
#include "presets/preset_texts.h"
#include "support/test_support.h"

namespace qv::test {
namespace {

class InputDefaultsTest : public ::testing::Test {
 protected:
  void SetUp() override { app.settings.SetDirectory(dir.path()); }

  InputDefaultsFields Fields(std::string a = "20.0", std::string cut = "6.0",
                             std::string v1 = "200") {
    return {a, "10.0", "5.0", "6", cut, v1};
  }

  TempDir dir;
  CAppState app;
  FakeUi ui;
};

TEST_F(InputDefaultsTest, OpensWithTheCurrentDefaults) {
  InputConditions in{6, 6.0, 20.0, 10.55, 5.0, 300};
  InputDefaultsFields f = InputDefaultsOpen(in);
  EXPECT_EQ(f, (InputDefaultsFields{"20.0", "10.6", "5.0", "6", "6.0", "300"}));
  in.cells = 5;  // not an item of the list: nothing is chosen
  EXPECT_EQ(InputDefaultsOpen(in).cells, "");
  EXPECT_EQ(EndVoltageForCells("8"), "8.0");
  EXPECT_EQ(EndVoltageForCells("6"), "6.0");
}

TEST_F(InputDefaultsTest, AcceptsRoundedValuesAndWritesTheSixKeysInOrder) {
  const InputConditions before = app.inputs;
  EXPECT_EQ(AcceptInputDefaults(app, ui, Fields("35.04", "8.0", "3650"), before),
            InputDefaultsOutcome::kChanged);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(app.inputs, (InputConditions{6, 8.0, 35.0, 10.0, 5.0, 3600}));
  EXPECT_EQ(ReadFile(dir.File("Dis.ini")),
            "[QUORVEX]\r\nDATA_DEF_DISA=35.0\r\nDATA_DEF_DISB=10.0\r\nDATA_DEF_DISC=5.0\r\n"
            "DATA_DEF_CELL=6\r\nDATA_DEF_CUTV=8.0\r\nDATA_DEF_APO1=3600\r\n");
}

TEST_F(InputDefaultsTest, UnchangedValuesStillWriteButReportNoChange) {
  app.inputs = {6, 6.0, 20.0, 10.0, 5.0, 200};
  EXPECT_EQ(AcceptInputDefaults(app, ui, Fields(), app.inputs), InputDefaultsOutcome::kUnchanged);
  EXPECT_EQ(app.settings.Get("DATA_DEF_APO1"), "200");
  // 150 is stored as 100: a change.
  EXPECT_EQ(AcceptInputDefaults(app, ui, Fields("20.0", "6.0", "150"), app.inputs),
            InputDefaultsOutcome::kChanged);
  EXPECT_EQ(app.inputs.v1Point, 100);
}

TEST_F(InputDefaultsTest, ChecksInOrderWithTheirMessages) {
  const std::string caption = Sj("設定値入力範囲");
  const InputConditions before = app.inputs;
  struct Case {
    InputDefaultsFields fields;
    const char* text;
  };
  const char* current = "放電電流は、0.0 ～ 35.0 の範囲で値を設定してください。";
  const char* cut = "終了電圧は、0.0 ～ 8.0 の範囲で値を設定してください。";
  const char* v1 = "V1測定点は、100 ～ 3600 の範囲で値を設定してください。";
  const Case cases[] = {
      {Fields("35.1", "9.0", "50"), current},  // the first failure only
      {Fields("35.06"), current},
      {{"1.0", "-0.1", "1.0", "6", "6.0", "200"}, current},
      {{"1.0", "1.0", "36", "6", "6.0", "200"}, current},
      {Fields("1.0", "8.1"), cut},
      {Fields("1.0", "-1"), cut},
      {Fields("1.0", "6.0", "99"), v1},
      {Fields("1.0", "6.0", "3700"), v1},
      {Fields("1.0", "6.0", "abc"), v1},
  };
  for (const Case& c : cases) {
    ui.messages.clear();
    EXPECT_EQ(AcceptInputDefaults(app, ui, c.fields, before), InputDefaultsOutcome::kStayOpen);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, Sj(c.text)) << c.fields.currentA;
    EXPECT_EQ(ui.messages[0].caption, caption);
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::kWarning);
  }
  EXPECT_EQ(app.inputs, before);
  EXPECT_FALSE(FileExists(dir.File("Dis.ini")));
  // The limits themselves pass.
  EXPECT_EQ(AcceptInputDefaults(app, ui, {"35.0", "0.0", "0.0", "8", "0.0", "100"}, before),
            InputDefaultsOutcome::kChanged);
}

// --- The preset list ------------------------------------------------------------

class InputPresetTest : public InputDefaultsTest {
 protected:
  std::string PresetPath() { return dir.File("Inpset.ini"); }

  void WritePresets(int count, int entries) {
    WritePresetFile(PresetPath(), count, entries, [](const std::string& n) {
      return "INP" + n + "_DISA=" + n + ".000000\nINP" + n + "_DISB=2.000000\nINP" + n +
             "_DISC=3.000000\nINP" + n + "_CELL=4\nINP" + n + "_CUTV=4.000000\nINP" + n +
             "_APO1=250\nINP" + n + "_MEMO=memo" + n + "\n";
    });
  }
};

TEST_F(InputPresetTest, UsesItsOwnFileBesideTheSettings) {
  CInputPresetList list = CInputPresetList::Open(app);
  EXPECT_EQ(list.Store().Path(), dir.path() + "/Inpset.ini");
  EXPECT_EQ(list.Store().Section(), "QUORVEX");
  EXPECT_TRUE(list.Entries().empty());
}

TEST_F(InputPresetTest, LoadsAtMostTwentyEntriesWithV1RoundedDown) {
  WritePresets(30, 25);
  CInputPresetList list = CInputPresetList::Open(app);
  ASSERT_EQ(list.Entries().size(), 20u);
  EXPECT_EQ(list.Entries()[0].values, (InputConditions{4, 4.0, 1.0, 2.0, 3.0, 200}));
  EXPECT_EQ(list.Entries()[19].comment, "memo20");
  EXPECT_EQ(list.RowCells(0),
            (std::array<std::string, 7>{"1.0", "2.0", "3.0", "4", "4.0", "200", "memo1"}));
  // A count beyond the entries reads zeros.
  WritePresets(3, 1);
  list.Load();
  ASSERT_EQ(list.Entries().size(), 3u);
  EXPECT_EQ(list.Entries()[2].values, (InputConditions{0, 0.0, 0.0, 0.0, 0.0, 0}));
}

TEST_F(InputPresetTest, AddingTheTwentyFirstEntryIsRefused) {
  WritePresets(20, 20);
  const std::string before = ReadFile(PresetPath());
  EXPECT_FALSE(AddInputFieldsToList(app, ui, Fields()));
  ExpectListFullRefusal(ui, "入力初期値一覧");
  EXPECT_EQ(ReadFile(PresetPath()), before);
}

TEST_F(InputPresetTest, AddingAppendsTheRoundedFieldsAndSavesInKeyOrder) {
  const InputConditions defaults = app.inputs;
  EXPECT_TRUE(AddInputFieldsToList(app, ui, Fields("20.04", "6.0", "250")));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, Sj("現在の各入力項目の値を、入力初期値一覧に登録しました。"));
  EXPECT_EQ(ui.messages[0].caption, Sj("一覧に登録"));
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kInformation);
  EXPECT_EQ(app.inputs, defaults);  // the defaults are not changed
  EXPECT_EQ(
      ReadFile(PresetPath()),
      "[QUORVEX]\r\nCOUNT=1\r\nINP1_DISA=20.000000\r\nINP1_DISB=10.000000\r\n"
      "INP1_DISC=5.000000\r\nINP1_CELL=6\r\nINP1_CUTV=6.000000\r\nINP1_APO1=200\r\nINP1_MEMO=\r\n");
  // A failing check adds nothing.
  ui.messages.clear();
  EXPECT_FALSE(AddInputFieldsToList(app, ui, Fields("40")));
  EXPECT_EQ(ui.messages[0].caption, Sj("設定値入力範囲"));
  EXPECT_EQ(CInputPresetList::Open(app).Entries().size(), 1u);
}

TEST_F(InputPresetTest, DeletingEntryTwoOfThreeLeavesTheOldKeys) {
  WritePresets(3, 3);
  CInputPresetList list = CInputPresetList::Open(app);
  ui.Answer(MsgResult::kOk);
  EXPECT_TRUE(DeleteInputPreset(ui, list, 1));
  ASSERT_EQ(ui.messages.size(), 1u);
  ExpectDeleteQuestion(ui.messages[0]);
  ExpectSecondOfThreeDeleted(list.Store(), {{"INP2_DISA", "3.000000"}, {"INP2_MEMO", "memo3"}},
                             {{"INP3_MEMO", "memo3"}});
  EXPECT_EQ(CInputPresetList::Open(app).Entries().size(), 2u);
}

TEST_F(InputPresetTest, DeleteNeedsARowAndCancelKeepsTheEntry) {
  WritePresets(2, 2);
  CInputPresetList list = CInputPresetList::Open(app);
  EXPECT_FALSE(DeleteInputPreset(ui, list, std::nullopt));
  ExpectMessage(ui.messages[0], "削除するデータを選択してください。", "データ選択",
                MsgIcon::kInformation);
  ui.Answer(MsgResult::kCancel);
  EXPECT_FALSE(DeleteInputPreset(ui, list, 0));
  EXPECT_EQ(list.Entries().size(), 2u);
  EXPECT_EQ(list.Store().Get("COUNT"), "2");
}

TEST_F(InputPresetTest, CommentEditWritesOneKey) {
  WritePresets(2, 2);
  CInputPresetList list = CInputPresetList::Open(app);
  EXPECT_FALSE(list.SetComment(1, "memo2"));  // unchanged: nothing written
  const std::string memo = Sj("新しいコメント");
  EXPECT_TRUE(list.SetComment(1, memo));
  EXPECT_EQ(list.Store().Get("INP2_MEMO"), memo);
  EXPECT_EQ(list.Store().Get("INP2_APO1"), "250");  // the other keys are as they were
  EXPECT_TRUE(CInputPresetList::CanEditColumn(CInputPresetList::kCommentColumn));
  EXPECT_FALSE(CInputPresetList::CanEditColumn(0));
  EXPECT_EQ(CInputPresetList::Columns()[6].title, Sj("コメント"));
  EXPECT_EQ(CInputPresetList::Columns()[6].width, 158);
}

TEST_F(InputPresetTest, ChoosingAnEntrySetsTheDefaultsInMemory) {
  WritePresets(2, 2);
  CInputPresetList list = CInputPresetList::Open(app);
  EXPECT_FALSE(SetInputPresetAsDefaults(app, ui, list, std::nullopt));
  EXPECT_EQ(ui.messages[0].text, Sj("入力初期値に設定するデータを選択してください。"));
  EXPECT_EQ(ui.messages[0].caption, Sj("データ選択"));
  EXPECT_TRUE(SetInputPresetAsDefaults(app, ui, list, 1));
  EXPECT_EQ(app.inputs, (InputConditions{4, 4.0, 2.0, 2.0, 3.0, 200}));
  EXPECT_FALSE(FileExists(dir.File("Dis.ini")));
  // The defaults dialog then refills its fields and runs OK.
  EXPECT_EQ(AcceptInputDefaults(app, ui, InputDefaultsOpen(app.inputs), {}),
            InputDefaultsOutcome::kChanged);
  EXPECT_EQ(app.settings.Get("DATA_DEF_CELL"), "4");
}

TEST_F(InputDefaultsTest, ChangedDefaultsOfferToInitialiseAnEmptyPanel) {
  CBrenlowDoc doc(app);
  const InputConditions before = app.inputs;
  ASSERT_EQ(AcceptInputDefaults(app, ui, Fields("12.3", "6.0", "300"), before),
            InputDefaultsOutcome::kChanged);
  ui.Answer(MsgResult::kYes);
  InputDefaultsChanged(doc, ui);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text,
            Sj("入力初期値が更新されました。\n\n今、計測データ欄を初期化しますか？"));
  EXPECT_DOUBLE_EQ(doc.Current().currentA, 12.3);
  EXPECT_EQ(doc.Current().v1Point, 300);
  EXPECT_TRUE(app.modified);
}

TEST(PresetTexts, CaptionsAndButtons) {
  EXPECT_EQ(GetInputDefaultsDialogTexts().caption, Sj("入力初期値の定義"));
  EXPECT_EQ(GetInputDefaultsDialogTexts().cellItems[3], "8");
  EXPECT_EQ(GetInputPresetDialogTexts().setAsDefaults, Sj("入力初期値に設定"));
  EXPECT_EQ(GetGraphSettingsDialogTexts().showGrid, Sj("グリッドを表示"));
  EXPECT_EQ(GetGraphPresetDialogTexts().useAsSettings, Sj("表示設定にする"));
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

TEST(PresetSaveFailure, IsReportedInsteadOfSuccess) {
  CAppState app;
  app.settings.SetDirectory("/nonexistent-quorvex-dir/sub");
  FakeUi ui;
  InputDefaultsFields fields{"20.0", "10.0", "5.0", "6", "6.0", "200"};
  EXPECT_FALSE(AddInputFieldsToList(app, ui, fields));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Inpset.ini" + Sj(" を保存できませんでした。"));
  EXPECT_EQ(ui.messages[0].caption, Sj("一覧に登録"));
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kError);

  CInputPresetList list(PresetStore(app, kInputPresetFile));
  list.Add({});
  ui.messages.clear();
  EXPECT_FALSE(DeleteInputPreset(ui, list, 0));
  ASSERT_EQ(ui.messages.size(), 2u);  // the question, then the failure
  EXPECT_EQ(ui.messages[1].caption, Sj("データ削除"));
  EXPECT_TRUE(list.Entries().empty());  // reloaded: the file holds nothing
}

// FIFOs in place of the preset files: the lists open empty at once and a
// save is reported as failed, without waiting for a writer.
TEST(PresetFiles, AFifoInTheirPlaceIsNeverWaitedOn) {
  TempDir dir;
  CAppState app;
  app.settings.SetDirectory(dir.path());
  const std::string input = dir.File("Inpset.ini"), graph = dir.File("Graset.ini");
  ASSERT_EQ(::mkfifo(input.c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(graph.c_str(), 0600), 0);
  FakeUi ui;
  size_t inputs = 1, graphs = 1;
  bool added = true;
  EXPECT_TRUE(EndsWithoutAWriter(
      [&] {
        inputs = CInputPresetList::Open(app).Entries().size();
        graphs = CGraphPresetList::Open(app).Entries().size();
        added = AddInputFieldsToList(app, ui, {"20.0", "10.0", "5.0", "6", "6.0", "200"});
      },
      {input, graph}));
  EXPECT_EQ(inputs, 0u);
  EXPECT_EQ(graphs, 0u);
  EXPECT_FALSE(added);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Inpset.ini" + Sj(" を保存できませんでした。"));
}

}  // namespace
}  // namespace qv::test
