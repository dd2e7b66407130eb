#pragma once
// The engine entry's records besides its input (TimeMachineInput): what a
// run hands back to the caller, and the working record between the entry
// and the engine object.

#include <cstdint>

// Filled by a successful run. The arrays are allocated with new[] and owned
// by the caller from then on (FreeStretchOutput releases them).
struct TimeMachineOutput {
  float* left = nullptr;
  float* right = nullptr;  // written only for stereo input
  std::uint64_t produced = 0;
};

struct TimeMachineIO {
  // Status values.
  static constexpr std::int64_t kSuccess = 0;
  static constexpr std::int64_t kOutOfMemory = 1;
  static constexpr std::int64_t kCancelledOrAnalysisFailed = -1;

  const float* leftIn = nullptr;
  const float* rightIn = nullptr;  // the left pointer again for mono
  float* leftOut = nullptr;
  float* rightOut = nullptr;
  std::uint64_t sampleCount = 0;
  std::uint64_t produced = 0;
  std::uint64_t bitsPerSample = 0;
  double sampleRate = 0.0;
  // 0 success, 1 out of memory, -1 cancelled or analysis failed, anything
  // else refused input.
  std::int64_t status = kSuccess;
};
