#pragma once
// Hands every hop's frame to the offline beat detector (one detector frame
// per push) and, when given a list, collects the detector's band features.

#include <boost/shared_ptr.hpp>

#include "FrameFeatureExtractor.h"

namespace RuBeatO {
class CBeatDetect;
}

namespace kelo {

class BeatFrameFeatureExtractor : public FrameFeatureExtractor {
 public:
  // `detector` is shared with the owner. Throws std::invalid_argument for a
  // null detector and the base class's hop checks.
  BeatFrameFeatureExtractor(int hop, int frameLength, boost::shared_ptr<RuBeatO::CBeatDetect> detector);

  // From now on every push appends the detector's band features of the new
  // frame to `features` (null: none). The list must outlive the extractor.
  void setFeatureList(FeatureList* features);

  // Base push, then the whole frame goes to the detector. The detector's
  // errors pass through.
  void pushSamples(const float* samples, int count) override;

  // Resets the detector (its frame count back to 0) and empties the feature
  // list when there is one.
  void clearFeatures() override;

 private:
  boost::shared_ptr<RuBeatO::CBeatDetect> beatDetector;
  FeatureList* features = nullptr;
};

}  // namespace kelo
