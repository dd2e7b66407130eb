#include "FrameFeatureExtractor.h"

#include <algorithm>
#include <stdexcept>

namespace kelo {

FrameFeatureExtractor::FrameFeatureExtractor(int hopSize, int length) : hop(hopSize), frameLength(length) {
  if (hop < 1 || hop > frameLength)
    throw std::invalid_argument("hop must be at least 1 and at most the frame length");
  frame.reset(new float[static_cast<std::size_t>(frameLength)]());
}

FrameFeatureExtractor::~FrameFeatureExtractor() = default;

void FrameFeatureExtractor::clearFeatures() {}

void FrameFeatureExtractor::pushSamples(const float* samples, int count) {
  if (count > 0 && samples == nullptr) throw std::invalid_argument("samples must not be null");
  float* f = frame.get();
  std::copy(f + hop, f + frameLength, f);
  const int taken = std::clamp(count, 0, hop);
  float* tail = f + (frameLength - hop);
  std::copy(samples, samples + taken, tail);
  std::fill(tail + taken, tail + hop, 0.0f);
}

}  // namespace kelo
