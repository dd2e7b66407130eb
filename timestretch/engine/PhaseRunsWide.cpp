// The region advance, the one-offset wrapped runs and the coherence pull
// compiled once more for AVX2 (GCC only): four bins per vector, from the
// same code as the two-lane loops. Every header the code
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
using LaneDoubles = __m256d;
using LaneInts = int __attribute__((vector_size(16)));
inline __m256d laneLoadFloats(const float* p) { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }
inline void laneStoreFloats(float* p, __m256d v) { _mm_storeu_ps(p, _mm256_cvtpd_ps(v)); }
inline __m256d laneGE(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
inline __m256d laneLT(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
inline __m256d laneGT(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
inline __m256d laneNE(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, _CMP_NEQ_UQ); }
inline __m256d laneAndBits(__m256d m, __m256d a) { return _mm256_and_pd(m, a); }
inline __m256d laneAndNotBits(__m256d m, __m256d a) { return _mm256_andnot_pd(m, a); }
inline __m256d laneOrBits(__m256d a, __m256d b) { return _mm256_or_pd(a, b); }
// The masks are all ones or all zeros: the sign bit that a blend reads picks
// what the masking picks.
inline __m256d laneSelect(__m256d m, __m256d a, __m256d b) { return _mm256_blendv_pd(b, a, m); }
inline bool LaneAllSet(__m256d m) { return _mm256_movemask_pd(m) == 15; }
inline int laneAboveSilence(const float* levels) {
  return _mm_movemask_ps(_mm_cmpgt_ps(_mm_loadu_ps(levels), _mm_set1_ps(PhaseMath::kNoEnergy)));
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

std::int64_t AddWrappedFour(float* out, const float* in, std::int64_t n, double a) {
#if PHASE_RUNS_WIDE
  if (!__builtin_cpu_supports("avx2")) return 0;
  return laneAddWrapped<false>(out, in, 0, n, a, 0.0);
#else
  (void)out, (void)in, (void)n, (void)a;
  return 0;
#endif
}

std::int64_t PullFour(float* left, float* right, const float* leftLevels, const float* analysedLeft,
                      const float* analysedRight, std::int64_t n, double amount) {
#if PHASE_RUNS_WIDE
  if (!__builtin_cpu_supports("avx2")) return 0;
  return lanePullTogether(left, right, leftLevels, analysedLeft, analysedRight, 0, n, amount);
#else
  (void)left, (void)right, (void)leftLevels, (void)analysedLeft, (void)analysedRight, (void)n, (void)amount;
  return 0;
#endif
}

}  // namespace PhaseRuns
