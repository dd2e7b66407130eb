// The log-frequency band bank against a dense weight matrix worked out in
// double precision from the band geometry (each bin's weight in band j is
// its distance |pos - j| on the band axis, within one band of j), and against
// the table-free band function.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <vector>

#include "SparseFilterBank.h"

namespace {

using Numeric::SparseFilterBank;

// Dense nBands x nBins weights straight from the band geometry.
std::vector<std::vector<double>> denseReference(int32_t nBands, int32_t nBins, int32_t fftSize,
                                                double fs, double fMin, double fMax) {
  std::vector<std::vector<double>> w(nBands, std::vector<double>(nBins, 0.0));
  const double binHz = fs / fftSize;
  const int32_t first = std::max(static_cast<int32_t>(fMin / binHz), 1);
  const int32_t last = std::min(static_cast<int32_t>(std::floor(fMax / binHz + 0.5)), nBins);
  for (int32_t b = first; b < last; ++b) {
    const double pos = std::log(b * binHz / fMin) / std::log(fMax / fMin) * nBands - 0.5;
    for (int32_t j = 0; j < nBands; ++j) {
      if (std::fabs(pos - j) < 1.0) w[j][b] = std::fabs(pos - j);
    }
  }
  return w;
}

std::vector<float> randomSpectrum(int32_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> dist(0.0f, 2.0f);
  std::vector<float> x(n);
  for (float& v : x) v = dist(gen);
  return x;
}

TEST(SparseFilterBank, BandValuesMatchTheDenseBandGeometry) {
  // 125 Hz bins from 250 to 2000 Hz: the lowest bin sits half a band below
  // band 0, so every bin lies within one band of the two it feeds.
  const int32_t nBands = 6, nBins = 32, fftSize = 64;
  const SparseFilterBank bank(nBands, nBins, fftSize, 8000.0f, 250.0f, 2000.0f);
  const auto ref = denseReference(nBands, nBins, fftSize, 8000.0, 250.0, 2000.0);
  const std::vector<float> in = randomSpectrum(nBins, 1);
  std::vector<float> out(nBands, -1.0f);
  bank.apply(out.data(), in.data());
  for (int32_t j = 0; j < nBands; ++j) {
    double expected = 0.0;
    for (int32_t b = 0; b < nBins; ++b) expected += ref[j][b] * in[b];
    EXPECT_NEAR(out[j], expected, 1e-4) << j;
  }
}

TEST(SparseFilterBank, EachBandStoresExactlyItsPositiveRunOfBins) {
  const int32_t nBands = 6, nBins = 32, fftSize = 64;
  const SparseFilterBank bank(nBands, nBins, fftSize, 8000.0f, 250.0f, 2000.0f);
  const auto ref = denseReference(nBands, nBins, fftSize, 8000.0, 250.0, 2000.0);
  int32_t offset = 0;
  for (int32_t j = 0; j < nBands; ++j) {
    const SparseFilterBank::Band& band = bank.bands()[j];
    EXPECT_EQ(band.weightOffset, offset) << j;
    for (int32_t b = 0; b < nBins; ++b) {
      const bool inRun = b >= band.firstBin && b < band.firstBin + band.count;
      EXPECT_EQ(inRun, ref[j][b] > 0.0) << "band " << j << " bin " << b;
      if (inRun) {
        EXPECT_NEAR(bank.bandWeights()[band.weightOffset + b - band.firstBin], ref[j][b], 1e-5);
      }
    }
    offset += band.count;
  }
  ASSERT_EQ(bank.bandWeights().size(), static_cast<size_t>(nBands * nBins));
  for (size_t i = offset; i < bank.bandWeights().size(); ++i) EXPECT_EQ(bank.bandWeights()[i], 0.0f);
}

TEST(SparseFilterBank, TrackerSettingsAgreeWithTheTableFreeBands) {
  const int32_t nBands = 20, fftSize = 1024, nBins = fftSize / 2;
  const SparseFilterBank bank(nBands, nBins, fftSize, 44100.0f, 50.0f, 8000.0f);
  const std::vector<float> in = randomSpectrum(nBins, 2);
  std::vector<float> fromTable(nBands), direct(nBands, 9.0f);
  bank.apply(fromTable.data(), in.data());
  Numeric::logFrequencyBands(direct.data(), nBands, in.data(), nBins, fftSize, 44100.0f, 8000.0f, 50.0f);
  for (int32_t j = 0; j < nBands; ++j) EXPECT_NEAR(fromTable[j], direct[j], 1e-3f * (1.0f + direct[j])) << j;
}

TEST(SparseFilterBank, TableFreeBandsMatchTheDenseBandGeometry) {
  const int32_t nBands = 5, nBins = 32, fftSize = 64;
  const auto ref = denseReference(nBands, nBins, fftSize, 8000.0, 250.0, 2000.0);
  const std::vector<float> in = randomSpectrum(nBins, 3);
  std::vector<float> out(nBands, 4.0f);
  Numeric::logFrequencyBands(out.data(), nBands, in.data(), nBins, fftSize, 8000.0f, 2000.0f, 250.0f);
  for (int32_t j = 0; j < nBands; ++j) {
    double expected = 0.0;
    for (int32_t b = 0; b < nBins; ++b) expected += ref[j][b] * in[b];
    EXPECT_NEAR(out[j], expected, 1e-4) << j;
  }
}

TEST(SparseFilterBank, BinsOutsideTheFrequencyRangeContributeNothing) {
  const int32_t nBands = 6, nBins = 32, fftSize = 64;
  const SparseFilterBank bank(nBands, nBins, fftSize, 8000.0f, 250.0f, 2000.0f);
  std::vector<float> in(nBins, 0.0f);
  in[0] = in[1] = 100.0f;             // DC and 125 Hz, below 250 Hz
  for (int32_t b = 16; b < nBins; ++b) in[b] = 100.0f;  // 2000 Hz and up
  std::vector<float> out(nBands, 1.0f);
  bank.apply(out.data(), in.data());
  for (float v : out) EXPECT_EQ(v, 0.0f);
}

TEST(SparseFilterBank, BandWithoutPositiveWeightIsEmptyAndGivesZero) {
  // Many narrow bands over few bins: some bands catch no bin at all.
  const int32_t nBands = 40, nBins = 16, fftSize = 32;
  const SparseFilterBank bank(nBands, nBins, fftSize, 8000.0f, 300.0f, 3000.0f);
  const std::vector<float> in(nBins, 1.0f);
  std::vector<float> out(nBands, -1.0f);
  bank.apply(out.data(), in.data());
  int32_t empty = 0;
  for (int32_t j = 0; j < nBands; ++j) {
    if (bank.bands()[j].count == 0) {
      ++empty;
      EXPECT_EQ(out[j], 0.0f) << j;
    }
  }
  EXPECT_GT(empty, 0);
}

TEST(SparseFilterBank, MeaninglessAxesAreRefused) {
  EXPECT_THROW(SparseFilterBank(-1, 8, 16, 8000.0f, 100.0f, 1000.0f), std::domain_error);
  EXPECT_THROW(SparseFilterBank(4, -8, 16, 8000.0f, 100.0f, 1000.0f), std::domain_error);
  EXPECT_THROW(SparseFilterBank(4, 8, 0, 8000.0f, 100.0f, 1000.0f), std::domain_error);
  EXPECT_THROW(SparseFilterBank(4, 8, 16, 0.0f, 100.0f, 1000.0f), std::domain_error);
  EXPECT_THROW(SparseFilterBank(4, 8, 16, 8000.0f, 0.0f, 1000.0f), std::domain_error);
  EXPECT_THROW(SparseFilterBank(4, 8, 16, 8000.0f, 1000.0f, 1000.0f), std::domain_error);
  float out[4];
  const float in[8] = {};
  EXPECT_THROW(Numeric::logFrequencyBands(out, 4, in, 8, 16, 8000.0f, 100.0f, 1000.0f),
               std::domain_error);
}

TEST(SparseFilterBank, EmptyBankBuildsAndAppliesNothing) {
  const SparseFilterBank noBins(3, 0, 16, 8000.0f, 100.0f, 1000.0f);
  float out[3] = {5.0f, 5.0f, 5.0f};
  const float in[1] = {1.0f};
  noBins.apply(out, in);
  for (float v : out) EXPECT_EQ(v, 0.0f);
  const SparseFilterBank noBands(0, 8, 16, 8000.0f, 100.0f, 1000.0f);
  EXPECT_TRUE(noBands.bands().empty());
}

}  // namespace
