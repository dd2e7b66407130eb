#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "TimeStretchJob.h"
#include "WorkingRange.h"

TEST(TimeStretchJobTiming, TicksBecomeBarBeatAndTick) {
  TimeStretchJob t;
  struct Row { std::int64_t ticks; std::uint32_t bar, beat, tick; };
  const Row rows[] = {{0, 1, 1, 0}, {3840, 2, 1, 0}, {4799, 2, 1, 959}, {5759, 2, 2, 959}, {959, 1, 1, 959}, {960, 1, 2, 0}};
  for (const Row& r : rows) {
    std::uint32_t bar = 0, beat = 0, tick = 0;
    ASSERT_EQ(t.TicksToPosition(r.ticks, &bar, &beat, &tick), 1);
    EXPECT_EQ(bar, r.bar) << r.ticks;
    EXPECT_EQ(beat, r.beat) << r.ticks;
    EXPECT_EQ(tick, r.tick) << r.ticks;
  }
  t.SetTimeSignature(3, 4);
  std::uint32_t bar = 0, beat = 0, tick = 0;
  ASSERT_EQ(t.TicksToPosition(2880 + 1920 + 5, &bar, &beat, &tick), 1);
  EXPECT_EQ(bar, 2u);
  EXPECT_EQ(beat, 3u);
  EXPECT_EQ(tick, 5u);
  EXPECT_EQ(t.TicksToPosition(-1, &bar, &beat, &tick), 0);
  t.SetTimeSignature(0, 4);
  EXPECT_EQ(t.TicksToPosition(10, &bar, &beat, &tick), 0);
}

TEST(TimeStretchJobTiming, TicksAndTimeConvertAtTheWholeTargetTempo) {
  TimeStretchJob t;
  EXPECT_EQ(t.TicksToTime(960), 5000000);  // half a second at 120
  EXPECT_EQ(t.TimeToTicks(5000000), 960);
  t.SetTempo(120.9);  // counts as 120
  EXPECT_EQ(t.TicksToTime(960), 5000000);
  t.SetTempo(0.5);  // below one beat a minute: no time
  EXPECT_EQ(t.TicksToTime(960), 0);
  EXPECT_EQ(t.TimeToTicks(5000000), 0);
  t.SetTimeSignature(6, 8);
  EXPECT_EQ(t.TicksPerBar(), 2880u);
  t.SetTimeSignature(6, 0);
  EXPECT_EQ(t.TicksPerBar(), 0u);
}

TEST(TimeStretchJobTiming, TheTargetSetHereIsTheOneTheRegionsStretchTo) {
  TimeStretchJob t;
  t.SetFrameCounts(88200);
  t.SetTempo(120.0);
  EXPECT_EQ(t.SetTargetTempo(60.0), 176400u);
  EXPECT_EQ(t.TargetLength(), 176400u);
  // One bar of 88200 frames at the new target tempo of 60 lasts 176400.
  StretchRegionList regions;
  t.SetRegions(regions, {0, 88200}, 1);
  ASSERT_EQ(regions.size(), 1u);
  EXPECT_DOUBLE_EQ(regions[0]->point.ratio, 2.0);
  EXPECT_EQ(regions[0]->outputLength, 176400);

  t.SetTargetLength(44100);
  EXPECT_DOUBLE_EQ(t.TargetTempo(), 240.0);
  regions.clear();
  t.SetRegions(regions, {0, 88200}, 1);
  ASSERT_EQ(regions.size(), 1u);
  EXPECT_EQ(regions[0]->outputLength, 44100);

  t.SetTargetLength(0);  // refused
  EXPECT_EQ(t.TargetLength(), 44100u);
  EXPECT_EQ(t.SetTargetTempo(0.0), TimeStretchJob::kRefusedTempo);
  EXPECT_EQ(t.TargetLength(), 44100u);
  EXPECT_DOUBLE_EQ(t.TargetTempo(), 240.0);
  const std::uint64_t bits = t.InitDefaults();
  double tempo = 0.0;
  std::memcpy(&tempo, &bits, sizeof tempo);
  EXPECT_EQ(tempo, 120.0);
  EXPECT_EQ(t.TargetLength(), 0u);
  EXPECT_EQ(t.TargetTempo(), 120.0);
  std::uint64_t quad[4] = {1, 2, 3, 4};
  ClearQuad(quad);
  EXPECT_EQ(quad[0] | quad[1] | quad[2] | quad[3], 0u);
}

TEST(TimeStretchJobTiming, TargetTemposWhoseLengthNoFrameCountHoldsAreRefused) {
  TimeStretchJob t;
  t.SetFrameCounts(88200);
  t.SetTempo(120.0);
  ASSERT_EQ(t.SetTargetTempo(60.0), 176400u);
  const double refused[] = {1e-300, 1e-200, std::nan(""), HUGE_VAL, -HUGE_VAL, -60.0, 0.0, -0.0, 1e300, 1e10};
  for (double tempo : refused) {
    EXPECT_EQ(t.SetTargetTempo(tempo), TimeStretchJob::kRefusedTempo) << tempo;
    EXPECT_EQ(t.TargetLength(), 176400u) << tempo;
    EXPECT_EQ(t.TargetTempo(), 60.0) << tempo;
  }
  // The extremes still taken: a length just inside 64 bits, and one frame.
  EXPECT_EQ(t.SetTargetTempo(1e-12), static_cast<std::uint64_t>(88200.0 * 120.0 / 1e-12));
  EXPECT_EQ(t.SetTargetTempo(88200.0 * 120.0), 1u);
  EXPECT_EQ(t.TargetTempo(), 88200.0 * 120.0);

  // Without frames every positive tempo gives length 0, as before.
  TimeStretchJob empty;
  EXPECT_EQ(empty.SetTargetTempo(1e300), 0u);
  EXPECT_EQ(empty.TargetTempo(), 1e300);
  EXPECT_EQ(empty.SetTargetTempo(std::nan("")), TimeStretchJob::kRefusedTempo);
}

TEST(TimeStretchJobTiming, TimesAndTicksPastSixtyFourBitsHoldAtTheLimitAndBadTemposAreRefused) {
  struct Row {
    const char* what;
    double tempo;  // target tempo, set on a job without frames
    bool toTime;   // TicksToTime, else TimeToTicks
    std::int64_t in, out;
  };
  const Row rows[] = {
      {"the last tick at 1", 1.0, true, INT64_MAX, INT64_MAX},
      {"the first tick at 1", 1.0, true, INT64_MIN, INT64_MIN},
      {"a tick at 1e300", 1e300, true, 1, 0},
      {"a time at 1e300", 1e300, false, 1, INT64_MAX},
      {"a negative time at 1e300", 1e300, false, -1, INT64_MIN},
      {"no time at 1e300", 1e300, false, 0, 0},
      {"the last time at 1e18", 1e18, false, INT64_MAX, INT64_MAX},
  };
  for (const Row& r : rows) {
    TimeStretchJob t;
    ASSERT_NE(t.SetTargetTempo(r.tempo), TimeStretchJob::kRefusedTempo) << r.what;
    EXPECT_EQ(r.toTime ? t.TicksToTime(r.in) : t.TimeToTicks(r.in), r.out) << r.what;
  }
  // A bar no frame count holds is no bar; one whose time no count holds is
  // at least far out of the stretch range.
  EXPECT_EQ(TimeStretchJob::SamplesPerBar(UINT32_MAX, 1, 1.0, UINT64_MAX), 0u);
  TimeStretchJob job;
  job.SetFrameCounts(4);
  job.SetTempo(1.0);
  job.SetTimeSignature(UINT32_MAX, 1);
  StretchRegionList regions;
  job.SetRegions(regions, {0, 4}, 1);
  std::uint8_t outOfRange = 0;
  std::vector<double> ratios;
  job.GetRatios(&outOfRange, ratios);
  EXPECT_EQ(outOfRange, 1);
  // What SetTargetTempo refuses, SetTempo holds as no tempo: no region, no
  // time, and no length from it.
  for (double tempo : {-60.0, std::nan(""), HUGE_VAL}) {
    job.SetTempo(tempo);
    EXPECT_EQ(job.TargetTempo(), 0.0) << tempo;
    EXPECT_EQ(job.TicksToTime(960), 0) << tempo;
    EXPECT_EQ(job.SetTargetTempo(60.0), TimeStretchJob::kRefusedTempo) << tempo;
  }
}
