// Numeric routines against references computed another way: full sorts,
// naive sums, the standard library's and boost's special functions, the
// standard library's MT19937, brute-force searches and closed forms.

#include <gtest/gtest.h>

#include <boost/math/special_functions/digamma.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <list>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include "NumericUtilities.h"

namespace {

using RowMatrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;
constexpr double kInf = std::numeric_limits<double>::infinity();

// ---- median ---------------------------------------------------------------

TEST(NumericMedian, EvenCountGivesTheUpperMiddleAndReorders) {
  float x[] = {3, 1, 2, 4};
  EXPECT_EQ(Numeric::median<float>(x, 4), 3.0f);
  EXPECT_EQ(x[2], 3.0f);
  std::vector<float> sorted(x, x + 4);
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, (std::vector<float>{1, 2, 3, 4}));
}

template <typename T>
void checkMedianAgainstSort() {
  std::mt19937 rng(7);
  std::uniform_real_distribution<T> dist(-100, 100);
  for (int n = 1; n <= 40; ++n) {
    std::vector<T> x(n);
    for (T& v : x) v = std::round(dist(rng));  // ties included
    std::vector<T> sorted = x;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(Numeric::median<T>(x.data(), n), sorted[n / 2]) << n;
    std::sort(x.begin(), x.end());
    EXPECT_EQ(x, sorted);  // only reordered, nothing lost
  }
}

TEST(NumericMedian, MatchesTheRankOfAFullSortInBothPrecisions) {
  checkMedianAgainstSort<float>();
  checkMedianAgainstSort<double>();
}

TEST(NumericMedian, AnEmptyArrayIsRefused) {
  double x[1] = {1};
  EXPECT_THROW(Numeric::median<double>(x, 0), std::invalid_argument);
  EXPECT_THROW(Numeric::median<double>(x, -3), std::invalid_argument);
}

// ---- log_normal -----------------------------------------------------------

TEST(NumericLogNormal, UsesTheModelsConstantNotTwoPi) {
  EXPECT_EQ(Numeric::log_normal<float>(0.0f, 0.0f, 1.0f), -0.918685f);
  EXPECT_NEAR(Numeric::log_normal<double>(0.0, 0.0, 1.0), -0.5 * std::log(6.28), 1e-15);
}

TEST(NumericLogNormal, MatchesTheClosedFormAwayFromTheMean) {
  for (double sd : {0.1, 1.0, 3.5}) {
    for (double x = -5.0; x <= 5.0; x += 0.75) {
      const double z = (x - 0.4) / sd;
      const double expected = -0.5 * z * z - std::log(sd) - 0.5 * std::log(6.28);
      EXPECT_NEAR(Numeric::log_normal<double>(x, 0.4, sd), expected, 1e-12);
      EXPECT_NEAR(Numeric::log_normal<float>(float(x), 0.4f, float(sd)), expected,
                  1e-5 * (1.0 + std::fabs(expected)));
    }
  }
}

// ---- logSumExp ------------------------------------------------------------

TEST(NumericLogSumExp, TableOfSpecialValues) {
  const double twoZeros[] = {0.0, 0.0};
  const double twoMinusInf[] = {-kInf, -kInf};
  const double plusInf[] = {kInf};
  EXPECT_NEAR(Numeric::logSumExp<double>(twoZeros, 2), std::log(2.0), 1e-15);
  EXPECT_EQ(Numeric::logSumExp<double>(twoMinusInf, 2), -kInf);
  EXPECT_EQ(Numeric::logSumExp<double>(plusInf, 1), kInf);
  EXPECT_EQ(Numeric::logSumExp<double>(twoZeros, 0), -kInf);
  const float nan[] = {std::numeric_limits<float>::quiet_NaN(), 1.0f};
  EXPECT_EQ(Numeric::logSumExp<float>(nan, 2), -std::numeric_limits<float>::infinity());
}

TEST(NumericLogSumExp, MatchesANaiveSumAndSurvivesLargeValues) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> dist(-20, 20);
  for (int n = 1; n < 30; ++n) {
    std::vector<double> x(n);
    std::vector<float> xf(n);
    double naive = 0.0;
    for (int i = 0; i < n; ++i) {
      x[i] = dist(rng);
      xf[i] = float(x[i]);
      naive += std::exp(x[i]);
    }
    const Eigen::VectorXd v = Eigen::Map<Eigen::VectorXd>(x.data(), n);
    EXPECT_NEAR(Numeric::logSumExp<double>(x.data(), n), std::log(naive), 1e-12);
    EXPECT_NEAR(Numeric::logSumExp<float>(xf.data(), n), std::log(naive), 1e-4);
    EXPECT_NEAR(Numeric::logSumExp(v), std::log(naive), 1e-12);
  }
  const double big[] = {1000.0, 1000.0, -1000.0};
  EXPECT_NEAR(Numeric::logSumExp<double>(big, 3), 1000.0 + std::log(2.0), 1e-12);
  EXPECT_NEAR(Numeric::logSumExp(Eigen::Vector3d(1000.0, 1000.0, -1000.0)),
              1000.0 + std::log(2.0), 1e-12);
}

TEST(NumericLogSumExp, VectorFormGivesInfiniteMaximaInsteadOfNaN) {
  EXPECT_EQ(Numeric::logSumExp(Eigen::VectorXd()), -kInf);
  EXPECT_EQ(Numeric::logSumExp(Eigen::Vector2d(-kInf, -kInf)), -kInf);
  EXPECT_EQ(Numeric::logSumExp(Eigen::Vector2d(1.0, kInf)), kInf);
  EXPECT_NEAR(Numeric::logSumExp(Eigen::Vector2d(-kInf, 0.5)), 0.5, 1e-15);
}

// ---- logGamma and digamma -------------------------------------------------

TEST(NumericLogGamma, KnownValues) {
  const double pi = 3.14159265358979323846;
  EXPECT_NEAR(Numeric::logGamma(1.0), 0.0, 1e-10);
  EXPECT_NEAR(Numeric::logGamma(2.0), 0.0, 1e-10);
  EXPECT_NEAR(Numeric::logGamma(0.5), std::log(std::sqrt(pi)), 1e-10);
  EXPECT_NEAR(Numeric::logGamma(10.0), std::log(362880.0), 1e-10);
}

TEST(NumericLogGamma, MatchesTheStandardLibraryOverTheUsedRange) {
  for (double x = 0.01; x < 500.0; x *= 1.17) {
    EXPECT_NEAR(Numeric::logGamma(x), std::lgamma(x), 1e-10 * (1.0 + std::fabs(std::lgamma(x))))
        << x;
  }
}

TEST(NumericLogGamma, NegativeArgumentsGiveNaNWithoutLooping) {
  EXPECT_TRUE(std::isnan(Numeric::logGamma(-0.5)));
  EXPECT_TRUE(std::isnan(Numeric::logGamma(-1e300)));
  EXPECT_TRUE(std::isnan(Numeric::logGamma(-kInf)));
  EXPECT_EQ(Numeric::logGamma(0.0), kInf);
}

TEST(NumericDigamma, KnownValuesAndTheRecurrence) {
  const double euler = 0.57721566490153286;
  EXPECT_NEAR(Numeric::digamma(1.0), -euler, 1e-7);
  EXPECT_NEAR(Numeric::digamma(0.5), -euler - 2.0 * std::log(2.0), 1e-7);
  for (double x = 0.3; x < 40.0; x += 1.3) {
    EXPECT_NEAR(Numeric::digamma(x + 1.0) - Numeric::digamma(x), 1.0 / x, 2e-7) << x;
  }
}

TEST(NumericDigamma, MatchesBoostAcrossTheRange) {
  for (double x = 0.01; x < 1e6; x *= 1.3) {
    const double expected = boost::math::digamma(x);
    // The short asymptotic series is good to about 1e-7, enough for the
    // variational bounds that use it.
    EXPECT_NEAR(Numeric::digamma(x), expected, 1e-7) << x;
  }
  for (double x : {-0.5, -2.25, -7.7}) {
    EXPECT_NEAR(Numeric::digamma(x), boost::math::digamma(x), 1e-7) << x;
  }
}

TEST(NumericDigamma, HugeNegativeArgumentsFinishWithTheReflection) {
  const double x = -2.5e7 - 0.25;
  EXPECT_NEAR(Numeric::digamma(x), boost::math::digamma(x), 1e-6);
  EXPECT_TRUE(std::isnan(Numeric::digamma(-kInf)));
  EXPECT_TRUE(std::isnan(Numeric::digamma(std::numeric_limits<double>::quiet_NaN())));
}

TEST(NumericSpecialFunctions, VectorFormsApplyTheScalarToEveryElement) {
  Eigen::VectorXd v(4);
  v << 0.5, 1.0, 7.25, 120.0;
  const Eigen::VectorXd lg = Numeric::logGamma(v);
  const Eigen::VectorXd dg = Numeric::digamma(v);
  ASSERT_EQ(lg.size(), 4);
  ASSERT_EQ(dg.size(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(lg[i], Numeric::logGamma(v[i]));
    EXPECT_EQ(dg[i], Numeric::digamma(v[i]));
  }
  EXPECT_EQ(Numeric::logGamma(Eigen::VectorXd()).size(), 0);
  EXPECT_EQ(Numeric::digamma(Eigen::VectorXd()).size(), 0);
}

// ---- randomInt --------------------------------------------------------------

// True when the calling thread's sequence is MT19937 seeded with `first`,
// halved through single precision and deaf to later seeds; `draws` values
// are compared.
bool followsMt19937(uint32_t first, int draws) {
  std::mt19937 reference(first);
  const auto halved = [](uint32_t y) { return static_cast<int64_t>(std::trunc(static_cast<float>(y) / 2.0f)); };
  bool ok = true;
  for (int i = 0; ok && i < draws; ++i) {
    const int64_t r = Numeric::randomInt(i == 0 ? first : 12345);
    ok = r == halved(reference()) && r >= 0 && r <= (int64_t{1} << 31);
  }
  return ok;
}

TEST(NumericRandomInt, EachThreadHasItsOwnMt19937SequenceThatAnAnalysisRunRestarts) {
  bool fresh = false, restarted = false, undisturbed = false;
  std::thread worker([&] {
    fresh = followsMt19937(0, 2000);
    // Another thread drawing meanwhile does not move this one's sequence.
    Numeric::seedRandomInt(32768);
    std::thread other([] {
      for (int i = 0; i < 1000; ++i) Numeric::randomInt(0);
    });
    other.join();
    undisturbed = followsMt19937(32768, 1000);
    Numeric::seedRandomInt(32768);
    restarted = followsMt19937(32768, 10);
  });
  worker.join();
  EXPECT_TRUE(fresh) << "a thread's first draw seeds its sequence";
  EXPECT_TRUE(undisturbed);
  EXPECT_TRUE(restarted);
}

// ---- standardizeColumns ---------------------------------------------------

TEST(NumericStandardize, ColumnsGetZeroMeanAndTheFlooredSpread) {
  std::mt19937 rng(11);
  std::normal_distribution<double> dist(5.0, 3.0);
  RowMatrix m(50, 4);
  for (int i = 0; i < m.rows(); ++i)
    for (int j = 0; j < m.cols(); ++j) m(i, j) = dist(rng) * (j + 1);
  const RowMatrix original = m;
  Numeric::standardizeColumns(m);
  for (int j = 0; j < m.cols(); ++j) {
    const double mean = original.col(j).mean();
    const double sd = std::sqrt((original.col(j).array() - mean).square().mean());
    for (int i = 0; i < m.rows(); ++i) {
      EXPECT_NEAR(m(i, j), (original(i, j) - mean) / (sd + 0.01), 1e-12);
    }
    EXPECT_NEAR(m.col(j).mean(), 0.0, 1e-12);
    EXPECT_NEAR(std::sqrt(m.col(j).array().square().mean()), sd / (sd + 0.01), 1e-12);
  }
}

TEST(NumericStandardize, ConstantColumnsAndSingleRowsBecomeZero) {
  RowMatrix row(1, 3);
  row << 4.0, -2.0, 9.5;
  Numeric::standardizeColumns(row);
  EXPECT_TRUE(row.isZero(0.0));
  RowMatrix constant(5, 2);
  constant.col(0).setConstant(3.25);
  constant.col(1) << 1, 2, 3, 4, 5;
  Numeric::standardizeColumns(constant);
  EXPECT_TRUE(constant.col(0).isZero(0.0));
  EXPECT_FALSE(constant.col(1).isZero(0.0));
  RowMatrix empty(0, 3);
  Numeric::standardizeColumns(empty);
  EXPECT_EQ(empty.rows(), 0);
}

// ---- interpolation and peaks ----------------------------------------------

double quadratic(double t) { return -2.0 * (t - 0.3) * (t - 0.3) + 1.5; }

TEST(NumericInterpolation, CubicPassesThroughTheInnerSamplesAndReproducesQuadratics) {
  const double y[] = {quadratic(-1), quadratic(0), quadratic(1), quadratic(2)};
  const float yf[] = {float(y[0]), float(y[1]), float(y[2]), float(y[3])};
  EXPECT_DOUBLE_EQ(Numeric::interpCubic<double>(y, 0.0), y[1]);
  EXPECT_NEAR(Numeric::interpCubic<double>(y, 1.0), y[2], 1e-14);
  for (double t = 0.0; t <= 1.0; t += 0.125) {
    EXPECT_NEAR(Numeric::interpCubic<double>(y, t), quadratic(t), 1e-12);
    EXPECT_NEAR(Numeric::interpCubic<float>(yf, float(t)), quadratic(t), 1e-5);
  }
}

TEST(NumericInterpolation, ThreePointPeakIsTheParabolasVertex) {
  for (double vertex : {-0.4, 0.0, 0.2, 0.49}) {
    const auto p = [vertex](double k) { return 3.0 - 0.7 * (k - vertex) * (k - vertex); };
    const float y[] = {float(p(-1)), float(p(0)), float(p(1))};
    const auto peak = Numeric::interpPeak3(y, 10);
    EXPECT_NEAR(peak.first, 11.0 + vertex, 1e-5) << vertex;
    EXPECT_EQ(peak.second, y[1]);
  }
  const float flat[] = {2.0f, 2.0f, 2.0f};
  EXPECT_EQ(Numeric::interpPeak3(flat, 4).first, 5.0f);
}

// Largest value of the interpolating cubic on a fine grid of [0, 1].
std::pair<double, double> gridMaximum(const float* y) {
  double bestT = 0.0, best = -kInf;
  for (int k = 0; k <= 100000; ++k) {
    const double t = k / 100000.0;
    const double v = Numeric::interpCubic<double>(
        std::vector<double>{y[0], y[1], y[2], y[3]}.data(), t);
    if (v > best) {
      best = v;
      bestT = t;
    }
  }
  return {bestT, best};
}

TEST(NumericInterpolation, CubicPeakMatchesABruteForceSearch) {
  const float cases[][4] = {{0.0f, 1.0f, 1.2f, 0.1f}, {0.5f, 2.0f, 1.0f, -3.0f},
                            {-1.0f, 0.2f, 0.9f, 0.0f}, {1.0f, 3.0f, 2.8f, 0.5f}};
  for (const auto& y : cases) {
    const auto found = Numeric::interpPeakCubic(y, 7);
    const auto grid = gridMaximum(y);
    ASSERT_GT(grid.first, 0.0);
    ASSERT_LT(grid.first, 1.0);
    EXPECT_NEAR(found.first, 8.0 + grid.first, 1e-3);
    EXPECT_NEAR(found.second, grid.second, 1e-5);
  }
}

TEST(NumericInterpolation, CubicPeakOfAParabolaIsItsVertex) {
  const float y[] = {float(quadratic(-1)), float(quadratic(0)), float(quadratic(1)),
                     float(quadratic(2))};
  const auto found = Numeric::interpPeakCubic(y, 0);
  EXPECT_NEAR(found.first, 1.3, 1e-5);
  EXPECT_NEAR(found.second, 1.5, 1e-5);
}

TEST(NumericInterpolation, CubicPeakReportsMonotonicRunsAsNone) {
  const float rising[] = {0.0f, 1.0f, 2.0f, 3.0f};
  const float valley[] = {3.0f, 1.0f, 1.0f, 3.0f};
  EXPECT_EQ(Numeric::interpPeakCubic(rising, 2), std::make_pair(-1.0f, 0.0f));
  EXPECT_EQ(Numeric::interpPeakCubic(valley, 2), std::make_pair(-1.0f, 0.0f));
}

// Strict maxima over two neighbours each side, greedily at least 3 apart.
std::vector<int> referencePeaks(const std::vector<float>& x) {
  std::vector<int> out;
  const int n = static_cast<int>(x.size());
  for (int c = 2; c + 2 < n - 1; ++c) {
    bool isPeak = true;
    for (int d = -2; d <= 2; ++d) isPeak = isPeak && (d == 0 || x[c] > x[c + d]);
    if (isPeak && (out.empty() || c >= out.back() + 3)) out.push_back(c);
  }
  return out;
}

TEST(NumericPickPeaks, MatchesABruteForceScanOfRandomSignals) {
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> dist(0, 6);
  for (int n = 0; n < 60; ++n) {
    std::vector<float> x(n);
    for (float& v : x) v = float(dist(rng));
    std::list<Numeric::Peak> peaks{{99, 1.0f}};
    std::list<Numeric::Peak>& result = Numeric::pickPeaks(peaks, x.data(), n);
    EXPECT_EQ(&result, &peaks);
    std::vector<int> got;
    for (const Numeric::Peak& p : peaks) {
      got.push_back(p.index);
      EXPECT_EQ(p.value, x[p.index]);
    }
    EXPECT_EQ(got, referencePeaks(x)) << n;
  }
}

TEST(NumericPickPeaks, NeverReportsTheFirstTwoOrLastThreeSamples) {
  const std::vector<float> edges = {9, 8, 0, 0, 0, 0, 7, 8, 9};
  std::list<Numeric::Peak> peaks;
  EXPECT_TRUE(Numeric::pickPeaks(peaks, edges.data(), 9).empty());
  const std::vector<float> inner = {0, 0, 5, 0, 0, 6, 0, 0, 0};
  Numeric::pickPeaks(peaks, inner.data(), 9);
  ASSERT_EQ(peaks.size(), 2u);
  EXPECT_EQ(peaks.front().index, 2);
  EXPECT_EQ(peaks.back().index, 5);
}

}  // namespace
