#pragma once
// Phase helpers of the spectral stretch: wrapping into one turn, unwrapping
// against a reference, bin positions and phase reads, and an arctangent
// fast enough for every bin of every analysed frame. All inline: they run
// per bin, several times per output frame.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "SMSFrame.h"

namespace PhaseMath {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = 3.141592653589793;
constexpr float kNoEnergy = -3.4028235e38f;

// Into [0, 2 pi). Phases within a few turns (nearly all) cost a compare
// and a subtraction; others one floor.
inline double Wrap(double phase) {
  if (phase >= 0.0) {
    if (phase < kTwoPi) return phase;
    if (phase < 2.0 * kTwoPi) return phase - kTwoPi;
  } else if (phase >= -kTwoPi) {
    const double p = phase + kTwoPi;
    return p < kTwoPi ? p : 0.0;  // -tiny + 2 pi rounds to 2 pi
  }
  double p = phase - std::floor(phase / kTwoPi) * kTwoPi;
  if (p >= kTwoPi) p -= kTwoPi;
  return p < 0.0 ? 0.0 : p;
}

// x moved by one turn so that it lies within pi of y.
inline double UnwrapAgainst(double x, double y) {
  if (x > y + kPi) return x - kTwoPi;
  if (y - kPi > x) return x + kTwoPi;
  return x;
}

// Bin position of frequency f in a frame of n bins up to nyquist (>= 0).
inline double BinOf(double f, std::int64_t n, double nyquist) {
  if (!(nyquist > 0.0)) return 0.0;
  return std::max(0.0, static_cast<double>(n - 1) * f / nyquist);
}

// Rounded bin of f, at most n - 1.
inline std::int64_t RoundedBin(double f, std::int64_t n, double nyquist) {
  const auto k = static_cast<std::int64_t>(std::floor(BinOf(f, n, nyquist) + 0.5));
  return std::clamp<std::int64_t>(k, 0, std::max<std::int64_t>(0, n - 1));
}

// Phase at bin `k` (0 when the frame has no phases or k is outside).
inline double PhaseAt(const SMSFrame& frame, std::int64_t k) {
  if (!frame.phases || k < 0 || k >= frame.binCount) return 0.0;
  return frame.phases[k];
}

// Phase at frequency f, interpolated between the bins around it.
inline double InterpolatedPhase(const SMSFrame& frame, double f, double nyquist) {
  const std::int64_t n = frame.binCount;
  if (n <= 0) return 0.0;
  const double x = BinOf(f, n, nyquist);
  const auto k = std::min(static_cast<std::int64_t>(std::floor(x)), n - 1);
  const std::int64_t k1 = std::min(k + 1, n - 1);
  const double p0 = PhaseAt(frame, k);
  const double p1 = UnwrapAgainst(PhaseAt(frame, k1), p0);
  return Wrap(p0 + (x - static_cast<double>(k)) * (p1 - p0));
}

// atan2(y, x) in (-pi, pi], within 5e-8 of the exact value: an odd
// polynomial of degree 15 for the arctangent of the smaller over the
// larger magnitude, then the octant. (0, 0) gives 0.
inline double Atan2(double y, double x) {
  const double ax = std::fabs(x), ay = std::fabs(y);
  const double hi = std::max(ax, ay), lo = std::min(ax, ay);
  if (hi == 0.0) return 0.0;
  const double z = lo / hi;
  const double t = z * z;
  double a = -0.003960257236728798;
  a = a * t + 0.021509254256429494;
  a = a * t - 0.05538169789087265;
  a = a * t + 0.09601656396939284;
  a = a * t - 0.13892041201571032;
  a = a * t + 0.19943081188304507;
  a = a * t - 0.33329538038540485;
  a = a * t + 0.9999992490880205;
  a *= z;
  if (ay > ax) a = 0.5 * kPi - a;
  if (x < 0.0) a = kPi - a;
  return y < 0.0 ? -a : a;
}

}  // namespace PhaseMath
