#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "BeatGridMarking.h"
#include "OnsetEnvelope.h"
#include "OnsetPreAnalysis.h"

namespace {

TimeMachineInput inputOf(const std::vector<float>& left, const std::vector<float>* right, std::uint64_t rate = 44100) {
  TimeMachineInput in;
  in.left = left.empty() ? nullptr : left.data();
  in.right = right ? right->data() : nullptr;
  in.sampleCount = left.size();
  in.sampleRate = rate;
  return in;
}

// Decaying 2 ms bursts at the given sample positions.
std::vector<float> clicks(std::size_t n, const std::vector<std::size_t>& at) {
  std::vector<float> x(n, 0.0f);
  std::mt19937 gen(7);
  std::uniform_real_distribution<float> d(-1.0f, 1.0f);
  for (std::size_t p : at)
    for (std::size_t i = 0; i < 88 && p + i < n; ++i) x[p + i] = 20000.0f * d(gen) * (1.0f - i / 88.0f);
  return x;
}

}  // namespace

TEST(OnsetPreAnalysis, SilenceHasNoOnsetAndTheHopFollowsTheRate) {
  std::vector<float> silence(44100, 0.0f);
  OnsetPreAnalysis a;
  auto in = inputOf(silence, &silence);
  a.PrepareOnsetAnalysis(&in);
  EXPECT_EQ(a.Hop(), 128);
  EXPECT_EQ(a.FrameCount(), 345);
  for (auto v : a.Onsets()) ASSERT_EQ(v, 0);
  EXPECT_EQ(a.FirstStrongOnset(), 0);
  EXPECT_EQ(OnsetHop(22050.0), 64);
  EXPECT_EQ(OnsetHop(0.0), 1);  // no rate: no division by zero
}

TEST(OnsetPreAnalysis, ClicksBecomeOnsetsAtTheirFrames) {
  const std::vector<std::size_t> at = {11025, 33075, 55125};
  const auto x = clicks(66150, at);
  OnsetPreAnalysis a;
  auto in = inputOf(x, &x);
  a.PrepareOnsetAnalysis(&in);
  const auto& onsets = a.Onsets();
  for (std::size_t p : at) {
    const auto frame = static_cast<std::int64_t>(p / 128);
    int strongest = 0;
    for (std::int64_t f = frame - 4; f <= frame + 6; ++f) strongest = std::max<int>(strongest, onsets[f]);
    EXPECT_GT(strongest, 26) << "click at " << p;
    // Halfway to the next click nothing rises.
    for (std::int64_t f = frame + 40; f < frame + 100 && f < a.FrameCount(); ++f) ASSERT_EQ(onsets[f], 0) << f;
  }
  EXPECT_NEAR(a.FirstStrongOnset(), 11025 / 128, 6);
}

TEST(OnsetPreAnalysis, MonoCopyTakesWhatChannelsThereAre) {
  std::vector<float> left = {3.0f, -3.0f, 7.9f, 100.0f};
  std::vector<float> right = {2.0f, -2.0f, 0.0f, 101.0f};
  OnsetPreAnalysis a;
  auto both = inputOf(left, &right);
  a.PrepareOnsetAnalysis(&both);
  EXPECT_EQ(a.Mono(), (std::vector<std::int64_t>{2, -2, 3, 100}));
  auto leftOnly = inputOf(left, nullptr);
  a.PrepareOnsetAnalysis(&leftOnly);
  EXPECT_EQ(a.Mono(), (std::vector<std::int64_t>{3, -3, 7, 100}));
  TimeMachineInput none;
  none.sampleCount = 3;
  none.sampleRate = 44100;
  a.PrepareOnsetAnalysis(&none);
  EXPECT_EQ(a.Mono(), (std::vector<std::int64_t>{0, 0, 0}));
}

TEST(OnsetPreAnalysis, FirstSoundIsSearchedInTheFirstHalfOnly) {
  struct Row { std::vector<float> x; std::int64_t expected; };
  const Row rows[] = {
      {{0, 0, 0, 4, 0, 0, 0, 0, 0, 0}, 3},
      {{0, 0, 0, 0, 0, 9, 9, 9, 9, 9}, 5},
      {{5}, 0},
      {{0, -1}, 1},
      {{0, 0, -1}, 1},
  };
  for (const Row& r : rows) {
    OnsetPreAnalysis a;
    auto in = inputOf(r.x, nullptr);
    a.PrepareOnsetAnalysis(&in);
    EXPECT_EQ(a.FirstSoundIndex(), r.expected) << r.x.size();
  }
}

TEST(OnsetEnvelope, CentredAveragesMatchANaiveSum) {
  std::mt19937 gen(3);
  std::uniform_int_distribution<int> d(-1000, 1000);
  for (std::int64_t width : {1, 4, 5, 256}) {
    std::vector<std::int64_t> x(300);
    for (auto& v : x) v = d(gen);
    std::vector<std::int64_t> all = x, positive = x;
    OnsetMovingAverage(all.data(), 300, width);
    OnsetPositiveAverage(positive.data(), 300, width);
    for (std::int64_t i = 0; i < 300; ++i) {
      std::int64_t sum = 0;
      for (std::int64_t j = i - width / 2; j < i - width / 2 + width; ++j)
        if (j >= 0 && j < 300) sum += x[j];
      ASSERT_EQ(all[i], sum / width) << width << " at " << i;
      ASSERT_EQ(positive[i], x[i] > 0 ? sum / width : x[i]) << width << " at " << i;
    }
  }
}

namespace {

// x >> s for an arithmetic shift, as floor division.
std::int64_t shiftDown(std::int64_t x, int s) {
  const std::int64_t d = std::int64_t{1} << s;
  return x >= 0 ? x / d : -((-x + d - 1) / d);
}

// The centred mean over `w` values, zeros outside; `positiveOnly` replaces
// only the positive values.
std::vector<std::int64_t> centredMean(const std::vector<std::int64_t>& x, std::int64_t w, bool positiveOnly) {
  const auto n = static_cast<std::int64_t>(x.size());
  std::vector<std::int64_t> out = x;
  for (std::int64_t i = 0; i < n; ++i) {
    std::int64_t sum = 0;
    for (std::int64_t j = i - w / 2; j < i - w / 2 + w; ++j)
      if (j >= 0 && j < n) sum += x[static_cast<std::size_t>(j)];
    if (!positiveOnly || x[static_cast<std::size_t>(i)] > 0) out[static_cast<std::size_t>(i)] = sum / w;
  }
  return out;
}

// The frame envelope computed step by step at 44100 Hz: pre-emphasis by
// 13/16, the resonant filter with k = 10, rectification, the follower with
// attack 327 and release 11 out of 8192, the positive mean over five
// frames, frame means, the change against a slow level of half the frame
// values over 256 frames.
std::vector<std::int64_t> referenceEnvelope(const std::vector<std::int64_t>& x, std::int64_t frames) {
  const std::int64_t hop = 128;
  std::vector<std::int64_t> y(x.size());
  std::int64_t previous = 0, s1 = 0, s2 = 0, e = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    std::int64_t v = x[i] - shiftDown(13 * previous, 4);
    previous = x[i];
    const std::int64_t t = 32 * v - (s1 + s2);
    v -= shiftDown(s1, 5);
    s1 += shiftDown(t * 10, 10);
    s2 += shiftDown(s1 * 10, 10);
    v = v < 0 ? -v : v;
    std::int64_t scaled = 8 * v;
    const std::int64_t c = scaled > e ? 327 : 11;
    scaled = e + shiftDown(c * (scaled - e), 13);
    e = scaled;
    y[i] = shiftDown(scaled, 3);
  }
  y = centredMean(y, 5 * hop, true);
  std::vector<std::int64_t> out(static_cast<std::size_t>(frames));
  for (std::int64_t k = 0; k < frames; ++k) {
    std::int64_t sum = 0, n = 0;
    for (std::int64_t i = k * hop; i < (k + 1) * hop && i < static_cast<std::int64_t>(y.size()); ++i, ++n)
      sum += y[static_cast<std::size_t>(i)];
    out[static_cast<std::size_t>(k)] = n > 0 ? sum / n : 0;
  }
  std::vector<std::int64_t> level(out.size());
  for (std::size_t k = 0; k < out.size(); ++k) level[k] = out[k] / 2;
  level = centredMean(level, 256, false);
  std::vector<std::int64_t> change(out.size());
  for (std::size_t k = 0; k < out.size(); ++k) change[k] = out[k] - (k > 0 ? out[k - 1] : 0);
  change = centredMean(change, 5, false);
  for (std::size_t k = 0; k < out.size(); ++k)
    change[k] = level[k] >= 129 ? change[k] * 8192 / level[k] : change[k] * 64;
  return change;
}

}  // namespace

TEST(OnsetEnvelope, FrameValuesMatchTheFixedPointStepsDoneOneByOne) {
  // Bursts over a quiet hum: rises, decays and the quiet between them.
  std::mt19937 gen(5);
  std::uniform_int_distribution<int> d(-12000, 12000);
  std::vector<std::int64_t> x(16384);
  for (std::size_t i = 0; i < x.size(); ++i) {
    x[i] = static_cast<std::int64_t>(300.0 * std::sin(0.05 * static_cast<double>(i)));
    const std::size_t inBurst = i % 5000;
    if (inBurst < 2000) x[i] += d(gen) * static_cast<std::int64_t>(2000 - inBurst) / 2000;
  }
  const std::int64_t frames = static_cast<std::int64_t>(16384.0 / 128.0 + 0.5);
  std::vector<std::int64_t> out(x.size());
  FrameEnvelope(x.data(), out.data(), static_cast<std::int64_t>(x.size()), frames, 44100.0);
  const std::vector<std::int64_t> expected = referenceEnvelope(x, frames);
  int nonZero = 0;
  for (std::int64_t k = 0; k < frames; ++k) {
    ASSERT_EQ(out[static_cast<std::size_t>(k)], expected[static_cast<std::size_t>(k)]) << "frame " << k;
    nonZero += expected[static_cast<std::size_t>(k)] != 0;
  }
  EXPECT_GT(nonZero, frames / 2);
}

TEST(OnsetEnvelope, RisesEndInOnsetsThatTheirFramesShare) {
  std::vector<std::int64_t> env = {0, 0, 10, 50, 100, 60, 20, 0, 0, 30, 40, 35, 0};
  std::vector<std::uint16_t> onsets(env.size(), 77);
  EXPECT_EQ(PickOnsets(env.data(), onsets.data(), 13, 26), 4);
  EXPECT_EQ(onsets, (std::vector<std::uint16_t>{0, 0, 128, 128, 128, 0, 0, 0, 0, 51, 51, 0, 0}));
  // Only weak onsets: none is remembered.
  std::vector<std::int64_t> weak = {0, 100, 0, 10, 20, 0};
  std::vector<std::uint16_t> t(6);
  EXPECT_EQ(PickOnsets(weak.data(), t.data(), 6, 26), 1);
  EXPECT_EQ(t, (std::vector<std::uint16_t>{0, 128, 0, 25, 25, 0}));
  EXPECT_EQ(PickOnsets(weak.data(), t.data(), 6, 200), 0);
}

TEST(BeatGridMarking, GridPositionsStrengthenNearOnsetsOrPlantWeakOnes) {
  std::vector<std::uint16_t> onsets(50, 0);
  onsets[11] = 40;  // clear onset beside grid position 10
  onsets[21] = 3;   // only a trace beside 20
  onsets[43] = 9;
  std::vector<std::uint16_t> second(50, 4);
  BeatGrid grid;
  grid.spacing = 10;
  grid.first = 10;
  grid.last = 30;
  EXPECT_EQ(MarkBeatGrid(onsets.data(), second.data(), 50, grid), 4);
  EXPECT_EQ(onsets[11], 340);
  EXPECT_EQ(onsets[21], 303);
  EXPECT_EQ(onsets[30], 301);  // nothing near 30
  EXPECT_EQ(onsets[29], 0);
  EXPECT_EQ(onsets[43], 309);  // the position after the last step (40)
  for (int i = 0; i < 10; ++i) EXPECT_EQ(onsets[i], 65535);  // leading zeros
  EXPECT_EQ(second[0], 0);
  for (int i = 1; i < 50; ++i) ASSERT_EQ(second[i], 0);
  // Without marking, an empty position stays empty.
  std::vector<std::uint16_t> quiet(20, 0);
  quiet[0] = 1;
  grid.first = 10;
  grid.last = 10;
  grid.markMissing = false;
  EXPECT_EQ(MarkBeatGrid(quiet.data(), nullptr, 20, grid), 0);
  EXPECT_EQ(quiet[10], 0);
}
