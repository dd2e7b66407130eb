#include "PhaseRuns.h"

#include "PhaseMath.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using namespace PhaseMath;

namespace {

inline void pullBin(float& left, float& right, float level, float analysedLeft, float analysedRight, double amount) {
  if (!(level > kNoEnergy)) return;
  const double inL = analysedLeft;
  const double dIn = UnwrapAgainst(analysedRight, inL) - inL;
  const double dOutRaw = UnwrapAgainst(right, left) - left;
  const double dOut = UnwrapAgainst(dOutRaw, dIn);
  const double c = (dOut - dIn) * 0.5 * amount;
  left = static_cast<float>(Wrap(left + c));
  right = static_cast<float>(Wrap(right - c));
}

#if defined(__SSE2__)
// Two floats as two doubles, and back (rounded as a cast rounds).
inline __m128d load2(const float* p) {
  return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}
inline void store2(float* p, __m128d v) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_castps_si128(_mm_cvtpd_ps(v)));
}
#endif

}  // namespace

namespace PhaseRuns {

void AddWrappedPlain(float* out, const float* in, std::int64_t n, double a) {
  for (std::int64_t k = 0; k < n; ++k) out[k] = static_cast<float>(Wrap(in[k] + a));
}

void AddWrapped2Plain(float* out, const float* in, std::int64_t n, double a, double b) {
  for (std::int64_t k = 0; k < n; ++k) out[k] = static_cast<float>(Wrap(in[k] + a + b));
}

void PullTogetherPlain(float* left, float* right, const float* leftLevels, const float* analysedLeft,
                       const float* analysedRight, std::int64_t n, double amount) {
  for (std::int64_t k = 0; k < n; ++k)
    pullBin(left[k], right[k], leftLevels[k], analysedLeft[k], analysedRight[k], amount);
}

#if defined(__SSE2__)

void AddWrapped(float* out, const float* in, std::int64_t n, double a) {
  std::int64_t k = 0;
  const __m128d va = _mm_set1_pd(a);
  for (; k + 2 <= n; k += 2) {
    const __m128d v = _mm_add_pd(load2(in + k), va);
    if (_mm_movemask_pd(IsNearTurnLanes(v)) != 3) {
      AddWrappedPlain(out + k, in + k, 2, a);
      continue;
    }
    store2(out + k, WrapNearLanes(v));
  }
  AddWrappedPlain(out + k, in + k, n - k, a);
}

void AddWrapped2(float* out, const float* in, std::int64_t n, double a, double b) {
  std::int64_t k = 0;
  const __m128d va = _mm_set1_pd(a), vb = _mm_set1_pd(b);
  for (; k + 2 <= n; k += 2) {
    const __m128d v = _mm_add_pd(_mm_add_pd(load2(in + k), va), vb);
    if (_mm_movemask_pd(IsNearTurnLanes(v)) != 3) {
      AddWrapped2Plain(out + k, in + k, 2, a, b);
      continue;
    }
    store2(out + k, WrapNearLanes(v));
  }
  AddWrapped2Plain(out + k, in + k, n - k, a, b);
}

void PullTogether(float* left, float* right, const float* leftLevels, const float* analysedLeft,
                  const float* analysedRight, std::int64_t n, double amount) {
  std::int64_t k = 0;
  const __m128 silent = _mm_set1_ps(kNoEnergy);
  const __m128d half = _mm_set1_pd(0.5), va = _mm_set1_pd(amount);
  for (; k + 2 <= n; k += 2) {
    const __m128 levels = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(leftLevels + k)));
    const int active = _mm_movemask_ps(_mm_cmpgt_ps(levels, silent)) & 3;
    if (active == 0) continue;
    const __m128d inL = load2(analysedLeft + k);
    const __m128d dIn = _mm_sub_pd(UnwrapAgainstLanes(load2(analysedRight + k), inL), inL);
    const __m128d l = load2(left + k), r = load2(right + k);
    const __m128d dOutRaw = _mm_sub_pd(UnwrapAgainstLanes(r, l), l);
    const __m128d dOut = UnwrapAgainstLanes(dOutRaw, dIn);
    const __m128d c = _mm_mul_pd(_mm_mul_pd(_mm_sub_pd(dOut, dIn), half), va);
    const __m128d newL = _mm_add_pd(l, c), newR = _mm_sub_pd(r, c);
    if (active != 3 || _mm_movemask_pd(_mm_and_pd(IsNearTurnLanes(newL), IsNearTurnLanes(newR))) != 3) {
      // A band's edge or a sum far out: bin by bin.
      PullTogetherPlain(left + k, right + k, leftLevels + k, analysedLeft + k, analysedRight + k, 2, amount);
      continue;
    }
    store2(left + k, WrapNearLanes(newL));
    store2(right + k, WrapNearLanes(newR));
  }
  PullTogetherPlain(left + k, right + k, leftLevels + k, analysedLeft + k, analysedRight + k, n - k, amount);
}

#else

void AddWrapped(float* out, const float* in, std::int64_t n, double a) { AddWrappedPlain(out, in, n, a); }

void AddWrapped2(float* out, const float* in, std::int64_t n, double a, double b) {
  AddWrapped2Plain(out, in, n, a, b);
}

void PullTogether(float* left, float* right, const float* leftLevels, const float* analysedLeft,
                  const float* analysedRight, std::int64_t n, double amount) {
  PullTogetherPlain(left, right, leftLevels, analysedLeft, analysedRight, n, amount);
}

#endif

}  // namespace PhaseRuns
