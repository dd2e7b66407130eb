// An electronic 4/4 song in sixteenths through the offline engine with the
// meter left open. Its bass and lead figures come back every dotted
// quarter across the bar lines, so its strongest accents fall every third
// eighth as a compound bar's do; its kick, its claps and its periodicity
// say 4/4. It keeps its beat and a simple meter instead of coming in at a
// third or two thirds of its tempo with dotted beats. Ninety seconds: over
// less the periodicity too hears this song's bars as 12/8.

#include <gtest/gtest.h>

#include <vector>

#include "KeloOffline.h"
#include "KeloOpenMeterRun.h"
#include "KeloReports.h"
#include "SixteenthsGroove.h"
#include "TempDir.h"

namespace {

class KeloSixteenthsGroove : public ::testing::TestWithParam<int> {};

TEST_P(KeloSixteenthsGroove, KeepsItsBeatInASimpleMeter) {
  const int bpm = GetParam();
  const std::vector<float> song = SixteenthsGroove::mono(bpm, 90.0, TestEnv::tempDir());
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  kelo::KeloOffline engine;
  KeloReports r;
  ASSERT_TRUE(analyseLeavingTheMeterOpen(engine, song, &r));
  EXPECT_EQ(engine.meterCode(), kelo::MeterSimple);
  expectTheSongsBeat(r, bpm);
}

INSTANTIATE_TEST_SUITE_P(Tempi, KeloSixteenthsGroove, ::testing::Values(146));

}  // namespace
