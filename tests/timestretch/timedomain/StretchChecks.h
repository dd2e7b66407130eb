#pragma once
// Signals and measurements shared by the time-domain stretcher tests: sines in
// 16-bit sample units and a pitch estimate from upward zero crossings.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "TimeMachineInput.h"

namespace StretchChecks {

inline std::vector<float> sine(std::int64_t n, double freq, double amplitude, double fs = 44100.0) {
  std::vector<float> v(static_cast<std::size_t>(n));
  const double w = 2.0 * std::acos(-1.0) * freq / fs;
  for (std::int64_t i = 0; i < n; ++i) v[static_cast<std::size_t>(i)] = static_cast<float>(amplitude * std::sin(w * i));
  return v;
}

// Whole-number sample values, as a 16-bit recording carries them.
inline std::vector<float> noise16(std::int64_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_int_distribution<int> d(-20000, 20000);
  std::vector<float> v(static_cast<std::size_t>(n));
  for (auto& x : v) x = static_cast<float>(d(gen));
  return v;
}

inline TimeMachineInput inputOf(const std::vector<float>& left, const std::vector<float>* right = nullptr,
                                std::uint64_t rate = 44100) {
  TimeMachineInput in;
  in.left = left.data();
  in.right = right ? right->data() : nullptr;
  in.sampleCount = left.size();
  in.sampleRate = rate;
  in.bitsPerSample = 16;
  return in;
}

// Frequency from the upward zero crossings within [from, to).
inline double crossingFrequency(const std::vector<float>& x, std::size_t from, std::size_t to, double fs = 44100.0) {
  std::int64_t first = -1, last = -1, count = 0;
  for (std::size_t i = from + 1; i < to && i < x.size(); ++i) {
    if (x[i - 1] < 0.0f && x[i] >= 0.0f) {
      if (first < 0) first = static_cast<std::int64_t>(i);
      last = static_cast<std::int64_t>(i);
      ++count;
    }
  }
  if (count < 2) return 0.0;
  return static_cast<double>(count - 1) * fs / static_cast<double>(last - first);
}

// The largest change from one sample to the next within [from, to): a
// splice that joins a tone out of phase shows as a step above the tone's
// own.
inline double largestStep(const std::vector<float>& x, std::size_t from, std::size_t to) {
  double step = 0.0;
  for (std::size_t i = from + 1; i < to && i < x.size(); ++i)
    step = std::max(step, std::fabs(static_cast<double>(x[i]) - x[i - 1]));
  return step;
}

// Root mean square over [from, to).
inline double rms(const std::vector<float>& x, std::size_t from, std::size_t to) {
  double sum = 0.0;
  for (std::size_t i = from; i < to; ++i) sum += static_cast<double>(x[i]) * x[i];
  return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0.0;
}

}  // namespace StretchChecks
