#pragma once
// The WAVE format block a stretch job carries for its input.

#include <cstdint>

struct JobWaveFormat {
  std::uint16_t formatTag = 1;  // PCM
  std::uint16_t channels = 2;
  std::uint64_t samplesPerSec = 44100;
  std::uint64_t avgBytesPerSec = 176400;
  std::uint16_t blockAlign = 4;
  std::uint16_t bitsPerSample = 16;
};
