#pragma once
// The frames of a recording as every spectrum of the sync analysis sees
// them: frame t is the frameLength samples centred on sample hop * t,
// Bartlett-Hann windowed, samples outside the recording counting as 0.
// `Weight` is the precision of the window and of each windowed sample.

#include <cmath>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "FrameCut.h"

// The Bartlett-Hann window of `length` points, in double precision; every
// precision of the window is rounded from these values.
inline std::vector<double> bartlettHannWindow(int length) {
  std::vector<double> window(length > 0 ? length : 0);
  const double last = length > 1 ? length - 1 : 1;
  for (int i = 0; i < length; ++i) {
    const double x = i / last - 0.5;
    window[i] = 0.62 - 0.48 * std::fabs(x) + 0.38 * std::cos(6.28318 * x);
  }
  return window;
}

template <typename Weight>
class FrameCutter {
 public:
  FrameCutter(const std::int16_t* samples, int sampleCount, int frameLength, int hop)
      : samples_(samples), sampleCount_(sampleCount), length_(frameLength), hop_(hop) {
    const std::vector<double> window = bartlettHannWindow(frameLength);
    window_.assign(window.begin(), window.end());
  }

  int length() const { return length_; }

  // The windowed samples of frame t into out[0 .. length-1].
  void cut(int t, Weight* out) const {
    const std::int64_t start = static_cast<std::int64_t>(t) * hop_ - length_ / 2;
    const Weight* window = window_.data();
    if (start >= 0 && start + length_ <= sampleCount_) {
      const std::int16_t* frame = samples_ + start;
      if constexpr (std::is_same_v<Weight, float>) {
        cutFrame(frame, window, length_, out);
      } else {
        for (int i = 0; i < length_; ++i) out[i] = frame[i] * window[i];
      }
    } else {
      for (int i = 0; i < length_; ++i) {
        const std::int64_t s = start + i;
        out[i] = (s >= 0 && s < sampleCount_) ? samples_[s] * window[i] : Weight(0);
      }
    }
  }

 private:
  const std::int16_t* samples_;
  std::int64_t sampleCount_;
  int length_;
  int hop_;
  std::vector<Weight> window_;
};
