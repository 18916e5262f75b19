// The measurement record: reset state, IDs, point lookup, results, copy and
// the date-time texts.
#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

#include "data/archive.h"
#include "data/measure_data.h"

namespace qv {
namespace {

COleDateTime Ole(double date, int32_t status) {
  COleDateTime t;
  t.date = date;
  t.status = status;
  return t;
}

CMeasurePoint Pt(int32_t t, double current, double voltage, double capacity = 0.0,
                 double avg = 0.0) {
  return {t, current, voltage, capacity, avg};
}

TEST(Record, ResetStateIsEmpty) {
  InputConditions in{6, 6.0, 20.0, 5.0, 10.0, 300};
  CMeasureData r(in);
  EXPECT_EQ(r.GetIdText(), "");
  EXPECT_EQ(r.GetIdKey(), 0u);
  EXPECT_EQ(r.GetDateTimeText(), "0100/01/01 00:00:00");
  EXPECT_EQ(r.dateTime.date, -657434.0);
  EXPECT_EQ(r.dateTime.status, COleDateTime::kValid);
  EXPECT_FALSE(r.IsMeasured());
  EXPECT_EQ(r.GetDischargeTime(), 0);
  EXPECT_EQ(r.GetEnergy(-1), 0);
  EXPECT_TRUE(r.IsEmpty());
  EXPECT_EQ(r.FindPoint(-1), nullptr);
  EXPECT_EQ(r.FindPoint(0), nullptr);
  EXPECT_EQ(r.Inputs(), in);
  EXPECT_EQ(r.avgVoltage1, 0.0);
  EXPECT_EQ(r.avgVoltage3, 0.0);
  EXPECT_EQ(r.pir, 0.0);
  EXPECT_EQ(r.internalResistance, 0.0);
  EXPECT_EQ(r.remark, "");
}

TEST(Record, ResetClearsEverything) {
  CMeasureData r;
  r.id1 = r.id2 = r.id3 = 5;
  r.remark = "x";
  r.pir = 1.0;
  r.dateTime = COleDateTime::FromParts({2015, 3, 4, 10, 11, 12});
  r.AppendPoint(Pt(1, 1, 1));
  InputConditions in{4, 4.0, 2.0, 1.0, 0.5, 200};
  r.Reset(in);
  EXPECT_TRUE(r.IsEmpty());
  EXPECT_EQ(r.GetIdText(), "");
  EXPECT_EQ(r.remark, "");
  EXPECT_EQ(r.pir, 0.0);
  EXPECT_EQ(r, CMeasureData(in));
  EXPECT_FALSE(r.IsMeasured());
  EXPECT_EQ(r.Inputs(), in);
}

TEST(Record, IdTextAndKey) {
  CMeasureData r;
  r.id1 = 1;
  r.id2 = 2;
  r.id3 = 3;
  EXPECT_EQ(r.GetIdText(), "001-002-003");
  EXPECT_EQ(r.GetIdKey(), 1002003u);
  r.id1 = r.id2 = r.id3 = 999;
  EXPECT_EQ(r.GetIdText(), "999-999-999");
  EXPECT_EQ(r.GetIdKey(), 999999999u);
  r.id2 = -1;
  EXPECT_EQ(r.GetIdText(), "");
  EXPECT_EQ(r.GetIdKey(), 0u);
}

TEST(Record, FindPointFirstMatchAndLast) {
  CMeasureData r;
  r.AppendPoint(Pt(0, 1.0, 8.0));
  r.AppendPoint(Pt(5, 2.0, 7.5));
  r.AppendPoint(Pt(5, 3.0, 7.0));  // same elapsed time: the earlier one wins
  r.AppendPoint(Pt(9, 4.0, 6.5));
  ASSERT_NE(r.FindPoint(5), nullptr);
  EXPECT_EQ(r.FindPoint(5)->current, 2.0);
  EXPECT_EQ(r.FindPoint(-1)->time, 9);
  EXPECT_EQ(r.FindPoint(-7)->time, 9);
  EXPECT_EQ(r.FindPoint(6), nullptr);
  EXPECT_EQ(r.GetDischargeTime(), 9);
  EXPECT_EQ(r.GetCurrent(5), 2.0);
  EXPECT_EQ(r.GetVoltage(-1), 6.5);
  EXPECT_EQ(r.GetVoltage(6), 0.0);
  EXPECT_EQ(r.GetCapacity(6), 0.0);
  EXPECT_EQ(r.GetAvgVoltage(6), 0.0);
}

TEST(Record, DischargeTimeIsTheLastPointsTimeNotTheLargest) {
  CMeasureData r;
  r.AppendPoint(Pt(100, 1, 1));
  r.AppendPoint(Pt(50, 1, 1));
  EXPECT_EQ(r.GetDischargeTime(), 50);
}

TEST(Record, EnergyIsTruncatedTowardZero) {
  CMeasureData r;
  r.AppendPoint(Pt(0, 20, 8, 0.0, 0.0));
  r.AppendPoint(Pt(1, 20, 7.2, 1500.0, 7.2));
  EXPECT_EQ(r.GetEnergy(-1), 10800);
  r.MutablePoints().back() = Pt(1, 20, 1.2, 1000.5, 1.2345);  // 1235.117...
  EXPECT_EQ(r.GetEnergy(-1), 1235);
  EXPECT_EQ(r.GetEnergy(0), 0);
  EXPECT_EQ(r.GetEnergy(77), 0);
  r.MutablePoints().back() = Pt(1, 20, 1.2, -1000.5, 1.2345);  // toward zero, not down
  EXPECT_EQ(r.GetEnergy(1), -1235);
  // Values no 32-bit energy can hold (damaged files) give 0, not undefined results.
  r.MutablePoints().back() = Pt(1, 20, 1.2, 1e300, 1e300);
  EXPECT_EQ(r.GetEnergy(1), 0);
  r.MutablePoints().back() = Pt(1, 20, 1.2, NAN, 1.0);
  EXPECT_EQ(r.GetEnergy(1), 0);
}

TEST(Record, AverageVoltage2AndCapacityOfTheLastPoint) {
  CMeasureData r;
  r.AppendPoint(Pt(0, 20, 8, 0, 8.0));
  r.AppendPoint(Pt(1, 20, 7, 5.6, 7.5));
  EXPECT_EQ(r.GetAvgVoltage(-1), 7.5);
  EXPECT_EQ(r.GetCapacity(-1), 5.6);
}

CMeasureData& SeriesTo300(CMeasureData& r) {
  for (int t = 0; t <= 300; ++t)
    r.AppendPoint(Pt(t, 20.0, 1000.0 + t));  // voltage encodes the time
  return r;
}

TEST(Record, AverageVoltage3SkipsTheWindow) {
  CMeasureData r;
  SeriesTo300(r);
  r.UpdateAvgVolt3({100, 200});
  // 100..119 and 126..200: 95 points.
  double sum = 0;
  int n = 0;
  for (int t = 100; t <= 200; ++t) {
    if (t >= 120 && t <= 125) continue;
    sum += 1000.0 + t;
    ++n;
  }
  ASSERT_EQ(n, 95);
  EXPECT_DOUBLE_EQ(r.avgVoltage3, sum / n);
  // 119 and 126 count, 120 and 125 do not.
  r.UpdateAvgVolt3({119, 119});
  EXPECT_EQ(r.avgVoltage3, 1119.0);
  r.UpdateAvgVolt3({126, 126});
  EXPECT_EQ(r.avgVoltage3, 1126.0);
  r.UpdateAvgVolt3({120, 125});
  EXPECT_EQ(r.avgVoltage3, 0.0);
  r.UpdateAvgVolt3({0, 0});
  EXPECT_EQ(r.avgVoltage3, 1000.0);
  r.UpdateAvgVolt3({200, 100});  // an empty range
  EXPECT_EQ(r.avgVoltage3, 0.0);
}

TEST(Record, EmfUsesTheFirstOf119To116) {
  CMeasureData r;
  r.internalResistance = 25.0;
  r.AppendPoint(Pt(116, 16.0, 7.0));
  r.AppendPoint(Pt(120, 5.0, 7.5));
  EXPECT_DOUBLE_EQ(r.GetEmfVoltage(), 7.5 + 25.0 * 0.001 * 16.0);
  r.AppendPoint(Pt(118, 18.0, 7.1));  // 118 comes before 116 in the search
  EXPECT_DOUBLE_EQ(r.GetEmfVoltage(), 7.5 + 25.0 * 0.001 * 18.0);
}

TEST(Record, EmfIsZeroWithoutItsPoints) {
  CMeasureData r;
  r.internalResistance = 25.0;
  r.AppendPoint(Pt(115, 16.0, 7.0));
  r.AppendPoint(Pt(120, 5.0, 7.5));
  EXPECT_EQ(r.GetEmfVoltage(), 0.0);  // nothing at 116..119
  CMeasureData s;
  s.AppendPoint(Pt(119, 16.0, 7.0));
  EXPECT_EQ(s.GetEmfVoltage(), 0.0);  // nothing at 120
  CMeasureData empty;
  EXPECT_EQ(empty.GetEmfVoltage(), 0.0);
}

TEST(Record, ACopyHoldsEveryFieldAndPointAndStandsAlone) {
  CMeasureData src(InputConditions{6, 6.0, 20.0, 5.0, 10.0, 300});
  src.id1 = 1;
  src.id2 = 2;
  src.id3 = 3;
  src.dateTime = COleDateTime::FromParts({2015, 3, 4, 10, 11, 12});
  src.remark = "abc";
  src.avgVoltage1 = 7.1;
  src.avgVoltage3 = 7.05;
  src.pir = 12.3;
  src.internalResistance = 25.5;
  src.AppendPoint(Pt(0, 20, 8, 0, 8));
  src.AppendPoint(Pt(1, 20, 7.9, 5.5, 7.95));

  CMeasureData dst;
  dst.AppendPoint(Pt(42, 1, 1));
  const CMeasureData* identity = &dst;
  dst = src;
  EXPECT_EQ(&dst, identity);  // assigned in place: still the same object
  EXPECT_EQ(dst, src);
  EXPECT_EQ(CMeasureData(src), src);
  EXPECT_EQ(dst.GetIdText(), "001-002-003");
  EXPECT_EQ(dst.dateTime, src.dateTime);
  EXPECT_EQ(dst.remark, "abc");
  EXPECT_EQ(dst.Inputs(), src.Inputs());
  EXPECT_EQ(dst.avgVoltage1, 7.1);
  EXPECT_EQ(dst.avgVoltage3, 7.05);
  EXPECT_EQ(dst.pir, 12.3);
  EXPECT_EQ(dst.internalResistance, 25.5);
  EXPECT_EQ(dst.Points(), src.Points());
  // A deep copy: changing the copy leaves the source alone.
  dst.MutablePoints()[0].voltage = 1.0;
  EXPECT_EQ(src.Points()[0].voltage, 8.0);
  EXPECT_NE(dst, src);
  // Any one field differing makes records unequal.
  CMeasureData other = src;
  other.remark = "abd";
  EXPECT_NE(other, src);
  other = src;
  other.id3 = 4;
  EXPECT_NE(other, src);
  // Copying a record onto itself keeps it.
  const CMeasureData& self = dst;
  dst = self;
  EXPECT_EQ(dst.Points().size(), 2u);
}

TEST(Record, SlotColours) {
  EXPECT_EQ(SlotColor(1), 0x00FFFFu);
  EXPECT_EQ(SlotColor(2), 0xFF00FFu);
  EXPECT_EQ(SlotColor(3), 0xFFFF00u);
  EXPECT_EQ(SlotColor(4), 0xFF0000u);
  EXPECT_EQ(SlotColor(5), 0x00FF00u);
  EXPECT_EQ(SlotColor(6), 0xFF9933u);
  EXPECT_EQ(SlotColor(7), 0x9999FFu);
  EXPECT_EQ(SlotColor(-1), 0xFFFFFFu);
  EXPECT_EQ(SlotColor(8), 0xFFFFFFu);
}

TEST(Record, WindowTimes) {
  EXPECT_FALSE(IsWindowTime(119));
  EXPECT_TRUE(IsWindowTime(120));
  EXPECT_TRUE(IsWindowTime(125));
  EXPECT_FALSE(IsWindowTime(126));
}

// --- Date-time ---------------------------------------------------------------

TEST(DateTime, KnownDatesAndTexts) {
  COleDateTime t = COleDateTime::FromParts({2015, 3, 4, 10, 11, 12});
  EXPECT_EQ(t.Text(), "2015/03/04 10:11:12");
  EXPECT_NEAR(t.date, 42067.42444, 1e-5);
  EXPECT_EQ(COleDateTime::FromParts({1899, 12, 30, 0, 0, 0}).date, 0.0);
  EXPECT_EQ(COleDateTime::FromParts({1900, 1, 1, 0, 0, 0}).date, 2.0);
  EXPECT_EQ(COleDateTime::FromParts({100, 1, 1, 0, 0, 0}).date, -657434.0);
  EXPECT_EQ(COleDateTime::FromParts({9999, 12, 31, 0, 0, 0}).date, 2958465.0);
  // Before 1899-12-30 the time of day is still a positive fraction.
  EXPECT_EQ(COleDateTime::FromParts({1899, 12, 29, 6, 0, 0}).date, -1.25);
  EXPECT_EQ(Ole(-1.25, 0).Text(), "1899/12/29 06:00:00");
  EXPECT_EQ(Ole(-0.5, 0).Text(), "1899/12/30 12:00:00");
  EXPECT_EQ(Ole(2.75, 0).Text(), "1900/01/01 18:00:00");
}

TEST(DateTime, TextRoundsToTheNearestSecond) {
  const double second = 1.0 / 86400.0;
  // Positive dates: 10:11:12 stored 0.4 s short shows 10:11:12, never 10:11:11.
  const double d = COleDateTime::FromParts({2015, 3, 4, 10, 11, 12}).date;
  EXPECT_EQ((Ole(d - 0.4 * second, 0).Text()), "2015/03/04 10:11:12");
  EXPECT_EQ((Ole(d + 0.4 * second, 0).Text()), "2015/03/04 10:11:12");
  EXPECT_EQ((Ole(d - 0.6 * second, 0).Text()), "2015/03/04 10:11:11");
  // The last fraction of a day rolls over into the next day, month and year.
  EXPECT_EQ((Ole(42369.0 + 1.0 - 0.3 * second, 0).Text()), "2016/01/01 00:00:00");
  // Negative dates: the fraction counts forward from midnight too.
  const double n = COleDateTime::FromParts({1850, 6, 15, 8, 30, 5}).date;
  ASSERT_LT(n, 0.0);
  EXPECT_EQ((Ole(n - 0.4 * second, 0).Text()), "1850/06/15 08:30:05");
  EXPECT_EQ((Ole(n + 0.4 * second, 0).Text()), "1850/06/15 08:30:05");
  EXPECT_EQ((Ole(-1.0 - (1.0 - 0.3 * second), 0).Text()), "1899/12/30 00:00:00");
  EXPECT_EQ((Ole(-(1.0 - 0.3 * second), 0).Text()), "1899/12/31 00:00:00");
  // The last moment of year 9999 does not round into year 10000.
  EXPECT_EQ((Ole(2958465.99999999, 0).Text()), "9999/12/31 23:59:59");
}

TEST(DateTime, EverySecondOfADayRoundTrips) {
  for (int s = 0; s < 86400; s += 1) {
    DateParts p{2015, 3, 4, s / 3600, s / 60 % 60, s % 60};
    DateParts q = COleDateTime::FromParts(p).Parts();
    ASSERT_EQ(q.hour * 3600 + q.minute * 60 + q.second, s);
    ASSERT_EQ(q.day, 4);
    DateParts pn{1850, 6, 15, s / 3600, s / 60 % 60, s % 60};
    DateParts qn = COleDateTime::FromParts(pn).Parts();
    ASSERT_EQ(qn.hour * 3600 + qn.minute * 60 + qn.second, s);
    ASSERT_EQ(qn.day, 15);
  }
}

TEST(DateTime, NowIsTheLocalTimeExactly) {
  std::time_t before = std::time(nullptr);
  COleDateTime now = COleDateTime::Now();
  std::time_t after = std::time(nullptr);
  DateParts p = now.Parts();
  bool matched = false;
  for (std::time_t t = before; t <= after; ++t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    matched |= p.year == tm.tm_year + 1900 && p.month == tm.tm_mon + 1 && p.day == tm.tm_mday &&
               p.hour == tm.tm_hour && p.minute == tm.tm_min && p.second == tm.tm_sec;
  }
  EXPECT_TRUE(matched) << now.Text();
  EXPECT_EQ(COleDateTime::FromParts(p), now);  // the stored value is the exact second
  EXPECT_EQ(now.status, COleDateTime::kValid);
}

TEST(DateTime, InvalidAndOutOfRangeShowTheUnmeasuredDate) {
  EXPECT_EQ((Ole(42067.0, COleDateTime::kInvalid).Text()), "0100/01/01 00:00:00");
  EXPECT_EQ((Ole(42067.0, COleDateTime::kNull).Text()), "0100/01/01 00:00:00");
  EXPECT_EQ((Ole(-657435.0, 0).Text()), "0100/01/01 00:00:00");
  EXPECT_EQ((Ole(3e6, 0).Text()), "0100/01/01 00:00:00");
  EXPECT_EQ((Ole(NAN, 0).Text()), "0100/01/01 00:00:00");
  EXPECT_EQ((Ole(INFINITY, 0).Text()), "0100/01/01 00:00:00");
  CMeasureData r;
  r.dateTime = Ole(42067.0, COleDateTime::kInvalid);
  EXPECT_FALSE(r.IsMeasured());
  r.dateTime = Ole(42067.0, COleDateTime::kValid);
  EXPECT_TRUE(r.IsMeasured());
  r.dateTime = COleDateTime::FromParts({101, 1, 1, 0, 0, 0});
  EXPECT_TRUE(r.IsMeasured());
}

}  // namespace
}  // namespace qv
