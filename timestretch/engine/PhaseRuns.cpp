#include "PhaseRuns.h"

#include "PhaseMath.h"

#if defined(__SSE2__)
#include <immintrin.h>
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


// The region advance two bins per vector (four in PhaseRunsWide.cpp).
using LaneDoubles = __m128d;
using LaneInts = int __attribute__((vector_size(8)));
inline __m128d laneLoadFloats(const float* p) { return load2(p); }
inline void laneStoreFloats(float* p, __m128d v) { store2(p, v); }
inline __m128d laneGE(__m128d a, __m128d b) { return _mm_cmpge_pd(a, b); }
inline __m128d laneLT(__m128d a, __m128d b) { return _mm_cmplt_pd(a, b); }
inline __m128d laneGT(__m128d a, __m128d b) { return _mm_cmpgt_pd(a, b); }
inline __m128d laneNE(__m128d a, __m128d b) { return _mm_cmpneq_pd(a, b); }
inline __m128d laneAndBits(__m128d m, __m128d a) { return _mm_and_pd(m, a); }
inline __m128d laneAndNotBits(__m128d m, __m128d a) { return _mm_andnot_pd(m, a); }
inline __m128d laneOrBits(__m128d a, __m128d b) { return _mm_or_pd(a, b); }
inline __m128d laneSelect(__m128d m, __m128d a, __m128d b) { return SelectLanes(m, a, b); }
inline bool LaneAllSet(__m128d m) { return _mm_movemask_pd(m) == 3; }
inline int laneAboveSilence(const float* levels) {
  const __m128 two = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(levels)));
  return _mm_movemask_ps(_mm_cmpgt_ps(two, _mm_set1_ps(kNoEnergy))) & 3;
}
#include "PhaseLanesKernel.h"
#endif

}  // namespace

namespace PhaseRuns {

RegionTerms RegionTermsFrom(const RegionTerms& t, std::int64_t k) {
  RegionTerms rest = t;
  for (const double** a : {&rest.previous.low, &rest.previous.high, &rest.previous.fraction, &rest.phaseA.low,
                           &rest.phaseA.high, &rest.phaseA.fraction, &rest.phaseB.low, &rest.phaseB.high,
                           &rest.phaseB.fraction, &rest.nearerBin, &rest.advance, &rest.useDeviation, &rest.analysed})
    *a += k;
  return rest;
}

void AdvanceRegionsPlain(const RegionTerms& t, std::int64_t n, double* phase, double* offset) {
  auto between = [](const PhasePairs& p, std::int64_t k) { return PhaseBetween(p.low[k], p.high[k], p.fraction[k]); };
  for (std::int64_t k = 0; k < n; ++k) {
    const double phaseB = between(t.phaseB, k);
    const double e = Wrap(t.nearerBin[k] - phaseB);
    const double predicted = Wrap(between(t.phaseA, k) + t.advance[k]);
    double deviation = UnwrapAgainst(phaseB, predicted) - predicted;
    if (t.useDeviation[k] == 0.0) deviation = 0.0;
    phase[k] = Wrap(between(t.previous, k) + e + t.advance[k] + deviation);
    offset[k] = UnwrapAgainst(phase[k], t.analysed[k]) - t.analysed[k];
  }
}

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

std::int64_t AdvanceRegionsTwo(const RegionTerms& terms, std::int64_t n, double* phase, double* offset) {
  return laneAdvanceRegions(terms, 0, n, phase, offset);
}

void AdvanceRegions(const RegionTerms& t, std::int64_t n, double* phase, double* offset) {
  std::int64_t k = AdvanceRegionsFour(t, n, phase, offset);
  k += AdvanceRegionsTwo(RegionTermsFrom(t, k), n - k, phase + k, offset + k);
  AdvanceRegionsPlain(RegionTermsFrom(t, k), n - k, phase + k, offset + k);
}

void AddWrapped(float* out, const float* in, std::int64_t n, double a) {
  std::int64_t k = n >= 4 ? AddWrappedFour(out, in, n, a) : 0;
  k = laneAddWrapped<false>(out, in, k, n, a, 0.0);
  if (k < n) out[k] = static_cast<float>(Wrap(in[k] + a));  // the odd bin
}

namespace {

// What the first vectors of a two-offset run leave: vectors with a sum far
// out, and the odd bin.
__attribute__((noinline)) void addWrapped2Rest(float* out, const float* in, std::int64_t n, double a, double b) {
  const std::int64_t k = laneAddWrapped<true>(out, in, 0, n, a, b);
  if (k < n) out[k] = static_cast<float>(Wrap(in[k] + a + b));  // the odd bin
}

}  // namespace

void AddWrapped2(float* out, const float* in, std::int64_t n, double a, double b) {
  // Mostly one to three bins: the usual case ends without a call.
  const std::int64_t k = laneAddWrappedNear<true>(out, in, 0, n, a, b);
  if (k == n) return;
  if (k + 1 == n) {
    const double v = in[k] + a + b;
    if (IsNearTurn(v)) {
      out[k] = static_cast<float>(WrapNear(v));
      return;
    }
  }
  addWrapped2Rest(out + k, in + k, n - k, a, b);
}

void PullTogether(float* left, float* right, const float* leftLevels, const float* analysedLeft,
                  const float* analysedRight, std::int64_t n, double amount) {
  std::int64_t k = PullFour(left, right, leftLevels, analysedLeft, analysedRight, n, amount);
  k = lanePullTogether(left, right, leftLevels, analysedLeft, analysedRight, k, n, amount);
  PullTogetherPlain(left + k, right + k, leftLevels + k, analysedLeft + k, analysedRight + k, n - k, amount);
}

#else

std::int64_t AdvanceRegionsTwo(const RegionTerms&, std::int64_t, double*, double*) { return 0; }

void AdvanceRegions(const RegionTerms& t, std::int64_t n, double* phase, double* offset) {
  const std::int64_t k = AdvanceRegionsFour(t, n, phase, offset);
  AdvanceRegionsPlain(RegionTermsFrom(t, k), n - k, phase + k, offset + k);
}

void AddWrapped(float* out, const float* in, std::int64_t n, double a) {
  const std::int64_t k = AddWrappedFour(out, in, n, a);
  AddWrappedPlain(out + k, in + k, n - k, a);
}

void AddWrapped2(float* out, const float* in, std::int64_t n, double a, double b) {
  AddWrapped2Plain(out, in, n, a, b);
}

void PullTogether(float* left, float* right, const float* leftLevels, const float* analysedLeft,
                  const float* analysedRight, std::int64_t n, double amount) {
  const std::int64_t k = PullFour(left, right, leftLevels, analysedLeft, analysedRight, n, amount);
  PullTogetherPlain(left + k, right + k, leftLevels + k, analysedLeft + k, analysedRight + k, n - k, amount);
}

#endif

}  // namespace PhaseRuns
