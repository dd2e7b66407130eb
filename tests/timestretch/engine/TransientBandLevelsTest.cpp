#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <vector>

#include "BitsOf.h"
#include "CSpectrum.h"
#include "CTransientDetector.h"
#include "SMSFrame.h"
#include "SpectralWindows.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// The band block of one frame worked out from its definition: a naive DFT
// of the Hamming-windowed frame (|X| at bins 0 and N/2, |X|^2 between),
// triangles over the mel edges, each rising from the edge below its centre
// and falling to the edge above, over the bins the edges' truncated
// positions give them.
std::vector<double> expectedBlock(const CTransientDetector& detector, const std::vector<float>& frame, int rate) {
  const auto N = static_cast<std::int64_t>(frame.size());
  const std::int64_t half = N / 2;
  std::vector<float> w(static_cast<std::size_t>(N));
  SpectralWindows::Make(N, SpectralWindows::kHamming, w.data());
  std::vector<double> power(static_cast<std::size_t>(half + 1));
  for (std::int64_t b = 0; b <= half; ++b) {
    std::complex<double> x = 0.0;
    for (std::int64_t i = 0; i < N; ++i)
      x += static_cast<double>(frame[i] * w[i]) * std::polar(1.0, -2.0 * kPi * static_cast<double>(b * i % N) / N);
    power[b] = (b == 0 || b == half) ? std::abs(x) : std::norm(x);
  }
  const int nyquist = rate / 2;
  const double hz = static_cast<double>(nyquist) / static_cast<double>(half);
  std::vector<double> edge(CTransientDetector::kEdgeCount);
  std::vector<std::int64_t> first(CTransientDetector::kEdgeCount);
  for (int k = 0; k < CTransientDetector::kEdgeCount; ++k) {
    edge[k] = detector.edgeFrequency(k);
    first[k] = static_cast<std::int64_t>(detector.edgeFrequency(k) * static_cast<float>(half) / static_cast<float>(nyquist));
  }
  std::vector<double> band(CTransientDetector::kBandCount, 0.0);
  for (int j = 0; j < CTransientDetector::kBandCount; ++j) {
    for (std::int64_t b = first[j]; b < std::min(first[j + 1], half); ++b)
      band[j] += (b * hz - edge[j]) / (edge[j + 1] - edge[j]) * power[b];
    for (std::int64_t b = first[j + 1]; b < std::min(first[j + 2], half); ++b)
      band[j] += (edge[j + 2] - b * hz) / (edge[j + 2] - edge[j + 1]) * power[b];
  }
  std::vector<double> block(CTransientDetector::kBandCount);
  const double strongest = *std::max_element(band.begin(), band.end());
  for (int j = 0; j < CTransientDetector::kBandCount; ++j)
    block[j] = band[j] > 0.0 ? 10.0 * std::log10(band[j] / strongest) : -100.0;
  block[0] = block[1] = block[2] = 0.0;
  for (int j = 0; j < CTransientDetector::kBandCount; ++j) {
    block[0] += band[j];
    if (j >= 26 && j <= 35) block[1] += band[j];
    if (j >= 1 && j <= 5) block[2] += band[j];
  }
  return block;
}

// The band block as the detector sums it, bin by bin in order of bins with
// the two bands that share a bin side by side, from the same power
// spectrum (the spectrum base's, with the detector's window) and the same
// triangle weights: what a faster summing must give bit for bit.
std::vector<float> binByBinBlock(const CTransientDetector& detector, const float* frame, int rate) {
  const std::int64_t N = detector.frameLength(), half = N / 2;
  std::vector<float> w(static_cast<std::size_t>(N)), power(static_cast<std::size_t>(half + 1));
  CSpectrum::MakeWindow(N, SpectralWindows::kHamming, w.data());
  CSpectrum spectrum;
  EXPECT_EQ(spectrum.WindowedPowerSpectrum(frame, w.data(), N, power.data(), N), 0);
  const int nyquist = rate / 2;
  const double hz = static_cast<double>(nyquist) / static_cast<double>(half);
  constexpr int kEdges = CTransientDetector::kEdgeCount, kBands = CTransientDetector::kBandCount;
  std::int64_t edgeBin[kEdges];
  for (int k = 0; k < kEdges; ++k)
    edgeBin[k] = static_cast<std::int64_t>(detector.edgeFrequency(k) * static_cast<float>(half) / static_cast<float>(nyquist));
  std::vector<double> rising(static_cast<std::size_t>(half + 1)), falling(static_cast<std::size_t>(half + 1));
  for (int j = 0; j + 1 < kEdges; ++j) {
    const double e0 = detector.edgeFrequency(j), e1 = detector.edgeFrequency(j + 1), d = e1 - e0;
    for (std::int64_t b = edgeBin[j]; b < std::min(edgeBin[j + 1], half); ++b) {
      rising[b] = 1.0 - (e1 - b * hz) / d;
      falling[b] = 1.0 - (b * hz - e0) / d;
    }
  }
  double band[kBands] = {};
  for (std::int64_t b = edgeBin[0]; b < std::min(edgeBin[1], half); ++b) band[0] += rising[b] * power[b];
  bool reachedTop = true;
  for (int j = 1; j < kBands; ++j) {
    if (edgeBin[j] >= half) {
      reachedTop = false;
      break;
    }
    for (std::int64_t b = edgeBin[j]; b < std::min(edgeBin[j + 1], half); ++b) {
      band[j - 1] += falling[b] * power[b];
      band[j] += rising[b] * power[b];
    }
  }
  if (reachedTop)
    for (std::int64_t b = edgeBin[kBands]; b < std::min(edgeBin[kBands + 1], half); ++b) band[kBands - 1] += falling[b] * power[b];
  double total = 0.0, strongest = 0.0, high = 0.0, low = 0.0;
  for (int j = 0; j < kBands; ++j) {
    total += band[j];
    strongest = std::max(strongest, band[j]);
    if (j >= 26 && j <= 35) high += band[j];
    if (j >= 1 && j <= 5) low += band[j];
  }
  std::vector<float> block(kBands);
  for (int j = 0; j < kBands; ++j)
    block[j] = band[j] > 0.0 ? static_cast<float>(10.0 * std::log10(band[j] / strongest)) : -100.0f;
  block[0] = static_cast<float>(total);
  block[1] = static_cast<float>(high);
  block[2] = static_cast<float>(low);
  return block;
}

TEST(CTransientDetector, BandBlockHasTheBitsOfTheBinByBinSums) {
  // At 11025 Hz the upper edges lie past the top bin: their bands are
  // never summed.
  for (int rate : {44100, 22050, 11025}) {
    SCOPED_TRACE(rate);
    std::mt19937 rng(rate);
    std::uniform_real_distribution<float> u(-20000.0f, 20000.0f);
    std::vector<float> ring(8192);
    for (float& v : ring) v = std::round(u(rng) * (1.0f + std::sin(0.01f * static_cast<float>(&v - ring.data()))) / 2.0f);
    CTransientDetector detector(ring.data(), rate, static_cast<std::int64_t>(ring.size()));
    const std::int64_t half = detector.frameLength() / 2;
    for (std::int64_t start : {std::int64_t{0}, std::int64_t{1000}}) {
      SMSFrame f;
      f.AttachBandBlock();
      ASSERT_EQ(detector.ComputeBandLevels(f, start + half), 0);
      const std::vector<float> want = binByBinBlock(detector, ring.data() + start, rate);
      for (int j = 0; j < CTransientDetector::kBandCount; ++j) ASSERT_EQ(BitsOf(f.bandBlock[j]), BitsOf(want[j])) << j;
    }
  }
}

TEST(CTransientDetector, BandEnergiesAndLevelsFollowTheMelTrianglesOverTheSpectrum) {
  for (int rate : {44100, 22050}) {
    SCOPED_TRACE(rate);
    // Tones at a few band centres and between them, over quiet noise.
    const std::int64_t L = 16384;
    std::vector<float> ring(static_cast<std::size_t>(L));
    std::mt19937 rng(4);
    std::uniform_real_distribution<float> u(-30.0f, 30.0f);
    for (std::int64_t i = 0; i < L; ++i) {
      const double t = static_cast<double>(i) / rate;
      ring[i] = static_cast<float>(6000.0 * std::sin(2 * kPi * 220.0 * t) + 3000.0 * std::sin(2 * kPi * 1234.5 * t) +
                                   1500.0 * std::sin(2 * kPi * 5170.0 * t) + 800.0 * std::sin(2 * kPi * 9000.0 * t)) +
                u(rng);
    }
    CTransientDetector detector(ring.data(), rate, L);
    const std::int64_t N = detector.frameLength();
    // One frame inside the ring, one across its end.
    for (std::int64_t centre : {std::int64_t{5000}, std::int64_t{100}}) {
      SCOPED_TRACE(centre);
      std::vector<float> frame(static_cast<std::size_t>(N));
      for (std::int64_t i = 0; i < N; ++i) frame[i] = ring[static_cast<std::size_t>(((centre - N / 2 + i) % L + L) % L)];
      SMSFrame f;
      f.AttachBandBlock();
      ASSERT_EQ(detector.ComputeBandLevels(f, centre), 0);
      const auto want = expectedBlock(detector, frame, rate);
      for (int j = 0; j < 3; ++j) EXPECT_NEAR(f.bandBlock[j], want[j], 2e-4 * want[j]) << j;
      for (int j = 3; j < CTransientDetector::kBandCount; ++j) EXPECT_NEAR(f.bandBlock[j], want[j], 2e-3) << j;
    }
  }
}

}  // namespace
