#include "Hpcp/DecimationFilter.h"

namespace Hpcp {

void DecimationFilter::run(float* out, const float* in, int32_t count) {
  for (int32_t n = 0; n < count; ++n) out[n] = step(in[n]);
}

void DecimationFilter::clearHistory() {
  for (int i = 0; i < 4; ++i) x[i] = y[i] = 0.0f;
}

void DecimationLowPass::run(float* out, const float* in, int32_t count) {
  // Both sections in one sweep: each section's feedback chain is serial,
  // but the two chains are independent, so the processor overlaps them;
  // every sample still goes through the same operations in the same order
  // as two passes one after the other.
  for (int32_t n = 0; n < count; ++n) out[n] = second.step(first.step(in[n]));
}

void DecimationLowPass::clearHistory() {
  first.clearHistory();
  second.clearHistory();
}

void lowPassForDecimation(float* samples, int32_t count) {
  DecimationLowPass cascade;
  cascade.run(samples, samples, count);
}

}  // namespace Hpcp
