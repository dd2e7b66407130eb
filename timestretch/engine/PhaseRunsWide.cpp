// The region advance compiled once more for AVX2 (GCC only): four bins per
// vector, from the same code as the two-lane loop. Every header the code
// uses is included before the target switch (an inline function first
// compiled under it could become the program's only copy, which a CPU
// without AVX2 cannot run), and the target names AVX2 alone: with FMA a
// product and a sum could become one rounding.

#include <cstdint>
#include <cstring>

#include <immintrin.h>

#include "PhaseMath.h"
#include "PhaseRuns.h"

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__AVX2__)
#define PHASE_RUNS_WIDE 1
#pragma GCC push_options
#pragma GCC target("avx2")
namespace {
using LaneDoubles = double __attribute__((vector_size(32)));
using LaneInts = int __attribute__((vector_size(16)));
inline bool LaneAllSet(decltype(LaneDoubles{} < LaneDoubles{}) mask) {
  return _mm256_movemask_pd(reinterpret_cast<__m256d>(mask)) == 15;
}
#include "PhaseLanesKernel.h"
}  // namespace
#pragma GCC pop_options
#else
#define PHASE_RUNS_WIDE 0
#endif

namespace PhaseRuns {

std::int64_t AdvanceRegionsFour(const RegionTerms& terms, std::int64_t n, double* phase, double* offset) {
#if PHASE_RUNS_WIDE
  // Reads what the runtime found out about the CPU at start-up.
  if (!__builtin_cpu_supports("avx2")) return 0;
  return laneAdvanceRegions(terms, 0, n, phase, offset);
#else
  (void)terms, (void)n, (void)phase, (void)offset;
  return 0;
#endif
}

}  // namespace PhaseRuns
