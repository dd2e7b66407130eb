#include "RoughSpreads.h"

#include <algorithm>
#include <cmath>

#include "MagnitudeSums.h"
#include "NeighbourMix.h"

namespace {

// The bound on a transformed spread, per unit of the frame's energy norm:
// sqrt(N / bins) * (transform error + window, input and magnitude
// rounding), with room to spare.
constexpr double kTransformError = 6.2e-5;
// The turns and the weighted sum of four spectra in single precision add a few
// roundings of each value, well below this per unit of either norm.
constexpr double kMixRounding = 1e-6;

}  // namespace

RoughSpreads::RoughSpreads(const std::int16_t* samples, int sampleCount, int frameLength, int hop)
    : length_(frameLength),
      frames_(samples, sampleCount, frameLength, hop),
      mid_(samples, sampleCount, frameLength, hop),
      work_(frameLength),
      buffer_(frameLength),
      mixed_(frameLength),
      cos1_(2 * static_cast<std::size_t>(frameLength / hop)),
      sin1_(cos1_.size()),
      cos3_(cos1_.size()),
      sin3_(cos1_.size()) {
  const double turn = 2.0 * M_PI * hop / frameLength;
  const double nearWeight = MidFrameBound::kWeights[1], farWeight = MidFrameBound::kWeights[0];
  for (std::size_t k = 0; 2 * k < cos1_.size(); ++k) {
    cos1_[2 * k] = cos1_[2 * k + 1] = static_cast<float>(nearWeight * std::cos(turn * k));
    sin1_[2 * k] = static_cast<float>(nearWeight * std::sin(turn * k));
    sin1_[2 * k + 1] = -sin1_[2 * k];
    cos3_[2 * k] = cos3_[2 * k + 1] = static_cast<float>(farWeight * std::cos(3 * turn * k));
    sin3_[2 * k] = static_cast<float>(farWeight * std::sin(3 * turn * k));
    sin3_[2 * k + 1] = -sin3_[2 * k];
  }
}

RoughSpread RoughSpreads::fromSpectrum(const float* packed) const {
  const int bins = length_ / 2;
  // One pass over the bins: the sums of the magnitudes and of their
  // squares, in double precision (a float's square is exact there).
  const MagnitudeSums sums = magnitudeSums(packed, bins);
  const double first = static_cast<double>(packed[0]) * packed[0] + static_cast<double>(packed[1]) * packed[1];
  const double mean = sums.sum / bins;
  RoughSpread out;
  out.value = std::sqrt(std::max(0.0, sums.squares / bins - mean * mean));
  // The frame's energy by Parseval (every bin but the first stands for two
  // of the full spectrum).
  out.norm = std::sqrt(std::max(0.0, (2.0 * sums.squares - first) / length_));
  // The last term covers the rounding of the sums and of the spread taken
  // from them, and that of the exact spread.
  out.bound = 1e-7 * (mean + out.value);
  return out;
}

RoughSpread RoughSpreads::transformed(int t, float* spectrum) {
  frames_.cut(t, spectrum);
  Fft::rdft(length_, 1, spectrum, static_cast<std::size_t>(length_), work_);
  RoughSpread out = fromSpectrum(spectrum);
  out.bound += kTransformError * out.norm;
  return out;
}

RoughSpread RoughSpreads::between(int t, const float* const* spectra, const RoughSpread* spreads) {
  // With X[k] = sum x[n] e^(+2 pi i k n / N), turning frame t+o to frame
  // t's place multiplies bin k by e^(+i o turn k); a pair t-o, t+o shares
  // one cos and sin.
  NeighbourSpectra in;
  for (int i = 0; i < MidFrameBound::kNeighbours; ++i) in.spectra[i] = spectra[i];
  in.nearWeight = MidFrameBound::kWeights[1];
  in.farWeight = MidFrameBound::kWeights[0];
  const NeighbourTurns turns{cos1_.data(), sin1_.data(), cos3_.data(), sin3_.data(),
                             static_cast<int>(cos1_.size())};
  float* mixed = mixed_.data();
  mixNeighbours(in, turns, length_ / 2, mixed);
  RoughSpread out = fromSpectrum(mixed);
  // Each neighbour's transform error counts with its weight.
  double carried = 0.0, norms = 0.0;
  for (int i = 0; i < MidFrameBound::kNeighbours; ++i) {
    carried += std::fabs(MidFrameBound::kWeights[i]) * spreads[i].norm;
    norms += spreads[i].norm;
  }
  out.bound += kTransformError * carried + kMixRounding * norms + mid_.distance(t);
  return out;
}
