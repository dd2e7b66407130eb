#include "SpectrumFrameFeatureExtractor.h"

#include <algorithm>
#include <stdexcept>

#include <boost/make_shared.hpp>

#include "Spectrum/CFft.h"

namespace kelo {

SpectrumFrameFeatureExtractor::SpectrumFrameFeatureExtractor(int hopSize, int length, int hopsPerVector,
                                                             FeatureList* list)
    : FrameFeatureExtractor(hopSize, length), divider(hopsPerVector), features(list) {
  if (divider < 1) throw std::invalid_argument("divider must be at least 1");
  if (features == nullptr) throw std::invalid_argument("spectrum extractor needs a list");
  const auto n = static_cast<std::uint64_t>(frameLength);
  fft = boost::make_shared<CFft>(n, static_cast<std::uint64_t>(hop));
  fft->MakeWindow(n, CFft::Hamming);
  magnitudes.assign(static_cast<std::size_t>(frameLength), 0.0f);
}

SpectrumFrameFeatureExtractor::~SpectrumFrameFeatureExtractor() = default;

void SpectrumFrameFeatureExtractor::pushSamples(const float* samples, int count) {
  FrameFeatureExtractor::pushSamples(samples, count);
  if (++counter != divider) return;
  counter = 0;
  std::fill(magnitudes.begin(), magnitudes.end(), 0.0f);
  fft->ComputeMagnitude(magnitudes.data(), frame.get(), static_cast<std::uint64_t>(frameLength), -1, true, 1);
  FeatureVector v(magnitudes.size());
  std::copy(magnitudes.begin(), magnitudes.end(), v.begin());
  features->push_back(v);
}

void SpectrumFrameFeatureExtractor::clearFeatures() {}

}  // namespace kelo
