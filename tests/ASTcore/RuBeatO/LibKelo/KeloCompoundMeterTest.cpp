// Songs in compound meters through the offline engine with the meter left
// open: comping chords long-short on every dotted beat, a kick on every
// dotted beat (louder on the downbeat), the bass on the downbeat, and a
// chord change on every bar. The engine must find the meter (three pulses to the beat and
// the song's beats to the bar) and put its bar lines on the song's
// downbeats, a dotted beat apart from each other's beats. Two songs hold
// bar lengths the periodicity of the features cannot tell (a 6/8 tune
// repeating over two bars looks like 12/8, a 12/8 ballad swelling through
// its bar looks as much like 9/8 as like 6/8), and two last only a few
// bars, where the accents must still show three pulses to the beat.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <ostream>
#include <vector>

#include "CompoundArpeggio.h"
#include "KeloOffline.h"
#include "KeloOpenMeterRun.h"
#include "KeloReports.h"
#include "ShuffleBlues.h"
#include "SynthNotes.h"
#include "TempDir.h"

namespace {

using SynthNotes::addKick;
using SynthNotes::addNote;

constexpr double kRate = 44100.0;

// How a song departs from the plain long-short comping.
enum class Variant {
  Plain,
  // The tune answers itself every second bar: a melody note on each dotted
  // beat of the even bars only, so the pattern repeats over two bars of 6/8.
  TwoBarTune,
  // A slow 12/8 ballad: a pad that swells and fades through each bar over
  // the comping; the bar's only periodicity longer than a beat is the bar.
  SwellingPad,
};

struct CompoundSong {
  const char* name;
  int beatsPerBar;  // dotted beats
  double dottedBpm;
  double seconds;
  Variant variant = Variant::Plain;
};

void PrintTo(const CompoundSong& s, std::ostream* os) { *os << s.name; }

const CompoundSong kSongs[] = {
    {"6/8 at 72", 2, 72.0, 20.0},
    {"6/8 at 96", 2, 96.0, 18.0},
    {"9/8 at 66", 3, 66.0, 22.0},
    {"12/8 at 58", 4, 58.0, 26.0},
    // Bar lengths the estimate cannot tell from the periodicity alone.
    {"6/8 at 80, a tune over two bars", 2, 80.0, 24.0, Variant::TwoBarTune},
    {"12/8 at 54, a pad swelling through the bar", 4, 54.0, 28.0, Variant::SwellingPad},
    // Too short for more than a few bars: the accents still show the beat.
    {"6/8 at 72, 9 seconds", 2, 72.0, 9.0},
    {"6/8 at 96, 7 seconds", 2, 96.0, 7.0},
};

// E minor, G, C, D: a chord a bar.
const int kRoots[] = {4, 7, 0, 2};
const bool kMinor[] = {true, false, false, false};

std::vector<float> synthesise(const CompoundSong& s) {
  std::vector<float> song(static_cast<std::size_t>(s.seconds * kRate), 0.0f);
  const double beat = 60.0 / s.dottedBpm;
  const double eighth = beat / 3.0;
  const double bar = beat * s.beatsPerBar;
  for (int b = 0; b * bar < s.seconds; ++b) {
    const int root = kRoots[b % 4];
    const int third = kMinor[b % 4] ? 3 : 4;
    const double t0 = b * bar;
    // A ballad's bass holds through the bar; the two-bar tune's bass plays
    // in the bar that opens the tune only.
    if (s.variant == Variant::SwellingPad)
      addNote(song, t0, bar, 36 + root, 0.30, 3, 0.3);
    else if (s.variant != Variant::TwoBarTune || b % 2 == 0)
      addNote(song, t0, bar, 36 + root, 0.30, 3, 4.0);
    // Each dotted beat long-short, a quarter and an eighth, as a jig or a
    // shuffle plays it; the kick on every dotted beat.
    for (int k = 0; k < s.beatsPerBar; ++k) {
      const double t = t0 + k * beat;
      for (int interval : {0, third, 7}) {
        addNote(song, t, 2 * eighth, 60 + root + interval, k == 0 ? 0.10 : 0.08, 4, 4.0);
        addNote(song, t + 2 * eighth, eighth, 60 + root + interval, 0.04, 4, 4.0);
      }
      addKick(song, t, k == 0 && s.variant != Variant::SwellingPad ? 0.8 : 0.45);
      if (s.variant == Variant::TwoBarTune && b % 2 == 0)
        addNote(song, t, beat, 72 + root + (k == 0 ? 7 : third), 0.10, 3, 3.0);
    }
    if (s.variant == Variant::SwellingPad) {
      // Sustained fifth and octave, swelling to the middle of the bar.
      const auto first = static_cast<std::size_t>(t0 * kRate);
      const auto count = static_cast<std::size_t>(bar * kRate);
      for (std::size_t i = 0; i < count && first + i < song.size(); ++i) {
        const double x = static_cast<double>(i) / static_cast<double>(count);
        const double level = 0.06 * std::sin(SynthNotes::kPi * x);
        const double t = static_cast<double>(i) / kRate;
        for (int interval : {7, 12})
          song[first + i] += static_cast<float>(level * std::sin(2.0 * SynthNotes::kPi * SynthNotes::midiHz(48 + root + interval) * t));
      }
    }
  }
  return song;
}

class KeloCompoundMeter : public ::testing::TestWithParam<CompoundSong> {};

void expectTheMeterAndBarLinesOnTheDownbeats(const CompoundSong& s, const std::vector<float>& song) {
  kelo::KeloOffline engine;
  KeloReports r;
  ASSERT_TRUE(analyseLeavingTheMeterOpen(engine, song, &r));
  const std::map<int, double> tatumTime = r.tatumSeconds(kRate);

  EXPECT_EQ(engine.meterCode(), kelo::MeterCompound);
  EXPECT_EQ(engine.beatsPerBar(), s.beatsPerBar);
  const double bar = 60.0 / s.dottedBpm * s.beatsPerBar;
  ASSERT_GE(r.bars.size(), static_cast<std::size_t>(s.seconds / bar) - 2);
  int onDownbeat = 0;
  for (std::size_t i = 0; i < r.bars.size(); ++i) {
    const auto& b = r.bars[i];
    EXPECT_EQ(b.numerator, 3 * s.beatsPerBar);
    EXPECT_EQ(b.denominator, 8);
    if (i > 0) {
      EXPECT_EQ(b.tatum - r.bars[i - 1].tatum, s.beatsPerBar) << "bar " << i;
    }
    const double t = tatumTime.at(b.tatum);
    if (std::abs(std::remainder(t, bar)) < 0.1) ++onDownbeat;
  }
  // The first bar may open before the tracker has settled.
  EXPECT_GE(onDownbeat, static_cast<int>(r.bars.size()) - 1);
}

TEST_P(KeloCompoundMeter, TheMeterIsFoundAndBarLinesFallOnTheDownbeats) {
  const CompoundSong s = GetParam();
  expectTheMeterAndBarLinesOnTheDownbeats(s, synthesise(s));
}

INSTANTIATE_TEST_SUITE_P(Songs, KeloCompoundMeter, ::testing::ValuesIn(kSongs));

// A 12/8 arpeggio on a harp over a bass held through the bar: its eighths,
// at 156-186 a minute, come as evenly as a waltz's beats, and every third
// one is accented as a waltz's downbeat is. The bass, on every fourth
// accent only, and the sound the bar's first accent brings show them as
// the dotted beats of 12/8.
const CompoundSong kArpeggios[] = {
    {"12/8 arpeggio at 52", 4, 52.0, 28.0},
    {"12/8 arpeggio at 62", 4, 62.0, 24.0},
};

class KeloCompoundArpeggio : public ::testing::TestWithParam<CompoundSong> {};

TEST_P(KeloCompoundArpeggio, KeepsItsDottedBeatsAndBarLines) {
  const CompoundSong s = GetParam();
  const std::vector<float> song = CompoundArpeggio::mono(s.beatsPerBar, static_cast<int>(s.dottedBpm), s.seconds, TestEnv::tempDir());
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  expectTheMeterAndBarLinesOnTheDownbeats(s, song);
}

INSTANTIATE_TEST_SUITE_P(Songs, KeloCompoundArpeggio, ::testing::ValuesIn(kArpeggios));

// A slow 12/8 blues shuffle: its eighths, at 108 to 156 a minute, are what
// the tracker takes for beats at some of these tempi, and its pulses then
// halve them. The long-short of every dotted beat, with nothing on the
// middle eighth, shows them as a compound meter's eighths, not as the
// beats of a waltz at three times the song's tempo; where the short eighth
// sounds nearly as loud as the long one, the kick on the long one shows
// which comes first.
struct Shuffle {
  CompoundSong song;
  bool loudShort;
};

void PrintTo(const Shuffle& s, std::ostream* os) { *os << s.song.name; }

const Shuffle kShuffles[] = {
    {{"12/8 shuffle at 36", 4, 36.0, 40.0}, false},
    {{"12/8 shuffle at 38", 4, 38.0, 38.0}, false},
    {{"12/8 shuffle at 40", 4, 40.0, 36.0}, false},
    {{"12/8 shuffle at 44", 4, 44.0, 33.0}, false},
    {{"12/8 shuffle at 48", 4, 48.0, 30.0}, false},
    {{"12/8 shuffle at 52", 4, 52.0, 28.0}, false},
    {{"12/8 shuffle at 36, the short eighth loud", 4, 36.0, 40.0}, true},
    {{"12/8 shuffle at 38, the short eighth loud", 4, 38.0, 38.0}, true},
};

class KeloSlowShuffle : public ::testing::TestWithParam<Shuffle> {};

TEST_P(KeloSlowShuffle, KeepsItsDottedBeatsAndBarLines) {
  const Shuffle& s = GetParam();
  const std::vector<float> song =
      ShuffleBlues::mono(static_cast<int>(s.song.dottedBpm), s.song.seconds, s.loudShort, TestEnv::tempDir());
  if (song.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  expectTheMeterAndBarLinesOnTheDownbeats(s.song, song);
}

INSTANTIATE_TEST_SUITE_P(Songs, KeloSlowShuffle, ::testing::ValuesIn(kShuffles));

// Eight seconds of a 4/4 pop groove at 112 BPM whose stabs fall three,
// three and two eighths apart: over so few bars the three-eighth spacing
// looks like a compound beat, and without the bars to show the simple bar
// the tracker's own beat must stay.
TEST(KeloCompoundMeterShort, AFewSecondsOfASimpleMeterKeepTheTrackersBeat) {
  const double beat = 60.0 / 112.0, seconds = 8.0;
  std::vector<float> song(static_cast<std::size_t>(seconds * kRate), 0.0f);
  for (int b = 0; b * 4 * beat < seconds; ++b) {
    const int root = kRoots[b % 4];
    const int third = kMinor[b % 4] ? 3 : 4;
    addNote(song, b * 4 * beat, 4 * beat, 36 + root, 0.30, 3);
    // The pop groove's three-three-two: kick and chord stabs on eighths 0,
    // 3 and 6 of the bar, a lighter chord on the other eighths.
    for (int e = 0; e < 8; ++e) {
      const double t = b * 4 * beat + e * beat / 2;
      const bool stab = e == 0 || e == 3 || e == 6;
      for (int interval : {0, third, 7}) addNote(song, t, beat / 2, 60 + root + interval, stab ? 0.08 : 0.03, 4);
      if (stab) addKick(song, t, e == 0 ? 0.8 : 0.6);
    }
  }
  kelo::KeloOffline engine;
  ASSERT_TRUE(analyseLeavingTheMeterOpen(engine, song));
  EXPECT_EQ(engine.meterCode(), kelo::MeterSimple);
}

}  // namespace
