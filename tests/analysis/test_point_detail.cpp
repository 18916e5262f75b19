#include <gtest/gtest.h>

#include "analysis/point_detail.h"
#include "analysis_fixture.h"

namespace qv::test {
namespace {

class PointDetailTest : public AnalysisDocTest {};

TEST_F(PointDetailTest, RowsForTheCurrentMeasurementThenDrawnRecordsInListOrder) {
  doc->Current().AppendPoint(Pt(300, 7.0, 20.0, 1600.0));
  auto later = Source();
  later->AppendPoint(Pt(300, 7.1, 20.0, 1700.0));
  CMeasureData* b = Register(std::move(later), 2, 1, 1);
  auto earlier = Source();
  earlier->AppendPoint(Pt(300, 7.2, 20.0, 1800.0));
  CMeasureData* a = Register(std::move(earlier), 1, 1, 1);
  auto hidden = Source();
  hidden->AppendPoint(Pt(300, 7.3, 20.0, 1900.0));
  Register(std::move(hidden), 3, 1, 1);
  doc->ToggleOverlay(b);  // slot 2
  doc->ToggleOverlay(a);  // slot 3

  auto rows = PointDetailRows(*doc, 300);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].record, &doc->Current());
  EXPECT_EQ(rows[0].cells[0], " -----");
  EXPECT_EQ(rows[0].slot, 1);
  EXPECT_EQ(rows[0].paletteIndex, 10);
  EXPECT_EQ(rows[1].record, a);  // list order, not overlay order
  EXPECT_EQ(rows[1].cells[0], "001-001-001");
  EXPECT_EQ(rows[1].paletteIndex, 12);
  EXPECT_EQ(rows[2].record, b);
  EXPECT_EQ(rows[2].paletteIndex, 11);
}

TEST_F(PointDetailTest, OnlyExactSecondsGiveRows) {
  auto r = Source();
  r->AppendPoint(Pt(299, 7.0));
  r->AppendPoint(Pt(301, 7.0));
  doc->ToggleOverlay(Register(std::move(r), 1, 1, 1));
  EXPECT_TRUE(PointDetailRows(*doc, 300).empty());
  EXPECT_EQ(PointDetailRows(*doc, 301).size(), 1u);
  EXPECT_TRUE(PointDetailRows(*doc, -1).empty());  // never "the last point"
}

TEST_F(PointDetailTest, CellTexts) {
  CMeasurePoint p = Pt(10, 7.2345, 20.04, 1234.9);
  p.avgVoltage = 7.2;
  doc->Current().AppendPoint(p);
  doc->Current().cells = 6;
  auto rows = PointDetailRows(*doc, 10);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].cells[1], "20.0");
  EXPECT_EQ(rows[0].cells[2], "7.23");
  EXPECT_EQ(rows[0].cells[3], "1234");
  EXPECT_EQ(rows[0].cells[4], "8891");  // 7.2 x 1234.9 = 8891.28
  EXPECT_EQ(rows[0].cells[5], "7.200");
  doc->Current().cells = 1;
  EXPECT_EQ(PointDetailRows(*doc, 10)[0].cells[2], "7.234");
}

TEST(PointDetailColumns, TitlesWidthsAndNumericFlags) {
  auto cols = PointDetailColumns();
  ASSERT_EQ(cols.size(), 6u);
  EXPECT_EQ(cols[0].title, Sj("登録ID"));
  EXPECT_EQ(cols[0].width, 78);
  EXPECT_FALSE(cols[0].numeric);
  EXPECT_EQ(cols[4].title, Sj("放電電力[mWh]"));
  EXPECT_EQ(cols[4].width, 92);
  for (size_t i = 1; i < 6; ++i)
    EXPECT_TRUE(cols[i].numeric) << i;
  EXPECT_EQ(PointDetailPaletteColor(10), 0x00FFFFu);
  EXPECT_EQ(PointDetailPaletteColor(16), 0x9999FFu);
}

}  // namespace
}  // namespace qv::test
