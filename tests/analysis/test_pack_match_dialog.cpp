// The matching window's model: its checks and messages, the overlay of a
// selected pack and the CSV file.
#include "analysis/pack_match_dialog.h"

#include <gtest/gtest.h>

#include "analysis_fixture.h"
#include "core/numtext.h"

namespace qv::test {
namespace {

class PackMatchDialogTest : public AnalysisDocTest {
 protected:
  void SetUp() override {
    AnalysisDocTest::SetUp();
    for (int i = 1; i <= 15; ++i) {
      auto r = Source(20.0, 10.0 + i % 4);
      r->AppendPoint(Pt(0, 8.2, 20.0, 0.0));
      r->AppendPoint(Pt(400, 6.4, 20.0, 2000.0 + i * 3.5));
      Register(std::move(r), 1, 1, i);
    }
    dlg.Open();
  }
  CPackMatchDlg dlg;
};

TEST_F(PackMatchDialogTest, FieldsAreCheckedBeforeMatching) {
  const struct {
    std::function<void(CPackMatchDlg&)> edit;
    const char* text;     // start of the message, UTF-8
    const char* caption;  // UTF-8
  } cases[] = {
      {[](CPackMatchDlg& d) { d.from[1] = ""; }, "ID欄が未記入", "登録ID指定"},
      {[](CPackMatchDlg& d) { d.to[2] = "0"; }, "ID欄が未記入", "登録ID指定"},
      {[](CPackMatchDlg& d) { d.use.fill(false); }, "基準を1つ以上", "パックマッチング"},
      {[](CPackMatchDlg& d) { d.weights[0] = "abc"; }, "重みには", "パックマッチング"},
      {[](CPackMatchDlg& d) { d.series = 16; }, "セルが足りません。", "パックマッチング"},
      {[](CPackMatchDlg& d) {
         d.from = {"1", "1", "11"};
       },
       "セルが足りません。", "パックマッチング"},
  };
  for (const auto& c : cases) {
    dlg.Open();
    c.edit(dlg);
    ui.messages.clear();
    EXPECT_FALSE(dlg.Compute(ui, *doc)) << c.text;
    ASSERT_EQ(ui.messages.size(), 1u) << c.text;
    EXPECT_EQ(ui.TextsUtf8()[0].rfind(c.text, 0), 0u) << ui.TextsUtf8()[0];
    EXPECT_EQ(Cp932ToUtf8(ui.messages[0].caption), c.caption);
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::kWarning);
    EXPECT_FALSE(dlg.HasResult());
    EXPECT_TRUE(dlg.Table().rows.empty());
  }
  // A weight is not checked while its criterion is not chosen, nor any
  // criterion for a series-parallel pack.
  dlg.Open();
  dlg.weights[5] = "0";
  EXPECT_TRUE(dlg.Compute(ui, *doc));
  dlg.use.fill(false);
  dlg.series = 3;
  dlg.parallel = 2;
  EXPECT_TRUE(dlg.Compute(ui, *doc));
  EXPECT_TRUE(dlg.Result().parallelPack);
}

TEST_F(PackMatchDialogTest, SelectingASmallSeriesPackOverlaysOnlyItsCells) {
  doc->ToggleOverlay(doc->Registered()[14].get());  // an overlay from before
  dlg.series = 4;
  ASSERT_TRUE(dlg.Compute(ui, *doc));
  ASSERT_EQ(dlg.Table().rows.size(), 4u);  // three packs and the left-over row
  ASSERT_TRUE(dlg.CanOverlay(1));
  refreshes.clear();
  EXPECT_TRUE(dlg.OverlayRow(*doc, 1));
  const SeriesPack& pack = dlg.Result().packs[1];
  ASSERT_EQ(doc->DisplayList().size(), 5u);
  EXPECT_EQ(doc->DisplayList()[0], &doc->Current());
  for (size_t k = 0; k < pack.cells.size(); ++k) {
    EXPECT_EQ(SummaryOf(*doc->DisplayList()[k + 1]), dlg.Cells()[pack.cells[k]].summary);
    EXPECT_EQ(doc->SlotOf(*doc->DisplayList()[k + 1]), static_cast<int>(k) + 2);
  }
  EXPECT_EQ(doc->SlotOf(*doc->Registered()[14]), -1);
  EXPECT_EQ(refreshes, std::vector<int>{kRefreshAll});
  // The same pack again changes nothing; the left-over row overlays nothing.
  EXPECT_FALSE(dlg.OverlayRow(*doc, 1));
  EXPECT_TRUE(dlg.Table().rows[3].leftOver);
  EXPECT_FALSE(dlg.CanOverlay(3));
  EXPECT_FALSE(dlg.CanOverlay(4));
  // Packs of seven cells are not overlaid.
  dlg.series = 7;
  ASSERT_TRUE(dlg.Compute(ui, *doc));
  EXPECT_FALSE(dlg.CanOverlay(0));
  EXPECT_FALSE(dlg.OverlayRow(*doc, 0));
}

TEST_F(PackMatchDialogTest, CellsWithoutCapacityAreListedApartAndNeverOverlaid) {
  Register(Source(20.0, 10.0), 1, 1, 16);  // no points
  auto spent = Source(20.0, 10.0);
  spent->AppendPoint(Pt(0, 8.2, 20.0, 0.0));
  Register(std::move(spent), 1, 1, 17);  // 0 mAh
  dlg.series = 5;
  ASSERT_TRUE(dlg.Compute(ui, *doc));
  ASSERT_EQ(dlg.Table().rows.size(), 4u);  // three packs, no left-over row, the unusable row
  const MatchTableRow& last = dlg.Table().rows.back();
  EXPECT_TRUE(last.unusable);
  EXPECT_EQ(last.ids, (std::vector<std::string>{"001-001-016", "001-001-017"}));
  EXPECT_FALSE(dlg.CanOverlay(3));
  EXPECT_EQ(dlg.Result().usableCells, 15u);
}

TEST_F(PackMatchDialogTest, TheCsvFileIsShiftJisWithCrLf) {
  dlg.series = 4;
  dlg.use[static_cast<size_t>(MatchCriterion::kIr)] = true;
  dlg.weights[static_cast<size_t>(MatchCriterion::kIr)] = "0.5";
  EXPECT_FALSE(dlg.SaveCsv(ui, dir.path()));  // nothing computed yet
  ASSERT_TRUE(dlg.Compute(ui, *doc));
  ui.ChooseFile(std::nullopt);
  EXPECT_FALSE(dlg.SaveCsv(ui, dir.path()));
  ASSERT_EQ(ui.fileRequests.size(), 1u);
  EXPECT_EQ(ui.fileRequests[0].proposedName, "pack_4S1P.csv");
  EXPECT_EQ(ui.fileRequests[0].startDirectory, dir.path());
  EXPECT_TRUE(ui.fileRequests[0].confirmOverwrite);
  EXPECT_EQ(ui.fileRequests[0].filter, Sj("CSVﾌｧｲﾙ (*.csv)|*.csv|"));

  ui.ChooseFile(dir.File("p.csv"));
  ui.messages.clear();
  ASSERT_TRUE(dlg.SaveCsv(ui, dir.path()));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kInformation);
  const MatchResult& r = dlg.Result();
  std::string want = Sj("Quorvexパックマッチング") + "\r\n" + MatchHeadline(r) + "\r\n\r\n" +
                     Sj("パック,パック容量[mAh],ばらつき,セル1,セル2,セル3,セル4") + "\r\n";
  for (size_t k = 0; k < r.packs.size(); ++k) {
    want += std::to_string(k + 1) + "," + FixedText(r.packs[k].capacity, 1) + "," +
            FixedText(r.packs[k].spread, 3);
    for (size_t c : r.packs[k].cells)
      want += "," + dlg.Cells()[c].idText;
    want += "\r\n";
  }
  want += Sj("余り,,");
  for (size_t c : r.left)
    want += "," + dlg.Cells()[c].idText;
  want += "\r\n\r\n" + dlg.Table().notes[0] + "\r\n";
  EXPECT_EQ(ReadFile(dir.File("p.csv")), want);
  EXPECT_EQ(Cp932ToUtf8(MatchHeadline(r)),
            "直列 4 セルのパック 3 組（対象 15 セル）　基準: 放電容量[mAh]×1、内部抵抗[mΩ]×0.5");

  // A file that cannot be written is reported.
  ui.ChooseFile(dir.File("missing/p.csv"));
  ui.messages.clear();
  EXPECT_FALSE(dlg.SaveCsv(ui, dir.path()));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.TextsUtf8()[0], "ファイル出力に失敗しました。");
}

}  // namespace
}  // namespace qv::test
