#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "LevelAmplitude.h"

namespace {

// Against the library's exponential: every level the synthesis can meet
// (far below silence up to well above full scale) and a range of
// exponents wider than those levels, including whole multiples of ln 2
// where the reduction changes its power of two.
TEST(LevelAmplitude, MatchesTheLibraryExponentialToTheLastBitsOverEveryLevel) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> exponent(-80.0, 80.0);
  double worst = 0.0;
  for (int i = 0; i < 200000; ++i) {
    const double x = exponent(random);
    worst = std::max(worst, std::fabs(LevelAmplitude::Exp(x) / std::exp(x) - 1.0));
  }
  for (int n = -100; n <= 100; ++n) {
    for (double d : {-1e-12, 0.0, 1e-12, 0.3465, -0.3465}) {
      const double x = n * 0.6931471805599453 + d;
      worst = std::max(worst, std::fabs(LevelAmplitude::Exp(x) / std::exp(x) - 1.0));
    }
  }
  EXPECT_LT(worst, 4e-16);
  EXPECT_EQ(LevelAmplitude::Exp(0.0), 1.0);

  for (float dB = -400.0f; dB <= 40.0f; dB += 0.37f) {
    const double expected = 32768.0 * std::exp(dB * LevelAmplitude::kDbToNeper);
    EXPECT_NEAR(LevelAmplitude::FromDb(dB, -std::numeric_limits<float>::max()) / expected, 1.0, 4e-16) << dB;
  }
}

TEST(LevelAmplitude, SilentLevelsAndOutOfRangeExponentsStayFinite) {
  constexpr float kSilent = -std::numeric_limits<float>::max();
  EXPECT_EQ(LevelAmplitude::FromDb(kSilent, kSilent), 0.0);
  EXPECT_EQ(LevelAmplitude::FromDb(-120.0f, -100.0f), 0.0);
  EXPECT_NEAR(LevelAmplitude::FromDb(0.0f, kSilent), 32768.0, 1e-9);
  EXPECT_NEAR(LevelAmplitude::FromDb(-6.0206f, kSilent), 16384.0, 0.01);
  // Clamped, not wrapped into a wrong power of two.
  EXPECT_GT(LevelAmplitude::Exp(1e6), 1e300);
  EXPECT_TRUE(std::isfinite(LevelAmplitude::Exp(1e6)));
  EXPECT_GE(LevelAmplitude::Exp(-1e6), 0.0);
  EXPECT_LT(LevelAmplitude::Exp(-1e6), 1e-300);
}

}  // namespace
