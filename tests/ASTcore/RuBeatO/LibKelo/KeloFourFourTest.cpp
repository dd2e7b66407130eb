// 4/4 songs through the offline engine with the meter left open, whose
// accents look like a compound or dotted grouping: each keeps its beat and
// a simple meter instead of coming in at two thirds or one and a half
// times its tempo.

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "KeloOpenMeterRun.h"
#include "KeloReports.h"
#include "SixteenthsGroove.h"
#include "SwingBand.h"
#include "SwingHits.h"
#include "TempDir.h"

namespace {

// Quarter-note triplets in the piano and the horns over every two beats,
// two and four a little softer than one and three. Its new pitches two and
// four thirds of a beat in look like a waltz read by its dotted beats, but
// its backbeat sounds more than two thirds as much as one and three, where
// the onsets no longer tell the two apart.
class KeloSwingBand : public ::testing::TestWithParam<int> {};

TEST_P(KeloSwingBand, KeepsFourBeatsABarAtItsTempo) {
  const int bpm = GetParam();
  const std::vector<float> song = SwingBand::mono(bpm, 45.0, TestEnv::tempDir());
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  KeloReports r;
  expectASimpleMeterAtTheSongsBeat(song, bpm, 4, &r);
}

INSTANTIATE_TEST_SUITE_P(Tempi, KeloSwingBand, ::testing::Values(104));

// The tracker's pulses are this band's triplet eighths, and its hits in
// quarter-note triplets accent every second one as a simple meter's beats
// would; the beat is every third, where the bass and the drums are.
class KeloSwingHits : public ::testing::TestWithParam<int> {};

TEST_P(KeloSwingHits, KeepsItsBeatWhereTheDrumsAre) {
  const int bpm = GetParam();
  const std::vector<float> song = SwingHits::mono(bpm, 60.0, TestEnv::tempDir());
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  KeloReports r;
  kelo::KeloOffline engine;
  ASSERT_TRUE(analyseLeavingTheMeterOpen(engine, song, &r));
  expectTheSongsBeat(r, bpm);
}

INSTANTIATE_TEST_SUITE_P(Tempi, KeloSwingHits, ::testing::Values(91));

// Electronic sixteenths whose bass and lead figures come back every dotted
// quarter across the bar lines, so its strongest accents fall every third
// eighth as a compound bar's do; its kick and its claps say 4/4. With the
// kick on every beat, 90 s: over less its periodicity too hears 12/8. With
// the kick on one and three the periodicity hears 12/8 at 65 s, and the
// drums, over sixteenths that sound on every pulse, say 4/4.
struct Groove {
  int bpm;
  double seconds;
  SixteenthsGroove::Kick kick;
};

void PrintTo(const Groove& g, std::ostream* os) {
  *os << g.bpm << " BPM, " << g.seconds << " s"
      << (g.kick == SixteenthsGroove::Kick::OneAndThree ? ", kick on one and three" : "");
}

class KeloSixteenthsGroove : public ::testing::TestWithParam<Groove> {};

TEST_P(KeloSixteenthsGroove, KeepsItsBeatInASimpleMeter) {
  const Groove& g = GetParam();
  const std::vector<float> song = SixteenthsGroove::mono(g.bpm, g.seconds, TestEnv::tempDir(), g.kick);
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  KeloReports r;
  expectASimpleMeterAtTheSongsBeat(song, g.bpm, 0, &r);
}

INSTANTIATE_TEST_SUITE_P(Grooves, KeloSixteenthsGroove,
                         ::testing::Values(Groove{146, 90.0, SixteenthsGroove::Kick::EveryBeat},
                                           Groove{140, 65.0, SixteenthsGroove::Kick::OneAndThree}));

}  // namespace
