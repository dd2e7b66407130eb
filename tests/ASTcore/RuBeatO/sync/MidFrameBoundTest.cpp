// The distance bound against the very quantity it bounds: the root mean
// square over the bins of the difference between a frame's exact spectrum
// and the mix of its neighbours' exact spectra, formed here with complex
// arithmetic in double precision from a plain DFT-free route (the package's
// double transform of each frame, turned by std::polar).

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <vector>

#include "FftPackage.h"
#include "MidFrameBound.h"

namespace {

constexpr int kLength = 2048;
constexpr int kHop = 64;
constexpr int kBins = kLength / 2;

// The packed spectrum of frame t as complex bins 0 .. N/2 (DC and Nyquist
// apart), the window written out once more.
std::vector<std::complex<double>> spectrumOf(const std::vector<std::int16_t>& x, int t) {
  std::vector<double> frame(kLength, 0.0);
  for (int i = 0; i < kLength; ++i) {
    const long s = static_cast<long>(t) * kHop - kLength / 2 + i;
    const double u = i / static_cast<double>(kLength - 1) - 0.5;
    const double w = 0.62 - 0.48 * std::fabs(u) + 0.38 * std::cos(6.28318 * u);
    frame[i] = (s >= 0 && s < static_cast<long>(x.size())) ? x[s] * w : 0.0;
  }
  Fft::WorkArrays<double> work(kLength);
  Fft::rdft(kLength, 1, frame.data(), frame.size(), work);
  std::vector<std::complex<double>> bins(kBins + 1);
  bins[0] = frame[0];
  bins[kBins] = frame[1];
  for (int k = 1; k < kBins; ++k) bins[k] = {frame[2 * k], frame[2 * k + 1]};
  return bins;
}

// sqrt(sum over the half spectrum's bins of |own - mix|^2 / bins), bin 0
// holding DC and Nyquist together as the spread sees them.
double mixDistance(const std::vector<std::int16_t>& x, int t) {
  const std::vector<std::complex<double>> own = spectrumOf(x, t);
  std::vector<std::complex<double>> mix(kBins + 1, 0.0);
  for (int i = 0; i < MidFrameBound::kNeighbours; ++i) {
    const int o = MidFrameBound::kOffsets[i];
    const std::vector<std::complex<double>> other = spectrumOf(x, t + o);
    for (int k = 0; k <= kBins; ++k) {
      mix[k] += static_cast<double>(MidFrameBound::kWeights[i]) * other[k] *
                std::polar(1.0, 2 * M_PI * o * kHop * k / kLength);
    }
  }
  double sum = std::norm(own[0] - mix[0]) + std::norm(own[kBins] - mix[kBins]);
  for (int k = 1; k < kBins; ++k) sum += std::norm(own[k] - mix[k]);
  return std::sqrt(sum / kBins);
}

}  // namespace

TEST(MidFrameBound, BoundsTheMixsDistanceAndStaysCloseToItOnNoise) {
  std::mt19937 gen(3);
  std::uniform_int_distribution<int> value(-20000, 20000);
  std::vector<std::int16_t> noise(20000);
  for (auto& v : noise) v = static_cast<std::int16_t>(value(gen));
  const MidFrameBound bound(noise.data(), static_cast<int>(noise.size()), kLength, kHop);
  // Frames reaching past both ends of the recording (313 frames) as well
  // as inside it; those inside lie within a small factor of the distance.
  for (int t : {3, 5, 17, 40, 120, 200, 290, 305, 309, 312}) {
    const double actual = mixDistance(noise, t);
    const double d = bound.distance(t);
    EXPECT_GE(d, actual) << "frame " << t;
    if (t >= 16 && t <= 296) {
      EXPECT_LE(d, 3.0 * actual) << "frame " << t;
    }
  }
}

TEST(MidFrameBound, HoldsForASingleClickAnywhereInTheFrames) {
  // A click is the worst case of a weight: the whole distance comes from
  // one sample, so the bound must cover the largest weight of its block.
  // Frame 32 covers samples 1024 .. 3071, its neighbours 832 .. 3263.
  constexpr int t = 32;
  for (int at : {-192, -150, -1, 0, 31, 64, 700, 1023, 1024, 1060, 2000, 2047, 2048, 2100, 2239}) {
    std::vector<std::int16_t> x(4096, 0);
    x[static_cast<std::size_t>(1024 + at)] = 30000;
    const MidFrameBound bound(x.data(), static_cast<int>(x.size()), kLength, kHop);
    const double actual = mixDistance(x, t);
    EXPECT_GE(bound.distance(t), actual) << "click at " << at;
    EXPECT_GT(actual, 0.0) << "click at " << at;
  }
}

TEST(MidFrameBound, RefusesFramingsItCannotBound) {
  const std::vector<std::int16_t> x(10000, 1);
  // An odd hop turns the Nyquist term by half turns; in a frame of fewer
  // than 8 hops samples turned round from both ends could meet on one
  // position; a frame length that is not a multiple of the hop has no
  // whole blocks.
  EXPECT_THROW(MidFrameBound(x.data(), 10000, 2048, 63), std::domain_error);
  EXPECT_THROW(MidFrameBound(x.data(), 10000, 256, 64), std::domain_error);
  EXPECT_THROW(MidFrameBound(x.data(), 10000, 2048, 48), std::domain_error);
  EXPECT_THROW(MidFrameBound(x.data(), 10000, 2048, 0), std::domain_error);
  EXPECT_NO_THROW(MidFrameBound(x.data(), 10000, 512, 64));
}
