#include <gtest/gtest.h>

#include "analysis/virtual_curve.h"
#include "analysis_fixture.h"

namespace qv::test {
namespace {

const Avg3Range kRange{0, 9999};

COleDateTime When() {
  return COleDateTime::FromParts({2020, 2, 3, 4, 5, 6});
}

// The virtual curve at `ia` of a Source() holding `points`.
void Generate(CMeasureData& out, double ia, std::initializer_list<CMeasurePoint> points) {
  auto src = Source(20.0, 10.0);
  for (const CMeasurePoint& p : points)
    src->AppendPoint(p);
  MakeVirtualCurve(out, *src, ia, kRange, When());
}

std::vector<int> Times(const CMeasureData& r) {
  std::vector<int> t;
  for (const auto& p : r.Points())
    t.push_back(p.time);
  return t;
}

// --- The generation routine -------------------------------------------------

TEST(MakeVirtualCurve, LowersEachVoltageByTheDropOfTheHigherCurrent) {
  auto src = Source(20.0, 10.0);
  src->endVoltage = 1.0;
  src->AppendPoint(Pt(10, 7.20, 20.0, 100.0));
  CMeasureData out;
  MakeVirtualCurve(out, *src, 30.0, kRange, When());
  ASSERT_EQ(out.Points().size(), 1u);
  EXPECT_NEAR(out.Points()[0].voltage, 7.10, 1e-12);
  EXPECT_DOUBLE_EQ(out.Points()[0].current, 30.0);
  // The source is untouched.
  EXPECT_DOUBLE_EQ(src->Points()[0].voltage, 7.20);
  EXPECT_DOUBLE_EQ(src->Points()[0].current, 20.0);
}

// Ia = 36 A delivers 10 mAh per second; a source whose capacity is ten times
// its last second keeps its time axis (factor 1).
std::unique_ptr<CMeasureData> FlatSource(int lastSecond, double volts = 8.0) {
  auto src = Source(20.0, 10.0);
  for (int t = 0; t <= lastSecond; ++t)
    src->AppendPoint(Pt(t, volts, 20.0, 10.0 * t));
  return src;
}

TEST(MakeVirtualCurve, WindowPointsNeverAppear) {
  auto src = FlatSource(200);
  CMeasureData out;
  MakeVirtualCurve(out, *src, 36.0, kRange, When());
  std::vector<int> t = Times(out);
  for (int w = 120; w <= 125; ++w)
    EXPECT_EQ(std::count(t.begin(), t.end(), w), 0) << w;
  EXPECT_EQ(std::count(t.begin(), t.end(), 119), 1);
  EXPECT_EQ(std::count(t.begin(), t.end(), 126), 1);
  EXPECT_EQ(t.size(), 201u - 6u);
}

TEST(MakeVirtualCurve, CutsAtTheEarliestPointAtOrBelowTheEndVoltage) {
  auto src = Source(20.0, 10.0);  // end voltage 6.0, drop 0.1 V at 30 A
  src->AppendPoint(Pt(0, 7.0, 20.0, 0.0));
  src->AppendPoint(Pt(100, 6.5, 20.0, 500.0));
  src->AppendPoint(Pt(200, 6.1, 20.0, 1000.0));  // 6.0 after the drop: cut here
  src->AppendPoint(Pt(250, 6.0, 20.0, 1250.0));  // below as well
  src->AppendPoint(Pt(300, 6.8, 20.0, 1500.0));  // above again, still removed
  CMeasureData out;
  MakeVirtualCurve(out, *src, 30.0, kRange, When());
  ASSERT_EQ(out.Points().size(), 2u);
  EXPECT_NEAR(out.Points()[1].voltage, 6.4, 1e-12);
}

TEST(MakeVirtualCurve, FirstPointAtTheEndVoltageLeavesNothing) {
  CMeasureData out;
  Generate(out, 30.0, {Pt(0, 6.05, 20.0, 0.0), Pt(10, 7.5, 20.0, 50.0), Pt(20, 7.4, 20.0, 100.0)});
  EXPECT_TRUE(out.IsEmpty());
  EXPECT_DOUBLE_EQ(out.avgVoltage1, 0.0);
  EXPECT_DOUBLE_EQ(out.avgVoltage3, 0.0);
}

TEST(MakeVirtualCurve, LastRemainingPointAtZeroSecondsKeepsOnlyThatPoint) {
  // The point after the start already falls to the end voltage: only the
  // point at 0 s remains, and its time span cannot be scaled.
  CMeasureData out;
  Generate(out, 30.0, {Pt(0, 7.5, 20.0, 0.0), Pt(1, 6.0, 20.0, 5.0), Pt(2, 7.5, 20.0, 10.0)});
  ASSERT_EQ(out.Points().size(), 1u);
  EXPECT_EQ(out.Points()[0].time, 0);
  EXPECT_DOUBLE_EQ(out.Points()[0].capacity, 0.0);
  EXPECT_NEAR(out.Points()[0].voltage, 7.4, 1e-12);
}

TEST(MakeVirtualCurve, SeveralPointsAtZeroSecondsKeepTheLatest) {
  CMeasureData out;
  Generate(out, 30.0, {Pt(0, 7.5, 20.0, 0.0), Pt(0, 7.3, 20.0, 0.0)});
  ASSERT_EQ(out.Points().size(), 1u);
  EXPECT_NEAR(out.Points()[0].voltage, 7.2, 1e-12);
}

TEST(MakeVirtualCurve, TimeAxisDeliversTheSourceCapacityAtTheVirtualCurrent) {
  // C = 1800 mAh, Ia = 36 A: q = 10 mAh/s, T = 180 s, factor 0.5.
  CMeasureData out;
  Generate(out, 36.0,
           {Pt(100, 8.0, 20.0, 500.0), Pt(200, 7.9, 20.0, 1000.0), Pt(300, 7.8, 20.0, 1500.0),
            Pt(360, 7.7, 20.0, 1800.0)});
  ASSERT_EQ(Times(out), (std::vector<int>{50, 100, 150, 180}));
  EXPECT_DOUBLE_EQ(out.Points()[1].capacity, 1000.0);
  EXPECT_DOUBLE_EQ(out.Points()[3].capacity, 1800.0);
  EXPECT_DOUBLE_EQ(out.Points()[0].capacity, 500.0);
}

TEST(MakeVirtualCurve, PointsOnTheSameSecondKeepTheLaterOne) {
  // C = 700 mAh at 36 A over a last point at 100 s: factor 0.7, so 10 s and
  // 11 s both land on second 7.
  CMeasureData out;
  Generate(out, 36.0,
           {Pt(10, 8.0, 20.0, 70.0), Pt(11, 7.9, 20.0, 77.0), Pt(100, 7.8, 20.0, 700.0)});
  ASSERT_EQ(Times(out), (std::vector<int>{7, 70}));
  EXPECT_NEAR(out.Points()[0].voltage, 7.9 + 0.2 - 0.36, 1e-12);
}

TEST(MakeVirtualCurve, RemarkIdentityAndResults) {
  auto src = Source(20.0, 10.0);
  src->id1 = 1;
  src->id2 = 2;
  src->id3 = 3;
  src->remark = "R1";
  src->v1Point = 100;
  src->AppendPoint(Pt(0, 8.2, 20.0, 0.0));
  src->AppendPoint(Pt(100, 8.1, 20.0, 500.0));
  src->AppendPoint(Pt(200, 8.0, 20.0, 1000.0));
  CMeasureData out;
  MakeVirtualCurve(out, *src, 30.0, Avg3Range{0, 9999}, When());

  EXPECT_EQ(out.remark, Sj("(30.0Aﾊﾞｰﾁｬﾙｶｰﾌﾞ/001-002-003_2015/05/01 12:34:56_20.0A) R1"));
  // Half-width katakana are single bytes: ﾊﾞｰ = CA DE B0.
  EXPECT_NE(out.remark.find("\xCA\xDE\xB0"), std::string::npos);
  EXPECT_EQ(out.GetIdText(), "");
  EXPECT_EQ(out.dateTime, When());
  EXPECT_DOUBLE_EQ(out.pir, -1.0);
  EXPECT_DOUBLE_EQ(out.currentA, 30.0);
  EXPECT_DOUBLE_EQ(out.currentB, 30.0);
  EXPECT_DOUBLE_EQ(out.currentC, 30.0);
  EXPECT_DOUBLE_EQ(out.internalResistance, 10.0);
  EXPECT_EQ(out.cells, 6);
  EXPECT_DOUBLE_EQ(out.endVoltage, 6.0);

  // 1000 mAh at 30 A takes 120 s: factor 0.6.
  ASSERT_EQ(Times(out), (std::vector<int>{0, 60, 120}));
  const double v0 = 8.2 - 0.1, v1 = 8.1 - 0.1, v2 = 8.0 - 0.1;
  EXPECT_NEAR(out.Points()[0].avgVoltage, v0, 1e-12);
  EXPECT_NEAR(out.Points()[1].avgVoltage, (v0 + v1) / 2, 1e-12);
  EXPECT_NEAR(out.Points()[2].avgVoltage, (v0 + v1 + v2) / 3, 1e-12);
  EXPECT_NEAR(out.avgVoltage1, (v0 + v1) / 2, 1e-12);  // points up to 100 s
  // Average voltage 3 uses the new times: 120 s is in the window.
  EXPECT_NEAR(out.avgVoltage3, (v0 + v1) / 2, 1e-12);
}

TEST(MakeVirtualCurve, SourceWithoutPointsGivesEmptyRecord) {
  auto src = Source();
  CMeasureData out;
  out.AppendPoint(Pt(5, 1.0));
  MakeVirtualCurve(out, *src, 30.0, kRange, When());
  EXPECT_TRUE(out.IsEmpty());
  EXPECT_DOUBLE_EQ(out.pir, -1.0);
}

TEST(MakeVirtualCurve, ZeroCurrentDoesNotBreakTheTimeAxis) {
  auto src = FlatSource(10);
  CMeasureData out;
  MakeVirtualCurve(out, *src, 0.0, kRange, When());
  ASSERT_EQ(out.Points().size(), 1u);
  EXPECT_EQ(out.Points()[0].time, 0);
}

TEST(VirtualCapacity, KeepsFourCharacters) {
  EXPECT_DOUBLE_EQ(VirtualCapacity(1234.567890), 1234.0);
  EXPECT_DOUBLE_EQ(VirtualCapacity(987.654321), 987.0);
  EXPECT_DOUBLE_EQ(VirtualCapacity(45.678901), 45.6);
  EXPECT_DOUBLE_EQ(VirtualCapacity(3.141593), 3.14);
  EXPECT_DOUBLE_EQ(VirtualCapacity(0.5), 0.5);
  EXPECT_DOUBLE_EQ(VirtualCapacity(0.0), 0.0);
  EXPECT_DOUBLE_EQ(VirtualCapacity(9999.9), 9999.0);
}

TEST(VirtualCapacity, KeepsTheIntegerPartOfLargeCapacities) {
  EXPECT_DOUBLE_EQ(VirtualCapacity(12345.6), 12345.0);
  EXPECT_DOUBLE_EQ(VirtualCapacity(100000.25), 100000.0);
}

// --- The virtual current dialog --------------------------------------------

TEST(VirtualCurrentDialog, OpensWithTheSourceCurrent) {
  EXPECT_EQ(VirtualCurrentInitialText(20.0), "20.0");
  EXPECT_EQ(VirtualCurrentInitialText(15.55), "15.6");
}

TEST(VirtualCurrentDialog, ChecksTheUnroundedValueAndStoresTheRoundedOne) {
  FakeUi ui;
  std::optional<double> ia = AcceptVirtualCurrent(ui, "20.04", 20.0);
  ASSERT_TRUE(ia);
  EXPECT_DOUBLE_EQ(*ia, 20.0);
  EXPECT_TRUE(ui.messages.empty());
  ia = AcceptVirtualCurrent(ui, "1000.0", 20.0);
  ASSERT_TRUE(ia);
  EXPECT_DOUBLE_EQ(*ia, 1000.0);
  EXPECT_DOUBLE_EQ(*AcceptVirtualCurrent(ui, "30.06", 20.0), 30.1);
}

TEST(VirtualCurrentDialog, RefusesAValueNotAboveTheSource) {
  FakeUi ui;
  EXPECT_FALSE(AcceptVirtualCurrent(ui, "20.0", 20.0));
  EXPECT_FALSE(AcceptVirtualCurrent(ui, "abc", 20.0));  // reads as 0
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].text,
            Sj("放電電流は、元データの値(20.0A)より大きい値を入力してください。"));
  EXPECT_EQ(ui.messages[0].caption, Sj("仮想放電電流値"));
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kWarning);
}

TEST(VirtualCurrentDialog, RefusesMoreThanOneThousand) {
  FakeUi ui;
  EXPECT_FALSE(AcceptVirtualCurrent(ui, "1000.01", 20.0));
  EXPECT_FALSE(AcceptVirtualCurrent(ui, "1000.04", 20.0));  // unrounded check
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].text, Sj("放電電流は、1000.0以下の値を入力してください。"));
  // A source above the limit: the limit message replaces the first one.
  EXPECT_EQ(*VirtualCurrentRefusal(1200.0, 1500.0),
            Sj("放電電流は、1000.0以下の値を入力してください。"));
}

// --- The command -------------------------------------------------------------

class VirtualCommandTest : public AnalysisDocTest {
 protected:
  void SetUp() override {
    AnalysisDocTest::SetUp();
    auto src = FlatSource(200);
    src->remark = "R1";
    source = Register(std::move(src), 1, 2, 3);
  }

  bool Run(ListSelection sel, std::optional<double> answer = 36.0) {
    return RunVirtualCurveCommand(*doc, ui, sel, [&](double current) {
      dialogCurrents.push_back(current);
      return answer;
    });
  }

  ListSelection One() { return {true, {doc->RowKeyOf(*source)}}; }

  CMeasureData* source = nullptr;
  std::vector<double> dialogCurrents;
};

TEST_F(VirtualCommandTest, GeneratesIntoTheCurrentMeasurement) {
  EXPECT_TRUE(Run(One()));
  EXPECT_EQ(dialogCurrents, (std::vector<double>{20.0}));
  const CMeasureData& cur = doc->Current();
  EXPECT_EQ(doc->SlotOf(cur), 1);
  EXPECT_DOUBLE_EQ(cur.currentA, 36.0);
  EXPECT_DOUBLE_EQ(cur.pir, -1.0);
  EXPECT_EQ(cur.Points().size(), 195u);
  EXPECT_TRUE(app.modified);
  EXPECT_EQ(refreshes, (std::vector<int>{3}));
  ASSERT_EQ(ui.messages.size(), 1u);  // no overwrite question for an empty panel
  EXPECT_EQ(ui.messages[0].text, Sj("仮想放電電流 36.0 A のバーチャルカーブを生成しました。"));
  EXPECT_EQ(ui.messages[0].caption, Sj("バーチャルカーブの生成"));
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kInformation);
  // The display list still holds the current measurement in slot 1.
  ASSERT_EQ(doc->DisplayList().size(), 1u);
  EXPECT_EQ(doc->DisplayList()[0], &doc->Current());
}

TEST_F(VirtualCommandTest, NeedsExactlyOneSelectedRowInTheFocusedList) {
  const std::string text =
      Sj("バーチャルカーブの生成元となるデータを、データビューから１つ選択してください。");
  EXPECT_FALSE(Run({true, {}}));
  EXPECT_FALSE(Run({false, {doc->RowKeyOf(*source)}}));
  auto other = FlatSource(10);
  Register(std::move(other), 5, 5, 5);
  EXPECT_FALSE(Run({true, {0, 1}}));
  ASSERT_EQ(ui.messages.size(), 3u);
  for (const auto& m : ui.messages) {
    EXPECT_EQ(m.text, text);
    EXPECT_EQ(m.caption, Sj("バーチャルカーブの生成"));
  }
  EXPECT_TRUE(dialogCurrents.empty());
  EXPECT_TRUE(doc->Current().IsEmpty());
}

TEST_F(VirtualCommandTest, UnknownRowEndsSilently) {
  EXPECT_FALSE(Run({true, {42}}));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(VirtualCommandTest, RefusesSourcesWithoutResistanceOrPir) {
  source->pir = 0.0;
  EXPECT_FALSE(Run(One()));
  source->pir = 1.0;
  source->internalResistance = 0.0;
  EXPECT_FALSE(Run(One()));
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[1].text,
            Sj("選択されたデータは、内部抵抗値もしくはPIRが0.0以下のため実行できません。"));
  EXPECT_EQ(ui.messages[1].icon, MsgIcon::kInformation);
  EXPECT_TRUE(dialogCurrents.empty());
}

TEST_F(VirtualCommandTest, RefusesUnequalCurrentsBeforeTheDialog) {
  source->currentC = 10.0;
  EXPECT_FALSE(Run(One()));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text,
            Sj("選択されたデータは、放電電流Ａ・Ｂ・Ｃの値が同じでないため実行できません。\n"
               "（バーチャルカーブの生成元データは、定電流放電のデータに限ります。）"));
  EXPECT_TRUE(dialogCurrents.empty());
}

TEST_F(VirtualCommandTest, AsksBeforeOverwritingAndCancelChangesNothing) {
  doc->Current().AppendPoint(Pt(1, 7.0));
  ui.Answer(MsgResult::kCancel);
  EXPECT_FALSE(Run(One()));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text,
            Sj("計測データ欄にデータが残っています。\n\nバーチャルカーブを生成する際、"
               "上書きしてよろしいですか？\n（上書きされたデータは元に戻せません）"));
  EXPECT_EQ(ui.messages[0].buttons, MsgButtons::kOkCancel);
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kQuestion);
  EXPECT_EQ(doc->Current().Points().size(), 1u);
  EXPECT_TRUE(dialogCurrents.empty());

  ui.Answer(MsgResult::kOk);
  EXPECT_TRUE(Run(One()));
  EXPECT_EQ(doc->Current().Points().size(), 195u);
}

TEST_F(VirtualCommandTest, CancelledDialogChangesNothing) {
  EXPECT_FALSE(Run(One(), std::nullopt));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(doc->Current().IsEmpty());
  EXPECT_FALSE(app.modified);
  EXPECT_TRUE(refreshes.empty());
}

}  // namespace
}  // namespace qv::test
