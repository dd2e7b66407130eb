#include "MidFrameBound.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "FrameCutter.h"

namespace {

// Above the rounding of the weights and of the sum of a few dozen terms.
constexpr double kRelativeSlack = 1e-9;

}  // namespace

MidFrameBound::MidFrameBound(const std::int16_t* samples, int sampleCount, int frameLength, int hop)
    : blocksPerFrame_(hop > 0 ? frameLength / hop : 0) {
  if (hop <= 0 || hop % 2 != 0 || frameLength % hop != 0 || blocksPerFrame_ < 8) {
    throw std::domain_error("MidFrameBound: frameLength must be a multiple of an even hop of at least 8 hops");
  }
  const std::int64_t half = frameLength / 2;
  const std::int64_t blocks = (static_cast<std::int64_t>(sampleCount) + half + hop - 1) / hop + blocksPerFrame_ + 3;
  blockEnergy_.assign(static_cast<std::size_t>(blocks), 0.0);
  for (std::int64_t b = 0; b < blocks; ++b) {
    const std::int64_t from = std::max<std::int64_t>(0, b * hop - half);
    const std::int64_t to = std::min<std::int64_t>(sampleCount, b * hop - half + hop);
    std::int64_t sum = 0;  // at most hop * 2^30: exact in a double
    for (std::int64_t s = from; s < to; ++s) sum += static_cast<std::int64_t>(samples[s]) * samples[s];
    blockEnergy_[static_cast<std::size_t>(b)] = static_cast<double>(sum);
  }

  // Position n of the mix holds frame t's sample n with the weight
  // w[n] less the neighbours' weights for it, and, where a neighbour is
  // turned round past the frame's end, a sample one frame length away.
  const std::vector<double> w = bartlettHannWindow(frameLength);
  constexpr int reach = 3;
  weight_.assign(static_cast<std::size_t>(blocksPerFrame_ + 2 * reach), 0.0);
  for (int n = 0; n < frameLength; ++n) {
    double inner = w[n];
    double outer = 0.0;
    int outerOffset = 0;  // of the outer sample from frame t's start
    for (int i = 0; i < kNeighbours; ++i) {
      const int shift = kOffsets[i] * hop;
      const int m = n - shift;  // where the neighbour holds position n
      if (m >= 0 && m < frameLength) {
        inner -= kWeights[i] * w[m];
      } else {
        const int wrapped = m < 0 ? m + frameLength : m - frameLength;
        outer -= kWeights[i] * w[wrapped];
        outerOffset = m < 0 ? n + frameLength : n - frameLength;
      }
    }
    const double both = outer != 0.0 ? 2.0 : 1.0;
    double& in = weight_[static_cast<std::size_t>(n / hop + reach)];
    in = std::max(in, both * inner * inner);
    if (outer != 0.0) {
      double& out = weight_[static_cast<std::size_t>((outerOffset + reach * hop) / hop)];
      out = std::max(out, 2.0 * outer * outer);
    }
  }
  for (double& weight : weight_) weight *= 1.0 + kRelativeSlack;
}

double MidFrameBound::distance(int t) const {
  const double* energy = blockEnergy_.data() + t - 3;  // 3 hops before frame t's first block
  double sum = 0.0;
  for (std::size_t b = 0; b < weight_.size(); ++b) sum += weight_[b] * energy[b];
  return std::sqrt(2.0 * sum) * (1.0 + kRelativeSlack);
}
