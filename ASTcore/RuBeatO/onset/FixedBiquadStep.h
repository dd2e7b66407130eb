#pragma once
// The arithmetic of the fixed-point filters, inline, so that a caller that
// feeds a filter one sample at a time from a loop of its own (the block
// onset detector's envelope stage) runs the very steps runBiquad runs,
// interleaved with its own work instead of in a second pass.

#include <cstdint>
#include <limits>

namespace FixedBiquadStep {

inline std::int32_t saturate32(std::int64_t v) {
  if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

// v * 2^shift without a signed left shift, saturated to 32 bits; |v| < 2^32.
inline std::int32_t scaleUp(std::int64_t v, std::int32_t shift) {
  if (v == 0) return 0;
  if (shift < 0) {
    const std::int32_t down = shift < -62 ? 62 : -shift;
    return saturate32(v >> down);  // arithmetic: rounds toward minus infinity
  }
  if (shift > 31) {
    return v > 0 ? std::numeric_limits<std::int32_t>::max() : std::numeric_limits<std::int32_t>::min();
  }
  return saturate32(v * (std::int64_t{1} << shift));
}

// The target's product of 16-bit halves (see biquadMul in FixedBiquad.h).
inline std::int32_t multiply(std::int32_t x, std::int32_t c) {
  // The target forms four 16 x 16-bit partial products, with x = xh 2^16 + xl
  // and c = ch 2^16 + cl (xl, cl the unsigned low halves):
  //   xh ch + floor(xh cl / 2^16) + floor((xl ch + floor(xl cl / 2^16)) / 2^16).
  // The first two terms are floor(xh c / 2^16), since xh ch 2^16 is a whole
  // multiple of 2^16; the last is floor(xl c / 2^32), since a floor inside a
  // floor of a division by the same power of two can be left out. Two 64-bit
  // products give the same value (|xh c| < 2^47, xl |c| < 2^47), and the
  // runners, which call this five times a sample, need fewer steps.
  const std::int64_t xh = x >> 16;
  const std::int64_t xl = static_cast<std::int64_t>(static_cast<std::uint32_t>(x) & 0xFFFFu);
  return static_cast<std::int32_t>(((xh * c) >> 16) + ((xl * c) >> 32));
}

// A biquad's coefficients and states in locals: a copy of a BiquadRecord's
// fields for the length of a loop.
struct Section {
  std::int32_t c0, c1, c2, c3, c4, shift, z1, z2;

  std::int32_t step(std::int32_t x) {
    const std::int32_t y = scaleUp(std::int64_t{multiply(x, c0)} + z1, shift);
    z1 = saturate32(std::int64_t{multiply(x, c1)} + z2 + multiply(y, c3));
    z2 = saturate32(std::int64_t{multiply(x, c2)} + multiply(y, c4));
    return y;
  }
};

}  // namespace FixedBiquadStep
