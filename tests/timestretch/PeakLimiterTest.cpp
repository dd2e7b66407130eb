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

namespace {

// Solves the 6 x 6 system by elimination with partial pivoting.
std::vector<double> solveSix(std::vector<std::vector<double>> m, std::vector<double> r) {
  const std::size_t n = r.size();
  for (std::size_t c = 0; c < n; ++c) {
    std::size_t p = c;
    for (std::size_t i = c + 1; i < n; ++i)
      if (std::fabs(m[i][c]) > std::fabs(m[p][c])) p = i;
    std::swap(m[c], m[p]);
    std::swap(r[c], r[p]);
    for (std::size_t i = c + 1; i < n; ++i) {
      const double f = m[i][c] / m[c][c];
      for (std::size_t k = c; k < n; ++k) m[i][k] -= f * m[c][k];
      r[i] -= f * r[c];
    }
  }
  std::vector<double> x(n);
  for (std::size_t i = n; i-- > 0;) {
    double s = r[i];
    for (std::size_t k = i + 1; k < n; ++k) s -= m[i][k] * x[k];
    x[i] = s / m[i][i];
  }
  return x;
}

// The first over-range run of a signal and the stretch around it: its
// first sample and length, its centre, and the first samples under 0.9 of
// the limit on each side of the centre.
struct OverRange {
  std::int64_t first = 0, run = 0, centre = 0, a = 0, b = 0;
};

OverRange overRangeOf(const std::vector<float>& x) {
  OverRange o;
  while (x[static_cast<std::size_t>(o.first)] <= kMax) ++o.first;
  while (x[static_cast<std::size_t>(o.first + o.run)] > kMax) ++o.run;
  o.centre = o.first + (o.run - 1) / 2;
  o.a = o.b = o.centre;
  while (x[static_cast<std::size_t>(o.a)] >= 0.9 * kMax) --o.a;
  while (x[static_cast<std::size_t>(o.b)] >= 0.9 * kMax) ++o.b;
  return o;
}

}  // namespace

TEST(PeakLimiter, AWideOverRangeHalfWaveTakesTheQuinticThroughItsFlanksAndTheLimit) {
  // One half-wave of 60 samples peaking 10 % over the limit. Reference:
  // the stretch from the first samples under 0.9 of the limit on each side,
  // the quintic through its two outer samples at each end and the limit at
  // the middle of the over-range run, flat there.
  std::vector<float> x = halfWaves(2, 60, 1.1 * kMax);
  const std::vector<float> before = x;
  const OverRange o = overRangeOf(before);
  const std::int64_t run = o.run, centre = o.centre, a = o.a, b = o.b;
  const double span = static_cast<double>(b - a);
  const double p = (static_cast<double>(centre - a) + (run % 2 == 0 ? 0.5 : 0.0)) / span;
  auto row = [](double u) {
    std::vector<double> r(6);
    for (int k = 0; k < 6; ++k) r[static_cast<std::size_t>(k)] = std::pow(u, 5 - k);
    return r;
  };
  auto y = [&](std::int64_t i) { return before[static_cast<std::size_t>(i)] / kMax; };
  std::vector<std::vector<double>> m{row(0.0), row(1.0 / span), row(p), row((span - 1.0) / span), row(1.0)};
  std::vector<double> slope(6, 0.0);
  for (int k = 0; k < 5; ++k) slope[static_cast<std::size_t>(k)] = (5 - k) * std::pow(p, 4 - k);
  m.push_back(slope);
  const std::vector<double> c = solveSix(m, {y(a), y(a + 1), 1.0, y(b - 1), y(b), 0.0});

  ASSERT_EQ(LimitPeaks(x.data(), 0, static_cast<std::int64_t>(x.size()), kMax, kMin), 1);
  for (std::int64_t j = 0; j < b - a; ++j) {
    const double u = static_cast<double>(j) / span;
    double v = 0.0;
    for (int k = 0; k < 6; ++k) v = v * u + c[static_cast<std::size_t>(k)];
    ASSERT_LE(v, 1.001) << "a curve the limiter keeps";
    EXPECT_NEAR(x[static_cast<std::size_t>(a + j)], std::min(kMax, v * kMax), 0.05) << "sample " << a + j;
  }
  // The rest of the half-wave stays as it was.
  for (std::int64_t i = 0; i < 60; ++i) {
    if (i < a || i >= b) {
      EXPECT_EQ(x[static_cast<std::size_t>(i)], before[static_cast<std::size_t>(i)]) << i;
    }
  }
}

TEST(PeakLimiter, WhereNoQuinticFitsTwoParabolasCapThePeakBlendedIntoItsFlanks) {
  // 32 samples 20 % over the limit: the quintic overshoots and is refused.
  // Reference: parabolas from each end of the stretch (at 0.9 of the limit)
  // rising to the limit at the run's centre, blended in from each end over
  // half the distance to the centre (at most a quarter of the stretch).
  std::vector<float> x = halfWaves(1, 32, 1.2 * kMax);
  const std::vector<float> before = x;
  const OverRange o = overRangeOf(before);
  const std::int64_t c = o.centre, a = o.a, b = o.b;
  const double h = 0.9 * kMax;
  ASSERT_LE(c - a, 9) << "the plain parabolas, not the flat-topped ones";
  auto in = [&](std::int64_t i) { return static_cast<double>(before[static_cast<std::size_t>(i)]); };
  auto cap = [&](std::int64_t i) {
    const std::int64_t s = i <= c ? c - a : b - c;
    const double end = i <= c ? in(a) : in(b);
    const double k = (kMax - std::min(h, end)) / static_cast<double>(s * s);
    return std::max(0.0, kMax - k * static_cast<double>((c - i) * (c - i)));
  };
  const std::int64_t m = a + (b - a) / 2;
  const double quarter = static_cast<double>(b - a) / 4.0;

  LimitPeaks(x.data(), 0, static_cast<std::int64_t>(x.size()), kMax, kMin);
  for (std::int64_t i = a; i <= b; ++i) {
    const double reach = std::min(std::max(static_cast<double>(i <= m ? c - a : b - c) / 2.0, 0.5), quarter);
    const double w = std::min(1.0, static_cast<double>(i <= m ? i - a : b - i) / reach);
    const double expected = std::min(kMax, in(i) * (1.0 - w) + cap(i) * w);
    EXPECT_NEAR(x[static_cast<std::size_t>(i)], expected, 0.05) << "sample " << i;
  }
  EXPECT_NE(x[static_cast<std::size_t>(a + 1)], static_cast<float>(cap(a + 1))) << "blended, not the bare cap";
}
