// The decimal rounding helper that the input dialogs pass typed values through.
#include <gtest/gtest.h>

#include "core/numtext.h"

namespace qv {
namespace {

TEST(RoundDecimal, OneDecimalAroundTheCurrentLimit) {
  EXPECT_DOUBLE_EQ(RoundDecimal(35.04, 1), 35.0);  // accepted as 35.0
  EXPECT_DOUBLE_EQ(RoundDecimal(35.06, 1), 35.1);  // refused as 35.1
  EXPECT_DOUBLE_EQ(RoundDecimal(-0.04, 1), -0.0);  // accepted as 0.0
  EXPECT_DOUBLE_EQ(RoundDecimal(-0.06, 1), -0.1);
  EXPECT_DOUBLE_EQ(RoundDecimal(20.04, 1), 20.0);
  EXPECT_DOUBLE_EQ(RoundDecimal(1000.04, 1), 1000.0);
}

TEST(RoundDecimal, TwoDecimalsAroundTheGraphLimits) {
  EXPECT_DOUBLE_EQ(RoundDecimal(12.004, 2), 12.0);
  EXPECT_DOUBLE_EQ(RoundDecimal(12.006, 2), 12.01);
  EXPECT_DOUBLE_EQ(RoundDecimal(15.004, 2), 15.0);
  EXPECT_DOUBLE_EQ(RoundDecimal(15.006, 2), 15.01);
  EXPECT_DOUBLE_EQ(RoundDecimal(0.046, 2), 0.05);
  EXPECT_DOUBLE_EQ(RoundDecimal(0.044, 2), 0.04);
}

TEST(RoundDecimal, ZeroOrFewerDecimalsGiveTheFloor) {
  EXPECT_DOUBLE_EQ(RoundDecimal(35.9, 0), 35.0);
  EXPECT_DOUBLE_EQ(RoundDecimal(-1.5, 0), -2.0);
  EXPECT_DOUBLE_EQ(RoundDecimal(7.7, -1), 7.0);
}

TEST(RoundDecimal, ReadsBackTheFormattedText) {
  // The value printed with "%.1f" and read back: 0.25 prints as "0.2".
  EXPECT_DOUBLE_EQ(RoundDecimal(0.25, 1), 0.2);
  EXPECT_DOUBLE_EQ(RoundDecimal(0.35, 1), 0.3);  // 0.35 is stored just below
}

}  // namespace
}  // namespace qv
