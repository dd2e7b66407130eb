#include "SparseFilterBank.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace Numeric {

namespace {

void checkAxis(int32_t nBands, int32_t nBins, int32_t fftSize, float fs, float fMin, float fMax) {
  if (nBands < 0) throw std::domain_error("band count must not be negative");
  if (nBins < 0) throw std::domain_error("bin count must not be negative");
  if (fftSize < 1) throw std::domain_error("fftSize must be positive");
  if (!(fs > 0.0f)) throw std::domain_error("sample rate must be positive");
  if (!(fMin > 0.0f) || !(fMax > fMin)) {
    throw std::domain_error("frequency range must satisfy 0 < fMin < fMax");
  }
}

// The bins that take part: [first, last).
struct BinRange {
  int32_t first;
  int32_t last;
};

BinRange binRange(float binHz, float fMin, float fMax, int32_t nBins) {
  const int32_t first = std::max(static_cast<int32_t>(fMin / binHz), int32_t{1});
  const double upper = std::trunc(static_cast<double>(fMax / binHz) + 0.5);
  const int32_t last = static_cast<int32_t>(std::min(upper, static_cast<double>(nBins)));
  return {first, last};
}

// Where bin b falls on the band axis, split into the lower band and the
// fraction above it.
struct BandPosition {
  int32_t lo;
  float frac;
};

BandPosition bandPosition(int32_t b, float binHz, float fMin, float logRange, int32_t nBands) {
  const float pos = std::log(static_cast<float>(b) * binHz / fMin) *
                        static_cast<float>(nBands) / logRange - 0.5f;
  const int32_t lo = pos > 0.0f ? static_cast<int32_t>(pos) : -1;
  return {lo, pos - static_cast<float>(lo)};
}

}  // namespace

SparseFilterBank::SparseFilterBank(int32_t nFilters, int32_t nBins, int32_t fftSize, float fs,
                                   float fMin, float fMax)
    : fMin(fMin), fMax(fMax), nFilters(nFilters), nBins(nBins), fftSize(fftSize), fs(fs) {
  checkAxis(nFilters, nBins, fftSize, fs, fMin, fMax);
  const size_t rows = static_cast<size_t>(nFilters);
  const size_t cols = static_cast<size_t>(nBins);
  records.resize(rows);
  weights.assign(rows * cols, 0.0f);

  const float binHz = fs / static_cast<float>(fftSize);
  const float logRange = std::log(fMax / fMin);
  const BinRange range = binRange(binHz, fMin, fMax, nBins);

  std::vector<float> dense(rows * cols, 0.0f);
  for (int32_t b = range.first; b < range.last; ++b) {
    const BandPosition at = bandPosition(b, binHz, fMin, logRange, nFilters);
    const int32_t hi = at.lo + 1;
    if (at.lo >= 0 && at.lo < nFilters) dense[at.lo * cols + b] = at.frac;
    if (hi < nFilters) dense[hi * cols + b] = 1.0f - at.frac;
  }

  int32_t offset = 0;
  for (int32_t i = 0; i < nFilters; ++i) {
    const float* row = dense.data() + i * cols;
    int32_t firstBin = nBins - 1;
    for (int32_t b = 0; b < nBins - 1; ++b) {
      if (row[b] != 0.0f) {
        firstBin = b;
        break;
      }
    }
    int32_t count = 0;
    for (int32_t b = firstBin; b >= 0 && b < nBins && row[b] > 0.0f; ++b) {
      weights[offset + count] = row[b];
      ++count;
    }
    records[i] = {offset, count, firstBin};
    offset += count;
  }
}

void SparseFilterBank::apply(float* out, const float* in) const {
  for (int32_t i = 0; i < nFilters; ++i) {
    const Band& band = records[i];
    float sum = 0.0f;
    for (int32_t m = 0; m < band.count; ++m) {
      sum += in[band.firstBin + m] * weights[band.weightOffset + m];
    }
    out[i] = sum;
  }
}

void logFrequencyBands(float* out, int32_t nOut, const float* in, int32_t nIn, int32_t fftSize,
                       float fs, float fMax, float fMin) {
  checkAxis(nOut, nIn, fftSize, fs, fMin, fMax);
  std::fill(out, out + nOut, 0.0f);
  const float binHz = fs / static_cast<float>(fftSize);
  const float logRange = std::log(fMax / fMin);
  const BinRange range = binRange(binHz, fMin, fMax, nIn);
  for (int32_t b = range.first; b < range.last; ++b) {
    const BandPosition at = bandPosition(b, binHz, fMin, logRange, nOut);
    const int32_t hi = at.lo + 1;
    // Bins stop below fMax, so lo stays below nOut; the check keeps it so
    // whatever the rounding of the log axis.
    if (at.lo >= 0 && at.lo < nOut) out[at.lo] += at.frac * in[b];
    if (hi < nOut) out[hi] += (1.0f - at.frac) * in[b];
  }
}

}  // namespace Numeric
