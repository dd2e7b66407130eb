#pragma once
// The engine's view of a job's input: two channels of unscaled 16-bit sample
// values held as floats, read in place from the job's own arrays.

#include <cstdint>

struct TimeMachineInput {
  const float* left = nullptr;   // required by the engine
  const float* right = nullptr;  // null means mono
  std::uint64_t sampleCount = 0; // per channel
  std::uint64_t sampleRate = 0;
  std::uint64_t bitsPerSample = 0;
};
