#include <gtest/gtest.h>

#include "../StretchMeasures.h"
#include "StretchChecks.h"
#include "timedomain/PeriodSplicingStretcher.h"

using StretchChecks::inputOf;

TEST(PeriodSplicingStretcher, RatiosAreLimitedAndSetTheCopyLengthPerPeriod) {
  double ratio = 3.0;
  auto p = PeriodSplicingStretcher::MakeParameters(44100, ratio);
  EXPECT_EQ(ratio, 2.0);
  EXPECT_EQ(p.minLag, 220);
  EXPECT_EQ(p.maxLag, 882);
  EXPECT_EQ(p.step, 16);
  EXPECT_EQ(p.workLength, 1764);
  EXPECT_DOUBLE_EQ(p.copyFactor, 1.0);
  ratio = 0.25;
  p = PeriodSplicingStretcher::MakeParameters(44100, ratio);
  EXPECT_EQ(ratio, 0.5);
  EXPECT_DOUBLE_EQ(p.copyFactor, 1.0);
  ratio = 1.25;
  EXPECT_DOUBLE_EQ(PeriodSplicingStretcher::MakeParameters(44100, ratio).copyFactor, 4.0);
  ratio = 0.8;
  EXPECT_NEAR(PeriodSplicingStretcher::MakeParameters(44100, ratio).copyFactor, 4.0, 1e-12);
}

TEST(PeriodSplicingStretcher, FindsThePeriodOfAToneWithinTheLagRange) {
  // 88.2 Hz: a 500-sample period, the only multiple within 220..882.
  const auto x = StretchChecks::sine(1764, 88.2, 10000.0);
  std::vector<double> d(x.begin(), x.end());
  PeriodSplicingStretcher s;
  double ratio = 1.5;
  StretchedAudio out;
  ASSERT_GT(s.Run(inputOf(StretchChecks::sine(4000, 88.2, 10000.0)), &ratio, out), 0);
  EXPECT_EQ(s.FindPeriod(d.data()), 500);
}

TEST(PeriodSplicingStretcher, DoubleLengthPlaysEveryPeriodTwice) {
  const auto in = StretchChecks::sine(44100, 88.2, 10000.0);
  PeriodSplicingStretcher s;
  double ratio = 3.0;
  StretchedAudio out;
  ASSERT_EQ(s.Run(inputOf(in), &ratio, out), 88200);
  EXPECT_EQ(ratio, 2.0);
  // Each cycle writes the period and its repeat: the first 1000 output
  // samples are the first period twice.
  for (std::size_t i = 0; i < 500; ++i) {
    ASSERT_NEAR(out.left[i], in[i], 1e-3) << i;
    ASSERT_NEAR(out.left[500 + i], in[i], 2.0) << i;
  }
}

TEST(PeriodSplicingStretcher, StretchesToTheExactLengthKeepingThePitch) {
  const auto left = StretchChecks::sine(22050, 440.0, 12000.0);
  std::vector<float> right(left.size());
  for (std::size_t i = 0; i < left.size(); ++i) right[i] = left[i] * 0.5f;
  for (double r : {0.8, 1.25}) {
    PeriodSplicingStretcher s;
    double ratio = r;
    StretchedAudio out;
    const auto wanted = static_cast<std::int64_t>(r * 22050);
    ASSERT_EQ(s.Run(inputOf(left, &right), &ratio, out), wanted) << r;
    const auto n = static_cast<std::size_t>(wanted);
    ASSERT_EQ(out.right.size(), n);
    // The pitch to a cent, by the phase of the tone through the middle.
    const double f = StretchMeasures::partialFrequency(out.left, n / 10, n * 9 / 10, 440.0);
    EXPECT_NEAR(StretchMeasures::cents(f, 440.0), 0.0, 1.0) << r;
    // Every join continues the tone: no step larger than the tone's own.
    EXPECT_LE(StretchChecks::largestStep(out.left, n / 10, n * 9 / 10), 1.02 * StretchChecks::largestStep(left, 0, left.size())) << r;
    EXPECT_GT(StretchChecks::rms(out.left, n * 8 / 10, n * 9 / 10), 0.6 * 12000.0 / std::sqrt(2.0)) << r;
    for (std::size_t i = 0; i < n; ++i) ASSERT_NEAR(out.right[i], out.left[i] * 0.5f, 0.01f) << r << " at " << i;
  }
}

TEST(PeriodSplicingStretcher, RatioOneCopiesAndBadInputIsRefused) {
  const auto in = StretchChecks::noise16(5000, 9);
  PeriodSplicingStretcher s;
  double ratio = 1.0;
  StretchedAudio out;
  ASSERT_EQ(s.Run(inputOf(in), &ratio, out), 5000);
  EXPECT_EQ(out.left, in);
  ratio = -1.0;
  EXPECT_EQ(s.Run(inputOf(in), &ratio, out), -2);
  ratio = 1.1;
  TimeMachineInput none = inputOf(in);
  none.left = nullptr;
  EXPECT_EQ(s.Run(none, &ratio, out), -2);
}
