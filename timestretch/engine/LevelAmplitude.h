#pragma once
// Amplitude of a spectral level: 32768 exp(dB ln(10) / 20), full scale at
// 0 dB. The synthesis needs one per bin of every output frame, so it is
// computed without a library call and without branches (a loop over a
// frame's bins vectorises): exp from 2^n times a series for the rest,
// within 2e-16 of the library's value, so that the float spectrum built
// from it comes out the same.

#include <cstdint>
#include <cstring>

namespace LevelAmplitude {

// dB to nepers: ln(10) / 20.
constexpr double kDbToNeper = 0.1151292546497;

// exp(x) for x in [-700, 700] (clamped there).
inline double Exp(double x) {
  constexpr double kLog2e = 1.4426950408889634;
  // ln 2 in two parts, the first exact when multiplied by a whole number
  // below 2^20.
  constexpr double kLn2Hi = 6.93147180369123816490e-01;
  constexpr double kLn2Lo = 1.90821492927058770002e-10;
  // Adding 1.5 * 2^52 rounds to a whole number, which then stands in the
  // low bits of the sum.
  constexpr double kRound = 6755399441055744.0;
  x = x < -700.0 ? -700.0 : (x > 700.0 ? 700.0 : x);
  const double shifted = x * kLog2e + kRound;
  const double n = shifted - kRound;
  std::uint64_t bits;
  std::memcpy(&bits, &shifted, sizeof bits);
  // The low twelve bits of the sum plus the exponent bias, moved into the
  // exponent field, make 2^n; the higher bits shift out.
  const std::uint64_t scaleBits = (bits + 1023) << 52;
  double scale;
  std::memcpy(&scale, &scaleBits, sizeof scale);
  // |r| <= ln(2) / 2: the series to r^13 / 13! leaves less than 5e-18.
  const double r = (x - n * kLn2Hi) - n * kLn2Lo;
  double p = 1.0 / 6227020800.0;
  p = p * r + 1.0 / 479001600.0;
  p = p * r + 1.0 / 39916800.0;
  p = p * r + 1.0 / 3628800.0;
  p = p * r + 1.0 / 362880.0;
  p = p * r + 1.0 / 40320.0;
  p = p * r + 1.0 / 5040.0;
  p = p * r + 1.0 / 720.0;
  p = p * r + 1.0 / 120.0;
  p = p * r + 1.0 / 24.0;
  p = p * r + 1.0 / 6.0;
  p = p * r + 0.5;
  p = p * r + 1.0;
  p = p * r + 1.0;
  return p * scale;
}

// 32768 exp(dB ln(10) / 20); 0 for levels at or below `silent`.
inline double FromDb(float dB, float silent) {
  const double a = 32768.0 * Exp(dB * kDbToNeper);
  return dB <= silent ? 0.0 : a;
}

}  // namespace LevelAmplitude
