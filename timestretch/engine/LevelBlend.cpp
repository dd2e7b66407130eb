#include "LevelBlend.h"

#include <algorithm>
#include <cstring>
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
__attribute__((target("avx"))) std::int64_t blendEight(const float* from, const float* later, float* to,
                                                       std::int64_t n, float w) {
  const __m256 silent = _mm256_set1_ps(kNoEnergy);
  const __m256 weight = _mm256_set1_ps(w);
  std::int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256 a = _mm256_loadu_ps(from + i);
    const __m256 m = _mm256_loadu_ps(later + i);
    const __m256 sounding = _mm256_and_ps(_mm256_cmp_ps(a, silent, _CMP_GT_OQ), _mm256_cmp_ps(m, silent, _CMP_GT_OQ));
    const __m256 blended = _mm256_add_ps(m, _mm256_mul_ps(_mm256_sub_ps(a, m), weight));
    // Masked by logic operations: GCC turns a blend on a compare's mask
    // into a branch per lane.
    _mm256_storeu_ps(to + i, _mm256_or_ps(_mm256_and_ps(sounding, blended), _mm256_andnot_ps(sounding, m)));
  }
  return i;
}

std::int64_t blendWide(const float* from, const float* later, float* to, std::int64_t n, float w) {
  // Reads what the runtime found out about the CPU at start-up.
  return __builtin_cpu_supports("avx") ? blendEight(from, later, to, n, w) : 0;
}
#else
std::int64_t blendWide(const float*, const float*, float*, std::int64_t, float) { return 0; }
#endif

// to[i] = later[i] moved by w towards from[i] where both sound, else
// later[i]; `later` may be `to` itself.
void blendLevels(const float* from, const float* later, float* to, std::int64_t n, double weight) {
  const auto w = static_cast<float>(std::clamp(weight, 0.0, 1.0));
  std::int64_t i = blendWide(from, later, to, n, w);
#if defined(__SSE2__)
  // Four bins to a vector, each blended alike and kept by its mask: the
  // compiler turns the plain loop's select back into a branch per bin.
  const __m128 silent = _mm_set1_ps(kNoEnergy);
  const __m128 weightV = _mm_set1_ps(w);
  for (; i + 4 <= n; i += 4) {
    const __m128 a = _mm_loadu_ps(from + i);
    const __m128 m = _mm_loadu_ps(later + i);
    const __m128 sounding = _mm_and_ps(_mm_cmpgt_ps(a, silent), _mm_cmpgt_ps(m, silent));
    const __m128 blended = _mm_add_ps(m, _mm_mul_ps(_mm_sub_ps(a, m), weightV));
    _mm_storeu_ps(to + i, _mm_or_ps(_mm_and_ps(sounding, blended), _mm_andnot_ps(sounding, m)));
  }
#endif
  for (; i < n; ++i) {
    const float a = from[i], m = later[i];
    to[i] = a > kNoEnergy && m > kNoEnergy ? m + (a - m) * w : m;
  }
}

}  // namespace

void Blend(const SMSFrame& earlier, SMSFrame& out, double weight) {
  if (!earlier.magnitudes || !out.magnitudes || earlier.binCount != out.binCount) return;
  blendLevels(earlier.magnitudes, out.magnitudes, out.magnitudes, out.binCount, weight);
}

void CopyBlended(const SMSFrame& earlier, const SMSFrame& later, SMSFrame& out, double weight) {
  constexpr std::uint64_t kSpectra = SMSFrame::kMagnitudes | SMSFrame::kPhases;
  const std::uint64_t bits = later.flags & kSpectra;
  const bool fused = &later != &out && &earlier != &out && (bits & SMSFrame::kMagnitudes) && later.magnitudes &&
                     earlier.magnitudes && earlier.binCount == later.binCount && later.binCount > 0;
  if (!fused) {
    SMSFrame::CopyFrom(later, out, kSpectra, true);
    Blend(earlier, out, weight);
    return;
  }
  // As the copy would allocate: zeroed only where a phase array is missing.
  const bool overwritten = !(bits & SMSFrame::kPhases) || later.phases;
  if (out.Allocate(bits, later.binCount, !overwritten) != 0) throw -1;
  out.flags = (out.flags & ~SMSFrame::kSpectralQualifier) | (later.flags & SMSFrame::kSpectralQualifier);
  const std::int64_t n = later.binCount;
  if ((bits & SMSFrame::kPhases) && later.phases)
    std::memcpy(out.phases, later.phases, static_cast<std::size_t>(n) * sizeof(float));
  blendLevels(earlier.magnitudes, later.magnitudes, out.magnitudes, n, weight);
  out.time = later.time;
}

}  // namespace LevelBlend
