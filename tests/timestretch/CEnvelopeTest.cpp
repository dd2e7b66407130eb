#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <random>
#include <vector>

#include "CEnvelope.h"

namespace {

using Points = std::map<double, float>;

// Piecewise evaluation by a plain walk over ordered points, written apart
// from the envelope's own search.
float naiveValue(const Points& points, double t, std::uint8_t interpolation) {
  const auto first = points.begin();
  const auto last = std::prev(points.end());
  if (t <= first->first) return first->second;
  if (t >= last->first) return last->second;
  auto before = first;
  for (auto it = first; it != points.end() && it->first <= t; ++it) before = it;
  const auto after = std::next(before);
  if (interpolation == CEnvelope::kStep) return before->second;
  const double f = (t - before->first) / (after->first - before->first);
  return static_cast<float>(before->second + (after->second - before->second) * f);
}

Points storedPoints(const CEnvelope& env) {
  Points points;
  for (std::int64_t i = 0; i < env.BreakpointCount(); ++i) points[env.BreakpointAt(i).time] = env.BreakpointAt(i).value;
  return points;
}

void expectAscendingFromZeroToOne(const CEnvelope& env) {
  ASSERT_GE(env.BreakpointCount(), 2);
  EXPECT_EQ(env.BreakpointAt(0).time, 0.0);
  EXPECT_EQ(env.BreakpointAt(env.BreakpointCount() - 1).time, 1.0);
  for (std::int64_t i = 1; i < env.BreakpointCount(); ++i)
    EXPECT_LT(env.BreakpointAt(i - 1).time, env.BreakpointAt(i).time) << "breakpoint " << i;
}

void expectMatchesNaive(const CEnvelope& env, const Points& points, std::mt19937& rng) {
  std::vector<double> probes{-0.5, 0.0, 1.0, 1.5};
  for (auto it = points.begin(); it != points.end(); ++it) {
    probes.push_back(it->first);
    if (std::next(it) != points.end()) {
      const double next = std::next(it)->first;
      probes.push_back((it->first + next) / 2);
      probes.push_back(it->first + (next - it->first) * 0.1);
      probes.push_back(it->first + (next - it->first) * 0.9);
    }
  }
  std::uniform_real_distribution<double> anywhere(0.0, 1.0);
  for (int i = 0; i < 200; ++i) probes.push_back(anywhere(rng));
  for (double t : probes)
    EXPECT_NEAR(env.GetValue(t), naiveValue(points, t, env.Interpolation()), 1e-4) << "t = " << t;
}

void setBreakpoints(CEnvelope& env, std::uint8_t interpolation, float def = 1.0f,
                    std::uint8_t type = CEnvelope::kFloat) {
  env.Set(CEnvelope::kBreakpoints, type, interpolation, 2, 0, 0, -10.0f, 10.0f, def);
}

template <typename F>
int thrownCode(F&& f) {
  try {
    f();
  } catch (int code) {
    return code;
  }
  return 0;
}

TEST(CEnvelopeTest, SetClampsTheDefaultIntoTheRangeAndRaisesTheMaximumToTheMinimum) {
  CEnvelope env;
  EXPECT_EQ(env.Set(CEnvelope::kBreakpoints, CEnvelope::kFloat, CEnvelope::kLinear, 1, 0, 0, 0.0f, 1.0f, 2.0f), 0);
  EXPECT_EQ(env.Default(), 1.0f);
  EXPECT_EQ(env.GetValue(0.5), 1.0f);
  env.Set(CEnvelope::kBreakpoints, CEnvelope::kFloat, CEnvelope::kLinear, 1, 0, 0, 0.0f, 1.0f, -1.0f);
  EXPECT_EQ(env.Default(), 0.0f);
  env.Set(CEnvelope::kSampled, CEnvelope::kFloat, 0, 4, 0, 0, 5.0f, 2.0f, 0.0f);
  EXPECT_EQ(env.Maximum(), 5.0f);
  EXPECT_EQ(env.Default(), 5.0f);
  EXPECT_EQ(env.SampleCount(), 4);
  for (double t : {0.0, 1.0, 3.0}) EXPECT_EQ(env.GetValue(t), 5.0f);
}

TEST(CEnvelopeTest, SetMakesEvenlySpacedDefaultBreakpointsAndIsPristineUntilTheFirstValue) {
  CEnvelope env;
  env.Set(CEnvelope::kBreakpoints, CEnvelope::kFloat, CEnvelope::kLinear, 5, 1, 0, 0.0f, 4.0f, 3.0f);
  ASSERT_EQ(env.BreakpointCount(), 5);
  for (std::int64_t i = 0; i < 5; ++i) {
    EXPECT_DOUBLE_EQ(env.BreakpointAt(i).time, i / 4.0);
    EXPECT_EQ(env.BreakpointAt(i).value, 3.0f);
  }
  EXPECT_TRUE(env.IsPristine());
  env.SetValue(0.0, 1.0f);
  EXPECT_FALSE(env.IsPristine());
}

TEST(CEnvelopeTest, AllTimesMakesAConstantOfTwoBreakpoints) {
  CEnvelope env;
    setBreakpoints(env, CEnvelope::kLinear);
  for (double t : {0.2, 0.4, 0.6}) env.SetValue(t, static_cast<float>(t * 10));
  env.SetValue(CEnvelope::kAllTimes, 1.0f);
  EXPECT_EQ(env.BreakpointCount(), 2);
  for (double t : {-3.0, 0.0, 0.1, 0.2, 0.5, 0.99, 1.0, 7.0}) EXPECT_EQ(env.GetValue(t), 1.0f) << t;
}

TEST(CEnvelopeTest, StepHoldsTheEarlierBreakpointAndLinearBlendsTheNeighbours) {
  CEnvelope step;
    setBreakpoints(step, CEnvelope::kStep);
  step.SetValue(0.0, 1.0f);
  step.SetValue(0.5, 2.0f);
  step.SetValue(1.0, 2.0f);
  EXPECT_EQ(step.GetValue(0.25), 1.0f);
  EXPECT_EQ(step.GetValue(0.5), 2.0f);

  CEnvelope linear;
    setBreakpoints(linear, CEnvelope::kLinear);
  linear.SetValue(0.0, 1.0f);
  linear.SetValue(0.5, 2.0f);
  linear.SetValue(1.0, 2.0f);
  EXPECT_FLOAT_EQ(linear.GetValue(0.25), 1.5f);
  EXPECT_FLOAT_EQ(linear.GetValue(0.75), 2.0f);
}

TEST(CEnvelopeTest, SettingAnExistingTimeReplacesItsValue) {
  CEnvelope env;
    setBreakpoints(env, CEnvelope::kLinear);
  env.SetValue(0.5, 3.0f);
  env.SetValue(0.5, 4.0f);
  EXPECT_EQ(env.BreakpointCount(), 3);
  EXPECT_EQ(env.GetValue(0.5), 4.0f);
  // Also when the time is not the newest one, so the ordered search finds it.
  env.SetValue(0.8, 5.0f);
  env.SetValue(0.5, 6.0f);
  EXPECT_EQ(env.BreakpointCount(), 4);
  EXPECT_EQ(env.GetValue(0.5), 6.0f);
}

TEST(CEnvelopeTest, InsertionsInAnyOrderKeepTheTimesAscending) {
  for (const std::vector<double>& times : {std::vector<double>{0.9, 0.7, 0.5, 0.3, 0.1},
                                           std::vector<double>{0.1, 0.3, 0.5, 0.7, 0.9},
                                           std::vector<double>{0.5, 0.9, 0.1, 0.7, 0.3},
                                           std::vector<double>{0.6, 0.6 + 5e-9, 0.6 - 5e-9, 0.6 + 2e-8}}) {
    CEnvelope env;
    setBreakpoints(env, CEnvelope::kStep);
    Points points{{0.0, 1.0f}, {1.0, 1.0f}};
    float v = 2.0f;
    for (double t : times) {
      env.SetValue(t, v);
      points[t] = v;
      v += 1.0f;
    }
    expectAscendingFromZeroToOne(env);
    EXPECT_EQ(storedPoints(env), points);
  }
}

TEST(CEnvelopeTest, ManyRandomBreakpointsMatchANaivePiecewiseEvaluation) {
  for (std::uint8_t interpolation : {CEnvelope::kLinear, CEnvelope::kStep}) {
    std::mt19937 rng(interpolation * 7919u);
    std::uniform_real_distribution<double> time(0.0, 1.0);
    std::uniform_real_distribution<float> value(-10.0f, 10.0f);
    CEnvelope env;
    setBreakpoints(env, interpolation, 0.5f);
    Points points{{0.0, 0.5f}, {1.0, 0.5f}};
    for (int i = 0; i < 300; ++i) {
      // Some repeats of earlier times, so replacement is exercised too.
      double t = time(rng);
      if (i % 10 == 9) t = std::next(points.begin(), static_cast<long>(points.size() / 2))->first;
      const float v = value(rng);
      env.SetValue(t, v);
      points[t] = v;
    }
    expectAscendingFromZeroToOne(env);
    EXPECT_EQ(storedPoints(env), points);
    expectMatchesNaive(env, points, rng);
  }
}

TEST(CEnvelopeTest, EvenlySpacedLookupMatchesANaiveEvaluation) {
  for (std::uint8_t interpolation : {CEnvelope::kLinear, CEnvelope::kStep}) {
    CEnvelope env;
    env.Set(CEnvelope::kBreakpoints, CEnvelope::kFloat, interpolation, 11, 1, 0, -10.0f, 10.0f, 2.0f);
    env.SetValue(0.0, -4.0f);
    env.SetValue(1.0, 6.0f);
    ASSERT_TRUE(env.HasEqualSpacing());
    std::mt19937 rng(11);
    expectMatchesNaive(env, storedPoints(env), rng);
    // Writing at an existing inner time keeps the count.
    env.SetValue(3 / 10.0, 9.0f);
    EXPECT_EQ(env.BreakpointCount(), 11);
    expectMatchesNaive(env, storedPoints(env), rng);
  }
}

TEST(CEnvelopeTest, AppendingToEvenlySpacedBreakpointsKeepsLookupsInTheRightSegment) {
  CEnvelope env;
  env.Set(CEnvelope::kBreakpoints, CEnvelope::kFloat, CEnvelope::kLinear, 3, 1, 0, -10.0f, 10.0f, 0.0f);
  env.SetValue(1.0, 4.0f);
  env.SetValue(0.75, 3.0f);
  std::mt19937 rng(3);
  expectMatchesNaive(env, storedPoints(env), rng);
  EXPECT_NEAR(env.GetValue(0.9), 3.6f, 1e-5);
}

TEST(CEnvelopeTest, OffAtMinimumDoesNotBlendTowardASilentNeighbour) {
  CEnvelope off;
  off.Set(CEnvelope::kBreakpoints, CEnvelope::kFloat, CEnvelope::kLinear, 2, 0, 1, 0.0f, 10.0f, 0.0f);
  off.SetValue(0.5, 4.0f);
  EXPECT_EQ(off.GetValue(0.25), 4.0f);
  EXPECT_EQ(off.GetValue(0.75), 4.0f);

  CEnvelope on;
  on.Set(CEnvelope::kBreakpoints, CEnvelope::kFloat, CEnvelope::kLinear, 2, 0, 0, 0.0f, 10.0f, 0.0f);
  on.SetValue(0.5, 4.0f);
  EXPECT_FLOAT_EQ(on.GetValue(0.25), 2.0f);
  EXPECT_FLOAT_EQ(on.GetValue(0.75), 2.0f);
}

TEST(CEnvelopeTest, ValuesAreClampedAndIntegerValuesTruncated) {
  CEnvelope env;
    setBreakpoints(env, CEnvelope::kStep, 1.0f, CEnvelope::kInteger);
  env.SetValue(0.5, 3.7f);
  EXPECT_EQ(env.GetValue(0.5), 3.0f);
  env.SetValue(0.5, -3.7f);
  EXPECT_EQ(env.GetValue(0.5), -3.0f);
  env.SetValue(0.0, 99.0f);
  EXPECT_EQ(env.GetValue(0.0), 10.0f);
  env.SetValue(1.0, -99.0f);
  EXPECT_EQ(env.GetValue(1.0), -10.0f);
}

TEST(CEnvelopeTest, ResetRoundsAnIntegerDefaultAndDropsInnerBreakpoints) {
  CEnvelope env;
    setBreakpoints(env, CEnvelope::kStep, 2.6f, CEnvelope::kInteger);
  env.SetValue(0.5, 7.0f);
  env.Reset();
  EXPECT_EQ(env.BreakpointCount(), 2);
  EXPECT_EQ(env.GetValue(0.0), 3.0f);
  EXPECT_EQ(env.GetValue(0.5), 3.0f);
  EXPECT_EQ(env.GetValue(1.0), 3.0f);
}

TEST(CEnvelopeTest, AnUnknownInterpolationReadsTheLastValue) {
  CEnvelope env;
    setBreakpoints(env, 7);
  env.SetValue(0.0, 1.0f);
  env.SetValue(0.5, 2.0f);
  env.SetValue(1.0, 5.0f);
  EXPECT_EQ(env.GetValue(0.25), 5.0f);
  EXPECT_EQ(env.GetValue(0.0), 1.0f);
}

TEST(CEnvelopeTest, SampledArrayReadsTheNearestSampleAndTheDefaultPastItsEnd) {
  CEnvelope env;
  env.Set(CEnvelope::kSampled, CEnvelope::kFloat, 0, 3, 0, 0, 0.0f, 100.0f, 50.0f);
  env.SetValue(0.0, 1.0f);
  env.SetValue(1.0, 2.0f);
  env.SetValue(2.0, 3.0f);
  EXPECT_EQ(env.GetValue(-1.0), 1.0f);
  EXPECT_EQ(env.GetValue(0.4), 1.0f);
  EXPECT_EQ(env.GetValue(0.6), 2.0f);
  EXPECT_EQ(env.GetValue(1.4), 2.0f);
  EXPECT_EQ(env.GetValue(2.4), 3.0f);
  EXPECT_EQ(env.GetValue(2.6), 50.0f);
  env.SetValue(1.6, 9.0f);
  EXPECT_EQ(env.GetValue(2.0), 9.0f);
  env.SetValue(CEnvelope::kAllTimes, 7.0f);
  for (double t : {0.0, 1.0, 2.0}) EXPECT_EQ(env.GetValue(t), 7.0f);
}

TEST(CEnvelopeTest, SampledArrayGrowsToAWrittenIndexFillingTheGapWithTheDefault) {
  CEnvelope env;
  env.Set(CEnvelope::kSampled, CEnvelope::kFloat, 0, 3, 0, 0, 0.0f, 100.0f, 50.0f);
  env.SetValue(5.0, 8.0f);
  EXPECT_EQ(env.SampleCount(), 6);
  EXPECT_EQ(env.GetValue(5.0), 8.0f);
  EXPECT_EQ(env.GetValue(4.0), 50.0f);
  env.SetValue(0.0, 1.0f);
  env.SetValue(99.7, 2.0f);
  ASSERT_EQ(env.SampleCount(), 101);
  EXPECT_EQ(env.GetValue(0.0), 1.0f);
  EXPECT_EQ(env.GetValue(5.0), 8.0f);
  EXPECT_EQ(env.GetValue(100.0), 2.0f);
  for (std::int64_t i = 6; i < 100; ++i) EXPECT_EQ(env.SampleAt(i), 50.0f) << i;
}

TEST(CEnvelopeTest, EmptyEnvelopesReadZeroAndRefillWhenWritten) {
  CEnvelope undefined;
  EXPECT_EQ(undefined.GetValue(0.5), 0.0f);
  EXPECT_EQ(undefined.SetValue(0.5, 3.0f), 0);
  EXPECT_EQ(undefined.GetValue(0.5), 0.0f);

  CEnvelope points;
    setBreakpoints(points, CEnvelope::kLinear, 2.0f);
  points.Clear(0);
  EXPECT_EQ(points.BreakpointCount(), 0);
  EXPECT_EQ(points.GetValue(0.5), 0.0f);
  points.SetValue(0.5, 4.0f);
  EXPECT_EQ(storedPoints(points), (Points{{0.0, 2.0f}, {0.5, 4.0f}, {1.0, 2.0f}}));

  CEnvelope samples;
  samples.Set(CEnvelope::kSampled, CEnvelope::kFloat, 0, 3, 0, 0, 0.0f, 10.0f, 1.0f);
  samples.Clear(1);
  EXPECT_EQ(samples.GetValue(0.0), 0.0f);
  samples.SetValue(0.0, 6.0f);
  EXPECT_EQ(samples.SampleCount(), 1);
  EXPECT_EQ(samples.GetValue(0.0), 6.0f);
}

TEST(CEnvelopeTest, RefusedInputThrowsAndLeavesTheEnvelopeAsItWas) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  CEnvelope env;
    setBreakpoints(env, CEnvelope::kLinear);
  env.SetValue(0.5, 3.0f);
  const Points before = storedPoints(env);
  EXPECT_EQ(thrownCode([&] { env.SetValue(std::nan(""), 1.0f); }), -2);
  EXPECT_EQ(thrownCode([&] { env.SetValue(0.25, nan); }), -2);
  EXPECT_EQ(storedPoints(env), before);
  EXPECT_EQ(env.GetValue(std::nan("")), 1.0f);

  EXPECT_EQ(thrownCode([&] { env.Set(CEnvelope::kBreakpoints, 1, 1, 2, 0, 0, nan, 1.0f, 0.0f); }), -2);
  EXPECT_EQ(thrownCode([&] { env.Set(CEnvelope::kBreakpoints, 1, 1, 2, 0, 0, 0.0f, 1.0f, nan); }), -2);
  EXPECT_EQ(storedPoints(env), before);

  CEnvelope samples;
  samples.Set(CEnvelope::kSampled, CEnvelope::kFloat, 0, 3, 0, 0, 0.0f, 10.0f, 1.0f);
  EXPECT_EQ(thrownCode([&] { samples.SetValue(1e12, 2.0f); }), -1);
  EXPECT_EQ(thrownCode([&] { samples.SetValue(std::numeric_limits<double>::infinity(), 2.0f); }), -1);
  EXPECT_EQ(samples.SampleCount(), 3);
  EXPECT_EQ(samples.GetValue(1e12), 1.0f);
  EXPECT_EQ(thrownCode([&] { samples.Set(CEnvelope::kSampled, 1, 0, std::int64_t{1} << 40, 0, 0, 0, 1, 0); }), -1);
}

TEST(CEnvelopeTest, CopyIsExactAndIndependentOfTheOriginal) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> time(0.0, 1.0);
  CEnvelope original;
  original.Set(CEnvelope::kBreakpoints, CEnvelope::kFloat, CEnvelope::kLinear, 2, 0, 1, -1.0f, 9.0f, 4.0f);
  for (int i = 0; i < 60; ++i) original.SetValue(time(rng), static_cast<float>(i % 10) - 1.0f);

  CEnvelope copy;
  copy.Set(CEnvelope::kSampled, CEnvelope::kFloat, 0, 40, 0, 0, 0.0f, 1.0f, 0.5f);
  copy.CopyFrom(original);
  EXPECT_EQ(copy.Kind(), CEnvelope::kBreakpoints);
  EXPECT_EQ(copy.OffAtMinimum(), 1u);
  EXPECT_EQ(copy.Minimum(), -1.0f);
  EXPECT_EQ(copy.Maximum(), 9.0f);
  EXPECT_EQ(copy.Default(), 4.0f);
  EXPECT_EQ(copy.IsPristine(), original.IsPristine());
  EXPECT_EQ(storedPoints(copy), storedPoints(original));
  for (int i = 0; i < 200; ++i) {
    const double t = time(rng);
    EXPECT_EQ(copy.GetValue(t), original.GetValue(t)) << t;
  }
  original.SetValue(CEnvelope::kAllTimes, 0.0f);
  EXPECT_GT(copy.BreakpointCount(), 2);

  CEnvelope samples;
  samples.Set(CEnvelope::kSampled, CEnvelope::kInteger, 0, 4, 0, 0, 0.0f, 100.0f, 3.0f);
  samples.SetValue(2.0, 42.0f);
  copy.CopyFrom(samples);
  ASSERT_EQ(copy.SampleCount(), 4);
  for (std::int64_t i = 0; i < 4; ++i) EXPECT_EQ(copy.SampleAt(i), samples.SampleAt(i));

  CEnvelope emptied;
    setBreakpoints(emptied, CEnvelope::kLinear);
  emptied.Clear(0);
  copy.CopyFrom(emptied);
  EXPECT_EQ(copy.BreakpointCount(), 0);
  EXPECT_EQ(copy.GetValue(0.5), 0.0f);

  copy.CopyFrom(samples);
  copy.CopyFrom(copy);
  EXPECT_EQ(copy.SampleCount(), 4);
  EXPECT_EQ(copy.GetValue(2.0), 42.0f);
}

}  // namespace
