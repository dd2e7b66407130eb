#include "LevelBlend.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif

namespace LevelBlend {

namespace {

constexpr float kNoEnergy = -std::numeric_limits<float>::max();

#if defined(__GNUC__) && defined(__x86_64__)
// Eight bins to a vector, each blended alike and kept by its mask, as the
// four-bin loop does them; returns how many bins it did.
__attribute__((target("avx"))) std::int64_t blendEight(const float* from, float* to, std::int64_t n, float w) {
  const __m256 silent = _mm256_set1_ps(kNoEnergy);
  const __m256 weight = _mm256_set1_ps(w);
  std::int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256 a = _mm256_loadu_ps(from + i);
    const __m256 m = _mm256_loadu_ps(to + i);
    const __m256 sounding = _mm256_and_ps(_mm256_cmp_ps(a, silent, _CMP_GT_OQ), _mm256_cmp_ps(m, silent, _CMP_GT_OQ));
    const __m256 blended = _mm256_add_ps(m, _mm256_mul_ps(_mm256_sub_ps(a, m), weight));
    // Masked by logic operations: GCC turns a blend on a compare's mask
    // into a branch per lane.
    _mm256_storeu_ps(to + i, _mm256_or_ps(_mm256_and_ps(sounding, blended), _mm256_andnot_ps(sounding, m)));
  }
  return i;
}

std::int64_t blendWide(const float* from, float* to, std::int64_t n, float w) {
  // Reads what the runtime found out about the CPU at start-up.
  return __builtin_cpu_supports("avx") ? blendEight(from, to, n, w) : 0;
}
#else
std::int64_t blendWide(const float*, float*, std::int64_t, float) { return 0; }
#endif

}  // namespace

void Blend(const SMSFrame& earlier, SMSFrame& out, double weight) {
  if (!earlier.magnitudes || !out.magnitudes || earlier.binCount != out.binCount) return;
  const auto w = static_cast<float>(std::clamp(weight, 0.0, 1.0));
  const float* from = earlier.magnitudes;
  float* to = out.magnitudes;
  const std::int64_t n = out.binCount;
  std::int64_t i = blendWide(from, to, n, w);
#if defined(__SSE2__)
  // Four bins to a vector, each blended alike and kept by its mask: the
  // compiler turns the plain loop's select back into a branch per bin.
  const __m128 silent = _mm_set1_ps(kNoEnergy);
  const __m128 weightV = _mm_set1_ps(w);
  for (; i + 4 <= n; i += 4) {
    const __m128 a = _mm_loadu_ps(from + i);
    const __m128 m = _mm_loadu_ps(to + i);
    const __m128 sounding = _mm_and_ps(_mm_cmpgt_ps(a, silent), _mm_cmpgt_ps(m, silent));
    const __m128 blended = _mm_add_ps(m, _mm_mul_ps(_mm_sub_ps(a, m), weightV));
    _mm_storeu_ps(to + i, _mm_or_ps(_mm_and_ps(sounding, blended), _mm_andnot_ps(sounding, m)));
  }
#endif
  for (; i < n; ++i) {
    const float a = from[i], m = to[i];
    if (a > kNoEnergy && m > kNoEnergy) to[i] = m + (a - m) * w;
  }
}

}  // namespace LevelBlend
