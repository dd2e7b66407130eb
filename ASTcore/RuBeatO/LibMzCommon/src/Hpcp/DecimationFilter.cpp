#include "Hpcp/DecimationFilter.h"

namespace Hpcp {

void DecimationFilter::run(float* out, const float* in, int32_t count) {
  for (int32_t n = 0; n < count; ++n) {
    const float xn = in[n];
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
    out[n] = yn;
  }
}

void DecimationFilter::clearHistory() {
  for (int i = 0; i < 4; ++i) x[i] = y[i] = 0.0f;
}

void lowPassForDecimation(float* samples, int32_t count) {
  for (int pass = 0; pass < 2; ++pass) {
    DecimationFilter section;
    section.run(samples, samples, count);
  }
}

}  // namespace Hpcp
