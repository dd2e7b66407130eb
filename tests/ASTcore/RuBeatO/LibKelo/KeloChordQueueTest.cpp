// The step from decoded frames to chord reports: the triad/seventh merge,
// the three-frame queue with its bass corrections and its one-frame delay,
// the release of the last chord, and the bass line against an enumeration
// of every bass path.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "BassLine.h"
#include "KeloChordQueue.h"
#include "KeloHmm.h"

namespace {

using kelo::KeloChordQueue;
using kelo::t_chord;

constexpr int MAJ = 0, MAJ7 = 2, MIN = 8, MIN7 = 10, DOM7 = 19;

TEST(KeloChordMerge, SeventhsHoldATriadOfTheSameRootAndNothingElseMerges) {
  struct Case {
    int type, previous;
    bool sameRoot;
    int want;
  };
  const Case cases[] = {
      {MAJ, MAJ7, true, MAJ7}, {MAJ, DOM7, true, DOM7}, {MAJ7, MAJ, true, MAJ},
      {DOM7, MAJ, true, MAJ},  {MIN, MIN7, true, MIN7}, {MIN7, MIN, true, MIN},
      {MAJ7, DOM7, true, MAJ7}, {MIN, MAJ, true, MIN},  {MAJ7, MAJ, false, MAJ7},
      {MAJ, -1, true, MAJ},
  };
  for (const Case& c : cases)
    EXPECT_EQ(kelo::mergedChordType(c.type, c.previous, c.sameRoot), c.want)
        << c.type << " after " << c.previous;
}

struct Recorder {
  std::vector<t_chord> reported;
  KeloChordQueue::Report fn() {
    return [this](const t_chord& c) { reported.push_back(c); };
  }
};

t_chord chord(int tatum, int root, int type, int bass) { return t_chord{tatum, root, type, bass, 0}; }

TEST(KeloChordQueue, TheFirstChordGoesAtOnceLaterOnesOneFrameLateAndRepeatsNever) {
  KeloChordQueue q;
  Recorder r;
  q.push(chord(0, 7, MAJ, 7), true, r.fn());
  ASSERT_EQ(r.reported.size(), 1u);
  q.push(chord(1, 7, MAJ, 7), true, r.fn());
  q.push(chord(2, 0, MAJ, 0), true, r.fn());  // releases frame 1: same as frame 0
  EXPECT_EQ(r.reported.size(), 1u);
  q.push(chord(3, 0, MAJ, 0), true, r.fn());  // releases frame 2: C
  ASSERT_EQ(r.reported.size(), 2u);
  EXPECT_EQ(r.reported[1].tatum, 2);
  EXPECT_EQ(r.reported[1].root, 0);
  EXPECT_EQ(r.reported[1].reserved, 0);
  // A change released by a quiet frame is not reported.
  q.push(chord(4, 2, MAJ, 2), true, r.fn());
  q.push(chord(5, 2, MAJ, 2), false, r.fn());
  EXPECT_EQ(r.reported.size(), 2u);
  EXPECT_EQ(q.entries().size(), 2u);
}

TEST(KeloChordQueue, TheMiddleBassIsCorrectedFromItsNeighbours) {
  struct Case {
    const char* what;
    t_chord a, b, c;
    int wantBass;
  };
  const Case cases[] = {
      {"held bass on both sides", chord(0, 9, MIN, 9), chord(1, 0, MAJ, 4), chord(2, 9, MIN, 9), 9},
      {"bass moved a frame before the chord", chord(0, 7, MAJ, 7), chord(1, 0, MAJ, 7), chord(2, 0, MAJ, 4), 4},
      {"bass moved a frame early", chord(0, 7, MAJ, 7), chord(1, 7, MAJ, 2), chord(2, 0, MAJ, 2), 7},
      {"semitone above the root", chord(0, 5, MAJ, 5), chord(1, 0, MAJ, 1), chord(2, 7, MAJ, 11), 0},
      {"semitone below the root", chord(0, 5, MAJ, 5), chord(1, 0, MAJ, 11), chord(2, 7, MAJ, 2), 0},
      {"minor sixth above the root", chord(0, 5, MAJ, 5), chord(1, 0, MAJ, 8), chord(2, 7, MAJ, 2), 7},
      {"tritone above the root", chord(0, 5, MAJ, 5), chord(1, 0, MAJ, 6), chord(2, 7, MAJ, 2), 7},
      {"an inversion stays", chord(0, 5, MAJ, 5), chord(1, 0, MAJ, 4), chord(2, 7, MAJ, 2), 4},
  };
  for (const Case& c : cases) {
    KeloChordQueue q;
    Recorder r;
    q.push(c.a, true, r.fn());
    q.push(c.b, true, r.fn());
    q.push(c.c, true, r.fn());
    // The corrected middle frame is now the oldest entry.
    ASSERT_EQ(q.entries().size(), 2u) << c.what;
    EXPECT_EQ(q.entries().front().tatum, 1) << c.what;
    EXPECT_EQ(q.entries().front().bass, c.wantBass) << c.what;
  }
}

TEST(KeloChordQueue, TheEndReleasesTheLastChordOnceAndMoreFramesContinueFromIt) {
  KeloChordQueue q;
  Recorder r;
  q.push(chord(0, 7, MAJ, 7), true, r.fn());
  q.push(chord(1, 7, MAJ, 7), true, r.fn());
  q.push(chord(2, 4, MIN, 4), true, r.fn());
  EXPECT_EQ(r.reported.size(), 1u);
  q.flushLast(true, r.fn());
  ASSERT_EQ(r.reported.size(), 2u);
  EXPECT_EQ(r.reported[1].tatum, 2);
  EXPECT_EQ(r.reported[1].root, 4);
  q.flushLast(true, r.fn());
  q.push(chord(3, 4, MIN, 4), true, r.fn());
  q.push(chord(4, 4, MIN, 4), true, r.fn());
  EXPECT_EQ(r.reported.size(), 2u) << "E minor is not reported twice";

  KeloChordQueue held;
  Recorder h;
  held.push(chord(0, 7, MAJ, 7), true, h.fn());
  held.push(chord(1, 7, MAJ, 7), true, h.fn());
  held.flushLast(true, h.fn());
  EXPECT_EQ(h.reported.size(), 1u) << "an unchanged last chord is not reported again";
}

// Score of a bass path as the tracker defines it, in double precision.
double pathScore(const std::vector<int>& path, const std::vector<kelo::FeatureVector>& rows,
                 const std::vector<std::array<std::uint32_t, 3>>& chords) {
  auto o = [&](std::size_t t, int k) { return rows[t](k) + 0.2 * rows[t]((k + 11) % 12); };
  double s = o(0, path[0]);
  for (std::size_t t = 1; t < path.size(); ++t) {
    const float w = kelo::bassStayWeight(chords[t][2]);
    const bool held = t >= 2 && chords[t][0] == chords[t - 1][0] && chords[t][1] == chords[t - 1][1];
    const double stay = held ? w : 0.1f;
    s += (path[t] == path[t - 1] ? stay : 1.0 - w) + o(t, path[t]);
  }
  return s;
}

TEST(BassLine, TrackedBassIsTheBestOfEveryPathOfPitchClasses) {
  kelo::KeloHmm model(true, 0, 4);
  for (int c = 0; c < 3; ++c) model.addClass(c == 1 ? MIN : MAJ, c);
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int trial = 0; trial < 4; ++trial) {
    const std::size_t frames = 4;
    std::vector<kelo::FeatureVector> rows(frames, kelo::FeatureVector(26));
    std::vector<std::int32_t> states;
    std::vector<std::array<std::uint32_t, 3>> chords;
    for (std::size_t t = 0; t < frames; ++t) {
      for (std::size_t i = 0; i < 26; ++i) rows[t](i) = u(rng);
      const std::uint32_t root = t < 2 ? 0 : static_cast<std::uint32_t>(trial % 12);
      const std::uint32_t cls = t == 3 ? 1 : 0;
      const std::uint32_t beat = static_cast<std::uint32_t>((t + trial) % 4);
      states.push_back(static_cast<std::int32_t>(model.stateIndex(root, cls, 1, beat, 5)));
      chords.push_back({root, cls, beat});
    }
    const std::vector<std::int32_t> bass = kelo::trackBass(model, states, rows);
    ASSERT_EQ(bass.size(), frames);
    double best = -1e300;
    std::vector<int> bestPath;
    for (int code = 0; code < 12 * 12 * 12 * 12; ++code) {
      std::vector<int> path{code % 12, code / 12 % 12, code / 144 % 12, code / 1728};
      const double s = pathScore(path, rows, chords);
      if (s > best) {
        best = s;
        bestPath = path;
      }
    }
    EXPECT_EQ(std::vector<int>(bass.begin(), bass.end()), bestPath) << "trial " << trial;
  }
  EXPECT_TRUE(kelo::trackBass(model, {}, {}).empty());
}

}  // namespace
