#include "LevelBlend.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

namespace LevelBlend {

void Blend(const SMSFrame& earlier, SMSFrame& out, double weight) {
  if (!earlier.magnitudes || !out.magnitudes || earlier.binCount != out.binCount) return;
  const auto w = static_cast<float>(std::clamp(weight, 0.0, 1.0));
  constexpr float kNoEnergy = -std::numeric_limits<float>::max();
  const float* from = earlier.magnitudes;
  float* to = out.magnitudes;
  const std::int64_t n = out.binCount;
  std::int64_t i = 0;
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
