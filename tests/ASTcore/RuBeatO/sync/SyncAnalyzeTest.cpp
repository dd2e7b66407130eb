// Sync analysis: quiet points between beats, the spectrogram and activity
// curve it rests on, its empty and degenerate inputs, and who frees what.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <vector>

#include "syncAnalyze.h"

namespace {

constexpr int kRate = 44100;
constexpr int kMargin = 661;  // 0.015 s at 44100 Hz

std::vector<std::int16_t> noise(int count, unsigned seed, int amplitude = 8000) {
  std::mt19937 gen(seed);
  std::uniform_int_distribution<int> dist(-amplitude, amplitude);
  std::vector<std::int16_t> out(count);
  for (auto& v : out) v = static_cast<std::int16_t>(dist(gen));
  return out;
}

// Runs syncAnalyze and returns its points, freeing the array it hands out.
std::vector<std::uint32_t> syncPoints(const std::vector<std::int16_t>& samples,
                                      const std::vector<std::int32_t>& positions, int mode = 1) {
  std::uint32_t* result = nullptr;
  std::uint32_t count = 12345;
  syncAnalyze(result, count, samples.data(), static_cast<int>(samples.size()), positions.data(),
              static_cast<int>(positions.size()), kRate, mode);
  std::vector<std::uint32_t> out(result, result + count);
  if (count == 0) {
    EXPECT_EQ(result, nullptr);
  }
  syncRelease(result);
  EXPECT_EQ(result, nullptr);
  return out;
}

// A 4/4 bar at 120 bpm: broadband noise with a 0.1 s silent gap centred
// between each pair of beats.
struct GappedBar {
  GappedBar() : samples(noise(4 * 22050, 11)) {
    for (int beat = 0; beat < 3; ++beat) {
      const int centre = beat * 22050 + 11025;
      gaps.push_back({centre - 2205, centre + 2205});
      for (int s = centre - 2205; s < centre + 2205; ++s) samples[s] = 0;
    }
  }
  std::vector<std::int16_t> samples;
  std::vector<std::int32_t> beats = {0, 22050, 44100, 66150};
  std::vector<std::pair<int, int>> gaps;
};

TEST(SyncAnalyze, SyncPointsOfANoisyBarFallInsideTheSilentGaps) {
  const GappedBar bar;
  for (int mode : {1, 0}) {
    SCOPED_TRACE(mode);
    const auto points = syncPoints(bar.samples, bar.beats, mode);
    ASSERT_EQ(points.size(), 3u);
    for (int i = 0; i < 3; ++i) {
      EXPECT_GE(static_cast<int>(points[i]), bar.gaps[i].first) << i;
      EXPECT_LT(static_cast<int>(points[i]), bar.gaps[i].second) << i;
    }
  }
}

TEST(SyncAnalyze, EqualMinimaTakeTheEarliestSampleOfTheRange) {
  // A tone whose period divides the hop makes every fully inside frame
  // identical, so the whole evaluated stretch ties.
  std::vector<std::int16_t> tone(kRate);
  for (int s = 0; s < kRate; ++s) tone[s] = static_cast<std::int16_t>(9000 * std::sin(2 * M_PI * s / 32.0));
  EXPECT_EQ(syncPoints(tone, {10000, 20000, 30000}), (std::vector<std::uint32_t>{10000 + kMargin, 20000 + kMargin}));
  // Silence ties everywhere too.
  const std::vector<std::int16_t> silence(kRate, 0);
  EXPECT_EQ(syncPoints(silence, {12000, 18000}, 0), (std::vector<std::uint32_t>{12000 + kMargin}));
}

TEST(SyncAnalyze, PositionsCloserThanTwoMarginsGiveTheFirstPlusTheMargin) {
  const GappedBar bar;
  EXPECT_EQ(syncPoints(bar.samples, {30000, 30000 + 2 * kMargin}),
            (std::vector<std::uint32_t>{30000 + kMargin}));
  // Positions that do not increase get the same answer instead of a search.
  EXPECT_EQ(syncPoints(bar.samples, {40000, 35000}), (std::vector<std::uint32_t>{40000 + kMargin}));
}

TEST(SyncAnalyze, RangesBeyondTheRecordingAreCutToIt) {
  const GappedBar bar;
  const int n = static_cast<int>(bar.samples.size());
  const auto points = syncPoints(bar.samples, {66150, n + 50000, n + 90000});
  ASSERT_EQ(points.size(), 2u);
  EXPECT_GE(static_cast<int>(points[0]), 66150 + kMargin);
  EXPECT_LT(static_cast<int>(points[0]), n);
  EXPECT_EQ(points[1], static_cast<std::uint32_t>(n + 50000 + kMargin));
}

TEST(SyncAnalyze, TooLittleInputGivesAnEmptyResult) {
  const GappedBar bar;
  EXPECT_TRUE(syncPoints(bar.samples, {1000}).empty());
  EXPECT_TRUE(syncPoints(bar.samples, {}).empty());
  EXPECT_TRUE(syncPoints({}, {0, 1000}).empty());
  EXPECT_TRUE(syncPoints({7}, {0, 1000}).empty());
  // 0.4 s: every frame lies within the border at one end or the other.
  const std::vector<std::int16_t> shortBar(bar.samples.begin(), bar.samples.begin() + 2 * 139 * 64);
  EXPECT_TRUE(syncPoints(shortBar, {0, 5000, 10000}).empty());
  // One more frame is enough for an answer.
  const std::vector<std::int16_t> longer(bar.samples.begin(), bar.samples.begin() + 2 * 139 * 64 + 1);
  EXPECT_EQ(syncPoints(longer, {0, 5000, 10000}).size(), 2u);
}

TEST(SyncAnalyze, ASecondCallReleasesTheFirstResult) {
  // Leak checking fails this test if the first array is not freed.
  const GappedBar bar;
  std::uint32_t* result = nullptr;
  std::uint32_t count = 0;
  syncAnalyze(result, count, bar.samples.data(), static_cast<int>(bar.samples.size()), bar.beats.data(), 4,
              kRate, 1);
  ASSERT_EQ(count, 3u);
  ASSERT_NE(result, nullptr);
  syncAnalyze(result, count, bar.samples.data(), static_cast<int>(bar.samples.size()), bar.beats.data(), 1,
              kRate, 1);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(result, nullptr);
  syncRelease(result);
}

TEST(SyncAnalyze, MisuseThrowsAndLeavesTheOutputAlone) {
  const GappedBar bar;
  std::uint32_t* result = nullptr;
  std::uint32_t count = 0;
  const int n = static_cast<int>(bar.samples.size());
  syncAnalyze(result, count, bar.samples.data(), n, bar.beats.data(), 4, kRate, 1);
  std::uint32_t* const kept = result;
  const std::int32_t negative[] = {-5, 1000};
  EXPECT_THROW(syncAnalyze(result, count, bar.samples.data(), n, negative, 2, kRate, 1), std::domain_error);
  EXPECT_THROW(syncAnalyze(result, count, bar.samples.data(), n, bar.beats.data(), 4, 0, 1), std::domain_error);
  EXPECT_THROW(syncAnalyze(result, count, nullptr, n, bar.beats.data(), 4, kRate, 1), std::domain_error);
  EXPECT_THROW(syncAnalyze(result, count, bar.samples.data(), -1, bar.beats.data(), 4, kRate, 1),
               std::domain_error);
  EXPECT_THROW(syncAnalyze(result, count, bar.samples.data(), n, nullptr, 2, kRate, 1), std::domain_error);
  EXPECT_EQ(result, kept);
  EXPECT_EQ(count, 3u);
  syncRelease(result);
}

// ---- Spectrogram and activity curve -------------------------------------------

double bartlettHann(int i, int n) {
  const double x = static_cast<double>(i) / (n - 1) - 0.5;
  return 0.62 - 0.48 * std::fabs(x) + 0.38 * std::cos(6.28318 * x);
}

TEST(SyncSpectrogram, FramesAreCentredWindowedMagnitudeSpectra) {
  const int n = 64, hop = 16, count = 203;
  const auto samples = noise(count, 5);
  double* mags = nullptr;
  std::uint32_t bins = 0, frames = 0;
  computeSpectrogram(mags, bins, frames, samples.data(), count, n, hop);
  ASSERT_EQ(bins, 32u);
  ASSERT_EQ(frames, 13u);  // ceil(203 / 16)
  for (std::uint32_t t = 0; t < frames; ++t) {
    std::vector<long double> frame(n);
    for (int i = 0; i < n; ++i) {
      const int s = static_cast<int>(t) * hop - n / 2 + i;
      frame[i] = (s >= 0 && s < count) ? samples[s] * bartlettHann(i, n) : 0.0;
    }
    for (int k = 0; k < n / 2; ++k) {
      long double re = 0, im = 0;
      for (int i = 0; i < n; ++i) {
        re += frame[i] * std::cos(2 * M_PIl * i * k / n);
        im += frame[i] * std::sin(2 * M_PIl * i * k / n);
      }
      if (k == 0) {
        // DC and Nyquist share bin 0.
        long double nyquist = 0;
        for (int i = 0; i < n; ++i) nyquist += (i % 2 ? -frame[i] : frame[i]);
        im = nyquist;
      }
      const double expected = static_cast<double>(std::sqrt(re * re + im * im));
      EXPECT_NEAR(mags[t * bins + k], expected, 1e-9 * (1 + expected)) << t << " " << k;
    }
  }
  syncRelease(mags);
  EXPECT_THROW(computeSpectrogram(mags, bins, frames, samples.data(), count, 48, hop), std::domain_error);
  EXPECT_THROW(computeSpectrogram(mags, bins, frames, samples.data(), count, n, 0), std::domain_error);
  EXPECT_EQ(mags, nullptr);
}

// The curve recomputed from the spectrogram with two-pass statistics.
std::vector<double> referenceCurve(const std::vector<std::int16_t>& samples, int n, int hop, int mode, int k,
                                   int border) {
  double* mags = nullptr;
  std::uint32_t bins = 0, frames = 0;
  computeSpectrogram(mags, bins, frames, samples.data(), static_cast<int>(samples.size()), n, hop);
  std::vector<double> curve(frames, 0.0);
  double largest = -1;
  for (int t = border; t < static_cast<int>(frames) - border; ++t) {
    double value = 0;
    if (mode == 1) {
      for (int f = t - k; f < t + k; ++f) {
        double mean = 0, sq = 0;
        for (std::uint32_t b = 0; b < bins; ++b) mean += mags[f * bins + b] / bins;
        for (std::uint32_t b = 0; b < bins; ++b) sq += (mags[f * bins + b] - mean) * (mags[f * bins + b] - mean);
        value += std::sqrt(sq / bins);
      }
    } else {
      for (std::uint32_t b = 0; b < bins; ++b) {
        double mean = 0, sq = 0;
        for (int f = t - k; f < t + k; ++f) mean += mags[f * bins + b] / (2 * k);
        for (int f = t - k; f < t + k; ++f) sq += (mags[f * bins + b] - mean) * (mags[f * bins + b] - mean);
        if (mean != 0) value += (sq / (2 * k)) / mean;
      }
    }
    curve[t] = value;
    largest = std::max(largest, value);
  }
  for (int t = 0; t < border; ++t) curve[t] = curve[frames - 1 - t] = largest + 1;
  syncRelease(mags);
  return curve;
}

TEST(SyncActivityCurve, ModesMatchTheirStatisticsAndBordersStayAboveEveryValue) {
  auto samples = noise(1500, 9);
  for (int s = 600; s < 800; ++s) samples[s] = 0;
  // K = trunc(100/64 + 1.5) = 3 neighbours each side; B = trunc(150/16 + 1.5) = 10.
  for (int mode : {1, 2}) {
    SCOPED_TRACE(mode);
    double* curve = nullptr;
    std::uint32_t count = 0;
    computeActivityCurve(curve, count, samples.data(), 1500, 64, 16, mode, 100.0f, 150.0f);
    const auto expected = referenceCurve(samples, 64, 16, mode, 3, 10);
    ASSERT_EQ(count, expected.size());
    for (std::uint32_t t = 0; t < count; ++t) EXPECT_NEAR(curve[t], expected[t], 1e-9 * (1 + expected[t])) << t;
    syncRelease(curve);
  }
  double* curve = nullptr;
  std::uint32_t count = 0;
  EXPECT_THROW(computeActivityCurve(curve, count, samples.data(), 1500, 64, 16, 1, -1.0f, 150.0f),
               std::domain_error);
  EXPECT_THROW(computeActivityCurve(curve, count, samples.data(), 1500, 64, 16, 1, 100.0f, NAN),
               std::domain_error);
}

TEST(SyncActivityCurve, CurveAtTheExportFramingMatchesTheFullSpectrogram) {
  // The framing the sync analysis uses: 2048-sample frames every 64 samples,
  // K = 2 and B = 139 at 44100 Hz. Half a second leaves 67 evaluated frames,
  // an odd number, so the frames are not all worked on in full groups.
  auto samples = noise(22050, 21);
  for (int s = 9000; s < 12000; ++s) samples[s] /= 16;
  for (int mode : {1, 0}) {
    SCOPED_TRACE(mode);
    double* curve = nullptr;
    std::uint32_t count = 0;
    computeActivityCurve(curve, count, samples.data(), 22050, 2048, 64, mode, 1323.0f, 8820.0f);
    const auto expected = referenceCurve(samples, 2048, 64, mode, 2, 139);
    ASSERT_EQ(count, expected.size());
    ASSERT_EQ(count, 345u);
    for (std::uint32_t t = 0; t < count; ++t) EXPECT_NEAR(curve[t], expected[t], 1e-9 * (1 + expected[t])) << t;
    syncRelease(curve);
  }
}

TEST(SyncActivityCurve, NormalisationSubtractsTheSmallestAndDividesByTheLargest) {
  // (c - min) / max: the quietest value becomes 0 and the loudest
  // 1 - min / max, not 1.
  std::vector<double> curve = {3.0, 5.0, 4.0, 8.0};
  normalizeActivityCurve(curve.data(), 4);
  EXPECT_EQ(curve, (std::vector<double>{0.0, 0.25, 0.125, 0.625}));
  std::vector<double> flat(5, 2.5);
  normalizeActivityCurve(flat.data(), 5);
  for (double v : flat) EXPECT_EQ(v, 0.0);
  // Nothing measured (no value above 0): all ties at 0.
  std::vector<double> unmeasured = {-1.0, -1.0, 0.0};
  normalizeActivityCurve(unmeasured.data(), 3);
  for (double v : unmeasured) EXPECT_EQ(v, 0.0);
  normalizeActivityCurve(nullptr, 3);
}

}  // namespace
