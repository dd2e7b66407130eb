// Whether the chords turn with every group of three pulses: a waltz's
// chords bar by bar against compound bars of two, three and four such
// groups holding theirs, on chroma built from chord tones, whatever the
// recording's first pulse and the accents' phase.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "ChordTurns.h"

namespace {

using kelo::chordsTurnEveryThreePulses;
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

// `groups` groups of three pulses, the chord changing every `groupsAChord`
// groups through `roots`, the accents at phase `accent` of `first + i` mod
// 3 (the pulses before the first accent continue the chord before).
std::vector<FeatureVector> song(const std::vector<int>& roots, int groupsAChord, int groups, std::uint32_t first,
                                int accent) {
  std::vector<FeatureVector> rows;
  const int lead = (accent - static_cast<int>(first % 3) + 3) % 3;
  const int total = lead + 3 * groups;
  for (int i = 0; i < total; ++i) {
    const int g = i < lead ? -1 : (i - lead) / 3;
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
}

}  // namespace
