// The beat read from the accents among the tracker's pulses: rises of the
// features from pulse to pulse, the strongest grouping's phase, and two or
// three pulses per beat from accent patterns of each meter, whatever the
// downbeat's weight and wherever the song's first pulse falls.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "PulseAccents.h"

namespace {

using kelo::accentedPulsesPerBeat;
using kelo::FeatureVector;

FeatureVector row(std::vector<double> v) {
  FeatureVector r(v.size());
  for (std::size_t i = 0; i < v.size(); ++i) r(i) = v[i];
  return r;
}

TEST(PulseRises, OnlyWhatIncreasesCountsAndTheFirstPulseHasNone) {
  const std::vector<FeatureVector> rows = {row({1, 1, 1}), row({3, 0, 1}), row({2, 2, 4}), row({2, 2})};
  const std::vector<double> r = kelo::pulseRises(rows);
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0], 0.0);
  EXPECT_EQ(r[1], 2.0);      // +2, the fall of the second band left out
  EXPECT_EQ(r[2], 2.0 + 3);  // the first band fell
  EXPECT_EQ(r[3], 0.0) << "a shorter row compares its own bands only";
  EXPECT_TRUE(kelo::pulseRises({}).empty());
}

TEST(StrongestGroupingPhase, CountsPhasesFromTheSongsFirstPulse) {
  // Accents every third pulse, on pulses 1, 4, 7, ... of this segment.
  std::vector<double> r(30, 0.1);
  for (std::size_t i = 1; i < r.size(); i += 3) r[i] = 1.0;
  EXPECT_EQ(kelo::strongestGroupingPhase(r, 0, 3), 1);
  EXPECT_EQ(kelo::strongestGroupingPhase(r, 7, 3), (7 + 1) % 3) << "pulse 0 of the segment is pulse 7 of the song";
  EXPECT_EQ(kelo::strongestGroupingPhase(std::vector<double>(5, 1.0), 0, 3), -1) << "too few to tell";
}

// `bars` bars of the rises `bar`, the bar turned by `shift` pulses.
std::vector<double> repeated(const std::vector<double>& bar, int bars, std::size_t shift) {
  std::vector<double> rises;
  for (int b = 0; b < bars; ++b)
    for (std::size_t k = 0; k < bar.size(); ++k) rises.push_back(bar[(k + shift) % bar.size()]);
  return rises;
}

// A bar's accent pattern, repeated: the rise at each pulse of the bar.
struct Pattern {
  std::string name;
  std::vector<double> bar;
  int pulsesPerBeat;
};

void PrintTo(const Pattern& p, std::ostream* os) { *os << p.name; }

// d: downbeat, b: other beats, w: pulses between beats.
constexpr double d = 3.0, b = 1.0, w = 0.25;
const Pattern kPatterns[] = {
    {"3/4", {d, w, b, w, b, w}, 2},
    {"3/4 with a downbeat far above its beats", {8.0, w, b, w, b, w}, 2},
    {"3/4 with a chord on 2 and 3 louder than the bass on 1", {b, w, d, w, d, w}, 2},
    {"3/4 with eighths on every pulse", {d, 0.6, b, 0.6, b, 0.6}, 2},
    // A jazz waltz whose comping anticipates beat 3 on the swung "and" of
    // two: the strongest rise of all falls between beats.
    {"3/4 swung, the chord on the and of two", {1.0, 0.0, 1.3, 2.2, 2.0, 0.0}, 2},
    {"4/4", {d, w, b, w, b, w, b, w}, 2},
    {"2/4", {d, w, b, w}, 2},
    {"6/8", {d, w, w, b, w, w}, 3},
    {"6/8 with eighths on every pulse", {d, 0.6, 0.6, b, 0.6, 0.6}, 3},
    {"6/8 long-short", {d, w, 0.5, b, w, 0.5}, 3},
    {"9/8", {d, w, w, b, w, w, b, w, w}, 3},
    {"12/8", {d, w, w, b, w, w, b, w, w, b, w, w}, 3},
    // Nothing but the downbeat tells 3/4 from 6/8: the tracker's beat stays.
    {"a downbeat alone", {d, w, w, w, w, w}, 2},
    {"silence", {0, 0, 0, 0, 0, 0}, 2},
};

class AccentedPulsesPerBeat : public ::testing::TestWithParam<Pattern> {};

TEST_P(AccentedPulsesPerBeat, TheBeatsOfEachMeterAreFoundWhereverTheSongStarts) {
  const Pattern& p = GetParam();
  for (std::uint32_t first = 0; first < 12; ++first)
    for (std::size_t shift = 0; shift < p.bar.size(); ++shift)
      EXPECT_EQ(accentedPulsesPerBeat(repeated(p.bar, 12, shift), first), p.pulsesPerBeat)
          << "first " << first << ", shift " << shift;
}

INSTANTIATE_TEST_SUITE_P(Meters, AccentedPulsesPerBeat, ::testing::ValuesIn(kPatterns));

TEST(AccentedPulsesPerBeatShort, FewerThanTwoBarsOfSixPulsesKeepTwo) {
  const std::vector<double> sixEight = {3, 0, 0, 1, 0, 0, 3, 0, 0, 1, 0};
  EXPECT_EQ(accentedPulsesPerBeat(sixEight, 0), 2);
  std::vector<double> twelve = sixEight;
  twelve.push_back(0);
  EXPECT_EQ(accentedPulsesPerBeat(twelve, 0), 3);
}

// Pulses that are the beats of a waltz against pulses that are the eighths
// of a compound meter: the same accent every third pulse, told apart by
// what the pulses between the accents carry and by how fast they come.
struct BeatsOrEighths {
  std::string name;
  std::vector<double> bar;  // rises of three pulses from the accent on
  double pulsesPerMinute;
  bool beats;
};

void PrintTo(const BeatsOrEighths& c, std::ostream* os) { *os << c.name; }

const BeatsOrEighths kBeatsOrEighths[] = {
    {"oom-pah at 150: the chords on two and three", {1.0, 0.2, 0.18}, 150.0, true},
    {"a melody note on every beat at 165", {1.0, 0.5, 0.4}, 165.0, true},
    {"6/8 at 56: passing eighths", {1.0, 0.05, 0.04}, 168.0, false},
    {"12/8 blues at 58: the hat between the beats", {1.0, 0.1, 0.08}, 174.0, false},
    {"beats of a waltz at 250 a minute are eighths", {1.0, 0.3, 0.3}, 250.0, false},
    {"accents every second pulse", {1.0, 0.2, 1.0, 0.2, 1.0, 0.2}, 150.0, false},
    {"silence", {0.0, 0.0, 0.0}, 150.0, false},
};

class PulsesAreBeats : public ::testing::TestWithParam<BeatsOrEighths> {};

TEST_P(PulsesAreBeats, WhereverTheSongStarts) {
  const BeatsOrEighths& c = GetParam();
  for (std::uint32_t first = 0; first < 6; ++first)
    for (std::size_t shift = 0; shift < c.bar.size(); ++shift)
      EXPECT_EQ(kelo::pulsesAreBeats(repeated(c.bar, 24, shift), first, c.pulsesPerMinute), c.beats)
          << "first " << first << ", shift " << shift;
}

INSTANTIATE_TEST_SUITE_P(Pulses, PulsesAreBeats, ::testing::ValuesIn(kBeatsOrEighths));

TEST(WithHalfPulses, OneHalfWayBetweenEachTwoAndAfterTheLastWhenTheNextIsKnown) {
  EXPECT_EQ(kelo::withHalfPulses({10, 30, 51}, 71), (std::vector<int>{10, 20, 30, 40, 51, 61}));
  EXPECT_EQ(kelo::withHalfPulses({10, 30, 51}, -1), (std::vector<int>{10, 20, 30, 40, 51}));
  EXPECT_EQ(kelo::withHalfPulses({10, 11}, 12), (std::vector<int>{10, 11})) << "no frame between";
  EXPECT_TRUE(kelo::withHalfPulses({}, 40).empty());
}

}  // namespace

// The beat a waltz's bar opens on, read from its bass: levels of the two
// lowest octave bands above the first, and of a band above them, on each
// beat of a bar; the rows begin `shift` beats into the bar.
struct BassBar {
  std::string name;
  std::vector<double> bass;   // level of the bass bands on beats 1, 2, 3
  std::vector<double> upper;  // level of a band above them
  int downbeat;               // beat (0-2) the bass shows, or -1
};

void PrintTo(const BassBar& c, std::ostream* os) { *os << c.name; }

const BassBar kBassBars[] = {
    {"a bass once a bar under chords on two and three", {1.0, 0.5, 0.25}, {0.1, 1.0, 1.0}, 0},
    {"the same a beat later", {0.25, 1.0, 0.5}, {1.0, 0.1, 1.0}, 1},
    {"a walking bass", {1.0, 0.7, 0.9}, {0.2, 0.2, 0.2}, -1},
    {"a kick on one and three", {1.0, 0.2, 0.7}, {0.5, 0.5, 0.5}, -1},
    {"a held bass under chords that rise on two", {0.5, 0.5, 0.5}, {0.0, 1.0, 0.2}, -1},
    {"silence", {0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}, -1},
};

class BassDownbeat : public ::testing::TestWithParam<BassBar> {};

TEST_P(BassDownbeat, IsTheBeatTheBassShowsWhereverTheRecordingStarts) {
  const BassBar& c = GetParam();
  for (std::size_t shift = 0; shift < 3; ++shift) {
    std::vector<FeatureVector> rows;
    for (std::size_t i = 0; i < 24; ++i) {
      const std::size_t beat = (i + shift) % 3;
      rows.push_back(row({0.3, c.bass[beat], c.bass[beat], 0.1, c.upper[beat], 0.0, 0.0}));
    }
    const int expected = c.downbeat < 0 ? -1 : static_cast<int>((c.downbeat + 3 - shift) % 3);
    EXPECT_EQ(kelo::bassDownbeat(kelo::bassRises(rows)), expected) << "shift " << shift;
  }
}

INSTANTIATE_TEST_SUITE_P(Basses, BassDownbeat, ::testing::ValuesIn(kBassBars));

TEST(BassDownbeatShort, FewerThanTwoBarsTellNothing) {
  std::vector<FeatureVector> rows;
  for (int i = 0; i < 6; ++i) rows.push_back(row({0.0, i % 3 == 0 ? 1.0 : 0.1, 0.0}));
  EXPECT_EQ(kelo::bassDownbeat(kelo::bassRises(rows)), -1);
  rows.push_back(row({0.0, 1.0, 0.0}));
  EXPECT_EQ(kelo::bassDownbeat(kelo::bassRises(rows)), 0);
}

// Accents every third pulse that come in pairs or alike: the rise of every
// band and of the bass bands on each accent of a span of accents (the bass
// bands' rise is part of every band's).
struct AccentSpan {
  std::string name;
  std::vector<double> sound;  // rise of the upper bands on each accent
  std::vector<double> bass;   // rise of the bass bands on each accent
  bool pairs;
};

void PrintTo(const AccentSpan& c, std::ostream* os) { *os << c.name; }

const AccentSpan kAccentSpans[] = {
    {"12/8: a bass once a bar, the bar's first accent the loudest", {1.0, 0.3, 0.3, 0.3}, {1.0, 0.0, 0.0, 0.0}, true},
    {"6/8: a bass once a bar", {1.0, 0.3}, {0.8, 0.0}, true},
    {"a waltz: a bass every bar", {1.0, 0.9}, {1.0, 0.9}, false},
    {"a waltz whose bass note holds over two bars, a kick every bar", {1.0, 0.9}, {1.0, 0.0}, false},
    {"a bass once a bar under even arpeggio notes: the bass alone marks the bar", {0.3, 0.3}, {1.0, 0.0}, true},
    {"a waltz whose phrases of two bars open louder", {1.0, 0.4}, {1.0, 0.6}, false},
    {"no bass", {1.0, 0.3}, {0.0, 0.0}, false},
};

class AccentsComeInPairs : public ::testing::TestWithParam<AccentSpan> {};

TEST_P(AccentsComeInPairs, WhereverTheRecordingStarts) {
  const AccentSpan& c = GetParam();
  for (std::uint32_t first = 0; first < 3; ++first)
    for (std::size_t shift = 0; shift < c.sound.size(); ++shift) {
      // Accents on the pulses of phase 1 of three, counted from `first`;
      // rows that fall back to nothing after each accent, so that a row's
      // rise over the one before is its own level.
      std::vector<FeatureVector> rows;
      std::size_t accent = shift;
      for (std::size_t i = 0; i < 48; ++i) {
        if ((first + i) % 3 == 1) {
          const double bass = c.bass[accent % c.bass.size()];
          const double sound = c.sound[accent % c.sound.size()];
          rows.push_back(row({0.0, bass, 0.0, sound, 0.0, 0.0, 0.0}));
          ++accent;
        } else {
          rows.push_back(row({0.0, 0.0, 0.0, 0.01, 0.0, 0.0, 0.0}));
        }
      }
      const std::vector<double> rises = kelo::pulseRises(rows);
      ASSERT_EQ(kelo::strongestGroupingPhase(rises, first, 3), 1) << "first " << first;
      EXPECT_EQ(kelo::accentsComeInPairs(kelo::bassRises(rows), rises, first, 1), c.pairs)
          << "first " << first << ", shift " << shift;
    }
}

INSTANTIATE_TEST_SUITE_P(Accents, AccentsComeInPairs, ::testing::ValuesIn(kAccentSpans));

// An oom-pah's bass against a compound song's: the rise of the bass bands
// and of a band above them on each pulse of a span of three, the accent
// first, and the bass on each accent of a span of accents (1 a bar of a
// waltz, 1 0 0 0 a bass once a 12/8 bar).
struct BassSpan {
  std::string name;
  std::vector<double> bass;     // on the accent and the two pulses after it
  std::vector<double> upper;    // the same, of a band above the bass
  std::vector<double> accents;  // the bass on the accent, scaled, accent by accent
  bool onTheAccentOnly;
};

void PrintTo(const BassSpan& c, std::ostream* os) { *os << c.name; }

const BassSpan kBassSpans[] = {
    {"an oom-pah whose chords leave a little in the bass bands", {1.0, 0.02, 0.02}, {1.0, 0.5, 0.4}, {1.0}, true},
    {"an oom-pah whose bass rests one bar of five", {1.0, 0.0, 0.0}, {1.0, 0.5, 0.4}, {1.0, 1.0, 1.0, 1.0, 0.1}, true},
    {"a bass once a 12/8 bar", {1.0, 0.0, 0.0}, {1.0, 0.5, 0.5}, {1.0, 0.0, 0.0, 0.0}, false},
    {"a bass once a 9/8 bar", {1.0, 0.0, 0.0}, {1.0, 0.5, 0.5}, {1.0, 0.0, 0.0}, false},
    {"a bass once a 6/8 bar", {1.0, 0.0, 0.0}, {1.0, 0.5, 0.5}, {1.0, 0.0}, false},
    {"a blues riff's bass on the third eighth", {1.0, 0.0, 0.4}, {1.0, 0.3, 0.3}, {1.0}, false},
    {"a bass on the pulse after the accent", {0.2, 1.0, 0.0}, {1.0, 0.5, 0.5}, {1.0}, false},
    {"no bass", {0.0, 0.0, 0.0}, {1.0, 0.5, 0.5}, {1.0}, false},
};

class BassOnTheAccentOnly : public ::testing::TestWithParam<BassSpan> {};

TEST_P(BassOnTheAccentOnly, WhereverTheRecordingStarts) {
  const BassSpan& c = GetParam();
  for (std::uint32_t first = 0; first < 3; ++first) {
    // The accent on the pulses of phase 2 of three, counted from `first`.
    // Each row adds its rises to the one before, so that every band only
    // rises and a pulse's rise is what the span gives it.
    std::vector<FeatureVector> rows;
    std::vector<double> level(7, 0.0);
    std::size_t accent = 0;
    for (std::size_t i = 0; i < 60; ++i) {
      const std::size_t k = (first + i + 1) % 3;  // 0 on the accent
      const double scale = k == 0 ? c.accents[accent++ % c.accents.size()] : 1.0;
      level[1] += scale * c.bass[k];
      level[3] += c.upper[k];
      rows.push_back(row(level));
    }
    EXPECT_EQ(kelo::bassOnTheAccentOnly(kelo::bassRises(rows), kelo::pulseRises(rows), first, 2), c.onTheAccentOnly)
        << "first " << first;
  }
}

INSTANTIATE_TEST_SUITE_P(Basses, BassOnTheAccentOnly, ::testing::ValuesIn(kBassSpans));

// The bass bands' rise on each of six pulses, the downbeat first: a bass
// that walks the beats of a bar of six half beats against a compound
// song's bass on the same pulses.
struct BassBarOfSix {
  std::string name;
  std::vector<double> bass;
  bool walks;
};

void PrintTo(const BassBarOfSix& c, std::ostream* os) { *os << c.name; }

const BassBarOfSix kBassBarsOfSix[] = {
    {"a walking bass under a jazz waltz", {0.6, 0.0, 0.9, 0.0, 0.8, 0.0}, true},
    {"a walking bass with a little between its beats", {0.6, 0.05, 0.9, 0.05, 0.8, 0.05}, true},
    {"a bass on one and three, soft on two", {1.0, 0.0, 0.4, 0.0, 0.8, 0.0}, true},
    {"a bass once a bar", {1.0, 0.0, 0.0, 0.0, 0.0, 0.0}, false},
    {"a bass on a 6/8 bar's dotted beats", {1.0, 0.0, 0.0, 0.8, 0.0, 0.0}, false},
    {"a jig's bass, long and short", {1.0, 0.0, 0.5, 0.8, 0.0, 0.4}, false},
    {"a bass on every pulse", {1.0, 0.7, 0.9, 0.7, 0.8, 0.7}, false},
    {"a bass that rises between its beats too", {0.6, 0.2, 0.9, 0.2, 0.8, 0.2}, false},
    {"a bass on one, soft on two and three", {1.0, 0.0, 0.2, 0.0, 0.2, 0.0}, false},
    {"no bass", {0.0, 0.0, 0.0, 0.0, 0.0, 0.0}, false},
};

class BassWalksEverySecondPulse : public ::testing::TestWithParam<BassBarOfSix> {};

TEST_P(BassWalksEverySecondPulse, WhereverTheRecordingStarts) {
  const BassBarOfSix& c = GetParam();
  for (std::uint32_t first = 0; first < 6; ++first) {
    // The downbeat on the pulses of phase 0 of six, counted from `first`;
    // each row adds its rises to the one before, as in a bass that only
    // rises, and a band above it rises on every pulse.
    std::vector<FeatureVector> rows;
    std::vector<double> level(7, 0.0);
    for (std::size_t i = 0; i < 48; ++i) {
      level[1] += c.bass[(first + i) % 6];
      level[3] += 1.0;
      rows.push_back(row(level));
    }
    EXPECT_EQ(kelo::bassWalksEverySecondPulse(kelo::bassRises(rows), first), c.walks) << "first " << first;
  }
}

INSTANTIATE_TEST_SUITE_P(Basses, BassWalksEverySecondPulse, ::testing::ValuesIn(kBassBarsOfSix));

TEST(BassWalksEverySecondPulseShort, FewerThanTwoBarsOfSixPulsesTellNothing) {
  std::vector<FeatureVector> rows;
  std::vector<double> level(3, 0.0);
  for (std::size_t i = 0; i < 12; ++i) {
    level[1] += i % 2 == 0 ? 1.0 : 0.0;
    rows.push_back(row(level));
  }
  EXPECT_TRUE(kelo::bassWalksEverySecondPulse(kelo::bassRises(rows), 0));
  rows.pop_back();
  EXPECT_FALSE(kelo::bassWalksEverySecondPulse(kelo::bassRises(rows), 0));
}

// What new sound starts on each of six pulses: the eighths of a 3/4 bar
// under comping on two's upbeat against the beats of two bars of three.
struct SixPulses {
  std::string name;
  std::vector<double> rises;
  bool differ;
};

void PrintTo(const SixPulses& c, std::ostream* os) { *os << c.name; }

const SixPulses kSixPulses[] = {
    {"a jazz waltz's eighths, the comping on two's upbeat", {0.6, 0.0, 0.9, 1.0, 0.8, 0.0}, true},
    {"the eighths of a waltz with an accent on two's upbeat", {1.0, 0.1, 0.5, 0.9, 0.5, 0.1}, true},
    {"two bars of three beats alike", {1.0, 0.5, 0.4, 1.0, 0.5, 0.4}, false},
    {"an oom-pah whose bass alternates root and fifth", {1.0, 0.5, 0.4, 0.9, 0.3, 0.5}, false},
    {"a 6/8 jig's eighths", {1.0, 0.3, 0.6, 0.8, 0.3, 0.6}, false},
    {"nothing between the accents", {1.0, 0.0, 0.0, 1.0, 0.0, 0.0}, false},
};

class HalfBarsDiffer : public ::testing::TestWithParam<SixPulses> {};

TEST_P(HalfBarsDiffer, WhereverTheRecordingStarts) {
  const SixPulses& c = GetParam();
  for (std::uint32_t first = 0; first < 6; ++first) {
    std::vector<double> rises;
    for (std::size_t i = 0; i < 36; ++i) rises.push_back(c.rises[(first + i) % 6]);
    EXPECT_EQ(kelo::halfBarsDiffer(rises, first, kelo::strongestGroupingPhase(rises, first, 3)), c.differ)
        << "first " << first;
  }
  EXPECT_FALSE(kelo::halfBarsDiffer(c.rises, 0, 0)) << "one span of six tells nothing";
}

INSTANTIATE_TEST_SUITE_P(Spans, HalfBarsDiffer, ::testing::ValuesIn(kSixPulses));

// The onsets at the pulses, folded onto six, as measured on songs of each
// kind.
struct OnsetSpan {
  std::string name;
  std::vector<double> onsets;
  bool everyThird;
  bool onEveryPulse;
};

void PrintTo(const OnsetSpan& c, std::ostream* os) { *os << c.name; }

const OnsetSpan kOnsetSpans[] = {
    {"a swing band's triplet eighths under hits in quarter-note triplets", {1.0, 0.24, 0.95, 0.91, 0.92, 0.30}, true, false},
    {"a 6/8 jig's eighths", {1.0, 0.3, 0.6, 0.8, 0.3, 0.6}, true, false},
    {"4/4 sixteenths whose bass comes back every dotted quarter", {1.0, 0.83, 0.93, 0.98, 0.94, 0.83}, false, true},
    {"a waltz arpeggio's eighths", {1.0, 0.73, 0.73, 0.85, 0.84, 0.87}, false, true},
    {"a 4/4 groove's eighths, kick and snare on the beats", {1.0, 0.4, 0.95, 0.35, 0.9, 0.4}, false, false},
};

class OnsetSpans : public ::testing::TestWithParam<OnsetSpan> {};

TEST_P(OnsetSpans, WhereverTheRecordingStarts) {
  const OnsetSpan& c = GetParam();
  for (std::uint32_t first = 0; first < 6; ++first) {
    std::vector<double> onsets;
    for (std::size_t i = 0; i < 36; ++i) onsets.push_back(c.onsets[(first + i) % 6]);
    EXPECT_EQ(kelo::onsetsAccentEveryThirdPulse(onsets, first), c.everyThird) << "first " << first;
    EXPECT_EQ(kelo::somethingStartsOnEveryPulse(onsets, first), c.onEveryPulse) << "first " << first;
  }
  EXPECT_FALSE(kelo::onsetsAccentEveryThirdPulse(c.onsets, 0)) << "one span of six tells nothing";
  EXPECT_FALSE(kelo::somethingStartsOnEveryPulse(c.onsets, 0)) << "one span of six tells nothing";
}

INSTANTIATE_TEST_SUITE_P(Spans, OnsetSpans, ::testing::ValuesIn(kOnsetSpans));

// New pitches on the two pulses after each accent against the accent's.
TEST(NewPitchesBetweenTheAccents, FourFifthsOfTheAccentsOrMoreWhereverTheRecordingStarts) {
  struct Span {
    std::vector<double> pitches;  // on the accent and the two pulses after it
    bool between;
  };
  const Span spans[] = {
      {{1.0, 1.2, 0.6}, true},    // an oom-pah's chords first sounding on two
      {{1.0, 0.85, 0.85}, true},  // a little over four fifths
      {{1.0, 0.5, 0.5}, false},   // an arpeggio's passing eighths
      {{1.0, 0.0, 0.0}, false},   // nothing new between
      {{0.0, 1.0, 1.0}, false},   // nothing on the accent to weigh against
  };
  for (const Span& s : spans)
    for (std::uint32_t first = 0; first < 3; ++first) {
      std::vector<double> pitches;
      for (std::size_t i = 0; i < 30; ++i) pitches.push_back(s.pitches[(first + i + 2) % 3]);
      EXPECT_EQ(kelo::newPitchesBetweenTheAccents(pitches, first, 1), s.between)
          << s.pitches[1] << " and " << s.pitches[2] << ", first " << first;
    }
  EXPECT_FALSE(kelo::newPitchesBetweenTheAccents({1.0, 1.0, 1.0, 1.0, 1.0}, 0, 0)) << "fewer than two bars";
  EXPECT_FALSE(kelo::newPitchesBetweenTheAccents(std::vector<double>(30, 1.0), 0, 3)) << "no accent phase";
}

// What starts on each of the tracker's beats, three to a group, where its
// pulses halve them: in all bands and in the bass bands.
struct BeatsOfThree {
  std::string name;
  std::vector<double> all, bass;
  double pulsesPerMinute;
  double between;  // what rises on the pulses between the tracker's beats
  bool eighths;
};

void PrintTo(const BeatsOfThree& c, std::ostream* os) { *os << c.name; }

const BeatsOfThree kBeatsOfThree[] = {
    {"a 12/8 shuffle's eighths", {1.0, 0.3, 0.8}, {1.0, 0.2, 0.7}, 288.0, 0.02, true},
    {"a jig's eighths, the bass on the short one too", {0.9, 0.0, 0.4}, {1.0, 0.0, 0.4}, 258.0, 0.02, true},
    {"a waltz's beats, two as loud as three", {1.0, 0.6, 0.6}, {1.0, 0.2, 0.7}, 288.0, 0.02, false},
    {"an arpeggio waltz's beats, the bass once a bar", {0.7, 0.1, 0.3}, {1.0, 0.0, 0.03}, 240.0, 0.02, false},
    {"the same eighths under 200 pulses a minute", {1.0, 0.3, 0.8}, {1.0, 0.2, 0.7}, 190.0, 0.02, false},
    {"the same eighths with sound between them", {1.0, 0.3, 0.8}, {1.0, 0.2, 0.7}, 288.0, 0.3, false},
};

class BeatsAreLongShortEighths : public ::testing::TestWithParam<BeatsOfThree> {};

TEST_P(BeatsAreLongShortEighths, WhereverTheRecordingStarts) {
  const BeatsOfThree& c = GetParam();
  for (std::uint32_t first = 0; first < 12; ++first) {
    // The tracker's beats are the pulses of even index from the song's
    // first pulse, the song's first beat opening a group.
    std::vector<double> all, bass;
    for (std::uint32_t i = 0; i < 72; ++i) {
      const std::uint32_t pulse = first + i;
      const bool onBeat = pulse % 2 == 0;
      all.push_back(onBeat ? c.all[pulse / 2 % 3] : c.between);
      bass.push_back(onBeat ? c.bass[pulse / 2 % 3] : 0.0);
    }
    EXPECT_EQ(kelo::beatsAreLongShortEighths(bass, all, first, c.pulsesPerMinute), c.eighths) << "first " << first;
  }
}

INSTANTIATE_TEST_SUITE_P(Beats, BeatsAreLongShortEighths, ::testing::ValuesIn(kBeatsOfThree));

// What starts on the tracker's beats (`beats`, over again), in all bands
// and in the bass bands, and between them, and whether its beats are the
// eighths of a slow simple meter.
struct FastBeats {
  std::string name;
  std::vector<double> beats, bass;
  double pulsesPerMinute;
  double between;
  bool eighths;
};

void PrintTo(const FastBeats& c, std::ostream* os) { *os << c.name; }

const FastBeats kFastBeats[] = {
    {"a ballad's eighths", {1.0, 0.2}, {1.0, 0.2}, 272.0, 0.02, true},
    {"a waltz arpeggio's eighths, the tune on one and three", {1.0, 0.14, 0.21, 0.1, 0.43, 0.23},
     {1.0, 0.02, 0.1, 0.01, 0.13, 0.1}, 377.0, 0.02, true},
    {"a ballad's eighths slower than a slow ballad's", {1.0, 0.2}, {1.0, 0.2}, 200.0, 0.02, false},
    {"a fast waltz's beats", {1.0, 0.5, 0.5}, {1.0, 0.2, 0.2}, 316.0, 0.02, false},
    {"a fast song's beats, its backbeat nearly as loud", {1.0, 0.7}, {1.0, 0.2}, 316.0, 0.02, false},
    {"a fast song's beats, its eighths between them", {1.0, 0.45}, {1.0, 0.1}, 316.0, 0.3, false},
    {"a swing's beats, its bass walking on every one", {1.0, 0.4}, {1.0, 0.8}, 298.0, 0.01, false},
    {"beats between a jig's eighths, every second on nothing", {1.0, 0.0}, {1.0, 0.0}, 233.0, 0.02, false},
    {"silence", {0.0}, {0.0}, 316.0, 0.0, false},
};

class TrackerBeatsAreHalfBeats : public ::testing::TestWithParam<FastBeats> {};

TEST_P(TrackerBeatsAreHalfBeats, WhereverTheRecordingStarts) {
  const FastBeats& c = GetParam();
  for (std::uint32_t first = 0; first < 12; ++first) {
    // The tracker's beats are the pulses of even index from the song's
    // first pulse.
    std::vector<double> rises, bass;
    for (std::uint32_t i = 0; i < 96; ++i) {
      const std::uint32_t pulse = first + i;
      const bool onBeat = pulse % 2 == 0;
      rises.push_back(onBeat ? c.beats[pulse / 2 % c.beats.size()] : c.between);
      bass.push_back(onBeat ? c.bass[pulse / 2 % c.bass.size()] : 0.0);
    }
    EXPECT_EQ(kelo::trackerBeatsAreHalfBeats(bass, rises, first, c.pulsesPerMinute), c.eighths) << "first " << first;
  }
}

INSTANTIATE_TEST_SUITE_P(Beats, TrackerBeatsAreHalfBeats, ::testing::ValuesIn(kFastBeats));

TEST(TrackerBeatsAreHalfBeatsShort, FewerThanTwoSpansOfSixPulsesTellNothing) {
  const std::vector<double> ballad = {1.0, 0.0, 0.2, 0.0, 1.0, 0.0, 0.2, 0.0, 1.0, 0.0, 0.2};
  EXPECT_FALSE(kelo::trackerBeatsAreHalfBeats(ballad, ballad, 0, 272.0));
  EXPECT_FALSE(kelo::trackerBeatsAreHalfBeats({}, {}, 0, 272.0));
  std::vector<double> longer;
  for (int bar = 0; bar < 12; ++bar) longer.insert(longer.end(), {1.0, 0.0, 0.2, 0.0});
  ASSERT_TRUE(kelo::trackerBeatsAreHalfBeats(longer, longer, 0, 272.0));
  EXPECT_FALSE(kelo::trackerBeatsAreHalfBeats({1.0}, longer, 0, 272.0)) << "a bass rise for every pulse";
}

// The pitches the tracker's beats bring, two by two, beside their rises:
// a ballad's eighths bring the tune's and the arpeggio's notes on the
// stronger ones; a drum groove's beats bring none. Only the stronger beats
// count.
TEST(NewPitchesOnTheStrongerBeats, WhereverTheRecordingStarts) {
  struct Case {
    const char* name;
    double pitchOnStronger, pitchOnWeaker;
    bool pitched;
  };
  const Case cases[] = {
      {"a ballad's eighths", 1.2, 1.0, true},
      {"a waltz arpeggio's eighths, the tune on the stronger", 1.7, 0.4, true},
      {"a drum groove's beats", 0.04, 0.03, false},
      {"pitches on the weaker beats only", 0.0, 1.0, false},
  };
  for (const Case& c : cases)
    for (std::uint32_t first = 0; first < 4; ++first) {
      std::vector<double> rises, pitches;
      for (std::uint32_t i = 0; i < 48; ++i) {
        const std::uint32_t pulse = first + i;
        const bool onBeat = pulse % 2 == 0, stronger = pulse % 4 == 0;
        rises.push_back(onBeat ? (stronger ? 1.0 : 0.2) : 0.01);
        pitches.push_back(onBeat ? (stronger ? c.pitchOnStronger : c.pitchOnWeaker) : 0.5);
      }
      EXPECT_EQ(kelo::newPitchesOnTheStrongerBeats(pitches, rises, first), c.pitched) << c.name << ", first " << first;
    }
  const std::vector<double> rises(11, 1.0), pitches(11, 1.0);
  EXPECT_FALSE(kelo::newPitchesOnTheStrongerBeats(pitches, rises, 0)) << "fewer than two spans of six pulses";
  EXPECT_FALSE(kelo::newPitchesOnTheStrongerBeats(std::vector<double>(5, 1.0), std::vector<double>(24, 1.0), 0))
      << "a pitch for every pulse";
}

// The bass bands on the accent and the two pulses after it, and which
// reading of a waltz that leaves its second beat empty they give: the bass
// on three and not on two, or strongest on one after an accent on three;
// a compound bar's eighths, whose bass is strongest on the beat or on the
// eighth after it, give neither.
TEST(EmptySecondBeat, TheBassReadsEitherWayWhereverTheRecordingStarts) {
  struct Span {
    const char* name;
    std::vector<double> bass;  // on the accent and the two pulses after it
    bool secondEmpty, accentOnThree;
  };
  const Span spans[] = {
      {"a half note and a quarter, the bass on one and three", {5.4, 0.02, 0.8}, true, false},
      {"the same, the bass on three soft", {6.2, 0.03, 0.2}, true, false},
      {"nothing at all on two", {5.0, 0.0, 0.06}, true, false},
      {"the bass's fifth on three, its root and a kick on one", {2.7, 5.6, 1.4}, false, true},
      {"the same, one far louder", {1.0, 10.0, 1.0}, false, true},
      {"a 12/8 shuffle: its riff on the eighth after the beat", {8.6, 2.1, 0.0}, false, false},
      {"a 12/8 blues: its kick on the second eighth", {7.9, 0.44, 0.29}, false, false},
      {"a long-short song: most on its beat", {4.6, 0.5, 0.3}, false, false},
      {"twice as much on three, not more", {5.0, 0.3, 0.6}, false, false},
      {"as much on the accent as after it", {5.0, 5.0, 1.0}, false, false},
      {"not twice the pulse after", {2.0, 5.0, 2.5}, false, false},
      {"a pad waltz: the bass once a bar", {7.1, 0.0, 0.01}, false, false},
      {"no bass at all", {0.0, 0.0, 0.0}, false, false},
  };
  for (const Span& s : spans)
    for (std::uint32_t first = 0; first < 3; ++first)
      for (int accent = 0; accent < 3; ++accent) {
        // Pulse i is at phase (first + i) mod 3; the accent's phase is `accent`.
        std::vector<double> bass;
        for (std::uint32_t i = 0; i < 30; ++i)
          bass.push_back(s.bass[((first + i) % 3 + 3 - static_cast<std::uint32_t>(accent)) % 3]);
        EXPECT_EQ(kelo::secondBeatLeftEmpty(bass, first, accent), s.secondEmpty)
            << s.name << ", first " << first << ", accent " << accent;
        EXPECT_EQ(kelo::accentFallsOnTheThirdBeat(bass, first, accent), s.accentOnThree)
            << s.name << ", first " << first << ", accent " << accent;
      }
  std::vector<double> bass = {5.4, 0.0, 0.8, 5.4, 0.0, 0.8, 5.4, 0.0, 0.8, 5.4, 0.0};
  std::vector<double> loudThird = {2.7, 5.6, 1.4, 2.7, 5.6, 1.4, 2.7, 5.6, 1.4, 2.7, 5.6};
  EXPECT_FALSE(kelo::secondBeatLeftEmpty(bass, 0, 0)) << "fewer than two spans of six";
  EXPECT_FALSE(kelo::accentFallsOnTheThirdBeat(loudThird, 0, 0)) << "fewer than two spans of six";
  bass.push_back(0.8);
  loudThird.push_back(1.4);
  EXPECT_TRUE(kelo::secondBeatLeftEmpty(bass, 0, 0)) << "two spans of six";
  EXPECT_TRUE(kelo::accentFallsOnTheThirdBeat(loudThird, 0, 0)) << "two spans of six";
  for (int accent : {-1, 3}) {
    EXPECT_FALSE(kelo::secondBeatLeftEmpty(bass, 0, accent)) << "no accent phase";
    EXPECT_FALSE(kelo::accentFallsOnTheThirdBeat(loudThird, 0, accent)) << "no accent phase";
  }
}
