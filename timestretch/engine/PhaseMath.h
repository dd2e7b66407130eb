#pragma once
// Phase helpers of the spectral stretch: wrapping into one turn, unwrapping
// against a reference, bin positions and phase reads, and an arctangent
// fast enough for every bin of every analysed frame. All inline: they run
// per bin, several times per output frame.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "SMSFrame.h"

namespace PhaseMath {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = 3.141592653589793;
constexpr float kNoEnergy = -3.4028235e38f;

// a when c holds, else b, by masking the bits: no branch, and nothing the
// compiler could move under one, so that loops using it vectorise.
inline double Select(bool c, double a, double b) {
  std::uint64_t ua, ub;
  std::memcpy(&ua, &a, sizeof ua);
  std::memcpy(&ub, &b, sizeof ub);
  const std::uint64_t mask = std::uint64_t{0} - static_cast<std::uint64_t>(c);
  const std::uint64_t r = (ua & mask) | (ub & ~mask);
  double d;
  std::memcpy(&d, &r, sizeof d);
  return d;
}

// Whether Wrap takes a phase by its near rule: from -2 pi up to 4 pi.
// (Both compares always made, so that a loop using it vectorises.)
inline bool IsNearTurn(double phase) { return (phase >= -kTwoPi) & (phase < 2.0 * kTwoPi); }

#if defined(__SSE2__)
// The near rule of Wrap, its test and UnwrapAgainst on both lanes of an
// SSE2 vector. The compares make all-ones or all-zero masks per lane and
// the selects stay in the vector registers: a few instructions each, where
// a select through the integer registers takes about eight. The scalar
// helpers below run on lane 0 of these, so loops over bins and single
// phases share one implementation.
inline __m128d SelectLanes(__m128d mask, __m128d a, __m128d b) {
  return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b));
}
inline __m128d IsNearTurnLanes(__m128d v) {
  return _mm_and_pd(_mm_cmpge_pd(v, _mm_set1_pd(-kTwoPi)), _mm_cmplt_pd(v, _mm_set1_pd(2.0 * kTwoPi)));
}
inline __m128d WrapNearLanes(__m128d v) {
  const __m128d turn = _mm_set1_pd(kTwoPi);
  const __m128d up = _mm_add_pd(v, turn);
  const __m128d r = SelectLanes(_mm_cmpge_pd(v, turn), _mm_sub_pd(v, turn), v);
  // Select(up < 2 pi, up, 0.0): the masked-off lane is +0.
  const __m128d below = _mm_and_pd(_mm_cmplt_pd(up, turn), up);
  return SelectLanes(_mm_cmplt_pd(v, _mm_setzero_pd()), below, r);
}
inline __m128d UnwrapAgainstLanes(__m128d x, __m128d y) {
  const __m128d turn = _mm_set1_pd(kTwoPi);
  const __m128d half = _mm_set1_pd(kPi);
  const __m128d r = SelectLanes(_mm_cmpgt_pd(_mm_sub_pd(y, half), x), _mm_add_pd(x, turn), x);
  return SelectLanes(_mm_cmpgt_pd(x, _mm_add_pd(y, half)), _mm_sub_pd(x, turn), r);
}
#endif

// Wrap for a phase from -2 pi up to 4 pi, without a branch: the phase
// itself, one turn less from 2 pi on, one turn more below 0 (where a
// -tiny + 2 pi that rounds to 2 pi becomes 0). Loops over bins use it
// with IsNearTurn and fall back to Wrap when a phase lies farther out.
inline double WrapNear(double phase) {
#if defined(__SSE2__)
  return _mm_cvtsd_f64(WrapNearLanes(_mm_set_sd(phase)));
#else
  const double up = phase + kTwoPi;
  const double r = Select(phase >= kTwoPi, phase - kTwoPi, phase);
  return Select(phase < 0.0, Select(up < kTwoPi, up, 0.0), r);
#endif
}

// Into [0, 2 pi). Phases within a few turns (nearly all) are chosen
// without a branch that random phases would mispredict; others subtract
// whole turns.
inline double Wrap(double phase) {
  if (IsNearTurn(phase)) return WrapNear(phase);
  const double turns = phase / kTwoPi;
  // floor without the library call where the quotient fits a whole number.
  double whole;
  if (std::fabs(turns) < 4.0e18) {
    whole = static_cast<double>(static_cast<std::int64_t>(turns));
    whole = Select(whole > turns, whole - 1.0, whole);
  } else {
    whole = std::floor(turns);
  }
  double p = phase - whole * kTwoPi;
  if (p >= kTwoPi) p -= kTwoPi;
  return p < 0.0 ? 0.0 : p;
}

#if defined(__SSE2__)
// Wrap on both lanes: the near rule, or whole turns subtracted as Wrap
// subtracts them (the quotient's floor from its 32-bit whole part, which
// is the 64-bit one wherever it fits); a lane whose quotient does not fit,
// or is no number, sends both through Wrap.
inline __m128d WrapLanes(__m128d v) {
  const __m128d nearMask = IsNearTurnLanes(v);
  const __m128d nearTurn = WrapNearLanes(v);
  if (_mm_movemask_pd(nearMask) == 3) return nearTurn;
  const __m128d turn = _mm_set1_pd(kTwoPi);
  const __m128d turns = _mm_div_pd(v, turn);
  const __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), turns);
  if (_mm_movemask_pd(_mm_or_pd(nearMask, _mm_cmplt_pd(magnitude, _mm_set1_pd(2147483647.0)))) != 3) {
    double lanes[2];
    _mm_storeu_pd(lanes, v);
    return _mm_set_pd(Wrap(lanes[1]), Wrap(lanes[0]));
  }
  __m128d whole = _mm_cvtepi32_pd(_mm_cvttpd_epi32(turns));
  whole = SelectLanes(_mm_cmpgt_pd(whole, turns), _mm_sub_pd(whole, _mm_set1_pd(1.0)), whole);
  __m128d p = _mm_sub_pd(v, _mm_mul_pd(whole, turn));
  p = SelectLanes(_mm_cmpge_pd(p, turn), _mm_sub_pd(p, turn), p);
  p = _mm_andnot_pd(_mm_cmplt_pd(p, _mm_setzero_pd()), p);
  return SelectLanes(nearMask, nearTurn, p);
}
#endif

// x moved by one turn so that it lies within pi of y (never both moves:
// y - pi does not round above y + pi).
inline double UnwrapAgainst(double x, double y) {
#if defined(__SSE2__)
  return _mm_cvtsd_f64(UnwrapAgainstLanes(_mm_set_sd(x), _mm_set_sd(y)));
#else
  const double r = Select(y - kPi > x, x + kTwoPi, x);
  return Select(x > y + kPi, x - kTwoPi, r);
#endif
}

// Bin position of frequency f in a frame of n bins up to nyquist (>= 0).
inline double BinOf(double f, std::int64_t n, double nyquist) {
  if (!(nyquist > 0.0)) return 0.0;
  return std::max(0.0, static_cast<double>(n - 1) * f / nyquist);
}

// Rounded bin of a bin position x from BinOf, at most n - 1.
inline std::int64_t RoundedBinAt(double x, std::int64_t n) {
  // x is never negative: truncation is the floor.
  const auto k = static_cast<std::int64_t>(x + 0.5);
  return std::clamp<std::int64_t>(k, 0, std::max<std::int64_t>(0, n - 1));
}

// Rounded bin of f, at most n - 1.
inline std::int64_t RoundedBin(double f, std::int64_t n, double nyquist) { return RoundedBinAt(BinOf(f, n, nyquist), n); }

// Phase at bin `k` of `n` phases (0 without phases or for k outside).
inline double PhaseAt(const float* phases, std::int64_t n, std::int64_t k) {
  if (!phases || k < 0 || k >= n) return 0.0;
  return phases[k];
}

// Phase at bin `k` (0 when the frame has no phases or k is outside).
inline double PhaseAt(const SMSFrame& frame, std::int64_t k) { return PhaseAt(frame.phases, frame.binCount, k); }

// The two bins a phase at bin position x from BinOf (so x >= 0) is read
// between: their phases (0 without phases) and how far x lies past the
// lower one; all 0 for a frame without bins.
struct PhasePair {
  double low = 0.0, high = 0.0, fraction = 0.0;
};

// The same over `n` bins of `phases` (null: no phases).
inline PhasePair PhasePairAt(const float* phases, std::int64_t n, double x) {
  if (n <= 0) return {};
  const auto k = std::min(static_cast<std::int64_t>(x), n - 1);
  const std::int64_t k1 = std::min(k + 1, n - 1);
  // Neither bin lies above the frame; only an infinite x (whose whole part
  // is no number) puts them below it.
  return {phases && k >= 0 ? phases[k] : 0.0, phases && k1 >= 0 ? phases[k1] : 0.0, x - static_cast<double>(k)};
}

inline PhasePair PhasePairAt(const SMSFrame& frame, double x) { return PhasePairAt(frame.phases, frame.binCount, x); }

// The phase between a pair's bins: the upper one unwrapped against the
// lower, the line between them, wrapped.
inline double PhaseBetween(double low, double high, double fraction) {
  const double p1 = UnwrapAgainst(high, low);
  return Wrap(low + fraction * (p1 - low));
}

// Phase at bin position x from BinOf (so x >= 0), interpolated between the
// bins around it.
inline double InterpolatedPhaseAt(const SMSFrame& frame, double x) {
  if (frame.binCount <= 0) return 0.0;
  const PhasePair pair = PhasePairAt(frame, x);
  return PhaseBetween(pair.low, pair.high, pair.fraction);
}

// Phase at frequency f, interpolated between the bins around it.
inline double InterpolatedPhase(const SMSFrame& frame, double f, double nyquist) {
  if (frame.binCount <= 0) return 0.0;
  return InterpolatedPhaseAt(frame, BinOf(f, frame.binCount, nyquist));
}

// atan2(y, x) in (-pi, pi], within 5e-8 of the exact value: an odd
// polynomial of degree 15 for the arctangent of the smaller over the
// larger magnitude, then the octant. (0, 0) gives 0. Every value is
// computed and the octant chosen by Select, so that a loop over bins
// vectorises.
inline double Atan2(double y, double x) {
  const double ax = std::fabs(x), ay = std::fabs(y);
  const double hi = std::max(ax, ay), lo = std::min(ax, ay);
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
  a = Select(ay > ax, 0.5 * kPi - a, a);
  a = Select(x < 0.0, kPi - a, a);
  a = Select(y < 0.0, -a, a);
  return Select(hi == 0.0, 0.0, a);
}

}  // namespace PhaseMath
