// The per-bin loop compiled once more for AVX2 (GCC only): four bins per
// vector. Every header the loop uses is included before the target switch
// (an inline function first compiled under it could become the program's
// only copy, which a CPU without AVX2 cannot run), and the target names
// AVX2 alone: with FMA a product and a sum could become one rounding.

#include <cstdint>

#include "BinLevelsPhases.h"
#include "PhaseMath.h"

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__AVX2__)
#define BIN_LEVELS_PHASES_WIDE 1
#pragma GCC push_options
#pragma GCC target("avx2")
namespace {
#define BIN_LEVELS_PHASES_LOOP wideLoop
#include "BinLevelsPhasesKernel.h"
#undef BIN_LEVELS_PHASES_LOOP
}  // namespace
#pragma GCC pop_options
#else
#define BIN_LEVELS_PHASES_WIDE 0
#endif

namespace {

// Either precision through the one wide loop, where the CPU has AVX2.
template <typename Packed>
bool computeWide(const Packed* packed, std::int64_t first, std::int64_t end, float* levels, float* phases) {
#if BIN_LEVELS_PHASES_WIDE
  // Reads what the runtime found out about the CPU at start-up.
  if (!__builtin_cpu_supports("avx2")) return false;
  wideLoop(packed, first, end, levels, phases);
  return true;
#else
  (void)packed, (void)first, (void)end, (void)levels, (void)phases;
  return false;
#endif
}

}  // namespace

namespace BinLevelsPhases {

bool ComputeWide(const float* packed, std::int64_t first, std::int64_t end, float* levels, float* phases) {
  return computeWide(packed, first, end, levels, phases);
}

bool ComputeWide(const double* packed, std::int64_t first, std::int64_t end, float* levels, float* phases) {
  return computeWide(packed, first, end, levels, phases);
}

}
