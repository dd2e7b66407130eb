#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "COnsetDetector.h"
#include "OnsetSignalChain.h"
#include "OnsetTestSignals.h"

using namespace onsettest;

namespace {

// A window of n cells that shifts toward the oldest on every input and is
// summed in full each time: the plain form the running sums replace.
class NaiveWindow {
 public:
  explicit NaiveWindow(std::size_t n) : cells_(n, 0) {}
  std::int64_t push(std::int64_t x) {
    for (std::size_t i = 0; i + 1 < cells_.size(); ++i) cells_[i] = cells_[i + 1];
    cells_.back() = x;
    return std::accumulate(cells_.begin(), cells_.end(), std::int64_t{0}) /
           static_cast<std::int64_t>(cells_.size());
  }

 private:
  std::vector<std::int64_t> cells_;
};

// Shifts an array one cell toward index 0; the newest cell becomes 0.
void shiftDown(std::vector<std::int64_t>& a) {
  std::rotate(a.begin(), a.begin() + 1, a.end());
  a.back() = 0;
}

// The whole chain written out sample by sample: literal delay lines, the
// three 130-cell frame arrays, a hop-cell ring, and one source read per
// sample frame. Returns the onset strength of frames 0 .. frames-1.
std::vector<std::int64_t> naiveOnsetStrength(ISeekable<float>& source, std::int64_t sampleCount,
                                             double fs, std::int64_t frames) {
  const std::int64_t hop = static_cast<std::int64_t>(fs / 344.0);
  const std::int64_t k = std::min<std::int64_t>(static_cast<std::int64_t>(451584.0 / fs), 1024);
  const std::int64_t attack = static_cast<std::int64_t>(14450688.0 / fs);
  const std::int64_t release = static_cast<std::int64_t>(505774.08 / fs);
  const std::int64_t total = sampleCount + 2048;
  const std::int64_t E = 128, F = 2, W = 130;

  std::vector<std::int64_t> curve(static_cast<std::size_t>(frames + W), 0);
  std::int64_t p = 0, a = 0, b = 0, s = 0;
  NaiveWindow smooth(static_cast<std::size_t>(5 * hop));
  std::vector<std::int64_t> ring(static_cast<std::size_t>(hop), 0);
  std::vector<std::int64_t> A(W, 0), B(W, 0), C(W, 0);
  NaiveWindow slow(256), slope(5);
  std::int64_t previousEnvelope = 0;
  source.seek(0);

  for (std::int64_t n = 0; n < (frames + W) * hop; ++n) {
    std::int64_t x = 0;
    if (n < 2048) {
      x = (n == 1 || n == 2) ? 4000 : 0;
    } else if (n < total) {
      float frame[2];
      if (source.read(frame, 1) == 1) x = static_cast<std::int64_t>(16384.0f * frame[0] + 16384.0f * frame[1]);
    }
    const std::int64_t y1 = x - ((13 * p) >> 4);
    p = x;
    const std::int64_t aNew = (((32 * y1 - a - b) * k) >> 10) + a;
    const std::int64_t bNew = ((aNew * k) >> 10) + b;
    std::int64_t y2 = y1 - (a >> 5);
    a = aNew;
    b = bNew;
    y2 = y2 < 0 ? -y2 : y2;
    const std::int64_t t = 8 * y2;
    const std::int64_t g = t > s ? attack : release;
    s = ((g * (t - s)) >> 13) + s;
    const std::int64_t y4 = s >> 3;
    const std::int64_t mean = smooth.push(y4);
    ring[static_cast<std::size_t>(n % hop)] = y4 > 0 ? mean : y4;

    if ((n + 1) % hop != 0) continue;
    const std::int64_t m = n / hop;
    curve[m] = std::accumulate(ring.begin(), ring.end(), std::int64_t{0}) / hop;
    shiftDown(A);
    shiftDown(B);
    shiftDown(C);
    const std::int64_t v = m < frames ? curve[m] / 2 : 0;
    A[W - 1] = v;
    const std::int64_t slowMean = slow.push(v);
    if (m >= E) {
      B[F] = slowMean;
      const std::int64_t j = m - E;
      const std::int64_t envelope = curve[j];
      curve[j] = envelope - previousEnvelope;
      previousEnvelope = envelope;
      const std::int64_t slopeMean = slope.push(curve[j]);
      if (j - F >= 0 && j - F < frames) C[0] = slopeMean;
    }
    if (m >= W) curve[m - W] = B[0] >= 129 ? (C[0] * 8192) / B[0] : C[0] * 64;
  }
  curve.resize(static_cast<std::size_t>(frames));
  return curve;
}

OnsetWork runChain(ISeekable<float>& source, std::int64_t samples, std::int64_t rate) {
  COnsetDetector det;
  OnsetWork work{};
  det.Init(work, OnsetAudioInfo{0, 0, samples, rate, 16, 0, samples});
  onset::runSignalChain(source, work);
  return work;
}

Stereo16 mixedSignal(std::size_t frames) {
  Stereo16 s = silence(frames);
  addClick(s, frames / 5, 0.7);
  addNoiseBurst(s, frames / 2, 0.1, 0.02, 5, 0.5);
  addClick(s, frames - 700, 0.9);
  return s;
}

}  // namespace

TEST(OnsetSignalChain, RunningSumMovingMeanMatchesTheNaiveWindow) {
  std::mt19937 gen(11);
  std::uniform_int_distribution<std::int64_t> dist(-5000000, 5000000);
  for (std::size_t n : {1u, 5u, 256u, 640u}) {
    onset::MovingMean running(n);
    onset::PositiveMovingMean positive(n);
    NaiveWindow naive(n);
    for (int i = 0; i < 5000; ++i) {
      const std::int64_t x = (i % 97 < 10) ? 0 : dist(gen);
      const std::int64_t expected = naive.push(x);
      ASSERT_EQ(running.step(x), expected) << n << " " << i;
      ASSERT_EQ(positive.step(x), x > 0 ? expected : x) << n << " " << i;
    }
  }
}

TEST(OnsetSignalChain, BlockReadingChainEqualsTheSampleBySampleChain) {
  for (const auto& [samples, rate] : std::vector<std::pair<std::int64_t, std::int64_t>>{
           {20000, 44100}, {20000 + 77, 44100}, {15013, 48000}, {9000, 22050}}) {
    SCOPED_TRACE(std::to_string(samples) + " @ " + std::to_string(rate));
    const Stereo16 signal = mixedSignal(static_cast<std::size_t>(samples));
    MemorySource fast(signal), slow(signal);
    OnsetWork work = runChain(fast, samples, rate);
    const auto expected = naiveOnsetStrength(slow, samples, static_cast<double>(rate), work.analysisFrames);
    ASSERT_EQ(static_cast<std::int64_t>(expected.size()), work.analysisFrames);
    for (std::int64_t f = 0; f < work.analysisFrames; ++f) ASSERT_EQ(work.curve[f], expected[f]) << f;
    // Whole blocks per call, not a frame per call.
    EXPECT_LE(fast.reads, 3);
    COnsetDetector().Release(work);
  }
}

TEST(OnsetSignalChain, FrameStepAloneEqualsTheChainsFrameStep) {
  // A hand-made envelope: a step up and a slow decay.
  const std::int64_t frames = 400;
  std::vector<std::int64_t> curve(frames + onset::kChainDelayFrames, 0);
  for (std::int64_t m = 100; m < static_cast<std::int64_t>(curve.size()); ++m) curve[m] = 5000 - 10 * (m - 100);
  for (auto& v : curve) v = std::max<std::int64_t>(v, 0);
  std::vector<std::int64_t> envelope = curve;
  onset::envelopeToOnsetStrength(curve.data(), frames);
  // Frame i: mean slope over i-2..i+2 against the mean half envelope over
  // i-127..i+128, in Q13 (or times 64 below 129).
  for (std::int64_t i = 0; i < frames; ++i) {
    std::int64_t slopeSum = 0;
    for (std::int64_t f = i - 2; f <= i + 2; ++f) {
      if (f >= 0) slopeSum += envelope[f] - (f > 0 ? envelope[f - 1] : 0);
    }
    std::int64_t halfSum = 0;
    for (std::int64_t f = i - 127; f <= i + 128; ++f) {
      if (f >= 0 && f < frames) halfSum += envelope[f] / 2;
    }
    const std::int64_t slopeMean = slopeSum / 5;
    const std::int64_t halfMean = halfSum / 256;
    const std::int64_t expected = halfMean >= 129 ? slopeMean * 8192 / halfMean : slopeMean * 64;
    ASSERT_EQ(curve[i], expected) << i;
  }
}

TEST(OnsetSignalChain, SilentCurveHasNoPeaks) {
  std::vector<std::int64_t> curve(500, 0);
  std::vector<std::int16_t> strength(500, 7);
  std::vector<std::int64_t> list(kOnsetPeakListSize, 9);
  std::int64_t count = 5;
  EXPECT_EQ(onset::pickPeaks(curve.data(), strength.data(), list.data(), count, 500, 26), 0);
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(std::all_of(strength.begin(), strength.end(), [](std::int16_t v) { return v == 0; }));
}

TEST(OnsetSignalChain, PeaksAreScaledToTheLargestAndTheirRisingEdgesMarked) {
  //                              0  1   2    3    4   5  6  7   8    9  10 11
  std::vector<std::int64_t> curve{0, 10, 500, 1000, 600, 20, 0, 0, 100, 200, 30, 0};
  std::vector<std::int16_t> strength(curve.size());
  std::vector<std::int64_t> list(kOnsetPeakListSize);
  std::int64_t count = 0;
  const std::int64_t first = onset::pickPeaks(curve.data(), strength.data(), list.data(), count,
                                              static_cast<std::int64_t>(curve.size()), 26);
  EXPECT_EQ(first, 3);
  const std::vector<std::int16_t> expected{0, -1, -1, 128, 0, 0, 0, 0, -1, 25, 0, 0};
  EXPECT_EQ(strength, expected);
  EXPECT_EQ(count, 0);  // the second peak (25) is not above 26
}

TEST(OnsetSignalChain, PeakListStopsAtItsCapacity) {
  const std::int64_t peaks = 1100;
  std::vector<std::int64_t> curve;
  for (std::int64_t i = 0; i < peaks; ++i) {
    curve.insert(curve.end(), {0, 500, 1000, 0});
  }
  std::vector<std::int16_t> strength(curve.size());
  std::vector<std::int64_t> list(kOnsetPeakListSize + 1, -7);  // one guard entry
  std::int64_t count = 0;
  testing::internal::CaptureStdout();
  const std::int64_t first = onset::pickPeaks(curve.data(), strength.data(), list.data(), count,
                                              static_cast<std::int64_t>(curve.size()), 26);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(first, 2);
  EXPECT_EQ(count, static_cast<std::int64_t>(kOnsetPeakListSize));
  // Entries hold the 2nd to the 1025th peak, in order; later ones are dropped.
  for (std::size_t e = 0; e < kOnsetPeakListSize; ++e) ASSERT_EQ(list[e], 4 * static_cast<std::int64_t>(e + 1) + 2);
  EXPECT_EQ(list[kOnsetPeakListSize], -7);
  // Peaks 1026 to 1100 found no entry: said once, not once for each.
  EXPECT_EQ(printed, "interval buffer overflow!\n");
  // Strengths are still written for every peak.
  EXPECT_EQ(strength[4 * (peaks - 1) + 2], 128);
}
