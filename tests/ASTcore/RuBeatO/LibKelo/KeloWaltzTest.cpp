// Waltzes through the offline engine with the meter left open: three
// beats a bar at the song's own tempo, not two dotted beats of 6/8 (the
// bar is as long, six eighths either way, so only where the accents fall
// tells them apart), in two accompaniments across the tempi of waltzes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <ostream>
#include <vector>

#include "AccordionWaltz.h"
#include "ArpeggioWaltz.h"
#include "BrushedGroove.h"
#include "CompoundOomPah.h"
#include "EmptySecondBeatWaltz.h"
#include "JazzWaltz.h"
#include "KeloOffline.h"
#include "KeloOpenMeterRun.h"
#include "KeloReports.h"
#include "MelodyWaltz.h"
#include "RockGroove.h"
#include "StabsGroove.h"
#include "SynthWaltz.h"
#include "TempDir.h"

namespace {

using EmptySecondBeatWaltz::Style;
using SynthWaltz::Accompaniment;

constexpr double kRate = 44100.0;

struct Waltz {
  const char* name;
  double bpm;
  Accompaniment style;
  double seconds;
};

void PrintTo(const Waltz& w, std::ostream* os) { *os << w.name; }

const Waltz kWaltzes[] = {
    {"oom-pah at 92", 92.0, Accompaniment::OomPah, 20.0},
    {"oom-pah at 120", 120.0, Accompaniment::OomPah, 18.0},
    {"oom-pah at 144", 144.0, Accompaniment::OomPah, 16.0},
    {"melody on every beat at 100", 100.0, Accompaniment::MelodyOnEveryBeat, 24.0},
    {"melody on every beat at 132", 132.0, Accompaniment::MelodyOnEveryBeat, 20.0},
    // Nothing sounds between the beats: the tracker's pulses are the beats.
    {"oom-pah at 160", 160.0, Accompaniment::OomPah, 16.0},
    {"oom-pah at 176", 176.0, Accompaniment::OomPah, 16.0},
    {"melody on every beat at 168", 168.0, Accompaniment::MelodyOnEveryBeat, 16.0},
};

class KeloWaltz : public ::testing::TestWithParam<Waltz> {};

// The song through the engine with the meter left open: a simple meter of
// `beats` a bar at the song's beat.
void expectThreeBeatsABarOnTheDownbeats(const std::vector<float>& song, double bpm) {
  const double seconds = static_cast<double>(song.size()) / kRate;
  KeloReports r;
  expectASimpleMeterAtTheSongsBeat(song, bpm, 3, &r);
  if (::testing::Test::HasFatalFailure()) return;
  const std::map<int, double> tatumTime = r.tatumSeconds(kRate);
  const double beat = 60.0 / bpm;

  const double bar = 3 * beat;
  ASSERT_GE(r.bars.size(), static_cast<std::size_t>(seconds / bar) - 2);
  int onDownbeat = 0;
  for (std::size_t i = 0; i < r.bars.size(); ++i) {
    EXPECT_EQ(r.bars[i].numerator, 3);
    EXPECT_EQ(r.bars[i].denominator, 4);
    if (i > 0) {
      EXPECT_EQ(r.bars[i].tatum - r.bars[i - 1].tatum, 3) << "bar " << i;
    }
    if (std::abs(std::remainder(tatumTime.at(r.bars[i].tatum), bar)) < 0.1) ++onDownbeat;
  }
  // The first bar may open before the tracker has settled.
  EXPECT_GE(onDownbeat, static_cast<int>(r.bars.size()) - 1);
}

TEST_P(KeloWaltz, ThreeBeatsABarAtTheSongsTempoWithBarLinesOnTheDownbeats) {
  const Waltz w = GetParam();
  expectThreeBeatsABarOnTheDownbeats(SynthWaltz::song(w.bpm, w.seconds, w.style), w.bpm);
}

INSTANTIATE_TEST_SUITE_P(Songs, KeloWaltz, ::testing::ValuesIn(kWaltzes));

// Accordion chords that swell in on two and three: up to about 115 BPM the
// tracker takes one and a half beats for its own, and every second one of
// its beats falls where nothing starts; from about 130 its pulses are the
// beats, and the chords first sound on two, where the chord path alone put
// the bar lines: the bass, once a bar, shows them.
class KeloAccordionWaltz : public ::testing::TestWithParam<int> {};

TEST_P(KeloAccordionWaltz, ThreeBeatsABarAtTheSongsTempoWithBarLinesOnTheDownbeats) {
  const int bpm = GetParam();
  const std::vector<float> song = AccordionWaltz::mono(bpm, 20.0, TestEnv::tempDir());
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  expectThreeBeatsABarOnTheDownbeats(song, bpm);
}

INSTANTIATE_TEST_SUITE_P(Tempi, KeloAccordionWaltz, ::testing::Values(92, 100, 112, 136, 150, 165));

// Faster, from about 180 BPM, the tracker hears only the bars: one of its
// beats a bar, at the bottom of its range, and the song came in at a third
// of its tempo. The chords after the bass alone on one, and turning with
// every bar, say they are bars.
class KeloFastAccordionWaltz : public ::testing::TestWithParam<int> {};

TEST_P(KeloFastAccordionWaltz, ThreeBeatsABarAtTheSongsTempoWithBarLinesOnTheDownbeats) {
  const int bpm = GetParam();
  const std::vector<float> song = AccordionWaltz::mono(bpm, 30.0, TestEnv::tempDir());
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  expectThreeBeatsABarOnTheDownbeats(song, bpm);
}

INSTANTIATE_TEST_SUITE_P(Tempi, KeloFastAccordionWaltz, ::testing::Values(180, 186));

// The same notes with the chord held for two bars are a 6/8 oom-pah-pah at
// a third of the tempo, and its dotted beats are what the tracker hears;
// they stay its beats.
class KeloCompoundOomPah : public ::testing::TestWithParam<int> {};

TEST_P(KeloCompoundOomPah, KeepsItsDottedBeats) {
  const int dottedBpm = GetParam();
  const std::vector<float> song = CompoundOomPah::mono(dottedBpm, 30.0, TestEnv::tempDir());
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  kelo::KeloOffline engine;
  KeloReports r;
  ASSERT_TRUE(analyseLeavingTheMeterOpen(engine, song, &r));
  expectTheSongsBeat(r, dottedBpm);
}

INSTANTIATE_TEST_SUITE_P(Tempi, KeloCompoundOomPah, ::testing::Values(60, 62));

// With a tune on the downbeats the chords of two and three bring too
// little new sound beside the downbeat's for the pulses to be read as
// beats from that alone; that the bass sounds on every accent and only
// there, and the chords bring new pitches, shows them.
class KeloAccordionWaltzWithATune : public ::testing::TestWithParam<int> {};

TEST_P(KeloAccordionWaltzWithATune, ThreeBeatsABarAtTheSongsTempoWithBarLinesOnTheDownbeats) {
  const int bpm = GetParam();
  const std::vector<float> song =
      AccordionWaltz::mono(bpm, 20.0, TestEnv::tempDir(), AccordionWaltz::Tune::OnTheDownbeats);
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  expectThreeBeatsABarOnTheDownbeats(song, bpm);
}

INSTANTIATE_TEST_SUITE_P(Tempi, KeloAccordionWaltzWithATune, ::testing::Values(120, 126, 132, 138, 144, 150, 156, 162, 170));

// A jazz waltz whose comping on two's swung upbeat, against straight
// eighths, accents every third pulse, as a 6/8 bar's dotted beats would
// or, where the tracker's pulses are fast enough to be beats, the bars of
// a waltz at twice its tempo; its walking bass shows the beats.
class KeloJazzWaltz : public ::testing::TestWithParam<int> {};

TEST_P(KeloJazzWaltz, ThreeBeatsABarAtTheSongsTempoWithBarLinesOnTheDownbeats) {
  const int bpm = GetParam();
  const std::vector<float> song = JazzWaltz::mono(bpm, 20.0, TestEnv::tempDir());
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  expectThreeBeatsABarOnTheDownbeats(song, bpm);
}

INSTANTIATE_TEST_SUITE_P(Tempi, KeloJazzWaltz, ::testing::Values(84, 92, 100, 108, 116, 124, 140, 160));

// A tune note on every beat over a bass on every beat: the pulses are
// the beats' halves, and the features repeat every four bars of chords,
// twelve beats, which bars of four fill as well as bars of three; the
// downbeat's new sound shows the bar.
struct MelodyWaltzCase {
  int bpm;
  MelodyWaltz::Key key;
};

void PrintTo(const MelodyWaltzCase& c, std::ostream* os) {
  *os << c.bpm << " BPM, tonic " << c.key.tonic << (c.key.minor ? " minor" : " major");
}

class KeloMelodyWaltz : public ::testing::TestWithParam<MelodyWaltzCase> {};

TEST_P(KeloMelodyWaltz, ThreeBeatsABarAtTheSongsTempoWithBarLinesOnTheDownbeats) {
  const MelodyWaltzCase c = GetParam();
  const std::vector<float> song = MelodyWaltz::mono(c.bpm, 40.0, TestEnv::tempDir(), c.key);
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  expectThreeBeatsABarOnTheDownbeats(song, c.bpm);
}

// Each came out with four beats a bar, its beats right, before the
// downbeat's new sound was weighed.
INSTANTIATE_TEST_SUITE_P(Tempi, KeloMelodyWaltz,
                         ::testing::Values(MelodyWaltzCase{104, {4, false}}, MelodyWaltzCase{104, {9, true}},
                                           MelodyWaltzCase{110, {4, false}}, MelodyWaltzCase{122, {4, false}}));

// Waltzes that leave their second beat empty: the tracker gives their
// beats as its pulses, accented every third as a slow compound bar's
// eighths are. A half note and a quarter over held strings, the bass on
// one and three: the bass on three and not on two keeps the pulses the
// beats; the same long-short with the chord, the bass's fifth and a hi-hat
// on three and the bass's root and a kick on one: the bass rising most on
// the pulse after the accents on three does. Either way with the chords
// turning bar by bar. Each came out at a third of its tempo before.
struct EmptySecondBeatCase {
  Style style;
  int bpm;
};

void PrintTo(const EmptySecondBeatCase& c, std::ostream* os) {
  *os << (c.style == Style::HalfAndQuarter ? "half note and quarter at " : "loud third beat at ") << c.bpm;
}

class KeloEmptySecondBeatWaltz : public ::testing::TestWithParam<EmptySecondBeatCase> {};

TEST_P(KeloEmptySecondBeatWaltz, ThreeBeatsABarAtTheSongsTempoWithBarLinesOnTheDownbeats) {
  const EmptySecondBeatCase c = GetParam();
  const std::vector<float> song = EmptySecondBeatWaltz::mono(c.style, c.bpm, 36.0, TestEnv::tempDir());
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  expectThreeBeatsABarOnTheDownbeats(song, c.bpm);
}

INSTANTIATE_TEST_SUITE_P(Tempi, KeloEmptySecondBeatWaltz,
                         ::testing::Values(EmptySecondBeatCase{Style::HalfAndQuarter, 126},
                                           EmptySecondBeatCase{Style::HalfAndQuarter, 144},
                                           EmptySecondBeatCase{Style::HalfAndQuarter, 162},
                                           EmptySecondBeatCase{Style::LoudThird, 124},
                                           EmptySecondBeatCase{Style::LoudThird, 132},
                                           EmptySecondBeatCase{Style::LoudThird, 148}));

// A waltz whose piano plays every eighth alike: near 100 BPM the tracker
// takes the eighths, as fast as a quick song's beats, for its beats, and
// came in at twice the tempo; the bass, the tune and the arpeggio's first
// note on every second of them say they are half beats.
class KeloArpeggioWaltz : public ::testing::TestWithParam<int> {};

TEST_P(KeloArpeggioWaltz, ThreeBeatsABarAtTheSongsTempoWithBarLinesOnTheDownbeats) {
  const int bpm = GetParam();
  const std::vector<float> song = ArpeggioWaltz::mono(bpm, 30.0, TestEnv::tempDir());
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  expectThreeBeatsABarOnTheDownbeats(song, bpm);
}

INSTANTIATE_TEST_SUITE_P(Tempi, KeloArpeggioWaltz, ::testing::Values(86, 92, 98, 110));

// Its neighbour: a 4/4 groove whose second and fourth beats sound far less
// than its first and third, as the accordion waltz's dotted beats do, but
// whose new chords fall between the thirds of two beats. It keeps four
// beats a bar at its tempo.
class KeloStabsGroove : public ::testing::TestWithParam<int> {};

TEST_P(KeloStabsGroove, KeepsFourBeatsABarAtItsTempo) {
  const int bpm = GetParam();
  const std::vector<float> song = StabsGroove::mono(bpm, 20.0, TestEnv::tempDir());
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  KeloReports r;
  expectASimpleMeterAtTheSongsBeat(song, bpm, 4, &r);
}

INSTANTIATE_TEST_SUITE_P(Tempi, KeloStabsGroove, ::testing::Values(84, 100));

// Six seconds of the same groove, too short for the periodicity to tell
// 12/8 from 4/4: its stabs accent every third eighth, its kick and snare
// every second, and it keeps its beat instead of coming in at two thirds
// of its tempo.
class KeloShortStabsClip : public ::testing::TestWithParam<int> {};

TEST_P(KeloShortStabsClip, KeepsItsBeatInASimpleMeter) {
  const int bpm = GetParam();
  const std::vector<float> song = StabsGroove::mono(bpm, 6.0, TestEnv::tempDir());
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  kelo::KeloOffline engine;
  KeloReports r;
  ASSERT_TRUE(analyseLeavingTheMeterOpen(engine, song, &r));
  EXPECT_EQ(engine.meterCode(), kelo::MeterSimple);
  const std::map<int, double> tatumTime = r.tatumSeconds();
  ASSERT_GE(tatumTime.size(), 9u);
  const double beat = 60.0 / bpm;
  // The beats between the first and the last: six seconds hold eleven.
  const double spacing = (std::prev(tatumTime.end())->second - tatumTime.begin()->second) /
                         static_cast<double>(tatumTime.size() - 1);
  EXPECT_NEAR(spacing, beat, 0.04 * beat);
}

INSTANTIATE_TEST_SUITE_P(Tempi, KeloShortStabsClip, ::testing::Values(112, 116));

// A 4/4 ballad whose piano plays every eighth alike: the tracker takes
// the eighths of the ones at 70 and 79 for its beats and they came in at
// twice their tempo; the bass and the tune on every second of them say
// they are half beats. Played fast, the same groove's beats are the tracker's, its
// backbeat soft; its eighths between them keep it at its tempo.
class KeloBrushedGroove : public ::testing::TestWithParam<int> {};

TEST_P(KeloBrushedGroove, KeepsFourBeatsABarAtItsTempo) {
  const int bpm = GetParam();
  const std::vector<float> song = BrushedGroove::mono(bpm, 30.0, TestEnv::tempDir());
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  KeloReports r;
  expectASimpleMeterAtTheSongsBeat(song, bpm, 4, &r);
}

INSTANTIATE_TEST_SUITE_P(Tempi, KeloBrushedGroove, ::testing::Values(64, 70, 79, 150, 162, 176));

// A fast rock drum groove alone: its kick on one and three rises far more
// than its snare on two and four, as a ballad's beats do over its eighths,
// but nothing in it has a pitch. It keeps its tempo.
class KeloRockGroove : public ::testing::TestWithParam<int> {};

TEST_P(KeloRockGroove, KeepsFourBeatsABarAtItsTempo) {
  const int bpm = GetParam();
  const std::vector<float> song = RockGroove::mono(bpm, 30.0, TestEnv::tempDir());
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  KeloReports r;
  expectASimpleMeterAtTheSongsBeat(song, bpm, 4, &r);
}

INSTANTIATE_TEST_SUITE_P(Tempi, KeloRockGroove, ::testing::Values(160, 170, 180));

// The program decodes a long recording in stretches; the half beats added
// between a waltz's pulses go on across the end of a stretch, wherever it
// falls within the beat, so the beats stay on the song's beats after it,
// and so do the bar lines (the song's first downbeat at 0).
void expectTheBeatsAfterEachCut(const std::vector<float>& song, double bpm, const std::vector<double>& cuts) {
  const double beat = 60.0 / bpm;
  constexpr std::size_t kBlock = 180;
  for (double cut : cuts) {
    kelo::KeloOffline engine;
    KeloReports r;
    ASSERT_EQ(engine.init(0, "", kBlock, kelo::BeatsPerBarNotGiven, 0.0), 0);
    ASSERT_EQ(engine.setMeter(0, -1, kelo::MeterNotGiven), 0);
    r.listenTo(engine);
    const std::size_t cutAt = static_cast<std::size_t>(cut * kRate) / kBlock * kBlock;
    for (std::size_t at = 0; at + kBlock <= song.size(); at += kBlock) {
      if (at == cutAt) engine.partialDecode();
      engine.process(song.data() + at, kBlock);
    }
    ASSERT_EQ(engine.finish(), 0);
    int onBeat = 0, after = 0;
    for (const auto& t : r.tatumSeconds(kRate)) {
      if (t.second < cut + 1.0) continue;
      ++after;
      if (std::abs(std::remainder(t.second, beat)) < 0.07) ++onBeat;
    }
    EXPECT_GE(after, static_cast<int>((song.size() / kRate - cut - 1.0) / beat) - 2) << "cut at " << cut;
    EXPECT_GE(onBeat, after - 1) << "cut at " << cut;
    const std::map<int, double> tatumTime = r.tatumSeconds(kRate);
    int barsAfter = 0, onDownbeat = 0;
    for (const auto& b : r.bars) {
      const auto t = tatumTime.find(b.tatum);
      if (t == tatumTime.end() || t->second < cut + 1.0) continue;
      ++barsAfter;
      if (std::abs(std::remainder(t->second, 3 * beat)) < 0.1) ++onDownbeat;
    }
    EXPECT_GE(barsAfter, static_cast<int>((song.size() / kRate - cut - 1.0) / (3 * beat)) - 1) << "cut at " << cut;
    EXPECT_EQ(onDownbeat, barsAfter) << "cut at " << cut;
  }
}

TEST(KeloWaltzStretches, TheBeatsStayOnTheSongsBeatsAfterAPartialDecode) {
  expectTheBeatsAfterEachCut(SynthWaltz::song(160.0, 24.0, Accompaniment::OomPah), 160.0, {12.0, 12.1, 12.2, 12.3});
}

// The eighths put in place of the tracker's pulses run on across the
// stretch's end, wherever it falls within the bar.
TEST(KeloWaltzStretches, TheAccordionWaltzsBeatsStayOnItsBeatsAfterAPartialDecode) {
  const std::vector<float> song = AccordionWaltz::mono(100, 24.0, TestEnv::tempDir());
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  expectTheBeatsAfterEachCut(song, 100.0, {12.0, 12.3, 12.6, 12.9, 13.2, 13.5});
}

// The bar lines the bass put on the first stretch go on after it.
TEST(KeloWaltzStretches, TheFasterAccordionWaltzsBarsStayOnItsDownbeatsAfterAPartialDecode) {
  const std::vector<float> song = AccordionWaltz::mono(150, 24.0, TestEnv::tempDir());
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  expectTheBeatsAfterEachCut(song, 150.0, {12.0, 12.2, 12.4, 12.6});
}

// A waltz whose bars the tracker heard is read as one on the first
// stretch, long enough for its chords to have turned sixteen times; the
// eighths put in place of its pulses run on after it, wherever the cut
// falls within the bar.
TEST(KeloWaltzStretches, TheFastAccordionWaltzsBeatsStayOnItsBeatsAfterAPartialDecode) {
  const std::vector<float> song = AccordionWaltz::mono(180, 36.0, TestEnv::tempDir());
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  expectTheBeatsAfterEachCut(song, 180.0, {18.0, 18.25, 18.5, 18.75});
}

// A waltz that leaves its second beat empty is read as one on the first
// stretch, long enough for its chords to have turned sixteen times; its
// beats go on after it.
TEST(KeloWaltzStretches, TheHalfQuarterWaltzsBeatsStayOnItsBeatsAfterAPartialDecode) {
  const std::vector<float> song = EmptySecondBeatWaltz::mono(Style::HalfAndQuarter, 150, 36.0, TestEnv::tempDir());
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  expectTheBeatsAfterEachCut(song, 150.0, {24.0, 24.2});
}

// The tracker's beats, an arpeggio's eighths, are kept as the pulses in
// every stretch: the beats stay every second of them after the cut.
TEST(KeloWaltzStretches, TheArpeggioWaltzsBeatsStayOnItsBeatsAfterAPartialDecode) {
  const std::vector<float> song = ArpeggioWaltz::mono(98, 30.0, TestEnv::tempDir());
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  expectTheBeatsAfterEachCut(song, 98.0, {15.0, 15.15, 15.3});
}

}  // namespace
