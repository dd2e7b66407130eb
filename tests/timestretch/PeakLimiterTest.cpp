#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "PeakCurveFit.h"
#include "PeakLimiter.h"

namespace {

constexpr double kMax = 32767.0;
constexpr double kMin = -32768.0;
constexpr double kPi = 3.14159265358979323846;

// Half-waves of `period` samples (positive first), scaled by `gain`.
std::vector<float> halfWaves(int count, int period, double gain) {
  std::vector<float> x(static_cast<std::size_t>(count * period));
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = static_cast<float>(gain * std::sin(kPi * double(i) / period));
  return x;
}

}  // namespace

TEST(PeakCurveFit, RecoversAQuinticFromFivePointsAndAFlatTop) {
  // p(x) = (x - 0.4)^2 (x^3 - 2x + 5) + 1: value 1 and slope 0 at 0.4.
  auto p = [](double x) { return (x - 0.4) * (x - 0.4) * (x * x * x - 2 * x + 5) + 1.0; };
  PeakCurveFit fit;
  const double xs[5] = {0.0, 0.1, 0.4, 0.9, 1.0};
  for (int i = 0; i < 5; ++i) fit.SetValuePoint(i, xs[i], p(xs[i]));
  fit.SetZeroSlope(5, 0.4);
  ASSERT_TRUE(fit.Solve());
  for (double x = 0.0; x <= 1.0; x += 0.05) EXPECT_NEAR(fit.Evaluate(x), p(x), 1e-9) << x;

  PeakCurveFit singular;
  for (int i = 0; i < 5; ++i) singular.SetValuePoint(i, 0.5, 1.0);
  singular.SetZeroSlope(5, 0.5);
  EXPECT_FALSE(singular.Solve());
}

TEST(PeakLimiter, AnOverRangeSampleIsReshapedToPeakExactlyAtTheLimit) {
  // A single sample of 33000 on a 40-sample half-wave peaking at 32000.
  std::vector<float> x = halfWaves(3, 40, 32000.0);
  x[60] = 33000.0f;
  EXPECT_EQ(LimitPeaks(x.data(), 0, static_cast<std::int64_t>(x.size()), kMax, kMin), 1);
  const float top = *std::max_element(x.begin() + 40, x.begin() + 80);
  EXPECT_LE(top, kMax);
  EXPECT_GT(top, kMax - 2.0);
  for (std::size_t i = 0; i < 40; ++i) EXPECT_EQ(x[i], static_cast<float>(32000.0 * std::sin(kPi * i / 40))) << i;
}

TEST(PeakLimiter, LoudWavesComeBackInRangeWithSmoothCaps) {
  // A sine driven 40 % past the range, both polarities.
  std::vector<float> x = halfWaves(20, 50, 1.4 * 32767.0);
  const std::vector<float> before = x;
  LimitPeaks(x.data(), 0, static_cast<std::int64_t>(x.size()), kMax, kMin);
  const auto n = static_cast<std::int64_t>(x.size());
  for (std::int64_t i = 0; i < n - 5; ++i) {
    EXPECT_LE(x[i], kMax) << i;
    EXPECT_GE(x[i], kMin) << i;
    EXPECT_EQ(std::signbit(x[i]), std::signbit(before[i])) << "the half-waves keep their sign at " << i;
  }
  // The reshaped caps join their flanks without a step steeper than the
  // wave itself (hard clipping would leave a corner, a cap placed wrongly a
  // jump).
  double steepestBefore = 0.0, steepestAfter = 0.0;
  for (std::int64_t i = 1; i < n - 5; ++i) {
    steepestBefore = std::max(steepestBefore, std::fabs(double(before[i]) - before[i - 1]));
    steepestAfter = std::max(steepestAfter, std::fabs(double(x[i]) - x[i - 1]));
  }
  EXPECT_LE(steepestAfter, steepestBefore);
  // Each half-wave reaches the limit.
  for (int w = 0; w < 19; ++w) {
    float peak = 0.0f;
    for (int i = w * 50; i < w * 50 + 50; ++i) peak = std::max(peak, std::fabs(x[i]));
    EXPECT_GT(peak, 32700.0f) << "half-wave " << w;
  }
}

TEST(PeakLimiter, ShortRunsAndTheLastFiveSamplesAreHardClipped) {
  // A 3-sample spike inside a 4-sample half-wave.
  std::vector<float> x = {-100, -100, 40000, 41000, 40000, 100, -100, -100, -100, -100, -100, -100, -100};
  LimitPeaks(x.data(), 0, static_cast<std::int64_t>(x.size()), kMax, kMin);
  EXPECT_EQ(x[2], kMax);
  EXPECT_EQ(x[3], kMax);
  EXPECT_EQ(x[4], kMax);
  EXPECT_EQ(x[5], 100.0f);

  // Samples among the last five are left to the caller's clamp.
  std::vector<float> tail(20, 0.0f);
  tail[17] = 40000.0f;
  EXPECT_EQ(LimitPeaks(tail.data(), 0, 20, kMax, kMin), 0);
  EXPECT_EQ(tail[17], 40000.0f);
  // Fewer than six samples: all hard clipped.
  std::vector<float> few = {40000.0f, -40000.0f, 5.0f};
  EXPECT_EQ(LimitPeaks(few.data(), 0, 3, kMax, kMin), 1);
  EXPECT_EQ(few, (std::vector<float>{32767.0f, -32768.0f, 5.0f}));
}
