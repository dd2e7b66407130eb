#pragma once
// The signal chain of the import onset detector: samples to a per-frame onset
// strength curve, and its peaks to a per-frame strength array.
//
// Signed 64-bit integer arithmetic throughout with fixed-point coefficients;
// right shifts are arithmetic and divisions truncate toward zero. Where a
// fixed-point formula scales a possibly negative value up, it multiplies
// instead of shifting.

#include <cstdint>
#include <vector>

#include "COnsetDetector.h"
#include "ISeekable.h"

namespace onset {

// Frames the per-frame stages look ahead: the envelope's slope is taken this
// many frames behind the newest frame.
constexpr std::int64_t kLookAheadFrames = 128;
// Half width of the 5-frame slope average.
constexpr std::int64_t kSlopeHalfWidth = 2;
// Frames between a frame's envelope and its onset strength.
constexpr std::int64_t kChainDelayFrames = kLookAheadFrames + kSlopeHalfWidth;

// y = x - c * previous x / 16.
class PreEmphasis {
 public:
  explicit PreEmphasis(std::int64_t coefficient) : c_(coefficient) {}
  std::int64_t step(std::int64_t x) {
    const std::int64_t y = x - ((c_ * previous_) >> 4);
    previous_ = x;
    return y;
  }

 private:
  std::int64_t c_;
  std::int64_t previous_ = 0;
};

// A two-integrator loop whose band output is taken away from the input.
class TwoPoleHighPass {
 public:
  explicit TwoPoleHighPass(std::int64_t coefficient) : k_(coefficient < 1024 ? coefficient : 1024) {}
  std::int64_t step(std::int64_t x) {
    const std::int64_t aNew = (((32 * x - a_ - b_) * k_) >> 10) + a_;
    const std::int64_t bNew = ((aNew * k_) >> 10) + b_;
    const std::int64_t y = x - (a_ >> 5);
    a_ = aNew;
    b_ = bNew;
    return y;
  }

 private:
  std::int64_t k_;
  std::int64_t a_ = 0;
  std::int64_t b_ = 0;
};

// Attack/release follower in Q13; its state holds 8 times the input.
class EnvelopeFollower {
 public:
  EnvelopeFollower(std::int64_t attack, std::int64_t release)
      : attack_(attack < 8192 ? attack : 8192), release_(release < 8192 ? release : 8192) {}
  std::int64_t step(std::int64_t x) {
    const std::int64_t t = 8 * x;
    const std::int64_t g = t > s_ ? attack_ : release_;
    s_ = g == 8192 ? t : ((g * (t - s_)) >> 13) + s_;
    return s_ >> 3;
  }

 private:
  std::int64_t attack_;
  std::int64_t release_;
  std::int64_t s_ = 0;
};

// Mean of the last n inputs (cells start at 0), kept as a running sum: the
// same integers as summing the n cells each time.
class MovingMean {
 public:
  explicit MovingMean(std::size_t n) : cells_(n, 0) {}
  std::int64_t step(std::int64_t x) {
    sum_ += x - cells_[pos_];
    cells_[pos_] = x;
    if (++pos_ == cells_.size()) pos_ = 0;
    return sum_ / static_cast<std::int64_t>(cells_.size());
  }

 private:
  std::vector<std::int64_t> cells_;
  std::size_t pos_ = 0;
  std::int64_t sum_ = 0;
};

// As MovingMean, but a non-positive input passes through unchanged (it is
// still stored).
class PositiveMovingMean {
 public:
  explicit PositiveMovingMean(std::size_t n) : mean_(n) {}
  std::int64_t step(std::int64_t x) {
    const std::int64_t m = mean_.step(x);
    return x > 0 ? m : x;
  }

 private:
  MovingMean mean_;
};

// Runs the chain over the lead-in, the recording read from `source` (from
// frame 0, in blocks) and a silent tail, filling work.curve with the onset
// strength of frames 0 .. work.analysisFrames - 1, then picks the peaks into
// work.strength and the peak list. Throws the integer -1 when the source
// fails or delivers fewer frames than work.sampleCount, or when the work
// area's buffers are too small for its frame counts.
void runSignalChain(ISeekable<float>& source, OnsetWork& work);

// The frame step alone over precomputed frame envelopes: `curve` holds the
// envelope of frames 0 .. frames + kChainDelayFrames - 1 on entry and the
// onset strength of frames 0 .. frames - 1 on return.
void envelopeToOnsetStrength(std::int64_t* curve, std::int64_t frames);

// Peak picking over curve[0 .. frameCount-1]: writes strength (0..128 at a
// peak, -1 on its rising edge, 0 elsewhere) and stores the peaks above
// `threshold`, except the first, in `peakList` (up to kOnsetPeakListSize; each
// one beyond is dropped with a diagnostic line on the standard output).
// Returns the frame of the first peak above the threshold (0 if none).
std::int64_t pickPeaks(const std::int64_t* curve, std::int16_t* strength, std::int64_t* peakList,
                       std::int64_t& peakCount, std::int64_t frameCount, std::int16_t threshold);

}  // namespace onset
