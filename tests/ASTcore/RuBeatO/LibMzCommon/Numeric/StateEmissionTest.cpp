// The Normal-Gamma mixture component: its expected log-likelihood against an
// integral over the Gamma-distributed precision, its posterior against
// statistics taken straight from weighted frames, its lower-bound term
// against the same expression in boost::math special functions, its use of
// the two process-wide random sequences, and the guards on misshaped input.

#include <gtest/gtest.h>

#include <boost/math/distributions/gamma.hpp>
#include <boost/math/quadrature/exp_sinh.hpp>
#include <boost/math/special_functions/digamma.hpp>
#include <boost/math/special_functions/gamma.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <random>
#include <stdexcept>
#include <vector>

#include "StateEmission.h"

namespace {

using Numeric::StateEmission;
using Vector = StateEmission::Vector;
using Matrix = StateEmission::Matrix;

// The structure models' constant, ln(3.14159).
const double kLogPiApprox = std::log(3.14159);

Vector vec(std::initializer_list<double> values) {
  Vector v(static_cast<Eigen::Index>(values.size()));
  Eigen::Index i = 0;
  for (double x : values) v[i++] = x;
  return v;
}

void expectFreshMean(const StateEmission& e) {
  ASSERT_EQ(e.mean.size(), e.dim);
  for (Eigen::Index k = 0; k < e.mean.size(); ++k) {
    EXPECT_GE(e.mean[k], -1.0);
    EXPECT_LE(e.mean[k], 1.0);
    // Drawn in single precision.
    EXPECT_EQ(e.mean[k], static_cast<double>(static_cast<float>(e.mean[k])));
  }
}

void expectPriorExceptMean(const StateEmission& e) {
  EXPECT_EQ(e.beta, e.priorBeta);
  EXPECT_EQ(e.shape, e.priorShape);
  EXPECT_EQ(e.rate, e.priorRate);
}

// Weighted statistics as the inference computes them from responsibilities.
struct Stats {
  Vector xbar;
  Vector s;
  double n = 0.0;
};

Stats weightedStats(const Matrix& X, const Vector& w) {
  Stats st;
  st.n = w.sum();
  st.xbar = (X.transpose() * w) / st.n;
  st.s = Vector::Zero(X.cols());
  for (Eigen::Index t = 0; t < X.rows(); ++t)
    st.s += w[t] * (X.row(t).transpose() - st.xbar).array().square().matrix();
  st.s /= st.n;
  return st;
}

TEST(StateEmission, ConstructorStartsAtThePriorWithARandomMeanInUnitRange) {
  const StateEmission e(4, 1.0, 0.01, 0.02);
  EXPECT_EQ(e.dim, 4);
  EXPECT_EQ(e.priorMean, Vector::Zero(4));
  EXPECT_EQ(e.priorRate, Vector::Constant(4, 0.02));
  EXPECT_EQ(e.priorBeta, 1.0);
  EXPECT_EQ(e.priorShape, 0.01);
  expectPriorExceptMean(e);
  expectFreshMean(e);
}

TEST(StateEmission, SuccessiveComponentsDrawDifferentMeans) {
  const StateEmission a(6, 1.0, 0.01, 0.01);
  const StateEmission b(6, 1.0, 0.01, 0.01);
  EXPECT_NE(a.mean, b.mean);
}

TEST(StateEmission, ConstructionAndResetTakeOneRandDrawPerDimension) {
  std::srand(77);
  std::vector<int> sequence;
  for (int i = 0; i < 12; ++i) sequence.push_back(std::rand());

  std::srand(77);
  StateEmission e(5, 1.0, 0.01, 0.01);
  EXPECT_EQ(std::rand(), sequence[5]);

  e.update(Vector::Zero(5), Vector::Zero(5), 0.0);
  EXPECT_EQ(std::rand(), sequence[11]);
}

// E[log N(x | mu, 1/lambda)] under mu ~ N(m, 1/(beta lambda)) and
// lambda ~ Gamma(b, rate c) is 0.5 E[log lambda] - 0.5 E[lambda] (x - m)^2
// - 0.5 / beta - 0.5 ln(2 pi); the models use ln(3.14159) in place of
// ln(2 pi). The expectations over lambda are integrated numerically.
TEST(StateEmission, ExpectedLogLikMatchesIntegralOverThePrecision) {
  StateEmission e(3, 1.0, 0.01, 0.01);
  e.mean = vec({0.3, -1.2, 2.0});
  e.rate = vec({0.5, 2.0, 7.5});
  e.shape = 3.25;
  e.beta = 4.0;
  const Vector x = vec({1.0, -1.0, -0.5});

  boost::math::quadrature::exp_sinh<double> integrator;
  double reference = 0.0;
  for (Eigen::Index k = 0; k < 3; ++k) {
    const boost::math::gamma_distribution<double> precision(e.shape, 1.0 / e.rate[k]);
    const double dev2 = (x[k] - e.mean[k]) * (x[k] - e.mean[k]);
    const double expected = integrator.integrate([&](double lambda) {
      const double p = boost::math::pdf(precision, lambda);
      return p == 0.0 ? 0.0 : p * (0.5 * std::log(lambda) - 0.5 * lambda * dev2);
    });
    reference += expected - 0.5 / e.beta - 0.5 * kLogPiApprox;
  }

  EXPECT_NEAR(e.expectedLogLikFrame(x), reference, 1e-6);
  Matrix X(1, 3);
  X.row(0) = x.transpose();
  EXPECT_NEAR(e.expectedLogLik(X)[0], reference, 1e-6);
}

TEST(StateEmission, MatrixFormsAgreeWithTheFrameForm) {
  StateEmission e(2, 1.0, 0.01, 0.01);
  e.update(vec({0.5, -0.25}), vec({1.5, 0.2}), 12.0);
  Matrix X(5, 2);
  X << 0, 0, 1, -1, 0.5, -0.25, -3, 2, 10, 10;
  Vector out = Vector::Constant(2, 99.0);
  e.expectedLogLik(X, out);
  const Vector returned = e.expectedLogLik(X);
  ASSERT_EQ(out.size(), 5);
  for (Eigen::Index t = 0; t < 5; ++t) {
    EXPECT_NEAR(out[t], e.expectedLogLikFrame(X.row(t).transpose()), 1e-12);
    EXPECT_EQ(returned[t], out[t]);
  }
  // The frame at the posterior mean scores highest.
  EXPECT_GT(out[2], out[0]);
  EXPECT_GT(out[2], out[3]);
  EXPECT_EQ(e.expectedLogLik(Matrix(0, 2)).size(), 0);
}

TEST(StateEmission, OneZeroFrameWithUnitScaleMovesOnlyScaleAndShape) {
  StateEmission e(3, 1.0, 0.01, 0.05);
  e.update(Vector::Zero(3), Vector::Zero(3), 1.0);
  EXPECT_EQ(e.mean, Vector::Zero(3));
  EXPECT_EQ(e.beta, 2.0);
  EXPECT_EQ(e.shape, 0.51);
  EXPECT_EQ(e.rate, e.priorRate);
}

// The posterior mean is the precision-weighted average of the prior mean
// (zero, weight beta0) and the frames; shape grows by half the weight; the
// rate by half the weighted scatter plus the shrinkage term on the distance
// between the new mean and the frames' mean.
TEST(StateEmission, UpdateFromWeightedFramesMatchesDirectSums) {
  std::mt19937 gen(5);
  std::normal_distribution<double> noise(0.0, 1.0);
  std::uniform_real_distribution<double> weight(0.0, 1.0);
  const int T = 40;
  const int dim = 3;
  Matrix X(T, dim);
  Vector w(T);
  for (int t = 0; t < T; ++t) {
    for (int k = 0; k < dim; ++k) X(t, k) = 2.0 * k - 1.0 + (k + 1) * noise(gen);
    w[t] = weight(gen);
  }
  const double beta0 = 0.7;
  const double b0 = 0.01;
  const double c0 = 0.03;
  StateEmission e(dim, beta0, b0, c0);
  const Stats st = weightedStats(X, w);
  e.update(st.xbar, st.s, st.n);

  for (int k = 0; k < dim; ++k) {
    double weightedSum = 0.0;
    double n = 0.0;
    for (int t = 0; t < T; ++t) {
      weightedSum += w[t] * X(t, k);
      n += w[t];
    }
    const double mean = weightedSum / (beta0 + n);
    double scatter = 0.0;
    for (int t = 0; t < T; ++t) scatter += w[t] * (X(t, k) - weightedSum / n) * (X(t, k) - weightedSum / n);
    const double xbar = weightedSum / n;
    const double rate = c0 + 0.5 * (scatter + beta0 * n / (beta0 + n) * (mean - xbar) * (mean - xbar));
    EXPECT_NEAR(e.mean[k], mean, 1e-12) << k;
    EXPECT_NEAR(e.rate[k], rate, 1e-10) << k;
    EXPECT_NEAR(e.shape, b0 + 0.5 * n, 1e-12);
    EXPECT_NEAR(e.beta, beta0 + n, 1e-12);
  }
}

TEST(StateEmission, UpdateRebuildsFromThePriorInsteadOfAccumulating) {
  StateEmission e(2, 1.0, 0.01, 0.01);
  const Vector xbar = vec({1.0, -2.0});
  const Vector s = vec({0.5, 0.25});
  e.update(xbar, s, 8.0);
  const StateEmission once = e;
  e.update(xbar, s, 8.0);
  EXPECT_EQ(e.mean, once.mean);
  EXPECT_EQ(e.rate, once.rate);
  EXPECT_EQ(e.beta, once.beta);
  EXPECT_EQ(e.shape, once.shape);
}

TEST(StateEmission, NonPositiveOrNanWeightResetsToThePrior) {
  for (double n : {0.0, -2.0, std::numeric_limits<double>::quiet_NaN()}) {
    StateEmission e(4, 1.5, 0.02, 0.01);
    e.update(Vector::Constant(4, 3.0), Vector::Constant(4, 1.0), 20.0);
    ASSERT_GT(e.mean[0], 2.0);
    e.update(Vector::Constant(4, 3.0), Vector::Constant(4, 1.0), n);
    expectPriorExceptMean(e);
    expectFreshMean(e);
  }
}

TEST(StateEmission, UpdatingOnDataRaisesItsExpectedLogLikelihoodAndBound) {
  std::mt19937 gen(9);
  std::normal_distribution<double> frame(0.4, 0.8);
  Matrix X(60, 2);
  for (Eigen::Index t = 0; t < X.rows(); ++t)
    for (Eigen::Index k = 0; k < 2; ++k) X(t, k) = frame(gen) + 0.5 * k;
  StateEmission e(2, 1.0, 0.01, 0.01);
  const double before = e.expectedLogLik(X).sum();
  const double boundBefore = before + e.klDivergence();
  const Stats st = weightedStats(X, Vector::Ones(X.rows()));
  e.update(st.xbar, st.s, st.n);
  const double after = e.expectedLogLik(X).sum();
  EXPECT_GT(after, before);
  // With its lower-bound term the component's share of the bound rises too.
  EXPECT_GE(after + e.klDivergence(), boundBefore);
  EXPECT_TRUE(std::isfinite(after));
}

TEST(StateEmission, KlDivergenceMatchesBoostSpecialFunctions) {
  StateEmission e(3, 0.8, 0.05, 0.02);
  e.update(vec({0.3, -1.0, 2.5}), vec({0.4, 1.1, 0.05}), 17.5);
  const double b0 = e.priorShape;
  const double b = e.shape;
  const double K0 = (b0 + b - 1.0) * boost::math::digamma(b) + boost::math::lgamma(b) +
                    0.5 * std::log(e.beta);
  double reference = 0.0;
  for (Eigen::Index k = 0; k < 3; ++k) {
    const double c = e.rate[k];
    const double dm = e.mean[k] - e.priorMean[k];
    reference += K0 + (b0 - 1.0) * std::log(c) - b * (e.priorRate[k] / c + 1.0) -
                 0.5 * e.priorBeta / e.beta - (b / c) * e.priorBeta / 2.0 * dm * dm;
  }
  EXPECT_NEAR(e.klDivergence(), reference, 1e-6 * std::max(1.0, std::fabs(reference)));
}

TEST(StateEmission, KlDivergenceOfNoDimensionsIsZero) {
  StateEmission e(0, 1.0, 0.01, 0.01);
  EXPECT_EQ(e.klDivergence(), 0.0);
  e.update(Vector(), Vector(), 3.0);
  EXPECT_EQ(e.klDivergence(), 0.0);
}

TEST(StateEmission, NegativeDimensionThrowsBadAlloc) {
  EXPECT_THROW(StateEmission(-2, 1.0, 0.01, 0.01), std::bad_alloc);
}

TEST(StateEmission, MisshapedArgumentsThrowAndChangeNothing) {
  StateEmission e(3, 1.0, 0.01, 0.01);
  const StateEmission before = e;
  EXPECT_THROW(e.update(Vector::Zero(2), Vector::Zero(3), 1.0), std::invalid_argument);
  EXPECT_THROW(e.update(Vector::Zero(3), Vector::Zero(4), 1.0), std::invalid_argument);
  EXPECT_EQ(e.mean, before.mean);
  EXPECT_EQ(e.rate, before.rate);
  EXPECT_EQ(e.beta, before.beta);
  EXPECT_EQ(e.shape, before.shape);
  Vector out;
  EXPECT_THROW(e.expectedLogLik(Matrix::Zero(2, 4), out), std::invalid_argument);
  EXPECT_THROW(e.expectedLogLikFrame(Vector::Zero(2)), std::invalid_argument);
}

}  // namespace
