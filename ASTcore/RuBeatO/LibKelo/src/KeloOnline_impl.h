#pragma once
// The working parts of the streaming chord and key engine (see KeloOnline):
// re-blocking to 180 samples, the decision-tatum rule, the profile of each
// slice, and the decoding step with its chord, key and bar reports.

#include <cstdint>
#include <deque>
#include <list>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "Decimator.h"
#include "KeloTypes.h"

namespace Hpcp {
class CHpcp;
}
namespace RuBeatO {
class CBeatTrack;
}

namespace kelo {

class FixedLagHmm;
class KeloHmm;
class KeloOnline;

class KeloOnline_impl {
 public:
  static constexpr std::int32_t kBlock = 180;
  static constexpr std::uint64_t kSliceCapacity = 70740;
  static constexpr std::int32_t kProfileFrame = 8192;
  static constexpr std::int32_t kProfileHop = 1024;
  static constexpr std::int32_t kShortestSlice = 7169;
  static constexpr std::int32_t kSeedTatum = -1;
  static constexpr std::int32_t kFeatureSize = 26;

  explicit KeloOnline_impl(KeloOnline& owner);
  virtual ~KeloOnline_impl();

  // See KeloOnline::init; returns its result code.
  int init(int lag, const std::string& modelPath, int beatsPerBar);
  bool initialised() const { return model_ != nullptr; }

  void setMeter(std::int32_t level, std::int32_t phase);
  void process(const float* samples, std::int32_t count);
  void finish();

  // Asks the tracker for a new pulse and applies the meter rule to it
  // (counting the pulse): 1 for a decision tatum, else 0.
  std::int32_t isDecisionTatum();
  // Forgets the audio gathered since the last decision tatum.
  void clearSlice() { sliceFill_ = 0; }

  // Profile frames of a slice of n samples: 0 when the slice is too short
  // for a profile (the previous one is used again), 1 up to 9215, then one
  // per 1024 samples beyond the first 8192.
  static std::int32_t profileFrames(std::int32_t n);

 private:
  void blockStep(const float* block);
  void sliceStep();
  void computeProfile(std::int32_t n);
  void decodingStep(const float* feature);
  void reportQueuedChord(const t_chord& chord);
  void reportPendingChords();
  bool decides(std::int32_t tatum) const;

  KeloOnline& owner_;
  float bpmMin_ = 75.0f;
  float bpmMax_ = 190.0f;
  float fs_ = 44100.0f;
  boost::shared_ptr<RuBeatO::CBeatTrack> tracker_;
  boost::shared_ptr<KeloHmm> model_;
  boost::shared_ptr<FixedLagHmm> decoder_;
  boost::shared_ptr<Hpcp::CHpcp> hpcp_;
  Decimator lowPass_;
  std::vector<float> slice_;
  std::int32_t sliceFill_ = 0;
  std::vector<float> filtered_;
  std::int32_t meterMode_ = 0;
  std::int32_t meterPhase_ = 0;
  std::int32_t tatumCounter_ = 0;
  std::int32_t barNumber_ = 0;
  std::deque<std::int32_t> history_;  // newest first
  std::vector<float> feature_;
  std::vector<float> block_;
  std::int32_t blockFill_ = 0;
  std::int64_t samplePosition_ = 0;
  std::int32_t decodedCounter_ = 0;
  std::int32_t prevType_ = -1;
  std::int32_t prevRoot_ = -1;
  std::int32_t prevBass_ = -1;
  std::int32_t prevMode_ = -1;
  std::int32_t prevTonic_ = -1;
  std::list<t_chord> chordQueue_;
  std::vector<float> powers_;  // profile frames x semitones
  std::vector<float> column_;
};

}  // namespace kelo
