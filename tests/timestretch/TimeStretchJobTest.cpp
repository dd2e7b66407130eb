#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "StretchMeasures.h"
#include "TimeStretchJob.h"

namespace {

void pushFrames(TimeStretchJob& job, const std::vector<std::int16_t>& left, const std::vector<std::int16_t>& right) {
  job.SetFrameCounts(left.size());
  job.ClearBuffers();
  for (std::size_t i = 0; i < left.size(); ++i) {
    const auto l = static_cast<std::uint16_t>(left[i]);
    const auto r = static_cast<std::uint16_t>(right[i]);
    const std::uint8_t frame[4] = {std::uint8_t(l & 0xFF), std::uint8_t(l >> 8), std::uint8_t(r & 0xFF),
                                   std::uint8_t(r >> 8)};
    job.PushSample(frame);
  }
}

// A job holding `frames` silent frames, cut with `cuts` into its regions.
std::vector<double> ratiosFor(TimeStretchJob& job, std::uint64_t frames, const std::vector<std::uint64_t>& cuts,
                              std::uint64_t bars, StretchRegionList* keep = nullptr) {
  pushFrames(job, std::vector<std::int16_t>(frames), std::vector<std::int16_t>(frames));
  StretchRegionList regions;
  job.SetRegions(regions, cuts, bars);
  std::uint8_t flag = 0;
  std::vector<double> ratios{-1.0};
  job.GetRatios(&flag, ratios);
  if (keep) *keep = std::move(regions);
  return ratios;
}

void expectRatios(const std::vector<double>& actual, const std::vector<double>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) EXPECT_DOUBLE_EQ(actual[i], expected[i]) << "ratio " << i;
}

}  // namespace

TEST(TimeStretchJob, BarLengthFollowsTheTruncatedTempoAndBarDuration) {
  struct Row { std::uint32_t num, den; double tempo; std::uint64_t frames; };
  const Row rows[] = {
      {4, 4, 120.0, 88200}, {6, 8, 100.0, 79380}, {3, 4, 90.0, 88200},
      {4, 4, 120.7, 88200},  // whole beats per minute only
      {4, 4, 140.0, 75600}, {3, 4, 97.0, 81836},  // 75599.9994 and 81835.05 frames: rounded up
      {3, 4, 140.0, 56700},  // 1.2857142857 s is 56700.00000 frames only once cut to 100 ns
      {4, 4, 0.0, 0},        {0, 4, 120.0, 0}, {4, 0, 120.0, 0},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(TimeStretchJob::SamplesPerBar(r.num, r.den, r.tempo, 44100), r.frames)
        << r.num << "/" << r.den << " at " << r.tempo;
  }
}

TEST(TimeStretchJob, RegionsAndRatiosFollowTheCutCountRules) {
  TimeStretchJob job;
  StretchRegionList regions;
  // Two positions and one bar: one one-bar region (n = bars + 1 wins).
  expectRatios(ratiosFor(job, 80000, {0, 80000}, 1, &regions), std::vector<double>{1.1025});
  ASSERT_EQ(regions.size(), 1u);
  EXPECT_DOUBLE_EQ(regions[0]->regionTempo, 132.3);
  EXPECT_EQ(regions[0]->outputLength, 88200);
  // Two positions, two bars: one region of both bars.
  expectRatios(ratiosFor(job, 176400, {0, 176400}, 2, &regions), std::vector<double>{1.0});
  EXPECT_EQ(regions[0]->outputLength, 176400);
  // Three positions for four bars: nothing made, and no ratio of the
  // request before is reported.
  expectRatios(ratiosFor(job, 176400, {0, 1000, 176400}, 4, &regions), {});
  EXPECT_TRUE(regions.empty());
  // Cuts that do not rise, or a zero tempo, make nothing either.
  expectRatios(ratiosFor(job, 176400, {0, 176400}, 2, &regions), std::vector<double>{1.0});
  expectRatios(ratiosFor(job, 176400, {0, 0, 176400}, 2, &regions), {});
  job.SetTempo(0.0);
  expectRatios(ratiosFor(job, 176400, {0, 176400}, 2, &regions), {});
  EXPECT_TRUE(regions.empty());

  // A tempo of 120.7 keeps the bar length of 120 and scales the region tempo.
  job.SetTempo(120.7);
  expectRatios(ratiosFor(job, 80000, {0, 80000}, 1, &regions), std::vector<double>{1.1025});
  EXPECT_NEAR(regions[0]->regionTempo, 1.1025 * 120.7, 1e-9);

  // Regions are counted from the first cut; each is one bar.
  job.SetTempo(120.0);
  const std::vector<double> r = ratiosFor(job, 200000, {1000, 89200, 133300}, 2, &regions);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_DOUBLE_EQ(r[0], 1.0);
  EXPECT_DOUBLE_EQ(r[1], 2.0);
  EXPECT_EQ(regions[1]->point.start, 88200);
  EXPECT_EQ(regions[1]->end, 132300);

  // Without a source every ratio is 1.0.
  job.SetFrameCounts(0);
  StretchRegionList none;
  job.SetRegions(none, {0, 40000}, 1);
  std::uint8_t flag = 1;
  std::vector<double> ratios;
  job.GetRatios(&flag, ratios);
  expectRatios(ratios, {1.0});
  EXPECT_EQ(flag, 0);
}

TEST(TimeStretchJob, RatioOutOfRangeIsFlaggedAndProducesNothing) {
  TimeStretchJob job;
  StretchRegionList regions;
  const std::vector<double> r = ratiosFor(job, 40000, {0, 40000}, 1, &regions);
  EXPECT_DOUBLE_EQ(r[0], 2.205);
  std::uint8_t flag = 0;
  std::vector<double> ratios;
  job.GetRatios(&flag, ratios);
  EXPECT_EQ(flag, 1);
  TimeMachineInput info;
  job.GetBufferInfo(&info);
  EXPECT_LT(job.Run(regions, info), 1);
  EXPECT_EQ(job.OutputFrames(), 0u);
}

TEST(TimeStretchJob, BarsBecomeExactlyOneBarLongWithTheirPitchKept) {
  // Three bars of a 440 + 660 Hz chord (right half as loud), cut unevenly,
  // at 240 beats per minute: every bar must become 44100 frames.
  constexpr int kFrames = 3 * 44100;
  const std::vector<float> l = StretchMeasures::tones(kFrames, {440.0, 660.0}, 6000.0);
  const std::vector<float> r = StretchMeasures::tones(kFrames, {440.0, 660.0}, 3000.0);
  std::vector<std::int16_t> left(l.begin(), l.end()), right(r.begin(), r.end());
  TimeStretchJob job;
  job.SetTempo(240.0);
  pushFrames(job, left, right);
  const std::vector<std::uint64_t> cuts{0, 40000, 90000, kFrames};
  StretchRegionList regions;
  job.SetRegions(regions, cuts, 3);
  ASSERT_EQ(regions.size(), 3u);
  for (const auto& region : regions) EXPECT_EQ(region->outputLength, 44100) << "no rounding noise in a bar";
  TimeMachineInput info;
  job.GetBufferInfo(&info);
  ASSERT_EQ(job.Run(regions, info), 3 * 44100);
  ASSERT_EQ(job.OutputFrames(), 3u * 44100u);

  std::vector<float> outLeft(3 * 44100), outRight(3 * 44100);
  for (std::int64_t i = 0; i < 3 * 44100; ++i) {
    outLeft[static_cast<std::size_t>(i)] = job.GetOutputSample(0, i);
    outRight[static_cast<std::size_t>(i)] = job.GetOutputSample(1, i);
  }
  for (std::size_t bar = 0; bar < 3; ++bar) {
    const std::size_t from = bar * 44100 + 8000, to = bar * 44100 + 36000;
    for (double f : {440.0, 660.0}) {
      EXPECT_NEAR(StretchMeasures::cents(StretchMeasures::partialFrequency(outLeft, from, to, f), f), 0.0, 1.0)
          << "bar " << bar << " at " << f;
      EXPECT_NEAR(StretchMeasures::cents(StretchMeasures::partialFrequency(outRight, from, to, f), f), 0.0, 1.0)
          << "bar " << bar << " at " << f;
    }
  }
  EXPECT_EQ(job.GetOutputSample(0, 3 * 44100), 0) << "past the end";
  EXPECT_EQ(job.GetOutputSample(2, 0), 0) << "no third channel";
  EXPECT_EQ(job.GetOutputSample(0, -1), 0);
}

TEST(TimeStretchJob, FramesAreReadLittleEndianLeftFirst) {
  TimeStretchJob job;
  TimeMachineInput info;
  job.GetBufferInfo(&info);
  EXPECT_EQ(info.left, nullptr);
  EXPECT_EQ(info.right, nullptr);
  const std::uint8_t frame[4] = {0x34, 0x12, 0xFF, 0x80};
  job.PushSample(frame);
  job.GetBufferInfo(&info);
  ASSERT_NE(info.left, nullptr);
  EXPECT_EQ(info.left[0], 4660.0f);
  EXPECT_EQ(info.right[0], -32513.0f);
  EXPECT_EQ(info.sampleCount, 1u);
  EXPECT_EQ(info.sampleRate, 44100u);
  EXPECT_EQ(info.bitsPerSample, 16u);
}
