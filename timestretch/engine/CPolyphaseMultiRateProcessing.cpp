#include "CPolyphaseMultiRateProcessing.h"

#include "PolyphaseTables.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

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
  if (mode == kDecimate) {
    history = (taps + factor - 1) / factor;
    phaseStride = history + kPieceGroups;
    phases = new (std::nothrow) double[static_cast<std::size_t>(factor) * static_cast<std::size_t>(phaseStride)]();
    tapOffsets = new (std::nothrow) int[kMaxTaps];
    if (!phases || !tapOffsets) {
      delete[] phases;
      delete[] tapOffsets;
      delete[] coefficients;
      delete[] delayLine;
      throw -1;
    }
    // Sample t - k of the stream, t the newest of a group: phase
    // factor - 1 - k % factor, k / factor groups back.
    for (int k = 0; k < taps; ++k)
      tapOffsets[k] = (factor - 1 - k % factor) * phaseStride + history - k / factor;
  }
}

CPolyphaseMultiRateProcessing::~CPolyphaseMultiRateProcessing() {
  delete[] tapOffsets;
  delete[] phases;
  delete[] coefficients;
  delete[] delayLine;
}

void CPolyphaseMultiRateProcessing::makeRoom(int incoming) {
  if (head >= incoming) return;
  std::memmove(delayLine + (kHistory - kMaxTaps), delayLine + head, kMaxTaps * sizeof(double));
  head = kHistory - kMaxTaps;
}

namespace {

// Vectors of W doubles and of W floats (GCC's vector extensions) for the
// sums below: W = 2 in the baseline build, W = 4 under an AVX target. The
// helpers hand vectors by reference: a wide vector returned by value from a
// function compiled without AVX would take another calling convention.
template <int W>
struct Lanes;
template <>
struct Lanes<2> {
  typedef double Doubles __attribute__((vector_size(16)));
  typedef float Floats __attribute__((vector_size(8)));
};
template <>
struct Lanes<4> {
  typedef double Doubles __attribute__((vector_size(32)));
  typedef float Floats __attribute__((vector_size(16)));
};

template <typename V>
__attribute__((always_inline)) inline void loadLanes(V& v, const double* p) {
  std::memcpy(&v, p, sizeof v);
}
// (A -0 comes out +0: every sum here starts at +0 and can never be -0,
// so no zero's sign reaches a result.)
template <typename V>
__attribute__((always_inline)) inline void broadcastLanes(V& v, double x) {
  v = V{} + x;
}
// Each lane rounded to float, as a cast rounds.
template <int W>
__attribute__((always_inline)) inline void storeLanesAsFloats(float* p, const typename Lanes<W>::Doubles& v) {
  const auto f = __builtin_convertvector(v, typename Lanes<W>::Floats);
  std::memcpy(p, &f, sizeof f);
}

// 4 W outputs, W to a vector: each lane sums its own taps in order, as
// one output alone would (no fused multiply-add, so the same bits).
template <int W>
__attribute__((always_inline)) inline void groupSums(const double* phases, const int* offsets, const double* c,
                                                     int taps, int g, float* out) {
  typename Lanes<W>::Doubles y[4] = {}, ck, v;
  for (int k = 0; k < taps; ++k) {
    broadcastLanes(ck, c[k]);
    const double* d = phases + offsets[k] + g;
    for (int q = 0; q < 4; ++q) {
      loadLanes(v, d + W * q);
      y[q] += ck * v;
    }
  }
  for (int q = 0; q < 4; ++q) storeLanesAsFloats<W>(out + W * q, y[q]);
}

#if defined(__GNUC__) && defined(__x86_64__)
__attribute__((target("avx"))) void sixteenSums(const double* phases, const int* offsets, const double* c, int taps,
                                                int g, float* out) {
  groupSums<4>(phases, offsets, c, taps, g, out);
}

int sumsFourToAVector(const double* phases, const int* offsets, const double* c, int taps, int groups, float* out) {
  // Reads what the runtime found out about the CPU at start-up.
  if (!__builtin_cpu_supports("avx")) return 0;
  int g = 0;
  for (; g + 16 <= groups; g += 16) sixteenSums(phases, offsets, c, taps, g, out + g);
  return g;
}
#else
int sumsFourToAVector(const double*, const int*, const double*, int, int, float*) { return 0; }
#endif

}  // namespace

void CPolyphaseMultiRateProcessing::decimatePiece(int groups, float* out) const {
  const double* c = coefficients;
  const int n = taps;
  int g = sumsFourToAVector(phases, tapOffsets, c, n, groups, out);
  // Eight outputs, two to a vector.
  for (; g + 8 <= groups; g += 8) groupSums<2>(phases, tapOffsets, c, n, g, out + g);
  for (; g < groups; ++g) {
    double y = 0.0;
    for (int k = 0; k < n; ++k) y += c[k] * phases[tapOffsets[k] + g];
    out[g] = static_cast<float>(y);
  }
}

void CPolyphaseMultiRateProcessing::Decimate(int count, const float* in, float* out, std::int64_t* outCount) {
  const int m = factor;
  if (!HasTable() || !phases || m < 1 || m > count) {
    *outCount = 0;
    return;
  }
  // The samples of whole groups only: the rest of the block is dropped.
  const int groups = count / m;
  for (int done = 0; done < groups;) {
    const int piece = std::min(groups - done, kPieceGroups);
    const float* x = in + static_cast<std::ptrdiff_t>(done) * m;
    for (int r = 0; r < m; ++r) {
      double* p = phases + r * phaseStride + history;
      for (int g = 0; g < piece; ++g) p[g] = static_cast<double>(x[g * m + r]);
    }
    decimatePiece(piece, out + done);
    // The piece's last groups are the history of the next.
    for (int r = 0; r < m; ++r) {
      double* p = phases + r * phaseStride;
      std::memmove(p, p + piece, static_cast<std::size_t>(history) * sizeof(double));
    }
    done += piece;
  }
  *outCount = groups;
}

namespace {

// One input sample's `M` outputs: branch p sums coefficients p, p + M, ...
// against the delay line in that order, the M sums side by side, W to a
// vector (the same products and sums).
template <int W, int M>
__attribute__((always_inline)) inline void interpolateSample(const double* coefficients, const double* d,
                                                             int phaseLength, float* out) {
  static_assert(M % W == 0, "branches fill the vectors");
  typename Lanes<W>::Doubles y[M / W] = {}, dk, v, gain;
  for (int k = 0; k < phaseLength; ++k) {
    broadcastLanes(dk, d[k]);
    const double* c = coefficients + k * M;
    for (int q = 0; q < M / W; ++q) {
      loadLanes(v, c + W * q);
      y[q] += v * dk;
    }
  }
  broadcastLanes(gain, static_cast<double>(M));
  for (int q = 0; q < M / W; ++q) storeLanesAsFloats<W>(out + W * q, y[q] * gain);
}

#if defined(__GNUC__) && defined(__x86_64__)
// interpolateSample for four and eight branches, four to a vector, and
// four input samples side by side: their sums do not wait for each other,
// and each coefficient vector is loaded once for the four. The same
// products and sums in the same order.
template <int M>
__attribute__((target("avx"))) void interpolateRunWide(const double* coefficients, const double* line, int run,
                                                       int phaseLength, float* out) {
  using Doubles = Lanes<4>::Doubles;
  static_assert(M % 4 == 0, "branches go four to a vector");
  Doubles gain, ck, dk;
  broadcastLanes(gain, static_cast<double>(M));
  int j = 0;
  constexpr int kSide = 4;
  for (; j + kSide <= run; j += kSide) {
    // Sample j + s sees the line from run - 1 - j - s on.
    const double* d = line + (run - kSide - j);
    Doubles y[kSide][M / 4] = {};
    for (int k = 0; k < phaseLength; ++k) {
      const double* c = coefficients + k * M;
      for (int q = 0; q < M / 4; ++q) {
        loadLanes(ck, c + 4 * q);
        for (int s = 0; s < kSide; ++s) {
          broadcastLanes(dk, d[kSide - 1 - s + k]);
          y[s][q] += ck * dk;
        }
      }
    }
    for (int s = 0; s < kSide; ++s)
      for (int q = 0; q < M / 4; ++q) storeLanesAsFloats<4>(out + M * (j + s) + 4 * q, y[s][q] * gain);
  }
  for (; j < run; ++j) interpolateSample<4, M>(coefficients, line + (run - 1 - j), phaseLength, out + M * j);
}

// The run's outputs, or false when the CPU has no AVX or the factor does
// not fill a vector.
bool interpolateRunFourToAVector(int m, const double* coefficients, const double* line, int run, int phaseLength,
                                 float* out) {
  if (!__builtin_cpu_supports("avx")) return false;
  switch (m) {
    case 4: interpolateRunWide<4>(coefficients, line, run, phaseLength, out); return true;
    case 8: interpolateRunWide<8>(coefficients, line, run, phaseLength, out); return true;
    default: return false;
  }
}
#else
bool interpolateRunFourToAVector(int, const double*, const double*, int, int, float*) { return false; }
#endif

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
    if (interpolateRunFourToAVector(m, coefficients, delayLine + head, run, l, out + produced)) {
      produced += static_cast<std::int64_t>(m) * run;
      s += run;
      continue;
    }
    for (int j = 0; j < run; ++j) {
      const double* d = delayLine + head + (run - 1 - j);
      float* o = out + produced;
      switch (m) {
        case 2: interpolateSample<2, 2>(coefficients, d, l, o); break;
        case 4: interpolateSample<2, 4>(coefficients, d, l, o); break;
        case 8: interpolateSample<2, 8>(coefficients, d, l, o); break;
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
