// Whether the chords turn with every group of three pulses, or of two: a
// waltz's chords bar by bar against compound bars of two, three and four
// such groups holding theirs, on chroma built from chord tones, whatever
// the recording's first pulse and the accents' phase.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "ChordTurns.h"

namespace {

using kelo::chordsTurnEveryThreePulses;
using kelo::chordsTurnEveryTwoPulses;
using kelo::leastTurnShareElsewhere;
using kelo::FeatureVector;

FeatureVector zeros() {
  FeatureVector v(12);
  for (std::size_t c = 0; c < 12; ++c) v(c) = 0.0;
  return v;
}

// A major triad's chroma on `root`, with a quiet passing tone (a tune's)
// that differs from pulse to pulse.
FeatureVector chordPulse(int root, int pulse) {
  FeatureVector v = zeros();
  for (int interval : {0, 4, 7}) v((root + interval) % 12) = 1.0;
  v((root + 2 + 3 * (pulse % 3)) % 12) += 0.2;
  return v;
}

// `groups` groups of `size` pulses, the chord changing every
// `groupsAChord` groups through `roots`, the accents at phase `accent` of
// `first + i` mod `size` (the pulses before the first accent continue the
// chord before).
std::vector<FeatureVector> song(const std::vector<int>& roots, int groupsAChord, int groups, std::uint32_t first,
                                int accent, int size = 3) {
  std::vector<FeatureVector> rows;
  const int lead = (accent - static_cast<int>(first % static_cast<std::uint32_t>(size)) + size) % size;
  const int total = lead + size * groups;
  for (int i = 0; i < total; ++i) {
    const int g = i < lead ? -1 : (i - lead) / size;
    const int chord = g < 0 ? static_cast<int>(roots.size()) - 1 : (g / groupsAChord) % static_cast<int>(roots.size());
    rows.push_back(chordPulse(roots[static_cast<std::size_t>(chord)], i));
  }
  return rows;
}

struct Harmony {
  std::string name;
  std::vector<int> roots;
  int groupsAChord;
  bool turns;
};

void PrintTo(const Harmony& h, std::ostream* os) { *os << h.name; }

const Harmony kHarmonies[] = {
    {"a waltz, a new chord every bar", {0, 9, 5, 7}, 1, true},
    {"a waltz whose loop opens and closes on the tonic", {0, 5, 7, 0}, 1, true},
    {"6/8, a chord a bar of two groups", {0, 9, 5, 7}, 2, false},
    {"9/8, a chord a bar of three groups", {0, 9, 5, 7}, 3, false},
    {"12/8, a chord a bar of four groups", {0, 5, 0, 7}, 4, false},
    {"one chord throughout", {0}, 1, false},
};

class ChordTurns : public ::testing::TestWithParam<Harmony> {};

TEST_P(ChordTurns, EveryGroupOfThreeOnlyWhereTheChordsTurnBarByBar) {
  const Harmony& h = GetParam();
  for (std::uint32_t first = 0; first < 3; ++first)
    for (int accent = 0; accent < 3; ++accent)
      EXPECT_EQ(chordsTurnEveryThreePulses(song(h.roots, h.groupsAChord, 40, first, accent), first, accent), h.turns)
          << "first " << first << ", accent " << accent;
}

INSTANTIATE_TEST_SUITE_P(Songs, ChordTurns, ::testing::ValuesIn(kHarmonies));

// The same harmonies over pairs of pulses: a fast waltz whose bars are the
// tracker's beats against compound songs read by their dotted beats. (One
// chord under a tune that moves every third pulse turns every pair a
// little and alike, and the share, a ratio, cannot tell; a vamp on one
// chord is left to the onsets and the pitches.)
class ChordTurnsInPairs : public ::testing::TestWithParam<Harmony> {};

TEST_P(ChordTurnsInPairs, EveryPairOnlyWhereTheChordsTurnBarByBar) {
  const Harmony& h = GetParam();
  for (std::uint32_t first = 0; first < 2; ++first)
    for (int accent = 0; accent < 2; ++accent)
      EXPECT_EQ(chordsTurnEveryTwoPulses(song(h.roots, h.groupsAChord, 40, first, accent, 2), first, accent), h.turns)
          << "first " << first << ", accent " << accent;
}

std::vector<Harmony> harmoniesThatChange() {
  std::vector<Harmony> out;
  for (const Harmony& h : kHarmonies)
    if (h.roots.size() > 1) out.push_back(h);
  return out;
}

INSTANTIATE_TEST_SUITE_P(Songs, ChordTurnsInPairs, ::testing::ValuesIn(harmoniesThatChange()));

// Read from the wrong phase, a pair straddles each chord change of a 6/8
// song and every pair turns: only the pairs that open on the tracker's
// beats say how often the chords turn.
TEST(ChordTurnsInPairsPhase, TheOffPhaseOfA68SongTurnsEveryPair) {
  const std::vector<FeatureVector> sixEight = song({0, 9, 5, 7}, 2, 40, 0, 0, 2);
  EXPECT_FALSE(chordsTurnEveryTwoPulses(sixEight, 0, 0));
  EXPECT_TRUE(chordsTurnEveryTwoPulses(sixEight, 0, 1));
}

TEST(ChordTurnsShort, SixteenTurnsAreTheLeastToGoBy) {
  const std::vector<int> roots = {0, 9, 5, 7};
  EXPECT_TRUE(chordsTurnEveryThreePulses(song(roots, 1, 17, 0, 0), 0, 0)) << "seventeen groups, sixteen turns";
  EXPECT_FALSE(chordsTurnEveryThreePulses(song(roots, 1, 16, 0, 0), 0, 0)) << "fifteen turns";
}

TEST(ChordTurnsEdges, NoAccentPhaseNoPulsesAndSilenceTurnNothing) {
  const std::vector<FeatureVector> waltz = song({0, 9, 5, 7}, 1, 40, 0, 0);
  EXPECT_FALSE(chordsTurnEveryThreePulses(waltz, 0, 3));
  EXPECT_FALSE(chordsTurnEveryThreePulses(waltz, 0, -1));
  EXPECT_FALSE(chordsTurnEveryThreePulses({}, 0, 0));
  EXPECT_FALSE(chordsTurnEveryThreePulses(std::vector<FeatureVector>(120, zeros()), 0, 0));
  EXPECT_FALSE(chordsTurnEveryTwoPulses(waltz, 0, 2));
  EXPECT_EQ(leastTurnShareElsewhere(waltz, 0, 0, 0), -1.0);
  EXPECT_EQ(leastTurnShareElsewhere(std::vector<FeatureVector>(120, zeros()), 0, 0, 2), 0.0);
}

}  // namespace
