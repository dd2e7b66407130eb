#pragma once
// The six option bytes of an analysis run, handed over packed into one
// value whose low byte is the first option.

#include <cstdint>

struct AnalysisOptions {
  std::uint8_t segFixedMeter = 0;   // 1: tell the segmenter the metre below
  std::uint8_t segBeatsPerBar = 4;
  std::uint8_t segBeatUnit = 4;
  std::uint8_t fixedMeter = 1;      // 1: the fallback grid and beat range use the metre below
  std::uint8_t beatsPerBar = 4;
  std::uint8_t beatUnit = 4;

  static AnalysisOptions unpack(std::uint64_t packed) {
    AnalysisOptions o;
    o.segFixedMeter = static_cast<std::uint8_t>(packed);
    o.segBeatsPerBar = static_cast<std::uint8_t>(packed >> 8);
    o.segBeatUnit = static_cast<std::uint8_t>(packed >> 16);
    o.fixedMeter = static_cast<std::uint8_t>(packed >> 24);
    o.beatsPerBar = static_cast<std::uint8_t>(packed >> 32);
    o.beatUnit = static_cast<std::uint8_t>(packed >> 40);
    return o;
  }

  std::uint64_t pack() const {
    return std::uint64_t{segFixedMeter} | std::uint64_t{segBeatsPerBar} << 8 | std::uint64_t{segBeatUnit} << 16 |
           std::uint64_t{fixedMeter} << 24 | std::uint64_t{beatsPerBar} << 32 | std::uint64_t{beatUnit} << 40;
  }
};
