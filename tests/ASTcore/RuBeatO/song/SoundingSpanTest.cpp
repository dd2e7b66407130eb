// Where a recording sounds, and which bars and beats survive the trim of
// leading and trailing silence: floors relative to the recording's level,
// whole bars kept, pickups kept, nothing trimmed without sound.

#include <gtest/gtest.h>

#include <vector>

#include "SoundingSpan.h"

namespace {

const double kBlock = 0.01;  // seconds per block in these cases

std::vector<float> peaks(std::size_t silentBefore, std::size_t sounding, std::size_t silentAfter, float level,
                         float floorNoise = 0.0f) {
  std::vector<float> p(silentBefore, floorNoise);
  p.insert(p.end(), sounding, level);
  p.insert(p.end(), silentAfter, floorNoise);
  return p;
}

}  // namespace

TEST(SoundingSpan, FloorFollowsTheRecordingLevelButNeverExceedsMinus60dBFS) {
  // Loud: hiss at -70 dBFS is silence, the music spans blocks 100 to 400.
  MzMir::SoundingSpan loud = MzMir::findSoundingSpan(peaks(100, 300, 50, 0.9f, 0.0003f), kBlock);
  ASSERT_TRUE(loud.sounds);
  EXPECT_NEAR(loud.start, 1.0, 1e-9);
  EXPECT_NEAR(loud.end, 4.0, 1e-9);

  // Quiet master at -40 dBFS: a fade at -90 dBFS still counts as music
  // (50 dB down from the peak), digital zero does not.
  std::vector<float> quiet = peaks(20, 100, 20, 0.01f);
  quiet[10] = 3e-5f;
  MzMir::SoundingSpan q = MzMir::findSoundingSpan(quiet, kBlock);
  ASSERT_TRUE(q.sounds);
  EXPECT_NEAR(q.start, 0.1, 1e-9);
  EXPECT_NEAR(q.end, 1.2, 1e-9);

  EXPECT_FALSE(MzMir::findSoundingSpan(peaks(10, 0, 10, 0.0f), kBlock).sounds);
  EXPECT_FALSE(MzMir::findSoundingSpan({}, kBlock).sounds);
}

TEST(SoundingSpan, WholeBarsInSilenceGoWithTheirBeatsAndAPickupStays) {
  // Bars of 2 s from 0 to 16 s, music from 5 to 11 s.
  const std::vector<double> bars{0, 2, 4, 6, 8, 10, 12, 14, 16};
  MzMir::SoundingSpan span;
  span.start = 5.0;
  span.end = 11.0;
  span.sounds = true;
  const MzMir::BarRange kept = MzMir::barsInSpan(bars, span);
  EXPECT_EQ(kept.first, 2u);
  EXPECT_EQ(kept.end, 6u);

  const std::vector<std::int32_t> tatums{0, 4, 8, 12, 16, 20, 24, 28};
  std::vector<float> beats;
  for (int k = 0; k < 32; ++k) beats.push_back(0.5f * static_cast<float>(k));
  MzMir::trimBeatsToSpan(beats, bars, kept, span);
  EXPECT_EQ(MzMir::keptBarsOf(bars, kept, true), (std::vector<double>{4, 6, 8, 10, 12}));
  EXPECT_EQ(MzMir::keptBarsOf(tatums, kept), (std::vector<std::int32_t>{8, 12, 16, 20}));
  ASSERT_FALSE(beats.empty());
  EXPECT_FLOAT_EQ(beats.front(), 4.0f);  // the first kept bar keeps its silent first beats
  EXPECT_FLOAT_EQ(beats.back(), 12.0f);  // closes the last kept bar; nothing after it
  EXPECT_EQ(beats.size(), 17u);

  // A first bar line after the music starts: a beat just before the music
  // is a pickup and stays, one a second earlier is in silence and goes.
  const std::vector<double> late{5.2, 7.2, 9.2, 11.2};
  const MzMir::BarRange lateKept = MzMir::barsInSpan(late, span);
  std::vector<float> lateBeats{4.0f, 4.9f, 5.2f, 5.7f, 10.7f, 11.2f};
  MzMir::trimBeatsToSpan(lateBeats, late, lateKept, span);
  EXPECT_EQ(MzMir::keptBarsOf(late, lateKept, true), late);
  EXPECT_EQ(lateBeats, (std::vector<float>{4.9f, 5.2f, 5.7f, 10.7f, 11.2f}));
}

TEST(SoundingSpan, NothingIsTrimmedWithoutSoundOrWhenNoBarMeetsIt) {
  const std::vector<double> bars{0, 2, 4};
  MzMir::SoundingSpan silent;
  const MzMir::BarRange kept = MzMir::barsInSpan(bars, silent);
  std::vector<float> beats{0.0f, 1.0f, 3.5f};
  MzMir::trimBeatsToSpan(beats, bars, kept, silent);
  EXPECT_EQ(MzMir::keptBarsOf(bars, kept, true), bars);
  EXPECT_EQ(beats.size(), 3u);

  MzMir::SoundingSpan beyond;
  beyond.start = 7.0;
  beyond.end = 9.0;
  beyond.sounds = true;
  const MzMir::BarRange all = MzMir::barsInSpan(bars, beyond);
  EXPECT_EQ(all.first, 0u);
  EXPECT_EQ(all.end, 2u);

  // Without bar lines the beats are cut to the span and its margin.
  const std::vector<double> none{10.0};
  std::vector<float> loose{6.0f, 6.9f, 8.0f, 9.1f, 9.5f};
  MzMir::trimBeatsToSpan(loose, none, MzMir::barsInSpan(none, beyond), beyond);
  EXPECT_EQ(loose, (std::vector<float>{6.9f, 8.0f, 9.1f}));
}
