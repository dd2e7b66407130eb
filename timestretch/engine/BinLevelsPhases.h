#pragma once
// Levels and phases of the bins of a real transform: the per-bin pass of
// every analysed frame, which costs more than the transform itself. The
// level is 10 log10(re^2 + im^2) less that of full scale (32768 = 0 dB),
// the lowest float for no energy; the phase is PhaseMath::Atan2. Two copies
// of one loop, for the baseline CPU and for AVX2, give the same bits: the
// same operations on each bin, no fused multiply-add.

#include <cstdint>
#include <cstring>
#include <limits>

#include "PhaseMath.h"

namespace BinLevelsPhases {

// Full scale 32768 is 0 dB: 20 log10(32768).
constexpr double kFullScaleDb = 90.30899869919435;
constexpr float kNoEnergy = -std::numeric_limits<float>::max();

// 10 log10(power) - kFullScaleDb as a float, or kNoEnergy unless power > 0;
// within 1e-8 dB. The exponent comes from the bits, the logarithm of the
// mantissa (brought within [sqrt(1/2), sqrt(2))) from the series
// 2 atanh(s) = ln((1 + s) / (1 - s)), |s| < 0.172, to s^11. Selects
// instead of branches, so that a loop over bins vectorises; an infinite
// power takes the path the library's frexp gives it (mantissa inf,
// exponent 0). Squares of floats are never subnormal doubles.
inline float LevelOfPower(double power) {
  std::uint64_t bits;
  std::memcpy(&bits, &power, sizeof bits);
  const std::uint64_t biased = (bits >> 52) & 0x7ff;
  const std::uint64_t mantissaBits = (bits & 0x800fffffffffffffULL) | (std::uint64_t{1022} << 52);
  // The biased exponent as a double, exactly: 2^52 + biased, less 2^52.
  const std::uint64_t biasedBits = 0x4330000000000000ULL | biased;
  double m, biasedValue;
  std::memcpy(&m, &mantissaBits, sizeof m);
  std::memcpy(&biasedValue, &biasedBits, sizeof biasedValue);
  biasedValue -= 4503599627370496.0;
  // (Asked of the double, not its bits: a compare of 64-bit integers does
  // not vectorise on the baseline CPU.)
  const bool infinite = power > std::numeric_limits<double>::max();
  using PhaseMath::Select;
  m = Select(infinite, power, m);
  double e = Select(infinite, 0.0, biasedValue - 1022.0);
  const bool low = m < 0.7071067811865476;
  m = Select(low, m * 2.0, m);
  e = Select(low, e - 1.0, e);
  const double s = (m - 1.0) / (m + 1.0);
  const double s2 = s * s;
  const double series = s * (2.0 + s2 * (2.0 / 3.0 + s2 * (0.4 + s2 * (2.0 / 7.0 + s2 * (2.0 / 9.0 + s2 * (2.0 / 11.0))))));
  constexpr double kDbPerNeper = 4.342944819032518;  // 10 / ln 10
  constexpr double kLn2 = 0.6931471805599453;
  const double level = kDbPerNeper * (e * kLn2 + series) - kFullScaleDb;
  // The float of kNoEnergy is itself: the select may come before the cast.
  return static_cast<float>(Select(power > 0.0, level, static_cast<double>(kNoEnergy)));
}

// Bins first .. end - 1 (1 <= first) of `packed`, the real FFT's output for
// a transform of at least 2 end samples: bin b's real part at 2 b, its
// imaginary part with the opposite sign at 2 b + 1. Writes levels[b] and
// phases[b]. Takes the AVX2 copy where the CPU has it.
void Compute(const float* packed, std::int64_t first, std::int64_t end, float* levels, float* phases);

// The same from a double transform's sums, each rounded to float first:
// the bits Compute gives on the float transform of the same values,
// without a pass that rounds the whole transform into a float array.
void Compute(const double* packed, std::int64_t first, std::int64_t end, float* levels, float* phases);

// The baseline copy alone, and the AVX2 copy alone where it exists (false
// when the build or the CPU has none); for comparing the two.
void ComputeBaseline(const float* packed, std::int64_t first, std::int64_t end, float* levels, float* phases);
bool ComputeWide(const float* packed, std::int64_t first, std::int64_t end, float* levels, float* phases);
void ComputeBaseline(const double* packed, std::int64_t first, std::int64_t end, float* levels, float* phases);
bool ComputeWide(const double* packed, std::int64_t first, std::int64_t end, float* levels, float* phases);

}  // namespace BinLevelsPhases
