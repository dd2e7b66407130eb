#include "PeakTracking.h"

#include <algorithm>
#include <cmath>
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

// The first bin j in from .. last (2 <= from) above the threshold with neither
// direct neighbour above it, or last + 1: the bins before it are those the
// scan below would pass over one by one. last + 1 must be a readable bin.
// Four bins per step where SSE2 is there (every x86-64): the same compares.
std::int64_t nextCandidate(const float* m, std::int64_t from, std::int64_t last, float threshold) {
  std::int64_t j = from;
#if defined(__SSE2__)
  const __m128 t = _mm_set1_ps(threshold);
  for (; j + 3 <= last; j += 4) {
    const __m128 c = _mm_loadu_ps(m + j);
    const __m128 below = _mm_loadu_ps(m + j - 1);
    const __m128 above = _mm_loadu_ps(m + j + 1);
    // NaN compares false, as in the scalar tests.
    const __m128 rejected = _mm_or_ps(_mm_cmpgt_ps(below, c), _mm_cmpgt_ps(above, c));
    const int mask = _mm_movemask_ps(_mm_andnot_ps(rejected, _mm_cmpgt_ps(c, t)));
    if (mask != 0) return j + __builtin_ctz(static_cast<unsigned>(mask));
  }
#endif
  for (; j <= last; ++j)
    if (m[j] > threshold && !(m[j - 1] > m[j]) && !(m[j + 1] > m[j])) return j;
  return last + 1;
}

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
    // Only midpoints between existing regions are candidates.
    double candidates[3];
    int n = 0;
    candidates[n++] = (values[i - 1] + values[i]) / 2.0;
    if (i + 1 < count) candidates[n++] = (values[i] + values[i + 1]) / 2.0;
    if (i >= 2) candidates[n++] = (values[i - 2] + values[i - 1]) / 2.0;
    if (n == 0) continue;
    double best = candidates[0];
    for (int k = 1; k < n; ++k)
      if (std::fabs(candidates[k] - edges[b]) < std::fabs(best - edges[b])) best = candidates[k];
    edges[b] = std::min(best, nu);
  }
}

}  // namespace

int PickPeaks(const float* magnitudes, std::int64_t n, std::int64_t neighbourhood, std::int32_t* count, double* peaks,
              double nyquist, float threshold) {
  if (!magnitudes || !count || !peaks || n - 1 < 3) return 0;
  const float* m = magnitudes;
  const double binWidth = nyquist / static_cast<double>(n - 1);
  for (std::int64_t k = 0; k <= n - 4; ++k) {
    if (*count > kMaxPeaks - 1) break;
    if (k >= 2) {
      k = nextCandidate(m, k, n - 4, threshold);
      if (k > n - 4) break;
    }
    if (!(m[k] > threshold)) continue;
    // Most bins fail against a direct neighbour: no need to scan the rest.
    if (k >= 2 && (m[k - 1] > m[k] || (k + 1 <= n - 2 && m[k + 1] > m[k]))) continue;
    if (!isPeak(m, n, k, neighbourhood)) continue;
    if (k == 0) {
      peaks[(*count)++] = 0.0;
    } else {
      const double denominator = static_cast<double>(m[k - 1]) - 2.0 * m[k] + m[k + 1];
      // A flat top (three equal bins) has no curvature to refine by.
      const double delta = denominator != 0.0 ? 0.5 * (static_cast<double>(m[k - 1]) - m[k + 1]) / denominator : 0.0;
      peaks[(*count)++] = (static_cast<double>(k) + delta) * binWidth;
    }
    if (m[k] > m[k + 1]) {
      ++k;
      if (neighbourhood >= 2 && k < n - 1 && m[k - 1] > m[k + 1]) ++k;
    }
  }
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

  // One forward sweep: the A position never moves back.
  int searchBand = 0;
  std::int32_t searchIndex = startA[0];
  for (int b = 0; b < bandCount; ++b) {
    for (std::int32_t idx = startB[b]; idx < countsB[b]; ++idx) {
      const double fB = peaksB[b][idx];
      if (!(fB < edgesB[b] - kTolerance)) break;
      int a = searchBand;
      std::int32_t i = searchIndex;
      double bestDistance = 100000.0;
      int bestBand = -1;
      std::int32_t bestIndex = 0;
      for (;;) {
        if (i >= countsA[a] || peaksA[a][i] >= edgesA[a] - kTolerance) {
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
      if (bestDistance < maxDeviation && table.count < PeakRegionTable::kCapacity) {
        table.centre[table.count] = fB;
        table.source[table.count] = peaksA[bestBand][bestIndex];
        ++table.count;
      }
      searchBand = bestBand;
      searchIndex = bestIndex;
    }
  }

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
