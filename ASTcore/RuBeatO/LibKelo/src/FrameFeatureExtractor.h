#pragma once
// Frame feature extractors: a sliding window ("frame") over a mono sample
// stream that arrives in hops of a fixed size, turned into feature vectors
// every so many hops. The beat-slice feature generator feeds the same hops
// to a semitone extractor (semitone powers through the pitch class profile
// front end) and to a beat extractor (frames for the offline beat
// detector); a spectrum extractor (magnitude spectra) completes the family.
//
// Extractors append copies of their vectors to a list owned by their owner,
// reached through a non-owning pointer. One extractor serves one thread at a
// time.

#include <cstdint>
#include <list>

#include <boost/numeric/ublas/vector.hpp>
#include <boost/shared_array.hpp>

namespace kelo {

using FeatureVector = boost::numeric::ublas::vector<double>;
using FeatureList = std::list<FeatureVector>;

class FrameFeatureExtractor {
 public:
  // A zeroed frame of `frameLength` samples shifted by `hop` per push.
  // Throws std::invalid_argument unless 1 <= hop <= frameLength.
  FrameFeatureExtractor(int hop, int frameLength);
  virtual ~FrameFeatureExtractor();

  FrameFeatureExtractor(const FrameFeatureExtractor&) = delete;
  FrameFeatureExtractor& operator=(const FrameFeatureExtractor&) = delete;

  // Takes one hop: the frame moves on by `hop` samples and its end receives
  // the first min(hop, count) samples, zeros where fewer arrive; samples
  // beyond the first `hop` are ignored. Derived extractors then make their
  // feature; their errors (those of the analysis they call) leave the frame
  // already shifted. Throws std::invalid_argument for a null `samples` with
  // a positive count.
  virtual void pushSamples(const float* samples, int count);

  // Forgets the features made so far (what that means is the extractor's);
  // the frame stays as it is. A plain frame keeps no features: nothing to do.
  virtual void clearFeatures();

  int getHop() const { return hop; }
  int getFrameLength() const { return frameLength; }
  // The frame, oldest sample first.
  const float* getFrame() const { return frame.get(); }

 protected:
  int32_t hop;
  int32_t frameLength;
  boost::shared_array<float> frame;
};

}  // namespace kelo
