#include <gtest/gtest.h>

#include "../StretchMeasures.h"
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

TEST(OnsetSegmentedStretcher, ASteadyToneKeepsItsPitchAndLevelThroughEveryJoin) {
  // Two seconds without an attack: several input buffers, one segment.
  // Every join within the tone must continue it: the pitch to a cent by its
  // phase, the level over every stretch of whole periods (about 400
  // samples) within 0.5 dB, no step larger than the tone's own.
  for (double freq : {440.0, 196.0, 1000.0}) {
    const double amplitude = 8000.0;
    const auto left = StretchChecks::sine(88200, freq, amplitude);
    const double level = amplitude / std::sqrt(2.0);
    const double ownStep = StretchChecks::largestStep(left, 0, left.size());
    for (double ratio : {0.8, 0.9, 1.1, 1.25, 1.5}) {
      SCOPED_TRACE(::testing::Message() << freq << " Hz at " << ratio);
      OnsetSegmentedStretcher s;
      StretchedAudio out;
      const auto wanted = static_cast<std::int64_t>(std::floor(ratio * 88200));
      ASSERT_EQ(s.Run(inputOf(left), ratio, out), wanted);
      EXPECT_EQ(s.SegmentStarts(), std::vector<std::int64_t>{0});
      const auto n = static_cast<std::size_t>(wanted);
      const double f = StretchMeasures::partialFrequency(out.left, n / 20, n * 19 / 20, freq);
      EXPECT_NEAR(StretchMeasures::cents(f, freq), 0.0, 1.0);
      const double periods = std::ceil(400.0 * freq / 44100.0);
      const auto window = static_cast<std::size_t>(std::lround(periods * 44100.0 / freq));
      double lowest = 1e9, highest = -1e9;
      for (std::size_t at = n / 20; at + window <= n * 19 / 20; at += 32) {
        const double db = 20.0 * std::log10(StretchChecks::rms(out.left, at, at + window) / level);
        lowest = std::min(lowest, db);
        highest = std::max(highest, db);
      }
      EXPECT_GT(lowest, -0.5);
      EXPECT_LT(highest, 0.5);
      EXPECT_LE(StretchChecks::largestStep(out.left, n / 20, n * 19 / 20), 1.02 * ownStep);
    }
  }
}

TEST(OnsetSegmentedStretcher, AStereoToneStreamsAlikeInBothChannelsAndAnAttackStillLandsOnItsShare) {
  // A long steady tone, then an attack: the attack's segment starts exactly
  // where the ratio puts it, after streaming through several buffers.
  auto left = StretchChecks::sine(60000, 330.0, 1500.0);
  for (std::size_t i = 45000; i < left.size(); ++i) left[i] *= 8.0f;
  std::vector<float> right(left.size());
  for (std::size_t i = 0; i < left.size(); ++i) right[i] = left[i] * 0.5f;
  for (double ratio : {0.8, 1.25, 1.5}) {
    OnsetSegmentedStretcher s;
    StretchedAudio out;
    ASSERT_EQ(s.Run(inputOf(left, &right), ratio, out), static_cast<std::int64_t>(ratio * 60000)) << ratio;
    ASSERT_EQ(s.SegmentStarts().size(), 2u) << ratio;
    const std::int64_t attack = s.SegmentStarts()[1];
    EXPECT_NEAR(attack, 45000, 90) << ratio;
    ASSERT_EQ(s.SegmentLengths().size(), 2u);
    EXPECT_EQ(s.SegmentLengths()[0], static_cast<std::int64_t>(std::floor(ratio * static_cast<double>(attack))));
    // The loud part begins where the first segment's share ends.
    const auto begin = static_cast<std::size_t>(s.SegmentLengths()[0]);
    EXPECT_LT(StretchChecks::rms(out.left, begin - 400, begin - 100), 1500.0);
    EXPECT_GT(StretchChecks::rms(out.left, begin + 200, begin + 600), 6000.0);
    for (std::size_t i = 0; i < out.left.size(); ++i)
      ASSERT_NEAR(out.right[i], out.left[i] * 0.5f, 0.01f) << ratio << " at " << i;
    const double f = StretchMeasures::partialFrequency(out.left, 2000, begin - 2000, 330.0);
    EXPECT_NEAR(StretchMeasures::cents(f, 330.0), 0.0, 1.0) << ratio;
  }
}
