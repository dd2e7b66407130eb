#include "SemitoneFrameFeatureExtractor.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "Hpcp/CHpcp.h"

namespace kelo {

namespace {

// Feature type of the front end that holds the semitone powers.
constexpr int32_t kSemitonePowers = 3;

}  // namespace

SemitoneFrameFeatureExtractor::SemitoneFrameFeatureExtractor(int hopSize, int length, int hopsPerVector,
                                                             boost::shared_ptr<Hpcp::CHpcp> front,
                                                             FeatureList* list)
    : FrameFeatureExtractor(hopSize, length), divider(hopsPerVector), hpcp(std::move(front)), features(list) {
  if (divider < 1) throw std::invalid_argument("divider must be at least 1");
  if (!hpcp || features == nullptr) throw std::invalid_argument("semitone extractor needs a front end and a list");
  semitones.resize(static_cast<std::size_t>(hpcp->getSize(kSemitonePowers)), false);
  counter = startCount();
  lowPassedHop.assign(static_cast<std::size_t>(hop), 0.0f);
}

void SemitoneFrameFeatureExtractor::pushSamples(const float* samples, int count) {
  if (count > 0 && samples == nullptr) throw std::invalid_argument("samples must not be null");
  const int taken = std::clamp(count, 0, hop);
  std::copy(samples, samples + taken, lowPassedHop.begin());
  std::fill(lowPassedHop.begin() + taken, lowPassedHop.end(), 0.0f);
  lowPass.run(lowPassedHop.data(), lowPassedHop.data(), hop);
  FrameFeatureExtractor::pushSamples(lowPassedHop.data(), hop);
  if (++counter != divider) return;
  counter = 0;
  hpcp->processLowPassed(frame.get(), frameLength);
  const float* powers = hpcp->getData(kSemitonePowers);
  for (std::size_t i = 0; i < semitones.size(); ++i) semitones[i] = powers[i];
  features->push_back(semitones);
}

void SemitoneFrameFeatureExtractor::clearFeatures() {
  features->clear();
  counter = startCount();
}

}  // namespace kelo
