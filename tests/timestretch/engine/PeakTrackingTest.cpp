#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "engine/PeakTracking.h"

namespace {

std::vector<double> pick(const std::vector<float>& m, std::int64_t w, double nyquist = 1000.0, float threshold = -100) {
  std::vector<double> peaks(PeakTracking::kMaxPeaks);
  std::int32_t count = 0;
  PickPeaks(m.data(), static_cast<std::int64_t>(m.size()), w, &count, peaks.data(), nyquist, threshold);
  peaks.resize(static_cast<std::size_t>(count));
  return peaks;
}

// One band A and one band B, matched with edges at `nyquist`.
PeakRegionTable match(std::vector<double> a, std::vector<double> b, double maxDeviation = 40.0) {
  const float nyquist[1] = {22050.0f};
  double edgeA[1] = {22050.0}, edgeB[1] = {22050.0};
  const double* pa[1] = {a.data()};
  const double* pb[1] = {b.data()};
  const std::int32_t ca[1] = {static_cast<std::int32_t>(a.size())};
  const std::int32_t cb[1] = {static_cast<std::int32_t>(b.size())};
  auto table = std::make_unique<PeakRegionTable>();
  TSBandContinuePeaks(pa, ca, pb, cb, edgeA, edgeB, 1, *table, nyquist, maxDeviation);
  return *table;
}

// The picking rule bin by bin, every bin tested against its whole
// neighbourhood: a peak is above the threshold, has nothing above it
// within w bins (bins 0 and 1 against their first neighbours) and
// something below; after a peak the bins it stands above are passed over.
std::vector<double> pickBinByBin(const std::vector<float>& m, std::int64_t w, double nyquist, float threshold) {
  const auto n = static_cast<std::int64_t>(m.size());
  std::vector<double> peaks;
  for (std::int64_t k = 0; k <= n - 4; ++k) {
    if (static_cast<int>(peaks.size()) >= PeakTracking::kMaxPeaks) break;
    if (!(m[k] > threshold)) continue;
    bool peak;
    if (k == 0) {
      peak = m[0] > m[1] && m[0] > m[2];
    } else if (k == 1) {
      peak = m[1] > m[0] && m[1] > m[2] && m[1] > m[3];
    } else {
      bool above = false, below = false;
      for (std::int64_t j = std::max<std::int64_t>(1, k - w); j <= std::min(k + w, n - 2); ++j) {
        if (j == k) continue;
        above = above || m[j] > m[k];
        below = below || m[j] < m[k];
      }
      peak = !above && below;
    }
    if (!peak) continue;
    if (k == 0) {
      peaks.push_back(0.0);
    } else {
      const double l = m[k - 1], c = m[k], r = m[k + 1];
      const double curvature = l - 2.0 * c + r;
      const double delta = curvature != 0.0 ? 0.5 * (l - r) / curvature : 0.0;
      const double f = (static_cast<double>(k) + delta) * (nyquist / static_cast<double>(n - 1));
      // A frequency is listed once (the second bin of a flat top of two
      // refines to the first one's).
      if (peaks.empty() || !(peaks.back() == f)) peaks.push_back(f);
    }
    if (m[k] > m[k + 1]) {
      ++k;
      if (w >= 2 && k < n - 1 && m[k - 1] > m[k + 1]) ++k;
    }
  }
  return peaks;
}

}  // namespace

TEST(PickPeaks, FindsWhatTheRuleBinByBinFindsOnSpectraOfEveryLengthAndShape) {
  std::mt19937 gen(17);
  std::normal_distribution<float> noise(0.0f, 6.0f);
  std::uniform_int_distribution<int> coarse(0, 4);
  for (std::int64_t n = 4; n <= 300; n += (n < 40 ? 1 : 37)) {
    for (std::int64_t w : {1, 2, 3}) {
      for (int shape = 0; shape < 4; ++shape) {
        std::vector<float> m(static_cast<std::size_t>(n));
        for (std::int64_t k = 0; k < n; ++k) {
          const float slope = -60.0f + 30.0f * std::sin(0.21f * static_cast<float>(k));
          // Smooth lines, noise, coarse steps with plateaus, and a few
          // NaNs among the bins (a transform of bad input).
          m[k] = shape == 2 ? -10.0f * static_cast<float>(coarse(gen)) : slope + (shape == 0 ? 0.0f : noise(gen));
          if (shape == 3 && k % 13 == 5) m[k] = std::nanf("");
        }
        for (float threshold : {-1000.0f, -60.0f, -25.0f}) {
          const auto expected = pickBinByBin(m, w, 22050.0, threshold);
          const auto got = pick(m, w, 22050.0, threshold);
          ASSERT_EQ(got.size(), expected.size()) << "n " << n << " w " << w << " shape " << shape << " threshold " << threshold;
          for (std::size_t i = 0; i < got.size(); ++i) {
            // A peak beside a NaN bin refines to NaN in both.
            if (std::isnan(expected[i])) ASSERT_TRUE(std::isnan(got[i])) << i;
            else ASSERT_EQ(got[i], expected[i]) << "n " << n << " w " << w << " shape " << shape << " peak " << i;
          }
        }
      }
    }
  }
}

TEST(PickPeaks, AMaximumAtBinZeroIsAPeakAtExactlyZeroHertz) {
  const auto peaks = pick({-10, -20, -30, -40, -35, -50, -60, -70}, 1);
  ASSERT_FALSE(peaks.empty());
  EXPECT_EQ(peaks[0], 0.0);
}

TEST(PickPeaks, ParabolicPeaksAreRefinedToTheirVertex) {
  // Bins sampled from a parabola with its vertex at bin 5.3: the refinement
  // is exact for a parabola.
  std::vector<float> m(16);
  for (int k = 0; k < 16; ++k) m[k] = static_cast<float>(-2.0 * (k - 5.3) * (k - 5.3));
  const auto peaks = pick(m, 2, 1500.0, -1000.0f);
  ASSERT_EQ(peaks.size(), 1u);
  EXPECT_NEAR(peaks[0], 5.3 * 1500.0 / 15.0, 1e-3);
}

TEST(PickPeaks, PlateausPeakOnlyWhereSomethingLiesBelow) {
  // Two equal maxima, w = 1 and 2: one peak at the midpoint between them
  // (each bin has a lower neighbour, but both refine to that one frequency).
  for (std::int64_t w : {1, 2}) {
    const auto two = pick({-90, -90, -90, -60, -50, -50, -60, -90, -90, -90, -90}, w);
    EXPECT_EQ(two, (std::vector<double>{450.0})) << "w " << w;
  }
  // The same where the first bin is tested on its own and the second is
  // one of the candidates found 64 at a time.
  EXPECT_EQ(pick({-90, -60, -50, -50, -60, -90, -90, -90}, 1, 700.0), (std::vector<double>{250.0}));
  std::vector<double> peaks;
  // A flat three-bin top (bins 4..6 of 11 bins at 100 Hz): the middle bin
  // has nothing below within w = 1 (its edges peak half a bin inwards)...
  const std::vector<float> flat = {-90, -90, -90, -60, -50, -50, -50, -60, -90, -90, -90};
  EXPECT_EQ(pick(flat, 1), (std::vector<double>{450.0, 550.0}));
  // ...and with w = 2 it is a peak refined by nothing (a zero curvature).
  peaks = pick(flat, 2);
  for (double p : peaks) EXPECT_TRUE(std::isfinite(p));
  EXPECT_NE(std::find(peaks.begin(), peaks.end(), 500.0), peaks.end());
  // Bins at or below the threshold never peak.
  EXPECT_TRUE(pick({-90, -90, -90, -60, -50, -60, -90, -90}, 1, 1000.0, -50.0f).empty());
}

TEST(PickPeaks, WhiteNoiseStopsAtThePeakCap) {
  std::mt19937 gen(11);
  std::normal_distribution<float> d(-40.0f, 10.0f);
  std::vector<float> m(8193);
  for (auto& v : m) v = d(gen);
  // Exactly kMaxPeaks entries: the sanitizer sees any write past them.
  auto peaks = std::make_unique<double[]>(PeakTracking::kMaxPeaks);
  std::int32_t count = 0;
  PickPeaks(m.data(), 8193, 1, &count, peaks.get(), 22050.0, -200.0f);
  EXPECT_EQ(count, PeakTracking::kMaxPeaks);
  PickPeaks(m.data(), 8193, 1, &count, peaks.get(), 22050.0, -200.0f);  // already full
  EXPECT_EQ(count, PeakTracking::kMaxPeaks);
  // The same full lists tracked into one table stay within its capacity.
  std::vector<double> a(peaks.get(), peaks.get() + count);
  const auto table = match(a, a, 40.0);
  EXPECT_EQ(table.count, PeakTracking::kMaxPeaks);
  for (std::int32_t r = 0; r < table.count; ++r) ASSERT_EQ(table.centre[r], table.source[r]);
}

TEST(TSBandContinuePeaks, BPeaksMatchTheNearestAPeakOnAForwardSweep) {
  // Halfway between two A peaks: the lower one (the walk stops at the first
  // distance that is not smaller).
  auto t = match({100, 200}, {150}, 60.0);
  ASSERT_EQ(t.count, 1);
  EXPECT_EQ(t.source[0], 100.0);
  // Two B peaks continuing one A peak: only the nearer stays a region.
  t = match({100, 300}, {95, 103, 298});
  ASSERT_EQ(t.count, 2);
  EXPECT_EQ(t.centre[0], 103.0);
  EXPECT_EQ(t.source[0], 100.0);
  EXPECT_EQ(t.centre[1], 298.0);
  EXPECT_EQ(t.source[1], 300.0);
  // Equally near: the earlier keeps the peak, the later goes.
  t = match({1000}, {990, 1010});
  ASSERT_EQ(t.count, 1);
  EXPECT_EQ(t.centre[0], 990.0);
  EXPECT_EQ(t.source[0], 1000.0);
  // Too far from every A peak: no region.
  EXPECT_EQ(match({100}, {150}).count, 0);
  EXPECT_EQ(match({}, {150}).count, 0);
}

TEST(TSBandContinuePeaks, AFaintFlatTopBelowAChordLeavesEveryPartialItsRegion) {
  // Frame A of a steady four-note chord with a faint flat top of two bins
  // below its lowest note (exactly equal levels, as quantised quiet
  // sound gives); frame B the same chord without it. Picked and matched,
  // every partial continues. (A flat top picked as two peaks at one
  // frequency ended the walk at the second: the frame kept no region, and
  // the chord's phases jumped there.)
  const double nyquist = 5512.5;
  const std::int64_t n = 513;
  const double width = nyquist / static_cast<double>(n - 1);
  const double notes[4] = {261.63, 329.63, 392.0, 523.25};
  auto spectrum = [&](bool flatTop) {
    std::vector<float> m(static_cast<std::size_t>(n), -120.0f);
    for (double f : notes) {
      for (std::int64_t k = 0; k < n; ++k) {
        const double d = static_cast<double>(k) - f / width;
        if (std::fabs(d) < 3.0) m[k] = std::max(m[k], static_cast<float>(-20.0 - 6.0 * d * d));
      }
    }
    if (flatTop) {
      const auto k = static_cast<std::size_t>(166.0 / width);
      m[k - 1] = -95.0f;
      m[k] = m[k + 1] = -90.0f;
      m[k + 2] = -95.0f;
    }
    return m;
  };
  const auto a = pick(spectrum(true), 1, nyquist, -110.0f);
  const auto b = pick(spectrum(false), 1, nyquist, -110.0f);
  ASSERT_EQ(a.size(), 5u);
  ASSERT_EQ(b.size(), 4u);
  const auto t = match(a, b);
  ASSERT_EQ(t.count, 4);
  for (int r = 0; r < 4; ++r) {
    EXPECT_NEAR(t.centre[r], notes[r], width);
    EXPECT_EQ(t.source[r], a[static_cast<std::size_t>(r) + 1]);
  }
}

TEST(TSBandContinuePeaks, EdgesMoveWithThePeaksAndTooManyBandsAreRefused) {
  const float nyquist[2] = {5512.5f, 22050.0f};
  std::vector<double> a0 = {}, a1 = {}, b0 = {}, b1 = {1000.0};
  const double* pa[2] = {a0.data(), a1.data()};
  const double* pb[2] = {b0.data(), b1.data()};
  const std::int32_t ca[2] = {0, 0}, cb[2] = {0, 1};
  double edgeA[2] = {1500.0, 22050.0}, edgeB[2] = {1500.0, 22050.0};
  auto table = std::make_unique<PeakRegionTable>();
  EXPECT_EQ(TSBandContinuePeaks(pa, ca, pb, cb, edgeA, edgeB, 2, *table, nyquist, 40.0), 0);
  // No B peak of band 1 above the edge: the edge goes to band 0's Nyquist.
  EXPECT_EQ(edgeB[0], 5512.5);
  EXPECT_EQ(table->count, 0);
  // A B peak just above the edge pulls it up to itself when the edge lies
  // above the midpoint below it.
  std::vector<double> c1 = {1000.0, 1600.0};
  const double* pc[2] = {b0.data(), c1.data()};
  const std::int32_t cc[2] = {0, 2};
  edgeB[0] = 1500.0;
  TSBandContinuePeaks(pa, ca, pc, cc, edgeA, edgeB, 2, *table, nyquist, 40.0);
  EXPECT_EQ(edgeB[0], 1600.0);
  float many[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  double edges[9] = {0};
  std::int32_t counts[9] = {0};
  const double* lists[9] = {nullptr};
  table->count = 5;
  EXPECT_EQ(TSBandContinuePeaks(lists, counts, lists, counts, edges, edges, 9, *table, many, 40.0), 1);
  EXPECT_EQ(table->count, 0);
}

TEST(TSBandContinuePeaks, RegionsUnderABoundaryStayInTheirBand) {
  // A tone at 1 kHz in both bands and upper-band peaks far above: the
  // boundary stays above the tone instead of jumping to 0 Hz.
  const float nyquist[2] = {5512.5f, 22050.0f};
  std::vector<double> a0 = {999.9}, a1 = {1000.1, 1142.0}, b0 = {999.9, 1811.5}, b1 = {1000.1, 1142.0, 3016.9};
  const double* pa[2] = {a0.data(), a1.data()};
  const double* pb[2] = {b0.data(), b1.data()};
  const std::int32_t ca[2] = {1, 2}, cb[2] = {2, 3};
  double edgeA[2] = {1500.0, 22050.0}, edgeB[2] = {1500.0, 22050.0};
  auto table = std::make_unique<PeakRegionTable>();
  TSBandContinuePeaks(pa, ca, pb, cb, edgeA, edgeB, 2, *table, nyquist, 40.0);
  ASSERT_GE(table->count, 1);
  EXPECT_EQ(table->centre[0], 999.9);
  EXPECT_GT(edgeB[0], 999.9);
  EXPECT_GT(edgeA[0], 999.9);

  // A chord below the boundary and no upper-band peak above it: the
  // boundary stays above the chord's top note, never between its notes.
  std::vector<double> chord = {261.6, 392.0, 523.3}, upper = {261.6, 392.0, 523.3};
  const double* pc[2] = {chord.data(), upper.data()};
  const std::int32_t cc[2] = {3, 3};
  double edgeC[2] = {1500.0, 22050.0}, edgeD[2] = {1500.0, 22050.0};
  TSBandContinuePeaks(pc, cc, pc, cc, edgeC, edgeD, 2, *table, nyquist, 40.0);
  ASSERT_EQ(table->count, 3);
  EXPECT_GT(edgeD[0], 523.3);
  EXPECT_GT(edgeC[0], 523.3);
}

// A boundary with regions on both sides goes to the nearest of three: the
// midpoints around the first region above it, where the Nyquist frequency
// of the band below stands in past the last region and 0 Hz below the
// first one. Each case has one region under the boundary and one far above.
TEST(TSBandContinuePeaks, ABoundaryBesideTheEndRegionsCanGoToTheNyquistOrToZero) {
  struct Case {
    const char* what;
    std::vector<double> a0, a1, b0, b1;
    double edgeA, edgeB;  // after the placement
  };
  const Case cases[] = {
      // Regions at 100 and 9000 Hz; both boundaries stand at 5200 Hz (the
      // midpoint of the upper band's peaks at 1400 and 9000 Hz), nearer
      // the Nyquist frequency 5512.5 than the midpoint 4550 of the regions.
      {"nyquist", {100.0}, {100.2, 1400.0, 9000.0}, {100.0}, {100.2, 1400.0, 9000.0}, 5512.5, 5512.5},
      // Regions at 100 and 12000 Hz; frame B's boundary stands on its
      // unmatched peak at 1550 Hz, nearer 0 Hz than the Nyquist frequency
      // or the regions' midpoint.
      {"zero", {100.0}, {100.2, 12000.0}, {100.0}, {100.2, 1550.0, 12000.0}, 5512.5, 0.0},
  };
  const float nyquist[2] = {5512.5f, 22050.0f};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const double* pa[2] = {c.a0.data(), c.a1.data()};
    const double* pb[2] = {c.b0.data(), c.b1.data()};
    const std::int32_t ca[2] = {static_cast<std::int32_t>(c.a0.size()), static_cast<std::int32_t>(c.a1.size())};
    const std::int32_t cb[2] = {static_cast<std::int32_t>(c.b0.size()), static_cast<std::int32_t>(c.b1.size())};
    double edgeA[2] = {1500.0, 22050.0}, edgeB[2] = {1500.0, 22050.0};
    auto table = std::make_unique<PeakRegionTable>();
    TSBandContinuePeaks(pa, ca, pb, cb, edgeA, edgeB, 2, *table, nyquist, 40.0);
    ASSERT_EQ(table->count, 2);
    EXPECT_EQ(table->centre[0], 100.0);
    EXPECT_EQ(table->source[1], c.a1.back());
    EXPECT_EQ(edgeA[0], c.edgeA);
    EXPECT_EQ(edgeB[0], c.edgeB);
  }
}
