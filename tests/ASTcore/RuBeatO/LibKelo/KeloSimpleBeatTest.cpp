// Which pulses are the beats of a simple meter. The tracker reports half
// beats; grouping them two by two can start on the beat or half a beat
// late, and a chord path scores both starts almost alike where the chords
// hold for a bar or more (a slice half a beat late still holds mostly its
// own chord). Short pop grooves over one chord a bar must come out with
// their beats on the song's beats, not on the eighths between them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <ostream>
#include <vector>

#include "KeloOffline.h"
#include "KeloOpenMeterRun.h"
#include "KeloReports.h"
#include "SynthNotes.h"

namespace {

using SynthNotes::addKick;
using SynthNotes::addNote;

constexpr double kRate = 44100.0;

struct Groove {
  const char* name;
  double bpm;
  double seconds;
};

void PrintTo(const Groove& g, std::ostream* os) { *os << g.name; }

const Groove kGrooves[] = {
    {"pop at 92, 8 seconds", 92.0, 8.0},
    {"pop at 104, 10 seconds", 104.0, 10.0},
    {"pop at 120, 8 seconds", 120.0, 8.0},
};

// D, B minor, G, A: a chord a bar; kick on one and three, the bass on one,
// the "and" of two and three, a bright stab on two and four, a soft tick on
// every eighth.
std::vector<float> synthesise(const Groove& g) {
  static const int roots[] = {2, 11, 7, 9};
  static const bool minor[] = {false, true, false, false};
  std::vector<float> song(static_cast<std::size_t>(g.seconds * kRate), 0.0f);
  const double beat = 60.0 / g.bpm;
  for (int b = 0; b * 4 * beat < g.seconds; ++b) {
    const int root = roots[b % 4];
    const int third = minor[b % 4] ? 3 : 4;
    const double t0 = b * 4 * beat;
    for (double at : {0.0, 1.5, 2.0}) addNote(song, t0 + at * beat, beat * 0.9, 36 + root, 0.30, 3, 4.0);
    for (int k : {0, 2}) addKick(song, t0 + k * beat, 0.7);
    for (int k : {1, 3})
      for (int interval : {0, third, 7}) addNote(song, t0 + k * beat, beat * 0.4, 72 + root + interval, 0.06, 3, 12.0);
    for (int e = 0; e < 8; ++e) addNote(song, t0 + e * beat / 2, 0.05, 108, 0.02, 1, 60.0);
  }
  return song;
}

class KeloSimpleBeat : public ::testing::TestWithParam<Groove> {};

TEST_P(KeloSimpleBeat, BeatsFallOnTheSongsBeats) {
  const Groove g = GetParam();
  const std::vector<float> song = synthesise(g);
  kelo::KeloOffline engine;
  KeloReports r;
  ASSERT_TRUE(analyseLeavingTheMeterOpen(engine, song, &r));

  EXPECT_EQ(engine.meterCode(), kelo::MeterSimple);
  const double beat = 60.0 / g.bpm;
  const std::map<int, double> tatumTime = r.tatumSeconds(kRate);
  ASSERT_GE(tatumTime.size(), static_cast<std::size_t>(g.seconds / beat) - 3);
  int onBeat = 0;
  for (const auto& t : tatumTime)
    if (std::abs(std::remainder(t.second, beat)) < 0.07) ++onBeat;
  // The first beat may come before the tracker has settled.
  EXPECT_GE(onBeat, static_cast<int>(tatumTime.size()) - 1) << "of " << tatumTime.size() << " beats";
}

INSTANTIATE_TEST_SUITE_P(Grooves, KeloSimpleBeat, ::testing::ValuesIn(kGrooves));

}  // namespace
