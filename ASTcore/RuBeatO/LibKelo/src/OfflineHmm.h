#pragma once
// Whole-sequence decoder of the chord/key model: scores every queued
// beat-slice feature against every chord state (12 roots x C classes), then
// runs a Viterbi search over the chord states for every allowed combination
// of key mode, bar phase and key tonic, and keeps the best path.
//
// Transition tables are written in key-relative chord states (root counted
// from the tonic), one table per (mode, beat position), stored sparsely as
// predecessor lists per target state; a weight enters the search divided by
// the sum of its row. Back-pointers take one byte per frame and chord state,
// which bounds the model to 256 chord states (21 classes).

#include <cstdint>
#include <vector>

#include <boost/numeric/ublas/vector.hpp>
#include <boost/shared_ptr.hpp>

#include "IKeloHmm.h"
#include "JointHpcpPowPdf.h"

namespace kelo {

class OfflineHmm : public IKeloHmm {
 public:
  using Vector = boost::numeric::ublas::vector<double>;

  static constexpr std::int32_t kModes = 2;
  static constexpr std::int32_t kTonics = 12;
  static constexpr std::int32_t kMaxChordStates = 256;

  // A decoder for `classCount` chord classes and `beatsPerBar` beat
  // positions, every coordinate searched. Throws std::length_error for a
  // negative class count or one whose 12 * C chord states exceed what the
  // back-pointers hold, std::invalid_argument for fewer than one beat.
  OfflineHmm(std::int32_t classCount, std::int32_t beatsPerBar);

  // Takes shared ownership of the density of `chordClass`. -1 (nothing
  // stored) when the class is not below C; a negative class throws
  // std::out_of_range.
  std::int32_t setEmission(std::int32_t chordClass,
                           boost::shared_ptr<JointHpcpPowPdf> pdf) override;

  // Adds `weight` as a predecessor of `to` in the table (mode, position);
  // a self-transition is boosted by a factor that depends on the position
  // (chord changes are rare off the downbeat). -1, nothing stored, for a
  // weight that is not a positive finite number (also after the boost) and
  // for a mode, position or chord state outside the decoder.
  std::int32_t setTransition(std::int32_t mode, std::int32_t position,
                             std::int32_t from, std::int32_t to,
                             double weight) override;

  // Drops the queued features. Returns 0.
  std::int32_t clearFeatures() override;

  // Queues a copy of one 26-value joint chroma feature. Throws
  // std::invalid_argument for a shorter vector.
  void addFeature(const Vector& feature);

  // Fixes key mode, bar phase and key tonic for the following decodes; a
  // negative value leaves that coordinate searched. Throws
  // std::out_of_range, changing nothing, for a mode above 1, a phase not
  // below the beats per bar or a tonic above 11.
  void setFixed(std::int32_t mode, std::int32_t phase, std::int32_t tonic);

  // Decodes the queued features: the best path's log score (0.0 without
  // features). Ties go to the lower mode, then phase, then tonic. Throws
  // std::logic_error when a class has no emission density.
  double decode();

  // The combination chosen by the last decode.
  void getChosen(std::int32_t& mode, std::int32_t& phase,
                 std::int32_t& tonic) const;

  std::int32_t numFrames() const;
  std::int32_t numClasses() const;

  // After decode: the full model state index of a frame (chord state plus
  // the block of its beat position, the chosen mode and tonic), and the
  // peak pitch class of the bass component that explained it. Throw
  // std::out_of_range for a frame outside the last decode.
  std::int32_t stateAt(std::int32_t frame) const;
  std::int32_t componentAt(std::int32_t frame) const;

  // Recomputes the log row sums of every table (0 for an empty row).
  void computeLogRowSums();

  // The [first, last) ranges of mode, tonic and phase that the search
  // covers, after the fixed coordinates.
  struct Range {
    std::int32_t first;
    std::int32_t last;
  };
  void fixedRanges(Range& modeRange, Range& tonicRange, Range& phaseRange) const;

  // Writes `value` and the beats per bar into the two out-parameters.
  void valueAndBeats(std::int32_t value, std::int32_t& valueOut, std::int32_t& beatsOut) const;
  // Returns `value` unchanged: this decoder's states need no mapping.
  static std::int32_t unmapped(std::int32_t value) { return value; }

 private:
  struct Entry {
    std::int32_t from;  // key-relative chord state
    double logWeight;
  };

  std::size_t tableIndex(std::int32_t mode, std::int32_t position) const;
  void scoreEmissions();
  double viterbi(std::int32_t mode, std::int32_t phase, std::int32_t tonic,
                 std::vector<std::int32_t>& path);

  std::int32_t classCount_;
  std::int32_t chordStates_;
  std::int32_t beatsPerBar_;
  std::vector<boost::shared_ptr<JointHpcpPowPdf>> emissions_;
  std::vector<Vector> features_;
  // [table * N + target]: predecessors in the order they were added.
  std::vector<std::vector<Entry>> transitions_;
  std::vector<double> rowSums_;     // [table * N + source]
  std::vector<double> logRowSums_;  // [table * N + source]
  std::int32_t fixedMode_ = -1;
  std::int32_t fixedPhase_ = -1;
  std::int32_t fixedTonic_ = -1;
  std::int32_t chosenMode_ = 0;
  std::int32_t chosenPhase_ = 0;
  std::int32_t chosenTonic_ = 0;
  std::vector<double> emissionScores_;       // [frame * N + state]
  std::vector<std::int32_t> componentIds_;   // [frame * N + state]
  std::vector<std::uint8_t> backPointers_;   // [frame * N + state]
  std::vector<double> delta_;
  std::vector<double> nextDelta_;
  std::vector<std::int32_t> relativeOf_;
  std::vector<std::int32_t> absoluteOf_;
  std::vector<std::int32_t> bestPath_;
  std::vector<std::int32_t> bestComponents_;
};

}  // namespace kelo
