#include <gtest/gtest.h>

#include <sstream>

#include "../StretchMeasures.h"
#include "StretchChecks.h"
#include "timedomain/OverlapAddStretcher.h"

using StretchChecks::inputOf;

TEST(OverlapAddStretcher, DoubleLengthRaisesTheSmallestLagToMakeRoomForTheSplice) {
  OverlapAddStretcher s;
  std::ostringstream log;
  s.SetLog(&log);
  s.Setup(44100, 20000, 1);
  const auto& st = s.GetState();
  EXPECT_EQ(st.max_offset, 1543);
  EXPECT_EQ(st.offset, 1543);
  EXPECT_EQ(st.cftime, 617);
  EXPECT_EQ(st.step, 24);
  EXPECT_EQ(st.lc, 25);
  EXPECT_EQ(st.min_offset, 1080);
  EXPECT_DOUBLE_EQ(st.rate, 2.0);
  EXPECT_EQ(st.size, 1543 + 617);
  EXPECT_EQ(log.str(), "resetting min_offset: 0.024500\n");
}

TEST(OverlapAddStretcher, TheResetLineAndTheStateDumpGoToTheStandardErrorStream) {
  OverlapAddStretcher s;
  testing::internal::CaptureStderr();
  s.Setup(44100, 20000, 2);
  s.Dump();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.rfind("resetting min_offset: 0.024500\nfs: 44100\nratio: 20000\n", 0), 0u) << err;
  for (const char* line : {"offset: 1543(0.034989 sec)\n", "min_offset: 1080(0.024490 sec)\n", "cftime: 617(0.013991 sec)\n",
                           "flength: 0.000000(0.000000 sec)\n", "step: 24\n", "lc: 25\n", "rate: 2.000000\n",
                           "error: 0.000000\n", "size: 2160\n", "rindex: 0\n", "oindex: 0\n"})
    EXPECT_NE(err.find(line), std::string::npos) << line;
  // Shortening resets nothing, and a stretcher told to keep quiet is.
  OverlapAddStretcher quiet;
  testing::internal::CaptureStderr();
  quiet.Setup(44100, 8000, 1);
  quiet.SetLog(nullptr);
  quiet.Setup(44100, 20000, 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(OverlapAddStretcher, InBetweenRatiosInterpolateTheTableButTakeTheLowerRowsStep) {
  OverlapAddStretcher s;
  s.Setup(44100, 7500, 2);
  const auto& st = s.GetState();
  EXPECT_EQ(st.min_offset, static_cast<std::int64_t>(44100 * 0.010));
  EXPECT_EQ(st.max_offset, static_cast<std::int64_t>(44100 * 0.030));
  EXPECT_EQ(st.cftime, static_cast<std::int64_t>(44100 * 0.014));
  EXPECT_EQ(st.step, 20);
  EXPECT_NEAR(st.rate, 3.0, 1e-12);  // 0.75 / 0.25
  std::ostringstream dump;
  s.Dump(dump);
  EXPECT_NE(dump.str().find("max_offset: 1323(0.030000 sec)\n"), std::string::npos) << dump.str();
}

TEST(OverlapAddStretcher, RatioOneCopiesBothChannelsExactly) {
  const auto left = StretchChecks::noise16(20000, 3);
  const auto right = StretchChecks::noise16(20000, 4);
  OverlapAddStretcher s;
  StretchedAudio out;
  ASSERT_EQ(s.Run(inputOf(left, &right), {1.0, 0}, out), 20000);
  EXPECT_EQ(out.left, left);
  EXPECT_EQ(out.right, right);
}

TEST(OverlapAddStretcher, StretchesToTheExactLengthKeepingThePitch) {
  const auto left = StretchChecks::sine(22050, 440.0, 12000.0);
  std::vector<float> right(left.size());
  for (std::size_t i = 0; i < left.size(); ++i) right[i] = left[i] * 0.5f;
  for (double ratio : {0.8, 1.25}) {
    OverlapAddStretcher s;
    StretchedAudio out;
    const auto wanted = static_cast<std::int64_t>(ratio * 22050);
    ASSERT_EQ(s.Run(inputOf(left, &right), {ratio, 0}, out), wanted) << ratio;
    ASSERT_EQ(out.left.size(), static_cast<std::size_t>(wanted));
    ASSERT_EQ(out.right.size(), static_cast<std::size_t>(wanted));
    const auto n = static_cast<std::size_t>(wanted);
    // The pitch to a cent, by the phase of the tone through the middle.
    const double f = StretchMeasures::partialFrequency(out.left, n / 10, n * 9 / 10, 440.0);
    EXPECT_NEAR(StretchMeasures::cents(f, 440.0), 0.0, 1.0) << ratio;
    // Every join continues the tone: no step larger than the tone's own.
    EXPECT_LE(StretchChecks::largestStep(out.left, n / 10, n * 9 / 10), 1.02 * StretchChecks::largestStep(left, 0, left.size())) << ratio;
    // Sound all the way, not silence padding the end.
    EXPECT_GT(StretchChecks::rms(out.left, n * 8 / 10, n * 95 / 100), 0.6 * 12000.0 / std::sqrt(2.0)) << ratio;
    // One splice pattern for both channels: the right stays half the left.
    for (std::size_t i = 0; i < n; ++i) ASSERT_NEAR(out.right[i], out.left[i] * 0.5f, 0.01f) << ratio << " at " << i;
  }
}

TEST(OverlapAddStretcher, ShortOutputIsPaddedWithSilenceToTheRequestedLength) {
  const auto left = StretchChecks::sine(4410, 440.0, 8000.0);
  OverlapAddStretcher s;
  StretchedAudio out;
  ASSERT_EQ(s.Run(inputOf(left), {1.0, 6000}, out), 6000);
  EXPECT_TRUE(out.right.empty());
  for (std::size_t i = 4410; i < 6000; ++i) ASSERT_EQ(out.left[i], 0.0f);
}

TEST(OverlapAddStretcher, RefusesInputItCannotStretch) {
  const auto left = StretchChecks::sine(1000, 440.0, 8000.0);
  OverlapAddStretcher s;
  StretchedAudio out;
  for (double bad : {0.4, 2.1, std::nan("")}) {
    EXPECT_THROW(s.Run(inputOf(left), {bad, 0}, out), int) << bad;
  }
  TimeMachineInput none = inputOf(left);
  none.left = nullptr;
  EXPECT_THROW(s.Run(none, {1.0, 0}, out), int);
}

TEST(OverlapAddStretcher, TableEndsAndOtherRatesKeepTheExactLength) {
  for (std::uint64_t rate : {22050u, 44100u, 48000u}) {
    const auto in = StretchChecks::sine(static_cast<std::int64_t>(rate / 4), 300.0, 9000.0, static_cast<double>(rate));
    for (double ratio : {0.5, 0.73, 1.0, 1.61, 2.0, 2.09}) {
      OverlapAddStretcher s;
      StretchedAudio out;
      const auto wanted = static_cast<std::int64_t>(std::floor(std::floor(ratio * 10000 + 0.5) * in.size() / 10000));
      EXPECT_EQ(s.Run(inputOf(in, nullptr, rate), {ratio, 0}, out), wanted) << rate << " " << ratio;
      EXPECT_EQ(out.left.size(), static_cast<std::size_t>(wanted));
    }
  }
}
