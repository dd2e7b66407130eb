// The rough spreads and their bounds against the exact spreads, worked out
// another way: the double-precision spectrogram, and a two-pass mean and
// deviation of each frame's magnitudes. A bound that fails to hold would let
// the sync analysis skip a frame that decides a point.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "RoughSpreads.h"
#include "syncAnalyze.h"

namespace {

constexpr int kLength = 2048;
constexpr int kHop = 64;

struct Signal {
  std::string name;
  std::vector<std::int16_t> samples;
};

std::int16_t clip(double v) { return static_cast<std::int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0))); }

std::vector<Signal> signals() {
  const int n = 30000;
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<Signal> out;
  Signal noise{"noise", std::vector<std::int16_t>(n)};
  for (auto& v : noise.samples) v = clip(uniform(gen) * 20000);
  out.push_back(noise);
  Signal sweep{"a rising tone", std::vector<std::int16_t>(n)};
  for (int i = 0; i < n; ++i) sweep.samples[i] = clip(12000 * std::sin(2 * M_PI * (100.0 + 0.2 * i) * i / 44100));
  out.push_back(sweep);
  // Clicks and digital silence: frames whose neighbours see a click that
  // they do not, and frames of nothing but zeros.
  Signal clicks{"clicks in silence", std::vector<std::int16_t>(n, 0)};
  for (int i = 0; i < n; i += 3001) clicks.samples[i] = 32767;
  out.push_back(clicks);
  Signal square{"a clipped square after a whisper", std::vector<std::int16_t>(n)};
  for (int i = 0; i < n; ++i) {
    square.samples[i] = i < n / 2 ? static_cast<std::int16_t>(std::lround(uniform(gen) * 2))
                                  : static_cast<std::int16_t>((i / 37) % 2 ? 32767 : -32768);
  }
  out.push_back(square);
  Signal hits{"hits over a chord", std::vector<std::int16_t>(n)};
  for (int i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / 44100;
    const double hit = std::exp(-std::fmod(t, 0.1) * 60.0) * uniform(gen) * 0.6;
    hits.samples[i] = clip((hit + 0.1 * std::sin(2 * M_PI * 220 * t)) * 30000);
  }
  out.push_back(hits);
  return out;
}

// The exact spread of every frame: the double-precision spectrogram's
// magnitudes, their mean, then the mean square of their deviations.
std::vector<double> exactSpreads(const std::vector<std::int16_t>& samples) {
  double* magnitudes = nullptr;
  std::uint32_t bins = 0, frames = 0;
  computeSpectrogram(magnitudes, bins, frames, samples.data(), static_cast<int>(samples.size()), kLength, kHop);
  std::vector<double> spreads(frames);
  for (std::uint32_t t = 0; t < frames; ++t) {
    const double* m = magnitudes + static_cast<std::size_t>(t) * bins;
    double mean = 0;
    for (std::uint32_t k = 0; k < bins; ++k) mean += m[k];
    mean /= bins;
    double squares = 0;
    for (std::uint32_t k = 0; k < bins; ++k) squares += (m[k] - mean) * (m[k] - mean);
    spreads[t] = std::sqrt(squares / bins);
  }
  syncRelease(magnitudes);
  return spreads;
}

}  // namespace

TEST(RoughSpreads, EveryFrameLiesWithinItsBoundTransformedOrMixed) {
  for (const Signal& s : signals()) {
    SCOPED_TRACE(s.name);
    const std::vector<double> exact = exactSpreads(s.samples);
    const int frames = static_cast<int>(exact.size());
    RoughSpreads rough(s.samples.data(), static_cast<int>(s.samples.size()), kLength, kHop);
    std::vector<RoughSpread> own(frames);
    std::vector<std::vector<float>> spectra(frames, std::vector<float>(kLength));
    for (int t = 0; t < frames; ++t) {
      // Either way of taking the spectrum, alike.
      if (t % 2 == 0) {
        own[t] = rough.transformed(t);
        std::copy(rough.spectrum(), rough.spectrum() + kLength, spectra[t].begin());
      } else {
        own[t] = rough.transformed(t, spectra[t].data());
      }
      ASSERT_LE(std::fabs(own[t].value - exact[t]), own[t].bound) << "frame " << t;
    }
    double widest = 0;
    int mixedCount = 0;
    for (int t = 3; t + 3 < frames; ++t) {
      const float* neighbours[4];
      RoughSpread spreads[4];
      for (int i = 0; i < MidFrameBound::kNeighbours; ++i) {
        neighbours[i] = spectra[t + MidFrameBound::kOffsets[i]].data();
        spreads[i] = own[t + MidFrameBound::kOffsets[i]];
      }
      const RoughSpread mixed = rough.between(t, neighbours, spreads);
      ASSERT_LE(std::fabs(mixed.value - exact[t]), mixed.bound) << "frame " << t;
      if (exact[t] > 0) widest = std::max(widest, mixed.bound / exact[t]);
      ++mixedCount;
    }
    EXPECT_GT(mixedCount, 400);
    // Wide enough to hold, narrow enough to tell a loud frame from a quiet
    // one where the sound is steady.
    if (s.name == "noise" || s.name == "a rising tone") {
      EXPECT_LT(widest, 0.05);
    }
  }
}

TEST(RoughSpreads, SilenceHasNoSpreadAndNoBound) {
  const std::vector<std::int16_t> silence(10000, 0);
  RoughSpreads rough(silence.data(), static_cast<int>(silence.size()), kLength, kHop);
  const RoughSpread own = rough.transformed(40);
  EXPECT_EQ(own.value, 0.0);
  EXPECT_EQ(own.bound, 0.0);
  const std::vector<float> zeros(kLength, 0.0f);
  const float* neighbours[4] = {zeros.data(), zeros.data(), zeros.data(), zeros.data()};
  const RoughSpread spreads[4] = {own, own, own, own};
  const RoughSpread mixed = rough.between(40, neighbours, spreads);
  EXPECT_EQ(mixed.value, 0.0);
  EXPECT_EQ(mixed.bound, 0.0);
}
