#include "AmplitudeRun.h"

#include <cstring>

#include "LevelAmplitude.h"

#if defined(__x86_64__) || defined(__SSE2__)
#include <immintrin.h>
#endif

// The vector copies follow LevelAmplitude::Exp step by step: clamp to
// [-700, 700] (a NaN passes, as there), 2^n from the bits of x log2(e)
// plus 1.5 2^52, the remainder r = (x - n ln2hi) - n ln2lo, the series in
// r by Horner's rule with the same coefficients in the same order, times
// 2^n, times 32768, and 0 for levels at or below the silent one.

namespace {

constexpr double kLog2e = 1.4426950408889634;
constexpr double kLn2Hi = 6.93147180369123816490e-01;
constexpr double kLn2Lo = 1.90821492927058770002e-10;
constexpr double kRound = 6755399441055744.0;
constexpr double kSeries[] = {1.0 / 6227020800.0, 1.0 / 479001600.0, 1.0 / 39916800.0, 1.0 / 3628800.0,
                              1.0 / 362880.0,     1.0 / 40320.0,     1.0 / 5040.0,     1.0 / 720.0,
                              1.0 / 120.0,        1.0 / 24.0,        1.0 / 6.0,        0.5,
                              1.0,                1.0};

// A band's frame is blanked outside the band with the silent level itself,
// in long runs: a block of those takes its zeros without the exponentials.
// The test compares bits, two bins to a 64-bit word (a float compare per
// bin costs a third of an exponential); a level below the silent one, or a
// NaN, goes through the exponential as any other.
constexpr std::int64_t kBlock = 16;

std::uint64_t silentPair(float silent) {
  std::uint32_t bits;
  std::memcpy(&bits, &silent, sizeof bits);
  return (std::uint64_t{bits} << 32) | bits;
}

bool blockIsSilent(const float* levels, std::uint64_t pair) {
  std::uint64_t words[kBlock / 2];
  std::memcpy(words, levels, sizeof words);
  std::uint64_t differ = 0;
  for (std::uint64_t w : words) differ |= w ^ pair;
  return differ == 0;
}

}  // namespace

namespace AmplitudeRun {

void FromDbPlain(const float* levels, std::int64_t n, float silent, double* out) {
  for (std::int64_t k = 0; k < n; ++k) out[k] = LevelAmplitude::FromDb(levels[k], silent);
}

#if defined(__SSE2__)

bool FromDbTwo(const float* levels, std::int64_t n, float silent, double* out) {
  const __m128d low = _mm_set1_pd(-700.0), high = _mm_set1_pd(700.0);
  const __m128d silentLevel = _mm_set1_pd(static_cast<double>(silent));
  const __m128i bias = _mm_set1_epi64x(1023);
  auto two = [&](std::int64_t k) {
    const __m128d dB = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(levels + k))));
    __m128d x = _mm_mul_pd(dB, _mm_set1_pd(LevelAmplitude::kDbToNeper));
    // max(-700, x) and min(700, x) return x when it is a NaN, as the
    // compares of the plain code do.
    x = _mm_min_pd(high, _mm_max_pd(low, x));
    const __m128d shifted = _mm_add_pd(_mm_mul_pd(x, _mm_set1_pd(kLog2e)), _mm_set1_pd(kRound));
    const __m128d whole = _mm_sub_pd(shifted, _mm_set1_pd(kRound));
    const __m128d scale = _mm_castsi128_pd(_mm_slli_epi64(_mm_add_epi64(_mm_castpd_si128(shifted), bias), 52));
    const __m128d r = _mm_sub_pd(_mm_sub_pd(x, _mm_mul_pd(whole, _mm_set1_pd(kLn2Hi))),
                                 _mm_mul_pd(whole, _mm_set1_pd(kLn2Lo)));
    __m128d p = _mm_set1_pd(kSeries[0]);
    for (std::size_t i = 1; i < sizeof kSeries / sizeof kSeries[0]; ++i)
      p = _mm_add_pd(_mm_mul_pd(p, r), _mm_set1_pd(kSeries[i]));
    const __m128d a = _mm_mul_pd(_mm_set1_pd(32768.0), _mm_mul_pd(p, scale));
    _mm_storeu_pd(out + k, _mm_andnot_pd(_mm_cmple_pd(dB, silentLevel), a));
  };
  const std::uint64_t pair = silentPair(silent);
  std::int64_t k = 0;
  for (; k + kBlock <= n; k += kBlock) {
    if (blockIsSilent(levels + k, pair)) {
      for (std::int64_t j = 0; j < kBlock; j += 2) _mm_storeu_pd(out + k + j, _mm_setzero_pd());
      continue;
    }
    for (std::int64_t j = 0; j < kBlock; j += 2) two(k + j);
  }
  for (; k + 2 <= n; k += 2) two(k);
  FromDbPlain(levels + k, n - k, silent, out + k);
  return true;
}

#else

bool FromDbTwo(const float*, std::int64_t, float, double*) { return false; }

#endif

#if defined(__GNUC__) && defined(__x86_64__)

namespace {

__attribute__((target("avx2"))) void fourAtATime(const float* levels, std::int64_t n, float silent, double* out) {
  const __m256d low = _mm256_set1_pd(-700.0), high = _mm256_set1_pd(700.0);
  const __m256d silentLevel = _mm256_set1_pd(static_cast<double>(silent));
  const __m256i bias = _mm256_set1_epi64x(1023);
  auto four = [&](std::int64_t k) __attribute__((target("avx2"))) {
    const __m256d dB = _mm256_cvtps_pd(_mm_loadu_ps(levels + k));
    __m256d x = _mm256_mul_pd(dB, _mm256_set1_pd(LevelAmplitude::kDbToNeper));
    x = _mm256_min_pd(high, _mm256_max_pd(low, x));
    const __m256d shifted = _mm256_add_pd(_mm256_mul_pd(x, _mm256_set1_pd(kLog2e)), _mm256_set1_pd(kRound));
    const __m256d whole = _mm256_sub_pd(shifted, _mm256_set1_pd(kRound));
    const __m256d scale =
        _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_add_epi64(_mm256_castpd_si256(shifted), bias), 52));
    const __m256d r = _mm256_sub_pd(_mm256_sub_pd(x, _mm256_mul_pd(whole, _mm256_set1_pd(kLn2Hi))),
                                    _mm256_mul_pd(whole, _mm256_set1_pd(kLn2Lo)));
    __m256d p = _mm256_set1_pd(kSeries[0]);
    for (std::size_t i = 1; i < sizeof kSeries / sizeof kSeries[0]; ++i)
      p = _mm256_add_pd(_mm256_mul_pd(p, r), _mm256_set1_pd(kSeries[i]));
    const __m256d a = _mm256_mul_pd(_mm256_set1_pd(32768.0), _mm256_mul_pd(p, scale));
    _mm256_storeu_pd(out + k, _mm256_andnot_pd(_mm256_cmp_pd(dB, silentLevel, _CMP_LE_OQ), a));
  };
  const std::uint64_t pair = silentPair(silent);
  std::int64_t k = 0;
  for (; k + kBlock <= n; k += kBlock) {
    if (blockIsSilent(levels + k, pair)) {
      for (std::int64_t j = 0; j < kBlock; j += 4) _mm256_storeu_pd(out + k + j, _mm256_setzero_pd());
      continue;
    }
    for (std::int64_t j = 0; j < kBlock; j += 4) four(k + j);
  }
  for (; k + 4 <= n; k += 4) four(k);
  FromDbPlain(levels + k, n - k, silent, out + k);
}

}  // namespace

bool FromDbFour(const float* levels, std::int64_t n, float silent, double* out) {
  // Reads what the runtime found out about the CPU at start-up.
  if (!__builtin_cpu_supports("avx2")) return false;
  fourAtATime(levels, n, silent, out);
  return true;
}

#else

bool FromDbFour(const float*, std::int64_t, float, double*) { return false; }

#endif

void FromDb(const float* levels, std::int64_t n, float silent, double* out) {
  if (FromDbFour(levels, n, silent, out)) return;
  if (FromDbTwo(levels, n, silent, out)) return;
  FromDbPlain(levels, n, silent, out);
}

}  // namespace AmplitudeRun
