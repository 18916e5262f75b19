#include <gtest/gtest.h>

#include "analysis/avg3_range.h"
#include "analysis_fixture.h"
#include "data/doc_commands.h"

namespace qv::test {
namespace {

class Avg3RangeTest : public AnalysisDocTest {
 protected:
  // A record with a point every second from 0 to 400 s whose voltage is
  // 1 + t / 1000.
  CMeasureData* AddRecord(int id) {
    auto r = Source();
    for (int t = 0; t <= 400; ++t)
      r->AppendPoint(Pt(t, 1.0 + t / 1000.0));
    return Register(std::move(r), id, 1, 1);
  }
};

double Expected(int start, int end) {
  double sum = 0;
  int n = 0;
  for (int t = start; t <= end; ++t) {
    if (t >= 120 && t <= 125) continue;
    sum += 1.0 + t / 1000.0;
    ++n;
  }
  return n ? sum / n : 0.0;
}

TEST_F(Avg3RangeTest, ChangedRangeIsWrittenAndEveryRegisteredRecordRecomputed) {
  CMeasureData* a = AddRecord(1);
  CMeasureData* b = AddRecord(2);
  for (int t = 0; t <= 400; ++t)
    doc->Current().AppendPoint(Pt(t, 5.0));
  doc->Current().avgVoltage3 = 0.25;

  EXPECT_EQ(Avg3RangeOpen(app.avg3).start, "0");
  EXPECT_EQ(AcceptAvg3Range(app, ui, {"100", "300"}), Avg3RangeOutcome::kChanged);
  EXPECT_EQ(app.avg3, (Avg3Range{100, 300}));
  EXPECT_EQ(ReadFile(dir.File("Dis.ini")),
            "[QUORVEX]\r\nDATA_DEF_APO3ST=100\r\nDATA_DEF_APO3ED=300\r\n");
  Avg3RangeChanged(*doc);
  // 100 .. 119 and 126 .. 300: 195 points.
  int counted = 0;
  for (const auto& p : a->Points())
    counted += p.time >= 100 && p.time <= 300 && !IsWindowTime(p.time);
  EXPECT_EQ(counted, 195);
  EXPECT_DOUBLE_EQ(a->avgVoltage3, Expected(100, 300));
  EXPECT_DOUBLE_EQ(b->avgVoltage3, Expected(100, 300));
  EXPECT_DOUBLE_EQ(doc->Current().avgVoltage3, 0.25);  // not recomputed
  EXPECT_EQ(refreshes, (std::vector<int>{4}));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Avg3RangeTest, ReversedRangeIsSwapped) {
  EXPECT_EQ(AcceptAvg3Range(app, ui, {"300", "100"}), Avg3RangeOutcome::kChanged);
  EXPECT_EQ(app.avg3, (Avg3Range{100, 300}));
  EXPECT_EQ(app.settings.Get("DATA_DEF_APO3ST"), "100");
  EXPECT_EQ(app.settings.Get("DATA_DEF_APO3ED"), "300");
}

TEST_F(Avg3RangeTest, UnchangedRangeWritesNothing) {
  app.avg3 = {100, 300};
  EXPECT_EQ(AcceptAvg3Range(app, ui, {"300", "100"}), Avg3RangeOutcome::kUnchanged);
  EXPECT_FALSE(FileExists(dir.File("Dis.ini")));
}

TEST_F(Avg3RangeTest, OutsideZeroTo9999IsRefused) {
  for (auto fields : {Avg3RangeFields{"-1", "10"}, Avg3RangeFields{"0", "10000"}}) {
    EXPECT_EQ(AcceptAvg3Range(app, ui, fields), Avg3RangeOutcome::kStayOpen);
  }
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].text, Sj("時間は、0 ～ 9999 の範囲で値を設定してください。"));
  EXPECT_EQ(ui.messages[0].text.substr(10, 2), "\x81\x60");  // full-width tilde
  EXPECT_EQ(ui.messages[0].caption, Sj("設定値入力範囲"));
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kWarning);
  EXPECT_EQ(app.avg3, (Avg3Range{0, 0}));
  EXPECT_FALSE(FileExists(dir.File("Dis.ini")));
  EXPECT_EQ(AcceptAvg3Range(app, ui, {"0", "9999"}), Avg3RangeOutcome::kChanged);
}

TEST_F(Avg3RangeTest, EdgeRanges) {
  CMeasureData* a = AddRecord(1);
  auto late = Source();
  late->AppendPoint(Pt(1, 3.0));
  CMeasureData* b = Register(std::move(late), 2, 1, 1);
  app.avg3 = {5, 5};
  ASSERT_EQ(AcceptAvg3Range(app, ui, {"0", "0"}), Avg3RangeOutcome::kChanged);
  Avg3RangeChanged(*doc);
  EXPECT_DOUBLE_EQ(a->avgVoltage3, 1.0);  // only the point at 0 s
  EXPECT_DOUBLE_EQ(b->avgVoltage3, 0.0);
  ASSERT_EQ(AcceptAvg3Range(app, ui, {"120", "125"}), Avg3RangeOutcome::kChanged);
  Avg3RangeChanged(*doc);
  EXPECT_DOUBLE_EQ(a->avgVoltage3, 0.0);
}

}  // namespace
}  // namespace qv::test
