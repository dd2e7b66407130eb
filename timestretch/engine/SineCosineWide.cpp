// The wide kernel of SineCosine: glibc's sincosf for CPUs with FMA, step
// by step, four arguments per vector of doubles. Every fused step is an
// explicit fused multiply-add, and no product feeds a plain sum, so the
// compiler (which fuses such pairs under an FMA target even in ISO mode)
// has nothing to fuse that the library keeps apart.

#include <cmath>
#include <cstdint>
#include <limits>

#include "SineCosine.h"

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define SINE_COSINE_WIDE 1
#else
#define SINE_COSINE_WIDE 0
#endif

namespace SineCosine {

#if SINE_COSINE_WIDE

namespace {

// The library's constants (quadrant 0 and 1 polynomial; in quadrants 2
// and 3 it uses the same with the cosine coefficients negated, which only
// negates the cosine polynomial's result, exactly).
constexpr double kHalfPiInverse = 0x1.45f306dc9c883p+23;  // 2/pi scaled by 2^24
constexpr double kHalfPi = 0x1.921fb54442d18p+0;
constexpr double kC0 = 1.0;
constexpr double kC1 = -0x1.ffffffd0c621cp-2;
constexpr double kC2 = 0x1.55553e1068f19p-5;
constexpr double kC3 = -0x1.6c087e89a359dp-10;
constexpr double kC4 = 0x1.99343027bf8c3p-16;
constexpr double kS1 = -0x1.555545995a603p-3;
constexpr double kS2 = 0x1.1107605230bc4p-7;
constexpr double kS3 = -0x1.994eb3774cf24p-13;

// |x| below 2^-12: the sine is x itself and the cosine 1.
constexpr std::int32_t kTinyBits = 0x39800000;
// |x| from 120 on (and infinities, NaN): not covered.
constexpr std::int32_t kCoveredEndBits = 0x42f00000;

struct Unrounded {
  __m256d sine, cosine;
};

// The library's sine and cosine of four arguments below 120 in magnitude
// (and not below 2^-12, where it computes nothing), before their one
// rounding to float. Inlined into the loops, so that the constants stay in
// registers and one group's chain of dependent steps overlaps the next
// group's.
__attribute__((target("avx2,fma"), always_inline)) inline Unrounded fourUnrounded(__m128 y) {
  // Quadrant n = the nearest whole number to x 2/pi, by truncating the
  // product scaled by 2^24 and adding one half in the scaled units; below
  // 0.75 this is 0, and the reduced argument stays x exactly, which is the
  // library's path for small arguments.
  const __m256d xd = _mm256_cvtps_pd(y);
  const __m128i scaled = _mm256_cvttpd_epi32(_mm256_mul_pd(xd, _mm256_set1_pd(kHalfPiInverse)));
  const __m128i n = _mm_srai_epi32(_mm_add_epi32(scaled, _mm_set1_epi32(0x800000)), 24);
  const __m256d r = _mm256_fnmadd_pd(_mm256_cvtepi32_pd(n), _mm256_set1_pd(kHalfPi), xd);

  // The sine polynomial takes r negated in quadrants 1 and 2 (the
  // library multiplies by -1.0, which only flips the sign bit).
  const __m128i flip = _mm_slli_epi32(_mm_xor_si128(n, _mm_srli_epi32(n, 1)), 31);
  const __m256d sineSign = _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_cvtepu32_epi64(flip), 32));
  const __m256d xs = _mm256_xor_pd(r, sineSign);
  const __m256d x2 = _mm256_mul_pd(r, r);

  const __m256d c1 = _mm256_fmadd_pd(x2, _mm256_set1_pd(kC1), _mm256_set1_pd(kC0));
  const __m256d s1 = _mm256_fmadd_pd(x2, _mm256_set1_pd(kS3), _mm256_set1_pd(kS2));
  const __m256d c2 = _mm256_fmadd_pd(x2, _mm256_set1_pd(kC4), _mm256_set1_pd(kC3));
  const __m256d x3 = _mm256_mul_pd(x2, xs);
  const __m256d x4 = _mm256_mul_pd(x2, x2);
  const __m256d x5 = _mm256_mul_pd(x2, x3);
  const __m256d x6 = _mm256_mul_pd(x2, x4);
  const __m256d s = _mm256_fmadd_pd(x3, _mm256_set1_pd(kS1), xs);
  const __m256d c = _mm256_fmadd_pd(x4, _mm256_set1_pd(kC2), c1);
  const __m256d sinePoly = _mm256_fmadd_pd(s1, x5, s);
  const __m256d cosinePolyQ01 = _mm256_fmadd_pd(c2, x6, c);

  // Quadrants 2 and 3 negate the cosine polynomial; odd quadrants swap
  // the two results.
  const __m128i negate = _mm_slli_epi32(_mm_srli_epi32(n, 1), 31);
  const __m256d cosinePoly =
      _mm256_xor_pd(cosinePolyQ01, _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_cvtepu32_epi64(negate), 32)));
  const __m256d odd = _mm256_castsi256_pd(_mm256_cvtepi32_epi64(_mm_slli_epi32(n, 31)));
  return {_mm256_blendv_pd(sinePoly, cosinePoly, odd), _mm256_blendv_pd(cosinePoly, sinePoly, odd)};
}

struct Rounded {
  __m128 sine, cosine;
  int uncovered;  // mask of the lanes left for the library (results meaningless there)
};

__attribute__((target("avx2,fma"), always_inline)) inline Rounded fourRounded(__m128 y) {
  const __m128i magnitude = _mm_and_si128(_mm_castps_si128(y), _mm_set1_epi32(0x7fffffff));
  const __m128 tiny = _mm_castsi128_ps(_mm_cmplt_epi32(magnitude, _mm_set1_epi32(kTinyBits)));
  const __m128i uncovered = _mm_cmpgt_epi32(magnitude, _mm_set1_epi32(kCoveredEndBits - 1));
  const Unrounded u = fourUnrounded(y);
  return {_mm_blendv_ps(_mm256_cvtpd_ps(u.sine), y, tiny),
          _mm_blendv_ps(_mm256_cvtpd_ps(u.cosine), _mm_set1_ps(1.0f), tiny),
          _mm_movemask_ps(_mm_castsi128_ps(uncovered))};
}

// Four arguments; the lanes not covered are left for the caller. Returns
// the mask of those lanes.
__attribute__((target("avx2,fma"), always_inline)) inline int fourAtOnce(const float* x, float* sines, float* cosines) {
  const Rounded r = fourRounded(_mm_loadu_ps(x));
  _mm_storeu_ps(sines, r.sine);
  _mm_storeu_ps(cosines, r.cosine);
  return r.uncovered;
}

void fillUncovered(int mask, const float* x, float* sines, float* cosines) {
  for (int j = 0; j < 4; ++j)
    if (mask & (1 << j)) ::sincosf(x[j], &sines[j], &cosines[j]);
}

__attribute__((target("avx2,fma"))) void sineCosineLoop(const float* x, std::int64_t n, float* sines, float* cosines) {
  std::int64_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const int mask = fourAtOnce(x + i, sines + i, cosines + i);
    if (mask) fillUncovered(mask, x + i, sines + i, cosines + i);
  }
  if (i == n) return;
  // The last one to three through the same vector, padded with zeros.
  float in[4] = {0.0f, 0.0f, 0.0f, 0.0f}, s[4], c[4];
  const std::int64_t rest = n - i;
  for (std::int64_t j = 0; j < rest; ++j) in[j] = x[i + j];
  const int mask = fourAtOnce(in, s, c);
  if (mask) fillUncovered(mask, in, s, c);
  for (std::int64_t j = 0; j < rest; ++j) {
    sines[i + j] = s[j];
    cosines[i + j] = c[j];
  }
}

__attribute__((target("avx2,fma"))) void unroundedLoop(const float* x, std::int64_t n, double* sines,
                                                       double* cosines) {
  for (std::int64_t i = 0; i < n; i += 4) {
    float in[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    const std::int64_t count = n - i < 4 ? n - i : 4;
    for (std::int64_t j = 0; j < count; ++j) in[j] = x[i + j];
    const __m128 y = _mm_loadu_ps(in);
    const __m128i magnitude = _mm_and_si128(_mm_castps_si128(y), _mm_set1_epi32(0x7fffffff));
    const __m256d tiny =
        _mm256_castsi256_pd(_mm256_cvtepi32_epi64(_mm_cmplt_epi32(magnitude, _mm_set1_epi32(kTinyBits))));
    const __m256d uncovered =
        _mm256_castsi256_pd(_mm256_cvtepi32_epi64(_mm_cmpgt_epi32(magnitude, _mm_set1_epi32(kCoveredEndBits - 1))));
    const Unrounded u = fourUnrounded(y);
    const __m256d nan = _mm256_set1_pd(std::numeric_limits<double>::quiet_NaN());
    const __m256d sine = _mm256_blendv_pd(_mm256_blendv_pd(u.sine, _mm256_cvtps_pd(y), tiny), nan, uncovered);
    const __m256d cosine = _mm256_blendv_pd(_mm256_blendv_pd(u.cosine, _mm256_set1_pd(1.0), tiny), nan, uncovered);
    double s[4], c[4];
    _mm256_storeu_pd(s, sine);
    _mm256_storeu_pd(c, cosine);
    for (std::int64_t j = 0; j < count; ++j) {
      sines[i + j] = s[j];
      cosines[i + j] = c[j];
    }
  }
}

// Four bins of AddPolarWide: their sines and cosines, the products with
// the amplitudes in double rounded to float, added to the four pairs where
// the bin sounds and the pairs left as they were (every bit) where not.
// Storing adds to zeros that are never read from memory, so a buffer that
// would only be cleared for the sums needs no clearing.
template <bool kStore>
__attribute__((target("avx2,fma"), always_inline)) inline void addFour(const float* x, const double* amplitudes,
                                                                         const float* levels, __m128 silent,
                                                                         float* out) {
  const __m128 sounding = _mm_cmp_ps(_mm_loadu_ps(levels), silent, _CMP_NLE_UQ);
  const __m256 before = kStore ? _mm256_setzero_ps() : _mm256_loadu_ps(out);
  if (_mm_movemask_ps(sounding) == 0) {
    if (kStore) _mm256_storeu_ps(out, before);
    return;
  }
  Rounded r = fourRounded(_mm_loadu_ps(x));
  if (r.uncovered) {
    float s[4], c[4];
    _mm_storeu_ps(s, r.sine);
    _mm_storeu_ps(c, r.cosine);
    fillUncovered(r.uncovered, x, s, c);
    r.sine = _mm_loadu_ps(s);
    r.cosine = _mm_loadu_ps(c);
  }
  const __m256d a = _mm256_loadu_pd(amplitudes);
  const __m128 cosineTerms = _mm256_cvtpd_ps(_mm256_mul_pd(a, _mm256_cvtps_pd(r.cosine)));
  const __m128 sineTerms = _mm256_cvtpd_ps(_mm256_mul_pd(a, _mm256_cvtps_pd(r.sine)));
  const __m256 terms =
      _mm256_set_m128(_mm_unpackhi_ps(cosineTerms, sineTerms), _mm_unpacklo_ps(cosineTerms, sineTerms));
  const __m256 keep = _mm256_set_m128(_mm_unpackhi_ps(sounding, sounding), _mm_unpacklo_ps(sounding, sounding));
  _mm256_storeu_ps(out, _mm256_blendv_ps(before, _mm256_add_ps(before, terms), keep));
}

template <bool kStore>
__attribute__((target("avx2,fma"))) void addPolarLoop(const float* x, const double* amplitudes, const float* levels,
                                                      float silent, std::int64_t n, float* out) {
  const __m128 silentLevel = _mm_set1_ps(silent);
  std::int64_t k = 0;
  for (; k + 4 <= n; k += 4) addFour<kStore>(x + k, amplitudes + k, levels + k, silentLevel, out + 2 * k);
  if (k == n) return;
  // The last one to three bins through the same steps, padded with
  // silent bins.
  float in[4] = {0.0f, 0.0f, 0.0f, 0.0f}, level[4] = {silent, silent, silent, silent}, pairs[8] = {};
  double a[4] = {0.0, 0.0, 0.0, 0.0};
  const std::int64_t rest = n - k;
  for (std::int64_t j = 0; j < rest; ++j) {
    in[j] = x[k + j];
    a[j] = amplitudes[k + j];
    level[j] = levels[k + j];
    if (!kStore) {
      pairs[2 * j] = out[2 * (k + j)];
      pairs[2 * j + 1] = out[2 * (k + j) + 1];
    }
  }
  addFour<kStore>(in, a, level, silentLevel, pairs);
  for (std::int64_t j = 0; j < 2 * rest; ++j) out[2 * k + j] = pairs[j];
}

}  // namespace

bool AddPolarWide(const float* x, const double* amplitudes, const float* levels, float silent, std::int64_t n,
                  float* out, bool store) {
  if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma")) return false;
  if (n > 0) (store ? addPolarLoop<true> : addPolarLoop<false>)(x, amplitudes, levels, silent, n, out);
  return true;
}

bool ComputeWideUnrounded(const float* x, std::int64_t n, double* sines, double* cosines) {
  if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma")) return false;
  if (n > 0) unroundedLoop(x, n, sines, cosines);
  return true;
}

bool ComputeWide(const float* x, std::int64_t n, float* sines, float* cosines) {
  // Reads what the runtime found out about the CPU at start-up.
  if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma")) return false;
  if (n > 0) sineCosineLoop(x, n, sines, cosines);
  return true;
}

#else

bool ComputeWide(const float*, std::int64_t, float*, float*) { return false; }
bool ComputeWideUnrounded(const float*, std::int64_t, double*, double*) { return false; }
bool AddPolarWide(const float*, const double*, const float*, float, std::int64_t, float*, bool) { return false; }

#endif

}  // namespace SineCosine
