#pragma once
// The chord engine's streaming low-pass for audio that the pitch analysis
// will read at a quarter of the rate. It is the decimation filter of the
// semitone analysis itself (one filter design for every path), as a record
// that carries its history from call to call.

#include "Hpcp/DecimationFilter.h"

namespace kelo {

struct Decimator : Hpcp::DecimationFilter {
  // Filters `count` samples of `in` into `out` (both at least `count`
  // floats; they may be the same buffer) and keeps the history in `state`
  // for the next call. `step` is accepted and not used (callers pass 1). A
  // count of 0 or below writes nothing and leaves the state as it was.
  static void process(float* out, const float* in, int count, Decimator& state, int step);
};

}  // namespace kelo
