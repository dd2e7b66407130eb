#pragma once
// Magnitude spectra of the Hamming-windowed frame, one every `divider` hops.
// Each vector has `frameLength` values: the frameLength / 2 magnitudes, then
// zeros.

#include <cstdint>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "FrameFeatureExtractor.h"

class CFft;

namespace kelo {

class SpectrumFrameFeatureExtractor : public FrameFeatureExtractor {
 public:
  // frameLength must be a power of two of at least 2 (the transform's
  // std::invalid_argument otherwise); `features` must outlive the
  // extractor. Throws std::invalid_argument for a divider below 1, a null
  // list, and the base class's hop checks.
  SpectrumFrameFeatureExtractor(int hop, int frameLength, int divider, FeatureList* features);
  ~SpectrumFrameFeatureExtractor() override;

  // Base push; on push divider + 1 and then every divider pushes appends
  // the spectrum of the frame.
  void pushSamples(const float* samples, int count) override;

  // Spectra are not withdrawn: nothing happens.
  void clearFeatures() override;

 private:
  int32_t divider;
  int32_t counter = -1;
  boost::shared_ptr<CFft> fft;
  std::vector<float> magnitudes;
  FeatureList* features;
};

}  // namespace kelo
