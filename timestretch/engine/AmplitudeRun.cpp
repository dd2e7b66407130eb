#include "AmplitudeRun.h"

#include <cstdint>
#include <cstring>

#include "LevelAmplitude.h"

namespace {
#define AMPLITUDE_RUN_LOOP baselineLoop
#include "AmplitudeRunKernel.h"
#undef AMPLITUDE_RUN_LOOP
}  // namespace

namespace AmplitudeRun {

void FromDbPlain(const float* levels, std::int64_t n, float silent, double* out) {
  for (std::int64_t k = 0; k < n; ++k) out[k] = LevelAmplitude::FromDb(levels[k], silent);
}

void FromDbBaseline(const float* levels, std::int64_t n, float silent, double* out) {
  baselineLoop(levels, n, silent, out);
}

void FromDb(const float* levels, std::int64_t n, float silent, double* out) {
  if (!FromDbWide(levels, n, silent, out)) baselineLoop(levels, n, silent, out);
}

}  // namespace AmplitudeRun
