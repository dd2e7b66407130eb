#pragma once
// The bass note of the fixed-lag chord decoder: a 12-state forward-backward
// pass over the bass chroma of the frames in the decoder's window. The note
// stays from frame to frame with a probability that depends on the frame's
// beat position (it moves most easily on the downbeat); the answer is the
// likeliest note of the oldest frame of the window, the one the decoder
// reports.

#include <cstdint>
#include <vector>

namespace kelo {

class BassNoteTracker {
 public:
  // A window of `lag` frames (at least 1).
  explicit BassNoteTracker(std::int32_t lag);

  // Sets the bar length in beats (at least 1) and refills the windows with
  // 1.0, as before the first frame.
  void init(std::int32_t beatsPerBar);

  // Adds one frame: `feature` holds at least 12 values, the bass chroma;
  // `phase` is the beat position of the oldest frame of the window.
  void update(const float* feature, std::int32_t dimension, std::int32_t phase);

  // The likeliest bass pitch class (0..11) of the oldest frame; ties go to
  // the lower pitch class.
  std::int32_t bestNote() const;

  // Probability of keeping the bass note into a frame at a beat position.
  static double stayProbability(std::int32_t position);

 private:
  double* row(std::vector<double>& w, std::int32_t t) { return w.data() + 12 * t; }
  const double* row(const std::vector<double>& w, std::int32_t t) const {
    return w.data() + 12 * t;
  }

  std::int32_t lag_;
  std::int32_t beatsPerBar_ = 4;
  std::vector<double> forward_;
  std::vector<double> backward_;
  std::vector<double> observation_;
};

}  // namespace kelo
