#include "BeatFrameFeatureExtractor.h"

#include <stdexcept>
#include <utility>

#include "beat/CBeatDetect.h"

namespace kelo {

BeatFrameFeatureExtractor::BeatFrameFeatureExtractor(int hopSize, int length,
                                                     boost::shared_ptr<RuBeatO::CBeatDetect> detector)
    : FrameFeatureExtractor(hopSize, length), beatDetector(std::move(detector)) {
  if (!beatDetector) throw std::invalid_argument("beat extractor needs a detector");
}

void BeatFrameFeatureExtractor::setFeatureList(FeatureList* list) { features = list; }

void BeatFrameFeatureExtractor::pushSamples(const float* samples, int count) {
  FrameFeatureExtractor::pushSamples(samples, count);
  beatDetector->addData(frame.get(), frameLength);
  if (features == nullptr) return;
  int dimension = 0;
  const float* bands = beatDetector->getFeature(&dimension);
  FeatureVector v(static_cast<std::size_t>(dimension > 0 ? dimension : 0));
  for (std::size_t i = 0; i < v.size(); ++i) v[i] = bands[i];
  features->push_back(v);
}

void BeatFrameFeatureExtractor::clearFeatures() {
  beatDetector->reset();
  if (features != nullptr) features->clear();
}

}  // namespace kelo
