#pragma once
// What the three time-domain stretchers share: their output record, the
// fixed-point sample form two of them compute in, and the one linear
// cross-fade they splice with.
//
// These stretchers stand beside the spectral engine; they take the same
// input record (one or two float channels, a count and a rate) and give a
// plain output record.

#include <cstdint>
#include <vector>

#include "TimeMachineInput.h"

// The stretched channels; `right` stays empty for mono input. `produced` is
// the sample count of each channel.
struct StretchedAudio {
  std::vector<float> left;
  std::vector<float> right;
  std::int64_t produced = 0;
};

namespace TimeDomainStretch {

// Samples are carried as 64-bit integers with 16 fractional bits.
constexpr double kFixedScale = 65536.0;
constexpr double kFixedUnscale = 1.52587890625e-5;  // 1 / 65536

// Values beyond any sample range are held at +-2^40 (and a NaN counts 0), so
// the conversion stays defined whatever the caller passes.
inline std::int64_t toFixed(float sample) {
  constexpr double kLimit = 1099511627776.0;
  const double v = static_cast<double>(sample) * kFixedScale;
  if (!(v == v)) return 0;
  return static_cast<std::int64_t>(v > kLimit ? kLimit : (v < -kLimit ? -kLimit : v));
}
inline float fromFixed(std::int64_t value) {
  return static_cast<float>(static_cast<double>(value) * kFixedUnscale);
}

// Channel count of an input record: 2 with a right channel, else 1.
inline int channelsOf(const TimeMachineInput& in) { return in.right ? 2 : 1; }

// Linear cross-fade of `n` samples: a[i] weighted by the falling weight
// 1 - i/n, b[i] by the rising weight i/n. Writes into `out`.
void crossFade(const double* a, const double* b, std::int64_t n, double* out);

// The two splices by which a tone changes its length by whole periods and
// still runs on without a step: both fade between the signal and itself one
// period `p` away, where the two agree.
//
// The period x[0..p) played twice: the period itself, then again, fading
// from its successor x[p..2p) back into it; 2p samples into `out` from the
// first p of the input (x holds 2p). What follows continues at x[p].
void repeatPeriod(const double* x, std::int64_t p, double* out);
// Two periods x[0..2p) made one: p samples into `out`, fading from the first
// into the second. What follows continues at x[2p].
void dropPeriod(const double* x, std::int64_t p, double* out);

// Resizes both channels of `out` to exactly `length` samples (zeros past
// what was produced) and sets the count. Throws the integer -1 when the
// storage cannot be had.
void finishToLength(StretchedAudio& out, bool stereo, std::int64_t length);

}  // namespace TimeDomainStretch
