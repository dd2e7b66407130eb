#pragma once
// Streaming decoder of the chord/key model: one joint chroma feature per
// beat goes in, and after each the chord (root and class) of the frame L-1
// beats back comes out, L being the lag, with the key and beat phase of the
// best hypothesis and the bass note of that frame.
//
// A state splits into a chord part s = 12 * class + root and a hypothesis
// g = (tonic * 2 + mode) * 4 + beat phase (96 of them); the phase fixes the
// beat position of every frame. For each hypothesis a window of L rows of
// Viterbi scores and back-pointers is kept (row L-1 newest); after each
// frame the best newest cell over all hypotheses is traced back to row 0.
// Scores are renormalised every frame so that long streams stay bounded.
//
// Transition weights are key-relative (root counted from the tonic), one
// table per (mode, beat position), normalised by the sum of each source's
// weights over all positions and destinations of its mode. The decoder has
// exactly four beat positions.
//
// All work buffers are members: decoders are independent of each other, and
// one decoder serves one thread at a time.

#include <cstdint>
#include <string>
#include <vector>

#include <boost/numeric/ublas/vector.hpp>
#include <boost/shared_ptr.hpp>

#include "BassNoteTracker.h"
#include "IKeloHmm.h"
#include "JointHpcpPowPdf.h"

namespace kelo {

class KeloHmm;

class FixedLagHmm : public IKeloHmm {
 public:
  static constexpr std::int32_t kBeats = 4;
  static constexpr std::int32_t kModes = 2;
  static constexpr std::int32_t kTonics = 12;
  static constexpr std::int32_t kHypotheses = kBeats * kModes * kTonics;
  static constexpr double kFloor = -1e30;

  // A decoder with a window of `lag` frames (at least 2) for `classCount`
  // chord classes (at least 1); `rootCount` must be 12. Throws
  // std::invalid_argument otherwise.
  FixedLagHmm(std::int32_t lag, std::int32_t rootCount, std::int32_t classCount);

  // Stores the density of a class, releasing the previous one. -1 (nothing
  // stored) for a class outside 0..C-1.
  std::int32_t setEmission(std::int32_t chordClass,
                           boost::shared_ptr<JointHpcpPowPdf> pdf) override;
  // Takes ownership of `pdf` (deleted at once when refused).
  std::int32_t setEmission(std::int32_t chordClass, JointHpcpPowPdf* pdf);

  // Adds ln(count) to the predecessors of `to` in the table (mode,
  // position) and count to the source's sum. -1, nothing stored, for a
  // count that is not positive (or infinite) and for indices outside the
  // decoder; a NaN count is ignored and answered with 0.
  std::int32_t setTransition(std::int32_t mode, std::int32_t position,
                             std::int32_t from, std::int32_t to,
                             double count) override;

  // Nothing is queued in this decoder. Returns 0.
  std::int32_t clearFeatures() override;

  // Normalises the transitions, builds the rotation tables and restarts the
  // frame count and the bass tracker. Call once after loading.
  void prepare();

  // Decodes one frame. `feature` holds `dimension` values, at least 26.
  // Throws std::invalid_argument for a shorter feature and std::logic_error
  // when a class has no density.
  void pushFeature(const float* feature, std::int32_t dimension);

  // The decoded root and class of the frame L-1 back, the beat position of
  // the newest frame, and the key. Returns 1.0.
  float result(std::int32_t& root, std::int32_t& chordClass, std::int32_t& beat,
               std::int32_t& mode, std::int32_t& tonic) const;
  std::int32_t chord(std::int32_t& root, std::int32_t& chordClass) const;
  // Bass pitch class of the frame L-1 back. Returns 0.
  std::int32_t bassNote(std::int32_t& pitchClass) const;

  std::int32_t lag() const { return lag_; }
  std::int32_t frameCount() const { return frameCount_; }
  std::int32_t numStates() const;
  std::int32_t stateIndex(std::int32_t root, std::int32_t chordClass, std::int32_t beat,
                          std::int32_t mode, std::int32_t tonic) const;
  // The inverse of stateIndex; returns the class.
  std::int32_t decomposeState(std::int32_t& root, std::int32_t& chordClass, std::int32_t& beat,
                              std::int32_t& mode, std::int32_t& tonic, std::int32_t index) const;

  // Emission log score of chord part s in the newest frame (after a push).
  double newestEmission(std::int32_t s) const { return emission_[cell(lag_ - 1, s)]; }
  // The normalised log probability of one stored transition, or NaN when
  // it is not stored (after prepare()).
  double transitionLogProbability(std::int32_t mode, std::int32_t position, std::int32_t from,
                                  std::int32_t to) const;

 private:
  struct Entry {
    std::int32_t from;
    double value;
  };

  std::size_t cell(std::int32_t row, std::int32_t s) const {
    return std::size_t(row) * std::size_t(S_) + std::size_t(s);
  }
  std::size_t windowCell(std::int32_t g, std::int32_t row, std::int32_t s) const {
    return std::size_t(g) * std::size_t(lag_) * std::size_t(S_) + cell(row, s);
  }
  std::size_t list(std::int32_t mode, std::int32_t position, std::int32_t to) const {
    return (std::size_t(mode) * kBeats + std::size_t(position)) * std::size_t(S_) + std::size_t(to);
  }

  void computeEmissions(const float* feature);
  void step();
  void backtrack();

  std::int32_t lag_;
  std::int32_t classCount_;
  std::int32_t S_;
  std::vector<std::int32_t> absToRel_;  // [tonic * S + s]
  std::vector<std::int32_t> relToAbs_;  // [tonic * S + s]
  std::vector<std::vector<Entry>> incoming_;
  std::vector<double> rowSums_;  // [mode * S + source]
  std::vector<double> scores_;
  std::vector<std::int32_t> backPointers_;
  std::vector<double> emission_;
  std::int32_t frameCount_ = 0;
  std::vector<boost::shared_ptr<JointHpcpPowPdf>> pdfs_;
  std::int32_t root_ = 0;
  std::int32_t class_ = 0;
  std::int32_t phase_ = 0;
  std::int32_t tonic_ = 0;
  std::int32_t mode_ = 0;
  BassNoteTracker tracker_;
  boost::numeric::ublas::vector<double> rotated_;
};

// The decoder maker of the model factory: a FixedLagHmm for `classCount`
// classes with the lag that `lagArg` (an int32) points at.
void makeFixedLagHmm(boost::shared_ptr<IKeloHmm>& out, std::uint32_t classCount,
                     std::uint32_t beatCount, void* lagArg);

// Loads a key-aware model with a fixed-lag decoder (an empty path selects
// the built-in texts, otherwise a model folder) and prepares the decoder.
// When loading fails the result is empty and `status`, when given, holds
// the loader's code (1 or 6); it is 0 on success. Throws
// std::invalid_argument for a lag below 2 and for beats per bar outside
// 1..4.
boost::shared_ptr<KeloHmm> createFixedLagHmm(const std::string& path, std::int32_t lag,
                                             std::int32_t beatsPerBar,
                                             std::uint32_t* status = nullptr);

// The decoder as a FixedLagHmm, empty when it is another kind.
boost::shared_ptr<FixedLagHmm> asFixedLagHmm(const boost::shared_ptr<IKeloHmm>& decoder);

}  // namespace kelo
