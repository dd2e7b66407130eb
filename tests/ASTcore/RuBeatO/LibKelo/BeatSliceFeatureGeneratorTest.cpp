// Beat-slice features: re-blocking, slicing at planted beats against the
// semitone frames pooled by hand, the pooling rules and feature types
// against naive formulas, padding, segments, and a synthesised C major
// triad through the real beat detector.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <list>
#include <numeric>
#include <stdexcept>
#include <vector>

#include "BeatSliceFeatureGenerator.h"
#include "Hpcp/CHpcp.h"

namespace {

using kelo::BeatSliceFeatureGenerator;
using kelo::FeatureList;
using kelo::FeatureVector;
using Bounds = std::vector<std::pair<int, int>>;

const double kPi = 3.14159265358979323846;
constexpr int kHop = 180;
// A short semitone frame keeps the tests quick: the first semitone frame
// comes on hop 6, then one every 4 hops.
constexpr int kShortFrame = 1024;

std::vector<float> signal(int n) {
  std::vector<float> x(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) x[i] = static_cast<float>(0.3 * std::sin(0.37 * i) + 0.2 * std::sin(0.0123 * i * (i % 97)));
  return x;
}

void feed(BeatSliceFeatureGenerator& g, int semitoneFrames) {
  const auto x = signal((6 + 4 * (semitoneFrames - 1)) * kHop);
  g.pushSamples(x.data(), static_cast<int>(x.size()));
  ASSERT_EQ(g.getSemitoneFrames().size(), static_cast<std::size_t>(semitoneFrames));
}

FeatureVector vec(std::initializer_list<double> v) {
  FeatureVector out(v.size());
  std::copy(v.begin(), v.end(), out.begin());
  return out;
}

// Frames [from, to) summed, then divided by (norm + 0.1).
FeatureVector naiveSemitonePow(const FeatureList& frames, int from, int to) {
  FeatureVector p(72, 0.0);
  auto it = std::next(frames.begin(), from);
  for (int k = from; k < to; ++k, ++it) p += *it;
  double norm = 0;
  for (double v : p) norm += v * v;
  return p / (std::sqrt(norm) + 0.1);
}

void expectNear(const FeatureVector& a, const FeatureVector& b, double tol) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t d = 0; d < a.size(); ++d) EXPECT_NEAR(a[d], b[d], tol) << d;
}

}  // namespace

TEST(BeatSliceFeatureGenerator, SamplesAreReblockedIntoWholeHopsInStreamOrder) {
  BeatSliceFeatureGenerator g(kShortFrame, kHop), wholeHops(kShortFrame, kHop);
  const auto x = signal(40 * kHop + 40);
  g.pushSamples(x.data(), 100);
  g.pushSamples(x.data() + 100, 80);
  EXPECT_EQ(g.numFrames(), 1);
  g.pushSamples(x.data() + 180, 400);
  g.pushSamples(x.data() + 580, 0);
  EXPECT_EQ(g.numFrames(), 3);  // and 40 samples wait
  g.pushSamples(x.data() + 580, 140);
  EXPECT_EQ(g.numFrames(), 4);
  for (int at = 720, n = 1; at < static_cast<int>(x.size()); at += n, n = n * 3 % 401 + 1)
    g.pushSamples(x.data() + at, std::min(n, static_cast<int>(x.size()) - at));
  for (int h = 0; h < 40; ++h) wholeHops.pushSamples(x.data() + h * kHop, kHop);
  EXPECT_EQ(g.numFrames(), 40);
  ASSERT_EQ(g.getSemitoneFrames().size(), wholeHops.getSemitoneFrames().size());
  auto it = wholeHops.getSemitoneFrames().begin();
  for (const auto& frame : g.getSemitoneFrames()) expectNear(frame, *it++, 0.0);
  EXPECT_THROW(g.pushSamples(nullptr, 5), std::invalid_argument);
}

TEST(BeatSliceFeatureGenerator, PlantedBeatsCutTheSemitoneFramesAtAQuarterOfTheirFrame) {
  BeatSliceFeatureGenerator g(kShortFrame, kHop);
  feed(g, 60);
  g.flushAtBeats({0, 100, 203});  // 203 / 4 = 50.75 -> 51
  std::vector<FeatureVector> out(7);
  g.makeFeature(out, kelo::SemitonePow, 0, 1, kelo::poolSum);
  const Bounds bounds = {{0, 25}, {25, 51}, {51, 60}};
  EXPECT_EQ(g.sliceBounds(), bounds);
  ASSERT_EQ(out.size(), 3u);
  const float times[] = {0.0f, 0.408163f, 0.828571f};
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(g.value(i), times[i], 1e-6) << i;
    expectNear(out[i], naiveSemitonePow(g.getSemitoneFrames(), bounds[i].first, bounds[i].second), 1e-12);
  }
  EXPECT_THROW(g.value(3), std::out_of_range);
  EXPECT_THROW(g.makeFeature(out, kelo::SemitonePow, 0, 0, kelo::poolSum), std::invalid_argument);
  EXPECT_THROW(g.flushAtBeats({5, 3}), std::invalid_argument);
  EXPECT_THROW(g.flushAtBeats({-1}), std::invalid_argument);

  // Beats past the frames are clamped to the last one: an empty slice pools
  // to zeros, and the last slice still gets the last frame.
  g.flushAtBeats({8, 400, 404});
  g.makeFeature(out, kelo::SemitonePow, 0, 1, kelo::poolMedian);
  EXPECT_EQ(g.sliceBounds(), (Bounds{{2, 59}, {59, 59}, {59, 60}}));
  expectNear(out[1], FeatureVector(72, 0.0), 0.0);
  expectNear(out[2], naiveSemitonePow(g.getSemitoneFrames(), 59, 60), 1e-12);
  EXPECT_GT(norm_2(out[2]), 0.5);
}

TEST(BeatSliceFeatureGenerator, StepAndOffsetSelectByTheGlobalBeatCount) {
  BeatSliceFeatureGenerator g(kShortFrame, kHop);
  g.flushAtBeats({0, 4, 8});
  g.advance();
  EXPECT_EQ(g.getBeatOffset(), 3);
  feed(g, 20);
  g.flushAtBeats({10, 20, 30, 40, 50, 60});  // global beats 3 .. 8
  std::vector<FeatureVector> out;
  g.makeFeature(out, kelo::JointHPCP, 1, 2, kelo::poolMedian);  // odd beats: 3, 5, 7
  ASSERT_EQ(out.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(g.value(i), (10 + 20 * i) * (180.0f / 44100.0f));
  EXPECT_EQ(out[0].size(), 26u);

  g.makeFeature(out, kelo::JointHPCP, 2, 2, kelo::poolMedian);
  EXPECT_TRUE(out.empty());
  EXPECT_THROW(g.value(0), std::out_of_range);

  g.reset();
  EXPECT_EQ(g.getBeatOffset(), 6);  // the beats of the last flush
  EXPECT_EQ(g.numFrames(), 0);
  EXPECT_TRUE(g.getSemitoneFrames().empty());
}

TEST(BeatSliceFeatureGenerator, PoolingRulesMatchTheirFormulas) {
  const FeatureList frames = {vec({1, 0, 5, -2}), vec({0, 1, 3, 4}), vec({0, 0, 4, 1}), vec({2, 2, 7, 0})};
  const auto at = [&](int k) { return std::next(frames.begin(), k); };
  const auto pool = [&](int k, int pooling) { return BeatSliceFeatureGenerator::poolFrames({at(0), at(k)}, pooling, 4); };
  expectNear(pool(2, kelo::poolMedian), vec({1, 1, 5, 4}), 0);  // the larger of two
  expectNear(pool(3, kelo::poolMedian), vec({0, 0, 4, 1}), 0);
  expectNear(pool(4, kelo::poolMedian), vec({1, 1, 5, 1}), 0);  // rank 2 of 4
  expectNear(pool(4, kelo::poolSum), vec({3, 3, 19, 3}), 0);
  expectNear(pool(4, kelo::poolMean), vec({0.75, 0.75, 4.75, 0.75}), 0);
  expectNear(pool(4, kelo::poolRootSumSquares), vec({std::sqrt(5.0), std::sqrt(5.0), std::sqrt(99.0), std::sqrt(21.0)}),
             1e-6);
  const double w1 = 0.904837, w2 = 0.818731, w = 1 + w1 + w2;
  expectNear(pool(3, kelo::poolDecayingMean), vec({1 / w, w1 / w, (5 + 3 * w1 + 4 * w2) / w, (-2 + 4 * w1 + w2) / w}),
             1e-6);
  expectNear(pool(0, kelo::poolSum), FeatureVector(4, 0.0), 0);
  EXPECT_THROW(pool(4, 5), std::invalid_argument);
}

TEST(BeatSliceFeatureGenerator, FeatureTypesFoldThePooledSemitones) {
  BeatSliceFeatureGenerator g(kShortFrame, kHop);
  FeatureVector p(72, 0.0);
  p[0] = 1.0;  // bottom of octave 0: wholly to band 1
  expectNear(g.featureOf(p, kelo::OctaveProfile), vec({0, 1, 0, 0, 0, 0, 0}), 0);
  std::swap(p[0], p[11]);
  expectNear(g.featureOf(p, kelo::OctaveProfile), vec({11.0 / 12, 1.0 / 12, 0, 0, 0, 0, 0}), 1e-15);

  for (int s = 0; s < 72; ++s) p[s] = 0.5 + std::sin(1.3 * s) * std::sin(1.3 * s);
  std::vector<double> folded(26);
  Hpcp::CHpcp::convertToHpcpfeature<double>(folded.data(), folded[25], folded[24], &p[0], 6, 12, 72, true);
  const FeatureVector joint = g.featureOf(p, kelo::JointHPCP), treble = g.featureOf(p, kelo::TrebleChroma);
  ASSERT_EQ(joint.size(), 26u);
  for (int j = 0; j < 26; ++j) EXPECT_EQ(joint[j], folded[j]) << j;
  for (int j = 0; j < 12; ++j) EXPECT_EQ(treble[j], folded[12 + j]) << j;
  EXPECT_EQ(g.featureOf(p, kelo::BassTrebleChroma).size(), 24u);

  feed(g, 8);
  g.flushAtBeats({0, 12});
  std::vector<FeatureVector> out;
  EXPECT_THROW(g.makeFeature(out, 5, 0, 1, kelo::poolMedian), std::invalid_argument);
  EXPECT_EQ(out.size(), 2u);
  EXPECT_THROW(g.makeFeature(out, 8, 0, 1, kelo::poolMedian), std::logic_error);
  g.makeFeature(out, 5, 1, 1, kelo::poolMedian);  // no beat selected: no complaint
  EXPECT_TRUE(out.empty());
}

TEST(BeatSliceFeatureGenerator, ShortSegmentsArePaddedAndAnEmptyFrameListGivesZeros) {
  BeatSliceFeatureGenerator g(kShortFrame, kHop);
  g.flushAtBeats({0, 4, 8, 12, 16, 20, 24, 28, 32, 36});
  ASSERT_EQ(g.getSemitoneFrames().size(), 3u);  // (10 + 4) / 4
  for (const auto& frame : g.getSemitoneFrames()) expectNear(frame, FeatureVector(72, 1e-20), 0);

  // After advance the frames are gone while the beats remain: zeros, not
  // slices outside the frame list.
  g.advance();
  std::vector<FeatureVector> out;
  for (int type : {kelo::SemitonePow, kelo::JointHPCP, kelo::OctaveProfile}) {
    g.makeFeature(out, type, 0, 1, kelo::poolMedian);
    ASSERT_EQ(out.size(), 10u);
    for (const auto& v : out) EXPECT_EQ(norm_inf(v), 0.0);
  }

  BeatSliceFeatureGenerator full(kShortFrame, kHop);
  feed(full, 100);
  std::list<int> beats(300);
  std::iota(beats.begin(), beats.end(), 0);
  full.flushAtBeats(beats);
  EXPECT_EQ(full.getSemitoneFrames().size(), 100u);
}

namespace {

double midiHz(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

// A C major triad (C4 E4 G4) over a bass C2, each voice with four
// harmonics, struck on every beat at 120 beats per minute with a decaying
// envelope and a low thump for the detector to follow.
std::vector<float> cMajorTriadSong(double seconds) {
  std::vector<float> x(static_cast<std::size_t>(seconds * 44100));
  const double voices[][2] = {{36, 0.25}, {60, 0.12}, {64, 0.12}, {67, 0.12}};
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double t = i / 44100.0, sinceBeat = std::fmod(t, 0.5);
    double v = 0;
    for (const auto& voice : voices)
      for (int h = 1; h <= 4; ++h) v += voice[1] / h * std::sin(2 * kPi * midiHz(static_cast<int>(voice[0])) * h * t);
    v = v * (0.3 + 0.7 * std::exp(-sinceBeat / 0.12)) + 0.5 * std::exp(-sinceBeat / 0.02) * std::sin(2 * kPi * 55 * sinceBeat);
    x[i] = static_cast<float>(0.6 * v);
  }
  return x;
}

}  // namespace

TEST(BeatSliceFeatureGenerator, TriadSlicesFromDetectedBeatsShowTheChordAndItsBass) {
  BeatSliceFeatureGenerator g(16384, kHop);
  const auto x = cMajorTriadSong(4.0);
  for (std::size_t at = 0; at < x.size(); at += 4410)
    g.pushSamples(x.data() + at, static_cast<int>(std::min<std::size_t>(4410, x.size() - at)));
  g.flush();
  std::vector<FeatureVector> out;
  g.makeFeature(out, kelo::JointHPCP, 0, 1, kelo::poolMedian);
  ASSERT_GE(out.size(), 7u) << "beats found";
  int good = 0;
  for (const auto& v : out) {
    const auto bass = std::max_element(v.begin(), v.begin() + 12) - v.begin();
    const auto treble = std::max_element(v.begin() + 12, v.begin() + 24) - (v.begin() + 12);
    good += bass == 0 && (treble == 0 || treble == 4 || treble == 7);
  }
  EXPECT_GE(good * 10, static_cast<int>(out.size()) * 9) << good << " of " << out.size();

  int period = 0, toNext = 0;
  g.lastBeat(&period, &toNext);
  EXPECT_GT(period, 0);
  EXPECT_EQ(g.framesToNextBeat(), toNext);
}
