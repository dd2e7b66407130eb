// The bar's length read from the beat that brings the most new sound:
// bars of three stand out in a waltz wherever the recording starts and
// however its phrases go, never in 4/4, and nothing is read from a
// recording too short for two bars of four or from silence.

#include <gtest/gtest.h>

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "BarAccents.h"

namespace {

using kelo::FeatureVector;

constexpr std::size_t kBands = 7;

// A note: from pulse `at` of the bar (two a beat), `pulses` long, adding
// `level` to octave band `band`.
struct Note {
  std::size_t at, pulses, band;
  double level;
};

// `bars` bars of `pulses` pulses over a steady pad in every band, the
// recording starting `shift` pulses into the first bar; every `phrase`-th
// bar's notes sound `phraseLouder` times as loud.
std::vector<FeatureVector> rowsOf(const std::vector<Note>& bar, std::size_t pulses, int bars, std::size_t shift,
                                  int phrase = 1, double phraseLouder = 1.0) {
  const std::size_t total = static_cast<std::size_t>(bars) * pulses;
  std::vector<FeatureVector> rows(total, FeatureVector(kBands));
  for (FeatureVector& r : rows)
    for (std::size_t b = 0; b < kBands; ++b) r(b) = 0.5;
  for (int k = 0; k < bars + 1; ++k) {
    const double gain = k % phrase == 0 ? phraseLouder : 1.0;
    for (const Note& n : bar)
      for (std::size_t p = 0; p < n.pulses; ++p) {
        const std::size_t at = static_cast<std::size_t>(k) * pulses + n.at + p;
        if (at >= shift && at - shift < total) rows[at - shift](n.band) += gain * n.level;
      }
  }
  return rows;
}

// A bass note and a chord on one, a tune note on every beat.
const std::vector<Note> kWaltz = {{0, 2, 1, 3.0}, {0, 6, 4, 1.0}, {0, 2, 5, 1.0}, {2, 2, 5, 1.0}, {4, 2, 5, 1.0}};
const std::vector<Note> kFourFour = {{0, 2, 1, 3.0}, {0, 8, 4, 1.0}, {0, 2, 5, 1.0},
                                     {2, 2, 5, 1.0}, {4, 2, 5, 1.0}, {6, 2, 5, 1.0}};
// 4/4 whose chord and bass come on one and three alike.
const std::vector<Note> kHalfBars = {{0, 2, 1, 3.0}, {0, 4, 4, 1.0}, {4, 2, 1, 3.0}, {4, 4, 4, 1.0},
                                     {0, 2, 5, 1.0}, {2, 2, 5, 1.0}, {4, 2, 5, 1.0}, {6, 2, 5, 1.0}};

struct Song {
  std::string name;
  std::vector<Note> bar;
  std::size_t pulses;
  int phrase;
  double phraseLouder;
  bool three;
};

void PrintTo(const Song& s, std::ostream* os) { *os << s.name; }

class BarOfThree : public ::testing::TestWithParam<Song> {};

TEST_P(BarOfThree, StandsOutOnlyInAWaltzWhereverTheRecordingStarts) {
  const Song s = GetParam();
  for (std::size_t shift = 0; shift < s.pulses; ++shift) {
    const std::vector<FeatureVector> rows = rowsOf(s.bar, s.pulses, 24, shift, s.phrase, s.phraseLouder);
    EXPECT_EQ(kelo::barOfThreeStandsOut(rows), s.three) << "starting " << shift << " pulses into the bar";
  }
}

INSTANTIATE_TEST_SUITE_P(Songs, BarOfThree,
                         ::testing::Values(Song{"waltz", kWaltz, 6, 1, 1.0, true},
                                           Song{"waltz whose four-bar phrases open louder", kWaltz, 6, 4, 1.5, true},
                                           Song{"4/4", kFourFour, 8, 1, 1.0, false},
                                           Song{"4/4 whose two-bar phrases open louder", kFourFour, 8, 2, 2.0, false},
                                           Song{"4/4 with the bass and chord on one and three", kHalfBars, 8, 1, 1.0, false}));

TEST(BarAccentContrast, IsOneWhereNothingStandsOutAndZeroWhenTooShort) {
  const std::vector<Note> even = {{0, 2, 5, 1.0}, {2, 2, 5, 1.0}, {4, 2, 5, 1.0}};
  EXPECT_DOUBLE_EQ(kelo::barAccentContrast(rowsOf(even, 6, 24, 0), 3), 1.0) << "every beat alike";
  EXPECT_DOUBLE_EQ(kelo::barAccentContrast(std::vector<FeatureVector>(100, FeatureVector(kBands, 0.0)), 3), 1.0)
      << "silence";
  EXPECT_FALSE(kelo::barOfThreeStandsOut(std::vector<FeatureVector>(100, FeatureVector(kBands, 0.0))));

  // Two bars of four and a beat either side: 20 pulses, enough for both.
  const std::vector<FeatureVector> four = rowsOf(kWaltz, 6, 4, 0);
  const std::vector<FeatureVector> waltz(four.begin(), four.begin() + 20);
  EXPECT_GT(kelo::barAccentContrast(waltz, 4), 0.0);
  EXPECT_TRUE(kelo::barOfThreeStandsOut(waltz));
  const std::vector<FeatureVector> shorter(waltz.begin(), waltz.end() - 1);
  EXPECT_EQ(kelo::barAccentContrast(shorter, 4), 0.0);
  EXPECT_GT(kelo::barAccentContrast(shorter, 3), 1.5);
  EXPECT_FALSE(kelo::barOfThreeStandsOut(shorter)) << "too short to weigh bars of four: left to the period";
  EXPECT_EQ(kelo::barAccentContrast(waltz, 0), 0.0);
}

}  // namespace
