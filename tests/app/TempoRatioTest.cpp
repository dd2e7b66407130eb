// Section length, stretch ratio and tempo: the worked examples, and results
// checked against the plain formula they approximate.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "TempoRatio.h"

TEST(TempoRatio, SectionLengthLiesOnTheTenThousandthGridPlusHalfAMillisecond) {
  EXPECT_DOUBLE_EQ(calcTempo(4, 4, 4, 120.0), 8.0005);
  EXPECT_DOUBLE_EQ(calcTempo(4, 4, 1, 120.0), 2.0005);
  EXPECT_DOUBLE_EQ(calcTempo(3, 4, 2, 90.0), 4.0005);
  EXPECT_EQ(calcTempo(4, 0, 4, 120.0), 0.0);
  EXPECT_EQ(calcTempo(4, 4, 4, 0.0), 0.0) << "a zero tempo gives no length instead of dividing by zero";
  EXPECT_EQ(calcTempo(4, 4, 4, -10.0), 0.0);
  // Against the exact length: never shorter, at most 0.0005 s longer.
  for (unsigned num = 1; num <= 12; ++num) {
    for (unsigned den : {2u, 4u, 8u}) {
      for (double tempo : {5.0, 77.0, 120.0, 500.0}) {
        const double exact = 4 * num * 4 * 60.0 / (den * tempo);  // four bars
        const double got = calcTempo(num, den, 4, tempo);
        EXPECT_GE(got, exact - 1e-9);
        EXPECT_LE(got, exact + 0.0005 + 1e-9);
      }
    }
  }
}

TEST(TempoRatio, RatioAndItsAllowedRange) {
  EXPECT_EQ(calcRatio(0.009, 5.0), 0.0);
  EXPECT_EQ(calcRatio(0.0, 5.0), 0.0);
  EXPECT_DOUBLE_EQ(calcRatio(8.0005, 8.0005), 1.0);
  EXPECT_DOUBLE_EQ(calcRatio(8.0, 12.0), 1.5);
  EXPECT_FALSE(isRatioOutOfRange(50.0));
  EXPECT_FALSE(isRatioOutOfRange(200.0));
  EXPECT_TRUE(isRatioOutOfRange(49.99));
  EXPECT_TRUE(isRatioOutOfRange(200.01));
  EXPECT_TRUE(isRatioOutOfRange(0.0));
  EXPECT_TRUE(isRatioOutOfRange(std::numeric_limits<double>::quiet_NaN()));
}

TEST(TempoRatio, TempoFromBarsCountsWholeQuartersPerBar) {
  EXPECT_DOUBLE_EQ(calcTempoFromBars(7, 8, 4, 6.0), 120.0) << "7/8 counts three quarters, not 3.5";
  EXPECT_DOUBLE_EQ(calcTempoFromBars(4, 4, 4, 8.0), 120.0);
  EXPECT_DOUBLE_EQ(calcTempoFromBars(6, 8, 2, 3.0), 120.0);
  EXPECT_EQ(calcTempoFromBars(4, 4, 4, 0.00005), 0.0);
  EXPECT_EQ(calcTempoFromBars(0, 4, 4, 8.0), 0.0);
  EXPECT_EQ(calcTempoFromBars(4, 0, 4, 8.0), 0.0);
  EXPECT_EQ(calcTempoFromBars(4, 4, 0, 8.0), 0.0);
  // The round trip: the tempo of a section's own length is the tempo it was made at.
  const double seconds = calcTempo(3, 4, 8, 90.0);
  EXPECT_NEAR(calcTempoFromBars(3, 4, 8, seconds), 90.0, 0.01);
}
