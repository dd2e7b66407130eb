#include "WindowedSamples.h"

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif

namespace WindowedSamples {

void MultiplyPlain(const float* samples, const float* window, std::int64_t n, double* out) {
  for (std::int64_t i = 0; i < n; ++i) out[i] = static_cast<double>(samples[i] * window[i]);
}

#if defined(__GNUC__) && defined(__x86_64__)

namespace {

__attribute__((target("avx"))) void multiplyEight(const float* samples, const float* window, std::int64_t n,
                                                  double* out) {
  std::int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256 p = _mm256_mul_ps(_mm256_loadu_ps(samples + i), _mm256_loadu_ps(window + i));
    _mm256_storeu_pd(out + i, _mm256_cvtps_pd(_mm256_castps256_ps128(p)));
    _mm256_storeu_pd(out + i + 4, _mm256_cvtps_pd(_mm256_extractf128_ps(p, 1)));
  }
  MultiplyPlain(samples + i, window + i, n - i, out + i);
}

}  // namespace

bool MultiplyWide(const float* samples, const float* window, std::int64_t n, double* out) {
  // Reads what the runtime found out about the CPU at start-up.
  if (!__builtin_cpu_supports("avx")) return false;
  multiplyEight(samples, window, n, out);
  return true;
}

#else

bool MultiplyWide(const float*, const float*, std::int64_t, double*) { return false; }

#endif

void Multiply(const float* samples, const float* window, std::int64_t n, double* out) {
  if (n <= 0) return;
  if (!MultiplyWide(samples, window, n, out)) MultiplyPlain(samples, window, n, out);
}

}  // namespace WindowedSamples
