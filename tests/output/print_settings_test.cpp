#include "output/print_settings.h"

#include <gtest/gtest.h>

#include "core/app_state.h"
#include "data/codec.h"
#include "output/print_layout.h"
#include "output_test_util.h"
#include "support/test_support.h"

namespace qv {
namespace {

using test::MakeRecord;

class PrintDialog : public ::testing::Test {
 protected:
  test::TempDir dir;
  CSettingsStore settings{dir.path(), "Dis.ini"};
  test::FakeUi ui;
  CPrintSettingDlg dlg;

  void Valid() {
    dlg.RestoreDefaults();
    dlg.idStart = {"1", "1", "1"};
    dlg.idEnd = {"999", "999", "999"};
  }
};

TEST_F(PrintDialog, NoStoredSettingsListsEveryRequiredField) {
  dlg.Open(settings);
  EXPECT_EQ(dlg.topX, "");
  EXPECT_EQ(dlg.labelGX, "");
  EXPECT_EQ(dlg.graphWS, "");
  EXPECT_EQ(dlg.idEnd[2], "");
  EXPECT_EQ(dlg.form, kPrintLabels);
  EXPECT_EQ(dlg.choice, kPrintAll);
  EXPECT_FALSE(dlg.Close(ui, settings, PrintDlgResult::kPrint));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.TextsUtf8()[0],
            "印刷データに不正な値があります。次の項目を入力しなおしてください。\n\n"
            "左余白：3～200の範囲で設定してください。\n"
            "上余白：3～200の範囲で設定してください。\n"
            "ラベル幅：5～100の範囲で設定してください。\n"
            "ラベル高さ：5～100の範囲で設定してください。\n"
            "ラベル列数：1～100の範囲で設定してください。\n"
            "ラベル行数：1～100の範囲で設定してください。\n");
  EXPECT_EQ(Cp932ToUtf8(ui.messages[0].caption), "印刷データの設定");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kWarning);
  EXPECT_EQ(settings.Get("PRINT_TOP_X"), "");
  // The empty range is listed once it chooses the records.
  dlg.choice = kPrintRange;
  const std::string lines = Cp932ToUtf8(dlg.ValidationLines());
  EXPECT_EQ(lines.substr(lines.find("開始ID")),
            "開始ID：各ID欄をそれぞれ1～999の範囲で入力してください。\n"
            "終了ID：各ID欄をそれぞれ1～999の範囲で入力してください。\n");
}

TEST_F(PrintDialog, EveryRangeLineInOrder) {
  Valid();
  dlg.topX = "201";
  dlg.topY = "2";
  dlg.labelW = "4";
  dlg.labelH = "101";
  dlg.labelGX = "-1";
  dlg.labelGY = "101";
  dlg.graphWS = "10000";
  dlg.labelCX = "0";
  dlg.labelCY = "101";
  dlg.idStart = {"1", "1000", "1"};
  dlg.idEnd = {"0", "0", "0"};
  dlg.choice = kPrintRange;
  EXPECT_EQ(Cp932ToUtf8(dlg.ValidationLines()),
            "左余白：3～200の範囲で設定してください。\n"
            "上余白：3～200の範囲で設定してください。\n"
            "ラベル幅：5～100の範囲で設定してください。\n"
            "ラベル高さ：5～100の範囲で設定してください。\n"
            "ラベル間横余白：0～100の範囲で設定してください。\n"
            "ラベル間縦余白：0～100の範囲で設定してください。\n"
            "グラフ表示幅：0～9999の範囲で設定してください。\n"
            "ラベル列数：1～100の範囲で設定してください。\n"
            "ラベル行数：1～100の範囲で設定してください。\n"
            "開始ID：各ID欄をそれぞれ1～999の範囲で入力してください。\n"
            "終了ID：各ID欄をそれぞれ1～999の範囲で入力してください。\n");
}

// The ID range is checked, and an invalid one refused, only while it chooses
// the records; otherwise the print goes on and the stored range stays.
TEST_F(PrintDialog, TheIdRangeIsCheckedOnlyWhenItChoosesTheRecords) {
  const std::string startLine = Sj("開始ID：各ID欄をそれぞれ1～999の範囲で入力してください。\n");
  const std::string endLine = Sj("終了ID：各ID欄をそれぞれ1～999の範囲で入力してください。\n");
  const struct {
    int choice;
    std::array<std::string, 3> start, end;
    std::string lines;
  } cases[] = {
      {kPrintAll, {"", "", ""}, {"", "", ""}, ""},
      {kPrintSelected, {"0", "1", "1"}, {"1000", "1", "1"}, ""},
      {-1, {"", "", ""}, {"", "", ""}, ""},
      {kPrintRange, {"", "1", "1"}, {"9", "9", "9"}, startLine},
      {kPrintRange, {"1", "1", "1"}, {"9", "-1", "9"}, endLine},
      {kPrintRange, {"", "", ""}, {"", "", ""}, startLine + endLine},
  };
  for (const auto& c : cases) {
    Valid();
    dlg.choice = c.choice;
    dlg.idStart = c.start;
    dlg.idEnd = c.end;
    EXPECT_EQ(dlg.ValidationLines(), c.lines) << c.choice;
  }
  // Printing all with an invalid start keeps the stored start and saves the
  // valid end.
  settings.SetMany({{"PRINT_IDSTART1", "004"}, {"PRINT_IDSTART2", "005"}});
  Valid();
  dlg.choice = kPrintAll;
  dlg.idStart = {"0", "", "7"};
  dlg.idEnd = {"8", "9", "10"};
  EXPECT_EQ(dlg.Close(ui, settings, PrintDlgResult::kPrint), PrintDlgResult::kPrint);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(settings.Get("PRINT_IDSTART1"), "004");
  EXPECT_EQ(settings.Get("PRINT_IDSTART2"), "005");
  EXPECT_EQ(settings.Get("PRINT_IDSTART3"), "");
  EXPECT_EQ(settings.Get("PRINT_IDEND3"), "010");
  EXPECT_EQ(settings.Get("PRINT_RADIO2"), "0");
}

TEST_F(PrintDialog, StoredLabelHeightShownAndRefused) {
  settings.Set("PRINT_LABEL_H", "101");
  dlg.Open(settings);
  EXPECT_EQ(dlg.labelH, "101");
  Valid();
  dlg.labelH = "101";
  EXPECT_EQ(Cp932ToUtf8(dlg.ValidationLines()), "ラベル高さ：5～100の範囲で設定してください。\n");
  dlg.labelW = "100";
  dlg.labelH = "33";
  EXPECT_EQ(dlg.ValidationLines(), "");
}

TEST_F(PrintDialog, SaveFormats) {
  Valid();
  dlg.idStart = {"1", "02", "3x"};
  dlg.topX = "09";
  dlg.form = kPrintTable;
  dlg.choice = kPrintRange;
  EXPECT_TRUE(dlg.Apply(ui, settings));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(settings.Get("PRINT_TOP_X"), "9");
  EXPECT_EQ(settings.Get("PRINT_GRAPH_WS"), "600");
  EXPECT_EQ(settings.Get("PRINT_IDSTART1"), "001");
  EXPECT_EQ(settings.Get("PRINT_IDSTART2"), "002");
  EXPECT_EQ(settings.Get("PRINT_IDSTART3"), "003");
  EXPECT_EQ(settings.Get("PRINT_IDEND3"), "999");
  EXPECT_EQ(settings.Get("PRINT_RADIO"), "2");
  EXPECT_EQ(settings.Get("PRINT_RADIO2"), "1");
  EXPECT_EQ(dlg.Close(ui, settings, PrintDlgResult::kPreview), PrintDlgResult::kPreview);
}

TEST_F(PrintDialog, CloseDoesNotValidateOrSave) {
  EXPECT_EQ(dlg.Close(ui, settings, PrintDlgResult::kClose), PrintDlgResult::kClose);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(settings.Get("PRINT_RADIO"), "");
}

TEST_F(PrintDialog, FieldsShownAsStored) {
  settings.Set("PRINT_TOP_X", "012");
  settings.Set("PRINT_GRAPH_WS", "0");
  settings.Set("PRINT_RADIO", "1");
  settings.Set("PRINT_RADIO2", "7");
  settings.Set("PRINT_IDSTART1", "005");
  dlg.Open(settings);
  EXPECT_EQ(dlg.topX, "012");
  EXPECT_EQ(dlg.graphWS, "");
  EXPECT_EQ(dlg.idStart[0], "005");
  EXPECT_EQ(dlg.form, kPrintGraphs);
  EXPECT_EQ(dlg.choice, -1);
  settings.Set("PRINT_GRAPH_WS", "300");
  dlg.Open(settings);
  EXPECT_EQ(dlg.graphWS, "300");
}

TEST_F(PrintDialog, VisibilityFollowsFormAndChoice) {
  dlg.form = kPrintLabels;
  EXPECT_TRUE(dlg.LabelFieldsVisible());
  EXPECT_FALSE(dlg.GraphWidthVisible());
  EXPECT_EQ(dlg.Picture(), PrintLayoutPicture::kLabelSheet);
  dlg.form = kPrintGraphs;
  EXPECT_FALSE(dlg.LabelFieldsVisible());
  EXPECT_TRUE(dlg.GraphWidthVisible());
  EXPECT_EQ(dlg.Picture(), PrintLayoutPicture::kGraphSheet);
  dlg.form = kPrintTable;
  EXPECT_FALSE(dlg.LabelFieldsVisible());
  EXPECT_FALSE(dlg.GraphWidthVisible());
  dlg.choice = kPrintAll;
  EXPECT_FALSE(dlg.IdRangeEnabled());
  dlg.choice = kPrintRange;
  EXPECT_TRUE(dlg.IdRangeEnabled());
  dlg.choice = kPrintSelected;
  EXPECT_FALSE(dlg.IdRangeEnabled());
}

TEST_F(PrintDialog, RestoreDefaultsKeepsRangeAndChoice) {
  dlg.form = kPrintTable;
  dlg.choice = kPrintSelected;
  dlg.idStart = {"4", "5", "6"};
  dlg.RestoreDefaults();
  EXPECT_EQ(dlg.topX, "9");
  EXPECT_EQ(dlg.topY, "21");
  EXPECT_EQ(dlg.labelW, "24");
  EXPECT_EQ(dlg.labelH, "33");
  EXPECT_EQ(dlg.labelGX, "4");
  EXPECT_EQ(dlg.labelGY, "4");
  EXPECT_EQ(dlg.graphWS, "600");
  EXPECT_EQ(dlg.labelCX, "7");
  EXPECT_EQ(dlg.labelCY, "7");
  EXPECT_EQ(dlg.form, kPrintLabels);
  EXPECT_EQ(dlg.choice, kPrintSelected);
  EXPECT_EQ(dlg.idStart[0], "4");
  EXPECT_EQ(settings.Get("PRINT_TOP_X"), "");
}

TEST(PrintSettingsRead, DefaultsOfTheHiddenKeys) {
  test::TempDir dir;
  CSettingsStore s{dir.path(), "Dis.ini"};
  PrintSettings p = ReadPrintSettings(s);
  EXPECT_EQ(Cp932ToUtf8(p.font), "ＭＳ ゴシック");
  EXPECT_EQ(p.graphCX, 2);
  EXPECT_EQ(p.graphCY, 3);
  EXPECT_EQ(p.tableLine, 2);
  EXPECT_EQ(p.labelType, 0);
  EXPECT_EQ(p.labelDummy, 0);
  EXPECT_TRUE(p.LogoOnLabels());
  s.Set("PRINT_FONT", "Mono");
  s.Set("PRINT_GRAPH_CX", "-1");
  s.Set("PRINT_GRAPH_CY", "4");
  s.Set("PRINT_TABLE_LINE", "3");
  s.Set("PRINT_LABEL_NOLOGO", "1");
  s.Set("PRINT_IDSTART1", "001");
  s.Set("PRINT_IDSTART2", "002");
  s.Set("PRINT_IDSTART3", "003");
  s.Set("PRINT_IDEND1", "999");
  p = ReadPrintSettings(s);
  EXPECT_EQ(p.font, "Mono");
  EXPECT_EQ(p.graphCX, 2);
  EXPECT_EQ(p.graphCY, 4);
  EXPECT_EQ(p.tableLine, 3);
  EXPECT_FALSE(p.LogoOnLabels());
  EXPECT_EQ(p.firstKey, 1002003);
  EXPECT_EQ(p.lastKey, 999000000);
}

RecordList Records(int n) {
  RecordList list;
  for (int i = 0; i < n; ++i)
    list.push_back(MakeRecord(1, 1, i + 1));
  return list;
}

TEST(PrintFilter, ChoicesKeepListOrder) {
  RecordList list = Records(5);
  PrintSettings s;
  s.choice = kPrintAll;
  EXPECT_EQ(FilterPrintRecords(list, s, {}).size(), 5u);
  s.choice = kPrintRange;
  s.firstKey = 1001002;
  s.lastKey = 1001004;
  auto range = FilterPrintRecords(list, s, {});
  ASSERT_EQ(range.size(), 3u);
  EXPECT_EQ(range[0], list[1].get());
  EXPECT_EQ(range[2], list[3].get());
  s.firstKey = 1001004;
  s.lastKey = 1001002;
  EXPECT_TRUE(FilterPrintRecords(list, s, {}).empty());
  s.choice = kPrintSelected;
  const auto elsewhere = MakeRecord(1, 1, 1);  // selected, but not in the list
  auto chosen = FilterPrintRecords(list, s, {list[4].get(), elsewhere.get(), list[0].get()});
  ASSERT_EQ(chosen.size(), 2u);
  EXPECT_EQ(chosen[0], list[0].get());
  EXPECT_EQ(chosen[1], list[4].get());
  EXPECT_TRUE(FilterPrintRecords(list, s, {}).empty());
}

std::vector<const CMeasureData*> Ptrs(const RecordList& list) {
  std::vector<const CMeasureData*> out;
  for (const auto& r : list)
    out.push_back(r.get());
  return out;
}

TEST(PrintPagination, BlankLabelsThenRecords) {
  RecordList list = Records(45);
  auto pages = PaginateLabels(Ptrs(list), false, 10, 7, 7);
  ASSERT_EQ(pages.size(), 2u);
  ASSERT_EQ(pages[0].rows.size(), 7u);
  int blanks = 0, records = 0;
  for (const auto& row : pages[0].rows) {
    EXPECT_EQ(row.size(), 7u);
    for (const CMeasureData* r : row)
      (r ? records : blanks)++;
  }
  EXPECT_EQ(blanks, 10);
  EXPECT_EQ(records, 39);
  EXPECT_EQ(pages[0].rows[1][3], list[0].get());
  ASSERT_EQ(pages[1].rows.size(), 1u);
  EXPECT_EQ(pages[1].rows[0].size(), 6u);
  EXPECT_EQ(pages[1].rows[0][5], list[44].get());
}

TEST(PrintPagination, NoBlankLabelsForAnEmptyList) {
  EXPECT_TRUE(PaginateLabels({}, true, 10, 7, 7).empty());
  // A list whose records are all filtered out still gets its blank positions.
  EXPECT_EQ(PaginateLabels({}, false, 3, 7, 7).size(), 1u);
}

TEST(PrintPagination, FullSheetHasNoEmptyFollower) {
  RecordList list = Records(49);
  auto pages = PaginateLabels(Ptrs(list), false, 0, 7, 7);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].rows.size(), 7u);
  RecordList two = Records(7);
  pages = PaginateLabels(Ptrs(two), false, 0, 7, 7);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].rows.size(), 1u);
}

TEST(PrintPagination, GraphsAndTables) {
  RecordList list = Records(12);
  auto portrait = PaginateGraphs(Ptrs(list), 2, 3);
  ASSERT_EQ(portrait.size(), 2u);
  EXPECT_EQ(portrait[1].rows.size(), 3u);
  auto landscape = PaginateGraphs(Ptrs(list), 3, 2);
  ASSERT_EQ(landscape.size(), 2u);
  EXPECT_EQ(landscape[0].rows.size(), 2u);
  EXPECT_EQ(landscape[0].rows[0].size(), 3u);
  RecordList many = Records(90);
  auto table = PaginateTable(Ptrs(many), 44);
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[2].records.size(), 2u);
  auto ptrs = Ptrs(many);
  ptrs.resize(88);
  EXPECT_EQ(PaginateTable(ptrs, 44).size(), 2u);
  EXPECT_TRUE(PaginateTable({}, 44).empty());
}

// The whole run through the engine, from the settings file.
class PrintEngineRun : public ::testing::Test {
 protected:
  test::TempDir dir;
  CSettingsStore settings{dir.path(), "Dis.ini"};
  CPrintEngine engine;
  GraphSettings graph{12.0, 0.0, false, 1, 1.0};

  PrinterDevice A4(bool landscape = false) {
    PrinterDevice d;
    d.dpiX = d.dpiY = 600;
    d.offsetX = d.offsetY = 100;
    d.paperWidth = landscape ? 7016 : 4961;
    d.paperHeight = landscape ? 4961 : 7016;
    return d;
  }
  void Defaults() {
    CPrintSettingDlg dlg;
    dlg.RestoreDefaults();
    dlg.idStart = {"1", "1", "1"};
    dlg.idEnd = {"999", "999", "999"};
    dlg.choice = kPrintAll;
    test::FakeUi ui;
    ASSERT_TRUE(dlg.Apply(ui, settings));
  }
};

// A new settings file prints at once: the dialog opens with the default
// layout, labels of every record and the whole ID range, and its print
// button is accepted; graphs span each record's own discharge time.
TEST_F(PrintEngineRun, AFreshSettingsFilePrintsEveryRecordAtOnce) {
  ASSERT_TRUE(SeedNewSettings(settings));
  CPrintSettingDlg dlg;
  dlg.Open(settings);
  EXPECT_EQ(dlg.topX, "9");
  EXPECT_EQ(dlg.labelCY, "7");
  EXPECT_EQ(dlg.graphWS, "");  // 0: each record's own length
  EXPECT_EQ(dlg.idStart, (std::array<std::string, 3>{"001", "001", "001"}));
  EXPECT_EQ(dlg.idEnd, (std::array<std::string, 3>{"999", "999", "999"}));
  EXPECT_EQ(dlg.form, kPrintLabels);
  EXPECT_EQ(dlg.choice, kPrintAll);
  test::FakeUi ui;
  dlg.form = kPrintGraphs;
  EXPECT_EQ(dlg.Close(ui, settings, PrintDlgResult::kPrint), PrintDlgResult::kPrint);
  EXPECT_TRUE(ui.messages.empty());
  RecordList list = Records(12);
  engine.BeginPrinting(settings, A4(), list, {}, graph);
  EXPECT_EQ(engine.Layout().settings.graphWS, 0);
  EXPECT_EQ(engine.GetPageCount(), 2);
  // The range choice takes every record too.
  settings.Set("PRINT_RADIO2", "1");
  engine.BeginPrinting(settings, A4(), list, {}, graph);
  EXPECT_EQ(engine.GetPageCount(), 2);
}

TEST_F(PrintEngineRun, LabelsWithBlankPositions) {
  Defaults();
  settings.Set("PRINT_LABEL_DMY", "10");
  RecordList list = Records(45);
  engine.BeginPrinting(settings, A4(), list, {}, graph);
  EXPECT_EQ(engine.GetPageCount(), 2);
  EXPECT_EQ(engine.Pages()[1].rows[0].size(), 6u);
}

TEST_F(PrintEngineRun, TwelveGraphsPortraitAndLandscape) {
  Defaults();
  settings.Set("PRINT_RADIO", "1");
  RecordList list = Records(12);
  engine.BeginPrinting(settings, A4(), list, {}, graph);
  EXPECT_EQ(engine.GetPageCount(), 2);
  EXPECT_EQ(engine.Layout().graphCX, 2);
  EXPECT_EQ(engine.Pages()[0].rows.size(), 3u);
  engine.BeginPrinting(settings, A4(true), list, {}, graph);
  EXPECT_EQ(engine.GetPageCount(), 2);
  EXPECT_EQ(engine.Layout().graphCX, 3);
  EXPECT_EQ(engine.Layout().graphCY, 2);
  EXPECT_EQ(engine.Pages()[0].rows.size(), 2u);
  EXPECT_EQ(engine.Pages()[0].rows[0].size(), 3u);
}

TEST_F(PrintEngineRun, NothingSelectedPrintsOneBlankPage) {
  Defaults();
  settings.Set("PRINT_RADIO2", "2");
  RecordList list = Records(5);
  engine.BeginPrinting(settings, A4(), list, {}, graph);
  EXPECT_EQ(engine.GetPageCount(), 1);
  EXPECT_TRUE(engine.PrintPage(1).items.empty());
  engine.BeginPrinting(settings, A4(), list, {list[3].get()}, graph);
  ASSERT_EQ(engine.Pages().size(), 1u);
  EXPECT_EQ(engine.Pages()[0].rows[0][0], list[3].get());
}

TEST_F(PrintEngineRun, ReversedRangePrintsOneBlankPage) {
  Defaults();
  settings.Set("PRINT_RADIO2", "1");
  settings.Set("PRINT_IDSTART1", "005");
  settings.Set("PRINT_IDEND1", "001");
  RecordList list = Records(5);
  engine.BeginPrinting(settings, A4(), list, {}, graph);
  EXPECT_EQ(engine.GetPageCount(), 1);
  EXPECT_TRUE(engine.Pages().empty());
  EXPECT_TRUE(engine.PrintPage(2).items.empty());
}

TEST_F(PrintEngineRun, TablePagesOf44) {
  Defaults();
  settings.Set("PRINT_RADIO", "2");
  RecordList list = Records(45);
  engine.BeginPrinting(settings, A4(), list, {}, graph);
  EXPECT_EQ(engine.Layout().metrics.recordsPerTablePage, 44);
  EXPECT_EQ(engine.GetPageCount(), 2);
  EXPECT_EQ(engine.Pages()[1].records.size(), 1u);
}

}  // namespace
}  // namespace qv
