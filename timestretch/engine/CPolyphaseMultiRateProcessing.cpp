#include "CPolyphaseMultiRateProcessing.h"

#include "PolyphaseTables.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

enum TableId { k70A, k70B, k70C, k110, k170, k50 };

struct Table {
  const double* coefficients;
  int taps;
};

Table table(TableId id) {
  switch (id) {
    case k70A: return {PolyphaseTables::k70A, 70};
    case k70B: return {PolyphaseTables::k70B, 70};
    case k70C: return {PolyphaseTables::k70C, 70};
    case k110: return {PolyphaseTables::k110, 110};
    case k170: return {PolyphaseTables::k170, 170};
    case k50: break;
  }
  return {PolyphaseTables::k50, 50};
}

// -1 when the combination has no table.
int selectTable(int mode, int factor, double rate) {
  if (mode != CPolyphaseMultiRateProcessing::kDecimate && mode != CPolyphaseMultiRateProcessing::kInterpolate)
    return -1;
  const bool decimate = mode == CPolyphaseMultiRateProcessing::kDecimate;
  const bool r44 = rate == 44100.0, r22 = rate == 22050.0, r11 = rate == 11025.0;
  if (!r44 && !r22 && !r11) return -1;
  switch (factor) {
    case 8:
      return k170;
    case 4:
      if (r44) return k70A;
      if (r22) return k70B;
      return decimate ? k110 : -1;
    case 2:
      return r11 ? k70C : k50;
    default:
      return -1;
  }
}

}  // namespace

CPolyphaseMultiRateProcessing::CPolyphaseMultiRateProcessing(int mode, int factor, double sampleRate)
    : factor(factor) {
  delayLine = new (std::nothrow) double[kHistory]();
  if (!delayLine) throw -1;
  coefficients = new (std::nothrow) double[kMaxTaps]();
  if (!coefficients) {
    delete[] delayLine;
    throw -1;
  }
  const int id = selectTable(mode, factor, sampleRate);
  if (id < 0) {
    // A filter that silently produces nothing would leave a band empty.
    delete[] coefficients;
    delete[] delayLine;
    throw kRefused;
  }
  const Table t = table(static_cast<TableId>(id));
  taps = t.taps;
  std::copy(t.coefficients, t.coefficients + t.taps, coefficients);
  if (mode == kInterpolate) phaseLength = taps / factor;
}

CPolyphaseMultiRateProcessing::~CPolyphaseMultiRateProcessing() {
  delete[] coefficients;
  delete[] delayLine;
}

void CPolyphaseMultiRateProcessing::makeRoom(int incoming) {
  if (head >= incoming) return;
  std::memmove(delayLine + (kHistory - kMaxTaps), delayLine + head, kMaxTaps * sizeof(double));
  head = kHistory - kMaxTaps;
}

void CPolyphaseMultiRateProcessing::Decimate(int count, const float* in, float* out, std::int64_t* outCount) {
  const int m = factor;
  const int n = taps;
  if (!HasTable() || m < 1 || m > count) {
    *outCount = 0;
    return;
  }
  std::int64_t produced = 0;
  int read = 0;
  // Four outputs at a time: four sums, each over the taps in the same
  // order as one output alone, side by side, so that no sum waits for the
  // one before it.
  constexpr int kGroup = 4;
  for (; count - read >= kGroup * m; read += kGroup * m) {
    makeRoom(kGroup * m);
    for (int j = 0; j < kGroup * m; ++j) delayLine[--head] = static_cast<double>(in[read + j]);
    // The newest output's window starts at head, each earlier one m later.
    const double* d3 = delayLine + head;
    const double* d2 = d3 + m;
    const double* d1 = d2 + m;
    const double* d0 = d1 + m;
    double y0 = 0.0, y1 = 0.0, y2 = 0.0, y3 = 0.0;
    for (int k = 0; k < n; ++k) {
      const double c = coefficients[k];
      y0 += c * d0[k];
      y1 += c * d1[k];
      y2 += c * d2[k];
      y3 += c * d3[k];
    }
    out[produced++] = static_cast<float>(y0);
    out[produced++] = static_cast<float>(y1);
    out[produced++] = static_cast<float>(y2);
    out[produced++] = static_cast<float>(y3);
  }
  for (; count - read >= m; read += m) {
    makeRoom(m);
    for (int j = 0; j < m; ++j) delayLine[--head] = static_cast<double>(in[read + j]);
    const double* d = delayLine + head;
    double y = 0.0;
    for (int k = 0; k < n; ++k) y += coefficients[k] * d[k];
    out[produced++] = static_cast<float>(y);
  }
  *outCount = produced;
}

namespace {

// One input sample's `M` outputs: branch p sums coefficients p, p + M, ...
// against the delay line in that order, the M sums side by side (two to a
// vector where SSE2 is there: the same products and sums).
template <int M>
void interpolateSample(const double* coefficients, const double* d, int phaseLength, float* out) {
#if defined(__SSE2__)
  static_assert(M % 2 == 0, "branches go two to a vector");
  __m128d y[M / 2];
  for (auto& v : y) v = _mm_setzero_pd();
  for (int k = 0; k < phaseLength; ++k) {
    const __m128d dk = _mm_set1_pd(d[k]);
    const double* c = coefficients + k * M;
    for (int q = 0; q < M / 2; ++q) y[q] = _mm_add_pd(y[q], _mm_mul_pd(_mm_loadu_pd(c + 2 * q), dk));
  }
  const __m128d gain = _mm_set1_pd(static_cast<double>(M));
  for (int q = 0; q < M / 2; ++q) _mm_storel_pi(reinterpret_cast<__m64*>(out + 2 * q), _mm_cvtpd_ps(_mm_mul_pd(y[q], gain)));
#else
  double y[M] = {};
  for (int k = 0; k < phaseLength; ++k) {
    const double* c = coefficients + k * M;
    for (int p = 0; p < M; ++p) y[p] += c[p] * d[k];
  }
  for (int p = 0; p < M; ++p) out[p] = static_cast<float>(y[p] * M);
#endif
}

}  // namespace

void CPolyphaseMultiRateProcessing::Interpolate(int count, const float* in, float* out, std::int64_t* outCount) {
  const int m = factor;
  const int l = phaseLength;
  if (count < 1 || !HasTable() || l < 1) {
    *outCount = 0;
    return;
  }
  // The samples go into the delay line a run at a time; sample j of a run
  // of n then sees the line from head + n - 1 - j, as if it had been the
  // last one in.
  constexpr int kRun = 1024;
  static_assert(kRun <= kHistory - kMaxTaps, "a run fits below the delay line");
  std::int64_t produced = 0;
  for (int s = 0; s < count;) {
    const int run = std::min(count - s, kRun);
    makeRoom(run);
    for (int j = 0; j < run; ++j) delayLine[--head] = static_cast<double>(in[s + j]);
    for (int j = 0; j < run; ++j) {
      const double* d = delayLine + head + (run - 1 - j);
      float* o = out + produced;
      switch (m) {
        case 2: interpolateSample<2>(coefficients, d, l, o); break;
        case 4: interpolateSample<4>(coefficients, d, l, o); break;
        case 8: interpolateSample<8>(coefficients, d, l, o); break;
        default:
          for (int p = 0; p < m; ++p) {
            double y = 0.0;
            for (int k = 0; k < l; ++k) y += coefficients[p + k * m] * d[k];
            o[p] = static_cast<float>(y * m);
          }
      }
      produced += m;
    }
    s += run;
  }
  *outCount = produced;
}
