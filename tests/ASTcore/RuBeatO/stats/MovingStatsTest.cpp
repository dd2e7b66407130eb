// The three sliding-window filters against references recomputed from
// scratch at every step: the zero-padded window of the newest N values, its
// mean and population variance in double precision, and the decayed maximum
// over the whole history in closed form. Warm-up (fewer than N values) and
// windows of 1 and 2 are covered by every comparison.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <deque>
#include <limits>
#include <random>
#include <stdexcept>
#include <vector>

#include "MovingStats.h"

namespace {

using Numeric::IMovingStats;
using Numeric::MovingAverage;
using Numeric::MovingAverageSD;
using Numeric::MovingMaximum;

std::vector<float> randomStream(size_t count, uint32_t seed, float lo, float hi) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> dist(lo, hi);
  std::vector<float> out(count);
  for (float& v : out) v = dist(gen);
  return out;
}

// The newest n values of the history, padded with zeros at the old end while
// fewer than n have arrived.
class NaiveWindow {
 public:
  explicit NaiveWindow(int32_t n) : values_(static_cast<size_t>(n), 0.0) {}

  void push(float x) {
    values_.pop_front();
    values_.push_back(x);
  }

  double mean() const {
    double s = 0;
    for (double v : values_) s += v;
    return s / static_cast<double>(values_.size());
  }

  double sumSquaredDeviations() const {
    const double m = mean();
    double q = 0;
    for (double v : values_) q += (v - m) * (v - m);
    return q;
  }

  double sumOfSquares() const {
    double s = 0;
    for (double v : values_) s += v * v;
    return s;
  }

 private:
  std::deque<double> values_;
};

double naiveZScore(const NaiveWindow& w, float x, int32_t n, double epsilon) {
  const double q = w.sumSquaredDeviations();
  if (q <= 0) return 0;
  return (x - w.mean()) / std::sqrt(q / n + epsilon);
}

TEST(MovingAverage, RemovesTheMeanOfTheZeroPaddedWindowAtEveryStep) {
  for (int32_t n : {1, 2, 3, 7, 20}) {
    const std::vector<float> input = randomStream(600, 11u + static_cast<uint32_t>(n), -3.f, 5.f);
    MovingAverage<float> filter(n);
    IMovingStats<float>& stats = filter;
    NaiveWindow window(n);
    for (size_t k = 0; k < input.size(); ++k) {
      window.push(input[k]);
      const double expected = input[k] - window.mean();
      ASSERT_NEAR(stats.update(input[k]), expected, 2e-5) << "window " << n << " step " << k;
      ASSERT_NEAR(filter.mean(), window.mean(), 2e-5) << "window " << n << " step " << k;
    }
  }
}

TEST(MovingAverage, StaysOnTheWindowMeanOverALongStream) {
  const int32_t n = 20;
  const std::vector<float> input = randomStream(20000, 5u, 0.f, 10.f);
  MovingAverage<float> filter(n);
  NaiveWindow window(n);
  for (size_t k = 0; k < input.size(); ++k) {
    window.push(input[k]);
    const float out = filter.update(input[k]);
    if (k % 1000 == 999) {
      // The running mean is never recomputed; its float drift must stay far
      // below the size of the values it is removed from.
      EXPECT_NEAR(out, input[k] - window.mean(), 1e-3) << "step " << k;
    }
  }
}

// The running sums are kept in float and updated, never recomputed, so their
// rounding error scales with the window's sum of squares, not with its
// spread: a window of nearly equal values has a poorly conditioned z-score.
// The allowed error is scaled accordingly.
TEST(MovingAverageSD, GivesTheZScoreOfTheZeroPaddedWindowAtEveryStep) {
  for (float epsilon : {0.f, 5.f}) {
    for (int32_t n : {2, 3, 7, 20, 50}) {
      const std::vector<float> input = randomStream(800, 23u + static_cast<uint32_t>(n), -2.f, 6.f);
      MovingAverageSD<float> filter(n, epsilon);
      IMovingStats<float>& stats = filter;
      NaiveWindow window(n);
      for (size_t k = 0; k < input.size(); ++k) {
        window.push(input[k]);
        const double expected = naiveZScore(window, input[k], n, epsilon);
        const double q = window.sumSquaredDeviations();
        const double magnitude = 1.0 + window.sumOfSquares();
        const double conditioning = std::max(1.0, magnitude / (q + epsilon * n));
        const float out = stats.update(input[k]);
        ASSERT_NEAR(out, expected, 1e-3 * (1.0 + std::fabs(expected)) * conditioning)
            << "window " << n << " epsilon " << epsilon << " step " << k;
        ASSERT_NEAR(filter.sum(), window.mean() * n, 1e-4 * magnitude) << "window " << n << " step " << k;
        ASSERT_NEAR(filter.sumSquaredDeviations(), q, 1e-3 * magnitude)
            << "window " << n << " step " << k;
      }
    }
  }
}

TEST(MovingAverageSD, WindowOfOneHasNoSpreadAndGivesZero) {
  // A single value deviates from nothing; only float rounding of the running
  // sums can leave a trace.
  const std::vector<float> input = randomStream(500, 3u, -4.f, 4.f);
  MovingAverageSD<float> filter(1);
  for (size_t k = 0; k < input.size(); ++k) {
    ASSERT_NEAR(filter.update(input[k]), 0.f, 1e-2) << "step " << k;
  }
}

TEST(MovingAverageSD, ConstantInputGivesZeroOnceTheWindowIsFull) {
  for (int32_t n : {1, 2, 5, 20, 50}) {
    for (float c : {1.f, 0.3f, -7.25f, 123.456f}) {
      MovingAverageSD<float> filter(n);
      NaiveWindow window(n);
      for (int32_t k = 1; k <= 4 * n; ++k) {
        window.push(c);
        const float out = filter.update(c);
        if (k >= n) {
          ASSERT_EQ(out, 0.f) << "window " << n << " value " << c << " step " << k;
        } else {
          ASSERT_NEAR(out, naiveZScore(window, c, n, 0), 1e-3) << "window " << n << " step " << k;
        }
      }
    }
  }
}

TEST(MovingAverageSD, AnyConstantInputSettlesNearZero) {
  // For arbitrary constants float rounding can leave a tiny positive
  // deviation sum, so the score is small rather than exactly 0.
  const std::vector<float> constants = randomStream(200, 41u, -10.f, 200.f);
  for (int32_t n : {1, 2, 3, 20, 50}) {
    for (float c : constants) {
      MovingAverageSD<float> filter(n);
      for (int32_t k = 1; k <= 4 * n; ++k) {
        const float out = filter.update(c);
        if (k >= n) {
          ASSERT_NEAR(out, 0.f, 1e-2) << "window " << n << " value " << c << " step " << k;
        }
      }
    }
  }
}

TEST(MovingAverageSD, SingleSpikeAmongZerosGivesAFiniteScoreWithoutEpsilon) {
  // Window of zeros and one value a: mean a/n, squared deviations
  // a^2 (1 - 1/n), so the spike scores sqrt(n - 1) and each zero after it
  // -1/sqrt(n - 1) until the spike leaves the window.
  for (int32_t n : {2, 3, 20}) {
    MovingAverageSD<float> filter(n, 0.f);
    for (int32_t k = 0; k < 5; ++k) ASSERT_EQ(filter.update(0.f), 0.f);
    const float spike = filter.update(4.f);
    ASSERT_TRUE(std::isfinite(spike));
    EXPECT_NEAR(spike, std::sqrt(static_cast<float>(n - 1)), 1e-4);
    for (int32_t k = 1; k < n; ++k) {
      EXPECT_NEAR(filter.update(0.f), -1.f / std::sqrt(static_cast<float>(n - 1)), 1e-4);
    }
    EXPECT_EQ(filter.update(0.f), 0.f);
  }
}

TEST(MovingAverageSD, EpsilonSetLaterTakesEffectOnTheNextUpdate) {
  MovingAverageSD<float> filter(2);
  filter.update(0.f);
  filter.setEpsilon(3.f);
  EXPECT_EQ(filter.epsilon(), 3.f);
  // Window {0, 2}: mean 1, variance 1, so (2 - 1) / sqrt(1 + 3).
  EXPECT_NEAR(filter.update(2.f), 0.5f, 1e-6);
}

TEST(MovingAverage, ResetBehavesLikeAFreshFilter) {
  for (int32_t n : {1, 2, 20}) {
    const std::vector<float> before = randomStream(37, 1u, -5.f, 5.f);
    const std::vector<float> after = randomStream(100, 2u, -5.f, 5.f);
    MovingAverage<float> used(n);
    for (float x : before) used.update(x);
    used.reset();
    EXPECT_EQ(used.mean(), 0.f);
    MovingAverage<float> fresh(n);
    for (float x : after) ASSERT_EQ(used.update(x), fresh.update(x)) << "window " << n;
  }
}

TEST(MovingAverageSD, ResetBehavesLikeAFreshFilterAndKeepsEpsilon) {
  for (int32_t n : {1, 2, 20}) {
    const std::vector<float> before = randomStream(37, 1u, -5.f, 5.f);
    const std::vector<float> after = randomStream(100, 2u, -5.f, 5.f);
    MovingAverageSD<float> used(n, 0.5f);
    for (float x : before) used.update(x);
    used.reset();
    EXPECT_EQ(used.sum(), 0.f);
    EXPECT_EQ(used.sumSquaredDeviations(), 0.f);
    EXPECT_EQ(used.epsilon(), 0.5f);
    MovingAverageSD<float> fresh(n, 0.5f);
    for (float x : after) ASSERT_EQ(used.update(x), fresh.update(x)) << "window " << n;
  }
}

// max(0 * 0.99^k, max over j of x_j * 0.99^(k - j)): the initial peak of 0
// decays too, so negative input never lifts the result below 0.
TEST(MovingMaximum, FollowsTheDecayedMaximumOfTheWholeHistory) {
  const std::vector<float> input = randomStream(400, 9u, -1.f, 3.f);
  for (int32_t n : {0, 1, 2, 20}) {
    MovingMaximum<float> filter(n);
    IMovingStats<float>& stats = filter;
    for (size_t k = 0; k < input.size(); ++k) {
      double expected = 0;
      for (size_t j = 0; j <= k; ++j) {
        expected = std::max(expected, input[j] * std::pow(0.99, static_cast<double>(k - j)));
      }
      ASSERT_NEAR(stats.update(input[k]), expected, 1e-5 * std::max(1.0, expected))
          << "window " << n << " step " << k;
    }
  }
}

TEST(MovingMaximum, NegativeInputNeverRisesAboveTheInitialZeroPeak) {
  MovingMaximum<float> filter(2);
  for (float x : {-1.f, -0.5f, -100.f}) EXPECT_EQ(filter.update(x), 0.f);
}

TEST(MovingMaximum, ResetKeepsThePeak) {
  MovingMaximum<float> filter(5);
  filter.update(2.f);
  filter.reset();
  EXPECT_EQ(filter.peak(), 2.f);
  EXPECT_NEAR(filter.update(0.f), 1.98f, 1e-6);
}

TEST(MovingStats, NegativeWindowFailsWithTheVectorLengthError) {
  EXPECT_THROW(MovingAverage<float>(-1), std::length_error);
  EXPECT_THROW(MovingAverageSD<float>(-20), std::length_error);
  EXPECT_THROW(MovingMaximum<float>(-3), std::length_error);
}

TEST(MovingStats, EmptyWindowIsBuiltButRefusesAMeanOrSpread) {
  MovingAverage<float> average(0);
  MovingAverageSD<float> spread(0);
  EXPECT_EQ(average.window(), 0);
  EXPECT_THROW(average.update(1.f), std::domain_error);
  EXPECT_THROW(spread.update(1.f), std::domain_error);
  average.reset();
  spread.reset();
  EXPECT_THROW(average.update(1.f), std::domain_error);
}

TEST(MovingAverageSD, DoublePrecisionMatchesTheNaiveZScoreClosely) {
  const std::vector<float> input = randomStream(500, 77u, -1.f, 1.f);
  for (int32_t n : {2, 20}) {
    MovingAverageSD<double> filter(n);
    NaiveWindow window(n);
    for (size_t k = 0; k < input.size(); ++k) {
      window.push(input[k]);
      ASSERT_NEAR(filter.update(input[k]), naiveZScore(window, input[k], n, 0), 1e-9)
          << "window " << n << " step " << k;
    }
  }
}

}  // namespace
