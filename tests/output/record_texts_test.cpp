#include <gtest/gtest.h>

#include "core/numtext.h"
#include "output/bitmap_export.h"
#include "output/record_texts.h"
#include "output_test_util.h"

namespace qv {
namespace {

using test::MakeRecord;

TEST(RecordTexts, FormatsOfEveryValue) {
  auto r = MakeRecord(1, 2, 3, 1);
  r->AppendPoint({600, 10.0, 3.5, 1500.9, 3.6789});
  const RecordTexts t = MakeRecordTexts(*r);
  EXPECT_EQ(t.id, "001-002-003");
  EXPECT_EQ(t.dateTime, "2024/03/05 14:07:09");
  EXPECT_EQ(t.seconds, "600");
  EXPECT_EQ(t.capacity, "1500");
  EXPECT_EQ(t.energy, "5521");  // 1500.9 x 3.6789 = 5521.66, truncated
  EXPECT_EQ(t.avgVoltage1, "7.123");
  EXPECT_EQ(t.avgVoltage2, "3.679");
  EXPECT_EQ(t.resistance, "45.7");
  EXPECT_EQ(t.pir, "12.3");
  EXPECT_EQ(t.currentA, "10.0");
  EXPECT_EQ(t.currentB, "5.0");
  EXPECT_EQ(t.currentC, "1.5");
  EXPECT_EQ(t.cells, "1");
  EXPECT_EQ(t.endVoltage, "5.4");
  EXPECT_EQ(t.v1Point, "300");
}

// A corrupt capacity beyond the integer range reads as the nearest integer,
// as the data view and the point detail show it, not as 0.
TEST(RecordTexts, CapacityBeyondTheIntegerRangeIsClampedLikeTheDataView) {
  auto big = MakeRecord(1, 2, 3);
  big->AppendPoint({600, 10.0, 7.0, 3.0e9, 0.0});
  EXPECT_EQ(MakeRecordTexts(*big).capacity, "2147483647");
  auto negative = MakeRecord(1, 2, 4);
  negative->AppendPoint({600, 10.0, 7.0, -3.0e9, 0.0});
  EXPECT_EQ(MakeRecordTexts(*negative).capacity, "-2147483648");
  EXPECT_EQ(TruncInt(3.0e9), 2147483647);
  EXPECT_EQ(TruncInt(-7.9), -7);

  const std::vector<GraphCurve> display{{big.get(), 2}};
  auto cells = BitmapTableCells(display, 374);
  ASSERT_EQ(cells.size(), 27u);
  EXPECT_EQ(cells[18 + 2].text, "2147483647");
}

}  // namespace
}  // namespace qv
