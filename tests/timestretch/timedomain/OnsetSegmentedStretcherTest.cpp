#include <gtest/gtest.h>

#include "StretchChecks.h"
#include "timedomain/OnsetSegmentedStretcher.h"

using StretchChecks::inputOf;

TEST(OnsetSegmentedStretcher, ParametersFollowTheSampleRate) {
  const auto p = OnsetSegmentedStretcher::MakeParameters(44100);
  EXPECT_EQ(p.hop, 45);
  EXPECT_EQ(p.energyWindow, 133);
  EXPECT_EQ(p.attackHold, 30);
  EXPECT_EQ(p.largestPeriod, 882);
  EXPECT_EQ(p.smallestPeriod, 220);
  EXPECT_EQ(p.bufferLength, 15000);
}

TEST(OnsetSegmentedStretcher, SegmentLengthsCarryTheirFractionsUntilTheyExceedOne) {
  OnsetSegmentedStretcher s;
  s.Reset(1.25);
  std::vector<std::int64_t> got;
  for (int i = 0; i < 6; ++i) got.push_back(s.NextSegmentLength(10));
  EXPECT_EQ(got, (std::vector<std::int64_t>{12, 12, 13, 12, 13, 12}));
}

TEST(OnsetSegmentedStretcher, AClickAfterSilenceStartsASegmentAtItsHop) {
  std::vector<float> in(12000, 0.0f);
  for (int i = 0; i < 60; ++i) in[4500 + i] = 20000.0f * (i % 2 ? -1.0f : 1.0f) * (1.0f - i / 60.0f);
  OnsetSegmentedStretcher s;
  StretchedAudio out;
  ASSERT_EQ(s.Run(inputOf(in), 1.0, out), 12000);
  EXPECT_EQ(s.SegmentStarts(), (std::vector<std::int64_t>{0, 4500}));
  EXPECT_EQ(out.left, in);  // ratio 1 copies every segment unchanged
}

TEST(OnsetSegmentedStretcher, StretchesToTheExactLengthKeepingThePitch) {
  // A tone with a few attacks, in both channels at different levels.
  auto left = StretchChecks::sine(30000, 440.0, 2000.0);
  for (std::size_t at : {7000u, 16000u, 24000u})
    for (std::size_t i = at; i < at + 2000; ++i) left[i] *= 6.0f;
  std::vector<float> right(left.size());
  for (std::size_t i = 0; i < left.size(); ++i) right[i] = left[i] * 0.5f;
  for (double ratio : {0.8, 1.25}) {
    OnsetSegmentedStretcher s;
    StretchedAudio out;
    const auto wanted = static_cast<std::int64_t>(ratio * 30000);
    ASSERT_EQ(s.Run(inputOf(left, &right), ratio, out), wanted) << ratio;
    const auto n = static_cast<std::size_t>(wanted);
    ASSERT_EQ(out.right.size(), n);
    // Cut at the start and within two hops of each attack.
    const auto& starts = s.SegmentStarts();
    ASSERT_EQ(starts.size(), 4u) << ratio << " " << ::testing::PrintToString(starts);
    EXPECT_NEAR(starts[1], 7000, 90);
    EXPECT_NEAR(starts[2], 16000, 90);
    EXPECT_NEAR(starts[3], 24000, 90);
    EXPECT_NEAR(StretchChecks::crossingFrequency(out.left, n / 10, n * 9 / 10), 440.0, 4.4) << ratio;
    EXPECT_GT(StretchChecks::rms(out.left, n * 8 / 10, n * 9 / 10), 0.5 * 2000.0 / std::sqrt(2.0)) << ratio;
    for (std::size_t i = 0; i < n; ++i) ASSERT_NEAR(out.right[i], out.left[i] * 0.5f, 0.01f) << ratio << " at " << i;
  }
}

TEST(OnsetSegmentedStretcher, EmptyInputGivesNothingAndBadInputIsRefused) {
  std::vector<float> one(1, 5.0f);
  TimeMachineInput empty = inputOf(one);
  empty.sampleCount = 0;
  OnsetSegmentedStretcher s;
  StretchedAudio out;
  EXPECT_EQ(s.Run(empty, 1.25, out), 0);
  EXPECT_TRUE(out.left.empty());
  const auto in = StretchChecks::noise16(100, 1);
  EXPECT_THROW(s.Run(inputOf(in), 0.0, out), int);
  TimeMachineInput none = inputOf(in);
  none.left = nullptr;
  EXPECT_THROW(s.Run(none, 1.0, out), int);
}

TEST(OnsetSegmentedStretcher, RatioEndsAndOtherRatesKeepTheExactLength) {
  for (std::uint64_t rate : {11025u, 22050u, 48000u}) {
    auto in = StretchChecks::sine(static_cast<std::int64_t>(rate / 3), 300.0, 2000.0, static_cast<double>(rate));
    for (std::size_t i = in.size() / 2; i < in.size(); ++i) in[i] *= 8.0f;  // one attack
    for (double r : {0.5, 0.77, 1.3, 2.0}) {
      OnsetSegmentedStretcher s;
      StretchedAudio out;
      const auto wanted = static_cast<std::int64_t>(std::floor(r * in.size()));
      EXPECT_EQ(s.Run(inputOf(in, nullptr, rate), r, out), wanted) << rate << " " << r;
      EXPECT_GE(s.SegmentStarts().size(), 2u) << rate << " " << r;
    }
  }
}
