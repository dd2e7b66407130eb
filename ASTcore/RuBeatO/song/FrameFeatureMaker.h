#pragma once
// One 34-value spectral description of a sliding mono frame: 22 triangular
// band energies on a roughly mel-spaced edge table (filters 0 to 21) and 12
// pitch-class energies, C to B (filters 22 to 33), each the sum of seven
// unit-norm Gaussian bumps one octave apart. Values are linear magnitudes
// weighted by the filters; the song-structure features take logarithms and
// the cosine transform `D` of the band part when they pool them.
//
// Use: construct with the frame length, init once with the sample rate,
// then compute per block of new samples. The frame keeps the last N samples
// across calls, so the first frames of a run hold zeros ahead of the audio.
// One maker serves one thread at a time.

#include <cstdint>
#include <memory>
#include <vector>

#include "FilterBank.h"

class CFft;

namespace MzMir {

class FrameFeatureMaker : public FilterBank {
 public:
  static constexpr int kBands = 22;
  static constexpr int kChroma = 12;
  static constexpr int kFeatures = kBands + kChroma;

  // frameLength: a power of two of at least 2 (std::invalid_argument
  // otherwise, from the transform).
  explicit FrameFeatureMaker(std::uint32_t frameLength);
  ~FrameFeatureMaker() override;

  // Builds the 34 filters for `sampleRate`. Call once before compute.
  void init(float sampleRate);

  // Slides the new samples into the frame (only the last N of a longer
  // block count) and returns the 34 filter outputs of the frame.
  std::vector<double> compute(const std::vector<double>& samples);

  // The 22 x 22 cosine matrix, row-major, applied to the log band energies
  // when features are pooled.
  const std::vector<double>& cosineMatrix() const { return D; }

 private:
  std::shared_ptr<CFft> fft;
  std::uint32_t frameLength;
  std::vector<float> frame;
  std::vector<float> spectrum;
  std::vector<double> D;
};

}  // namespace MzMir
