#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "PhaseMath.h"

using PhaseMath::kPi;
using PhaseMath::kTwoPi;

TEST(PhaseMath, Atan2FollowsTheLibraryInEveryOctantAndOnTheAxes) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::uniform_real_distribution<double> scale(-30.0, 30.0);
  for (int i = 0; i < 200000; ++i) {
    const double s = std::pow(10.0, scale(rng));
    const double y = u(rng) * s, x = u(rng) * s;
    ASSERT_NEAR(PhaseMath::Atan2(y, x), std::atan2(y, x), 1e-7) << y << " " << x;
  }
  for (double m : {1e-300, 1.0, 32768.0, 1e300}) {
    EXPECT_NEAR(PhaseMath::Atan2(0.0, m), 0.0, 1e-12);
    EXPECT_NEAR(PhaseMath::Atan2(m, 0.0), kPi / 2, 1e-7);
    EXPECT_NEAR(PhaseMath::Atan2(0.0, -m), kPi, 1e-7);
    EXPECT_NEAR(PhaseMath::Atan2(-m, 0.0), -kPi / 2, 1e-7);
    EXPECT_NEAR(PhaseMath::Atan2(m, m), kPi / 4, 1e-7);
    EXPECT_NEAR(PhaseMath::Atan2(-m, -m), -3 * kPi / 4, 1e-7);
  }
  EXPECT_EQ(PhaseMath::Atan2(0.0, 0.0), 0.0);
}

TEST(PhaseMath, WrapLandsInOneTurnForSmallHugeAndBorderlinePhases) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(-5000.0, 5000.0);
  for (int i = 0; i < 100000; ++i) {
    const double p = u(rng);
    const double w = PhaseMath::Wrap(p);
    ASSERT_GE(w, 0.0);
    ASSERT_LT(w, kTwoPi);
    // The same angle: compared through the library's remainder.
    ASSERT_NEAR(std::remainder(w - p, kTwoPi), 0.0, 1e-9) << p;
  }
  EXPECT_EQ(PhaseMath::Wrap(-1e-18), 0.0) << "a hair below 0 must not round to 2 pi";
  EXPECT_EQ(PhaseMath::Wrap(kTwoPi), 0.0);
  EXPECT_EQ(PhaseMath::Wrap(-kTwoPi), 0.0);
  EXPECT_NEAR(PhaseMath::Wrap(3 * kTwoPi + 1.0), 1.0, 1e-12);
}
