#include "CSpectrum.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

#include "AmplitudeRun.h"
#include "EngineArray.h"
#include "FftWorkRecord.h"
#include "LevelAmplitude.h"
#include "SineCosine.h"
#include "SpectralWindows.h"
#include "WindowedSamples.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr float kNoEnergy = -std::numeric_limits<float>::max();
constexpr float kMissingLevelDb = -100.0f;

// Synthesis window divisors per window type: the reciprocal of the
// window's mean, so that the overlapped synthesis comes out at unit gain.
constexpr double kSynthesisScaleFactor[SpectralWindows::kLastType + 1] = {
    1.8518435955048, 1.8929491043091, 1.9445765018463, 1.9949405193329, 2.0441184043884,
    2.2745671272278, 2.4840998649597, 2.6774570941925, 2.2242465019226, 2.3627805709839,
    2.4865102767944, 2.7874565124512, 2.0002224445343};

std::int64_t largestPowerOfTwoNotAbove(std::int64_t v) {
  std::int64_t p = 1;
  while (p * 2 <= v) p *= 2;
  return p;
}

bool isPowerOfTwo(std::int64_t v) { return v >= 2 && (v & (v - 1)) == 0; }

int synthesisType(int type) {
  if (type > SpectralWindows::kLastType) return SpectralWindows::kLastType;
  if (type < 0) return SpectralWindows::kBlackmanHarris61;
  return type;
}

// Reads src (count entries) for output bin i at input step `step`: direct
// for steps of 1, 2 and 4, linear interpolation otherwise; `fill` past the
// end.
float resampleBin(const float* src, std::int64_t count, std::int64_t i, double step, float fill) {
  if (!src || count <= 0) return fill;
  for (int whole : {1, 2, 4}) {
    if (std::fabs(step - whole) < 1e-8) {
      const std::int64_t k = i * whole;
      return k < count ? src[k] : fill;
    }
  }
  const double pos = static_cast<double>(i) * step;
  const double lastBin = static_cast<double>(count - 1);
  if (pos > lastBin + 1e-8) return fill;
  const auto k = static_cast<std::int64_t>(pos);
  if (k >= count - 1) return src[count - 1];
  const double f = pos - static_cast<double>(k);
  return static_cast<float>(src[k] + (static_cast<double>(src[k + 1]) - src[k]) * f);
}

#if defined(__GNUC__) && defined(__x86_64__)
// The loops at the transform's edges with four doubles to an AVX vector:
// the same conversions, negations, products and sums as the SSE2 loops.
// Each returns where it stopped; the caller's loops finish from there.

// out[k..] = in[k..] widened, the odd (sine) entries negated; k even.
__attribute__((target("avx"))) std::int64_t widenNegatingSinesAvx(const float* in, double* out, std::int64_t k,
                                                                   std::int64_t n) {
  const __m128 sines = _mm_castsi128_ps(_mm_set_epi32(INT32_MIN, 0, INT32_MIN, 0));
  for (; k + 4 <= n; k += 4) _mm256_storeu_pd(out + k, _mm256_cvtps_pd(_mm_xor_ps(_mm_loadu_ps(in + k), sines)));
  return k;
}

// The frame's halves narrowed to float, traded and windowed.
__attribute__((target("avx"))) std::int64_t narrowSwappedAvx(const double* a, std::int64_t n2, const float* wl,
                                                              const float* wh, float* out) {
  std::int64_t i = 0;
  for (; i + 4 <= n2; i += 4) {
    const __m128 l = _mm256_cvtpd_ps(_mm256_loadu_pd(a + i));
    const __m128 h = _mm256_cvtpd_ps(_mm256_loadu_pd(a + n2 + i));
    _mm_storeu_ps(out + i, _mm_mul_ps(h, _mm_loadu_ps(wl + i)));
    _mm_storeu_ps(out + n2 + i, _mm_mul_ps(l, _mm_loadu_ps(wh + i)));
  }
  return i;
}

// Bins k.. of the sums narrowed to float, squared and added.
__attribute__((target("avx"))) std::int64_t narrowSquaresAvx(const double* b, std::int64_t k, std::int64_t half,
                                                              float* out) {
  for (; k + 4 <= half; k += 4) {
    const __m128 lo = _mm256_cvtpd_ps(_mm256_loadu_pd(b + 2 * k));
    const __m128 hi = _mm256_cvtpd_ps(_mm256_loadu_pd(b + 2 * k + 4));
    const __m128 sqLo = _mm_mul_ps(lo, lo);
    const __m128 sqHi = _mm_mul_ps(hi, hi);
    const __m128 cosines = _mm_shuffle_ps(sqLo, sqHi, _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 sines = _mm_shuffle_ps(sqLo, sqHi, _MM_SHUFFLE(3, 1, 3, 1));
    _mm_storeu_ps(out + k, _mm_add_ps(cosines, sines));
  }
  return k;
}

// Reads what the runtime found out about the CPU at start-up.
bool haveAvx() { return __builtin_cpu_supports("avx"); }
#else
std::int64_t widenNegatingSinesAvx(const float*, double*, std::int64_t k, std::int64_t) { return k; }
std::int64_t narrowSwappedAvx(const double*, std::int64_t, const float*, const float*, float*) { return 0; }
std::int64_t narrowSquaresAvx(const double*, std::int64_t k, std::int64_t, float*) { return k; }
bool haveAvx() { return false; }
#endif

}  // namespace

CSpectrum::CSpectrum(const CTimeMachineParams::Trailer* config) {
  bufferA = EngineArray::Make<float>(kWorkSize);
  bufferB = EngineArray::Make<float>(kWorkSize);
  residualLevels = EngineArray::Make<float>(kResidualSize);
  residualPhases = EngineArray::Make<float>(kResidualSize);
  phaseScratch_ = EngineArray::Make<float>(kResidualSize);
  amplitudeScratch_ = EngineArray::Make<double>(kResidualSize);
  sineScratch_ = EngineArray::Make<float>(kResidualSize);
  cosineScratch_ = EngineArray::Make<float>(kResidualSize);
  if (config)
    Setup(config->windowSize, config->windowType, config->overlap, config->zeroPadFactor);
  else
    Setup(128, SpectralWindows::kBlackmanHarris92, 50.0f, 2.0f);
}

CSpectrum::~CSpectrum() = default;

void CSpectrum::RealFft(int n, int isgn, float* data) { sharedFftWorkRecord().RealFftFloat(n, isgn, data); }

int CSpectrum::MakeWindow(std::int64_t N, int type, float* out) { return SpectralWindows::Make(N, type, out); }

void CSpectrum::Setup(std::int64_t size, int type, float overlapPercent, float factor) {
  frameCounter = 0;
  overlap = std::isnan(overlapPercent) ? 50.0f : overlapPercent;
  synthesisWindow.reset();
  inverseWindow.reset();
  synthesisLength_ = 0;
  windowSize = size < 8 ? 4 : largestPowerOfTwoNotAbove(std::min(size, kMaxWindowSize));
  // A window longer than its transform cannot be resynthesised.
  zeroPadFactor = std::isnan(factor) || factor < 1.0f ? 1.0f : factor;
  fftLength = static_cast<std::int32_t>(static_cast<double>(windowSize) * zeroPadFactor);
  fftBase = largestPowerOfTwoNotAbove(fftLength);
  windowOffset = 0;
  windowStride = 1.0;
  if (fftLength > fftBase) {
    windowOffset = (fftLength - fftBase) / 2;
    windowStride = static_cast<double>(fftLength) / static_cast<double>(fftBase);
  }
  SetupWindows(type, fftLength, overlap);
}

void CSpectrum::SetupWindows(int type, std::int64_t length, float overlapPercent) {
  const int t = synthesisType(type);
  windowType = static_cast<std::uint8_t>(t);
  const std::int64_t M = std::max<std::int64_t>(overlapPercent == 0.0f ? length / 2 : length, 2);
  synthesisWindow.reset();
  inverseWindow.reset();
  synthesisLength_ = 0;
  auto inverse = EngineArray::Make<float>(static_cast<std::size_t>(M + 1));
  auto synthesis = EngineArray::Make<float>(static_cast<std::size_t>(M + 1));

  MakeWindow(M + 1, t, inverse.get());
  inverse[0] = 0.0f;
  inverse[M] = 0.0f;
  for (std::int64_t i = 1; i < M; ++i) inverse[i] = inverse[i] != 0.0f ? 1.0f / inverse[i] : 0.0f;
  synthesisScale = static_cast<float>(inverse[M / 2] * kSynthesisScaleFactor[t] / windowStride);
  if (synthesisScale == 0.0f) synthesisScale = 1.0f;

  synthesisLength_ = M + 1;
  BuildSynthesisWindow(synthesis.get(), inverse.get(), overlapPercent, overlapPercent);
  inverseWindow = std::move(inverse);
  synthesisWindow = std::move(synthesis);
}

void CSpectrum::BuildSynthesisWindow(float* dest, const float* inverse, float overlapLeft,
                                     float overlapRight) const {
  if (!dest || !inverse || synthesisLength_ < 1) return;
  const std::int64_t last = synthesisLength_ - 1;
  std::memcpy(dest, inverse, static_cast<std::size_t>(synthesisLength_) * sizeof(float));
  auto clampPercent = [](float p) { return std::isnan(p) ? 0.0f : std::min(std::max(p, 0.0f), 50.0f); };
  const float p1 = clampPercent(overlapLeft);
  const float p2 = clampPercent(overlapRight);
  const double scale = synthesisScale;
  if (p1 == 0.0f && p2 == 0.0f) {
    for (std::int64_t i = 0; i < last; ++i) dest[i] = static_cast<float>(dest[i] / scale);
    return;
  }

  const std::int64_t L = fftLength;
  const std::int64_t W = windowSize;
  const std::int64_t half = L / 2;
  // Entry i of the left half and entry L - i of the right half get the same
  // treatment: zero before the margin, then the ramp, then flat.
  auto shapeHalf = [&](float percent, bool right) {
    const auto ramp = static_cast<std::int64_t>(percent * static_cast<double>(W) / 50.0 + 0.5);
    const double step = ramp > 0 ? 1.0 / static_cast<double>(ramp) : 1.0;
    const auto margin = static_cast<std::int64_t>(static_cast<double>(W - ramp) * 0.5 + 0.5);
    const std::int64_t z = margin + half - W;
    for (std::int64_t i = 0; i < half; ++i) {
      const std::int64_t idx = right ? L - i : i;
      if (idx < 0 || idx > last) continue;
      if (i < z)
        dest[idx] = 0.0f;
      else if (i < z + ramp)
        dest[idx] = static_cast<float>(dest[idx] * (static_cast<double>(i - z) * step) / scale);
      else
        dest[idx] = static_cast<float>(dest[idx] / scale);
    }
  };
  shapeHalf(p1, false);
  shapeHalf(p2, true);
  if (half <= last) dest[half] = static_cast<float>(dest[half] / scale);
}

int CSpectrum::WindowedPowerSpectrum(const float* input, const float* window, std::int64_t N, float* out,
                                     std::int64_t M) {
  if (!isPowerOfTwo(M) || M > kMaxFftLength || N < 0 || N > M || !out || (N > 0 && (!input || !window)))
    return 2;
  // The windowed samples go straight into the transform's own double array
  // (each product rounded to float, as a float array would hold it), and
  // its sums are rounded to float where they are squared: no passes that
  // widen the frame into it and round the sums back out.
  FftWorkRecord& transform = sharedFftWorkRecord();
  double* b = transform.a;
  WindowedSamples::Multiply(input, window, N, b);
  std::fill(b + N, b + M, 0.0);
  transform.RealFftAnySize(static_cast<int>(M), 1);
  const std::int64_t half = M / 2;
  out[0] = std::fabs(static_cast<float>(b[0]));
  out[half] = std::fabs(static_cast<float>(b[1]));
  std::int64_t k = haveAvx() ? narrowSquaresAvx(b, 1, half, out) : 1;
#if defined(__SSE2__)
  // Four bins to a vector: both parts squared, then the cosine part's
  // square and the sine part's added, as for one bin alone.
  for (; k + 4 <= half; k += 4) {
    const __m128 lo = _mm_movelh_ps(_mm_cvtpd_ps(_mm_loadu_pd(b + 2 * k)), _mm_cvtpd_ps(_mm_loadu_pd(b + 2 * k + 2)));
    const __m128 hi =
        _mm_movelh_ps(_mm_cvtpd_ps(_mm_loadu_pd(b + 2 * k + 4)), _mm_cvtpd_ps(_mm_loadu_pd(b + 2 * k + 6)));
    const __m128 sqLo = _mm_mul_ps(lo, lo);
    const __m128 sqHi = _mm_mul_ps(hi, hi);
    const __m128 cosines = _mm_shuffle_ps(sqLo, sqHi, _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 sines = _mm_shuffle_ps(sqLo, sqHi, _MM_SHUFFLE(3, 1, 3, 1));
    _mm_storeu_ps(out + k, _mm_add_ps(cosines, sines));
  }
#endif
  for (; k < half; ++k) {
    const auto c = static_cast<float>(b[2 * k]), si = static_cast<float>(b[2 * k + 1]);
    out[k] = c * c + si * si;
  }
  return 0;
}

int CSpectrum::InverseSpectrum(float* buffer) {
  std::int64_t n2 = fftBase / 2;
  std::int64_t base = fftBase;
  if (overlap == 0.0f) {
    n2 /= 2;
    base /= 2;
  }
  if (!buffer || 2 * n2 < 2 || 2 * n2 > kMaxFftLength) return 2;
  const std::int64_t n = 2 * n2;
  // Swap the halves (centre to the middle) and apply the synthesis window.
  const auto stride = static_cast<std::int64_t>(static_cast<double>(base) * 0.5 / static_cast<double>(n2) + 1e-8);
  const float* w = synthesisWindow.get();
  auto weight = [&](std::int64_t idx) { return idx < synthesisLength_ ? w[idx] : 0.0f; };
  if (stride == 1 && windowOffset >= 0 && windowOffset + n <= synthesisLength_) {
    // Every index inside the window. The spectrum goes straight into the
    // transform's own double array and the samples come straight out of it,
    // each rounded to float, as a float transform hands them out: no passes
    // that widen the spectrum into it and round the frame back out.
    FftWorkRecord& transform = sharedFftWorkRecord();
    double* a = transform.a;
    // Our spectra carry the usual e^{-i} sign; the package's sine sums the
    // opposite one.
    a[0] = buffer[0];
    a[1] = buffer[1];
    const bool avx = haveAvx();
    std::int64_t k = avx ? widenNegatingSinesAvx(buffer, a, 2, n) : 2;
#if defined(__SSE2__)
    // Two bins to a vector: the sign bit of each sine part flipped, as a
    // negation flips it.
    const __m128 sines = _mm_castsi128_ps(_mm_set_epi32(INT32_MIN, 0, INT32_MIN, 0));
    for (; k + 4 <= n; k += 4) {
      const __m128 v = _mm_xor_ps(_mm_loadu_ps(buffer + k), sines);
      _mm_storeu_pd(a + k, _mm_cvtps_pd(v));
      _mm_storeu_pd(a + k + 2, _mm_cvtps_pd(_mm_movehl_ps(v, v)));
    }
#endif
    for (; k < n; k += 2) {
      a[k] = buffer[k];
      a[k + 1] = -buffer[k + 1];
    }
    transform.RealFftAnySize(static_cast<int>(n), -1);

    // The halves trade places under the window, four samples to a vector.
    const float* wl = w + windowOffset;
    const float* wh = wl + n2;
    std::int64_t i = avx ? narrowSwappedAvx(a, n2, wl, wh, buffer) : 0;
#if defined(__SSE2__)
    for (; i + 4 <= n2; i += 4) {
      const __m128 l = _mm_movelh_ps(_mm_cvtpd_ps(_mm_loadu_pd(a + i)), _mm_cvtpd_ps(_mm_loadu_pd(a + i + 2)));
      const __m128 h =
          _mm_movelh_ps(_mm_cvtpd_ps(_mm_loadu_pd(a + n2 + i)), _mm_cvtpd_ps(_mm_loadu_pd(a + n2 + i + 2)));
      _mm_storeu_ps(buffer + i, _mm_mul_ps(h, _mm_loadu_ps(wl + i)));
      _mm_storeu_ps(buffer + n2 + i, _mm_mul_ps(l, _mm_loadu_ps(wh + i)));
    }
#endif
    for (; i < n2; ++i) {
      buffer[i] = static_cast<float>(a[n2 + i]) * wl[i];
      buffer[n2 + i] = static_cast<float>(a[i]) * wh[i];
    }
    return 0;
  }
  for (std::int64_t k = 3; k < n; k += 2) buffer[k] = -buffer[k];
  RealFft(static_cast<int>(n), -1, buffer);
  float* a = bufferA.get();
  for (std::int64_t i = 0; i < n2; ++i) {
    a[i] = buffer[n2 + i] * weight(windowOffset + i * stride);
    a[n2 + i] = buffer[i] * weight(windowOffset + (n2 + i) * stride);
  }
  std::memcpy(buffer, a, static_cast<std::size_t>(2 * n2) * sizeof(float));
  return 0;
}

void CSpectrum::refreshResidualPhases(std::int64_t pool) {
  float* p = residualPhases.get();
  if (windowSize > 0 && frameCounter % windowSize == 0) {
    std::uniform_real_distribution<float> phase(static_cast<float>(-kPi), static_cast<float>(kPi));
    p[0] = 0.0f;
    for (std::int64_t i = 1; i <= pool; ++i) p[i] = phase(random_);
  } else if (pool >= 1) {
    std::rotate(p + 1, p + 2, p + pool + 1);
  }
}

int CSpectrum::SynthesizeResidual(const SMSFrame& frame, float* out, double a, double b, std::int64_t M) {
  synthesize(frame, out, a, b, M, false);
  return 1;
}

bool CSpectrum::StoreResidual(const SMSFrame& frame, float* out, double a, double b, std::int64_t M) {
  return synthesize(frame, out, a, b, M, true);
}

bool CSpectrum::synthesize(const SMSFrame& frame, float* out, double a, double b, std::int64_t M, bool store) {
  if (!out || M < 1 || M >= kResidualSize) return false;
  const double f = b > 0.0 ? a / (2.0 * b) : 1.0;
  std::int64_t n = frame.binCount;
  double span;
  if (f < 1.0) {
    n = static_cast<std::int64_t>(f * static_cast<double>(n));
    span = static_cast<double>(n - 1);
  } else {
    span = f * static_cast<double>(n - 1);
  }
  const double step = span / static_cast<double>(M);

  const float* levels = frame.Has(SMSFrame::kMagnitudes) ? frame.magnitudes : nullptr;
  const float* phases = frame.Has(SMSFrame::kPhases) ? frame.phases : nullptr;
  std::int64_t phaseCount = n;
  if (!phases) {
    // The running noise phases cover every output bin, not only the first
    // windowSize ones, so no bin is left with a fixed phase.
    const std::int64_t pool = std::min(std::max(windowSize, M), kResidualSize - 1);
    refreshResidualPhases(pool);
    phases = residualPhases.get();
    phaseCount = std::min(n, pool + 1);
  }
  ++frameCounter;

  const float* level = residualLevels.get();
  const float* phase = phaseScratch_.get();
  if (levels && std::fabs(step - 1.0) < 1e-8 && n >= M + 1 && phaseCount >= M + 1) {
    // One input bin per output bin (the band stretchers' case): read the
    // frame's own arrays.
    level = levels;
    phase = phases;
  } else {
    float* l = residualLevels.get();
    float* p = phaseScratch_.get();
    for (std::int64_t i = 0; i <= M; ++i) {
      l[i] = levels ? resampleBin(levels, n, i, step, kMissingLevelDb) : kNoEnergy;
      p[i] = resampleBin(phases, phaseCount, i, step, 0.0f);
    }
  }
  auto amplitude = [](float dB) { return LevelAmplitude::FromDb(dB, kNoEnergy); };
  out[0] = static_cast<float>(amplitude(level[0]) * std::cos(phase[0]));
  out[1] = static_cast<float>(amplitude(level[M]) * std::cos(phase[M]));
  double* A = amplitudeScratch_.get();
  AmplitudeRun::FromDb(level + 1, M - 1, kNoEnergy, A + 1);
  // Sines, cosines and products in one pass, four bins at a time, where
  // the wide sines are the library's; elsewhere the sines and cosines of
  // every inner bin first, then the products in a pass of their own. A
  // blanked bin's pair may be worked out with the rest and is left unused.
  if (SineCosine::ChosenPath() == SineCosine::Path::Wide &&
      SineCosine::AddPolarWide(phase + 1, A + 1, level + 1, kNoEnergy, M - 1, out + 2, store))
    return true;
  float* sines = sineScratch_.get();
  float* cosines = cosineScratch_.get();
  SineCosine::Compute(phase + 1, M - 1, sines + 1, cosines + 1);
  (store ? addProducts<true> : addProducts<false>)(level, A, sines, cosines, out, M);
  return true;
}

template <bool kStore>
void CSpectrum::addProducts(const float* level, const double* A, const float* sines, const float* cosines,
                            float* out, std::int64_t M) {
  std::int64_t k = 1;
#if defined(__SSE2__)
  // Two bins, four output values, per vector: the products rounded to
  // float and added as the plain loop adds them, kept only where the bin
  // is not blanked.
  const __m128 silent = _mm_set1_ps(kNoEnergy);
  for (; k + 2 <= M; k += 2) {
    const __m128 levels = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(level + k)));
    const __m128 sounding = _mm_cmpnle_ps(levels, silent);
    const __m128 before = kStore ? _mm_setzero_ps() : _mm_loadu_ps(out + 2 * k);
    if ((_mm_movemask_ps(sounding) & 3) == 0) {
      if (kStore) _mm_storeu_ps(out + 2 * k, before);
      continue;
    }
    const __m128d a = _mm_loadu_pd(A + k);
    const __m128d c = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cosines + k))));
    const __m128d s = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(sines + k))));
    const __m128 terms = _mm_unpacklo_ps(_mm_cvtpd_ps(_mm_mul_pd(a, c)), _mm_cvtpd_ps(_mm_mul_pd(a, s)));
    const __m128 keep = _mm_unpacklo_ps(sounding, sounding);
    const __m128 after = _mm_add_ps(before, terms);
    _mm_storeu_ps(out + 2 * k, _mm_or_ps(_mm_and_ps(keep, after), _mm_andnot_ps(keep, before)));
  }
#endif
  for (; k < M; ++k) {
    if (kStore) out[2 * k] = out[2 * k + 1] = 0.0f;
    if (level[k] <= kNoEnergy) continue;
    out[2 * k] += static_cast<float>(A[k] * cosines[k]);
    out[2 * k + 1] += static_cast<float>(A[k] * sines[k]);
  }
}

void CSpectrum::BuildSinCosTables() {
  for (int k = 0; k < kSinCosTableCount; ++k) {
    if (!sinTables_[k].empty()) continue;
    const std::int64_t size = std::int64_t{1} << k;
    try {
      sinTables_[k].resize(static_cast<std::size_t>(size + 1));
      cosTables_[k].resize(static_cast<std::size_t>(size + 1));
    } catch (const std::bad_alloc&) {
      sinTables_[k].clear();
      cosTables_[k].clear();
      continue;
    }
    for (std::int64_t j = 0; j <= size; ++j) {
      const double x = static_cast<double>(j) * kPi / static_cast<double>(size);
      sinTables_[k][static_cast<std::size_t>(j)] = std::sin(x);
      cosTables_[k][static_cast<std::size_t>(j)] = std::cos(x);
    }
  }
}
