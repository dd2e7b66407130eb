#pragma once
// The tempo of a span of the recording, in quarter notes a minute at 44100
// Hz, and the whole tempo a style stores for it.

#include <cmath>
#include <cstdint>

namespace SectionTempo {

constexpr double kFramesPerMinute = 2646000.0;  // 44100 * 60

// `bars` bars of `num`/`den` over `frames` frames.
inline double ofBars(double bars, double num, double den, double frames) {
  return bars * (num * kFramesPerMinute * 4.0 / den) / frames;
}

// The nearest whole tempo, not the one below: a span of whole bars on an N
// BPM grid comes out a hair under N (single-precision beat times, addresses
// rounded up to whole frames), and an analysed grid a frame or two off over
// a phrase (99.94 for a 100 BPM song); cut down to N - 1, every phrase was
// stretched by a percent for nothing.
inline std::uint64_t nearestWhole(double tempo) { return static_cast<std::uint64_t>(std::llround(tempo)); }

}  // namespace SectionTempo
