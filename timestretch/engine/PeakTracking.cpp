#include "PeakTracking.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using namespace PeakTracking;

namespace {

bool isPeak(const float* m, std::int64_t n, std::int64_t k, std::int64_t w) {
  if (k == 0) return m[0] > m[1] && m[0] > m[2];
  if (k == 1) return m[1] > m[0] && m[1] > m[2] && m[1] > m[3];
  const std::int64_t lo = k <= w ? 1 : k - w;
  const std::int64_t hi = std::min(k + w, n - 2);
  bool below = false;
  for (std::int64_t j = lo; j <= hi; ++j) {
    if (j == k) continue;
    if (m[j] > m[k]) return false;
    if (m[j] < m[k]) below = true;
  }
  return below;
}

// The bins from 3 up to `last` that can be peaks, 64 at a time as a bit
// set: above the threshold with neither direct neighbour above them; for
// a neighbourhood of 1 or 2 bins the whole rule (nothing within it above,
// something below), so that those need no further test. The bins between
// two of them are those the picking loop would pass over one by one.
// Bins last + w must be readable. Four bins per compare where SSE2 is
// there (every x86-64); NaN compares false, as in the scalar rule.
class CandidateBins {
 public:
  CandidateBins(const float* m, std::int64_t last, std::int64_t w, float threshold)
      : m_(m), last_(last), w_(w), threshold_(threshold) {}

  // Whether a candidate is a peak without a further test.
  bool decided() const { return w_ == 1 || w_ == 2; }

  // The first candidate at or after `from` (>= 3), or last + 1.
  std::int64_t next(std::int64_t from) {
    for (;;) {
      if (from > last_) return last_ + 1;
      if (base_ < 0 || from >= base_ + 64) fill(from);
      const std::uint64_t ahead = bits_ & (~std::uint64_t{0} << (from - base_));
      if (ahead != 0) return base_ + __builtin_ctzll(ahead);
      from = base_ + 64;
    }
  }

 private:
  bool candidate(std::int64_t j) const {
    const float c = m_[j];
    if (!(c > threshold_) || m_[j - 1] > c || m_[j + 1] > c) return false;
    if (w_ == 1) return m_[j - 1] < c || m_[j + 1] < c;
    if (w_ == 2) return !(m_[j - 2] > c) && !(m_[j + 2] > c) && (m_[j - 1] < c || m_[j + 1] < c || m_[j - 2] < c || m_[j + 2] < c);
    return true;
  }

  void fill(std::int64_t base) {
    base_ = base;
    bits_ = 0;
    const std::int64_t end = std::min(base + 64, last_ + 1);
    std::int64_t j = base;
#if defined(__SSE2__)
    const __m128 t = _mm_set1_ps(threshold_);
    for (; j + 4 <= end; j += 4) {
      const __m128 c = _mm_loadu_ps(m_ + j);
      const __m128 l1 = _mm_loadu_ps(m_ + j - 1), r1 = _mm_loadu_ps(m_ + j + 1);
      __m128 above = _mm_or_ps(_mm_cmpgt_ps(l1, c), _mm_cmpgt_ps(r1, c));
      __m128 ok = _mm_cmpgt_ps(c, t);
      if (w_ == 1 || w_ == 2) {
        __m128 below = _mm_or_ps(_mm_cmplt_ps(l1, c), _mm_cmplt_ps(r1, c));
        if (w_ == 2) {
          const __m128 l2 = _mm_loadu_ps(m_ + j - 2), r2 = _mm_loadu_ps(m_ + j + 2);
          above = _mm_or_ps(above, _mm_or_ps(_mm_cmpgt_ps(l2, c), _mm_cmpgt_ps(r2, c)));
          below = _mm_or_ps(below, _mm_or_ps(_mm_cmplt_ps(l2, c), _mm_cmplt_ps(r2, c)));
        }
        ok = _mm_and_ps(ok, below);
      }
      const auto mask = static_cast<unsigned>(_mm_movemask_ps(_mm_andnot_ps(above, ok)));
      bits_ |= static_cast<std::uint64_t>(mask) << (j - base);
    }
#endif
    for (; j < end; ++j)
      if (candidate(j)) bits_ |= std::uint64_t{1} << (j - base);
  }

  const float* m_;
  std::int64_t last_;
  std::int64_t w_;
  float threshold_;
  std::int64_t base_ = -1;
  std::uint64_t bits_ = 0;
};

// Edge of band b against the peaks of band b + 1: the first peak at or above
// it, or the midpoint below that peak, whichever the edge lies nearer;
// returns the start index of band b + 1.
std::int32_t placeEdgeAgainstNextBand(double& edge, const double* next, std::int32_t nextCount, double nyquist) {
  std::int32_t j = 0;
  while (j < nextCount && next[j] < edge) ++j;
  if (j == nextCount) {
    edge = nyquist;
    return nextCount;
  }
  const double mid = j > 0 ? (next[j - 1] + next[j]) / 2.0 : 0.0;
  edge = edge > mid ? next[j] : mid;
  edge = std::min(edge, nyquist);
  return j;
}

// Moves each boundary to the nearest of three midpoints around the first
// region value at or above it.
void placeEdgesBetweenRegions(double* edges, int bandCount, const double* values, std::int32_t count,
                              const float* nyquist) {
  for (int b = 0; b + 1 < bandCount; ++b) {
    const double nu = nyquist[b];
    std::int32_t i = 0;
    while (i < count && values[i] < edges[b] - kTolerance) ++i;
    // A boundary with no region on one side of it cuts no region: it stays.
    // (Moving it below the last region would hand that region to the band
    // above for a frame, and its phases and window with it: a burst of
    // artefacts each time a faint peak above the boundary comes and goes.)
    if (i < 1 || i >= count) continue;
    // Past the last region the band's Nyquist stands in for the midpoint
    // above, below the first one 0 Hz for the midpoint below.
    const double candidates[3] = {(values[i - 1] + values[i]) / 2.0,
                                  i + 1 < count ? (values[i] + values[i + 1]) / 2.0 : nu,
                                  i >= 2 ? (values[i - 2] + values[i - 1]) / 2.0 : 0.0};
    double best = candidates[0];
    for (int k = 1; k < 3; ++k)
      if (std::fabs(candidates[k] - edges[b]) < std::fabs(best - edges[b])) best = candidates[k];
    edges[b] = std::min(best, nu);
  }
}

}  // namespace

namespace {

// PickPeaks once its arguments are checked. Written once and compiled
// twice, for the baseline CPU and for AVX2, where the compares of the
// candidate bins need no copies of their operands; no fused multiply-add,
// so the same peaks.
__attribute__((always_inline)) inline void pickPeaks(const float* magnitudes, std::int64_t n,
                                                     std::int64_t neighbourhood, std::int32_t* count, double* peaks,
                                                     double nyquist, float threshold) {
  const float* m = magnitudes;
  const double binWidth = nyquist / static_cast<double>(n - 1);
  CandidateBins candidates(m, n - 4, neighbourhood, threshold);
  for (std::int64_t k = 0; k <= n - 4; ++k) {
    if (*count > kMaxPeaks - 1) break;
    if (k >= 3) {
      // Most bins fail against the threshold or a neighbour: the
      // candidates are the rest.
      k = candidates.next(k);
      if (k > n - 4) break;
      if (!candidates.decided() && !isPeak(m, n, k, neighbourhood)) continue;
    } else if (!(m[k] > threshold) || !isPeak(m, n, k, neighbourhood)) {
      continue;
    }
    if (k == 0) {
      peaks[(*count)++] = 0.0;
    } else {
      const double denominator = static_cast<double>(m[k - 1]) - 2.0 * m[k] + m[k + 1];
      // A flat top (three equal bins) has no curvature to refine by.
      const double delta = denominator != 0.0 ? 0.5 * (static_cast<double>(m[k - 1]) - m[k + 1]) / denominator : 0.0;
      peaks[(*count)++] = (static_cast<double>(k) + delta) * binWidth;
      // A flat top of just two bins is one peak. Its second bin would
      // refine to the very same frequency, and a list that holds a
      // frequency twice stops the continuation's walk there (an equal
      // distance ends it): every later peak of the frame lost its region,
      // and a steady chord its phases. (Wider flat tops refine their bins
      // to distinct frequencies.)
      if (m[k + 1] == m[k] && m[k - 1] != m[k] && m[k + 2] != m[k]) {
        ++k;
        continue;
      }
    }
    // The bins after a peak that cannot be peaks are passed over. From bin
    // 3 on the candidate set has left them out already (a bin with a
    // neighbour above it, or for a neighbourhood of two one two bins
    // below above it, is no candidate): only the first bins, tested one
    // by one, need it. (A branch on the levels, wrong about every other
    // peak.)
    if (k < 3 && m[k] > m[k + 1]) {
      ++k;
      if (neighbourhood >= 2 && k < n - 1 && m[k - 1] > m[k + 1]) ++k;
    }
  }
}

void pickPeaksBaseline(const float* magnitudes, std::int64_t n, std::int64_t neighbourhood, std::int32_t* count,
                       double* peaks, double nyquist, float threshold) {
  pickPeaks(magnitudes, n, neighbourhood, count, peaks, nyquist, threshold);
}

#if defined(__GNUC__) && defined(__x86_64__)
__attribute__((target("avx2"))) void pickPeaksWide(const float* magnitudes, std::int64_t n,
                                                   std::int64_t neighbourhood, std::int32_t* count, double* peaks,
                                                   double nyquist, float threshold) {
  pickPeaks(magnitudes, n, neighbourhood, count, peaks, nyquist, threshold);
}
#endif

}  // namespace

int PickPeaks(const float* magnitudes, std::int64_t n, std::int64_t neighbourhood, std::int32_t* count, double* peaks,
              double nyquist, float threshold) {
  if (!magnitudes || !count || !peaks || n - 1 < 3) return 0;
#if defined(__GNUC__) && defined(__x86_64__)
  // Reads what the runtime found out about the CPU at start-up.
  if (__builtin_cpu_supports("avx2")) {
    pickPeaksWide(magnitudes, n, neighbourhood, count, peaks, nyquist, threshold);
    return 0;
  }
#endif
  pickPeaksBaseline(magnitudes, n, neighbourhood, count, peaks, nyquist, threshold);
  return 0;
}

int TSBandContinuePeaks(const double* const* peaksA, const std::int32_t* countsA, const double* const* peaksB,
                        const std::int32_t* countsB, double* edgesA, double* edgesB, int bandCount,
                        PeakRegionTable& table, const float* nyquist, double maxDeviation) {
  table.count = 0;
  if (bandCount < 1 || bandCount > kMaxBands) {
    std::fputs("Error in TSBandContinuePeaks()\n", stderr);
    return 1;
  }
  std::int32_t startA[kMaxBands] = {0};
  std::int32_t startB[kMaxBands] = {0};
  for (int b = 0; b + 1 < bandCount; ++b)
    startA[b + 1] = placeEdgeAgainstNextBand(edgesA[b], peaksA[b + 1], countsA[b + 1], nyquist[b]);
  for (int b = 0; b + 1 < bandCount; ++b)
    startB[b + 1] = placeEdgeAgainstNextBand(edgesB[b], peaksB[b + 1], countsB[b + 1], nyquist[b]);

  // Where each band's A peaks end: the edges are final from here on, and
  // read once instead of after every write to the table.
  std::int32_t endA[kMaxBands];
  for (int a = 0; a < bandCount; ++a) {
    const double limit = edgesA[a] - kTolerance;
    std::int32_t e = startA[a];
    while (e < countsA[a] && !(peaksA[a][e] >= limit)) ++e;
    endA[a] = e;
  }

  // One forward sweep: the A position never moves back.
  int searchBand = 0;
  std::int32_t searchIndex = startA[0];
  std::int32_t found = 0;
  for (int b = 0; b < bandCount; ++b) {
    const double* listB = peaksB[b];
    const double limitB = edgesB[b] - kTolerance;
    for (std::int32_t idx = startB[b]; idx < countsB[b]; ++idx) {
      const double fB = listB[idx];
      if (!(fB < limitB)) break;
      int a = searchBand;
      std::int32_t i = searchIndex;
      double bestDistance = 100000.0;
      int bestBand = -1;
      std::int32_t bestIndex = 0;
      for (;;) {
        // A band's walk ends at the first peak at or above its edge.
        if (i >= endA[a]) {
          if (a == bandCount - 1) break;
          ++a;
          i = startA[a];
          continue;
        }
        const double d = std::fabs(peaksA[a][i] - fB);
        if (!(d < bestDistance)) break;
        bestDistance = d;
        bestBand = a;
        bestIndex = i;
        ++i;
      }
      if (bestBand < 0) continue;
      if (bestDistance < maxDeviation && found < PeakRegionTable::kCapacity) {
        table.centre[found] = fB;
        table.source[found] = peaksA[bestBand][bestIndex];
        ++found;
      }
      searchBand = bestBand;
      searchIndex = bestIndex;
    }
  }
  table.count = found;

  // Two regions continuing one A peak: the farther one goes, the later one
  // when both lie as far.
  constexpr double kDropped = -2.0;
  for (std::int32_t r = 0; r + 1 < table.count; ++r) {
    const double s = table.source[r];
    if (s == kNoSource || s == kDropped || table.source[r + 1] != s) continue;
    if (std::fabs(table.centre[r] - s) <= std::fabs(table.centre[r + 1] - s)) table.source[r + 1] = kDropped;
    else table.source[r] = kDropped;
  }
  std::int32_t kept = 0;
  for (std::int32_t r = 0; r < table.count; ++r) {
    if (table.source[r] == kDropped) continue;
    table.centre[kept] = table.centre[r];
    table.source[kept] = table.source[r];
    ++kept;
  }
  table.count = kept;

  placeEdgesBetweenRegions(edgesB, bandCount, table.centre.data(), table.count, nyquist);
  placeEdgesBetweenRegions(edgesA, bandCount, table.source.data(), table.count, nyquist);
  return 0;
}
