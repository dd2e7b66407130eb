#pragma once
// Where new pitches start, for telling a waltz's beats from the offbeats
// between them (see DottedTrackerBeat.h).

#include <cstddef>
#include <memory>
#include <vector>

class CFft;

namespace kelo {

// The rise of pitch-class energy (80 Hz to 2 kHz) at points of a mono
// recording at 44100 Hz, kept a quarter of the rate: windows of 93 ms
// starting within 65 ms after the point against those starting within
// 65 ms before it, only the classes that grow counting.
class PitchRise {
 public:
  PitchRise();
  ~PitchRise();
  PitchRise(const PitchRise&) = delete;
  PitchRise& operator=(const PitchRise&) = delete;

  // Appends samples (low-passed and kept at a quarter of the rate).
  void push(const float* samples, int count);
  // The rise at `seconds` from the first sample pushed; 0 where the windows
  // reach beyond what was pushed.
  double at(double seconds);
  // Lets go of the samples.
  void clear();

 private:
  std::vector<double> classesOfWindowAt(std::size_t first);

  std::vector<float> kept_;
  std::vector<float> history_;
  std::size_t pushed_ = 0;
  std::unique_ptr<CFft> fft_;
  std::vector<float> magnitudes_;
  std::vector<int> classOfBin_;
};

}  // namespace kelo
