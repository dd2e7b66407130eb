// The low-pass filter that runs ahead of every decimation by four in the
// pitch analysis: a fourth-order elliptic filter with its pass band up to
// 0.2 of the Nyquist frequency (0.1 dB ripple, 4410 Hz at 44100 Hz) and
// about 30 dB of attenuation from 0.3 of it upward. At a quarter of the rate
// everything that folds below the 2640 Hz ceiling of the semitone peak
// search comes from at least 8385 Hz, well inside the stop band.
//
// One record carries its own history, so a stream may be filtered in pieces;
// records are independent of each other.

#pragma once

#include <cstdint>

namespace Hpcp {

struct DecimationFilter {
  // Feed-forward and feedback coefficients; a[0] is 1 and is not used.
  float b[5] = {0.0492556095f, -0.0409932286f, 0.0821471587f, -0.0409932286f, 0.0492556095f};
  float a[5] = {1.0f, -2.56790519f, 2.86615634f, -1.53543949f, 0.337002903f};
  // x[0] is the previous input, x[3] the one four samples back; y likewise
  // for the outputs.
  float x[4] = {};
  float y[4] = {};

  // Filters `count` samples of `in` into `out` (direct form I in single
  // precision) and keeps the history for the next call; `out` may be `in`.
  // A count of 0 or below changes nothing.
  void run(float* out, const float* in, int32_t count);

  // Filters one sample and keeps the history; run() is this per sample.
  inline float step(float xn) {
    // The feed-forward terms first, then the feedback subtracted term by
    // term: the order fixes the single-precision rounding.
    float yn = b[0] * xn + b[1] * x[0] + b[2] * x[1] + b[3] * x[2] + b[4] * x[3];
    yn = yn - a[1] * y[0];
    yn = yn - a[2] * y[1];
    yn = yn - a[3] * y[2];
    yn = yn - a[4] * y[3];
    x[3] = x[2];
    x[2] = x[1];
    x[1] = x[0];
    x[0] = xn;
    y[3] = y[2];
    y[2] = y[1];
    y[1] = y[0];
    y[0] = yn;
    return yn;
  }

  // Forgets the history, as if no sample had been filtered.
  void clearHistory();
};

// The low-pass in front of the semitone analysis's decimation by four: the
// filter above run twice in cascade. One pass leaves a strong tone that
// folds into the analysed band only some 30 dB down, still a clear peak on
// the analysis's compressive decibel scale; two passes bury it near the
// floor.
//
// This record keeps the history of both sections, so a stream is filtered
// once, hop by hop, and the overlapping analysis frames are cut from the
// filtered stream instead of each frame being filtered anew.
struct DecimationLowPass {
  DecimationFilter first;
  DecimationFilter second;

  // Filters `count` samples of `in` into `out` through both sections and
  // keeps the history; `out` may be `in`. A count of 0 or below changes
  // nothing.
  void run(float* out, const float* in, int32_t count);

  // Forgets the history of both sections.
  void clearHistory();
};

// The cascade over `count` samples, in place, from a cleared history: what
// a fresh DecimationLowPass gives on these samples alone.
void lowPassForDecimation(float* samples, int32_t count);

}  // namespace Hpcp
