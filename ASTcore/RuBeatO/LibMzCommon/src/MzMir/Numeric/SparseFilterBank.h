// Reduction of a magnitude spectrum to bands on a logarithmic frequency axis
// between fMin and fMax, for the beat tracker's onset strength.
//
// Bin b lies at the band position pos = ln(b * binHz / fMin) * nBands /
// ln(fMax / fMin) - 0.5. With lo = trunc(pos) (or -1 for pos <= 0), band lo
// gets the weight pos - lo and band lo + 1 gets 1 - (pos - lo): a band's
// weight is 0 where pos equals its own number and rises towards 1 one band
// either side. The tracker's onset curves were tuned with this weighting.
// Bins below max(trunc(fMin / binHz), 1) and from round(fMax / binHz) on take
// no part.

#pragma once

#include <cstdint>
#include <vector>

namespace Numeric {

class SparseFilterBank {
 public:
  // One band's contiguous run of positive weights: weights[weightOffset ..
  // weightOffset + count - 1] apply to spectrum bins firstBin ..
  // firstBin + count - 1.
  struct Band {
    int32_t weightOffset;
    int32_t count;
    int32_t firstBin;
  };

  // Builds the weights for spectra of nBins bins taken from transforms of
  // fftSize samples at the rate fs. Throws std::domain_error for a negative
  // band or bin count, a non-positive fftSize or fs, fMin <= 0 or
  // fMax <= fMin, where the log axis does not exist.
  SparseFilterBank(int32_t nFilters, int32_t nBins, int32_t fftSize, float fs, float fMin,
                   float fMax);

  // out[0 .. nFilters-1] = the band values of the spectrum in[0 .. nBins-1].
  void apply(float* out, const float* in) const;

  const std::vector<Band>& bands() const { return records; }
  // nFilters * nBins values; the bands' runs first, zeros after them.
  const std::vector<float>& bandWeights() const { return weights; }
  int32_t getFilterCount() const { return nFilters; }
  int32_t getBinCount() const { return nBins; }
  // The axis the bank was built for.
  float getMinFrequency() const { return fMin; }
  float getMaxFrequency() const { return fMax; }
  int32_t getFftSize() const { return fftSize; }
  float getSampleRate() const { return fs; }

 private:
  std::vector<Band> records;
  std::vector<float> weights;
  float fMin;
  float fMax;
  int32_t nFilters;
  int32_t nBins;
  int32_t fftSize;
  float fs;
};

// The same band values computed straight from the spectrum in[0 .. nIn-1]
// into out[0 .. nOut-1], without a table. Note the order: fMax before fMin.
// Throws std::domain_error as the bank's constructor does.
void logFrequencyBands(float* out, int32_t nOut, const float* in, int32_t nIn, int32_t fftSize,
                       float fs, float fMax, float fMin);

}  // namespace Numeric
