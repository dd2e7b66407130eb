#pragma once
// Semitone-power vectors of the sliding frame, one every `divider` hops,
// through the pitch class profile front end. The first vector waits until
// the frame is about half full of audio, so that vector k is centred near
// hop divider * k: the push counter starts at -(frameLength / (2 * hop)).
//
// The semitone analysis reads every fourth sample behind a low-pass. The
// frames overlap (16384 samples every 720 in the engine), so each hop is
// low-passed once as it arrives and the frame holds the low-passed stream;
// filtering every frame from a cleared history instead would run each
// sample through the filter some 23 times.

#include <cstdint>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "Hpcp/DecimationFilter.h"

#include "FrameFeatureExtractor.h"

namespace Hpcp {
class CHpcp;
}

namespace kelo {

class SemitoneFrameFeatureExtractor : public FrameFeatureExtractor {
 public:
  // `hpcp` is shared with the owner and must be configured for
  // `frameLength`; `features` receives one vector of the front end's
  // semitone count per produced frame and must outlive the extractor.
  // Throws std::invalid_argument for a divider below 1, a null front end or
  // list, and the base class's hop checks.
  SemitoneFrameFeatureExtractor(int hop, int frameLength, int divider, boost::shared_ptr<Hpcp::CHpcp> hpcp,
                                FeatureList* features);

  // Low-passes the hop (the missing tail of a short push as zeros, as the
  // base fills it) and pushes it into the frame; then on every divider-th
  // push (counted from the start value) analyses the frame and appends its
  // semitone powers. The front end's errors pass through with the counter
  // already back at 0.
  void pushSamples(const float* samples, int count) override;

  // Empties the list and restarts the push counter; the frame and the
  // filter's history are kept, as the stream goes on.
  void clearFeatures() override;

  int getDivider() const { return divider; }

 private:
  int32_t startCount() const { return -(frameLength / (2 * hop)); }

  int32_t divider;
  int32_t counter;
  boost::shared_ptr<Hpcp::CHpcp> hpcp;
  FeatureVector semitones;
  FeatureList* features;
  Hpcp::DecimationLowPass lowPass;
  std::vector<float> lowPassedHop;
};

}  // namespace kelo
