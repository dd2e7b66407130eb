#pragma once
// The bits of a float or double, for tests that demand the same value to
// the last bit (a NaN's payload and the sign of zero included).

#include <cstdint>
#include <cstring>

inline std::uint32_t BitsOf(float v) {
  std::uint32_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

inline std::uint64_t BitsOf(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}
