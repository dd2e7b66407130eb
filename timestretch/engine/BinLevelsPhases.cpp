#include "BinLevelsPhases.h"

#include <cstdint>

#include "PhaseMath.h"

namespace {
#define BIN_LEVELS_PHASES_LOOP baselineLoop
#include "BinLevelsPhasesKernel.h"
#undef BIN_LEVELS_PHASES_LOOP
}  // namespace

namespace BinLevelsPhases {

void ComputeBaseline(const float* packed, std::int64_t first, std::int64_t end, float* levels, float* phases) {
  baselineLoop(packed, first, end, levels, phases);
}

void Compute(const float* packed, std::int64_t first, std::int64_t end, float* levels, float* phases) {
  if (!ComputeWide(packed, first, end, levels, phases)) baselineLoop(packed, first, end, levels, phases);
}

void ComputeBaseline(const double* packed, std::int64_t first, std::int64_t end, float* levels, float* phases) {
  baselineLoop(packed, first, end, levels, phases);
}

void Compute(const double* packed, std::int64_t first, std::int64_t end, float* levels, float* phases) {
  if (!ComputeWide(packed, first, end, levels, phases)) baselineLoop(packed, first, end, levels, phases);
}

}  // namespace BinLevelsPhases
