// The offline engine on a synthesised song in G major, 4/4 at 120 BPM, with
// I-IV-V-vi changing on every downbeat: bass, comping triads and a kick,
// analysed with a partial decode in the middle of a bar. The song is 20
// seconds long (the engine's cost per second under the sanitizers bounds
// it); the partial decode splits it as the front end splits a long song.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "KeloOffline.h"
#include "KeloReports.h"
#include "SynthNotes.h"

namespace {

using SynthNotes::addKick;
using SynthNotes::addNote;

constexpr double kRate = 44100.0;
constexpr double kBeat = 0.5;  // 120 BPM
constexpr double kBar = 4 * kBeat;

struct SongChord {
  int root;
  bool minor;
};
// G, C, D, Em.
const SongChord kProgression[] = {{7, false}, {0, false}, {2, false}, {4, true}};

std::vector<float> synthesiseSong(double seconds) {
  std::vector<float> song(static_cast<std::size_t>(seconds * kRate), 0.0f);
  for (int bar = 0; bar * kBar < seconds; ++bar) {
    const SongChord c = kProgression[bar % 4];
    const double t0 = bar * kBar;
    // Bass in the second octave, root on beats 1 and 3.
    const int bass = 36 + c.root;
    addNote(song, t0, 2 * kBeat, bass, 0.30, 3);
    addNote(song, t0 + 2 * kBeat, 2 * kBeat, bass, 0.25, 3);
    // Close triad around middle C on every beat.
    const int third = c.minor ? 3 : 4;
    for (int beat = 0; beat < 4; ++beat) {
      const double t = t0 + beat * kBeat;
      for (int interval : {0, third, 7}) addNote(song, t, kBeat, 60 + c.root + interval, 0.08, 4);
      addKick(song, t, beat == 0 ? 0.8 : (beat == 2 ? 0.6 : 0.35));
    }
  }
  return song;
}

bool isMinorType(int type) { return type == 8 || type == 10; }  // MIN, MIN7

TEST(KeloOfflineSong, GMajorProgressionGivesKeyBarsAndChordsAcrossAPartialDecode) {
  const double seconds = 20.0;
  const std::vector<float> song = synthesiseSong(seconds);

  kelo::KeloOffline engine;
  ASSERT_EQ(engine.init(0, "", 180, kelo::BeatsPerBarNotGiven, 0.0), 0);
  ASSERT_EQ(engine.setMeter(0, -1, kelo::MeterNotGiven), 0);
  KeloReports r;
  r.listenTo(engine);

  // The partial decode falls after beat 3 of bar 6; each segment is long enough for its own key decision.
  const std::size_t split = static_cast<std::size_t>(11.25 * kRate) / 180 * 180;
  for (std::size_t at = 0; at + 180 <= song.size(); at += 180) {
    if (at == split) engine.partialDecode();
    engine.process(song.data() + at, 180);
  }
  ASSERT_EQ(engine.finish(), 0);
  const std::map<int, double> tatumTime = r.tatumSeconds(kRate);
  EXPECT_EQ(r.done, 2);
  EXPECT_EQ(engine.meterCode(), 2);
  EXPECT_EQ(engine.beatsPerBar(), 4);

  // Key: G major throughout.
  ASSERT_FALSE(r.keys.empty());
  for (const auto& k : r.keys) {
    EXPECT_EQ(k.tonic, 7) << "at tatum " << k.tatum;
    EXPECT_EQ(k.mode, 0) << "at tatum " << k.tatum;
  }

  // Bar lines every fourth beat, numbered on, on the song's downbeats, also
  // across the partial decode.
  ASSERT_GE(r.bars.size(), 5u);
  for (std::size_t i = 0; i < r.bars.size(); ++i) {
    const auto& b = r.bars[i];
    EXPECT_EQ(b.barNumber, static_cast<int>(i));
    EXPECT_EQ(b.numerator, 4);
    EXPECT_EQ(b.denominator, 4);
    if (i > 0) {
      EXPECT_EQ(b.tatum - r.bars[i - 1].tatum, 4) << "bar " << i;
    }
    const double t = tatumTime.at(b.tatum);
    const double offBar = std::remainder(t, kBar);
    EXPECT_LT(std::abs(offBar), 0.1) << "bar line at " << t << " s";
  }
  EXPECT_GT(tatumTime.rbegin()->second, 11.25) << "the second segment was reported";

  // Chord root and major/minor agree with the song over at least 80 % of
  // the time from the first chord on.
  ASSERT_FALSE(r.chords.empty());
  const double from = tatumTime.at(r.chords.front().tatum);
  double agree = 0.0;
  const double step = 0.01;
  std::size_t current = 0;
  for (double t = from; t < seconds; t += step) {
    while (current + 1 < r.chords.size() && tatumTime.at(r.chords[current + 1].tatum) <= t) ++current;
    const auto& c = r.chords[current];
    const SongChord truth = kProgression[static_cast<int>(t / kBar) % 4];
    if (c.root == truth.root && isMinorType(c.chordType) == truth.minor) agree += step;
  }
  EXPECT_GE(agree / (seconds - from), 0.8);
}

}  // namespace
