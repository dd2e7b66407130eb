#include <gtest/gtest.h>

#include <cstring>

#include "JobTiming.h"

TEST(JobTiming, TicksBecomeBarBeatAndTick) {
  JobTiming t;
  struct Row { std::int64_t ticks; std::uint32_t bar, beat, tick; };
  const Row rows[] = {{0, 1, 1, 0}, {3840, 2, 1, 0}, {4799, 2, 1, 959}, {5759, 2, 2, 959}, {959, 1, 1, 959}, {960, 1, 2, 0}};
  for (const Row& r : rows) {
    std::uint32_t bar = 0, beat = 0, tick = 0;
    ASSERT_EQ(t.TicksToPosition(r.ticks, &bar, &beat, &tick), 1);
    EXPECT_EQ(bar, r.bar) << r.ticks;
    EXPECT_EQ(beat, r.beat) << r.ticks;
    EXPECT_EQ(tick, r.tick) << r.ticks;
  }
  t.numerator = 3;
  std::uint32_t bar = 0, beat = 0, tick = 0;
  ASSERT_EQ(t.TicksToPosition(2880 + 1920 + 5, &bar, &beat, &tick), 1);
  EXPECT_EQ(bar, 2u);
  EXPECT_EQ(beat, 3u);
  EXPECT_EQ(tick, 5u);
  t.numerator = 0;
  EXPECT_EQ(t.TicksToPosition(10, &bar, &beat, &tick), 0);
}

TEST(JobTiming, TicksAndTimeConvertAtTheWholeTargetTempo) {
  JobTiming t;
  EXPECT_EQ(t.TicksToTime(960), 5000000);  // half a second at 120
  EXPECT_EQ(t.TimeToTicks(5000000), 960);
  t.targetTempo = 120.9;  // counts as 120
  EXPECT_EQ(t.TicksToTime(960), 5000000);
  t.targetTempo = 0.5;  // below one beat a minute: no time
  EXPECT_EQ(t.TicksToTime(960), 0);
  EXPECT_EQ(t.TimeToTicks(5000000), 0);
  t.numerator = 6;
  t.denominator = 8;
  EXPECT_EQ(t.TicksPerBar(), 2880u);
  t.denominator = 0;
  EXPECT_EQ(t.TicksPerBar(), 0u);
}

TEST(JobTiming, TargetLengthAndTempoStayConsistent) {
  JobTiming t;
  t.sourceLength = 88200;
  EXPECT_EQ(t.SetTargetTempo(60.0), 176400u);
  EXPECT_EQ(t.targetLength, 176400u);
  t.SetTargetLength(44100);
  EXPECT_DOUBLE_EQ(t.targetTempo, 240.0);
  t.SetTargetLength(0);  // refused
  EXPECT_EQ(t.targetLength, 44100u);
  EXPECT_EQ(t.SetTargetTempo(0.0), 44100u);
  EXPECT_DOUBLE_EQ(t.targetTempo, 240.0);
  const std::uint64_t bits = t.InitDefaults();
  double tempo = 0.0;
  std::memcpy(&tempo, &bits, sizeof tempo);
  EXPECT_EQ(tempo, 120.0);
  EXPECT_EQ(t.sourceLength, 0u);
  std::uint64_t quad[4] = {1, 2, 3, 4};
  ClearQuad(quad);
  EXPECT_EQ(quad[0] | quad[1] | quad[2] | quad[3], 0u);
}
