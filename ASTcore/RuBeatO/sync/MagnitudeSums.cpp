// The magnitude sums, once for the baseline instruction set and once more
// for AVX2 (GCC only). Nothing but intrinsics is used under the target
// switch, so no inline function of a header can end up compiled for AVX2
// alone; the target names AVX2 without FMA.

#include "MagnitudeSums.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__AVX2__)
#define MAGNITUDE_SUMS_WIDE 1
#include <immintrin.h>
#else
#define MAGNITUDE_SUMS_WIDE 0
#endif

namespace {

// The bins from `first` on, one at a time.
void addBins(const float* packed, int first, int bins, MagnitudeSums& sums) {
  for (int k = first; k < bins; ++k) {
    const double m = std::sqrt(packed[2 * k] * packed[2 * k] + packed[2 * k + 1] * packed[2 * k + 1]);
    sums.sum += m;
    sums.squares += m * m;
  }
}

MagnitudeSums baselineSums(const float* packed, int bins) {
  MagnitudeSums sums;
  int k = 0;
#if defined(__SSE2__)
  // Eight bins a step into four pairs of running sums, so that no sum
  // waits on the one before it.
  __m128d sum[4] = {_mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd()};
  __m128d squares[4] = {_mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd()};
  for (; k + 7 < bins; k += 8) {
    for (int half = 0; half < 2; ++half) {
      const float* bin = packed + 2 * k + 8 * half;
      const __m128 a = _mm_loadu_ps(bin);      // re, im of bins k, k+1
      const __m128 b = _mm_loadu_ps(bin + 4);  // re, im of bins k+2, k+3
      const __m128 sa = _mm_mul_ps(a, a);
      const __m128 sb = _mm_mul_ps(b, b);
      const __m128 magnitude = _mm_sqrt_ps(_mm_add_ps(_mm_shuffle_ps(sa, sb, _MM_SHUFFLE(2, 0, 2, 0)),
                                                      _mm_shuffle_ps(sa, sb, _MM_SHUFFLE(3, 1, 3, 1))));
      const __m128d low = _mm_cvtps_pd(magnitude);
      const __m128d high = _mm_cvtps_pd(_mm_movehl_ps(magnitude, magnitude));
      sum[2 * half] = _mm_add_pd(sum[2 * half], low);
      sum[2 * half + 1] = _mm_add_pd(sum[2 * half + 1], high);
      squares[2 * half] = _mm_add_pd(squares[2 * half], _mm_mul_pd(low, low));
      squares[2 * half + 1] = _mm_add_pd(squares[2 * half + 1], _mm_mul_pd(high, high));
    }
  }
  double lanes[2];
  _mm_storeu_pd(lanes, _mm_add_pd(_mm_add_pd(sum[0], sum[1]), _mm_add_pd(sum[2], sum[3])));
  sums.sum = lanes[0] + lanes[1];
  _mm_storeu_pd(lanes, _mm_add_pd(_mm_add_pd(squares[0], squares[1]), _mm_add_pd(squares[2], squares[3])));
  sums.squares = lanes[0] + lanes[1];
#endif
  addBins(packed, k, bins, sums);
  return sums;
}

#if MAGNITUDE_SUMS_WIDE
#pragma GCC push_options
#pragma GCC target("avx2")

// Sixteen bins a step: a horizontal addition of the squared values gives
// eight powers (in the order 0, 1, 4, 5, 2, 3, 6, 7, which sums do not
// mind), whose roots go into two pairs of four running sums. Returns the
// first bin not done.
int wideSums(const float* packed, int bins, double& sumOut, double& squaresOut) {
  __m256d sum[4] = {_mm256_setzero_pd(), _mm256_setzero_pd(), _mm256_setzero_pd(), _mm256_setzero_pd()};
  __m256d squares[4] = {_mm256_setzero_pd(), _mm256_setzero_pd(), _mm256_setzero_pd(), _mm256_setzero_pd()};
  int k = 0;
  for (; k + 15 < bins; k += 16) {
    for (int half = 0; half < 2; ++half) {
      const float* bin = packed + 2 * k + 16 * half;
      const __m256 a = _mm256_loadu_ps(bin);
      const __m256 b = _mm256_loadu_ps(bin + 8);
      const __m256 magnitude = _mm256_sqrt_ps(_mm256_hadd_ps(_mm256_mul_ps(a, a), _mm256_mul_ps(b, b)));
      const __m256d low = _mm256_cvtps_pd(_mm256_castps256_ps128(magnitude));
      const __m256d high = _mm256_cvtps_pd(_mm256_extractf128_ps(magnitude, 1));
      sum[2 * half] = _mm256_add_pd(sum[2 * half], low);
      sum[2 * half + 1] = _mm256_add_pd(sum[2 * half + 1], high);
      squares[2 * half] = _mm256_add_pd(squares[2 * half], _mm256_mul_pd(low, low));
      squares[2 * half + 1] = _mm256_add_pd(squares[2 * half + 1], _mm256_mul_pd(high, high));
    }
  }
  double lanes[4];
  _mm256_storeu_pd(lanes, _mm256_add_pd(_mm256_add_pd(sum[0], sum[1]), _mm256_add_pd(sum[2], sum[3])));
  sumOut = (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
  _mm256_storeu_pd(lanes,
                   _mm256_add_pd(_mm256_add_pd(squares[0], squares[1]), _mm256_add_pd(squares[2], squares[3])));
  squaresOut = (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
  return k;
}

#pragma GCC pop_options
#endif

}  // namespace

MagnitudeSums magnitudeSums(const float* packed, int bins) {
#if MAGNITUDE_SUMS_WIDE
  // Reads what the runtime found out about the CPU at start-up.
  if (__builtin_cpu_supports("avx2")) {
    MagnitudeSums sums;
    const int done = wideSums(packed, bins, sums.sum, sums.squares);
    addBins(packed, done, bins, sums);
    return sums;
  }
#endif
  return baselineSums(packed, bins);
}
