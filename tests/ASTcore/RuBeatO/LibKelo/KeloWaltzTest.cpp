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

#include "KeloOffline.h"
#include "KeloOpenMeterRun.h"
#include "KeloReports.h"
#include "SynthWaltz.h"

namespace {

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

TEST_P(KeloWaltz, ThreeBeatsABarAtTheSongsTempoWithBarLinesOnTheDownbeats) {
  const Waltz w = GetParam();
  const std::vector<float> song = SynthWaltz::song(w.bpm, w.seconds, w.style);
  kelo::KeloOffline engine;
  KeloReports r;
  ASSERT_TRUE(analyseLeavingTheMeterOpen(engine, song, &r));

  EXPECT_EQ(engine.meterCode(), kelo::MeterSimple);
  EXPECT_EQ(engine.beatsPerBar(), 3);
  // The beats are the song's: the median tatum spacing within 4 % of a beat.
  const std::map<int, double> tatumTime = r.tatumSeconds(kRate);
  std::vector<double> spacing;
  for (auto it = std::next(tatumTime.begin()); it != tatumTime.end(); ++it)
    spacing.push_back(it->second - std::prev(it)->second);
  ASSERT_GT(spacing.size(), 10u);
  std::nth_element(spacing.begin(), spacing.begin() + static_cast<std::ptrdiff_t>(spacing.size() / 2), spacing.end());
  const double beat = 60.0 / w.bpm;
  EXPECT_NEAR(spacing[spacing.size() / 2], beat, 0.04 * beat);

  const double bar = 3 * beat;
  ASSERT_GE(r.bars.size(), static_cast<std::size_t>(w.seconds / bar) - 2);
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

INSTANTIATE_TEST_SUITE_P(Songs, KeloWaltz, ::testing::ValuesIn(kWaltzes));

// The program decodes a long recording in stretches; the half beats added
// between a waltz's pulses go on across the end of a stretch, wherever it
// falls within the beat, so the beats stay on the song's beats after it.
TEST(KeloWaltzStretches, TheBeatsStayOnTheSongsBeatsAfterAPartialDecode) {
  const double bpm = 160.0, beat = 60.0 / bpm;
  const std::vector<float> song = SynthWaltz::song(bpm, 24.0, Accompaniment::OomPah);
  constexpr std::size_t kBlock = 180;
  for (double cut : {12.0, 12.1, 12.2, 12.3}) {
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
  }
}

}  // namespace
