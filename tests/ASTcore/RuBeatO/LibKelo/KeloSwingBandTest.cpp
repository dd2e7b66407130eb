// A 4/4 band song through the offline engine with the meter left open:
// quarter-note triplets in the piano and the horns over every two beats,
// two and four a little softer than one and three. Its new pitches two and
// four thirds of a beat in look like a waltz read by its dotted beats, but
// its backbeat sounds more than two thirds as much as one and three, where
// the onsets no longer tell the two apart: it keeps four beats a bar at
// its tempo instead of coming in at one and a half times it.

#include <gtest/gtest.h>

#include <vector>

#include "KeloOffline.h"
#include "KeloOpenMeterRun.h"
#include "KeloReports.h"
#include "SwingBand.h"
#include "TempDir.h"

namespace {

class KeloSwingBand : public ::testing::TestWithParam<int> {};

TEST_P(KeloSwingBand, KeepsFourBeatsABarAtItsTempo) {
  const int bpm = GetParam();
  const std::vector<float> song = SwingBand::mono(bpm, 45.0, TestEnv::tempDir());
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  kelo::KeloOffline engine;
  KeloReports r;
  ASSERT_TRUE(analyseLeavingTheMeterOpen(engine, song, &r));
  EXPECT_EQ(engine.meterCode(), kelo::MeterSimple);
  EXPECT_EQ(engine.beatsPerBar(), 4);
  expectTheSongsBeat(r, bpm);
}

INSTANTIATE_TEST_SUITE_P(Tempi, KeloSwingBand, ::testing::Values(104));

}  // namespace
